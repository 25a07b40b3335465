#pragma once

#include "platform/Clock.h"
#include "platform/Locations.h"

#include <QString>
#include <functional>

class QWidget;

namespace sys {

// Message boxes: OK only, no icon, the application's title.
class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // Returns when the operator has dismissed the message.
    virtual void showMessage(QWidget *parent, const QString &text) = 0;
    // Returns at once; the message shows while the program goes on, and dismissed (when set)
    // runs once the operator has dismissed it. Posted messages come one at a time, in order.
    virtual void postMessage(QWidget *parent, const QString &text, std::function<void()> dismissed) = 0;
};

// Starts a wave file playing and returns at once; a missing or unplayable file plays nothing.
class AlarmPlayer {
public:
    virtual ~AlarmPlayer() = default;
    virtual void play(const QString &path) = 0;
};

// Ends the whole program at once, no further handler running.
class ProgramEnder {
public:
    virtual ~ProgramEnder() = default;
    virtual void endProgram() = 0;
};

// The platform services a window is written against. Production passes the real ones,
// tests pass fakes.
struct Platform {
    Clock &clock;
    MessagePresenter &messages;
    AlarmPlayer &alarm;
    ProgramEnder &ender;
    Locations where; // the data folder and the shared folder

    QString databasePath() const { return where.database(); }
    QString alarmPath() const { return where.alarm(); }
};

} // namespace sys
