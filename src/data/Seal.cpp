#include "data/Seal.h"

#include "data/Database.h"
#include "data/Journal.h"
#include "data/Statements.h"

#include <QMap>
#include <new>
#include <sodium.h>

namespace seal {

namespace {

QString hex(const QByteArray &bytes) {
    return QString::fromLatin1(bytes.toHex());
}

// Lowercase hex of exactly size bytes, else empty.
QByteArray fromHex(const QString &text, qsizetype size) {
    if (text.size() != 2 * size) {
        return {};
    }
    for (const QChar c : text) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'))) {
            return {};
        }
    }
    return QByteArray::fromHex(text.toLatin1());
}

// "Name=value; Name=value": the values of keys and seals hold no "; ".
QMap<QString, QString> fields(const QString &detalle) {
    QMap<QString, QString> out;
    for (const QString &part : detalle.split(QStringLiteral("; "))) {
        const qsizetype equals = part.indexOf(QLatin1Char('='));
        if (equals > 0) {
            out.insert(part.left(equals), part.mid(equals + 1));
        }
    }
    return out;
}

bool limitsAllowed(const Derivation &how) {
    return how.salt.size() == crypto_pwhash_SALTBYTES && how.operations >= crypto_pwhash_OPSLIMIT_MIN &&
           how.operations <= crypto_pwhash_OPSLIMIT_SENSITIVE && how.memory >= crypto_pwhash_MEMLIMIT_MIN &&
           how.memory <= crypto_pwhash_MEMLIMIT_SENSITIVE;
}

void appendKeyEntry(data::Database &db, const Key &next, const Key *signer, const QDateTime &when,
                    const QString &usuario) {
    const journal::Summary last = journal::summary(db);
    const QString previous = last.lastHash.isEmpty() ? journal::kGenesis : last.lastHash;
    const Key &by = signer ? *signer : next;
    const QByteArray signature = by.sign(keyMessage(previous, next.publicKey(), next.derivation()));
    QString detalle = QStringLiteral("Clave=%1; Sal=%2; Operaciones=%3; Memoria=%4; Huella=%5")
                          .arg(hex(next.publicKey()), hex(next.derivation().salt))
                          .arg(next.derivation().operations)
                          .arg(next.derivation().memory)
                          .arg(next.fingerprint());
    if (signer) {
        detalle += QStringLiteral("; Anterior=") + signer->fingerprint();
    }
    detalle += QStringLiteral("; Firma=") + hex(signature);
    journal::append(db, when, usuario, journal::event::kSealKey, 0, detalle);
    db.execute(statements::selloEmpty());
    db.execute(statements::selloInsert(hex(next.derivation().salt), hex(next.publicKey()),
                                       static_cast<qint64>(next.derivation().operations),
                                       static_cast<qint64>(next.derivation().memory), last.entries + 1));
}

} // namespace

Derivation Derivation::fresh() {
    if (sodium_init() < 0) {
        throw std::bad_alloc();
    }
    Derivation how;
    how.salt.resize(crypto_pwhash_SALTBYTES);
    randombytes_buf(how.salt.data(), static_cast<size_t>(how.salt.size()));
    how.operations = crypto_pwhash_OPSLIMIT_INTERACTIVE;
    how.memory = crypto_pwhash_MEMLIMIT_INTERACTIVE;
    return how;
}

struct Key::Secret {
    unsigned char *bytes = nullptr; // crypto_sign_SECRETKEYBYTES, guarded
    Secret() {
        bytes = static_cast<unsigned char *>(sodium_malloc(crypto_sign_SECRETKEYBYTES));
        if (!bytes) {
            throw std::bad_alloc();
        }
    }
    ~Secret() { sodium_free(bytes); } // zeroed before it is let go
    Secret(const Secret &) = delete;
    Secret &operator=(const Secret &) = delete;
};

