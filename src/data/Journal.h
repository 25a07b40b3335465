#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

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
inline const QString kStationRestored = QStringLiteral("Puesto recuperado");
inline const QString kPrepaidEnded = QStringLiteral("Prepago terminado");
inline const QString kRentalRecorded = QStringLiteral("Alquiler registrado");
inline const QString kRateChanged = QStringLiteral("Tarifa cambiada");
inline const QString kAccountAdded = QStringLiteral("Cuenta agregada");
inline const QString kAccountDeleted = QStringLiteral("Cuenta borrada");
inline const QString kPasswordChanged = QStringLiteral("Contraseña cambiada");
inline const QString kCashClose = QStringLiteral("Cierre de caja");
inline const QString kBackup = QStringLiteral("Copia de seguridad");
inline const QString kProgramStarted = QStringLiteral("Programa iniciado");
inline const QString kProgramEnded = QStringLiteral("Programa terminado");
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

// Appends one entry after the last one. It must run inside the write transaction of the change
// it records: if it fails, the change fails with it. Throws DbError.
void append(data::Database &db, const QDateTime &when, const QString &usuario, const QString &evento, int puesto,
            const QString &detalle);

struct Summary {
    qint64 entries = 0;
    QString lastHash; // empty when the journal is empty
};
Summary summary(data::Database &db);

struct Verification {
    bool ok = true;
    qint64 entries = 0;
    QString lastHash;
    qint64 firstBad = 0; // the Secuencia where the chain breaks
    QString problem;     // in Spanish: what is wrong there
};
// Walks the whole journal. progress(entries seen) returning false stops it (ok then false,
// problem says so). Throws DbError when the file cannot be read.
Verification verify(data::Database &db, const std::function<bool(qint64)> &progress = {});

} // namespace journal
