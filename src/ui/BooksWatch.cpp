#include "ui/BooksWatch.h"

#include "data/Backup.h"
#include "data/Database.h"
#include "data/DatabaseFile.h"

#include <QWidget>

namespace stations {

BooksWatch::BooksWatch(sys::Platform &platform, QWidget *speaker) : platform_(platform), speaker_(speaker) {
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &BooksWatch::look);
}

BooksWatch::~BooksWatch() = default;

void BooksWatch::start() {
    try {
        db_ = data::Database::open(platform_.databasePath());
    } catch (const data::DbError &) {
        return; // the windows say what is wrong with the file
    }
    timer_.start();
}

void BooksWatch::look() {
    if (!db_ || puttingBack_) {
        return;
    }
    if (db_->followPutBack()) { // a write found it gone first and put it back
        tell({});
        return;
    }
    if (!db_->file()->claimed() || !data::DatabaseFile::pathIsFree(db_->path())) {
        return;
    }
    puttingBack_ = true;
    putBack_ = sys::runInBackground(
        this,
        [db = db_.get(), now = platform_.clock.wallTime()](const sys::CancelToken &) {
            return data::putBackRemoved(*db, now);
        },
        [this](const sys::Outcome<data::PutBack> &outcome) {
            puttingBack_ = false;
            const data::PutBack result = outcome.ok() ? *outcome.value : data::PutBack{false, outcome.failure};
            if (result.done) {
                lastFailure_.clear();
                tell({});
            } else if (!result.failure.isEmpty() && result.failure != lastFailure_) {
                lastFailure_ = result.failure; // tried again each second, said once
                tell(result.failure);
            }
        });
}

void BooksWatch::wait() {
    putBack_.wait();
}

void BooksWatch::tell(const QString &failure) {
    const QString path = platform_.databasePath();
    platform_.messages.postMessage(
        speaker_,
        failure.isEmpty()
            ? QStringLiteral("El archivo de los libros %1 fue borrado mientras el programa lo usaba. Se restituyó "
                             "desde la conexión abierta del programa, con todo lo registrado hasta ahora, y el "
                             "programa sigue trabajando en él.")
                  .arg(path)
            : QStringLiteral("Atención: %1. Se vuelve a intentar cada segundo; hasta entonces no se guarda nada. No "
                             "cierre el programa: los libros solo siguen abiertos en él.")
                  .arg(failure),
        {});
}

} // namespace stations
