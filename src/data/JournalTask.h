#pragma once

#include "data/Journal.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>

class QThread;

namespace journal {

// Verifies the journal of a database file on a thread of its own, through a read-only
// connection opened in that thread, so a long journal never holds the window that asked.
class VerificationTask final : public QObject {
    Q_OBJECT
public:
    explicit VerificationTask(QString databasePath, QObject *parent = nullptr);
    // Stops the walk and waits for the thread: nothing outlives the owner.
    ~VerificationTask() override;

    // Starts a verification unless one is under way.
    void start();
    bool isRunning() const;

Q_SIGNALS:
    // On the owner's thread. error says why the file could not be read; result is empty then.
    void finished(const journal::Verification &result, const QString &error);

private:
    QString path_;
    std::unique_ptr<QThread> thread_;
    std::atomic_bool stop_{false};
};

} // namespace journal
