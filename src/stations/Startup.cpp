#include "stations/Startup.h"

#include "accounts/formUsuario.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "stations/CommandLine.h"
#include "stations/formLudomat2.h"
#include "ui/InstanceLock.h"
#include "ui/SystemPlatform.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>

namespace stations {

namespace {

// The program's start and end in the journal, on a handle of its own; nothing depends on them,
// so a file that cannot take them (read-only, full) is left as it is.
void noteProgram(const ui::Platform &platform, const QString &evento, const QString &usuario) {
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
    QApplication::setApplicationName(QString::fromLatin1(ui::kApplicationTitle));
    // A machine without a sound device must not fill the console with audio warnings.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.multimedia*=false"));

    ui::SystemClock clock;
    ui::MessageBoxPresenter messages;
    ui::SoundEffectPlayer alarm;
    ui::ApplicationEnder ender;
    ui::Platform platform{clock, messages, alarm, ender, QApplication::applicationDirPath()};

    ui::InstanceLock lock(platform.databasePath());
    if (lock.acquire() == ui::InstanceLock::Result::HeldByAnother) {
        messages.showMessage(nullptr, lock.refusal());
        return 1;
    }

    noteProgram(platform, journal::event::kProgramStarted, QString());
    formLudomat2 main(platform);
    if (!main.Form_Load()) {
        noteProgram(platform, journal::event::kProgramEnded, QString());
        return 1;
    }
    // The main window first, then the accounts window above it: the one that takes input until a
    // sign-in is the active one, its password box ready for the first key.
    main.showForm();
    if (formUsuario *accounts = main.usuarioWindow) {
        accounts->showForm();
        accounts->maskContrasena->setFocus(Qt::OtherFocusReason);
    }
    const int status = QApplication::exec();
    noteProgram(platform, journal::event::kProgramEnded, main.lblUsuario->text());
    return status;
}

} // namespace stations
