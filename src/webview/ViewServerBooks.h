#pragma once

#include "data/Journal.h"
#include "platform/Background.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

namespace data {
class Database;
}

// The view's read-only handle on the books and what it answers from them. An answer is read
// again when the file changed (PRAGMA data_version) or is a second old (the room's times run on
// by themselves). The journal is verified on a pool thread, never in a request: at the start and
// when it grew, at most once a minute; the last result is served.
namespace webview {

class ViewServerBooks final : public QObject {
    Q_OBJECT
public:
    explicit ViewServerBooks(QString databasePath, QObject *parent = nullptr);
    ~ViewServerBooks() override;

    // Opens the handle and starts the first verification. Throws data::DbError.
    void open();
    // Each throws data::DbError when the books cannot be read now (busy, replaced, gone).
    QByteArray room();
    QByteArray today();
    QByteArray days(int count);
    // The last verification; nothing before the first has ended.
    std::optional<QByteArray> journal();

private:
    struct Cached {
        QByteArray json;
        qint64 version = -1;
        qint64 atMs = 0;
    };
    data::Database &db();
    QByteArray cached(const QString &key, const std::function<QByteArray(data::Database &)> &build);
    void verifyWhenDue(qint64 entries);

    QString path_;
    std::unique_ptr<data::Database> db_;
    struct Version;
    std::unique_ptr<Version> version_;
    QHash<QString, Cached> cache_;
    QElapsedTimer clock_;

    sys::Job verification_;
    bool verifying_ = false;
    qint64 verifyStartedMs_ = 0;
    bool everStarted_ = false;
    qint64 entriesAtStart_ = -1; // the journal's last entry when the running or last check began
    std::optional<QByteArray> verified_;
};

} // namespace webview
