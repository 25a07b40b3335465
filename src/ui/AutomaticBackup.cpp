#include "ui/AutomaticBackup.h"

#include "data/Backup.h"
#include "data/BackupRetention.h"
#include "data/Database.h"

#include <QDir>
#include <QThread>
#include <QWidget>
#include <memory>

namespace stations {

AutomaticBackup::AutomaticBackup(sys::Platform &platform, QWidget *speaker) : platform_(platform), speaker_(speaker) {}

AutomaticBackup::~AutomaticBackup() {
    wait();
}

void AutomaticBackup::start(const QString &why, const QString &usuario) {
    if (thread_) {
        return;
    }
    auto failure = std::make_shared<QString>();
    const QString path = platform_.databasePath();
    const QString folder = platform_.where.backups();
    const QDateTime now = platform_.clock.wallTime();
    thread_ = QThread::create([failure, path, folder, now, why, usuario] {
        // Starting again and again makes no flood of copies.
        if (!data::startCopyDue(QDir(folder).entryList({QStringLiteral("ludomat-*.mdb")}, QDir::Files), now)) {
            return;
        }
        try {
            auto db = data::Database::open(path, {.busyTimeoutMs = 5000});
            *failure = data::automaticBackupNoted(*db, folder, now, usuario, why);
        } catch (const data::DbError &error) {
            *failure = QStringLiteral("No se pudo abrir %1 para la copia de seguridad: %2").arg(path, error.message());
        }
    });
    connect(thread_, &QThread::finished, this, [this, failure] {
        thread_->deleteLater();
        if (!failure->isEmpty()) {
            platform_.messages.postMessage(
                speaker_, QStringLiteral("No se hizo la copia de seguridad automática. ") + *failure, {});
        }
    });
    thread_->start();
}

void AutomaticBackup::wait() {
    if (thread_) {
        thread_->wait();
    }
}

} // namespace stations
