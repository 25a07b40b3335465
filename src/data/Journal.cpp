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

HexDigest finish(crypto_hash_sha256_state &state) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state, digest);
    HexDigest hex;
    sodium_bin2hex(hex.data(), hex.size(), digest, sizeof digest);
    return hex;
}

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
    return finish(state);
}

// The same over a row of registroAll as the engine holds it (UTF-8), for the long walks: the
// fields gathered in one reused buffer and hashed in one call.
void put(QByteArray &out, const char *bytes, qsizetype size) {
    char length[24];
    const char *end = std::to_chars(length, length + sizeof length, size).ptr;
    out.append(length, end - length).append(':').append(bytes, size).append(';');
}

void putNumber(QByteArray &out, qint64 number) {
    char digits[24];
    const char *end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    put(out, digits, end - digits);
}

HexDigest hexDigest(const HexDigest &previous, const data::Database::RowView &row, QByteArray &buffer) {
    buffer.resize(0);
    put(buffer, previous.data(), 2 * crypto_hash_sha256_BYTES);
    putNumber(buffer, row.integer(0));
    for (const int column : {1, 2, 3}) {
        const QByteArrayView text = row.text(column);
        put(buffer, text.data(), text.size());
    }
    if (!row.isNull(4) && row.integer(4) > 0) {
        putNumber(buffer, row.integer(4));
    } else {
        put(buffer, "", 0);
    }
    const QByteArrayView detalle = row.text(5);
    put(buffer, detalle.data(), detalle.size());
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char *>(buffer.constData()),
                       static_cast<unsigned long long>(buffer.size()));
    HexDigest hex;
    sodium_bin2hex(hex.data(), hex.size(), digest, sizeof digest);
    return hex;
}

Entry entryOf(const data::Database::RowView &row) {
    Entry e;
    e.secuencia = row.integer(0);
    e.instante = QString::fromUtf8(row.text(1));
    e.usuario = QString::fromUtf8(row.text(2));
    e.evento = QString::fromUtf8(row.text(3));
    e.puesto = row.isNull(4) ? 0 : static_cast<int>(row.integer(4));
    e.detalle = QString::fromUtf8(row.text(5));
    e.hash = QString::fromUtf8(row.text(6));
    return e;
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

void storeRoomSettings(data::Database &db, const QList<std::pair<QString, QString>> &values, const QDateTime &when,
                       const QString &administrator, const QString &text) {
    data::runInTransaction(db, [&] {
        for (const auto &[key, value] : values) {
            for (const QString &sql : statements::salonSet(key, value)) {
                db.execute(sql);
            }
        }
        append(db, when, administrator, event::kRoomSetting, 0, text + QStringLiteral("; Autorizó=") + administrator);
    });
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
    HexDigest previous;
    previous.fill('0');
    previous.back() = '\0';
    qint64 expected = 1;
    seal::Walk seals;
    BooksTally books;
    static const QByteArray sealKey = event::kSealKey.toUtf8();
    static const QByteArray sealed = event::kSeal.toUtf8();
    QByteArray buffer;
    buffer.reserve(1024);
    // Straight from the engine's UTF-8: a million entries are read, hashed and tallied without
    // turning each into Qt strings; only keys and seals are.
    db.forEachRawRow(statements::registroAll(), [&](const data::Database::RowView &row) {
        const qint64 secuencia = row.integer(0);
        if (secuencia != expected) {
            v.ok = false;
            v.fault = secuencia > expected ? Fault::Missing : Fault::Inserted;
            v.firstBad = qMin(secuencia, expected);
            v.problem = secuencia > expected
                            ? QStringLiteral("falta la entrada %1 (fue borrada)").arg(expected)
                            : QStringLiteral("la entrada %1 está fuera de la secuencia (fue insertada)").arg(secuencia);
            return false;
        }
        const HexDigest digest = hexDigest(previous, row, buffer);
        if (row.text(6) != QByteArrayView(digest.data(), 2 * crypto_hash_sha256_BYTES)) {
            v.ok = false;
            v.fault = Fault::Changed;
            v.firstBad = secuencia;
            v.problem = QStringLiteral("la entrada %1 no corresponde a la cadena (fue modificada, o insertada en lugar "
                                       "de otra)")
                            .arg(secuencia);
            return false;
        }
        const QByteArrayView evento = row.text(3);
        if ((evento == sealKey || evento == sealed) &&
            !seals.see(entryOf(row), QString::fromLatin1(previous.data(), 2 * crypto_hash_sha256_BYTES), &v.fault,
                       &v.problem)) {
            v.ok = false;
            v.firstBad = secuencia;
            return false;
        }
        books.see(secuencia, evento, row.isNull(4) ? 0 : static_cast<int>(row.integer(4)), row.text(5));
        previous = digest;
        v.entries = secuencia;
        ++expected;
        if (progress && v.entries % 4096 == 0 && !progress(v.entries)) {
            v.ok = false;
            v.fault = Fault::Stopped;
            v.problem = QStringLiteral("la verificación se interrumpió en la entrada %1").arg(v.entries);
            return false;
        }
        return true;
    });
    v.lastHash = v.entries == 0 ? QString() : QString::fromLatin1(previous.data(), 2 * crypto_hash_sha256_BYTES);
    v.sealKey = seals.publicKey().isEmpty() ? QString() : seal::fingerprint(seals.publicKey());
    v.lastSeal = seals.lastSeal();
    // Books are judged only against a journal that holds, and only once it covers them.
    if (v.ok && books.started()) {
        try {
            v.differences =
                books.compare(db, seals.publicKey(), seals.saltHex(), progress, &v.rentals, &v.moreDifferences);
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
