#include "data/JournalTask.h"

#include "data/DbError.h"

#include <QThread>

namespace journal {

VerificationTask::VerificationTask(QString databasePath, QObject *parent)
    : QObject(parent), path_(std::move(databasePath)) {}

VerificationTask::~VerificationTask() {
    stop_ = true;
    if (thread_) {
        thread_->wait();
    }
}

bool VerificationTask::isRunning() const {
    return thread_ && thread_->isRunning();
}

void VerificationTask::start() {
    if (isRunning()) {
        return;
    }
    if (thread_) {
        thread_->wait(); // finished already; its last instructions may still be running
    }
    stop_ = false;
    thread_.reset(QThread::create([this, path = path_] {
        Verification result;
        QString error;
        try {
            result = verifyFile(path, [this](qint64) { return !stop_.load(); });
        } catch (const data::DbError &e) {
            error = e.message();
        }
        // Queued to the owner's thread; dropped with this object if it goes first.
        QMetaObject::invokeMethod(
            this, [this, result, error] { Q_EMIT finished(result, error); }, Qt::QueuedConnection);
    }));
    thread_->start();
}

} // namespace journal
