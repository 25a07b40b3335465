#include "ui/AutomaticBackup.h"

#include "data/CopyJobs.h"

#include <QWidget>

namespace stations {

AutomaticBackup::AutomaticBackup(sys::Platform &platform, QWidget *speaker) : platform_(platform), speaker_(speaker) {}

void AutomaticBackup::start(const QString &why, const QString &usuario) {
    if (job_.isRunning()) {
        return;
    }
    job_ = data::copyBooksAutomatically(
        {platform_.databasePath(), platform_.where.backups(), platform_.clock.wallTime(), usuario, why}, true, this,
        [this](const QString &failure) {
            if (!failure.isEmpty()) {
                platform_.messages.postMessage(
                    speaker_, QStringLiteral("No se hizo la copia de seguridad automática. ") + failure, {});
            }
        });
}

} // namespace stations
