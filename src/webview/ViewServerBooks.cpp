#include "webview/ViewServerBooks.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "platform/Clock.h"
#include "webview/ViewData.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <sqlite3.h>

namespace webview {

namespace {

constexpr qint64 kFreshMs = 1000;
constexpr qint64 kVerifyEveryMs = 60 * 1000;
constexpr qint64 kRetryVerifyMs = 10 * 1000;
// A read waits this long for the counter's checkpoint or a lock, then the page is told to retry.
constexpr int kBusyTimeoutMs = 200;

QByteArray compact(const QJsonObject &object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

qint64 singleNumber(data::Database &db, const QString &sql) {
    qint64 value = 0;
    db.forEachRawRow(sql, [&](const data::Database::RowView &row) {
        value = row.isNull(0) ? 0 : row.integer(0);
        return false;
    });
    return value;
}

} // namespace

// A raw read-only connection of its own for PRAGMA data_version, which the books' handle (SELECT
// only) does not run: the number changes whenever another connection commits.
struct ViewServerBooks::Version {
    sqlite3 *db = nullptr;
    explicit Version(const QString &path) {
        const QByteArray uri =
            (QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) + QStringLiteral("?mode=ro")).toUtf8();
        const int rc = sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
        if (rc != SQLITE_OK) {
            const QString message = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
            sqlite3_close(db);
            throw data::DbError(QStringLiteral("No se puede abrir %1: %2").arg(path, message), {}, rc & 0xff);
        }
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
    }
    ~Version() { sqlite3_close(db); }
    qint64 read() const {
        sqlite3_stmt *stmt = nullptr;
        int rc = sqlite3_prepare_v2(db, "PRAGMA data_version", -1, &stmt, nullptr);
        qint64 value = -1;
        if (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            value = sqlite3_column_int64(stmt, 0);
            rc = SQLITE_OK;
        }
        sqlite3_finalize(stmt);
        if (rc != SQLITE_OK) {
            throw data::DbError(QString::fromUtf8(sqlite3_errmsg(db)), QStringLiteral("PRAGMA data_version"),
                                rc & 0xff);
        }
        return value;
    }
};

ViewServerBooks::ViewServerBooks(QString databasePath, QObject *parent)
    : QObject(parent), path_(std::move(databasePath)) {
    clock_.start();
}

ViewServerBooks::~ViewServerBooks() = default;

void ViewServerBooks::open() {
    db();
    verifyWhenDue(singleNumber(db(), QStringLiteral("SELECT MAX(Secuencia) FROM Registro")));
}

data::Database &ViewServerBooks::db() {
    if (!db_) {
        db_ = data::Database::open(path_, {.busyTimeoutMs = kBusyTimeoutMs, .readOnly = true});
        version_ = std::make_unique<Version>(path_);
    }
    return *db_;
}

QByteArray ViewServerBooks::cached(const QString &key, const std::function<QByteArray(data::Database &)> &build) {
    try {
        data::Database &books = db();
        const qint64 version = version_->read();
        const qint64 now = clock_.elapsed();
        auto it = cache_.find(key);
        if (it != cache_.end() && it->version == version && now - it->atMs < kFreshMs) {
            return it->json;
        }
        QByteArray json = build(books);
        cache_.insert(key, {json, version, now});
        return json;
    } catch (const data::DbError &error) {
        // A busy file passes; anything else (the file replaced, removed, damaged) gets a new
        // handle at the next request.
        if (!error.isBusy()) {
            db_.reset();
            version_.reset();
            cache_.clear();
        }
        throw;
    }
}

QByteArray ViewServerBooks::room() {
    return cached(QStringLiteral("salon"), [](data::Database &books) {
        static const sys::SystemClock systemClock;
        const stations::ClockReading now{QDateTime::currentDateTimeUtc(), systemClock.monotonicMs(),
                                         systemClock.bootId()};
        return compact(roomNow(books, now));
    });
}

QByteArray ViewServerBooks::today() {
    return cached(QStringLiteral("hoy"),
                  [](data::Database &books) { return compact(webview::today(books, QDateTime::currentDateTime())); });
}

QByteArray ViewServerBooks::days(int count) {
    return cached(QStringLiteral("dias%1").arg(count), [count](data::Database &books) {
        return compact(webview::days(books, QDate::currentDate(), count));
    });
}

std::optional<QByteArray> ViewServerBooks::journal() {
    const QByteArray entries = cached(QStringLiteral("entradas"), [](data::Database &books) {
        return QByteArray::number(singleNumber(books, QStringLiteral("SELECT MAX(Secuencia) FROM Registro")));
    });
    verifyWhenDue(entries.toLongLong());
    return verified_;
}

void ViewServerBooks::verifyWhenDue(qint64 entries) {
    const qint64 now = clock_.elapsed();
    if (verifying_ || (everStarted_ && (entries == entriesAtStart_ || now - verifyStartedMs_ < kVerifyEveryMs))) {
        return;
    }
    verifying_ = true;
    everStarted_ = true;
    verifyStartedMs_ = now;
    entriesAtStart_ = entries;
    verification_ = sys::runInBackground(
        this,
        [path = path_](const sys::CancelToken &token) {
            return journal::verifyFile(path, [token](qint64) { return !token.cancelled(); });
        },
        [this](sys::Outcome<journal::Verification> outcome) {
            verifying_ = false;
            if (outcome.ok()) {
                verified_ = compact(journalState(*outcome.value, QDateTime::currentDateTime()));
            } else {
                // Tried again at the next request after a short while, whatever the count.
                entriesAtStart_ = -1;
                verifyStartedMs_ = clock_.elapsed() - kVerifyEveryMs + kRetryVerifyMs;
            }
        });
}

} // namespace webview
