#pragma once

#include <QString>

namespace accounts {

// The administrator's password in a delivered database: it must be changed at the first sign-in.
inline const QString kDeliveredAdminPassword = QStringLiteral("admin");

// Why a new password is refused, in Spanish; empty when it may be stored. first and second are
// the two boxes of the new-password dialog. Passwords already stored are never judged by this.
QString newPasswordProblem(const QString &account, const QString &first, const QString &second);

} // namespace accounts
