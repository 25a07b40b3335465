#include "ui/formUsuario.h"

#include "accounts/AccountNames.h"
#include "accounts/PasswordHash.h"
#include "accounts/PasswordPolicy.h"
#include "accounts/Session.h"
#include "accounts/SignInThrottle.h"
#include "data/Journal.h"
#include "data/JournalBooks.h"
#include "data/NumberText.h"
#include "data/Seal.h"
#include "data/Statements.h"
#include "ui/NewPasswordDialog.h"

#include <QCollator>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {

// The account that can never be deleted: the delivered administrator row carries this name.
const QString kAdminName = QStringLiteral("Admin");

// What a failed write says without its statement: password statements hold hashes.
QString withoutStatement(const data::DbError &error) {
    return data::DbError(error.message(), {}, error.code()).describe();
}

} // namespace

formUsuario::formUsuario(sys::Platform &platform, accounts::Session &session,
                         std::shared_ptr<accounts::SignInThrottle> throttle)
    : ui::Form(platform, QStringLiteral("Usuario"), QSize(7560, 3480), QSize(447, 241), 3), session_(session),
      throttle_(std::move(throttle)) {
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
    try {
        database_ = data::Database::open(platform().databasePath());
    } catch (const data::DbError &error) {
        showMessage(QStringLiteral("No se pudo abrir la base de datos de usuarios.\n\n") + error.describe());
        return false;
    }
    const bool listed = reloadList();
    // The administrator is remembered once, from the list as it stood on load.
    if (listed) {
        try {
            for (list_.moveFirst(); !list_.isEof(); list_.moveNext()) {
                bool ok = false;
                if (list_.field(QStringLiteral("codigo")).toLongLong(&ok) == 0 && ok) {
                    adminName_ = list_.field(QStringLiteral("Usuario")).toString();
                    adminHash_ = list_.field(QStringLiteral("Contraseña")).toString();
                }
            }
        } catch (const data::DbError &error) {
            showMessage(QStringLiteral("No se pudo leer la lista de usuarios.\n\n") + error.describe());
            return false;
        }
    }
    enterSignInMode();
    return listed;
}

