#include "data/Journal.h"

#include "data/Database.h"
#include "data/JournalBooks.h"
#include "data/Seal.h"
#include "data/Statements.h"

#include <array>
#include <charconv>
#include <sodium.h>

namespace journal {

namespace {

// The fields go to the hash one by one, never joined in a buffer: a verification hashes every
// entry of the journal.
void addField(crypto_hash_sha256_state &state, const char *bytes, qsizetype size) {
    char length[24];
    char *end = std::to_chars(length, length + sizeof length - 1, size).ptr;
    *end++ = ':';
    crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char *>(length),
                              static_cast<unsigned long long>(end - length));
    crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char *>(bytes),
                              static_cast<unsigned long long>(size));
    crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char *>(";"), 1);
}

void addText(crypto_hash_sha256_state &state, const QString &text) {
    const QByteArray utf8 = text.toUtf8();
    addField(state, utf8.constData(), utf8.size());
}

void addNumber(crypto_hash_sha256_state &state, qint64 number) {
    char digits[24];
    const char *end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    addField(state, digits, end - digits);
}

using HexDigest = std::array<char, 2 * crypto_hash_sha256_BYTES + 1>;

HexDigest hexDigest(const QString &previousHash, const Entry &entry) {
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    addText(state, previousHash);
    addNumber(state, entry.secuencia);
    addText(state, entry.instante);
    addText(state, entry.usuario);
    addText(state, entry.evento);
    if (entry.puesto > 0) {
        addNumber(state, entry.puesto);
    } else {
        addField(state, "", 0);
    }
    addText(state, entry.detalle);
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state, digest);
    HexDigest hex;
    sodium_bin2hex(hex.data(), hex.size(), digest, sizeof digest);
    return hex;
}

// A row of registroAll or registroPeriod.
void readEntry(const QVector<QVariant> &row, Entry &e) {
    e.secuencia = row.value(0).toLongLong();
    e.instante = row.value(1).toString();
    e.usuario = row.value(2).toString();
    e.evento = row.value(3).toString();
    e.puesto = row.value(4).isNull() ? 0 : row.value(4).toInt();
    e.detalle = row.value(5).toString();
    e.hash = row.value(6).toString();
}

} // namespace

QString instantText(const QDateTime &when) {
    return when.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QString entryHash(const QString &previousHash, const Entry &entry) {
    return QString::fromLatin1(hexDigest(previousHash, entry).data(), 2 * crypto_hash_sha256_BYTES);
}

void append(data::Database &db, const QDateTime &when, const QString &usuario, const QString &evento, int puesto,
            const QString &detalle) {
    const Summary last = summary(db);
    Entry e;
    e.secuencia = last.entries + 1;
    e.instante = instantText(when);
    e.usuario = usuario;
    e.evento = evento;
    e.puesto = puesto;
    e.detalle = detalle;
    // A journal that was tampered with goes on from its last entry as it stands: the break stays
    // where it is, for the verification to find.
    e.hash = entryHash(last.lastHash.isEmpty() ? kGenesis : last.lastHash, e);
    db.execute(statements::registroInsert(e.secuencia, e.instante, e.usuario, e.evento, e.puesto, e.detalle, e.hash));
}

Summary summary(data::Database &db) {
    Summary s;
    db.forEachRow(statements::registroLast(), [&s](const QVector<QVariant> &row) {
        s.entries = row.value(0).toLongLong();
        s.lastHash = row.value(1).toString();
        return false;
    });
    return s;
}

Verification verify(data::Database &db, const std::function<bool(qint64)> &progress) {
    Verification v;
    QString previous = kGenesis;
    qint64 expected = 1;
    Entry e;
    seal::Walk seals;
    BooksTally books;
    db.forEachRow(statements::registroAll(), [&](const QVector<QVariant> &row) {
        readEntry(row, e);
        if (e.secuencia != expected) {
            v.ok = false;
            v.fault = e.secuencia > expected ? Fault::Missing : Fault::Inserted;
            v.firstBad = qMin(e.secuencia, expected);
            v.problem =
                e.secuencia > expected
                    ? QStringLiteral("falta la entrada %1 (fue borrada)").arg(expected)
                    : QStringLiteral("la entrada %1 está fuera de la secuencia (fue insertada)").arg(e.secuencia);
            return false;
        }
        if (e.hash != QLatin1String(hexDigest(previous, e).data(), 2 * crypto_hash_sha256_BYTES)) {
            v.ok = false;
            v.fault = Fault::Changed;
            v.firstBad = e.secuencia;
            v.problem = QStringLiteral("la entrada %1 no corresponde a la cadena (fue modificada, o insertada en lugar "
                                       "de otra)")
                            .arg(e.secuencia);
            return false;
        }
        if (!seals.see(e, previous, &v.fault, &v.problem)) {
            v.ok = false;
            v.firstBad = e.secuencia;
            return false;
        }
        books.see(e);
        previous = e.hash;
        v.entries = e.secuencia;
        ++expected;
        if (progress && v.entries % 4096 == 0 && !progress(v.entries)) {
            v.ok = false;
            v.fault = Fault::Stopped;
            v.problem = QStringLiteral("la verificación se interrumpió en la entrada %1").arg(v.entries);
            return false;
        }
        return true;
    });
    v.lastHash = previous == kGenesis ? QString() : previous;
    v.sealKey = seals.publicKey().isEmpty() ? QString() : seal::fingerprint(seals.publicKey());
    v.lastSeal = seals.lastSeal();
    // Books are judged only against a journal that holds, and only once it covers them.
    if (v.ok && books.started()) {
        try {
            v.differences = books.compare(db, seals.publicKey(), seals.saltHex(), progress, &v.rentals,
                                          &v.moreDifferences);
            v.booksChecked = true;
        } catch (const data::DbError &) {
            if (progress && !progress(v.entries)) {
                v.ok = false;
                v.fault = Fault::Stopped;
                v.problem = QStringLiteral("la verificación se interrumpió al comparar los libros");
                return v;
            }
            throw;
        }
    }
    return v;
}

void forEachEntry(data::Database &db, const std::function<bool(const Entry &)> &entry) {
    Entry e;
    db.forEachRow(statements::registroAll(), [&](const QVector<QVariant> &row) {
        readEntry(row, e);
        return entry(e);
    });
}

Verification verifyFile(const QString &path, const std::function<bool(qint64)> &progress) {
    auto db = data::Database::open(path, {.readOnly = true});
    db->beginRead();
    Verification v = verify(*db, progress);
    db->close(); // ends the read transaction
    return v;
}

QList<Entry> entriesBetween(data::Database &db, const QDateTime &from, const QDateTime &to) {
    QList<Entry> out;
    db.forEachRow(statements::registroPeriod(instantText(from), instantText(to)), [&out](const QVector<QVariant> &row) {
        readEntry(row, out.emplace_back());
        return true;
    });
    return out;
}

} // namespace journal
