#pragma once

#include "data/Journal.h"
#include "platform/Background.h"

#include <QObject>
#include <QString>

namespace journal {

// Verifies the journal of a database file in the background, through a read-only connection of
// its own, so a long journal never holds the window that asked. Going, it stops the walk.
class VerificationTask final : public QObject {
    Q_OBJECT
public:
    explicit VerificationTask(QString databasePath, QObject *parent = nullptr);

    // Starts a verification unless one is under way.
    void start();
    bool isRunning() const { return job_.isRunning(); }

Q_SIGNALS:
    // On the owner's thread. error says why the file could not be read; result is empty then.
    void finished(const journal::Verification &result, const QString &error);

private:
    QString path_;
    sys::Job job_;
};

} // namespace journal
