#include "data/CopyJobs.h"

#include "data/Backup.h"
#include "data/BackupRetention.h"
#include "data/Database.h"

#include <QDir>

namespace data {

namespace {

// A failure the job did not foresee comes back as what it threw.
QString failureOf(const sys::Outcome<QString> &outcome) {
    return outcome.ok() ? *outcome.value : outcome.failure;
}

} // namespace

sys::Job copyBooks(CopyOrder order, QObject *context, std::function<void(const QString &)> done) {
    return sys::runInBackground(
        context,
        [order = std::move(order)](const sys::CancelToken &) {
            try {
                auto db = Database::open(order.books, {.busyTimeoutMs = 5000});
                return backupToNoted(*db, order.target, order.now, order.usuario, order.why);
            } catch (const DbError &error) {
                return QStringLiteral("No se pudo abrir %1: %2").arg(order.books, error.message());
            }
        },
        [done = std::move(done)](const sys::Outcome<QString> &outcome) { done(failureOf(outcome)); });
}

sys::Job copyBooksAutomatically(CopyOrder order, bool onlyWhenDue, QObject *context,
                                std::function<void(const QString &)> done) {
    return sys::runInBackground(
        context,
        [order = std::move(order), onlyWhenDue](const sys::CancelToken &) {
            if (onlyWhenDue &&
                !startCopyDue(QDir(order.target).entryList({QStringLiteral("ludomat-*.mdb")}, QDir::Files),
                              order.now)) {
                return QString();
            }
            try {
                auto db = Database::open(order.books, {.busyTimeoutMs = 5000});
                return automaticBackupNoted(*db, order.target, order.now, order.usuario, order.why);
            } catch (const DbError &error) {
                return QStringLiteral("No se pudo abrir %1 para la copia de seguridad: %2")
                    .arg(order.books, error.message());
            }
        },
        [done = std::move(done)](const sys::Outcome<QString> &outcome) { done(failureOf(outcome)); });
}

sys::Job restoreBooks(RestoreOrder order, QObject *context, std::function<void(const Restored &)> done) {
    return sys::runInBackground(
        context,
        [order = std::move(order)](const sys::CancelToken &) {
            Restored result;
            try {
                auto db = Database::open(order.books, {.busyTimeoutMs = 5000});
                result = restoreCopy(*db, order.copy, order.keptFolder, order.now, order.usuario, order.how);
            } catch (const DbError &error) {
                result.failure = QStringLiteral("No se restauró la copia: ") + error.describe();
            }
            return result;
        },
        [done = std::move(done)](const sys::Outcome<Restored> &outcome) {
            done(outcome.ok() ? *outcome.value
                              : Restored{QStringLiteral("No se restauró la copia: ") + outcome.failure, {}});
        });
}

} // namespace data
