#pragma once

#include <QDateTime>
#include <QStringList>

namespace data {

// Which automatic copies stay in copias/, from their names alone (ludomat-yyyyMMdd-HHmmss.mdb, a
// second one in the same second ludomat-yyyyMMdd-HHmmss-2.mdb, ...; local time). A flood of new
// copies cannot push the history out: besides the newest 30, the newest copy of each of the last
// 30 days and of each of the last 12 months stays. Names of any other form are never chosen.

// The instant an automatic copy's name carries, and its number within that second (1 for the
// first); an invalid instant for any other name.
struct CopyName {
    QDateTime when;
    int number = 0;
};
CopyName parseCopyName(const QString &name);

// The copies among names that go, at now.
QStringList copiesToRemove(const QStringList &names, const QDateTime &now);

// Whether a start at now makes a copy: not when an automatic copy was made within 10 minutes of
// it (either side: a clock set back must not stop the copies for long).
bool startCopyDue(const QStringList &names, const QDateTime &now);

} // namespace data
