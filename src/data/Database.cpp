#include "data/Database.h"

#include "data/Backup.h"
#include "data/DatabaseFile.h"
#include "data/JetTranslator.h"
#include "data/JournalBooks.h"
#include "data/OutputTarget.h"
#include "data/Schema.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUrl>
#include <algorithm>
#include <sqlite3.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace data {

namespace {

QString engineMessage(sqlite3 *db) {
    return QString::fromUtf16(static_cast<const char16_t *>(sqlite3_errmsg16(db)));
}

QString firstWord(const QString &sql) {
    const QString trimmed = sql.trimmed();
    qsizetype end = 0;
    while (end < trimmed.size() && trimmed[end].isLetter())
        ++end;
    return trimmed.left(end).toUpper();
}

// A statement with no values and no rows (pragmas, transaction control); throws on failure.
void runPlain(sqlite3 *db, const char *sql) {
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw DbError(engineMessage(db), QString::fromLatin1(sql), sqlite3_extended_errcode(db));
}

bool diskFull(const QString &folder) {
    struct statvfs st {};
    return ::statvfs(QFile::encodeName(folder).constData(), &st) == 0 && st.f_bavail == 0;
}

void bindValues(sqlite3_stmt *stmt, const QVariantList &values) {
    for (int i = 0; i < values.size(); ++i) {
        const QVariant &v = values[i];
        switch (v.typeId()) {
        case QMetaType::LongLong:
        case QMetaType::Int:
            sqlite3_bind_int64(stmt, i + 1, v.toLongLong());
            break;
        case QMetaType::Double:
            sqlite3_bind_double(stmt, i + 1, v.toDouble());
            break;
        default: {
            const QString text = v.toString();
            sqlite3_bind_text16(stmt, i + 1, text.utf16(), static_cast<int>(text.size() * 2), SQLITE_TRANSIENT);
        }
        }
    }
}

QVariant columnValue(sqlite3_stmt *stmt, int c) {
    switch (sqlite3_column_type(stmt, c)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(stmt, c)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, c));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf16(static_cast<const char16_t *>(sqlite3_column_text16(stmt, c)),
                                           sqlite3_column_bytes16(stmt, c) / 2));
    case SQLITE_BLOB:
        return QVariant(
            QByteArray(static_cast<const char *>(sqlite3_column_blob(stmt, c)), sqlite3_column_bytes(stmt, c)));
    default:
        return {};
    }
}

struct Finalizer {
    void operator()(sqlite3_stmt *stmt) const { sqlite3_finalize(stmt); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalizer>;

} // namespace

struct Database::Impl {
    sqlite3 *db = nullptr;
    std::shared_ptr<DatabaseFile> file;
    Options options;
    bool readOnly = false;
    bool inTransaction = false;
    // Prepared action statements by their translated text: every literal is bound, so the
    // many inserts of a run share one prepared statement.
    static constexpr qsizetype kCacheLimit = 32;
    QHash<QString, sqlite3_stmt *> cache;

    Statement prepare(const QString &sql, const QString &jet) const {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare16_v2(db, sql.utf16(), static_cast<int>(sql.size() * 2), &stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt);
            throw DbError(engineMessage(db), jet, sqlite3_extended_errcode(db));
        }
        return Statement(stmt);
    }
    void clearCache() {
        for (sqlite3_stmt *stmt : std::as_const(cache))
            sqlite3_finalize(stmt);
        cache.clear();
    }
};

Database::Database(QString path) : path_(std::move(path)), impl_(std::make_unique<Impl>()) {}

Database::~Database() {
    close();
}

