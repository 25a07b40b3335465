#pragma once

#include "platform/Clock.h"
#include "platform/Locations.h"

#include <QString>
#include <QStringList>
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
    // A question with its answers as buttons, in order, the last one the default and Esc's:
    // returns the index of the one chosen.
    virtual int ask(QWidget *parent, const QString &text, const QStringList &answers) = 0;
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

// What a file is asked for: the dialog's title, the path offered (a file to write) or the folder
// to look in (a file to read), and the kinds of file ("Nombre (*.ext)"), the first chosen at first.
struct FileQuestion {
    QString caption;
    QString start;
    QStringList filters;
};

// Asks the operator for a file. Each answer is a path, or empty when the operator gave up.
class FileChooser {
public:
    virtual ~FileChooser() = default;
    // Where to write; a name typed without an extension takes the one of the kind it was typed
    // under.
    virtual QString savePath(QWidget *parent, const FileQuestion &question) = 0;
    // A file to read.
    virtual QString openPath(QWidget *parent, const FileQuestion &question) = 0;
    // The copy of the books to put back: one of the copies in folder, listed with what each
    // holds, or any other file.
    virtual QString restoreCopy(QWidget *parent, const QString &folder) = 0;
};

// The platform services a window is written against. Production passes the real ones,
// tests pass fakes.
struct Platform {
    Clock &clock;
    MessagePresenter &messages;
    AlarmPlayer &alarm;
    ProgramEnder &ender;
    FileChooser &files;
    Locations where; // the data folder and the shared folder

    QString databasePath() const { return where.database(); }
    QString alarmPath() const { return where.alarm(); }
};

} // namespace sys
