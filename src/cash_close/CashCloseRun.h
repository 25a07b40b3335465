#pragma once

#include "data/Database.h"

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
// in cents overall, for the operator and by operator, station and mode, and journal the run.
// Everything in one transaction: a failure, or an interrupt() of the handle from another
// thread (Cancelar), leaves Caja and the journal as they were.
class CashCloseRun final {
public:
    CashCloseRun(data::Database &database, QString operatorName);
    // The instant the run is journaled with (now, when not set).
    void setInstant(const QDateTime &when) { instant_ = when; }

    // Throws data::DbError when the engine refuses a statement or the run was interrupted.
    Report run(const Period &period);

private:
    Report runInTransaction(const Period &period);

    data::Database &database_;
    QString operator_;
    QDateTime instant_;
};

// The same report computed straight from Alquiler in one read transaction, for the command
// line: Caja is never touched, so it runs safely beside the program.
Report reportFromRentals(data::Database &database, const Period &period, const QString &operatorName,
                         const QDateTime &ranAt);

} // namespace cash_close
