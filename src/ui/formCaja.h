#pragma once

#include "cash_close/CashCloseJob.h"
#include "cash_close/Report.h"
#include "platform/Background.h"
#include "ui/Form.h"

#include <QPointer>
#include <optional>

class QLabel;
class QProgressDialog;
class QTreeWidget;
class QLineEdit;
class QPushButton;
class CajaGridModel;
class QTableView;
class QTableWidget;
namespace accounts {
class AccountService;
class Session;
} // namespace accounts
namespace data {
struct Restored;
}
namespace stations {
class StationBoard;
}

// The cash close: the rentals of a period copied into Caja, trimmed by time, totalled overall
// and for the signed-in operator, and listed in the grid; the copies of the books, made or put
// back. The run, a copy and a restore work in the background; meanwhile the window takes no
// input and cannot be left, and it goes on in their callbacks. It asks for the journal and
// chart windows, which are its children once opened.
class formCaja final : public ui::Form {
    Q_OBJECT
public:
    // session says who runs the close; board has the stations a restore must find closed and
    // reads the restored rate; accounts checks the administrator's password for a restore.
    formCaja(sys::Platform &platform, const accounts::Session &session, stations::StationBoard &board,
             accounts::AccountService &accounts);
    ~formCaja() override;

    void Form_Load();
    void cmdProcesar_Click();
    void cmdSalir_Click();
    void cmdRegistro_Click();
    void cmdGraficos_Click();
    void cmdCopia_Click();
    void cmdRestaurar_Click();
    void cmdExportar_Click();
    void cmdImprimir_Click();
    // The last run's operations, each in a row of a list over the window.
    void cmdOperaciones_Click();
    // The slip of the closed shift selected in the shifts' list, as a PDF.
    void cmdPdfTurno_Click();

    // What the report calls the stations and their types; unset, the board's room as it stands.
    void setStationLabels(cash_close::StationLabels labels) { labels_ = std::move(labels); }

    // A run, a copy or a restore is under way (or its question is open).
    bool isRunning() const { return running_; }

    // The report of the last run that ended well; none after a refused, cancelled or failed one.
    const cash_close::Report *report() const { return report_ ? &*report_ : nullptr; }

    // Grid column widths in twips, in the order of Caja's columns.
    static constexpr int kGridWidths[7] = {800, 800, 1000, 1000, 1100, 1100, 900};

Q_SIGNALS:
    // "&Registro" for the journal of a period (local times, both ends included).
    void journalAsked(const QDateTime &from, const QDateTime &to);
    // "&Gráficos" for the charts of the last run.
    void chartsAsked(const cash_close::Report &report);
    // The window was left: the main window takes input again.
    void left();
    // A copy of the books was put back and the window left: a sign-in against the copy's accounts.
    void copyRestored();
    // "PDF del t&urno" for the slip of a closed shift (Turnos.Numero).
    void shiftSlipAsked(qint64 numero);

protected:
    bool queryClose() override;

private:
    QString currentOperator() const;
    cash_close::StationLabels stationLabels() const;
    // The period in the four boxes; a box that cannot be read is told and gives nothing.
    std::optional<cash_close::Period> readPeriod();
    // The journal's anchor: the last run's, else the journal as it stands now.
    void showJournalSummary();
    void showAnchor(const cash_close::Report &report);
    void clearResults();
    void runFinished(cash_close::RunResult result);
    void showReport(cash_close::Report report);
    void showShifts();
    // The shift of the list's selected row when it is closed with its count; 0 when none.
    qint64 selectedClosedShift() const;
    void setRunning(bool running);
    // The window-modal progress of the job under way; with cancel, a button that cancels it.
    void showProgress(const QString &text, const QString &cancel);
    // After the administrator's password: the copy to put back, then the restore.
    void restoreAs(const QString &administrator);
    void restoreFinished(const QString &copy, const data::Restored &result);

    // Controls.
    QLabel *Label1 = nullptr; // "Usuario:"
    QLabel *lblUsuario = nullptr;
    QLabel *lblDesde = nullptr;
    QLabel *lblHasta = nullptr;
    QLabel *lblHora1 = nullptr;
    QLabel *lblHora2 = nullptr;
    QLabel *lblFecha1 = nullptr;
    QLabel *lblFecha2 = nullptr;
    QLineEdit *txtHora1 = nullptr;
    QLineEdit *txtHora2 = nullptr;
    QLineEdit *txtFecha1 = nullptr;
    QLineEdit *txtFecha2 = nullptr;
    QPushButton *cmdProcesar = nullptr;
    QPushButton *cmdSalir = nullptr;
    QLabel *dgCaption = nullptr;
    QTableView *dgLudomat = nullptr;
    QLabel *lblTotal = nullptr;
    QLineEdit *txtTotal = nullptr;
    QLabel *lblTotalUsuario = nullptr;
    QLineEdit *txtTotalUsuario = nullptr;
    QLabel *lblRegistro = nullptr; // the journal's anchor: length, last hash, the owner's seal
    QPushButton *cmdRegistro = nullptr;
    QPushButton *cmdGraficos = nullptr;
    QPushButton *cmdCopia = nullptr;
    QPushButton *cmdRestaurar = nullptr; // beside the copy: a copy put back, by the administrator
    QPushButton *cmdExportar = nullptr;
    QPushButton *cmdImprimir = nullptr;
    QLabel *lblResumen = nullptr;
    QTreeWidget *trvResumen = nullptr;     // rentals, subtotals by operator, station and mode, operations
    QPushButton *cmdOperaciones = nullptr; // above the summary: the list of the run's operations
    QLabel *lblTurnos = nullptr;
    QTableWidget *grdTurnos = nullptr; // the shifts open during the period, one a row
    QPushButton *cmdPdfTurno = nullptr;

    const accounts::Session &session_;
    stations::StationBoard &board_;
    accounts::AccountService &accounts_;
    CajaGridModel *gridModel_ = nullptr;
    bool running_ = false;
    std::optional<cash_close::Report> report_;
    std::optional<cash_close::StationLabels> labels_;
    QPointer<QProgressDialog> progress_;
    // The run, copy or restore under way: cancelled (a run) or waited for (a copy) if the window
    // goes meanwhile. Last, so it ends before anything it reports to.
    sys::Job job_;
};
