#include "accounts/PasswordPolicy.h"

#include <algorithm>

namespace accounts {

namespace {
constexpr qsizetype kMinimumLength = 6;
constexpr int kFreeFailures = 5;
constexpr qint64 kFirstWaitMs = 2'000;
constexpr qint64 kLongestWaitMs = 30'000;
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

QString SignInThrottle::key(const QString &database, const QString &account) {
    // No file path holds a NUL, so the pair cannot be confused with another.
    return database + QChar() + account;
}

qint64 SignInThrottle::waitMs(const QString &database, const QString &account, qint64 nowMs) const {
    const auto it = states_.constFind(key(database, account));
    if (it == states_.cend() || it->failures < kFreeFailures) {
        return 0;
    }
    const int doublings = std::min(it->failures - kFreeFailures, 4);
    const qint64 wait = std::min(kFirstWaitMs << doublings, kLongestWaitMs);
    return std::clamp(it->lastFailureMs + wait - nowMs, qint64(0), wait);
}

void SignInThrottle::failed(const QString &database, const QString &account, qint64 nowMs) {
    State &s = states_[key(database, account)];
    s.failures = std::min(s.failures + 1, kFreeFailures + 16); // the wait stays at its longest anyway
    s.lastFailureMs = nowMs;
}

void SignInThrottle::succeeded(const QString &database, const QString &account) {
    states_.remove(key(database, account));
}

SignInThrottle &SignInThrottle::shared() {
    static SignInThrottle throttle;
    return throttle;
}

} // namespace accounts
