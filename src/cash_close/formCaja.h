#pragma once

#include "cash_close/CashCloseRun.h"
#include "ui/Form.h"

#include <QPointer>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class CajaGridModel;
class QTableView;
class formLudomat2;
class frmRegistro;

// The cash close: the rentals of a period copied into Caja, trimmed by time, totalled overall
// and for the signed-in operator, and listed in the grid.
class formCaja final : public ui::Form {
    Q_OBJECT
public:
    formCaja(ui::Platform &platform, formLudomat2 &main);
    ~formCaja() override;

    void Form_Load();
    void cmdProcesar_Click();
    void cmdSalir_Click();
    void cmdRegistro_Click();

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
    QLabel *lblRegistro = nullptr; // the journal's length and last hash, for the printed report
    QPushButton *cmdRegistro = nullptr;

    // The journal window, while loaded.
    QPointer<frmRegistro> registroWindow;

    // The totals of the last run.
    double totalGeneral = 0.0;
    double totalUsuario = 0.0;

    // Grid column widths in twips, in the order of Caja's columns.
    static constexpr int kGridWidths[7] = {800, 800, 1000, 1000, 1100, 1100, 900};

protected:
    bool queryClose() override;

private:
    QString currentOperator() const;
    // The period in the four boxes; a box that cannot be read is told and gives nothing.
    std::optional<cash_close::Period> readPeriod();
    void showJournalSummary();
    void bindGrid();
    void setRunning(bool running);

    QPointer<formLudomat2> main_;
    CajaGridModel *gridModel_ = nullptr;
    bool running_ = false;
};
