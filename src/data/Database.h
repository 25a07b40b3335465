#pragma once

#include "data/DbError.h"
#include "data/Recordset.h"

#include <QString>
#include <memory>

class QFileInfo;

namespace data {

// One window's handle on the database file (DAO's Database). Statements are given in the
// Jet dialect and translated before they reach SQLite.
class Database final {
public:
    // Opens an existing file for reading and writing; never creates one. Throws DbError
    // naming the file when it is missing, not a database, or lacks the four tables. A
    // write-protected file, or one in a read-only folder, opens for reading: its first
    // write is refused.
    static std::unique_ptr<Database> open(const QString &path);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // An action statement, all or nothing (fail-on-error). Throws DbError with the
    // engine's message and the statement.
    void execute(const QString &jetSql);
    // A SELECT, read whole.
    Recordset openRecordset(const QString &jetSql);

    // Groups many action statements under one commit. Each execute() inside still applies
    // whole or not at all; rollback() undoes everything since begin().
    void beginTransaction();
    void commit();
    void rollback();
    bool inTransaction() const;

    void close();
    bool isOpen() const;
    const QString &path() const { return path_; }

private:
    explicit Database(QString path, QString connectionName);
    static std::unique_ptr<Database> connect(const QFileInfo &info, const QString &mode);
    struct StatementCache;
    QString path_;
    QString connection_;
    // Prepared action statements by their translated text: every literal is bound, so the
    // many inserts of a cash-close run share one prepared statement.
    std::unique_ptr<StatementCache> cache_;
    bool inTransaction_ = false;
};

} // namespace data
