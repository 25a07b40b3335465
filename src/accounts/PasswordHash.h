#pragma once

#include <QString>

namespace accounts {

// An Argon2id hash string (libsodium's crypto_pwhash_str, interactive limits) of the password.
QString hashPassword(const QString &password);
// True when the typed password matches the stored hash; false for a malformed hash.
bool verifyPassword(const QString &hash, const QString &typed);

} // namespace accounts
