#include "ui/BackupAction.h"

#include "data/Backup.h"
#include "data/Database.h"
#include "platform/Platform.h"
#include "ui/SystemPlatform.h"

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QPointer>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QThread>
#include <memory>

namespace cash_close {

namespace {

BackupPathChooser &chooser() {
    static BackupPathChooser chosen;
    return chosen;
}

QString askForPath(QWidget *parent, const QString &suggested) {
    if (chooser()) {
        return chooser()(parent, suggested);
    }
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Copia de seguridad de la base de datos"), suggested,
                                        QStringLiteral("Base de datos de Ludomat (*.mdb)"), nullptr,
                                        QFileDialog::DontUseNativeDialog);
}

} // namespace

void setBackupPathChooser(BackupPathChooser chosen) {
    chooser() = std::move(chosen);
}

void backupOnDemand(QWidget *parent, sys::Platform &platform, const QString &usuario) {
    const QDateTime now = platform.clock.wallTime();
    const QString suggested =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(QStringLiteral("ludomat-copia-%1.mdb").arg(now.toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    QString target = askForPath(parent, suggested);
    if (target.isEmpty()) {
        return;
    }
    if (!target.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive)) {
        target += QStringLiteral(".mdb");
    }
    auto failure = std::make_shared<QString>();
    const QString path = platform.databasePath();
    QThread *worker = QThread::create([failure, path, target, now, usuario] {
        try {
            auto db = data::Database::open(path, {.busyTimeoutMs = 5000});
            *failure = data::backupToNoted(*db, target, now, usuario, QStringLiteral("a pedido"));
        } catch (const data::DbError &error) {
            *failure = QStringLiteral("No se pudo abrir %1: %2").arg(path, error.message());
        }
    });
    QPointer<QProgressDialog> progress =
        new QProgressDialog(QStringLiteral("Haciendo la copia de seguridad…"), QString(), 0, 0, parent);
    progress->setWindowTitle(QString::fromLatin1(ui::kApplicationTitle));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(400);
    progress->setValue(0);
    QEventLoop done;
    QObject::connect(worker, &QThread::finished, &done, &QEventLoop::quit);
    worker->start();
    done.exec(); // the tick and the windows go on meanwhile
    worker->wait();
    delete worker;
    delete progress; // gone before the message
    platform.messages.showMessage(
        parent, failure->isEmpty() ? QStringLiteral("Se hizo la copia de seguridad en %1.").arg(target) : *failure);
}

} // namespace cash_close
