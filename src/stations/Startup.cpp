#include "stations/Startup.h"

#include "stations/CommandLine.h"
#include "stations/formLudomat2.h"
#include "ui/InstanceLock.h"
#include "ui/SystemPlatform.h"

#include <QApplication>
#include <QLoggingCategory>

namespace stations {

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

    formLudomat2 main(platform);
    if (!main.Form_Load()) {
        return 1;
    }
    main.showForm();
    // The accounts window, opened by the load, is the one that takes input until a sign-in.
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window != &main && window->isVisible() && qobject_cast<ui::Form *>(window)) {
            window->raise();
            window->activateWindow();
        }
    }
    return QApplication::exec();
}

} // namespace stations
