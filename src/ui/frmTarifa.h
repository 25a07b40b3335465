#pragma once

#include "data/Database.h"
#include "rate/RateInput.h"
#include "stations/StationTypes.h"
#include "ui/Form.h"

#include <QPointer>
#include <array>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class AdministratorPasswordDialog;
class formLudomat2;

// The rate editor: shows the stored rate and stores a new one, which the main window reads
// at its next start; storing one takes the administrator's password.
class frmTarifa final : public ui::Form {
    Q_OBJECT
public:
    // inForce: the rate the running program charges, read at its start.
    frmTarifa(sys::Platform &platform, formLudomat2 &main, stations::Rate inForce);
    ~frmTarifa() override;

    void Form_Load();
    void cmdGuardar_Click();
    void cmdSalir_Click();

    // Controls.
    std::array<QLabel *, 6> Label1{};
    QLineEdit *txtPesos1 = nullptr;
    QLineEdit *txtMinutos1 = nullptr;
    QLineEdit *txtPesos2 = nullptr;
    QLineEdit *txtMinutos2 = nullptr;
    QPushButton *cmdGuardar = nullptr;
    QPushButton *cmdSalir = nullptr;
    QLabel *lblEnUso = nullptr; // shown when the rate in force is not the stored one

    // Window-wide state.
    std::unique_ptr<data::Database> database;
    QString sqlText;

protected:
    bool queryClose() override;

private:
    void store(const rate::NewRate &rate);

    QPointer<formLudomat2> main_; // whose operator changes the rate, for the journal
    stations::Rate inForce_;
    QPointer<AdministratorPasswordDialog> passwordDialog_;
};
