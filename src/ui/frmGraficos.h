#pragma once

#include "cash_close/Report.h"
#include "ui/Form.h"

class DailyLineChart;
class DifferencesChart;
class HeatMapChart;
class OperatorBarsChart;
class QPushButton;
class QTabWidget;
class ReportChart;

// Four pictures of a cash-close report, one to a tab, each of which can be saved as a PNG.
class frmGraficos final : public ui::Form {
    Q_OBJECT
public:
    // A window of owner's: it goes when owner goes.
    frmGraficos(sys::Platform &platform, QWidget *owner);

    void Form_Load() {}
    // Draws report; the window keeps what it needs, so report may go afterwards.
    void showReport(const cash_close::Report &report);

    static constexpr QSize kImageSize{1200, 700};

protected:
    bool queryClose() override;

private:
    // Asks where to save chart as a PNG (the platform's file chooser), offering stem and the period as its name, saves
    // it there and tells how it went.
    void save(ReportChart *chart, const QString &stem);

    cash_close::Period period_;

    QTabWidget *tabGraficos = nullptr;
    HeatMapChart *picHora = nullptr;
    OperatorBarsChart *picOperador = nullptr;
    DailyLineChart *picDia = nullptr;
    DifferencesChart *picDiferencias = nullptr;
    QPushButton *cmdGuardarHora = nullptr;
    QPushButton *cmdGuardarOperador = nullptr;
    QPushButton *cmdGuardarDia = nullptr;
    QPushButton *cmdGuardarDiferencias = nullptr;
};
