#include "ui/formUsuario.h"

#include "ui/NewPasswordDialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <memory>

using Outcome = accounts::Answer::Outcome;

formUsuario::formUsuario(sys::Platform &platform, accounts::AccountService &accounts)
    : ui::Form(platform, QStringLiteral("Usuario"), QSize(7560, 3480), QSize(447, 241), 3), accounts_(accounts) {
    setObjectName(QStringLiteral("formUsuario"));

    Label1 = new QLabel(QStringLiteral("Usuario"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    place(Label1, 360, 360, 1095, 375);

    combUsuario = new QComboBox(this);
    combUsuario->setObjectName(QStringLiteral("combUsuario"));
    combUsuario->setEditable(true);
    // Typed text never becomes an entry, and nothing completes it behind the operator's back:
    // the sign-in matches the text exactly.
    combUsuario->setInsertPolicy(QComboBox::NoInsert);
    combUsuario->setCompleter(nullptr);
    place(combUsuario, 1560, 360, 3255, 315);

    txtUsuario = new QLineEdit(this);
    txtUsuario->setObjectName(QStringLiteral("txtUsuario"));
    txtUsuario->setGeometry(combUsuario->geometry());
    txtUsuario->hide();

    Label2 = new QLabel(QStringLiteral("Contraseña"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    place(Label2, 120, 1320, 1575, 375);

    maskContrasena = new QLineEdit(this);
    maskContrasena->setObjectName(QStringLiteral("maskContraseña"));
    maskContrasena->setEchoMode(QLineEdit::Password);
    maskContrasena->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    place(maskContrasena, 1560, 1320, 3255, 375);

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    place(Frame1, 1560, 2280, 3135, 615);
    cmdAceptar = button(Frame1, "cmdAceptar", QStringLiteral("&Aceptar"), 120, 160, 1380, 350);
    cmdSalir = button(Frame1, "cmdSalir", QStringLiteral("&Salir"), 1560, 160, 1380, 350);

    Frame2 = new QGroupBox(this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    place(Frame2, 4920, -20, 2535, 2895);
    cmdAgregar = button(Frame2, "cmdAgregar", QStringLiteral("&Nuevo Usuario"), 120, 360, 2295, 450);
    cmdBorrar = button(Frame2, "cmdBorrar", QStringLiteral("&Borrar Usuario"), 120, 960, 2295, 450);
    cmdGuardar = button(Frame2, "cmdGuardar", QStringLiteral("&Guardar Cambios"), 120, 1560, 2295, 450);
    cmdCancelar = button(Frame2, "cmdCancelar", QStringLiteral("&Cancelar"), 120, 2160, 2295, 450);
    cmdContrasena = button(this, "cmdContrasena", QStringLiteral("Cambiar C&ontraseña"), 5040, 2940, 2295, 450);

    tabChain({combUsuario, txtUsuario, maskContrasena, cmdAceptar, cmdSalir, cmdAgregar, cmdBorrar, cmdGuardar,
              cmdCancelar, cmdContrasena});

    connect(cmdAceptar, &QPushButton::clicked, this, &formUsuario::cmdAceptar_Click);
    connect(cmdAgregar, &QPushButton::clicked, this, &formUsuario::cmdAgregar_Click);
    connect(cmdGuardar, &QPushButton::clicked, this, &formUsuario::cmdGuardar_Click);
    connect(cmdCancelar, &QPushButton::clicked, this, &formUsuario::cmdCancelar_Click);
    connect(cmdBorrar, &QPushButton::clicked, this, &formUsuario::cmdBorrar_Click);
    connect(cmdSalir, &QPushButton::clicked, this, &formUsuario::cmdSalir_Click);
    connect(cmdContrasena, &QPushButton::clicked, this, &formUsuario::cmdContrasena_Click);
    ui::onKeyDown(combUsuario, [this](int key, Qt::KeyboardModifiers m) { return combUsuario_KeyDown(key, m); });
    ui::onKeyDown(maskContrasena, [this](int key, Qt::KeyboardModifiers m) { return maskContrasena_KeyDown(key, m); });

    enterSignInMode();

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()).topLeft());
    }
}

formUsuario::~formUsuario() = default;

bool formUsuario::Form_Load() {
    const bool listed = reloadList();
    enterSignInMode();
    // Ready for the first key as soon as the window is shown.
    maskContrasena->setFocus(Qt::OtherFocusReason);
    return listed;
}

bool formUsuario::reloadList() {
    combUsuario->clear();
    const accounts::AccountService::Listing listing = accounts_.accounts();
    if (!listing.problem.isEmpty()) {
        showMessage(listing.problem);
        return false;
    }
    combUsuario->addItems(listing.names);
    combUsuario->setCurrentIndex(0);
    return true;
}

void formUsuario::cmdAceptar_Click() {
    SignIn();
}

void formUsuario::SignIn() {
    const accounts::Answer answer = accounts_.signIn(combUsuario->currentText(), maskContrasena->text());
    switch (answer.outcome) {
    case Outcome::Done:
        if (!answer.message.isEmpty()) {
            showMessage(answer.message);
        }
        completeSignIn();
        return;
    case Outcome::ChoosePassword:
        askNewPassword(*answer.grant);
        return;
    case Outcome::Wrong:
    case Outcome::Waiting:
        passwordRefused(answer.message);
        return;
    case Outcome::Failed:
        showMessage(answer.message);
        return;
    }
}

void formUsuario::completeSignIn() {
    Q_EMIT signedIn();
    unload();
}

void formUsuario::passwordRefused(const QString &message) {
    showMessage(message);
    maskContrasena->clear();
    maskContrasena->setFocus();
}

void formUsuario::cmdContrasena_Click() {
    if (passwordDialog_) {
        passwordDialog_->raise();
        passwordDialog_->activateWindow();
        return;
    }
    const accounts::Answer answer = accounts_.mayChangePassword(combUsuario->currentText(), maskContrasena->text());
    switch (answer.outcome) {
    case Outcome::Done:
    case Outcome::ChoosePassword:
        if (!answer.message.isEmpty()) {
            showMessage(answer.message);
        }
        askNewPassword(*answer.grant);
        return;
    case Outcome::Wrong:
    case Outcome::Waiting:
        passwordRefused(answer.message);
        return;
    case Outcome::Failed:
        showMessage(answer.message);
        return;
    }
}

void formUsuario::askNewPassword(const accounts::Grant &grant) {
    const QString account = grant.account();
    const bool firstSignIn = grant.firstSignIn();
    auto done = std::make_shared<QString>(); // what the service said when it was kept
    auto *dialog =
        new NewPasswordDialog(this, platform().messages, account, firstSignIn, [this, grant, done](const QString &p) {
            const accounts::Result result = accounts_.changePassword(grant, p);
            if (!result.ok) {
                showMessage(result.message);
            }
            *done = result.message;
            return result.ok;
        });
    passwordDialog_ = dialog;
    if (firstSignIn && !grant.administratorsAccount()) {
        dialog->lblPrimerIngreso->setText(QStringLiteral("Es el primer ingreso con la contraseña que le dio el "
                                                         "administrador: elija una contraseña propia."));
    }
    connect(dialog, &QDialog::accepted, this, [this, firstSignIn, done] {
        maskContrasena->clear();
        if (firstSignIn) {
            completeSignIn();
        } else {
            showMessage(*done);
        }
    });
    // Cancelled, a first sign-in stays undone: the main window waits for the next one.
    connect(dialog, &QDialog::rejected, this, [this] {
        maskContrasena->clear();
        maskContrasena->setFocus();
    });
    dialog->open();
}

void formUsuario::cmdAgregar_Click() {
    const accounts::Answer answer = accounts_.mayAddAccounts(combUsuario->currentText(), maskContrasena->text());
    switch (answer.outcome) {
    case Outcome::Done:
    case Outcome::ChoosePassword:
        administration_ = answer.grant;
        enterNewAccountMode();
        return;
    case Outcome::Wrong:
        showMessage(answer.message);
        combUsuario->setFocus();
        return;
    case Outcome::Waiting:
    case Outcome::Failed:
        showMessage(answer.message);
        return;
    }
}

void formUsuario::cmdGuardar_Click() {
    using Field = accounts::NewAccountCheck::Field;
    const QString password = maskContrasena->text();
    const accounts::NewAccountCheck checked = accounts_.checkNewAccount(txtUsuario->text(), password);
    if (!checked.problem.isEmpty()) {
        showMessage(checked.problem);
        if (checked.at == Field::Name) {
            txtUsuario->setFocus();
        } else if (checked.at == Field::Password) {
            maskContrasena->clear();
            maskContrasena->setFocus();
        }
        return;
    }
    // The dialog asks for the second typing.
    auto done = std::make_shared<QString>();
    auto *dialog = new NewPasswordDialog(
        this, platform().messages, checked.name, false, [this, name = checked.name, password, done](const QString &) {
            const accounts::Result result =
                administration_ ? accounts_.addAccount(*administration_, name, password) : accounts::Result{false, {}};
            if (!result.ok && !result.message.isEmpty()) {
                showMessage(result.message);
            }
            *done = result.message;
            return result.ok;
        });
    dialog->askRepetitionOf(password);
    passwordDialog_ = dialog;
    connect(dialog, &QDialog::accepted, this, [this, done] {
        reloadList();
        enterSignInMode();
        showMessage(*done);
    });
    // Typed differently: the name stays, the password is typed again. Refused by the file: all
    // stays, for "&Guardar Cambios" again.
    connect(dialog, &QDialog::rejected, this, [this, dialog] {
        if (!dialog->storeRefused()) {
            maskContrasena->clear();
        }
        maskContrasena->setFocus();
    });
    dialog->open();
}

void formUsuario::cmdCancelar_Click() {
    if (combUsuario->count() > 0) {
        combUsuario->setCurrentIndex(0);
    }
    enterSignInMode();
    combUsuario->setFocus();
}

void formUsuario::cmdBorrar_Click() {
    const accounts::Result result = accounts_.deleteAccount(combUsuario->currentText(), maskContrasena->text());
    showMessage(result.message);
    if (result.ok) {
        reloadList();
        enterSignInMode();
    }
}

void formUsuario::cmdSalir_Click() {
    Q_EMIT exitRequested();
}

bool formUsuario::combUsuario_KeyDown(int key, Qt::KeyboardModifiers) {
    if (!ui::isEnterKey(key)) {
        return false;
    }
    maskContrasena->setFocus();
    return true;
}

bool formUsuario::maskContrasena_KeyDown(int key, Qt::KeyboardModifiers) {
    if (!ui::isEnterKey(key)) {
        return false;
    }
    (cmdAceptar->isEnabled() ? cmdAceptar : cmdGuardar)->setFocus();
    return true;
}

bool formUsuario::queryClose() {
    // Closing must never leave the main window disabled with no way to sign in.
    if (mode_ == Mode::SignIn) {
        cmdSalir_Click();
        return true;
    }
    return false;
}

void formUsuario::enterSignInMode() {
    combUsuario->show();
    cmdGuardar->setEnabled(false);
    cmdAgregar->setEnabled(true);
    cmdAceptar->setEnabled(true);
    cmdBorrar->setEnabled(true);
    cmdSalir->setEnabled(true);
    cmdCancelar->setEnabled(false);
    cmdContrasena->setEnabled(true);
    txtUsuario->hide();
    maskContrasena->clear();
    administration_.reset();
    mode_ = Mode::SignIn;
}

void formUsuario::enterNewAccountMode() {
    cmdAceptar->setEnabled(false);
    cmdBorrar->setEnabled(false);
    combUsuario->hide();
    txtUsuario->show();
    txtUsuario->clear();
    maskContrasena->clear();
    cmdAgregar->setEnabled(false);
    cmdGuardar->setEnabled(true);
    cmdSalir->setEnabled(false);
    cmdCancelar->setEnabled(true);
    cmdContrasena->setEnabled(false);
    txtUsuario->setFocus();
    mode_ = Mode::NewAccount;
}

void formUsuario::showMessage(const QString &text) {
    platform().messages.showMessage(this, text);
}