bool formUsuario::reloadList() {
    list_.close();
    combUsuario->clear();
    if (!haveDatabase()) {
        return false;
    }
    try {
        list_ = database_->openRecordset(statements::usuariosList());
        QStringList names;
        for (list_.moveFirst(); !list_.isEof(); list_.moveNext()) {
            names << list_.field(QStringLiteral("Usuario")).toString();
        }
        // As people read a list: letter case and accents do not split it. Lookups stay exact.
        QCollator collator{QLocale(QLocale::Spanish, QLocale::Spain)};
        std::stable_sort(names.begin(), names.end(),
                         [&collator](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
        combUsuario->addItems(names);
    } catch (const data::DbError &error) {
        list_.close();
        combUsuario->clear();
        showMessage(QStringLiteral("No se pudo leer la lista de usuarios.\n\n") + error.describe());
        return false;
    }
    if (combUsuario->count() == 0) {
        showMessage(QStringLiteral("La tabla Usuarios de %1 no tiene ninguna cuenta: nadie puede iniciar sesión.")
                        .arg(database_->path()));
        return false;
    }
    combUsuario->setCurrentIndex(0);
    return true;
}

void formUsuario::cmdAceptar_Click() {
    SignIn();
}

void formUsuario::SignIn() {
    const int index = selectedIndex();
    if (index < 0) {
        showMessage(QStringLiteral("Debe seleccionar un Usuario"));
        return;
    }
    if (!haveDatabase()) {
        return;
    }
    const QString name = combUsuario->itemText(index);
    QString hash;
    if (!lookUpHash(name, hash)) {
        return;
    }
    const QString typed = maskContrasena->text();
    // An account removed meanwhile has no hash, and an empty hash verifies nothing.
    const Check check = checkPassword(name, hash, typed);
    if (check == Check::Right) {
        // The delivered password is known to everyone, and one the administrator set for another
        // account to the administrator: neither is kept past the first sign-in with it.
        if ((name == adminName_ && typed == accounts::kDeliveredAdminPassword) || mustChoosePassword(name)) {
            askNewPassword(name, name, true);
            return;
        }
        // The administrator's sign-in seals the journal with the key the password gives.
        const std::optional<seal::Key> key = name == adminName_ ? ownerKeyFor(typed) : std::nullopt;
        bool sealed = false;
        try {
            data::runInTransaction(*database_, [&] {
                const QDateTime now = platform().clock.wallTime();
                journal::append(*database_, now, name, journal::event::kSignIn, 0, {});
                sealed = key && seal::adopt(*database_, *key, now, name);
                if (sealed) {
                    seal::sealLast(*database_, *key, now, name);
                }
            });
        } catch (const data::DbError &error) {
            showMessage(QStringLiteral("No se pudo registrar el ingreso de %1, así que no se hizo.\n\n").arg(name) +
                        error.describe());
            return;
        }
        if (sealed) {
            session_.ownerSeal().hold(*key);
        } else if (key) {
            showMessage(QStringLiteral("La contraseña del administrador no da la clave del sello que guardan los "
                                       "libros, así que el registro no se selló. Los libros pueden haber sido "
                                       "modificados: compruébelo con ludomat --verify-journal."));
        }
        completeSignIn(name);
        return;
    }
    if (check == Check::Waiting) {
        journalRefusal(name, QStringLiteral("espera por intentos fallidos"));
    } else {
        journalRefusal(name, QStringLiteral("contraseña incorrecta"));
        showMessage(QStringLiteral("La contraseña es incorrecta."));
    }
    maskContrasena->clear();
    maskContrasena->setFocus();
}

void formUsuario::completeSignIn(const QString &name) {
    session_.signIn(name, name == adminName_); // the main window takes input again
    unload();
}

formUsuario::Check formUsuario::checkPassword(const QString &account, const QString &hash, const QString &typed) {
    // Refused at once, never by waiting: the main window's tick goes on.
    if (const qint64 wait = throttle_->waitMs(*database_, account, accounts::Moment::now(platform().clock)); wait > 0) {
        showMessage(QStringLiteral("Demasiadas contraseñas incorrectas para la cuenta %1. Espere %2 antes de intentar "
                                   "de nuevo.")
                        .arg(account, numtext::secondsText((wait + 999) / 1000)));
        return Check::Waiting;
    }
    if (accounts::verifyPassword(hash, typed)) {
        throttle_->succeeded(*database_, account);
        return Check::Right;
    }
    throttle_->failed(*database_, account, accounts::Moment::now(platform().clock));
    return Check::Wrong;
}

bool formUsuario::lookUpHash(const QString &account, QString &hash) {
    try {
        data::Recordset lookup = database_->openRecordset(statements::passwordLookup(account));
        if (!lookup.isEof()) {
            hash = lookup.field(QStringLiteral("Contraseña")).toString();
        }
        lookup.close();
    } catch (const data::DbError &error) {
        showMessage(QStringLiteral("No se pudo leer la contraseña de %1.\n\n").arg(account) + error.describe());
        return false;
    }
    return true;
}

bool formUsuario::ownerKeyStored() {
    try {
        return seal::stored(*database_).has_value();
    } catch (const data::DbError &) {
        return false;
    }
}

std::optional<seal::Key> formUsuario::ownerKeyFor(const QString &password) {
    std::optional<seal::Key> key;
    try {
        key = seal::keyFor(*database_, password);
    } catch (const data::DbError &) {
        // Unreadable key table: no seal, and the journal's check tells why.
    }
    if (!key) {
        showMessage(QStringLiteral("No se pudo obtener la clave del sello del administrador; el registro no se "
                                   "sella esta vez."));
    }
    return key;
}

void formUsuario::journalRefusal(const QString &account, const QString &why) {
    // Nothing was changed that this entry must stand for: a file that refuses it refuses nothing else.
    try {
        data::runInTransaction(*database_, [&] {
            journal::append(*database_, platform().clock.wallTime(), account, journal::event::kSignInRefused, 0, why);
        });
    } catch (const data::DbError &) {
    }
}

void formUsuario::cmdContrasena_Click() {
    if (passwordDialog_) {
        passwordDialog_->raise();
        passwordDialog_->activateWindow();
        return;
    }
    const int index = selectedIndex();
    if (index < 0) {
        showMessage(QStringLiteral("Debe seleccionar un Usuario"));
        return;
    }
    if (!haveDatabase()) {
        return;
    }
    const QString name = combUsuario->itemText(index);
    QString hash;
    if (!lookUpHash(name, hash)) {
        return;
    }
    const QString typed = maskContrasena->text();
    Check check = checkPassword(name, hash, typed);
    QString actor = name;
    if (check == Check::Wrong && !adminName_.isEmpty() && name != adminName_) {
        check = checkPassword(adminName_, adminHash_, typed);
        actor = adminName_;
    }
    if (check == Check::Right) {
        // The administrator's own new password: its key is certified by the key of the old one.
        std::shared_ptr<const seal::Key> previous;
        if (name == adminName_ && actor == name && ownerKeyStored()) {
            if (const std::optional<seal::Key> key = ownerKeyFor(typed)) {
                previous = std::make_shared<const seal::Key>(*key);
            }
        }
        askNewPassword(name, actor, false, previous);
        return;
    }
    if (check == Check::Wrong) {
        showMessage(QStringLiteral("La contraseña es incorrecta."));
    }
    maskContrasena->clear();
    maskContrasena->setFocus();
}

void formUsuario::askNewPassword(const QString &account, const QString &actor, bool firstSignIn,
                                 const std::shared_ptr<const seal::Key> &previousKey) {
    auto *dialog =
        new NewPasswordDialog(this, platform().messages, account, firstSignIn,
                              [this, account, actor, firstSignIn, previousKey](const QString &password) {
                                  return storePassword(account, actor, password, firstSignIn, previousKey.get());
                              });
    passwordDialog_ = dialog;
    if (firstSignIn && account != adminName_) {
        dialog->lblPrimerIngreso->setText(QStringLiteral("Es el primer ingreso con la contraseña que le dio el "
                                                         "administrador: elija una contraseña propia."));
    }
    connect(dialog, &QDialog::accepted, this, [this, account, firstSignIn] {
        maskContrasena->clear();
        if (firstSignIn) {
            completeSignIn(account);
        } else {
            showMessage(QStringLiteral("La contraseña de %1 fue cambiada.").arg(account));
        }
    });
    // Cancelled, a first sign-in stays undone: the main window waits for the next one.
    connect(dialog, &QDialog::rejected, this, [this] {
        maskContrasena->clear();
        maskContrasena->setFocus();
    });
    dialog->open();
}

bool formUsuario::storePassword(const QString &account, const QString &actor, const QString &password, bool firstSignIn,
                                const seal::Key *previousKey) {
    if (!haveDatabase()) {
        return false;
    }
    // A password of one's own is not the one somebody else knows.
    if (QString old; firstSignIn && lookUpHash(account, old) && accounts::verifyPassword(old, password)) {
        showMessage(QStringLiteral("La contraseña nueva debe ser distinta de la anterior."));
        return false;
    }
    QString hash;
    try {
        hash = accounts::hashPassword(password);
    } catch (const std::runtime_error &error) {
        showMessage(QStringLiteral("No se pudo cifrar la contraseña de la cuenta %1.\n\n").arg(account) +
                    QString::fromLocal8Bit(error.what()));
        return false;
    }
    // A new administrator's password gives a new owner's key, with a salt of its own.
    std::optional<seal::Key> key;
    if (account == adminName_) {
        key = seal::Key::derive(password, seal::Derivation::fresh());
        if (!key) {
            showMessage(QStringLiteral("No se pudo obtener la clave del sello de la nueva contraseña; sigue valiendo "
                                       "la anterior."));
            return false;
        }
    }
    bool gone = false;
    try {
        data::runInTransaction(*database_, [&] {
            if (database_->openRecordset(statements::passwordLookup(account)).isEof()) {
                gone = true;
                return;
            }
            database_->execute(statements::usuarioPasswordUpdate(account, hash));
            // One the administrator set is the owner's to replace at the next sign-in.
            database_->execute(statements::provisoriaDelete(account));
            if (actor != account) {
                database_->execute(statements::provisoriaInsert(account));
            }
            const QDateTime now = platform().clock.wallTime();
            journal::append(
                *database_, now, actor, journal::event::kPasswordChanged, 0,
                QStringLiteral("Cuenta=") + account +
                    (actor == account ? QStringLiteral("; propia") : QStringLiteral("; por el administrador")) +
                    journal::fingerprintSuffix(hash));
            if (key) {
                seal::replace(*database_, previousKey, *key, now, actor);
            }
            // The first sign-in counts only once the delivered password is gone.
            if (firstSignIn) {
                journal::append(*database_, now, account, journal::event::kSignIn, 0, {});
                if (key) {
                    seal::sealLast(*database_, *key, now, account);
                }
            }
        });
    } catch (const data::DbError &error) {
        showMessage(
            QStringLiteral("No se pudo cambiar la contraseña de %1; sigue valiendo la anterior.\n\n").arg(account) +
            withoutStatement(error));
        return false;
    }
    if (gone) {
        showMessage(QStringLiteral("La cuenta %1 ya no existe.").arg(account));
        return false;
    }
    if (account == adminName_) {
        adminHash_ = hash;
        if (firstSignIn) {
            session_.ownerSeal().hold(*key);
        }
    }
    // Wrong guesses at the old password no longer count, nor does the check an administrator's reset began with.
    throttle_->succeeded(*database_, account);
    return true;
}

void formUsuario::cmdAgregar_Click() {
    // The hash is checked only once the administrator's name is there: each check costs a tenth of a second.
    if (!adminName_.isEmpty() && combUsuario->currentText() == adminName_) {
        const Check check = checkPassword(adminName_, adminHash_, maskContrasena->text());
        if (check == Check::Right) {
            enterNewAccountMode();
            return;
        }
        if (check == Check::Waiting) {
            return;
        }
    }
    showMessage(QStringLiteral("Solo el Usuario Administrador puede crear nuevos usuarios. ") +
                QStringLiteral("Seleccione usuario Administrador e ingrese la contraseña."));
    combUsuario->setFocus();
}

void formUsuario::cmdGuardar_Click() {
    const QString typedName = txtUsuario->text();
    const QString password = maskContrasena->text();
    if (typedName.isEmpty() || password.isEmpty()) {
        showMessage(QStringLiteral("Ingrese un nombre de usuario y una contraseña."));
        txtUsuario->setFocus();
        return;
    }
    if (!haveDatabase()) {
        return;
    }
    if (!list_.isOpen()) {
        showMessage(QStringLiteral("No se pudo leer la lista de usuarios: no se puede numerar la cuenta nueva."));
        return;
    }
    // Against the accounts listed now; checked again under the write lock.
    QStringList listed;
    for (int i = 0; i < combUsuario->count(); ++i) {
        listed << combUsuario->itemText(i);
    }
    const accounts::NameCheck named = accounts::checkNewAccountName(typedName, listed);
    if (!named.problem.isEmpty()) {
        showMessage(named.problem);
        txtUsuario->setFocus();
        return;
    }
    // The rules of every password that is set; the dialog asks for the second typing.
    if (const QString problem = accounts::newPasswordProblem(named.name, password, password); !problem.isEmpty()) {
        showMessage(problem);
        maskContrasena->clear();
        maskContrasena->setFocus();
        return;
    }
    auto *dialog = new NewPasswordDialog(
        this, platform().messages, named.name, false,
        [this, name = named.name, password](const QString &) { return createAccount(name, password); });
    dialog->askRepetitionOf(password);
    passwordDialog_ = dialog;
    connect(dialog, &QDialog::accepted, this, [this, name = named.name] {
        reloadList();
        enterSignInMode();
        showMessage(QStringLiteral("La cuenta %1 fue creada. En su primer ingreso se le pedirá una contraseña propia.")
                        .arg(name));
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

bool formUsuario::createAccount(const QString &name, const QString &password) {
    if (!haveDatabase()) {
        return false;
    }
    // The new code is the number of accounts, exact once the list stands on its last row.
    list_.moveLast();
    const int code = list_.recordCount();
    QString hash;
    try {
        hash = accounts::hashPassword(password);
    } catch (const std::runtime_error &error) {
        showMessage(QStringLiteral("No se pudo cifrar la contraseña de la cuenta %1.\n\n").arg(name) +
                    QString::fromLocal8Bit(error.what()));
        return false;
    }
    // Checked and written under one write lock: another program cannot add the same name in between.
    QString refused;
    try {
        data::runInTransaction(*database_, [&] {
            QStringList existing;
            for (data::Recordset r = database_->openRecordset(statements::usuariosList()); !r.isEof(); r.moveNext()) {
                existing << r.field(QStringLiteral("Usuario")).toString();
            }
            refused = accounts::checkNewAccountName(name, existing).problem;
            if (!refused.isEmpty()) {
                return;
            }
            database_->execute(statements::usuarioInsert(code, name, hash));
            // The administrator knows this password: its owner chooses another at the first sign-in.
            database_->execute(statements::provisoriaDelete(name));
            database_->execute(statements::provisoriaInsert(name));
            journal::append(*database_, platform().clock.wallTime(), adminName_, journal::event::kAccountAdded, 0,
                            QStringLiteral("Cuenta=") + name + journal::fingerprintSuffix(hash));
        });
    } catch (const data::DbError &error) {
        showMessage(QStringLiteral("No se pudo guardar la cuenta %1.\n\n").arg(name) + withoutStatement(error));
        return false;
    }
    if (!refused.isEmpty()) {
        showMessage(refused);
        return false;
    }
    return true;
}

bool formUsuario::mustChoosePassword(const QString &account) {
    try {
        return !database_->openRecordset(statements::provisoriaLookup(account)).isEof();
    } catch (const data::DbError &) {
        return false; // an older file opened read-only: no account was made by this version
    }
}

void formUsuario::cmdCancelar_Click() {
    if (combUsuario->count() > 0) {
        combUsuario->setCurrentIndex(0);
    }
    enterSignInMode();
    combUsuario->setFocus();
}

void formUsuario::cmdBorrar_Click() {
    const QString name = combUsuario->currentText();
    if (name == kAdminName) {
        showMessage(QStringLiteral("No se puede borrar el usuario Admin"));
        return;
    }
    // A typed name that lists no account would be "deleted" without a row going.
    if (selectedIndex() < 0) {
        showMessage(QStringLiteral("Debe seleccionar un Usuario"));
        return;
    }
    const Check check =
        adminName_.isEmpty() ? Check::Wrong : checkPassword(adminName_, adminHash_, maskContrasena->text());
    if (check == Check::Waiting) {
        return;
    }
    if (check == Check::Wrong) {
        showMessage(QStringLiteral("Para eliminar la cuenta ") + name + QStringLiteral(" debe ingresar ") +
                    QStringLiteral("la contraseña de Administrador."));
        return;
    }
    if (!haveDatabase()) {
        return;
    }
    bool gone = false;
    try {
        data::runInTransaction(*database_, [&] {
            if (database_->openRecordset(statements::passwordLookup(name)).isEof()) {
                gone = true;
                return;
            }
            database_->execute(statements::usuarioDelete(name));
            database_->execute(statements::intentosDelete(name));
            database_->execute(statements::provisoriaDelete(name));
            journal::append(*database_, platform().clock.wallTime(), adminName_, journal::event::kAccountDeleted, 0,
                            QStringLiteral("Cuenta=") + name);
        });
    } catch (const data::DbError &error) {
        showMessage(QStringLiteral("No se pudo borrar la cuenta %1.\n\n").arg(name) + error.describe());
        return;
    }
    showMessage(gone ? QStringLiteral("La cuenta %1 ya no existe.").arg(name)
                     : QStringLiteral("El Usuario: ") + name + QStringLiteral(" ha sido eliminado."));
    reloadList();
    enterSignInMode();
}

void formUsuario::cmdSalir_Click() {
    if (database_) {
        database_->close();
    }
    platform().ender.endProgram();
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

int formUsuario::selectedIndex() const {
    const QString text = combUsuario->currentText();
    const int current = combUsuario->currentIndex();
    if (current >= 0 && combUsuario->itemText(current) == text) {
        return current;
    }
    return combUsuario->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

bool formUsuario::haveDatabase() {
    if (database_ && database_->isOpen()) {
        return true;
    }
    showMessage(
        QStringLiteral("No hay conexión con la base de datos %1; solo se puede salir.").arg(platform().databasePath()));
    return false;
}

void formUsuario::showMessage(const QString &text) {
    platform().messages.showMessage(this, text);
}
