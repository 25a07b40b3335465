#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

namespace data {

class Database;

// Putting a copy of the books back in place, from the program itself.

// A copy as the owner chooses it: when it was made, how many rentals it holds and the date of
// the last one.
struct CopyInfo {
    QString path;
    QDateTime made;     // from its name (ludomat-yyyyMMdd-HHmmss), else the file's time
    qint64 rentals = 0; // -1: the copy could not be read
    QDate lastRental;   // invalid when it holds none
};

// When a copy was made: from its name (ludomat-yyyyMMdd-HHmmss.mdb, antes-de-restaurar-...), else
// the file's time.
QDateTime copyMadeAt(const QString &path);
// What a copy holds, read without changing it.
CopyInfo describeCopy(const QString &path);
// Every copy (*.mdb) in folder, newest first.
QList<CopyInfo> listCopies(const QString &folder);

// Why copy may not become the books at books, in Spanish; empty when it may. It must be one of
// the program's copies (its mark), not the books themselves, whole (integrity_check), with the
// books' tables, and with a journal whose chain verifies.
QString restoreRefusal(const QString &copy, const QString &books);

struct Restored {
    QString failure; // in Spanish; empty when the copy is the books now
    QString keptAt;  // the copy of the books it replaced
};

// Puts copy in place of the books the live handle works on. Refused, with nothing changed, while
// the books hold an open station (a row of PuestosAbiertos) and when restoreRefusal refuses.
// The books are first kept as a copy in keptFolder (antes-de-restaurar-yyyyMMdd-HHmmss.mdb,
// never removed by the copies' history). The copy is then made ready apart (the copy mark
// cleared, the tables of this version added, the stations it had open set aside into
// PuestosApartados, and the journal entry "Copia restaurada" naming the copy and where the books
// went, chained to the copy's own journal) and brought in with the engine's online backup into
// the live connection, all in one write: every other reader sees the old books or the new,
// never a mix, and the file keeps its identity, so the one-program lock and the books' watch
// still hold. usuario is who restored it, for the journal.
Restored restoreCopy(Database &live, const QString &copy, const QString &keptFolder, const QDateTime &now,
                     const QString &usuario, const QString &how);

} // namespace data
