#include "accounts/PasswordHash.h"

#include <sodium.h>
#include <stdexcept>

namespace accounts {

namespace {
void ensureSodium() {
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium could not be initialised");
}
} // namespace

QString hashPassword(const QString &password) {
    ensureSodium();
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        throw std::runtime_error("out of memory while hashing a password");
    return QString::fromLatin1(out);
}

bool verifyPassword(const QString &hash, const QString &typed) {
    ensureSodium();
    const QByteArray stored = hash.toLatin1();
    if (stored.isEmpty() || stored.size() >= crypto_pwhash_STRBYTES)
        return false;
    const QByteArray utf8 = typed.toUtf8();
    return crypto_pwhash_str_verify(stored.constData(), utf8.constData(),
                                    static_cast<unsigned long long>(utf8.size())) == 0;
}

} // namespace accounts
