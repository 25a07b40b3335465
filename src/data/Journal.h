#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <utility>

namespace data {
class Database;
}

// The journal, table Registro: every event that moves money or rights, appended in the same
// transaction as the change it records, each entry chained to the one before.
//
// Hash of entry n = lowercase hex SHA-256 over the fields below, each written as its length in
// bytes (decimal), ':', its bytes in UTF-8, then ';':
//   the Hash of entry n-1 (for entry 1: 64 times '0'), Secuencia (decimal), Instante, Usuario,
//   Evento, Puesto (decimal, or empty when there is none), Detalle.
// Rewriting, removing or inserting an entry breaks the chain from there on; whoever rewrites
// the whole chain must also rewrite every report that printed its last hash.
namespace journal {

// The kinds of event (the Evento column).
namespace event {
inline const QString kSignIn = QStringLiteral("Ingreso");
inline const QString kSignInRefused = QStringLiteral("Ingreso rechazado");
inline const QString kChangeOfUser = QStringLiteral("Cambio de usuario");
inline const QString kStationOpened = QStringLiteral("Puesto abierto");
inline const QString kStationClosed = QStringLiteral("Puesto cerrado");
inline const QString kStationPaused = QStringLiteral("Puesto pausado");
inline const QString kStationResumed = QStringLiteral("Puesto reanudado");
inline const QString kBlocksAdded = QStringLiteral("Bloques agregados");
inline const QString kCourtesy = QStringLiteral("Tiempo de cortesía");
inline const QString kDiscount = QStringLiteral("Descuento");
// A rental cancelled: it ends that opening; a prepaid one gets its reversing row.
inline const QString kRentalCancelled = QStringLiteral("Alquiler anulado");
// A rental taken to another station: the entry names the new one, its Detalle the old.
inline const QString kStationMoved = QStringLiteral("Puesto movido");
inline const QString kStationRestored = QStringLiteral("Puesto recuperado");
inline const QString kPrepaidEnded = QStringLiteral("Prepago terminado");
// A row of PuestosAbiertos that cannot be restored, moved to PuestosApartados: it ends that opening.
inline const QString kStationSetAside = QStringLiteral("Puesto apartado");
inline const QString kRentalRecorded = QStringLiteral("Alquiler registrado");
// A row of Operaciones, its values in Detalle (see JournalBooks.h), like a rental's.
inline const QString kOperationRecorded = QStringLiteral("Operación registrada");
inline const QString kRoomSetting = QStringLiteral("Ajuste del salón");
// The room's stations and console types stored anew; Detalle lists what changed.
inline const QString kRoomConfigured = QStringLiteral("Configuración del salón");
// A shift: opened with its float, cash put in or taken out, each count with its denominations,
// closed with what was expected and the difference, or closed uncounted by the administrator;
// a note the administrator adds to a closed shift.
inline const QString kShiftOpened = QStringLiteral("Turno abierto");
inline const QString kCashMovement = QStringLiteral("Movimiento de caja");
inline const QString kCashCounted = QStringLiteral("Arqueo");
inline const QString kShiftClosed = QStringLiteral("Turno cerrado");
inline const QString kShiftUncounted = QStringLiteral("Turno sin arqueo");
inline const QString kShiftNote = QStringLiteral("Nota de turno");
inline const QString kRateChanged = QStringLiteral("Tarifa cambiada");
inline const QString kAccountAdded = QStringLiteral("Cuenta agregada");
inline const QString kAccountDeleted = QStringLiteral("Cuenta borrada");
inline const QString kPasswordChanged = QStringLiteral("Contraseña cambiada");
inline const QString kCashClose = QStringLiteral("Cierre de caja");
inline const QString kBackup = QStringLiteral("Copia de seguridad");
inline const QString kDatabaseRestored = QStringLiteral("Base de datos restituida");
// A copy of the books put in their place: the first entry after the copy's own journal.
inline const QString kCopyRestored = QStringLiteral("Copia restaurada");
inline const QString kProgramStarted = QStringLiteral("Programa iniciado");
inline const QString kProgramEnded = QStringLiteral("Programa terminado");
// The books as they stood when the journal began to cover them (see JournalBooks.h).
inline const QString kBooksStarted = QStringLiteral("Libros iniciados");
// The owner's key and seals (see Seal.h).
inline const QString kSealKey = QStringLiteral("Clave del sello");
inline const QString kSeal = QStringLiteral("Sello");
} // namespace event

inline const QString kGenesis = QString(64, QLatin1Char('0'));

struct Entry {
    qint64 secuencia = 0;
    QString instante; // UTC, ISO 8601 with milliseconds
    QString usuario;
    QString evento;
    int puesto = 0; // 0: none
    QString detalle;
    QString hash;
};

QString entryHash(const QString &previousHash, const Entry &entry);

// The Instante of an entry made at when: UTC, ISO 8601 with milliseconds.
QString instantText(const QDateTime &when);

// Appends one entry after the last one. It must run inside the write transaction of the change
// it records: if it fails, the change fails with it. Throws DbError.
void append(data::Database &db, const QDateTime &when, const QString &usuario, const QString &evento, int puesto,
            const QString &detalle);

// Stores room settings (one value per Salon key) with their entry "Ajuste del salón" by
// administrator ("<text>; Autorizó=<administrator>"), in one transaction. Throws DbError.
void storeRoomSettings(data::Database &db, const QList<std::pair<QString, QString>> &values, const QDateTime &when,
                       const QString &administrator, const QString &text);

struct Summary {
    qint64 entries = 0;
    QString lastHash; // empty when the journal is empty
};
Summary summary(data::Database &db);

// Every entry in order; entry() returning false stops the walk. Throws DbError.
void forEachEntry(data::Database &db, const std::function<bool(const Entry &)> &entry);

// The entries made from from to to, both included, newest first.
QList<Entry> entriesBetween(data::Database &db, const QDateTime &from, const QDateTime &to);

// Where a chain breaks, the way the entries first stop agreeing.
enum class Fault {
    None,
    Changed,     // an entry's fields or hash no longer match the chain
    Missing,     // a number is skipped: an entry was removed
    Inserted,    // a number below the next one expected: an entry was put in
    Stopped,     // the walk was stopped before the end
    BadSeal,     // a seal or a key's signature does not match the chain: sealed history was rewritten
    Uncertified, // a key or a seal the journal's earlier key does not vouch for
};

// Where the books (the tables) and the journal disagree: a row the journal does not account
// for, or an entry whose row is not there as it says.
struct Difference {
    QString table; // Alquiler, Tarifa, Usuarios, PuestosAbiertos, Sello, Registro
    QString row;   // how the row is named: "row 12", "entry 57", "Admin", "Puesto 3 (Apertura=...)"
    QString fila;  // the same in Spanish: "fila 12", "entrada 57", "cuenta Admin", ...
    QString what;  // what differs
    QString que;   // the same in Spanish
    // "books differ from the journal at Alquiler row 12: ..."
    QString english() const;
    // "los libros no coinciden con el registro en Alquiler, fila 12: ..."
    QString spanish() const;
};

struct Verification {
    bool ok = true;
    Fault fault = Fault::None;
    qint64 entries = 0;
    QString lastHash;
    qint64 firstBad = 0; // the Secuencia where the chain breaks
    QString problem;     // in Spanish: what is wrong there
    // The owner's seal: the journal's key at the end (its fingerprint; empty when none yet) and
    // the last seal.
    QString sealKey;
    qint64 lastSeal = 0;
    // The books, checked only when the chain holds and the journal covers them (an entry
    // "Libros iniciados"; books this version never wrote to have none yet).
    bool booksChecked = false;
    QList<Difference> differences;
    qint64 moreDifferences = 0; // differences beyond those listed
    qint64 rentals = 0;         // rows of Alquiler seen
    bool booksAgree() const { return differences.isEmpty(); }
};
// Walks the whole journal, checking every link and every seal, then the books against it.
// progress(entries or rows seen) returning false stops it (ok then false, problem says so).
// Throws DbError when the file cannot be read.
Verification verify(data::Database &db, const std::function<bool(qint64)> &progress = {});
// The same on a read-only connection of its own, in one read transaction, so a program writing
// the file meanwhile neither waits nor shows a half-written entry. Throws DbError.
Verification verifyFile(const QString &path, const std::function<bool(qint64)> &progress = {});

} // namespace journal
