#include "cash_close/ReportCsv.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QSaveFile>

namespace cash_close {

namespace {

constexpr qint64 kRowsPerWrite = 2000;

bool runsAsFormula(const QString &text) {
    static const QString starters = QStringLiteral("=+-@\t\r");
    return !text.isEmpty() && starters.contains(text.front());
}

void appendText(QString &line, const QString &text) {
    const bool formula = runsAsFormula(text);
    if (!formula && !text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n'))) {
        line += text;
        return;
    }
    line += QLatin1Char('"');
    if (formula) {
        line += QLatin1Char('\'');
    }
    QString quoted = text;
    line += quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    line += QLatin1Char('"');
}

void appendRow(QString &out, const ReportRow &row) {
    out += QString::number(row.puesto);
    out += QLatin1Char(',');
    appendText(out, row.modo);
    out += QLatin1Char(',');
    appendText(out, row.usuario);
    out += QLatin1Char(',');
    out += row.fecha.toString(QStringLiteral("yyyy-MM-dd"));
    out += QLatin1Char(',');
    out += row.hora.toString(QStringLiteral("HH:mm:ss"));
    out += QLatin1Char(',');
    appendText(out, row.tiempo);
    out += QLatin1Char(',');
    out += moneyPoint(row.cents);
    out += QLatin1String("\r\n");
}

// Writes in slices; false when the device refused or progress said stop.
bool write(const Report &report, QIODevice &out, const ExportProgress &progress) {
    QString chunk = QStringLiteral("Puesto,Modo,Usuario,Fecha,Hora,Tiempo,Importe\r\n");
    const qint64 total = report.rows.size();
    for (qint64 i = 0; i < total; ++i) {
        appendRow(chunk, report.rows[i]);
        if ((i + 1) % kRowsPerWrite == 0 || i + 1 == total) {
            if (out.write(chunk.toUtf8()) < 0) {
                return false;
            }
            chunk.clear();
            if (progress && !progress(i + 1, total)) {
                return false;
            }
        }
    }
    return chunk.isEmpty() || out.write(chunk.toUtf8()) >= 0;
}

} // namespace

void writeCsv(const Report &report, QIODevice &out) {
    write(report, out, {});
}

QString exportFailure(const QString &path, const QString &reason) {
    return QStringLiteral("No se pudo exportar el cierre de caja a %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

QString exportCancelled(const QString &path) {
    return QStringLiteral("Se canceló la exportación; no se escribió %1.").arg(QDir::toNativeSeparators(path));
}

QString companionPath(const QString &csvPath) {
    QString base = csvPath;
    if (base.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        base.chop(4);
    }
    return base + QStringLiteral("-resumen.txt");
}

void writeCompanion(const Report &report, const QString &csvPath, QIODevice &out) {
    const QString moment = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    QStringList lines{
        QStringLiteral("Cierre de Caja"),
        QStringLiteral("Archivo: ") + QFileInfo(csvPath).fileName(),
        QStringLiteral("Desde: ") + QDateTime(report.period.from, report.period.fromTime).toString(moment),
        QStringLiteral("Hasta: ") + QDateTime(report.period.to, report.period.toTime).toString(moment),
        report.ranBy.isEmpty()
            ? QStringLiteral("Procesado el %1, sin operador").arg(report.ranAt.toString(moment))
            : QStringLiteral("Procesado por %1 el %2").arg(report.ranBy, report.ranAt.toString(moment)),
        QStringLiteral("Alquileres: %1").arg(report.rentals),
        QStringLiteral("Total Facturado: %1").arg(moneyPoint(report.totalCents)),
    };
    if (!report.ranBy.isEmpty()) {
        lines << QStringLiteral("Total Facturado %1: %2").arg(report.ranBy, moneyPoint(report.operatorCents));
    }
    lines << roomLines(report);
    if (report.journalEntries > 0) {
        lines << journalAnchorLine(report) << sealAnchorLine(report);
    }
    lines << operationLines(report);
    // Books without shifts write what they always wrote.
    if (!report.shifts.isEmpty()) {
        lines << shiftLines(report);
    }
    out.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
}

QString saveCsv(const Report &report, const QString &path, const ExportProgress &progress) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return exportFailure(path, file.errorString());
    }
    const QString beside = companionPath(path);
    QSaveFile companion(beside);
    if (!companion.open(QIODevice::WriteOnly)) {
        return exportFailure(beside, companion.errorString());
    }
    writeCompanion(report, path, companion);
    bool stopped = false;
    const bool written = write(report, file, [&](qint64 done, qint64 total) {
        stopped = progress && !progress(done, total);
        return !stopped;
    });
    if (stopped) {
        file.cancelWriting();
        companion.cancelWriting();
        return exportCancelled(path);
    }
    // A write that failed anywhere makes the commit fail, and the name keeps what it had.
    if (!written || !file.commit()) {
        companion.cancelWriting();
        return exportFailure(path, file.errorString());
    }
    if (!companion.commit()) {
        return exportFailure(beside, companion.errorString());
    }
    return {};
}

} // namespace cash_close
