#include "ui/ReportActions.h"

#include "cash_close/ReportCsv.h"
#include "cash_close/ReportXlsx.h"
#include "data/OutputTarget.h"
#include "platform/Platform.h"
#include "report/ReportDocument.h"
#include "report/SlipPdf.h"
#include "ui/SystemPlatform.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QStandardPaths>

namespace cash_close {

namespace {

bool refuseWithoutReport(QWidget *parent, sys::Platform &platform, const Report *report) {
    if (!report) {
        platform.messages.showMessage(parent, QStringLiteral("Procese primero un período con «Procesar Datos»."));
    }
    return !report;
}

} // namespace

namespace {

QString documentsFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

} // namespace

QString suggestedExportPath(const Report &report) {
    const QString format = QStringLiteral("yyyy-MM-dd");
    QString name = QStringLiteral("cierre-") + report.period.from.toString(format);
    if (report.period.to != report.period.from) {
        name += QStringLiteral("-al-") + report.period.to.toString(format);
    }
    return QDir(documentsFolder()).filePath(name + QStringLiteral(".csv"));
}

void exportReport(QWidget *parent, sys::Platform &platform, const Report *shown) {
    if (refuseWithoutReport(parent, platform, shown)) {
        return;
    }
    // A copy (the rows are shared, not copied): the progress dialog lets events through, and
    // the window's report must not change under the file being written.
    const Report report = *shown;
    const QString path = platform.files.savePath(parent, {QStringLiteral("Exportar el cierre de caja"),
                                                          suggestedExportPath(report),
                                                          {QStringLiteral("CSV (*.csv)"), QStringLiteral("PDF (*.pdf)"),
                                                           QStringLiteral("Hoja de cálculo (*.xlsx)")}});
    if (path.isEmpty()) {
        return;
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("csv") && suffix != QLatin1String("pdf") && suffix != QLatin1String("xlsx")) {
        platform.messages.showMessage(
            parent, QStringLiteral("No se exportó nada: el nombre %1 debe terminar en .csv, .pdf o .xlsx.")
                        .arg(QDir::toNativeSeparators(path)));
        return;
    }
    // A CSV writes its companion beside it: both names are looked at first.
    QStringList targets{path};
    if (suffix == QLatin1String("csv")) {
        targets << companionPath(path);
    }
    for (const QString &file : std::as_const(targets)) {
        if (const QString refusal = data::outputRefusal(file, platform.databasePath()); !refusal.isEmpty()) {
            platform.messages.showMessage(
                parent, QStringLiteral("No se exportó nada: %1 %2.").arg(QDir::toNativeSeparators(file), refusal));
            return;
        }
    }
    QPointer<QWidget> owner = parent;
    QPointer<QProgressDialog> progress =
        new QProgressDialog(QStringLiteral("Exportando el cierre de caja…"), QStringLiteral("&Cancelar"), 0, 0, parent);
    progress->setWindowTitle(QString::fromLatin1(ui::kApplicationTitle));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(400); // a short export ends before it shows
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    const auto advance = [&progress](qint64 done, qint64 total) {
        if (!progress) {
            return false;
        }
        progress->setMaximum(static_cast<int>(total));
        progress->setValue(static_cast<int>(done));
        return !progress->wasCanceled();
    };
    const QString failure = suffix == QLatin1String("pdf")    ? savePdf(report, path, advance)
                            : suffix == QLatin1String("xlsx") ? saveXlsx(report, path, advance)
                                                              : saveCsv(report, path, advance);
    // Gone before the message, so the message's OK takes the Enter key.
    delete progress;
    const QString done =
        suffix != QLatin1String("csv")
            ? QStringLiteral("Se exportó el cierre de caja a %1.").arg(QDir::toNativeSeparators(path))
            : QStringLiteral(
                  "Se exportó el cierre de caja a %1; su resumen, con los totales y el registro, está en %2.")
                  .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(companionPath(path)));
    platform.messages.showMessage(owner, failure.isEmpty() ? done : failure);
}

void printReport(QWidget *parent, sys::Platform &platform, const Report *shown) {
    if (refuseWithoutReport(parent, platform, shown)) {
        return;
    }
    const Report report = *shown;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(QStringLiteral("Cierre de Caja"));
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QStringLiteral("Imprimir el cierre de caja"));
    bool painted = true;
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&report, &painted](QPrinter *target) { painted = paintReport(report, *target); });
    // Closed without printing: nothing happened, and nothing is said. The last painting after
    // an accepted preview is the one that went to the printer.
    if (preview.exec() == QDialog::Accepted && !painted) {
        platform.messages.showMessage(parent, QStringLiteral("No se pudo imprimir el cierre de caja."));
    }
}

void exportShiftSlip(QWidget *parent, sys::Platform &platform, const printing::Document &slip, int widthMm,
                     qint64 numero) {
    const QString path =
        platform.files.savePath(parent, {QStringLiteral("Guardar el comprobante del turno %1").arg(numero),
                                         QDir(documentsFolder()).filePath(QStringLiteral("turno-%1.pdf").arg(numero)),
                                         {QStringLiteral("PDF (*.pdf)")}});
    if (path.isEmpty()) {
        return;
    }
    if (QFileInfo(path).suffix().toLower() != QLatin1String("pdf")) {
        platform.messages.showMessage(parent, QStringLiteral("No se guardó nada: el nombre %1 debe terminar en .pdf.")
                                                  .arg(QDir::toNativeSeparators(path)));
        return;
    }
    if (const QString refusal = data::outputRefusal(path, platform.databasePath()); !refusal.isEmpty()) {
        platform.messages.showMessage(
            parent, QStringLiteral("No se guardó nada: %1 %2.").arg(QDir::toNativeSeparators(path), refusal));
        return;
    }
    const QString failure = report::saveSlipPdf(slip, widthMm, path);
    platform.messages.showMessage(
        parent,
        failure.isEmpty()
            ? QStringLiteral("El comprobante del turno %1 quedó en %2.").arg(numero).arg(QDir::toNativeSeparators(path))
            : failure);
}

} // namespace cash_close
