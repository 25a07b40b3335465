#include "app/Startup.h"

#include "app/CommandLine.h"
#include "app/Desk.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "platform/InstanceLock.h"
#include "platform/SingleInstance.h"
#include "ui/AutomaticBackup.h"
#include "ui/BooksWatch.h"
#include "ui/SystemPlatform.h"
#include "ui/Translations.h"
#include "ui/formLudomat2.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>
#include <QPointer>

namespace app {

namespace {

// How long a second start waits for the running program to come to the front before it says
// that one is running: the running one may be a moment from answering.
constexpr int kAskRunningMs = 4000;

// The program's start and end in the journal, on a handle of its own; nothing depends on them,
// so a file that cannot take them (read-only, full) is left as it is.
void noteProgram(const sys::Platform &platform, const QString &evento, const QString &usuario) {
    try {
        auto db = data::Database::open(platform.databasePath());
        data::runInTransaction(*db,
                               [&] { journal::append(*db, platform.clock.wallTime(), usuario, evento, 0, QString()); });
    } catch (const data::DbError &) {
    }
}

} // namespace

int runProgram(int argc, char *argv[]) {
    if (const std::optional<int> status = runCommandLine(argc, argv)) {
        return *status;
    }
    QApplication app(argc, argv);
    // The lower-case name makes the user's data folder ~/.local/share/ludomat. No display name:
    // the window manager would show it after every window's own caption.
    QApplication::setApplicationName(QStringLiteral("ludomat"));
    // Ties the windows to the installed menu entry (Wayland's app id, the desktop's task bar).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.ludomat.Ludomat"));
    // Drawn by Qt's SVG icon plugin (libqt6svg6); without it the windows merely have no icon.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/org.ludomat.Ludomat.svg")));
    // A machine without a sound device must not fill the console with audio warnings.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.multimedia*=false"));
    ui::installSpanishQtTexts();

    sys::SystemClock clock;
    ui::MessageBoxPresenter messages;
    ui::SoundEffectPlayer alarm;
    ui::ApplicationEnder ender;
    ui::DialogFileChooser files;
    const QString asked = dataDirArgument(argc, argv);
    sys::Platform platform{clock, messages, alarm, ender, files, sys::locateProgram(asked)};
    const bool chosen = !sys::askedDataFolder(asked).isEmpty();
    if (const QString problem = sys::prepare(platform.where, !chosen); !problem.isEmpty()) {
        messages.showMessage(nullptr, problem);
        return 1;
    }

    sys::InstanceLock lock(platform.databasePath());
    QPointer<Desk> running; // the program's windows, once there are some
    sys::SingleInstance single(platform.databasePath(), [&running] {
        if (running) {
            running->bringToFront();
        }
    });
    switch (lock.acquire()) {
    case sys::InstanceLock::Result::HeldByAnother:
        // The program already open on these books comes to the front instead; said only when it
        // does not answer.
        if (sys::SingleInstance::askRunningToShow(platform.databasePath(), kAskRunningMs)) {
            return 0;
        }
        messages.showMessage(nullptr, lock.refusal());
        return 1;
    case sys::InstanceLock::Result::Refused:
        messages.showMessage(nullptr, lock.refusal());
        return 1;
    case sys::InstanceLock::Result::Acquired:
        single.listen(); // without it a second start says that this one runs
        break;
    case sys::InstanceLock::Result::Unavailable:
        break;
    }

    noteProgram(platform, journal::event::kProgramStarted, QString());
    Desk desk(platform);
    running = &desk;
    if (!desk.start()) {
        noteProgram(platform, journal::event::kProgramEnded, QString());
        return 1;
    }
    // The main window first, then the accounts window above it: the one that takes input until a
    // sign-in is the active one, its password box ready for the first key.
    desk.show();
    formLudomat2 *main = &desk.mainWindow();
    // A copy of the books at every start, in the background while the shop opens.
    stations::AutomaticBackup backup(platform, main);
    backup.start(QStringLiteral("al iniciar el programa"), QString());
    stations::BooksWatch watch(platform, main);
    watch.start();
    const int status = QApplication::exec();
    backup.wait();
    watch.wait();
    // Through the station board's handle while it is open (the accounts window's "&Salir"): one
    // copy of the -wal back into the file at the end, not two.
    if (!desk.board().noteProgramEnd()) {
        noteProgram(platform, journal::event::kProgramEnded, desk.session().user());
    }
    return status;
}

} // namespace app
