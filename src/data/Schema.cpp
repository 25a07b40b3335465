#include "data/Schema.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/JournalBooks.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <sqlite3.h>

namespace data {

namespace {

// The rental columns, shared by Alquiler and its cash-close copy Caja. Dates and times are ISO
// text so that text order is time order; Tiempo is a duration and may pass 23 hours.
const char *const rentalColumns = R"((
    Puesto INTEGER NOT NULL CHECK (Puesto BETWEEN 1 AND 20),
    Modo TEXT NOT NULL,
    Usuario TEXT NOT NULL,
    Fecha TEXT NOT NULL CHECK (typeof(Fecha) = 'text' AND date(Fecha) = Fecha),
    Hora TEXT NOT NULL CHECK (typeof(Hora) = 'text' AND Hora GLOB '[0-2][0-9]:[0-5][0-9]:[0-5][0-9]'
                              AND Hora <= '23:59:59'),
    Tiempo TEXT NOT NULL CHECK (typeof(Tiempo) = 'text' AND Tiempo GLOB '[0-9][0-9]*:[0-5][0-9]:[0-5][0-9]'
                                AND substr(Tiempo, 1, length(Tiempo) - 6) NOT GLOB '*[^0-9]*'),
    Importe REAL NOT NULL
))";

// What was added after the first version, in order: whole tables, and columns of tables that
// an older file already has. A table that is missing is made whole by its own statements, so
// the columns added to it later are left out then. The rows of PuestosAbiertos are checked by
// the program when it reads them back, so a damaged row can be named and set aside rather than
// refused by the engine; PuestosApartados keeps such rows as they were, without types.
struct Addition {
    const char *table;
    QStringList statements;
    const char *column = nullptr; // set: the statements add this column to an existing table
};

