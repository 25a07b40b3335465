#include "data/Backup.h"

#include "data/Database.h"
#include "data/Journal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>
#include <sqlite3.h>

namespace data {

namespace {

// "ok", or the first complaint of integrity_check on the file.
QString checkCopy(const QString &path) {
    sqlite3 *db = nullptr;
    QString verdict;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            verdict = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
        } else {
            verdict = QString::fromUtf8(sqlite3_errmsg(db));
        }
        sqlite3_finalize(stmt);
    } else {
        verdict = QString::fromUtf8(db ? sqlite3_errmsg(db) : "no se pudo abrir");
    }
    sqlite3_close(db);
    return verdict;
}

QString failed(const QString &target, const QString &why) {
    return QStringLiteral("No se pudo hacer la copia de seguridad en %1: %2").arg(target, why);
}

} // namespace

QString backupTo(Database &source, const QString &target) {
    const QFileInfo info(target);
    if (!QFileInfo(info.absolutePath()).isDir()) {
        return failed(target, QStringLiteral("la carpeta %1 no existe").arg(info.absolutePath()));
    }
    if (info.isDir()) {
        return failed(target, QStringLiteral("es una carpeta"));
    }
    // A name of our own beside the target: the rename below then stays on one file system.
    QTemporaryFile scratch(info.absolutePath() + QStringLiteral("/.ludomat-copia-XXXXXX"));
    if (!scratch.open()) {
        return failed(target, scratch.errorString());
    }
    const QString temporary = scratch.fileName();
    scratch.close();
    try {
        source.backupTo(temporary);
    } catch (const DbError &error) {
        return failed(target, error.message());
    }
    if (const QString verdict = checkCopy(temporary); verdict != QLatin1String("ok")) {
        return failed(target, QStringLiteral("la copia no pasó la verificación (%1)").arg(verdict));
    }
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) != 0) {
        return failed(target, QStringLiteral("no se pudo poner la copia en su lugar"));
    }
    scratch.setAutoRemove(false); // it is the target now
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    return {};
}

QString automaticBackup(Database &source, const QString &folder, const QDateTime &now, int keep, QString *made) {
    if (!QDir().mkpath(folder)) {
        return QStringLiteral("No se pudo crear la carpeta de copias %1.").arg(folder);
    }
    QDir dir(folder);
    QString name = QStringLiteral("ludomat-%1.mdb").arg(now.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    for (int n = 2; dir.exists(name); ++n) { // two copies in one second keep both
        name = QStringLiteral("ludomat-%1-%2.mdb").arg(now.toString(QStringLiteral("yyyyMMdd-HHmmss"))).arg(n);
    }
    const QString target = dir.filePath(name);
    if (QString failure = backupTo(source, target); !failure.isEmpty()) {
        return failure; // the older copies all stay
    }
    if (made) {
        *made = target;
    }
    // The names sort by time: the newest `keep` stay, the new one among them.
    const QStringList copies =
        dir.entryList({QStringLiteral("ludomat-*.mdb")}, QDir::Files, QDir::Name | QDir::Reversed);
    for (qsizetype i = keep; i < copies.size(); ++i) {
        if (copies[i] != name) {
            dir.remove(copies[i]);
        }
    }
    return {};
}

namespace {

void noteBackup(Database &source, const QDateTime &now, const QString &usuario, const QString &made,
                const QString &why) {
    try {
        runInTransaction(source, [&] {
            journal::append(source, now, usuario, journal::event::kBackup, 0,
                            QStringLiteral("Archivo=%1; %2").arg(made, why));
        });
    } catch (const DbError &) {
        // A read-only file: the copy stands all the same.
    }
}

} // namespace

QString backupToNoted(Database &source, const QString &target, const QDateTime &now, const QString &usuario,
                      const QString &why) {
    if (QString failure = backupTo(source, target); !failure.isEmpty()) {
        return failure;
    }
    noteBackup(source, now, usuario, target, why);
    return {};
}

QString automaticBackupNoted(Database &source, const QString &folder, const QDateTime &now, const QString &usuario,
                             const QString &why) {
    QString made;
    if (QString failure = automaticBackup(source, folder, now, 30, &made); !failure.isEmpty()) {
        return failure;
    }
    noteBackup(source, now, usuario, made, why);
    return {};
}

} // namespace data
