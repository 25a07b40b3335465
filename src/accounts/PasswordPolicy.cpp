#include "accounts/PasswordPolicy.h"

#include <QList>

namespace accounts {

namespace {
constexpr qsizetype kMinimumLength = 6;
} // namespace

QString newPasswordProblem(const QString &account, const QString &first, const QString &second) {
    // Characters as the operator counts them, not UTF-16 units.
    if (first.toUcs4().size() < kMinimumLength) {
        return QStringLiteral("La contraseña nueva debe tener al menos 6 caracteres.");
    }
    if (first.compare(account, Qt::CaseInsensitive) == 0) {
        return QStringLiteral("La contraseña nueva no puede ser igual al nombre de la cuenta.");
    }
    if (first != second) {
        return QStringLiteral("Las contraseñas nuevas no coinciden.");
    }
    return {};
}

} // namespace accounts