QList<Addition> additions() {
    return {
        {"PuestosAbiertos",
         {QStringLiteral("CREATE TABLE PuestosAbiertos (Puesto INTEGER NOT NULL, Modo TEXT NOT NULL, "
                         "Usuario TEXT NOT NULL, Apertura TEXT NOT NULL, Minutos INTEGER NOT NULL, "
                         "Pesos REAL NOT NULL, Bloques INTEGER, Fin TEXT, Arranque TEXT, ArranqueMs INTEGER, "
                         "Transcurrido INTEGER, Visto TEXT, PausaMs INTEGER, PausadoEn INTEGER, Cortesia INTEGER, "
                         "Descuento REAL, Consola TEXT, Mandos INTEGER, Condiciones TEXT, Pagado REAL)")}},
        // The journal: append-only, each entry chained to the one before by its Hash.
        {"Registro",
         {QStringLiteral("CREATE TABLE Registro (Secuencia INTEGER PRIMARY KEY, Instante TEXT NOT NULL, "
                         "Usuario TEXT NOT NULL, Evento TEXT NOT NULL, Puesto INTEGER, Detalle TEXT NOT NULL, "
                         "Hash TEXT NOT NULL)"),
          QStringLiteral("CREATE INDEX RegistroInstante ON Registro (Instante)")}},
        // An open station's time on the machine's boot clock: the boot, the boot clock at its
        // opening, and the last elapsed seconds and wall instant seen while it ran.
        {"PuestosAbiertos", {QStringLiteral("ALTER TABLE PuestosAbiertos ADD COLUMN Arranque TEXT")}, "Arranque"},
        {"PuestosAbiertos",
         {QStringLiteral("ALTER TABLE PuestosAbiertos ADD COLUMN ArranqueMs INTEGER")},
         "ArranqueMs"},
        {"PuestosAbiertos",
         {QStringLiteral("ALTER TABLE PuestosAbiertos ADD COLUMN Transcurrido INTEGER")},
         "Transcurrido"},
        {"PuestosAbiertos", {QStringLiteral("ALTER TABLE PuestosAbiertos ADD COLUMN Visto TEXT")}, "Visto"},
        // A pause: the milliseconds spent paused before the current pause, and the milliseconds
        // the station had run when the current pause began (NULL while it runs).
        {"PuestosAbiertos", {QStringLiteral("ALTER TABLE PuestosAbiertos ADD COLUMN PausaMs INTEGER")}, "PausaMs"},
        {"PuestosAbiertos", {QStringLiteral("ALTER TABLE PuestosAbiertos ADD COLUMN PausadoEn INTEGER")}, "PausadoEn"},
        // Free minutes given to a prepaid rental, and the amount to take off a Contador one at its close.
        {"PuestosAbiertos", {QStringLiteral("ALTER TABLE PuestosAbiertos ADD COLUMN Cortesia INTEGER")}, "Cortesia"},
        {"PuestosAbiertos", {QStringLiteral("ALTER TABLE PuestosAbiertos ADD COLUMN Descuento REAL")}, "Descuento"},
        // What a rental opened with: its console type, its controllers, its terms (encoded, see
        // stations::termsText), and for a prepaid one all it was paid, blocks added included.
        {"PuestosAbiertos", {QStringLiteral("ALTER TABLE PuestosAbiertos ADD COLUMN Consola TEXT")}, "Consola"},
        {"PuestosAbiertos", {QStringLiteral("ALTER TABLE PuestosAbiertos ADD COLUMN Mandos INTEGER")}, "Mandos"},
        {"PuestosAbiertos", {QStringLiteral("ALTER TABLE PuestosAbiertos ADD COLUMN Condiciones TEXT")}, "Condiciones"},
        {"PuestosAbiertos", {QStringLiteral("ALTER TABLE PuestosAbiertos ADD COLUMN Pagado REAL")}, "Pagado"},
        // The counter's corrections, with who approved them and why, for the cash close: blocks
        // added, courtesy minutes, discounts and cancellations. The money itself is in Alquiler.
        {"Operaciones",
         {QStringLiteral("CREATE TABLE Operaciones (Fecha TEXT NOT NULL, Hora TEXT NOT NULL, Puesto INTEGER NOT NULL, "
                         "Tipo TEXT NOT NULL, Usuario TEXT NOT NULL, Autorizo TEXT NOT NULL, Minutos INTEGER NOT NULL, "
                         "Importe REAL NOT NULL, Motivo TEXT NOT NULL)"),
          QStringLiteral("CREATE INDEX OperacionesFecha ON Operaciones (Fecha)")}},
        {"PuestosApartados",
         {QStringLiteral("CREATE TABLE PuestosApartados (Puesto, Modo, Usuario, Apertura, Minutos, Pesos, Bloques, "
                         "Fin, Arranque, ArranqueMs, Transcurrido, Visto, Motivo TEXT NOT NULL, "
                         "Apartado TEXT NOT NULL)")}},
        // The owner's seal: the salt, limits and public key of the key the administrator's
        // password gives (one row once there is a key), and the entry that journaled it.
        {"Sello",
         {QStringLiteral("CREATE TABLE Sello (Sal TEXT NOT NULL, Clave TEXT NOT NULL, Operaciones INTEGER NOT NULL, "
                         "Memoria INTEGER NOT NULL, Desde INTEGER NOT NULL)")}},
        // The room's settings, one value per key (see StationBoard for the keys).
        {"Salon", {QStringLiteral("CREATE TABLE Salon (Clave TEXT NOT NULL PRIMARY KEY, Valor TEXT NOT NULL)")}},
        // The sign-in throttle: each account's wrong passwords in a row and when the last one was
        // typed, by the wall clock and by the boot clock of the boot it names.
        {"Intentos",
         {QStringLiteral("CREATE TABLE Intentos (Usuario TEXT NOT NULL PRIMARY KEY, Fallos INTEGER NOT NULL, "
                         "UltimoFallo TEXT NOT NULL, Arranque TEXT NOT NULL, RelojArranque INTEGER NOT NULL)")}},
        // Accounts whose password the administrator set: their owner chooses one at the next sign-in.
        {"ClavesProvisorias", {QStringLiteral("CREATE TABLE ClavesProvisorias (Usuario TEXT NOT NULL PRIMARY KEY)")}},
        // The room: its stations, its console types in order (the first one's Minutos and Pesos
        // are Tarifa's, left NULL here) and each type's periods of the week. No stations: the
        // delivered five.
        {"Puestos",
         {QStringLiteral("CREATE TABLE Puestos (Numero INTEGER PRIMARY KEY CHECK (Numero BETWEEN 1 AND 20), "
                         "Nombre TEXT NOT NULL, Tipo TEXT NOT NULL)")}},
        {"Consolas",
         {QStringLiteral("CREATE TABLE Consolas (Nombre TEXT PRIMARY KEY, Orden INTEGER NOT NULL, Minutos INTEGER, "
                         "Pesos REAL, Minimo INTEGER NOT NULL, Tolerancia INTEGER NOT NULL, Recargo REAL NOT NULL)")}},
        {"Periodos",
         {QStringLiteral("CREATE TABLE Periodos (Consola TEXT NOT NULL, Nombre TEXT NOT NULL, Dias INTEGER NOT NULL, "
                         "Desde INTEGER NOT NULL, Hasta INTEGER NOT NULL, Pesos REAL NOT NULL)")}},
        // The operator's shifts: opened at a sign-in with the cash in the drawer (Fondo), closed at
        // the sign-out with a count. Apertura and Cierre are local "yyyy-MM-ddTHH:mm:ss", like
        // Alquiler's Fecha and Hora put together. Its sales are the rows of Alquiler after
        // PrimeraFila up to UltimaFila (rowids: the wall clock may go back, the rows do not). The
        // totals are kept as the close computed them. One shift at most is open.
        {"Turnos",
         {QStringLiteral("CREATE TABLE Turnos (Numero INTEGER PRIMARY KEY, Usuario TEXT NOT NULL, "
                         "Apertura TEXT NOT NULL, Fondo REAL NOT NULL, PrimeraFila INTEGER NOT NULL, "
                         "UltimaFila INTEGER, Cierre TEXT, "
                         "Estado TEXT NOT NULL CHECK (Estado IN ('Abierto', 'Cerrado', 'Sin arqueo')), "
                         "Ventas REAL, Ingresos REAL, Retiros REAL, Gastos REAL, Esperado REAL, Contado REAL, "
                         "Diferencia REAL, Nota TEXT)"),
          QStringLiteral("CREATE UNIQUE INDEX TurnoAbierto ON Turnos (Estado) WHERE Estado = 'Abierto'")}},
        // Cash put in or taken out of the drawer during a shift.
        {"MovimientosCaja",
         {QStringLiteral("CREATE TABLE MovimientosCaja (Turno INTEGER NOT NULL, Fecha TEXT NOT NULL, "
                         "Hora TEXT NOT NULL, Tipo TEXT NOT NULL CHECK (Tipo IN ('Retiro', 'Gasto', 'Ingreso')), "
                         "Importe REAL NOT NULL CHECK (Importe > 0), Motivo TEXT NOT NULL, Usuario TEXT NOT NULL)"),
          QStringLiteral("CREATE INDEX MovimientosCajaTurno ON MovimientosCaja (Turno)")}},
        // Each count of a shift's drawer, never changed: a recount is a row of its own. Billetes
        // lists each denomination in cents and how many were counted: "100000x2;50000x0;50x4".
        {"Arqueos",
         {QStringLiteral("CREATE TABLE Arqueos (Turno INTEGER NOT NULL, Numero INTEGER NOT NULL, "
                         "Fecha TEXT NOT NULL, Hora TEXT NOT NULL, Usuario TEXT NOT NULL, Billetes TEXT NOT NULL, "
                         "Contado REAL NOT NULL, Esperado REAL NOT NULL, Diferencia REAL NOT NULL, "
                         "PRIMARY KEY (Turno, Numero))"),
          QStringLiteral("CREATE TRIGGER ArqueosFijos BEFORE UPDATE ON Arqueos "
                         "BEGIN SELECT RAISE(ABORT, 'un arqueo no se cambia'); END"),
          QStringLiteral("CREATE TRIGGER ArqueosGuardados BEFORE DELETE ON Arqueos "
                         "BEGIN SELECT RAISE(ABORT, 'un arqueo no se borra'); END")}},
    };
}

} // namespace

