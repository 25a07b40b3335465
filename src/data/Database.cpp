#include "data/Database.h"

#include "data/JetTranslator.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <atomic>

namespace data {

namespace {

std::atomic<int> connectionCounter{0};

QString engineMessage(const QSqlError &error) {
    const QString text = error.databaseText();
    return text.isEmpty() ? error.text() : text;
}

QString firstWord(const QString &sql) {
    const QString trimmed = sql.trimmed();
    qsizetype end = 0;
    while (end < trimmed.size() && trimmed[end].isLetter())
        ++end;
    return trimmed.left(end).toUpper();
}

// Runs a fixed statement (pragmas, transaction control); returns the engine's complaint or empty.
QString runPlain(const QString &connection, const QString &sql) {
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    QSqlQuery query(db);
    if (!query.exec(sql))
        return engineMessage(query.lastError());
    return {};
}

void checkHeader(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DbError(
            QStringLiteral("No se puede leer el archivo de base de datos %1: %2").arg(path, file.errorString()));
    static const QByteArray magic("SQLite format 3\0", 16);
    if (file.read(16) != magic)
        throw DbError(QStringLiteral("El archivo %1 no es una base de datos de Ludomat válida").arg(path));
}

// The names of the tables, or the engine's complaint when it cannot read the file.
QString listTables(const QString &connection, QStringList *tables) {
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")))
        return engineMessage(query.lastError());
    while (query.next())
        *tables << query.value(0).toString();
    return {};
}

} // namespace

struct Database::StatementCache {
    static constexpr qsizetype kLimit = 32;
    QHash<QString, QSqlQuery> queries;
};

Database::Database(QString path, QString connectionName)
    : path_(std::move(path)), connection_(std::move(connectionName)), cache_(std::make_unique<StatementCache>()) {}

Database::~Database() {
    close();
}

std::unique_ptr<Database> Database::connect(const QFileInfo &info, const QString &mode) {
    const QString name = QStringLiteral("ludomat-db-%1").arg(connectionCounter.fetch_add(1));
    std::unique_ptr<Database> handle(new Database(info.absoluteFilePath(), name));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded) + QLatin1Char('?') +
                       mode);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        throw DbError(QStringLiteral("No se puede abrir %1: %2").arg(info.filePath(), engineMessage(db.lastError())));
    return handle;
}

std::unique_ptr<Database> Database::open(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw DbError(QStringLiteral("No se encuentra el archivo de base de datos: ") + path);
    if (!info.isFile())
        throw DbError(QStringLiteral("El archivo %1 no es una base de datos de Ludomat válida").arg(path));
    // Look before SQLite touches it: the engine must never adopt or rewrite a foreign file.
    checkHeader(path);

    // mode=rw: read-write, and never create a missing file.
    std::unique_ptr<Database> handle = connect(info, QStringLiteral("mode=rw"));
    QStringList tables;
    QString failure = listTables(handle->connection_, &tables);
    if (!failure.isEmpty() && !QFileInfo(info.absolutePath()).isWritable() &&
        !QFileInfo::exists(info.absoluteFilePath() + QStringLiteral("-wal"))) {
        // A read-only folder: the engine cannot make the side files it reads through. With
        // no pending -wal the file alone is the whole database, read as it is; every write
        // is then refused as a write to a read-only database.
        handle = connect(info, QStringLiteral("mode=ro&immutable=1"));
        failure = listTables(handle->connection_, &tables);
    }
    if (!failure.isEmpty()) {
        if (!QFileInfo(info.absolutePath()).isWritable())
            throw DbError(QStringLiteral("No se puede leer %1: la carpeta %2 es de solo lectura y la base de datos "
                                         "necesita escribir sus archivos auxiliares allí (%3)")
                              .arg(path, info.absolutePath(), failure));
        throw DbError(QStringLiteral("El archivo %1 no es una base de datos de Ludomat válida: %2").arg(path, failure));
    }
    for (const char *table : {"Alquiler", "Caja", "Tarifa", "Usuarios"}) {
        if (!tables.contains(QLatin1String(table), Qt::CaseInsensitive))
            throw DbError(QStringLiteral("Falta la tabla %1 en el archivo %2").arg(QLatin1String(table), path));
    }
    // A write-protected file still opens; the first write will report it.
    runPlain(handle->connection_, QStringLiteral("PRAGMA journal_mode=WAL"));
    runPlain(handle->connection_, QStringLiteral("PRAGMA synchronous=FULL"));
    return handle;
}

