#include "accounts/SignInThrottle.h"

#include "data/Database.h"
#include "data/Journal.h"
#include "data/Statements.h"
#include "platform/Clock.h"

#include <algorithm>

namespace accounts {

namespace {
constexpr int kFreeFailures = 5;
constexpr int kMostFailures = kFreeFailures + 16; // the wait stays at its longest anyway
constexpr qint64 kFirstWaitMs = 2'000;
constexpr qint64 kLongestWaitMs = 30'000;

qint64 waitAfter(int failures) {
    if (failures < kFreeFailures) {
        return 0;
    }
    const int doublings = std::min(failures - kFreeFailures, 4);
    return std::min(kFirstWaitMs << doublings, kLongestWaitMs);
}

bool sameBoot(const Failures &failures, const Moment &now) {
    return !now.boot.isEmpty() && failures.boot == now.boot;
}

// The later of two failures' records, field by field: more failures and the later last one.
Failures worse(const Failures &a, const Failures &b) {
    Failures out = a.bootMs >= b.bootMs ? a : b;
    out.count = std::max(a.count, b.count);
    if (a.lastWall.isValid() && b.lastWall.isValid()) {
        out.lastWall = std::max(a.lastWall, b.lastWall);
    }
    return out;
}

bool operator==(const Failures &a, const Failures &b) {
    return a.count == b.count && a.lastWall == b.lastWall && a.boot == b.boot && a.bootMs == b.bootMs;
}

} // namespace

Moment Moment::now(const sys::Clock &clock) {
    return {clock.wallTime().toUTC(), clock.bootId(), clock.monotonicMs()};
}

qint64 sinceLastFailureMs(const Failures &failures, const Moment &now) {
    if (sameBoot(failures, now)) {
        return std::max<qint64>(0, now.bootMs - failures.bootMs);
    }
    if (!failures.lastWall.isValid() || !now.wall.isValid()) {
        return 0;
    }
    return std::max<qint64>(0, failures.lastWall.msecsTo(now.wall));
}

qint64 waitMs(const Failures &failures, const Moment &now) {
    const qint64 wait = waitAfter(failures.count);
    return wait == 0 ? 0 : std::max<qint64>(0, wait - sinceLastFailureMs(failures, now));
}

Failures inThisBoot(const Failures &failures, const Moment &now) {
    if (sameBoot(failures, now) || failures.count == 0) {
        return failures;
    }
    Failures out = failures;
    out.boot = now.boot;
    out.bootMs = now.bootMs - sinceLastFailureMs(failures, now);
    return out;
}

Failures afterFailure(const Failures &failures, const Moment &now) {
    Failures out;
    out.count = std::min(std::max(failures.count, 0) + 1, kMostFailures);
    out.boot = now.boot;
    out.bootMs = now.bootMs;
    out.lastWall = now.wall;
    // A wall clock set back since the last failure does not drag the record back with it.
    if (failures.count > 0 && failures.lastWall.isValid()) {
        out.lastWall = std::max(now.wall, failures.lastWall.addMSecs(sinceLastFailureMs(failures, now)));
    }
    return out;
}

qint64 SignInThrottle::waitMs(data::Database &db, const QString &account, const Moment &now) {
    return accounts::waitMs(current(db, account, now), now);
}

void SignInThrottle::failed(data::Database &db, const QString &account, const Moment &now) {
    const Failures next = afterFailure(current(db, account, now), now);
    memory_[account] = next;
    store(db, account, next);
}

void SignInThrottle::succeeded(data::Database &db, const QString &account) {
    memory_.remove(account);
    store(db, account, {});
}

Failures SignInThrottle::current(data::Database &db, const QString &account, const Moment &now) {
    Failures stored;
    bool read = false;
    try {
        data::Recordset row = db.openRecordset(statements::intentosLookup(account));
        if (!row.isEof()) {
            stored.count = std::clamp(row.field(QStringLiteral("Fallos")).toInt(), 0, kMostFailures);
            stored.lastWall =
                QDateTime::fromString(row.field(QStringLiteral("UltimoFallo")).toString(), Qt::ISODateWithMs).toUTC();
            stored.boot = row.field(QStringLiteral("Arranque")).toString();
            stored.bootMs = row.field(QStringLiteral("RelojArranque")).toLongLong();
        }
        read = true;
    } catch (const data::DbError &) {
        // An older file opened read-only has no table: memory alone counts.
    }
    const Failures fromFile = inThisBoot(stored, now);
    const auto remembered = memory_.constFind(account);
    const Failures out = remembered == memory_.cend() ? fromFile : worse(*remembered, fromFile);
    if (out.count > 0) {
        memory_[account] = out;
    }
    // The file learns what only memory knew (a write it refused before), and a record of an
    // earlier boot is anchored to this one, so the next start in this boot measures by its clock.
    if (read && !(out == stored)) {
        store(db, account, out);
    }
    return out;
}

void SignInThrottle::store(data::Database &db, const QString &account, const Failures &failures) {
    try {
        data::runInTransaction(db, [&] {
            db.execute(statements::intentosDelete(account));
            if (failures.count > 0) {
                db.execute(statements::intentosInsert(account, failures.count, journal::instantText(failures.lastWall),
                                                      failures.boot, failures.bootMs));
            }
        });
    } catch (const data::DbError &) {
        // A file that refuses the write: memory still holds the count for this run.
    }
}

} // namespace accounts
