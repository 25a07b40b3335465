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
#include <QImageReader>
#include <QLoggingCategory>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <fontconfig/fontconfig.h>
#include <initializer_list>
#include <thread>

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

// The window icon in the sizes asked for, drawn beforehand from the SVG at build time (each a
// copy the display is sent with every window), read by Qt's own PNG reader: left to find the
// format, the reader would first load every image plugin to ask it.
QIcon windowIcon(std::initializer_list<int> sizes) {
    QIcon icon;
    for (const int size : sizes) {
        QImageReader png(QStringLiteral(":/icons/%1.png").arg(size), "png");
        png.setAutoDetectImageFormat(false);
        icon.addPixmap(QPixmap::fromImage(png.read()));
    }
    return icon;
}

} // namespace

int runProgram(int argc, char *argv[]) {
    if (const std::optional<int> status = runCommandLine(argc, argv)) {
        return *status;
    }
    // The font configuration (a few dozen files read and parsed) is loaded while the display is
    // connected: the first window's first text waits for it otherwise. Loading it twice is safe.
    std::jthread fonts([] { FcInit(); });
    QApplication app(argc, argv);
    // The lower-case name makes the user's data folder ~/.local/share/ludomat. No display name:
    // the window manager would show it after every window's own caption.
    QApplication::setApplicationName(QStringLiteral("ludomat"));
    // Ties the windows to the installed menu entry (Wayland's app id, the desktop's task bar).
    QGuiApplication::setDesktopFileName(QStringLiteral("org.ludomat.Ludomat"));
    // The title bar's and the task bar's sizes of the icon come with the first windows; the large
    // ones follow once the windows are drawn (below).
    QApplication::setWindowIcon(windowIcon({16, 32}));
    // A machine without a sound device must not fill the console with audio warnings.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.multimedia*=false"));
    ui::installSpanishQtTexts();

    sys::SystemClock clock;
    ui::MessageBoxPresenter messages;
    ui::SoundEffectPlayer alarm(QCoreApplication::applicationDirPath() + QStringLiteral("/" LUDOMAT_SOUND_MODULE));
    ui::ApplicationEnder ender;
    ui::DialogFileChooser files;
    const QString asked = dataDirArgument(argc, argv);
    sys::Platform platform{clock, messages, alarm, ender, files, sys::locateProgram(asked)};
    const bool chosen = !asked.isEmpty();
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

    // The start's journal entry waits on the disk's flushes: they go on while the windows are
    // built, and the entry is in the file before the windows' load reads or writes anything.
    std::jthread started([&platform] { noteProgram(platform, journal::event::kProgramStarted, QString()); });
    Desk desk(platform);
    running = &desk;
    started.join();
    if (!desk.start()) {
        noteProgram(platform, journal::event::kProgramEnded, QString());
        return 1;
    }
    // The main window first, then the accounts window above it: the one that takes input until a
    // sign-in is the active one, its password box ready for the first key.
    desk.show();
    formLudomat2 *main = &desk.mainWindow();
    // What can wait for the first windows to be drawn: the large sizes of the icon (task
    // switchers), the alarm's sound module (loaded on a thread of its own), the copy of the books
    // made at every start (likewise, while the shop opens) and the books' watch.
    stations::AutomaticBackup backup(platform, main);
    stations::BooksWatch watch(platform, main);
    QTimer::singleShot(0, main, [&backup, &watch, &alarm] {
        QApplication::setWindowIcon(windowIcon({16, 32, 64, 128}));
        alarm.prepare();
        backup.start(QStringLiteral("al iniciar el programa"), QString());
        watch.start();
    });
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