std::optional<Key> Key::derive(const QString &password, const Derivation &how) {
    if (sodium_init() < 0 || !limitsAllowed(how)) {
        return std::nullopt;
    }
    QByteArray utf8 = password.toUtf8();
    auto secret = std::make_shared<Secret>();
    auto *seed = static_cast<unsigned char *>(sodium_malloc(crypto_sign_SEEDBYTES));
    if (!seed) {
        sodium_memzero(utf8.data(), static_cast<size_t>(utf8.size()));
        return std::nullopt;
    }
    const int derived =
        crypto_pwhash(seed, crypto_sign_SEEDBYTES, utf8.constData(), static_cast<unsigned long long>(utf8.size()),
                      reinterpret_cast<const unsigned char *>(how.salt.constData()), how.operations,
                      static_cast<size_t>(how.memory), crypto_pwhash_ALG_ARGON2ID13);
    sodium_memzero(utf8.data(), static_cast<size_t>(utf8.size()));
    Key key;
    if (derived == 0) {
        key.public_.resize(crypto_sign_PUBLICKEYBYTES);
        crypto_sign_seed_keypair(reinterpret_cast<unsigned char *>(key.public_.data()), secret->bytes, seed);
        sodium_mprotect_readonly(secret->bytes);
    }
    sodium_free(seed);
    if (derived != 0) {
        return std::nullopt;
    }
    key.secret_ = std::move(secret);
    key.how_ = how;
    return key;
}

QString Key::fingerprint() const {
    return seal::fingerprint(public_);
}

QByteArray Key::sign(const QByteArray &message) const {
    QByteArray signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char *>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char *>(message.constData()),
                         static_cast<unsigned long long>(message.size()), secret_->bytes);
    return signature;
}

QString fingerprint(const QByteArray &publicKey) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char *>(publicKey.constData()),
                       static_cast<unsigned long long>(publicKey.size()));
    return hex(QByteArray(reinterpret_cast<const char *>(digest), 8));
}

bool signatureValid(const QByteArray &publicKey, const QByteArray &message, const QByteArray &signature) {
    return sodium_init() >= 0 && publicKey.size() == crypto_sign_PUBLICKEYBYTES &&
           signature.size() == crypto_sign_BYTES &&
           crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(signature.constData()),
                                       reinterpret_cast<const unsigned char *>(message.constData()),
                                       static_cast<unsigned long long>(message.size()),
                                       reinterpret_cast<const unsigned char *>(publicKey.constData())) == 0;
}

QByteArray sealMessage(qint64 secuencia, const QString &hash) {
    return QByteArrayLiteral("Ludomat sello\n") + QByteArray::number(secuencia) + '\n' + hash.toUtf8();
}

QByteArray keyMessage(const QString &previousHash, const QByteArray &publicKey, const Derivation &how) {
    return QByteArrayLiteral("Ludomat clave\n") + previousHash.toUtf8() + '\n' + publicKey.toHex() + '\n' +
           how.salt.toHex() + '\n' + QByteArray::number(how.operations) + '\n' + QByteArray::number(how.memory);
}

std::optional<Stored> stored(data::Database &db) {
    std::optional<Stored> out;
    db.forEachRow(statements::selloRow(), [&out](const QVector<QVariant> &row) {
        Stored s;
        s.how.salt = QByteArray::fromHex(row.value(0).toString().toLatin1());
        s.publicKey = QByteArray::fromHex(row.value(1).toString().toLatin1());
        s.how.operations = row.value(2).toULongLong();
        s.how.memory = row.value(3).toULongLong();
        out = s;
        return false;
    });
    return out;
}

std::optional<Key> keyFor(data::Database &db, const QString &password) {
    const std::optional<Stored> s = stored(db);
    return Key::derive(password, s ? s->how : Derivation::fresh());
}

bool adopt(data::Database &db, const Key &key, const QDateTime &when, const QString &usuario) {
    const std::optional<Stored> s = stored(db);
    if (!s) {
        appendKeyEntry(db, key, nullptr, when, usuario);
        return true;
    }
    return s->publicKey == key.publicKey();
}

