#pragma once

#include "data/Restore.h"
#include "platform/Background.h"

#include <QDateTime>
#include <QString>
#include <functional>

// The copies of the books and the restore as commands: each returns at once with the job's
// handle, works on a connection of its own on a pool thread, and reports its result once, on
// the context's thread. None looks at its cancel token: a copy or a restore under way always
// ends whole, also when its owner goes first (the owner then waits for it).
namespace data {

// A copy of the books (at books) and what its journal entry says: when, who and why.
struct CopyOrder {
    QString books;
    QString target; // the file of a copy on demand; the copies' folder for the automatic copy
    QDateTime now;
    QString usuario;
    QString why;
};

// A checked copy into order.target, then its journal entry. done gets empty, or what went wrong
// in Spanish.
[[nodiscard]] sys::Job copyBooks(CopyOrder order, QObject *context, std::function<void(const QString &)> done);

// The automatic copy into the copies' folder, with its history and its journal entry. With
// onlyWhenDue nothing is made when a copy was made within 10 minutes (starting again and again
// makes no flood of copies). done gets empty, or what went wrong in Spanish.
[[nodiscard]] sys::Job copyBooksAutomatically(CopyOrder order, bool onlyWhenDue, QObject *context,
                                              std::function<void(const QString &)> done);

// A copy put in place of the books (data::restoreCopy), the books kept in keptFolder first.
struct RestoreOrder {
    QString books;
    QString copy;
    QString keptFolder;
    QDateTime now;
    QString usuario; // who restored it
    QString how;     // from where, for the journal
};
[[nodiscard]] sys::Job restoreBooks(RestoreOrder order, QObject *context, std::function<void(const Restored &)> done);

} // namespace data
