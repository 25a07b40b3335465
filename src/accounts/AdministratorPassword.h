#pragma once

#include <QString>

namespace data {
class Database;
}
namespace sys {
class Clock;
}

namespace accounts {

class SignInThrottle;

// The administrator's password, asked for where a change needs the administrator (a new rate),
// checked as every password is: against the hash stored now, through the throttle of wrong tries.
struct AdministratorCheck {
    enum class Verdict { Right, Wrong, Waiting, NoAdministrator };
    Verdict verdict = Verdict::Wrong;
    QString refusal; // in Spanish, to show the operator; empty when Right
    QString name;    // the administrator's account, when there is one
};

// The administrator is the account numbered 0. throttle is the file's own, the one the sign-in
// counts in. Throws data::DbError when the accounts cannot be read.
AdministratorCheck checkAdministratorPassword(data::Database &database, SignInThrottle &throttle,
                                              const sys::Clock &clock, const QString &typed);

} // namespace accounts
