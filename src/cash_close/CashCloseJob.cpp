#include "cash_close/CashCloseJob.h"

#include "data/Backup.h"
#include "data/Database.h"

#include <sqlite3.h>

namespace cash_close {

sys::Job startRun(RunOrder order, QObject *context, std::function<void(RunResult)> done) {
    return sys::runInBackground(
        context,
        [order = std::move(order)](const sys::CancelToken &token) {
            RunResult result;
            try {
                auto database = data::Database::open(order.books, {.busyTimeoutMs = 2000});
                {
                    const sys::Interruption cancel(token, [db = database.get()] { db->interrupt(); });
                    CashCloseRun run(*database, order.operatorName);
                    run.setInstant(order.instant);
                    run.setSeal(order.key);
                    run.setLabels(order.labels);
                    result.report = run.run(order.period);
                }
                // A copy of the books after every cash close.
                result.backupFailure =
                    data::automaticBackupNoted(*database, order.backups, order.instant, order.operatorName,
                                               QStringLiteral("tras el cierre de caja"));
            } catch (const data::DbError &error) {
                result.failure = error.describe();
                result.cancelled = error.code() == SQLITE_INTERRUPT && token.cancelled();
            }
            return result;
        },
        [done = std::move(done)](sys::Outcome<RunResult> outcome) {
            if (!outcome.ok()) {
                outcome.value.emplace().failure = outcome.failure;
            }
            done(std::move(*outcome.value));
        });
}

} // namespace cash_close
