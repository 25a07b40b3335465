#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

namespace data {
class Database;
}
namespace sys {
class Clock;
}

namespace accounts {

// An instant by the machine's two clocks: the wall clock, and the boot clock (CLOCK_BOOTTIME,
// which counts suspend too) with the name of the boot it counts from.
struct Moment {
    QDateTime wall; // UTC
    QString boot;   // empty: unknown, never the same boot as another
    qint64 bootMs = 0;

    static Moment now(const sys::Clock &clock);
};

// One account's wrong passwords in a row, and when the last one was typed.
struct Failures {
    int count = 0;
    QDateTime lastWall; // UTC; never earlier than a failure before it
    QString boot;
    qint64 bootMs = 0;
};

// The time since the last failure: within its boot by the boot clock; after a reboot by the
// wall clock, and never less than nothing when the wall clock went back.
qint64 sinceLastFailureMs(const Failures &failures, const Moment &now);
// The milliseconds still to wait before the next check: five failures are free, then the wait
// after each one doubles from 2 s up to 30 s.
qint64 waitMs(const Failures &failures, const Moment &now);
// The same failures as counted by this boot's clock (a record of another boot is anchored to now
// less the time since; waits come out the same).
Failures inThisBoot(const Failures &failures, const Moment &now);
// One more failure at now.
Failures afterFailure(const Failures &failures, const Moment &now);

// The throttle of one database file, kept in its table Intentos so that a restart (or a reboot)
// waits as long as the program would have, and in memory so that a file that refuses the write
// still lets no guess through early in this run. Database failures are never thrown: the file
// keeps what it could, the memory the rest.
class SignInThrottle final {
public:
    // The milliseconds still to wait before the account's password may be checked; 0: check it now.
    qint64 waitMs(data::Database &db, const QString &account, const Moment &now);
    void failed(data::Database &db, const QString &account, const Moment &now);
    void succeeded(data::Database &db, const QString &account);

private:
    // The worse of what memory and the file hold, in this boot's terms; stored back to the file
    // when the file held less.
    Failures current(data::Database &db, const QString &account, const Moment &now);
    static void store(data::Database &db, const QString &account, const Failures &failures);
    QHash<QString, Failures> memory_;
};

} // namespace accounts
