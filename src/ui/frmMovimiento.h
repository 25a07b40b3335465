#pragma once

#include "shifts/Shift.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
namespace accounts {
class Session;
}
namespace sys {
struct Platform;
}
namespace shifts {
class ShiftService;
}

// Cash put in or taken out of the drawer during the shift: its kind, amount and reason, stored in
// the open shift under the signed-in operator. A Gasto needs its reason; a Retiro larger than
// what the drawer should hold is taken, after saying so. Shown with open(): the tick goes on.
// Controls by object name: lblTurno, cboTipo, txtImporte, txtMotivo, cmdAceptar, cmdCancelar.
class frmMovimiento final : public QDialog {
    Q_OBJECT
public:
    frmMovimiento(QWidget *parent, sys::Platform &platform, shifts::ShiftService &shifts,
                  const accounts::Session &session, shifts::MovementKind kind);

private:
    void cmdAceptar_Click();

    sys::Platform &platform_;
    shifts::ShiftService &shifts_;
    const accounts::Session &session_;
    QLabel *lblTurno = nullptr;
    QComboBox *cboTipo = nullptr;
    QLineEdit *txtImporte = nullptr;
    QLineEdit *txtMotivo = nullptr;
};
