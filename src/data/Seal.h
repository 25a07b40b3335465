#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>

namespace data {
class Database;
}
namespace journal {
struct Entry;
enum class Fault;
} // namespace journal

// The owner's seal: a signature over the journal's last hash with a key that only the
// administrator's password gives. Anyone with the file can recompute the hash chain after
// rewriting an entry; nobody without the password can sign the recomputed hashes.
//
// The key: Argon2id (libsodium's crypto_pwhash) of the password with the salt and limits stored
// in table Sello seeds an Ed25519 key pair (crypto_sign_seed_keypair). Sello keeps the salt, the
// limits and the public key, never the secret half. The journal carries every key:
//   "Clave del sello"  Clave=<public key>; Sal=<salt>; Operaciones=<n>; Memoria=<bytes>;
//                      Huella=<fingerprint>[; Anterior=<fingerprint of the key it replaces>];
//                      Firma=<signature over keyMessage()>
// signed by the key it replaces (certified) or, for the journal's first key only, by itself;
//   "Sello"            Secuencia=<n>; Hash=<hash of entry n>; Huella=<fingerprint>;
//                      Firma=<signature over sealMessage()>
// sealing the entry just before it. Every value is lowercase hex.
namespace seal {

// How a key comes from a password.
struct Derivation {
    QByteArray salt; // crypto_pwhash_SALTBYTES
    quint64 operations = 0;
    quint64 memory = 0; // bytes
    // A new random salt with libsodium's interactive limits.
    static Derivation fresh();
};

// A key pair derived from a password. The secret half lives in libsodium's guarded memory and is
// wiped when the last copy of the Key goes.
class Key final {
public:
    Key() = default;
    // Slow on purpose (the derivation). nullopt when the derivation cannot run: limits outside
    // what a key may be made with, or no memory.
    static std::optional<Key> derive(const QString &password, const Derivation &how);

    bool isNull() const { return !secret_; }
    const QByteArray &publicKey() const { return public_; }
    const Derivation &derivation() const { return how_; }
    QString fingerprint() const;
    QByteArray sign(const QByteArray &message) const;

private:
    struct Secret;
    std::shared_ptr<const Secret> secret_;
    QByteArray public_;
    Derivation how_;
};

// What the owner compares: the first 16 hex digits of the public key's SHA-256.
QString fingerprint(const QByteArray &publicKey);
bool signatureValid(const QByteArray &publicKey, const QByteArray &message, const QByteArray &signature);
// The bytes signed: a seal of entry secuencia, and a key following the entry whose hash is previousHash.
QByteArray sealMessage(qint64 secuencia, const QString &hash);
QByteArray keyMessage(const QString &previousHash, const QByteArray &publicKey, const Derivation &how);

// The key kept in the books (table Sello).
struct Stored {
    QByteArray publicKey;
    Derivation how;
};
// nullopt when the books have no key yet. Throws DbError.
std::optional<Stored> stored(data::Database &db);
// The key a password gives in these books: with the stored salt and limits, or with fresh ones
// when there is no key yet. Run before the write transaction: it is the slow part.
std::optional<Key> keyFor(data::Database &db, const QString &password);

// Inside a write transaction. The key must be the stored one; books without a key take it as
// their first (journaled, signed by itself). False, and nothing written, when the books keep
// another key.
bool adopt(data::Database &db, const Key &key, const QDateTime &when, const QString &usuario);
// Inside the write transaction of the administrator's new password: next replaces the stored
// key, certified by previous when previous is the stored key; else next stands on its own, which
// a verification shows unless the books had no key yet.
void replace(data::Database &db, const Key *previous, const Key &next, const QDateTime &when, const QString &usuario);
// Inside a write transaction: signs the journal's last entry.
void sealLast(data::Database &db, const Key &key, const QDateTime &when, const QString &usuario);

// The seals and keys of a journal, checked entry by entry as a verification walks it.
class Walk final {
public:
    // False when entry e (whose predecessor's hash is previousHash) is a key or a seal that does
    // not stand: fault and problem (Spanish) say why.
    bool see(const journal::Entry &e, const QString &previousHash, journal::Fault *fault, QString *problem);
    const QByteArray &publicKey() const { return key_; } // the journal's key at the end; empty when none
    const QString &saltHex() const { return salt_; }
    qint64 keyEntry() const { return keyEntry_; }
    qint64 lastSeal() const { return lastSeal_; }

private:
    QByteArray key_;
    QString salt_;
    qint64 keyEntry_ = 0;
    qint64 lastSeal_ = 0;
};

// The owner's key while the administrator is signed in: filled at the administrator's
// sign-in, used by the cash close, forgotten at a change of user and when the program ends.
class OwnerSeal final {
public:
    void hold(Key key) { key_ = std::move(key); }
    void forget() { key_ = Key(); }
    // A copy for a run on another thread; null when nobody holds the key.
    Key key() const { return key_; }
    bool holdsKey() const { return !key_.isNull(); }

private:
    Key key_;
};

} // namespace seal
