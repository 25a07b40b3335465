#pragma once

#include "data/Database.h"
#include "ui/Form.h"

#include <QPointer>
#include <memory>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class NewPasswordDialog;
namespace seal {
class Key;
}
namespace accounts {
class Session;
class SignInThrottle;
} // namespace accounts

// The accounts window: an operator signs in here (into the session), and the administrator adds
// and removes operator accounts. The main window stays disabled while it is open; only a sign-in
// enables it again.
class formUsuario final : public ui::Form {
    Q_OBJECT
public:
    enum class Mode { SignIn, NewAccount };

    formUsuario(sys::Platform &platform, accounts::Session &session,
                std::shared_ptr<accounts::SignInThrottle> throttle);
    ~formUsuario() override;

    // Opens the window's own handle and lists the accounts. False when that failed (the
    // reason has been shown); the window stays usable, "&Salir" still ends the program.
    bool Form_Load();

    void cmdAceptar_Click();
    void cmdAgregar_Click();
    void cmdGuardar_Click();
    void cmdCancelar_Click();
    void cmdBorrar_Click();
    void cmdSalir_Click();
    void cmdContrasena_Click();
    bool combUsuario_KeyDown(int key, Qt::KeyboardModifiers shift);
    bool maskContrasena_KeyDown(int key, Qt::KeyboardModifiers shift);

    Mode mode() const { return mode_; }
    bool databaseOpen() const { return database_ != nullptr; }

    // Controls.
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

protected:
    bool queryClose() override;

private:
    enum class Check { Right, Wrong, Waiting };

    void SignIn();
    void completeSignIn(const QString &name);
    // Checks a typed password through the throttle; Waiting has already been said to the operator.
    Check checkPassword(const QString &account, const QString &hash, const QString &typed);
    // The account's stored hash read afresh; false when it could not be read (said).
    bool lookUpHash(const QString &account, QString &hash);
    // The new-password dialog for account; actor is who changes it. previousKey: the owner's key
    // of the administrator's old password, which certifies the new one's.
    void askNewPassword(const QString &account, const QString &actor, bool firstSignIn,
                        const std::shared_ptr<const seal::Key> &previousKey = {});
    bool storePassword(const QString &account, const QString &actor, const QString &password, bool firstSignIn,
                       const seal::Key *previousKey);
    // The owner's key a password of the administrator gives in these books (slow); nothing, said,
    // when it cannot be derived.
    std::optional<seal::Key> ownerKeyFor(const QString &password);
    bool ownerKeyStored();
    // Whether the account's password was set by the administrator and its owner has yet to choose one.
    bool mustChoosePassword(const QString &account);
    // The new account, once its password was typed again; false when it was refused (said).
    bool createAccount(const QString &name, const QString &password);
    void journalRefusal(const QString &account, const QString &why);
    // Reads the account list afresh into the combo and selects its first entry.
    bool reloadList();
    void enterSignInMode();
    void enterNewAccountMode();
    // The list entry the combo's text names exactly, or -1 when the typed text names none.
    int selectedIndex() const;
    bool haveDatabase();
    void showMessage(const QString &text);

    accounts::Session &session_;
    std::unique_ptr<data::Database> database_;
    data::Recordset list_;
    QString adminName_;
    QString adminHash_; // the administrator's password hash, read on load; follows its changes
    QPointer<NewPasswordDialog> passwordDialog_;
    std::shared_ptr<accounts::SignInThrottle> throttle_; // the main window's, for the whole run
    Mode mode_ = Mode::SignIn;
};