namespace {

// Every table of the file with its columns; the engine's error code (0 on success).
int readLayout(sqlite3 *db, TableColumns *layout) {
    sqlite3_stmt *stmt = nullptr;
    int rc =
        sqlite3_prepare_v2(db,
                           "SELECT m.name, c.name FROM sqlite_master AS m LEFT JOIN pragma_table_info(m.name) AS c "
                           "WHERE m.type = 'table'",
                           -1, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return sqlite3_extended_errcode(db);
    }
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        QStringList &columns =
            (*layout)[QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)))];
        if (sqlite3_column_type(stmt, 1) != SQLITE_NULL)
            columns << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1)));
    }
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE ? 0 : sqlite3_extended_errcode(db);
}

// Each table's CREATE text, by name.
QMap<QString, QString> readCreateTexts(sqlite3 *db) {
    QMap<QString, QString> texts;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name, sql FROM sqlite_master WHERE type = 'table'", -1, &stmt, nullptr) ==
        SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            texts.insert(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0))),
                         QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1))));
        }
    }
    sqlite3_finalize(stmt);
    return texts;
}

qint64 applicationId(sqlite3 *db) {
    sqlite3_stmt *stmt = nullptr;
    qint64 id = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA application_id", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        id = static_cast<quint32>(sqlite3_column_int64(stmt, 0));
    }
    sqlite3_finalize(stmt);
    return id;
}

sqlite3 *connect(const QFileInfo &info, const QString &query, int flags, int *rc) {
    const QByteArray uri =
        (QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded) + QLatin1Char('?') + query).toUtf8();
    sqlite3 *db = nullptr;
    *rc = sqlite3_open_v2(uri.constData(), &db, flags | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    return db;
}

} // namespace

