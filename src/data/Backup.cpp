#include "data/Backup.h"

#include "data/BackupRetention.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"
#include "data/Journal.h"
#include "data/OutputTarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sqlite3.h>
#include <unistd.h>

namespace data {

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

namespace {

// Writes the program's mark into a copy it made; empty or the engine's complaint.
QString markCopy(const QString &path) {
    sqlite3 *db = nullptr;
    QString failure;
    const QByteArray pragma = QByteArrayLiteral("PRAGMA application_id = ") + QByteArray::number(kCopyMark);
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, pragma.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        failure = QString::fromUtf8(db ? sqlite3_errmsg(db) : "no se pudo abrir");
    }
    sqlite3_close(db);
    return failure;
}

QString failed(const QString &target, const QString &why) {
    return QStringLiteral("No se pudo hacer la copia de seguridad en %1: %2").arg(target, why);
}

} // namespace

QString backupTo(Database &source, const QString &target) {
    const QFileInfo info(target);
    if (const QString refusal = outputRefusal(target, source.path()); !refusal.isEmpty()) {
        return QStringLiteral("No se hizo la copia de seguridad: %1 %2.").arg(target, refusal);
    }
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
    if (const QString failure = markCopy(temporary); !failure.isEmpty()) {
        return failed(target, failure);
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

QString automaticBackup(Database &source, const QString &folder, const QDateTime &now, QString *made) {
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
    const QStringList copies = dir.entryList({QStringLiteral("ludomat-*.mdb")}, QDir::Files);
    for (const QString &old : copiesToRemove(copies, now)) {
        if (old != name) { // a clock set back names the new copy older than the rest
            dir.remove(old);
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
    if (QString failure = automaticBackup(source, folder, now, &made); !failure.isEmpty()) {
        return failure;
    }
    noteBackup(source, now, usuario, made, why);
    return {};
}

PutBack putBackRemoved(Database &live, const QDateTime &now) {
    // One at a time in the process: the watch's thread and a write may find the file gone together.
    static std::recursive_mutex oneAtATime;
    const std::lock_guard<std::recursive_mutex> guard(oneAtATime);
    if (live.followPutBack()) {
        return {true, {}}; // another handle put it back meanwhile
    }
    const std::shared_ptr<DatabaseFile> removed = live.file();
    const QString path = live.path();
    if (!removed || !removed->claimed() || !DatabaseFile::pathIsFree(path)) {
        return {};
    }
    const auto failure = [&path](const QString &why) {
        return PutBack{false, QStringLiteral("el archivo %1 fue borrado mientras el programa lo usaba y no se pudo "
                                             "restituir (%2)")
                                  .arg(path, why)};
    };
    QTemporaryFile scratch(QFileInfo(path).absolutePath() + QStringLiteral("/.dbLudomat-restituida-XXXXXX"));
    if (!scratch.open()) {
        return failure(scratch.errorString());
    }
    const QString temporary = scratch.fileName();
    scratch.close();
    try {
        live.backupTo(temporary);
    } catch (const DbError &error) {
        return failure(error.message());
    }
    if (const QString verdict = checkCopy(temporary); verdict != QLatin1String("ok")) {
        return failure(QStringLiteral("la copia no pasó la verificación: %1").arg(verdict));
    }
    std::shared_ptr<DatabaseFile> restored;
    try {
        restored = DatabaseFile::acquire(temporary);
    } catch (const DbError &error) {
        return failure(error.message());
    }
    // Claimed before it has the name: no second program can take the books in between.
    if (restored->claimExclusive() != DatabaseFile::Claim::Taken) {
        return failure(QStringLiteral("no se pudo reservar el archivo nuevo"));
    }
    // The removed file's side files hold its pages, not the new file's: replayed onto it, they
    // would mix two databases. Every connection still on the removed file keeps its own open.
    for (const char *suffix : {"-wal", "-shm", "-journal"}) {
        ::unlink(QFile::encodeName(path + QLatin1String(suffix)).constData());
    }
    if (const int error = placeNewFile(temporary, path); error != 0) {
        return error == EEXIST ? PutBack{}
                               : failure(QString::fromLocal8Bit(std::strerror(error))); // taken by another: refused
    }
    scratch.setAutoRemove(false); // it is the books now
    removed->setSuccessor(restored);
    live.followPutBack();
    try {
        runInTransaction(live, [&] {
            journal::append(live, now, QString(), journal::event::kDatabaseRestored, 0,
                            QStringLiteral("Archivo=%1; borrado mientras el programa lo usaba, restituido desde su "
                                           "conexión abierta")
                                .arg(path));
        });
    } catch (const DbError &) {
        // The books are back all the same; a full disk takes no entry.
    }
    return {true, {}};
}

} // namespace data
