#include "app/Startup.h"

#include "app/CommandLine.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "platform/InstanceLock.h"
#include "platform/SingleInstance.h"
#include "ui/AutomaticBackup.h"
#include "ui/BooksWatch.h"
#include "ui/SystemPlatform.h"
#include "ui/Translations.h"
#include "ui/formCaja.h"
#include "ui/formLudomat2.h"
#include "ui/formUsuario.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPointer>

namespace app {

namespace {

// How long a second start waits for the running program to come to the front before it says
// that one is running: the running one may be a moment from answering.
constexpr int kAskRunningMs = 4000;

// A second start was made: the window that takes input comes to the front, restored if it was
// minimised. The accounts window while nobody is signed in, the cash close while it is open,
// else the main window; a question open above it comes along, last, as the one that takes keys.
void bringToFront(formLudomat2 &main) {
    if (main.isMinimized()) {
        main.setWindowState(main.windowState() & ~Qt::WindowMinimized);
    }
    QWidget *target = &main;
    for (ui::Form *holder :
         {static_cast<ui::Form *>(main.usuarioWindow.data()), static_cast<ui::Form *>(main.cajaWindow.data())}) {
        if (holder && !holder->isUnloading()) {
            target = holder;
            break;
        }
    }
    for (QWidget *window : {target, QApplication::activeModalWidget()}) {
        if (window) {
            window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
            window->show();
            window->raise();
            window->activateWindow();
        }
    }
}

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
    QPointer<formLudomat2> running; // the main window, once there is one
    sys::SingleInstance single(platform.databasePath(), [&running] {
        if (running) {
            bringToFront(*running);
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
    formLudomat2 main(platform);
    running = &main;
    if (!main.Form_Load()) {
        noteProgram(platform, journal::event::kProgramEnded, QString());
        return 1;
    }
    // The main window first, then the accounts window above it: the one that takes input until a
    // sign-in is the active one, its password box ready for the first key.
    main.showForm();
    if (formUsuario *accounts = main.usuarioWindow) {
        accounts->showForm();
    }
    // A copy of the books at every start, in the background while the shop opens.
    stations::AutomaticBackup backup(platform, &main);
    backup.start(QStringLiteral("al iniciar el programa"), QString());
    stations::BooksWatch watch(platform, &main);
    watch.start();
    const int status = QApplication::exec();
    backup.wait();
    watch.wait();
    // Through the station board's handle while it is open (the accounts window's "&Salir"): one
    // copy of the -wal back into the file at the end, not two.
    if (!main.noteProgramEnd()) {
        noteProgram(platform, journal::event::kProgramEnded, main.journalUser());
    }
    return status;
}

} // namespace app
