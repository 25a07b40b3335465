#include "accounts/AccountService.h"

#include "accounts/AccountNames.h"
#include "accounts/PasswordHash.h"
#include "accounts/PasswordPolicy.h"
#include "accounts/Session.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "data/JournalBooks.h"
#include "data/NumberText.h"
#include "data/Seal.h"
#include "data/Statements.h"
#include "platform/Clock.h"

#include <QCollator>
#include <algorithm>
#include <stdexcept>

namespace accounts {

namespace {

using Outcome = Answer::Outcome;

// The account that can never be deleted: the delivered administrator row carries this name.
const QString kUndeletable = QStringLiteral("Admin");

const QString kAdministratorOnly = QStringLiteral("Solo el Usuario Administrador puede crear nuevos usuarios. ") +
                                   QStringLiteral("Seleccione usuario Administrador e ingrese la contraseña.");
const QString kWrongPassword = QStringLiteral("La contraseña es incorrecta.");
const QString kNoSuchAccount = QStringLiteral("Debe seleccionar un Usuario");

// What a failed write says without its statement: password statements hold hashes.
QString withoutStatement(const data::DbError &error) {
    return data::DbError(error.message(), {}, error.code()).describe();
}

// The administrator is the account numbered 0. Throws DbError.
std::optional<QString> administratorName(data::Database &db, QString *hash = nullptr) {
    for (data::Recordset list = db.openRecordset(statements::usuariosList()); !list.isEof(); list.moveNext()) {
        bool ok = false;
        if (list.field(QStringLiteral("codigo")).toLongLong(&ok) == 0 && ok) {
            if (hash) {
                *hash = list.field(QStringLiteral("Contraseña")).toString();
            }
            return list.field(QStringLiteral("Usuario")).toString();
        }
    }
    return std::nullopt;
}

// The account's stored hash; nothing when no account has that exact name. Throws DbError.
std::optional<QString> storedHash(data::Database &db, const QString &account) {
    data::Recordset lookup = db.openRecordset(statements::passwordLookup(account));
    if (lookup.isEof()) {
        return std::nullopt;
    }
    return lookup.field(QStringLiteral("Contraseña")).toString();
}

QStringList accountNames(data::Database &db) {
    QStringList names;
    for (data::Recordset list = db.openRecordset(statements::usuariosList()); !list.isEof(); list.moveNext()) {
        names << list.field(QStringLiteral("Usuario")).toString();
    }
    return names;
}

// Whether the account's password was set by the administrator and its owner has yet to choose one.
bool mustChoosePassword(data::Database &db, const QString &account) {
    try {
        return !db.openRecordset(statements::provisoriaLookup(account)).isEof();
    } catch (const data::DbError &) {
        return false; // an older file opened read-only: no account was made by this version
    }
}

bool ownerKeyStored(data::Database &db) {
    try {
        return seal::stored(db).has_value();
    } catch (const data::DbError &) {
        return false;
    }
}

// The owner's key a password of the administrator gives in these books (slow); nothing when it
// cannot be derived (an unreadable key table: the journal's check tells why).
std::optional<seal::Key> ownerKeyFor(data::Database &db, const QString &password) {
    try {
        return seal::keyFor(db, password);
    } catch (const data::DbError &) {
        return std::nullopt;
    }
}

const QString kNoOwnerKey = QStringLiteral("No se pudo obtener la clave del sello del administrador; el registro no "
                                           "se sella esta vez.");

Answer said(Outcome outcome, const QString &message) {
    Answer answer;
    answer.outcome = outcome;
    answer.message = message;
    return answer;
}

} // namespace

AccountService::AccountService(QString databasePath, const sys::Clock &clock, Session &session, QObject *parent)
    : QObject(parent), path_(std::move(databasePath)), clock_(clock), session_(session) {}

AccountService::~AccountService() = default;

data::Database *AccountService::handle() {
    if (database_ && database_->isOpen()) {
        return database_.get();
    }
    try {
        database_ = data::Database::open(path_);
        openProblem_.clear();
    } catch (const data::DbError &error) {
        database_.reset();
        openProblem_ = error.describe();
    }
    return database_.get();
}

bool AccountService::isOpen() const {
    return database_ && database_->isOpen();
}

Result AccountService::noConnection() const {
    return {false, QStringLiteral("No hay conexión con la base de datos %1; solo se puede salir.").arg(path_)};
}

AccountService::Listing AccountService::accounts() {
    data::Database *db = handle();
    if (!db) {
        return {{}, QStringLiteral("No se pudo abrir la base de datos de usuarios.\n\n") + openProblem_};
    }
    QStringList names;
    try {
        names = accountNames(*db);
    } catch (const data::DbError &error) {
        return {{}, QStringLiteral("No se pudo leer la lista de usuarios.\n\n") + error.describe()};
    }
    if (names.isEmpty()) {
        return {{},
                QStringLiteral("La tabla Usuarios de %1 no tiene ninguna cuenta: nadie puede iniciar sesión.")
                    .arg(db->path())};
    }
    // Lookups stay exact; only the order is the reader's.
    QCollator collator{QLocale(QLocale::Spanish, QLocale::Spain)};
    std::stable_sort(names.begin(), names.end(),
                     [&collator](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
    return {names, {}};
}

AccountService::Checked AccountService::check(data::Database &db, const Account &account, const QString &typed) {
    // Refused at once, never by waiting: the room's tick goes on.
    if (const qint64 wait = throttle_.waitMs(db, account.name, Moment::now(clock_)); wait > 0) {
        return {Check::Waiting,
                QStringLiteral("Demasiadas contraseñas incorrectas para la cuenta %1. Espere %2 antes de intentar de "
                               "nuevo.")
                    .arg(account.name, numtext::secondsText((wait + 999) / 1000))};
    }
    if (verifyPassword(account.hash, typed)) {
        throttle_.succeeded(db, account.name);
        return {Check::Right, {}};
    }
    throttle_.failed(db, account.name, Moment::now(clock_));
    return {Check::Wrong, {}};
}

void AccountService::journalRefusal(data::Database &db, const QString &account, const QString &why) {
    // Nothing was changed that this entry must stand for: a file that refuses it refuses nothing else.
    try {
        data::runInTransaction(
            db, [&] { journal::append(db, clock_.wallTime(), account, journal::event::kSignInRefused, 0, why); });
    } catch (const data::DbError &) {
    }
}

Answer AccountService::signIn(const QString &name, const QString &typed) {
    data::Database *db = handle();
    if (!db) {
        return said(Outcome::Failed, noConnection().message);
    }
    std::optional<QString> hash;
    std::optional<QString> administrator;
    try {
        hash = storedHash(*db, name);
        administrator = administratorName(*db);
    } catch (const data::DbError &error) {
        return said(Outcome::Failed,
                    QStringLiteral("No se pudo leer la contraseña de %1.\n\n").arg(name) + error.describe());
    }
    if (!hash) {
        return said(Outcome::Failed, kNoSuchAccount);
    }
    const bool isAdministrator = administrator == name;
    const Checked checked = check(*db, {name, *hash}, typed);
    if (checked.check == Check::Waiting) {
        journalRefusal(*db, name, QStringLiteral("espera por intentos fallidos"));
        return said(Outcome::Waiting, checked.waiting);
    }
    if (checked.check == Check::Wrong) {
        journalRefusal(*db, name, QStringLiteral("contraseña incorrecta"));
        return said(Outcome::Wrong, kWrongPassword);
    }
    // The delivered password is known to everyone, and one the administrator set for another
    // account to the administrator: neither is kept past the first sign-in with it.
    if ((isAdministrator && typed == kDeliveredAdminPassword) || mustChoosePassword(*db, name)) {
        Answer answer = said(Outcome::ChoosePassword, {});
        Grant grant;
        grant.account_ = name;
        grant.actor_ = name;
        grant.firstSignIn_ = true;
        grant.administrator_ = isAdministrator;
        answer.grant = grant;
        return answer;
    }
    // The administrator's sign-in seals the journal with the key the password gives.
    const std::optional<seal::Key> key = isAdministrator ? ownerKeyFor(*db, typed) : std::nullopt;
    bool sealed = false;
    try {
        data::runInTransaction(*db, [&] {
            const QDateTime now = clock_.wallTime();
            journal::append(*db, now, name, journal::event::kSignIn, 0, {});
            sealed = key && seal::adopt(*db, *key, now, name);
            if (sealed) {
                seal::sealLast(*db, *key, now, name);
            }
        });
    } catch (const data::DbError &error) {
        return said(Outcome::Failed,
                    QStringLiteral("No se pudo registrar el ingreso de %1, así que no se hizo.\n\n").arg(name) +
                        error.describe());
    }
    QString note;
    if (sealed) {
        session_.ownerSeal().hold(*key);
    } else if (key) {
        note = QStringLiteral("La contraseña del administrador no da la clave del sello que guardan los libros, así "
                              "que el registro no se selló. Los libros pueden haber sido modificados: compruébelo "
                              "con ludomat --verify-journal.");
    } else if (isAdministrator) {
        note = kNoOwnerKey;
    }
    session_.signIn(name, isAdministrator);
    return said(Outcome::Done, note);
}

Answer AccountService::mayChangePassword(const QString &name, const QString &typed) {
    data::Database *db = handle();
    if (!db) {
        return said(Outcome::Failed, noConnection().message);
    }
    std::optional<QString> hash;
    QString administratorHash;
    std::optional<QString> administrator;
    try {
        hash = storedHash(*db, name);
        administrator = administratorName(*db, &administratorHash);
    } catch (const data::DbError &error) {
        return said(Outcome::Failed,
                    QStringLiteral("No se pudo leer la contraseña de %1.\n\n").arg(name) + error.describe());
    }
    if (!hash) {
        return said(Outcome::Failed, kNoSuchAccount);
    }
    Checked checked = check(*db, {name, *hash}, typed);
    QString actor = name;
    // Another account's password is the administrator's to set when its owner forgot it.
    if (checked.check == Check::Wrong && administrator && name != *administrator) {
        checked = check(*db, {*administrator, administratorHash}, typed);
        actor = *administrator;
    }
    if (checked.check == Check::Waiting) {
        return said(Outcome::Waiting, checked.waiting);
    }
    if (checked.check == Check::Wrong) {
        return said(Outcome::Wrong, kWrongPassword);
    }
    Answer answer = said(Outcome::Done, {});
    Grant grant;
    grant.account_ = name;
    grant.actor_ = actor;
    grant.administrator_ = administrator == name;
    // The administrator's own new password: its key is certified by the key of the old one.
    if (grant.administrator_ && actor == name && ownerKeyStored(*db)) {
        if (const std::optional<seal::Key> key = ownerKeyFor(*db, typed)) {
            grant.previousKey_ = std::make_shared<const seal::Key>(*key);
        } else {
            answer.message = kNoOwnerKey;
        }
    }
    answer.grant = grant;
    return answer;
}

Result AccountService::changePassword(const Grant &grant, const QString &password) {
    const QString &account = grant.account_;
    if (account.isEmpty()) {
        return {false, kNoSuchAccount};
    }
    data::Database *db = handle();
    if (!db) {
        return noConnection();
    }
    if (const QString problem = newPasswordProblem(account, password, password); !problem.isEmpty()) {
        return {false, problem};
    }
    // A password of one's own is not the one somebody else knows.
    if (grant.firstSignIn_) {
        std::optional<QString> old;
        try {
            old = storedHash(*db, account);
        } catch (const data::DbError &) {
            // Unreadable now: the write below says what is wrong with the file.
        }
        if (old && verifyPassword(*old, password)) {
            return {false, QStringLiteral("La contraseña nueva debe ser distinta de la anterior.")};
        }
    }
    QString hash;
    try {
        hash = hashPassword(password);
    } catch (const std::runtime_error &error) {
        return {false, QStringLiteral("No se pudo cifrar la contraseña de la cuenta %1.\n\n").arg(account) +
                           QString::fromLocal8Bit(error.what())};
    }
    // A new administrator's password gives a new owner's key, with a salt of its own.
    std::optional<seal::Key> key;
    if (grant.administrator_) {
        key = seal::Key::derive(password, seal::Derivation::fresh());
        if (!key) {
            return {false,
                    QStringLiteral("No se pudo obtener la clave del sello de la nueva contraseña; sigue valiendo "
                                   "la anterior.")};
        }
    }
    bool gone = false;
    try {
        data::runInTransaction(*db, [&] {
            if (db->openRecordset(statements::passwordLookup(account)).isEof()) {
                gone = true;
                return;
            }
            db->execute(statements::usuarioPasswordUpdate(account, hash));
            // One the administrator set is the owner's to replace at the next sign-in.
            db->execute(statements::provisoriaDelete(account));
            if (grant.actor_ != account) {
                db->execute(statements::provisoriaInsert(account));
            }
            const QDateTime now = clock_.wallTime();
            journal::append(
                *db, now, grant.actor_, journal::event::kPasswordChanged, 0,
                QStringLiteral("Cuenta=") + account +
                    (grant.actor_ == account ? QStringLiteral("; propia") : QStringLiteral("; por el administrador")) +
                    journal::fingerprintSuffix(hash));
            if (key) {
                seal::replace(*db, grant.previousKey_.get(), *key, now, grant.actor_);
            }
            // The first sign-in counts only once the password somebody else knew is gone.
            if (grant.firstSignIn_) {
                journal::append(*db, now, account, journal::event::kSignIn, 0, {});
                if (key) {
                    seal::sealLast(*db, *key, now, account);
                }
            }
        });
    } catch (const data::DbError &error) {
        return {false,
                QStringLiteral("No se pudo cambiar la contraseña de %1; sigue valiendo la anterior.\n\n").arg(account) +
                    withoutStatement(error)};
    }
    if (gone) {
        return {false, QStringLiteral("La cuenta %1 ya no existe.").arg(account)};
    }
    // Wrong guesses at the old password no longer count, nor does the check an administrator's reset began with.
    throttle_.succeeded(*db, account);
    if (grant.firstSignIn_) {
        if (key) {
            session_.ownerSeal().hold(*key);
        }
        session_.signIn(account, grant.administrator_);
        return {true, {}};
    }
    return {true, QStringLiteral("La contraseña de %1 fue cambiada.").arg(account)};
}

Answer AccountService::mayAddAccounts(const QString &name, const QString &typed) {
    data::Database *db = handle();
    QString hash;
    std::optional<QString> administrator;
    if (db) {
        try {
            administrator = administratorName(*db, &hash);
        } catch (const data::DbError &error) {
            return said(Outcome::Failed,
                        QStringLiteral("No se pudo leer la contraseña del administrador.\n") + error.describe());
        }
    }
    // The hash is checked only once the administrator's name is there: each check costs a tenth of a second.
    if (!administrator || name != *administrator) {
        return said(Outcome::Wrong, kAdministratorOnly);
    }
    const Checked checked = check(*db, {name, hash}, typed);
    if (checked.check == Check::Waiting) {
        return said(Outcome::Waiting, checked.waiting);
    }
    if (checked.check == Check::Wrong) {
        return said(Outcome::Wrong, kAdministratorOnly);
    }
    Answer answer = said(Outcome::Done, {});
    Grant grant;
    grant.actor_ = name;
    answer.grant = grant;
    return answer;
}

NewAccountCheck AccountService::checkNewAccount(const QString &typedName, const QString &password) {
    using Field = NewAccountCheck::Field;
    if (typedName.isEmpty() || password.isEmpty()) {
        return {{}, QStringLiteral("Ingrese un nombre de usuario y una contraseña."), Field::Name};
    }
    data::Database *db = handle();
    if (!db) {
        return {{}, noConnection().message, Field::None};
    }
    // Against the accounts stored now; checked again under the write lock.
    QStringList existing;
    try {
        existing = accountNames(*db);
    } catch (const data::DbError &error) {
        return {{}, QStringLiteral("No se pudo leer la lista de usuarios.\n\n") + error.describe(), Field::None};
    }
    const NameCheck named = checkNewAccountName(typedName, existing);
    if (!named.problem.isEmpty()) {
        return {named.name, named.problem, Field::Name};
    }
    // The rules of every password that is set; the second typing is asked for afterwards.
    if (const QString problem = newPasswordProblem(named.name, password, password); !problem.isEmpty()) {
        return {named.name, problem, Field::Password};
    }
    return {named.name, {}, Field::None};
}

Result AccountService::addAccount(const Grant &administration, const QString &name, const QString &password) {
    if (administration.actor_.isEmpty() || !administration.account_.isEmpty()) {
        return {false, kAdministratorOnly};
    }
    data::Database *db = handle();
    if (!db) {
        return noConnection();
    }
    if (const QString problem = newPasswordProblem(name, password, password); !problem.isEmpty()) {
        return {false, problem};
    }
    QString hash;
    try {
        hash = hashPassword(password);
    } catch (const std::runtime_error &error) {
        return {false, QStringLiteral("No se pudo cifrar la contraseña de la cuenta %1.\n\n").arg(name) +
                           QString::fromLocal8Bit(error.what())};
    }
    // Checked and written under one write lock: another program cannot add the same name in between.
    QString refused;
    try {
        data::runInTransaction(*db, [&] {
            const QStringList existing = accountNames(*db);
            refused = checkNewAccountName(name, existing).problem;
            if (!refused.isEmpty()) {
                return;
            }
            // The new code is the number of accounts.
            db->execute(statements::usuarioInsert(static_cast<int>(existing.size()), name, hash));
            // The administrator knows this password: its owner chooses another at the first sign-in.
            db->execute(statements::provisoriaDelete(name));
            db->execute(statements::provisoriaInsert(name));
            journal::append(*db, clock_.wallTime(), administration.actor_, journal::event::kAccountAdded, 0,
                            QStringLiteral("Cuenta=") + name + journal::fingerprintSuffix(hash));
        });
    } catch (const data::DbError &error) {
        return {false, QStringLiteral("No se pudo guardar la cuenta %1.\n\n").arg(name) + withoutStatement(error)};
    }
    if (!refused.isEmpty()) {
        return {false, refused};
    }
    return {
        true,
        QStringLiteral("La cuenta %1 fue creada. En su primer ingreso se le pedirá una contraseña propia.").arg(name)};
}

Result AccountService::deleteAccount(const QString &name, const QString &administratorPassword) {
    if (name == kUndeletable) {
        return {false, QStringLiteral("No se puede borrar el usuario Admin")};
    }
    data::Database *db = handle();
    if (!db) {
        return noConnection();
    }
    bool exists = false;
    QString hash;
    std::optional<QString> administrator;
    try {
        exists = storedHash(*db, name).has_value();
        administrator = administratorName(*db, &hash);
    } catch (const data::DbError &error) {
        return {false, QStringLiteral("No se pudo borrar la cuenta %1.\n\n").arg(name) + error.describe()};
    }
    // A typed name that names no account would be "deleted" without a row going.
    if (!exists) {
        return {false, kNoSuchAccount};
    }
    const Checked checked =
        administrator ? check(*db, {*administrator, hash}, administratorPassword) : Checked{Check::Wrong, {}};
    if (checked.check == Check::Waiting) {
        return {false, checked.waiting};
    }
    if (checked.check == Check::Wrong) {
        return {false, QStringLiteral("Para eliminar la cuenta ") + name + QStringLiteral(" debe ingresar ") +
                           QStringLiteral("la contraseña de Administrador.")};
    }
    bool gone = false;
    try {
        data::runInTransaction(*db, [&] {
            if (db->openRecordset(statements::passwordLookup(name)).isEof()) {
                gone = true;
                return;
            }
            db->execute(statements::usuarioDelete(name));
            db->execute(statements::intentosDelete(name));
            db->execute(statements::provisoriaDelete(name));
            journal::append(*db, clock_.wallTime(), *administrator, journal::event::kAccountDeleted, 0,
                            QStringLiteral("Cuenta=") + name);
        });
    } catch (const data::DbError &error) {
        return {false, QStringLiteral("No se pudo borrar la cuenta %1.\n\n").arg(name) + error.describe()};
    }
    return {true, gone ? QStringLiteral("La cuenta %1 ya no existe.").arg(name)
                       : QStringLiteral("El Usuario: ") + name + QStringLiteral(" ha sido eliminado.")};
}

AdministratorCheck AccountService::checkAdministratorPassword(const QString &typed) {
    using Verdict = AdministratorCheck::Verdict;
    const QString unreadable = QStringLiteral("No se pudo leer la contraseña del administrador.\n");
    data::Database *db = handle();
    if (!db) {
        return {Verdict::Unreadable, unreadable + openProblem_, {}};
    }
    QString hash;
    std::optional<QString> name;
    try {
        name = administratorName(*db, &hash);
    } catch (const data::DbError &error) {
        return {Verdict::Unreadable, unreadable + error.describe(), {}};
    }
    if (!name) {
        return {Verdict::NoAdministrator, QStringLiteral("La tabla Usuarios no tiene cuenta de administrador."), {}};
    }
    // The same count of wrong tries as the sign-in keeps for this account: a guess here is a guess there.
    const Checked checked = check(*db, {*name, hash}, typed);
    switch (checked.check) {
    case Check::Right:
        return {Verdict::Right, {}, *name};
    case Check::Waiting:
        return {Verdict::Waiting, checked.waiting, *name};
    case Check::Wrong:
        break;
    }
    return {Verdict::Wrong, QStringLiteral("La contraseña del administrador es incorrecta."), *name};
}

} // namespace accounts
