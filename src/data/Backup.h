#pragma once

#include <QDateTime>
#include <QString>

namespace data {

class Database;

// Copies of the books made with the engine's online backup (never a file copy, which would miss
// what still waits in the -wal), consistent while other connections write. Every copy is written
// under a temporary name beside the target, checked with integrity_check, and only then renamed
// into place: a copy that is not whole and sound never takes the name.

// Copies the database the handle reads into target, replacing target only once the copy is
// sound. The copy carries the program's mark (kCopyMark). A target that outputRefusal refuses
// (the books, their side files, a database that is not a copy) is left untouched. Returns
// empty, or what went wrong in Spanish, naming the path.
QString backupTo(Database &source, const QString &target);

// "ok", or the first complaint of integrity_check on the file, read only.
QString checkCopy(const QString &path);

// The automatic copy into folder (created when missing) named ludomat-yyyyMMdd-HHmmss.mdb, then
// the copies the history no longer needs go (BackupRetention.h); nothing goes when the new copy
// failed. Returns empty or what went wrong; *made gets the new copy's path.
QString automaticBackup(Database &source, const QString &folder, const QDateTime &now, QString *made = nullptr);

// A copy into target, then its journal entry (the copy counts even when the file takes no entry).
QString backupToNoted(Database &source, const QString &target, const QDateTime &now, const QString &usuario,
                      const QString &why);

// The automatic copy, then its journal entry (why: "al iniciar", "tras el cierre de caja"); the
// copy counts even when the file takes no entry. Returns empty or what went wrong.
QString automaticBackupNoted(Database &source, const QString &folder, const QDateTime &now, const QString &usuario,
                             const QString &why);

// The books' file removed (rm, a cleaning tool) under the program that holds it (its one-program
// claim) is put back from the program's open connection, which still reads every page: the
// engine's online backup into a temporary beside the path, checked with integrity_check, the
// removed file's orphan -wal and -shm gone (they would be replayed onto the new file), then
// linked into place only while the path is still free, and claimed before it has the name.
// Every handle of the process moves onto it at its next statement; the journal gets an entry.
// A path that names another file is left alone (failure empty, done false): writes stay refused.
struct PutBack {
    bool done = false;
    QString failure; // in Spanish, when it was tried and failed
};
PutBack putBackRemoved(Database &live, const QDateTime &now);

} // namespace data
