#pragma once

#include "shifts/Shift.h"
#include "ui/Form.h"

#include <QMap>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
namespace accounts {
class AccountService;
class Session;
} // namespace accounts
namespace shifts {
class ShiftService;
}

// The count of the drawer that closes the open shift: a row per note and coin, how many of each,
// and the total as typed; what the drawer should hold is not shown until "Cerrar &turno" has
// stored the count. Then the expected amount and the difference are shown, the administrator may
// add a note (with the administrator's password when the operator is not one), and the count can
// be made again, as a count of its own. A shift left open by a program that stopped is closed here
// too, counted or, on the administrator's word, uncounted.
// Controls by object name: lblTurno, txtCantidad_<cents> (one a denomination), lblTotal,
// cmdCerrarTurno, cmdSinArqueo, cmdCancelar; after the close lblEsperado, lblDiferencia, txtNota,
// cmdNota, cmdRecontar, cmdContinuar.
class frmArqueo final : public ui::Form {
    Q_OBJECT
public:
    // unclosed: the shift was left open by a program that stopped; it may be closed uncounted.
    frmArqueo(sys::Platform &platform, shifts::ShiftService &shifts, accounts::AccountService &accounts,
              const accounts::Session &session, const shifts::ShiftRecord &shift, bool unclosed);

Q_SIGNALS:
    // The shift is closed and the operator went on.
    void finished();
    // Left before the count was stored: the shift stays open.
    void cancelled();

protected:
    bool queryClose() override;

private:
    void cmdCerrarTurno_Click();
    void cmdSinArqueo_Click();
    void cmdNota_Click();
    void cmdRecontar_Click();
    void showTotal();
    // After a close: what was expected, the difference, and the way on.
    void showResult(const shifts::ShiftRecord &closed);
    // action with the administrator's name: the operator's own when one, else after the password.
    void asAdministrator(const QString &why, std::function<void(const QString &administrator)> action);

    shifts::ShiftService &shifts_;
    accounts::AccountService &accounts_;
    const accounts::Session &session_;
    qint64 numero_ = 0;
    bool closed_ = false;
    QVector<qint64> denominations_;
    QMap<qint64, QLineEdit *> boxes_;
    QLabel *lblTurno = nullptr;
    QLabel *lblTotal = nullptr;
    QLabel *lblEsperado = nullptr;
    QLabel *lblDiferencia = nullptr;
    QLineEdit *txtNota = nullptr;
    QPushButton *cmdNota = nullptr;
    QPushButton *cmdCerrarTurno = nullptr;
    QPushButton *cmdSinArqueo = nullptr;
    QPushButton *cmdCancelar = nullptr;
    QPushButton *cmdRecontar = nullptr;
    QPushButton *cmdContinuar = nullptr;
};
