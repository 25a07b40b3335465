#pragma once

#include <QStringList>
#include <sqlite3.h>

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