void replace(data::Database &db, const Key *previous, const Key &next, const QDateTime &when, const QString &usuario) {
    const std::optional<Stored> s = stored(db);
    const bool certified = previous && !previous->isNull() && s && s->publicKey == previous->publicKey();
    appendKeyEntry(db, next, certified ? previous : nullptr, when, usuario);
}

void sealLast(data::Database &db, const Key &key, const QDateTime &when, const QString &usuario) {
    const journal::Summary last = journal::summary(db);
    if (last.entries == 0) {
        return; // nothing to seal
    }
    journal::append(
        db, when, usuario, journal::event::kSeal, 0,
        QStringLiteral("Secuencia=%1; Hash=%2; Huella=%3; Firma=%4")
            .arg(last.entries)
            .arg(last.lastHash, key.fingerprint(), hex(key.sign(sealMessage(last.entries, last.lastHash)))));
}

bool Walk::see(const journal::Entry &e, const QString &previousHash, journal::Fault *fault, QString *problem) {
    const bool isKey = e.evento == journal::event::kSealKey;
    if (!isKey && e.evento != journal::event::kSeal) {
        return true;
    }
    const QMap<QString, QString> f = fields(e.detalle);
    const auto refuse = [&](journal::Fault why, const QString &text) {
        *fault = why;
        *problem = text.arg(e.secuencia);
        return false;
    };
    const QByteArray signature = fromHex(f.value(QStringLiteral("Firma")), crypto_sign_BYTES);
    if (isKey) {
        Derivation how;
        how.salt = fromHex(f.value(QStringLiteral("Sal")), crypto_pwhash_SALTBYTES);
        how.operations = f.value(QStringLiteral("Operaciones")).toULongLong();
        how.memory = f.value(QStringLiteral("Memoria")).toULongLong();
        const QByteArray next = fromHex(f.value(QStringLiteral("Clave")), crypto_sign_PUBLICKEYBYTES);
        const bool replaces = f.contains(QStringLiteral("Anterior"));
        // The journal's first key stands on its own; every later one must be certified by it.
        if (!key_.isEmpty() && (!replaces || f.value(QStringLiteral("Anterior")) != fingerprint(key_))) {
            return refuse(journal::Fault::Uncertified,
                          QStringLiteral("la clave del sello de la entrada %1 no está certificada por la clave "
                                         "anterior"));
        }
        if (key_.isEmpty() && replaces) {
            return refuse(journal::Fault::Uncertified,
                          QStringLiteral("la clave del sello de la entrada %1 dice reemplazar una clave que el "
                                         "registro no tiene"));
        }
        const QByteArray &signer = key_.isEmpty() ? next : key_;
        if (!signatureValid(signer, keyMessage(previousHash, next, how), signature)) {
            return refuse(journal::Fault::BadSeal,
                          QStringLiteral("la firma de la clave del sello de la entrada %1 no corresponde: el "
                                         "registro fue reescrito"));
        }
        key_ = next;
        salt_ = f.value(QStringLiteral("Sal"));
        keyEntry_ = e.secuencia;
        return true;
    }
    if (key_.isEmpty() || f.value(QStringLiteral("Huella")) != fingerprint(key_)) {
        return refuse(journal::Fault::Uncertified,
                      QStringLiteral("el sello de la entrada %1 es de una clave que el registro no certifica"));
    }
    if (f.value(QStringLiteral("Secuencia")) != QString::number(e.secuencia - 1) ||
        f.value(QStringLiteral("Hash")) != previousHash ||
        !signatureValid(key_, sealMessage(e.secuencia - 1, previousHash), signature)) {
        return refuse(journal::Fault::BadSeal, QStringLiteral("el sello de la entrada %1 no corresponde a la cadena: "
                                                              "el registro fue reescrito después de sellado"));
    }
    lastSeal_ = e.secuencia;
    return true;
}

} // namespace seal
