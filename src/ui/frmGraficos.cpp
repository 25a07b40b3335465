#include "ui/frmGraficos.h"

#include "data/OutputTarget.h"
#include "ui/ReportChartViews.h"

#include <QDir>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QPushButton>
#include <QSaveFile>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// A tab holding chart above its save button.
QPushButton *addPage(QTabWidget *tabs, ReportChart *chart, const QString &tab, const char *buttonName) {
    auto *page = new QWidget(tabs);
    auto *column = new QVBoxLayout(page);
    chart->setParent(page);
    column->addWidget(chart, 1);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    auto *button = new QPushButton(QStringLiteral("Guardar como PNG…"), page);
    button->setObjectName(QString::fromLatin1(buttonName));
    row->addWidget(button);
    column->addLayout(row);
    tabs->addTab(page, tab);
    return button;
}

} // namespace

frmGraficos::frmGraficos(sys::Platform &platform, QWidget *owner)
    : ui::Form(platform, QStringLiteral("Gráficos"), QSize(14400, 9900), QSize(960, 660), 7) {
    setParent(owner, Qt::Window);
    setObjectName(QStringLiteral("frmGraficos"));

    tabGraficos = new QTabWidget(this);
    tabGraficos->setObjectName(QStringLiteral("tabGraficos"));
    place(tabGraficos, 120, 120, 14160, 9660);
    picHora = new HeatMapChart(tabGraficos);
    picHora->setObjectName(QStringLiteral("picHora"));
    cmdGuardarHora = addPage(tabGraficos, picHora, QStringLiteral("Por &hora y puesto"), "cmdGuardarHora");
    picOperador = new OperatorBarsChart(tabGraficos);
    picOperador->setObjectName(QStringLiteral("picOperador"));
    cmdGuardarOperador = addPage(tabGraficos, picOperador, QStringLiteral("Por &operador"), "cmdGuardarOperador");
    picDia = new DailyLineChart(tabGraficos);
    picDia->setObjectName(QStringLiteral("picDia"));
    cmdGuardarDia = addPage(tabGraficos, picDia, QStringLiteral("Por &día"), "cmdGuardarDia");
    picDiferencias = new DifferencesChart(tabGraficos);
    picDiferencias->setObjectName(QStringLiteral("picDiferencias"));
    cmdGuardarDiferencias =
        addPage(tabGraficos, picDiferencias, QStringLiteral("Diferencias de &caja"), "cmdGuardarDiferencias");

    connect(cmdGuardarHora, &QPushButton::clicked, this,
            [this] { save(picHora, QStringLiteral("recaudacion-por-hora-y-puesto")); });
    connect(cmdGuardarOperador, &QPushButton::clicked, this,
            [this] { save(picOperador, QStringLiteral("recaudacion-por-operador")); });
    connect(cmdGuardarDia, &QPushButton::clicked, this,
            [this] { save(picDia, QStringLiteral("recaudacion-por-dia")); });
    connect(cmdGuardarDiferencias, &QPushButton::clicked, this,
            [this] { save(picDiferencias, QStringLiteral("diferencias-de-caja")); });
}

void frmGraficos::showReport(const cash_close::Report &report) {
    period_ = report.period;
    picHora->setReport(report);
    picOperador->setReport(report);
    picDia->setReport(report);
    picDiferencias->setReport(report);
}

void frmGraficos::save(ReportChart *chart, const QString &stem) {
    const QString suggested = QDir::home().filePath(
        QStringLiteral("%1_%2_%3.png").arg(stem, period_.from.toString(Qt::ISODate), period_.to.toString(Qt::ISODate)));
    const QString path = platform().files.savePath(
        this, {QStringLiteral("Guardar como PNG"), suggested, {QStringLiteral("PNG (*.png)")}});
    if (path.isEmpty()) {
        return;
    }
    if (const QString refusal = data::outputRefusal(path, platform().databasePath()); !refusal.isEmpty()) {
        platform().messages.showMessage(
            this, QStringLiteral("No se guardó el gráfico: %1 %2.").arg(QDir::toNativeSeparators(path), refusal));
        return;
    }
    // Written beside the target and renamed over it at the end: a failure leaves no half file.
    QSaveFile file(path);
    QString failure;
    if (!file.open(QIODevice::WriteOnly)) {
        failure = file.errorString();
    } else {
        QImageWriter writer(&file, "png");
        if (!writer.write(chart->toImage(kImageSize))) {
            failure = writer.errorString();
            file.cancelWriting();
        } else if (!file.commit()) {
            failure = file.errorString();
        }
    }
    platform().messages.showMessage(
        this,
        failure.isEmpty()
            ? QStringLiteral("Se guardó el gráfico en %1.").arg(QDir::toNativeSeparators(path))
            : QStringLiteral("No se pudo guardar el gráfico en %1.\n%2").arg(QDir::toNativeSeparators(path), failure));
}

bool frmGraficos::queryClose() {
    unload();
    return true;
}