void Database::execute(const QString &jetSql) {
    if (!isOpen())
        throw DbError(QStringLiteral("La base de datos está cerrada"), jetSql);
    const TranslatedStatement st = translateJet(jetSql);
    if (firstWord(st.sql) == QLatin1String("SELECT"))
        throw DbError(QStringLiteral("Una consulta SELECT se abre como recordset, no se ejecuta"), jetSql);

    // One SQLite statement is applied whole or not at all (a failing statement is undone by
    // the engine), which is what fail-on-error asks; no savepoint is needed around it.
    auto found = cache_->queries.find(st.sql);
    if (found == cache_->queries.end()) {
        if (cache_->queries.size() >= StatementCache::kLimit)
            cache_->queries.clear();
        QSqlQuery query(QSqlDatabase::database(connection_, false));
        if (!query.prepare(st.sql))
            throw DbError(engineMessage(query.lastError()), jetSql);
        found = cache_->queries.insert(st.sql, std::move(query));
    }
    QSqlQuery &query = found.value();
    for (qsizetype i = 0; i < st.values.size(); ++i)
        query.bindValue(static_cast<int>(i), st.values[i]);
    const bool ok = query.exec();
    const QString failure = ok ? QString() : engineMessage(query.lastError());
    query.finish();
    if (!ok) {
        // A statement that failed on a disk error is prepared afresh next time.
        cache_->queries.erase(found);
        throw DbError(failure.isEmpty() ? QStringLiteral("error desconocido") : failure, jetSql);
    }
}

Recordset Database::openRecordset(const QString &jetSql) {
    if (!isOpen())
        throw DbError(QStringLiteral("La base de datos está cerrada"), jetSql);
    const TranslatedStatement st = translateJet(jetSql);
    if (firstWord(st.sql) != QLatin1String("SELECT"))
        throw DbError(QStringLiteral("Solo una consulta SELECT se abre como recordset"), jetSql);

    QStringList columns;
    QVector<QVector<QVariant>> rows;
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.prepare(st.sql))
            throw DbError(engineMessage(query.lastError()), jetSql);
        for (const QVariant &value : st.values)
            query.addBindValue(value);
        if (!query.exec())
            throw DbError(engineMessage(query.lastError()), jetSql);
        const QSqlRecord record = query.record();
        for (int c = 0; c < record.count(); ++c)
            columns << record.fieldName(c);
        while (query.next()) {
            QVector<QVariant> row;
            row.reserve(columns.size());
            for (int c = 0; c < record.count(); ++c)
                row.push_back(query.value(c));
            rows.push_back(std::move(row));
        }
        if (query.lastError().isValid())
            throw DbError(engineMessage(query.lastError()), jetSql);
        // Read whole and let go, so no cursor keeps the file locked.
        query.finish();
    }
    return Recordset(std::move(columns), std::move(rows));
}

void Database::beginTransaction() {
    if (!isOpen())
        throw DbError(QStringLiteral("La base de datos está cerrada"));
    if (inTransaction_)
        throw DbError(QStringLiteral("Ya hay una transacción abierta"));
    if (const QString failure = runPlain(connection_, QStringLiteral("BEGIN IMMEDIATE")); !failure.isEmpty())
        throw DbError(failure, QStringLiteral("BEGIN IMMEDIATE"));
    inTransaction_ = true;
}

void Database::commit() {
    if (!inTransaction_)
        throw DbError(QStringLiteral("No hay una transacción abierta que confirmar"));
    if (const QString failure = runPlain(connection_, QStringLiteral("COMMIT")); !failure.isEmpty())
        throw DbError(failure, QStringLiteral("COMMIT"));
    inTransaction_ = false;
}

void Database::rollback() {
    if (!inTransaction_)
        throw DbError(QStringLiteral("No hay una transacción abierta que deshacer"));
    inTransaction_ = false;
    if (const QString failure = runPlain(connection_, QStringLiteral("ROLLBACK")); !failure.isEmpty())
        throw DbError(failure, QStringLiteral("ROLLBACK"));
}

bool Database::inTransaction() const {
    return inTransaction_;
}

void Database::close() {
    if (connection_.isEmpty())
        return;
    cache_->queries.clear(); // prepared statements go before their connection
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        if (inTransaction_ && db.isOpen()) {
            QSqlQuery query(db);
            query.exec(QStringLiteral("ROLLBACK"));
        }
        db.close();
    }
    inTransaction_ = false;
    QSqlDatabase::removeDatabase(connection_);
    connection_.clear();
}

bool Database::isOpen() const {
    return !connection_.isEmpty();
}

} // namespace data
