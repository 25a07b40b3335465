#pragma once

#include "rate/RateInput.h"
#include "stations/StationTypes.h"
#include "ui/Form.h"

#include <QPointer>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class AdministratorPasswordDialog;
namespace accounts {
class AccountService;
}
namespace rate {
class RateService;
}

// The rate editor: shows the stored rate and has the rate service store a new one, which the
// room takes at its next start; storing one takes the administrator's password.
class frmTarifa final : public ui::Form {
    Q_OBJECT
public:
    // inForce: the rate the running program charges, read at its start. accounts: where the
    // administrator's password is checked.
    frmTarifa(sys::Platform &platform, rate::RateService &rates, accounts::AccountService &accounts,
              stations::Rate inForce);
    ~frmTarifa() override;

    void Form_Load();

protected:
    bool queryClose() override;

private:
    void cmdGuardar_Click();
    void cmdSalir_Click();
    void store(const rate::NewRate &rate);

    rate::RateService &rates_;
    accounts::AccountService &accounts_;
    stations::Rate inForce_;
    QPointer<AdministratorPasswordDialog> passwordDialog_;

    std::array<QLabel *, 6> Label1{};
    QLineEdit *txtPesos1 = nullptr;
    QLineEdit *txtMinutos1 = nullptr;
    QLineEdit *txtPesos2 = nullptr;
    QLineEdit *txtMinutos2 = nullptr;
    QPushButton *cmdGuardar = nullptr;
    QPushButton *cmdSalir = nullptr;
    QLabel *lblEnUso = nullptr; // shown when the rate in force is not the stored one
};
