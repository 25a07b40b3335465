#include "data/Schema.h"

#include "data/DbError.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <atomic>

namespace data {

namespace {

std::atomic<int> creatorCounter{0};

// The rental columns, shared by Alquiler and its cash-close copy Caja. Dates and times are ISO
// text so that text order is time order; Tiempo is a duration and may pass 23 hours.
const char *const rentalColumns = R"((
    Puesto INTEGER NOT NULL CHECK (Puesto BETWEEN 1 AND 5),
    Modo TEXT NOT NULL,
    Usuario TEXT NOT NULL,
    Fecha TEXT NOT NULL CHECK (typeof(Fecha) = 'text' AND date(Fecha) = Fecha),
    Hora TEXT NOT NULL CHECK (typeof(Hora) = 'text' AND Hora GLOB '[0-2][0-9]:[0-5][0-9]:[0-5][0-9]'
                              AND Hora <= '23:59:59'),
    Tiempo TEXT NOT NULL CHECK (typeof(Tiempo) = 'text' AND Tiempo GLOB '[0-9][0-9]*:[0-5][0-9]:[0-5][0-9]'
                                AND substr(Tiempo, 1, length(Tiempo) - 6) NOT GLOB '*[^0-9]*'),
    Importe REAL NOT NULL
))";

} // namespace

QStringList schemaStatements() {
    return {
        QStringLiteral("CREATE TABLE Alquiler ") + QString::fromUtf8(rentalColumns),
        QStringLiteral("CREATE TABLE Caja ") + QString::fromUtf8(rentalColumns),
        QStringLiteral("CREATE INDEX AlquilerFecha ON Alquiler (Fecha)"),
        QStringLiteral("CREATE INDEX CajaFecha ON Caja (Fecha)"),
        QStringLiteral("CREATE TABLE Tarifa (Minutos INTEGER NOT NULL, Pesos REAL NOT NULL)"),
        // codigo repeats by design: the accounts window numbers a new account by the row count.
        QStringLiteral("CREATE TABLE Usuarios (codigo INTEGER NOT NULL, Usuario TEXT NOT NULL, "
                       "Contraseña TEXT NOT NULL)"),
    };
}

void createDeliveredDatabase(const QString &path, const QString &adminPasswordHash) {
    if (QFileInfo::exists(path))
        throw DbError(QStringLiteral("El archivo %1 ya existe; no se sobrescribe").arg(path));
    const QString name = QStringLiteral("ludomat-create-%1").arg(creatorCounter.fetch_add(1));
    QString failure;
    QString failedStatement;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) +
                           QStringLiteral("?mode=rwc"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
        if (!db.open()) {
            failure = db.lastError().text();
        } else {
            QStringList script{QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("BEGIN IMMEDIATE")};
            script << schemaStatements();
            script << QStringLiteral("INSERT INTO Tarifa (Minutos, Pesos) VALUES (30, 10)");
            QSqlQuery query(db);
            for (const QString &sql : script) {
                if (!query.exec(sql)) {
                    failure = query.lastError().text();
                    failedStatement = sql;
                    break;
                }
            }
            if (failure.isEmpty()) {
                query.prepare(
                    QStringLiteral("INSERT INTO Usuarios (codigo, Usuario, Contraseña) VALUES (0, 'Admin', ?)"));
                query.addBindValue(adminPasswordHash);
                if (!query.exec()) {
                    failure = query.lastError().text();
                    failedStatement = query.lastQuery();
                }
            }
            if (failure.isEmpty() && !query.exec(QStringLiteral("COMMIT"))) {
                failure = query.lastError().text();
                failedStatement = QStringLiteral("COMMIT");
            }
            query.finish();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!failure.isEmpty()) {
        for (const char *suffix : {"", "-wal", "-shm", "-journal"})
            QFile::remove(path + QLatin1String(suffix));
        throw DbError(QStringLiteral("No se pudo crear %1: %2").arg(path, failure), failedStatement);
    }
}

} // namespace data
