#pragma once

#include "data/Database.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <functional>
#include <stdexcept>

namespace cash_close {

// The period of a report: from the start date and time to the end date and time, both limits
// included; the times only cut the first and the last day.
struct Period {
    QDate from;
    QTime fromTime;
    QDate to;
    QTime toTime;
};

struct Totals {
    double grand = 0.0;
    double operatorTotal = 0.0;
    int copied = 0; // rows copied into Caja before the trims
};

// Thrown when the progress callback asks to stop; the run has been rolled back.
class RunCancelled final : public std::runtime_error {
public:
    RunCancelled() : std::runtime_error("cash close cancelled") {}
};

// One report run on a handle: empty Caja, copy the period's rentals with their own dates,
// trim the first and the last day, total overall and for the operator. The run's action
// statements share one transaction, so the run pays one commit and a failure leaves Caja
// as it was before the run.
class CashCloseRun final {
public:
    // done of total rows copied; return false to stop the run.
    using Progress = std::function<bool(int done, int total)>;

    CashCloseRun(data::Database &database, QString operatorName);
    void setProgress(Progress progress, int chunkRows = 256);
    // The instant the run is journaled with (now, when not set).
    void setInstant(const QDateTime &when) { instant_ = when; }

    // Throws data::DbError when the engine refuses a statement, RunCancelled when stopped.
    Totals run(const Period &period);

private:
    Totals runInTransaction(const Period &period);
    void report(int done, int total);

    data::Database &database_;
    QString operator_;
    QDateTime instant_;
    Progress progress_;
    int chunkRows_ = 256;
};

} // namespace cash_close
