#pragma once

#include "ui/Form.h"

class QLabel;
class QLineEdit;
class QPushButton;
namespace accounts {
class Session;
}
namespace shifts {
class ShiftService;
}

// The float, asked after a sign-in: the cash in the drawer as the shift starts, offered as what
// the last shift left. "&Aceptar" opens the shift under the signed-in operator; the administrator
// may instead enter without a shift (to change settings: no sale is taken until one is opened).
// "&Cancelar" undoes the sign-in. Controls by object name: lblFondo, txtFondo, lblAviso,
// cmdAceptar, cmdSinTurno, cmdCancelar.
class frmFondo final : public ui::Form {
    Q_OBJECT
public:
    // note: said above the box (why the float is asked now), or empty.
    frmFondo(sys::Platform &platform, shifts::ShiftService &shifts, const accounts::Session &session,
             const QString &note = {});

Q_SIGNALS:
    void shiftOpened();
    void withoutShift();
    void cancelled();

protected:
    bool queryClose() override;

private:
    void cmdAceptar_Click();

    shifts::ShiftService &shifts_;
    const accounts::Session &session_;
    QLabel *lblAviso = nullptr;
    QLabel *lblFondo = nullptr;
    QLineEdit *txtFondo = nullptr;
    QPushButton *cmdAceptar = nullptr;
    QPushButton *cmdSinTurno = nullptr;
    QPushButton *cmdCancelar = nullptr;
};
