#pragma once

#include "accounts/AccountService.h"
#include "ui/Form.h"

#include <QPointer>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class NewPasswordDialog;

// The accounts window: an operator signs in here, and the administrator adds and removes
// operator accounts. It shows what the account service answers and asks it for every check and
// change. It signals a sign-in and the wish to end the program; whoever opened it acts on them.
class formUsuario final : public ui::Form {
    Q_OBJECT
public:
    enum class Mode { SignIn, NewAccount };

    formUsuario(sys::Platform &platform, accounts::AccountService &accounts);
    ~formUsuario() override;

    // Lists the accounts and puts the cursor in the password box. False when there are none to
    // show (the reason has been shown); the window stays usable, "&Salir" still ends the program.
    bool Form_Load();

    Mode mode() const { return mode_; }
    bool databaseOpen() const { return accounts_.isOpen(); }

Q_SIGNALS:
    // Somebody signed in (the session says who); the window unloads itself.
    void signedIn();
    // "&Salir", or the close box in sign-in mode: the operator ends the program.
    void exitRequested();

protected:
    bool queryClose() override;

private:
    void cmdAceptar_Click();
    void cmdAgregar_Click();
    void cmdGuardar_Click();
    void cmdCancelar_Click();
    void cmdBorrar_Click();
    void cmdSalir_Click();
    void cmdContrasena_Click();
    bool combUsuario_KeyDown(int key, Qt::KeyboardModifiers shift);
    bool maskContrasena_KeyDown(int key, Qt::KeyboardModifiers shift);

    void SignIn();
    void completeSignIn();
    // A wrong password, or one not checked for the wait: the box emptied for the next try.
    void passwordRefused(const QString &message);
    // The new-password dialog for the account the grant names.
    void askNewPassword(const accounts::Grant &grant);
    // Reads the account list afresh into the combo and selects its first entry.
    bool reloadList();
    void enterSignInMode();
    void enterNewAccountMode();
    void showMessage(const QString &text);

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *combUsuario = nullptr;
    QLineEdit *txtUsuario = nullptr;
    QLineEdit *maskContrasena = nullptr; // objectName "maskContraseña"
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QPushButton *cmdAceptar = nullptr;
    QPushButton *cmdSalir = nullptr;
    QPushButton *cmdAgregar = nullptr;
    QPushButton *cmdBorrar = nullptr;
    QPushButton *cmdGuardar = nullptr;
    QPushButton *cmdCancelar = nullptr;
    QPushButton *cmdContrasena = nullptr;

    accounts::AccountService &accounts_;
    std::optional<accounts::Grant> administration_; // in new-account mode: the administrator's right to add
    QPointer<NewPasswordDialog> passwordDialog_;
    Mode mode_ = Mode::SignIn;
};