std::unique_ptr<Database> Database::open(const QString &path, Options options) {
    const QFileInfo info(path);
    if (!info.exists())
        throw DbError(QStringLiteral("No se encuentra el archivo de base de datos: ") + path);
    if (!info.isFile())
        throw DbError(QStringLiteral("El archivo %1 no es una base de datos de Ludomat válida").arg(path));
    std::unique_ptr<Database> handle(new Database(info.absoluteFilePath()));
    Impl &d = *handle->impl_;
    d.options = options;
    // Look before the engine touches it: it must never adopt or rewrite a foreign file.
    d.file = DatabaseFile::acquire(path);
    if (!d.file->hasDatabaseHeader())
        throw DbError(QStringLiteral("El archivo %1 no es una base de datos de Ludomat válida").arg(path));

    const auto tryOpen = [&](const QString &query, int flags) {
        if (d.db)
            sqlite3_close_v2(d.db);
        int rc = SQLITE_OK;
        d.db = connect(info, query, flags, &rc);
        if (rc != SQLITE_OK)
            return rc;
        sqlite3_extended_result_codes(d.db, 1);
        sqlite3_busy_timeout(d.db, options.busyTimeoutMs);
        // Double quotes name things, never text: an unknown "name" is an error, not a string.
        sqlite3_db_config(d.db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_db_config(d.db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
        return SQLITE_OK;
    };
    TableColumns tables;
    int rc = tryOpen(QStringLiteral("mode=%1").arg(options.readOnly ? "ro" : "rw"),
                     options.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE);
    if (rc == SQLITE_OK)
        rc = readLayout(d.db, &tables);
    const bool folderWritable = QFileInfo(info.absolutePath()).isWritable();
    if (rc != SQLITE_OK && !folderWritable && !QFileInfo::exists(info.absoluteFilePath() + QStringLiteral("-wal"))) {
        // A read-only folder: the engine cannot make the side files it reads through. With
        // no pending -wal the file alone is the whole database, read as it is; every write
        // is then refused as a write to a read-only database.
        tables.clear();
        rc = tryOpen(QStringLiteral("mode=ro&immutable=1"), SQLITE_OPEN_READONLY);
        if (rc == SQLITE_OK)
            rc = readLayout(d.db, &tables);
        d.readOnly = true;
    }
    if (rc != SQLITE_OK) {
        const QString failure = d.db ? engineMessage(d.db) : QString::fromUtf8(sqlite3_errstr(rc));
        const int primary = rc & 0xff;
        if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)
            throw DbError(
                QStringLiteral("El archivo %1 no es una base de datos de Ludomat válida: %2").arg(path, failure), {},
                rc);
        if (diskFull(info.absolutePath()))
            throw DbError(QStringLiteral("No se puede abrir %1: el disco está lleno y la base de datos necesita "
                                         "escribir sus archivos auxiliares. Libere espacio en el disco (%2).")
                              .arg(path, failure),
                          {}, SQLITE_FULL);
        if (!folderWritable)
            throw DbError(QStringLiteral("No se puede leer %1: la carpeta %2 es de solo lectura y la base de datos "
                                         "necesita escribir sus archivos auxiliares allí (%3)")
                              .arg(path, info.absolutePath(), failure),
                          {}, rc);
        throw DbError(QStringLiteral("No se puede abrir %1: %2").arg(path, failure), {}, rc);
    }
    for (const char *table : {"Alquiler", "Caja", "Tarifa", "Usuarios"}) {
        if (!tables.keys().contains(QLatin1String(table), Qt::CaseInsensitive))
            throw DbError(QStringLiteral("Falta la tabla %1 en el archivo %2").arg(QLatin1String(table), path));
    }
    d.readOnly = d.readOnly || options.readOnly;
    if (d.readOnly)
        return handle;
    // A write-protected file still opens; the first write will report it.
    sqlite3_exec(d.db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(d.db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    const bool writable = ::access(QFile::encodeName(path).constData(), W_OK) == 0;
    // A copy put back in place is the books now: it loses the mark that lets a new copy or an
    // export replace a copy.
    if (writable && applicationId(d.db) == kCopyMark)
        sqlite3_exec(d.db, "PRAGMA application_id = 0", nullptr, nullptr, nullptr);
    if (writable && (!missingParts(tables).isEmpty() || !widenedStations(readCreateTexts(d.db)).isEmpty())) {
        // A file of an earlier version: the newer tables and columns come together or not at all.
        handle->beginTransaction();
        try {
            TableColumns now;
            if (readLayout(d.db, &now) != SQLITE_OK)
                throw DbError(engineMessage(d.db));
            const bool firstMeeting = std::none_of(now.keyBegin(), now.keyEnd(), [](const QString &table) {
                return table.compare(QLatin1String("Sello"), Qt::CaseInsensitive) == 0;
            });
            // Engine text as it stands, not Jet: a table's checks hold literals no statement binds.
            for (const QString &sql : missingParts(now) + widenedStations(readCreateTexts(d.db)))
                runPlain(d.db, sql.toUtf8().constData());
            // Books this version has not met yet: the journal takes them as they stand, once.
            if (firstMeeting)
                journal::startBooks(*handle, QDateTime::currentDateTime());
            handle->commit();
        } catch (const DbError &error) {
            handle->rollback();
            throw DbError(
                QStringLiteral("No se pudo preparar %1 para esta versión del programa: %2").arg(path, error.message()),
                {}, error.code());
        }
    }
    return handle;
}

void Database::checkWritable(const QString &jetSql) {
    if (!isOpen())
        throw DbError(QStringLiteral("La base de datos está cerrada"), jetSql);
    followIfPutBack();
    QString changed = impl_->file->changedOnDisk(path_);
    if (!changed.isEmpty() && !impl_->inTransaction && impl_->file->claimed()) {
        // The program's own file, removed under it: put back from this connection, then written.
        const PutBack back = putBackRemoved(*this, QDateTime::currentDateTime());
        if (back.done)
            changed = impl_->file->changedOnDisk(path_);
        else if (!back.failure.isEmpty())
            changed = back.failure;
    }
    if (!changed.isEmpty())
        throw DbError(QStringLiteral("No se guardó nada: ") + changed +
                          QStringLiteral(". Cierre el programa y vuelva a abrirlo."),
                      jetSql);
}

void Database::followIfPutBack() {
    if (impl_->file && impl_->file->hasSuccessor() && !impl_->inTransaction)
        followPutBack();
}

bool Database::followPutBack() {
    if (!isOpen() || impl_->inTransaction || !impl_->file->hasSuccessor())
        return false;
    std::unique_ptr<Database> moved;
    try {
        moved = open(path_, impl_->options);
    } catch (const DbError &) {
        return false; // the writes say why, as for any file that changed under the handle
    }
    close();
    impl_ = std::move(moved->impl_);
    return true;
}

void Database::execute(const QString &jetSql) {
    checkWritable(jetSql);
    const TranslatedStatement st = translateJet(jetSql);
    if (firstWord(st.sql) == QLatin1String("SELECT"))
        throw DbError(QStringLiteral("Una consulta SELECT se abre como recordset, no se ejecuta"), jetSql);

    // One statement is applied whole or not at all (a failing statement is undone by the
    // engine), which is what fail-on-error asks; no savepoint is needed around it.
    Impl &d = *impl_;
    auto found = d.cache.find(st.sql);
    if (found == d.cache.end()) {
        if (d.cache.size() >= Impl::kCacheLimit)
            d.clearCache();
        found = d.cache.insert(st.sql, d.prepare(st.sql, jetSql).release());
    }
    sqlite3_stmt *stmt = found.value();
    bindValues(stmt, st.values);
    int rc = sqlite3_step(stmt);
    while (rc == SQLITE_ROW)
        rc = sqlite3_step(stmt);
    if (rc != SQLITE_DONE) {
        const QString failure = engineMessage(d.db);
        const int code = sqlite3_extended_errcode(d.db);
        // A statement that failed (on a disk error, say) is prepared afresh next time.
        sqlite3_finalize(stmt);
        d.cache.erase(found);
        throw DbError(failure.isEmpty() ? QStringLiteral("error desconocido") : failure, jetSql, code);
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
}

Recordset Database::openRecordset(const QString &jetSql) {
    if (!isOpen())
        throw DbError(QStringLiteral("La base de datos está cerrada"), jetSql);
    followIfPutBack();
    const TranslatedStatement st = translateJet(jetSql);
    if (firstWord(st.sql) != QLatin1String("SELECT"))
        throw DbError(QStringLiteral("Solo una consulta SELECT se abre como recordset"), jetSql);

    const Statement stmt = impl_->prepare(st.sql, jetSql);
    bindValues(stmt.get(), st.values);
    const int count = sqlite3_column_count(stmt.get());
    QStringList columns;
    for (int c = 0; c < count; ++c)
        columns << QString::fromUtf16(static_cast<const char16_t *>(sqlite3_column_name16(stmt.get(), c)));
    QVector<QVector<QVariant>> rows;
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        QVector<QVariant> row;
        row.reserve(count);
        for (int c = 0; c < count; ++c)
            row.push_back(columnValue(stmt.get(), c));
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        throw DbError(engineMessage(impl_->db), jetSql, sqlite3_extended_errcode(impl_->db));
    // Read whole and let go, so no cursor keeps the file locked.
    return Recordset(std::move(columns), std::move(rows));
}

qint64 Database::forEachRow(const QString &jetSql, const std::function<bool(const QVector<QVariant> &)> &row) {
    if (!isOpen())
        throw DbError(QStringLiteral("La base de datos está cerrada"), jetSql);
    followIfPutBack();
    const TranslatedStatement st = translateJet(jetSql);
    if (firstWord(st.sql) != QLatin1String("SELECT"))
        throw DbError(QStringLiteral("Solo una consulta SELECT se recorre"), jetSql);
    const Statement stmt = impl_->prepare(st.sql, jetSql);
    bindValues(stmt.get(), st.values);
    const int count = sqlite3_column_count(stmt.get());
    QVector<QVariant> values(count);
    qint64 seen = 0;
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        for (int c = 0; c < count; ++c)
            values[c] = columnValue(stmt.get(), c);
        ++seen;
        if (!row(values))
            return seen;
    }
    if (rc != SQLITE_DONE)
        throw DbError(engineMessage(impl_->db), jetSql, sqlite3_extended_errcode(impl_->db));
    return seen;
}

bool Database::RowView::isNull(int column) const {
    return sqlite3_column_type(static_cast<sqlite3_stmt *>(statement_), column) == SQLITE_NULL;
}

qint64 Database::RowView::integer(int column) const {
    return sqlite3_column_int64(static_cast<sqlite3_stmt *>(statement_), column);
}

double Database::RowView::real(int column) const {
    return sqlite3_column_double(static_cast<sqlite3_stmt *>(statement_), column);
}

QByteArrayView Database::RowView::text(int column) const {
    auto *stmt = static_cast<sqlite3_stmt *>(statement_);
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
    return bytes ? QByteArrayView(bytes, sqlite3_column_bytes(stmt, column)) : QByteArrayView();
}

bool Database::RowView::isNumber(int column) const {
    const int type = sqlite3_column_type(static_cast<sqlite3_stmt *>(statement_), column);
    return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
}

qint64 Database::forEachRawRow(const QString &jetSql, const std::function<bool(const RowView &)> &row) {
    if (!isOpen())
        throw DbError(QStringLiteral("La base de datos está cerrada"), jetSql);
    const TranslatedStatement st = translateJet(jetSql);
    if (firstWord(st.sql) != QLatin1String("SELECT"))
        throw DbError(QStringLiteral("Solo una consulta SELECT se recorre"), jetSql);
    const Statement stmt = impl_->prepare(st.sql, jetSql);
    bindValues(stmt.get(), st.values);
    const RowView view(stmt.get());
    qint64 seen = 0;
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        ++seen;
        if (!row(view))
            return seen;
    }
    if (rc != SQLITE_DONE)
        throw DbError(engineMessage(impl_->db), jetSql, sqlite3_extended_errcode(impl_->db));
    return seen;
}

void Database::beginTransaction() {
    checkWritable(QStringLiteral("BEGIN IMMEDIATE"));
    if (impl_->inTransaction)
        throw DbError(QStringLiteral("Ya hay una transacción abierta"));
    runPlain(impl_->db, "BEGIN IMMEDIATE");
    impl_->inTransaction = true;
}

void Database::beginRead() {
    if (!isOpen())
        throw DbError(QStringLiteral("La base de datos está cerrada"));
    followIfPutBack();
    if (impl_->inTransaction)
        throw DbError(QStringLiteral("Ya hay una transacción abierta"));
    runPlain(impl_->db, "BEGIN DEFERRED");
    impl_->inTransaction = true;
}

void Database::commit() {
    if (!impl_->inTransaction)
        throw DbError(QStringLiteral("No hay una transacción abierta que confirmar"));
    runPlain(impl_->db, "COMMIT");
    impl_->inTransaction = false;
}

void Database::rollback() {
    if (!impl_->inTransaction)
        throw DbError(QStringLiteral("No hay una transacción abierta que deshacer"));
    impl_->inTransaction = false;
    if (sqlite3_get_autocommit(impl_->db))
        return; // the engine already undid it (a disk error ends the transaction)
    runPlain(impl_->db, "ROLLBACK");
}

bool Database::inTransaction() const {
    return impl_->inTransaction;
}

void Database::backupTo(const QString &target) {
    if (!isOpen())
        throw DbError(QStringLiteral("La base de datos está cerrada"));
    followIfPutBack();
    sqlite3 *out = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(target).constData(), &out,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    QString failure;
    if (rc == SQLITE_OK) {
        sqlite3_backup *backup = sqlite3_backup_init(out, "main", impl_->db, "main");
        if (!backup) {
            rc = sqlite3_extended_errcode(out);
            failure = engineMessage(out);
        } else {
            // All pages in one step: the copy is one consistent snapshot.
            rc = sqlite3_backup_step(backup, -1);
            const int finish = sqlite3_backup_finish(backup);
            if (rc == SQLITE_DONE)
                rc = finish;
            // A copy is one self-contained file: no -wal beside it to lose on the way.
            if (rc == SQLITE_OK)
                rc = sqlite3_exec(out, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
            if (rc != SQLITE_OK)
                failure = engineMessage(out);
        }
    } else {
        failure = out ? engineMessage(out) : QString::fromUtf8(sqlite3_errstr(rc));
    }
    sqlite3_close_v2(out);
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        throw DbError(QStringLiteral("No se pudo copiar la base de datos en %1: %2").arg(target, failure), {}, rc);
}

void Database::restoreFrom(const QString &source) {
    checkWritable(QStringLiteral("RESTORE"));
    if (impl_->inTransaction)
        throw DbError(QStringLiteral("Ya hay una transacción abierta"));
    impl_->clearCache(); // no statement of this connection may hold a read open meanwhile
    sqlite3 *in = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(source).constData(), &in, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    QString failure;
    if (rc == SQLITE_OK) {
        sqlite3_backup *backup = sqlite3_backup_init(impl_->db, "main", in, "main");
        if (!backup) {
            rc = sqlite3_extended_errcode(impl_->db);
            failure = engineMessage(impl_->db);
        } else {
            // All pages in one step: one write on the books, whole or not at all.
            rc = sqlite3_backup_step(backup, -1);
            const int finish = sqlite3_backup_finish(backup);
            if (rc == SQLITE_DONE)
                rc = finish;
            if (rc != SQLITE_OK)
                failure = engineMessage(impl_->db);
        }
    } else {
        failure = in ? engineMessage(in) : QString::fromUtf8(sqlite3_errstr(rc));
    }
    sqlite3_close_v2(in);
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        throw DbError(QStringLiteral("No se pudo traer %1 a la base de datos: %2").arg(source, failure), {}, rc);
}

void Database::interrupt() {
    if (impl_->db)
        sqlite3_interrupt(impl_->db);
}

void Database::checkpoint() {
    if (impl_ && impl_->db && !impl_->readOnly)
        sqlite3_wal_checkpoint_v2(impl_->db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

void Database::close() {
    if (!impl_ || !impl_->db)
        return;
    impl_->clearCache(); // prepared statements go before their connection
    if (impl_->inTransaction && !sqlite3_get_autocommit(impl_->db))
        sqlite3_exec(impl_->db, "ROLLBACK", nullptr, nullptr, nullptr);
    impl_->inTransaction = false;
    sqlite3_close_v2(impl_->db);
    impl_->db = nullptr;
    // Only now, with the connection gone, may the last descriptor of the file close.
    impl_->file.reset();
}

bool Database::isOpen() const {
    return impl_ && impl_->db != nullptr;
}

bool Database::isReadOnly() const {
    return impl_->readOnly || (impl_->db && sqlite3_db_readonly(impl_->db, "main") == 1);
}

QString Database::whyNotWritable() const {
    if (isReadOnly())
        return QStringLiteral("la base de datos %1 es de solo lectura; revise los permisos del archivo y de su "
                              "carpeta.")
            .arg(path_);
    if (diskFull(QFileInfo(path_).absolutePath()))
        return QStringLiteral("el disco donde está %1 está lleno; libere espacio en el disco.").arg(path_);
    return {};
}

std::shared_ptr<DatabaseFile> Database::file() const {
    return impl_->file;
}

void runInTransaction(Database &db, const std::function<void()> &body) {
    db.beginTransaction();
    try {
        body();
        db.commit();
    } catch (...) {
        if (db.inTransaction()) {
            try {
                db.rollback();
            } catch (const DbError &) {
                // The first failure is the one worth reporting; the engine ends the transaction anyway.
            }
        }
        throw;
    }
}

} // namespace data
