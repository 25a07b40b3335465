#pragma once

#include <QHash>
#include <QString>

namespace accounts {

// The administrator's password in a delivered database: it must be changed at the first sign-in.
inline const QString kDeliveredAdminPassword = QStringLiteral("admin");

// Why a new password is refused, in Spanish; empty when it may be stored. first and second are
// the two boxes of the new-password dialog. Passwords already stored are never judged by this.
QString newPasswordProblem(const QString &account, const QString &first, const QString &second);

// Wrong passwords in a row per account: from the fifth on, the next check must wait, doubling from
// 2 s to at most 30 s. Times are the monotonic clock's milliseconds. Kept for the whole program,
// since the accounts window is made afresh on every change of user.
class SignInThrottle final {
public:
    // The milliseconds still to wait before the account's password may be checked; 0: check it now.
    qint64 waitMs(const QString &database, const QString &account, qint64 nowMs) const;
    void failed(const QString &database, const QString &account, qint64 nowMs);
    void succeeded(const QString &database, const QString &account);

    // The program's one throttle.
    static SignInThrottle &shared();

private:
    struct State {
        int failures = 0;
        qint64 lastFailureMs = 0;
    };
    static QString key(const QString &database, const QString &account);
    QHash<QString, State> states_;
};

} // namespace accounts
