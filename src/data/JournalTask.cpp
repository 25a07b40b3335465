#include "data/JournalTask.h"

#include "data/DbError.h"

namespace journal {

namespace {

struct Walked {
    Verification result;
    QString error;
};

} // namespace

VerificationTask::VerificationTask(QString databasePath, QObject *parent)
    : QObject(parent), path_(std::move(databasePath)) {}

void VerificationTask::start() {
    if (isRunning()) {
        return;
    }
    job_ = sys::runInBackground(
        this,
        [path = path_](const sys::CancelToken &token) {
            Walked walked;
            try {
                walked.result = verifyFile(path, [&token](qint64) { return !token.cancelled(); });
            } catch (const data::DbError &e) {
                walked.error = e.message();
            }
            return walked;
        },
        [this](const sys::Outcome<Walked> &outcome) {
            Q_EMIT finished(outcome.ok() ? outcome.value->result : Verification(),
                            outcome.ok() ? outcome.value->error : outcome.failure);
        });
}

} // namespace journal
