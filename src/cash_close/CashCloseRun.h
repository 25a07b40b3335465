#pragma once

#include "cash_close/StationLabels.h"
#include "data/Database.h"
#include "data/Seal.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

namespace cash_close {

// The period of a report: from the start date and time to the end date and time, both limits
// included; the times only cut the first and the last day.
struct Period {
    QDate from;
    QTime fromTime;
    QDate to;
    QTime toTime;
    // The end comes before the start.
    bool reversed() const { return QDateTime(to, toTime) < QDateTime(from, fromTime); }
};

struct Report;

// One report run on a handle: empty Caja, copy the period's rentals into it with their own
// dates, trim the first and the last day, read them back in order of date and time, total them
// in cents overall, for the operator and by operator, station and mode, read the shifts open
// during the period, and journal the run
// (sealed when the owner's key is given). Everything in one transaction: a failure, or an
// interrupt() of the handle from another thread (Cancelar), leaves Caja and the journal as they
// were. The report's anchor is the journal as the run left it, its own entries included.
class CashCloseRun final {
public:
    CashCloseRun(data::Database &database, QString operatorName);
    // The instant the run is journaled with (now, when not set).
    void setInstant(const QDateTime &when) { instant_ = when; }
    // The owner's key, held while the administrator is signed in: the run then seals its entry.
    void setSeal(seal::Key key) { key_ = std::move(key); }
    // What the stations are called and their types (the delivered room, when not set).
    void setLabels(StationLabels labels) { labels_ = std::move(labels); }

    // Throws data::DbError when the engine refuses a statement or the run was interrupted.
    Report run(const Period &period);

private:
    Report runInTransaction(const Period &period);

    data::Database &database_;
    QString operator_;
    QDateTime instant_;
    seal::Key key_;
    StationLabels labels_ = StationLabels::defaults();
};

// The journal's anchor as it stands now, in a report without rentals. Throws DbError.
Report currentAnchor(data::Database &database);

// The same report computed straight from Alquiler in one read transaction, for the command
// line: Caja is never touched, so it runs safely beside the program. The shifts only when asked.
// Inside a read transaction the caller holds, it reads in that snapshot and leaves it open.
Report reportFromRentals(data::Database &database, const Period &period, const QString &operatorName,
                         const QDateTime &ranAt, const StationLabels &labels = StationLabels::defaults(),
                         bool withShifts = false);

} // namespace cash_close
