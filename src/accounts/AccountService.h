#pragma once

#include "accounts/SignInThrottle.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace data {
class Database;
}
namespace seal {
class Key;
}
namespace sys {
class Clock;
}

namespace accounts {

class Session;

// What a command came to, and what to tell the operator (in Spanish; empty when nothing is said).
struct Result {
    bool ok = false;
    QString message;
};

// What a checked password allows: setting one account's password, or (the administrator's)
// adding accounts. Only the service makes one, so no change runs on a password nobody checked.
class Grant final {
public:
    // Whose password is to be set; empty for the right to add accounts.
    const QString &account() const { return account_; }
    // A password its owner must replace before the sign-in it was typed for counts.
    bool firstSignIn() const { return firstSignIn_; }
    // The account is the administrator's.
    bool administratorsAccount() const { return administrator_; }

private:
    friend class AccountService;
    Grant() = default;
    QString account_;
    QString actor_; // who the journal names: the account itself or the administrator
    bool firstSignIn_ = false;
    bool administrator_ = false;
    // The owner's key of the administrator's old password, which certifies the new one's.
    std::shared_ptr<const seal::Key> previousKey_;
};

// What a typed password came to.
struct Answer {
    enum class Outcome {
        Done,           // signed in, or the grant is given
        ChoosePassword, // right, but its owner must choose another first (the grant to do it)
        Wrong,          // the password is not the one asked for
        Waiting,        // too many wrong ones: not checked
        Failed,         // nothing was checked or nothing was written (no account, the file)
    };
    Outcome outcome = Outcome::Failed;
    QString message; // to show first; with Done a note that does not stop it
    std::optional<Grant> grant;
};

// A new account's name and password as typed, before the password is asked a second time.
struct NewAccountCheck {
    enum class Field { None, Name, Password };
    QString name;    // as it would be stored
    QString problem; // why not, in Spanish; empty when it may be made
    Field at = Field::None;
};

// The administrator's password, asked for where a change needs the administrator (a new rate,
// a restore), checked as every password is: against the hash stored now, through the throttle.
struct AdministratorCheck {
    enum class Verdict { Right, Wrong, Waiting, NoAdministrator, Unreadable };
    Verdict verdict = Verdict::Wrong;
    QString refusal; // in Spanish, to show the operator; empty when Right
    QString name;    // the administrator's account, when there is one
};

// The accounts of one books file for the whole run: every password typed anywhere is checked
// here, through the file's one throttle of wrong tries, and every change is written with its
// journal entry in one transaction. A sign-in is made in the session. It keeps one handle on the
// file, opened when first needed and tried again while it cannot be opened.
class AccountService final : public QObject {
    Q_OBJECT
public:
    AccountService(QString databasePath, const sys::Clock &clock, Session &session, QObject *parent = nullptr);
    ~AccountService() override;

    struct Listing {
        QStringList names; // as people read a list: letter case and accents do not split it
        QString problem;   // why there are none to show
    };
    Listing accounts();
    bool isOpen() const;

    // The account's password: the session signs it in (the administrator's sign-in seals the
    // journal), or its owner must choose another first. Refusals are journaled.
    Answer signIn(const QString &name, const QString &typed);
    // The right to set name's password: its own password, or the administrator's for another account.
    Answer mayChangePassword(const QString &name, const QString &typed);
    // The new password of the grant's account; at a first sign-in the session then signs it in.
    Result changePassword(const Grant &grant, const QString &password);

    // The right to add accounts: the administrator's name and password.
    Answer mayAddAccounts(const QString &name, const QString &typed);
    NewAccountCheck checkNewAccount(const QString &typedName, const QString &password);
    // name as checkNewAccount gave it; checked again under the write lock.
    Result addAccount(const Grant &administration, const QString &name, const QString &password);
    // With the administrator's password; "Admin" never goes.
    Result deleteAccount(const QString &name, const QString &administratorPassword);

    AdministratorCheck checkAdministratorPassword(const QString &typed);

private:
    struct Account {
        QString name;
        QString hash;
    };
    enum class Check { Right, Wrong, Waiting };
    struct Checked {
        Check check = Check::Wrong;
        QString waiting; // what Waiting says
    };

    // The open handle, opened now if need be; null when the file cannot be opened (openProblem_).
    data::Database *handle();
    Checked check(data::Database &db, const Account &account, const QString &typed);
    void journalRefusal(data::Database &db, const QString &account, const QString &why);
    Result noConnection() const;

    QString path_;
    const sys::Clock &clock_;
    Session &session_;
    SignInThrottle throttle_;
    std::unique_ptr<data::Database> database_;
    QString openProblem_;
};

} // namespace accounts
