#pragma once

#include "rate/RateInput.h"

#include <QObject>
#include <QString>
#include <QVariant>

namespace accounts {
class Session;
}
namespace sys {
class Clock;
}

namespace rate {

// The rate kept in Tarifa, the one the room takes at its next start: read, and replaced by a new
// one with its journal entry (the old rate and the new) in one transaction. Each command opens
// the file for its own length; nothing is held between them.
class RateService final : public QObject {
    Q_OBJECT
public:
    RateService(QString databasePath, const sys::Clock &clock, const accounts::Session &session,
                QObject *parent = nullptr);

    // Tarifa's first row as stored (a value may be null), or why there is nothing to show.
    struct Current {
        QVariant minutes;
        QVariant pesos;
        QString problem; // in Spanish; empty when read
    };
    Current current();

    // Stores rate in Tarifa with its entry under the signed-in operator's name, then rateStored.
    // On failure nothing is written and problem says why.
    struct Result {
        bool stored = false;
        QString problem;
    };
    Result store(const NewRate &rate);

    // The statement last built: the read, then the update with the checked numbers.
    const QString &sqlText() const { return sqlText_; }

Q_SIGNALS:
    void rateStored(const rate::NewRate &rate);

private:
    QString path_;
    const sys::Clock &clock_;
    const accounts::Session &session_;
    QString sqlText_;
};

} // namespace rate
