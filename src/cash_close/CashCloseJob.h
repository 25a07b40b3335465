#pragma once

#include "cash_close/CashCloseRun.h"
#include "cash_close/Report.h"
#include "platform/Background.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

// "Procesar Datos" as a command: the run and the copy of the books after it, on a connection of
// their own on a pool thread, while the tick and every window go on.
namespace cash_close {

struct RunOrder {
    QString books;
    QString backups; // the copies' folder, for the copy after the run
    Period period;
    QString operatorName;
    QDateTime instant;
    seal::Key key;                                    // the owner's key while the administrator is signed in
    StationLabels labels = StationLabels::defaults(); // the room, as read at start-up
};

struct RunResult {
    std::optional<Report> report; // none when the run failed or was cancelled: nothing changed
    bool cancelled = false;       // the job's cancel stopped the run
    QString failure;              // why it failed
    QString backupFailure;        // the copy after a run that ended well, when it was not made
};

// Starts the run; done gets its result once, on context's thread. The job's cancel interrupts
// the run's statement (the run then leaves everything as it was); once the run is committed the
// copy after it is made whole.
[[nodiscard]] sys::Job startRun(RunOrder order, QObject *context, std::function<void(RunResult)> done);

} // namespace cash_close
