#pragma once

#include "platform/Background.h"
#include "platform/Platform.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

class QWidget;

namespace data {
class Database;
}

namespace stations {

// The program's watch over its books' file: once a second, one stat of the path. A file removed
// under the running program is put back from the watch's own connection, opened at start-up
// while the file was there (in the background, so the tick never waits for the copy), and the
// operator is told once. A write that finds the file gone first puts it back by itself; the
// watch then only tells. A file replaced by another is left to the writes, which refuse it.
class BooksWatch final : public QObject {
    Q_OBJECT
public:
    BooksWatch(sys::Platform &platform, QWidget *speaker);
    ~BooksWatch() override;

    // Opens the watch's connection and looks once a second; nothing when the file cannot be opened.
    void start();
    // One look, as the timer takes it.
    void look();
    // Waits for a put-back under way.
    void wait();

private:
    void tell(const QString &text);

    sys::Platform &platform_;
    QPointer<QWidget> speaker_;
    std::unique_ptr<data::Database> db_;
    QTimer timer_;
    bool puttingBack_ = false; // until the put-back's result is in
    QString lastFailure_;
    sys::Job putBack_; // works on db_: declared after it, so it ends before db_ goes
};

} // namespace stations
