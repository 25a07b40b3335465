#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <sqlite3.h>
#include <sys/stat.h>

// A query straight on the file, read-only: each row's cells joined by "|" (or the open error).
inline QStringList readOnlyRows(const QString &path, const char *sql) {
    sqlite3 *db = nullptr;
    QStringList rows;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_exec(
            db, sql,
            [](void *out, int n, char **values, char **) {
                QStringList cells;
                for (int i = 0; i < n; ++i) {
                    cells << QString::fromUtf8(values[i] ? values[i] : "");
                }
                *static_cast<QStringList *>(out) << cells.join(QLatin1Char('|'));
                return 0;
            },
            &rows, nullptr);
    } else {
        rows << QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_close(db);
    return rows;
}

// Runs SQL straight on the file, as another program would (a trigger, a table the program
// never makes); SQLITE_OK or the engine's code.
inline int execRaw(const QString &path, const char *sql) {
    sqlite3 *db = nullptr;
    int rc = sqlite3_open(path.toUtf8().constData(), &db);
    if (rc == SQLITE_OK) {
        // As a program beside ours would: a check the window runs in the background (its first
        // connection recovers the -wal's index) holds the file for a moment.
        sqlite3_busy_timeout(db, 5000);
        rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    }
    sqlite3_close(db);
    return rc;
}

// "ok" for a sound database.
inline QString integrityCheck(const QString &path) {
    return readOnlyRows(path, "PRAGMA integrity_check").join(QString());
}

inline int rentalCount(const QString &path) {
    return readOnlyRows(path, "SELECT count(*) FROM Alquiler").value(0).toInt();
}

// What the sqlite3 shell, a second program on the file, prints for the commands (errors after).
inline QString sqliteShell(const QString &path, const QString &commands) {
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"), {path, commands});
    shell.waitForFinished(20000);
    return QString::fromUtf8(shell.readAllStandardOutput()).trimmed() + QString::fromUtf8(shell.readAllStandardError());
}

// The file's inode, 0 when there is none.
inline ino_t inodeOf(const QString &path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

inline bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}