QStringList schemaStatements() {
    QStringList out{
        QStringLiteral("CREATE TABLE Alquiler ") + QString::fromUtf8(rentalColumns),
        QStringLiteral("CREATE TABLE Caja ") + QString::fromUtf8(rentalColumns),
        QStringLiteral("CREATE INDEX AlquilerFecha ON Alquiler (Fecha)"),
        QStringLiteral("CREATE INDEX CajaFecha ON Caja (Fecha)"),
        QStringLiteral("CREATE TABLE Tarifa (Minutos INTEGER NOT NULL, Pesos REAL NOT NULL)"),
        // codigo repeats by design: the accounts window numbers a new account by the row count.
        QStringLiteral("CREATE TABLE Usuarios (codigo INTEGER NOT NULL, Usuario TEXT NOT NULL, "
                       "Contraseña TEXT NOT NULL)"),
    };
    for (const Addition &a : additions()) {
        if (!a.column)
            out << a.statements;
    }
    return out;
}

QStringList missingParts(const TableColumns &layout) {
    const auto find = [&layout](const char *table) {
        for (auto it = layout.cbegin(); it != layout.cend(); ++it) {
            if (it.key().compare(QLatin1String(table), Qt::CaseInsensitive) == 0)
                return it;
        }
        return layout.cend();
    };
    QStringList out;
    for (const Addition &a : additions()) {
        const auto table = find(a.table);
        if (!a.column) {
            if (table == layout.cend())
                out << a.statements;
        } else if (table != layout.cend() && !table->contains(QLatin1String(a.column), Qt::CaseInsensitive)) {
            out << a.statements;
        }
    }
    return out;
}

