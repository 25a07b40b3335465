#pragma once

#include <QDialog>
#include <functional>

class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace sys {
class MessagePresenter;
}

// Asks for an account's new password twice. Shown with open(), never exec(): the main window's
// tick goes on meanwhile. A password the rules refuse is named in a message and both boxes are
// emptied; one they accept goes to store(), and the dialog closes only once store() says it was
// kept (false: it has told the operator why, and the old password is still in force).
class NewPasswordDialog final : public QDialog {
    Q_OBJECT
public:
    NewPasswordDialog(QWidget *parent, sys::MessagePresenter &messages, QString account, bool firstSignIn,
                      std::function<bool(const QString &password)> store);

    // For a password typed once already (a new account's, in the accounts window): only the second
    // typing is asked, and a refusal closes the dialog, since the first typing is to be redone there.
    void askRepetitionOf(const QString &first);
    // Whether the last answer passed the rules but store() refused it.
    bool storeRefused() const { return storeRefused_; }

    QLabel *lblPrimerIngreso = nullptr; // shown only at a first sign-in with a password somebody else knows
    QLabel *lblCuenta = nullptr;
    QLineEdit *txtNueva = nullptr;
    QLineEdit *txtRepetida = nullptr;
    QPushButton *cmdAceptar = nullptr;
    QPushButton *cmdCancelar = nullptr;

private:
    void cmdAceptar_Click();
    void emptyBoxes();

    QFormLayout *boxes_ = nullptr;
    bool repetitionOnly_ = false;
    bool storeRefused_ = false;
    sys::MessagePresenter &messages_;
    QString account_;
    std::function<bool(const QString &)> store_;
};
