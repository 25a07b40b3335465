#pragma once

#include <QString>
#include <sqlite3.h>

// PRAGMA integrity_check straight on the file, read-only: "ok" for a sound database.
inline QString integrityCheck(const QString &path) {
    sqlite3 *db = nullptr;
    QString result;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_exec(
            db, "PRAGMA integrity_check",
            [](void *out, int, char **values, char **) {
                *static_cast<QString *>(out) += QString::fromUtf8(values[0] ? values[0] : "");
                return 0;
            },
            &result, nullptr);
    } else {
        result = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_close(db);
    return result;
}