QStringList widenedStations(const QMap<QString, QString> &createTexts) {
    // The first versions let a rental name stations 1 to 5 only.
    static const QRegularExpression narrow(QStringLiteral("Puesto\\s+BETWEEN\\s+1\\s+AND\\s+5\\s*\\)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QString columns = QStringLiteral("Puesto, Modo, Usuario, Fecha, Hora, Tiempo, Importe");
    QStringList out;
    for (const char *table : {"Alquiler", "Caja"}) {
        const QString name = QLatin1String(table);
        if (!narrow.match(createTexts.value(name)).hasMatch())
            continue;
        // The engine cannot change a CHECK: the table is made anew beside the old, takes every row
        // with its rowid (the journal names rentals by it), and takes the old one's name and index.
        const QString wide = name + QStringLiteral("Ampliada");
        out << QStringLiteral("CREATE TABLE ") + wide + QLatin1Char(' ') + QString::fromUtf8(rentalColumns)
            << QStringLiteral("INSERT INTO %1 (rowid, %2) SELECT rowid, %2 FROM %3").arg(wide, columns, name)
            << QStringLiteral("DROP TABLE ") + name << QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(wide, name)
            << QStringLiteral("CREATE INDEX %1Fecha ON %1 (Fecha)").arg(name);
    }
    return out;
}

void createDeliveredDatabase(const QString &path, const QString &adminPasswordHash) {
    if (QFileInfo::exists(path))
        throw DbError(QStringLiteral("El archivo %1 ya existe; no se sobrescribe").arg(path));
    sqlite3 *db = nullptr;
    QString failure;
    QString failedStatement;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        failure = QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
    } else {
        QStringList script{QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("BEGIN IMMEDIATE")};
        script << schemaStatements();
        script << QStringLiteral("INSERT INTO Tarifa (Minutos, Pesos) VALUES (30, 10)");
        for (const QString &sql : std::as_const(script)) {
            if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
                failure = QString::fromUtf8(sqlite3_errmsg(db));
                failedStatement = sql;
                break;
            }
        }
        if (failure.isEmpty()) {
            sqlite3_stmt *insert = nullptr;
            const char *sql = "INSERT INTO Usuarios (codigo, Usuario, Contraseña) VALUES (0, 'Admin', ?)";
            const QByteArray hash = adminPasswordHash.toUtf8();
            if (sqlite3_prepare_v2(db, sql, -1, &insert, nullptr) != SQLITE_OK ||
                sqlite3_bind_text(insert, 1, hash.constData(), static_cast<int>(hash.size()), SQLITE_TRANSIENT) !=
                    SQLITE_OK ||
                sqlite3_step(insert) != SQLITE_DONE) {
                failure = QString::fromUtf8(sqlite3_errmsg(db));
                failedStatement = QString::fromUtf8(sql);
            }
            sqlite3_finalize(insert);
        }
        if (failure.isEmpty() && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
            failure = QString::fromUtf8(sqlite3_errmsg(db));
            failedStatement = QStringLiteral("COMMIT");
        }
    }
    sqlite3_close_v2(db);
    if (failure.isEmpty()) {
        // The journal's first entry: the books as delivered.
        try {
            auto books = Database::open(path);
            runInTransaction(*books, [&books] { journal::startBooks(*books, QDateTime::currentDateTime()); });
        } catch (const DbError &error) {
            failure = error.message();
            failedStatement = error.statement();
        }
    }
    if (!failure.isEmpty()) {
        for (const char *suffix : {"", "-wal", "-shm", "-journal"})
            QFile::remove(path + QLatin1String(suffix));
        throw DbError(QStringLiteral("No se pudo crear %1: %2").arg(path, failure), failedStatement);
    }
}

} // namespace data
