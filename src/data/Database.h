#pragma once

#include "data/DbError.h"
#include "data/Recordset.h"

#include <QString>
#include <functional>
#include <memory>

namespace data {

class DatabaseFile;

// One window's handle on the database file (DAO's Database), straight on SQLite. Statements
// are given in the Jet dialect and translated before they reach the engine.
class Database final {
public:
    struct Options {
        // How long a write waits for another connection's write lock. The windows run on the
        // user-interface thread, so they never wait long: a busy file is reported at once.
        int busyTimeoutMs = 250;
        // Reading only: nothing is created or upgraded, every write is refused.
        bool readOnly = false;
    };

    // Opens an existing file; never creates one. Throws DbError naming the file when it is
    // missing, not a database, or lacks the four tables; the cause (a full disk, a read-only
    // folder, a busy file) is named as it is. A file without the tables of later versions
    // gets them once, in one transaction. A write-protected file, or one in a read-only
    // folder, opens for reading: its first write is refused.
    static std::unique_ptr<Database> open(const QString &path, Options options);
    static std::unique_ptr<Database> open(const QString &path) { return open(path, Options()); }
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // An action statement, all or nothing (fail-on-error). Throws DbError with the
    // engine's message and the statement; refuses to write into a file that was replaced or
    // truncated since it was opened, or removed when this process does not hold it (one that
    // is removed under the program is put back, see putBackRemoved).
    void execute(const QString &jetSql);
    // A SELECT, read whole.
    Recordset openRecordset(const QString &jetSql);
    // A SELECT walked row by row without holding its rows: each row's values, in the order of
    // its columns, go to row(); returning false stops the walk. Returns the rows seen.
    qint64 forEachRow(const QString &jetSql, const std::function<bool(const QVector<QVariant> &values)> &row);

    // One row of a raw walk, straight from the engine: valid only during the call.
    class RowView final {
    public:
        explicit RowView(void *statement) : statement_(statement) {}
        bool isNull(int column) const;
        qint64 integer(int column) const;
        double real(int column) const;
        // The value as UTF-8 text (a number as the engine writes it), not copied.
        QByteArrayView text(int column) const;
        // Whether the value is stored as a number (integer or real).
        bool isNumber(int column) const;

    private:
        void *statement_;
    };
    // A SELECT walked row by row with nothing converted or copied, for the long walks of a
    // verification; returning false stops the walk. Returns the rows seen.
    qint64 forEachRawRow(const QString &jetSql, const std::function<bool(const RowView &row)> &row);

    // Groups many action statements under one commit. Each execute() inside still applies
    // whole or not at all; rollback() undoes everything since begin().
    void beginTransaction();
    void commit();
    void rollback();
    bool inTransaction() const;
    // A read transaction: every SELECT inside sees the same snapshot.
    void beginRead();

    // Copies the whole database into target with the engine's online backup, consistent while
    // other connections write. target must not be open elsewhere; it is overwritten.
    void backupTo(const QString &target);
    // The reverse: the whole database at source becomes this one's, with the engine's online
    // backup in one write transaction on this connection. Other connections see the old pages or
    // the new, never a mix; the file keeps its identity. Not inside a transaction.
    void restoreFrom(const QString &source);

    // After the file was removed and put back (by this handle or another of the process), moves
    // this handle onto the file now at its path; every statement does it first by itself. True
    // when it moved. Not inside a transaction.
    bool followPutBack();

    // Stops the statement running on this handle from another thread (it fails as interrupted).
    void interrupt();

    // Copies what the -wal holds back into the file now, waiting for nobody (what a reader still
    // needs stays); the handle that closes last then has nothing left to copy. Best effort.
    void checkpoint();
    void close();
    bool isOpen() const;
    bool isReadOnly() const;
    // Why a write would fail before it is tried (a read-only file, a full disk), in Spanish;
    // empty when nothing stands in the way.
    QString whyNotWritable() const;
    const QString &path() const { return path_; }
    // The shared descriptor of the file, for the one-program lock.
    std::shared_ptr<DatabaseFile> file() const;

private:
    struct Impl;
    explicit Database(QString path);
    // Refuses a write to a file that changed under the handle; a file removed under the program
    // that holds it is put back first, and the write goes on.
    void checkWritable(const QString &jetSql);
    void followIfPutBack();
    QString path_;
    std::unique_ptr<Impl> impl_;
};

// Runs body inside a transaction on db: committed when body returns, rolled back when it throws
// (the exception goes on). Every statement of body is applied together or not at all.
void runInTransaction(Database &db, const std::function<void()> &body);

} // namespace data
