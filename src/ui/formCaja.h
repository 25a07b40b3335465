#pragma once

#include "cash_close/CashCloseRun.h"
#include "cash_close/Report.h"
#include "ui/Form.h"

#include <QPointer>
#include <memory>
#include <mutex>
#include <optional>

class QLabel;
class QProgressDialog;
class QThread;
class QTreeWidget;
class QLineEdit;
class QPushButton;
class CajaGridModel;
class QTableView;
namespace accounts {
class AccountService;
class Session;
} // namespace accounts
namespace stations {
class StationBoard;
}

// The cash close: the rentals of a period copied into Caja, trimmed by time, totalled overall
// and for the signed-in operator, and listed in the grid. It asks for the journal and chart windows,
// which are its children once opened.
class formCaja final : public ui::Form {
    Q_OBJECT
public:
    // accounts: where the administrator's password for a restore is checked.
    formCaja(sys::Platform &platform, accounts::Session &session, stations::StationBoard &board,
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

    bool isRunning() const { return running_; }

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
    QTreeWidget *trvResumen = nullptr; // rentals, subtotals by operator, station and mode

    // The report of the last run that ended well; none after a refused, cancelled or failed one.
    const cash_close::Report *report() const { return report_ ? &*report_ : nullptr; }

    // The totals of the last run.
    double totalGeneral = 0.0;
    double totalUsuario = 0.0;

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

protected:
    bool queryClose() override;

private:
    QString currentOperator() const;
    // The period in the four boxes; a box that cannot be read is told and gives nothing.
    std::optional<cash_close::Period> readPeriod();
    // The journal's anchor: the last run's, else the journal as it stands now.
    void showJournalSummary();
    void showAnchor(const cash_close::Report &report);
    // Checks the books against the journal in the background; a difference is told.
    void checkBooks();
    void clearResults();
    void runFinished();
    void showReport(cash_close::Report report);
    void setRunning(bool running);

    // What the run's thread and the window share.
    struct RunJob {
        std::mutex mutex;
        data::Database *database = nullptr; // while open, for Cancelar
        bool cancelled = false;
        bool interrupted = false;
        std::optional<cash_close::Report> report;
        QString failure;
        QString backupFailure;
    };

    accounts::Session &session_;
    stations::StationBoard &board_;
    accounts::AccountService &accounts_;
    CajaGridModel *gridModel_ = nullptr;
    bool running_ = false;
    std::optional<cash_close::Report> report_;
    std::shared_ptr<RunJob> job_;
    QPointer<QThread> worker_;
    QPointer<QProgressDialog> progress_;
};
