// Closing a shift on a year of books: 150 rentals a day for 365 days, a shift a day with its
// cash moved by hand and its count, every rental and shift event in the journal. Each close is
// of a shift of a day's rentals, timed alone (its count, totals, journal entries and commit),
// median of kCloses.
#include "data/Database.h"
#include "data/Journal.h"
#include "data/Statements.h"
#include "platform/Clock.h"
#include "shifts/ShiftService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

constexpr int kDays = 365;
constexpr int kRentalsADay = 150;
constexpr int kCloses = 21;
constexpr double kLimitMs = 50.0;

// A clock the bench moves a day at a time.
class DayClock final : public sys::Clock {
public:
    QDateTime now{QDate(2025, 12, 1), QTime(9, 0)};
    QDateTime wallTime() const override { return now; }
    qint64 monotonicMs() const override { return 0; }
    QString bootId() const override { return QStringLiteral("bench"); }
};

void recordDay(data::Database &db, const DayClock &clock) {
    data::runInTransaction(db, [&] {
        for (int n = 0; n < kRentalsADay; ++n) {
            const QDate d = clock.now.date();
            db.execute(statements::alquilerInsert(
                1 + n % 5, n % 3 != 0, QStringLiteral("Juan"), d.day(), statements::monthAbbrev(d.month()), d.year(),
                QStringLiteral("14:05:09"), QStringLiteral("0"), QStringLiteral("40"), QStringLiteral("20")));
            journal::append(db, clock.now.addSecs(n), QStringLiteral("Juan"), journal::event::kRentalRecorded,
                            1 + n % 5, QStringLiteral("$ 20"));
        }
    });
}

shifts::Count count() {
    shifts::Count c;
    for (const qint64 cents : shifts::defaultDenominations()) {
        c << shifts::CountLine{cents, 3};
    }
    return c;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("dbLudomat.mdb"));
    if (!QFile::copy(QStringLiteral(LUDOMAT_TEMPLATE_DB), path)) {
        throw std::runtime_error("cannot copy the delivered database");
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    auto db = data::Database::open(path);
    DayClock clock;
    shifts::ShiftService service(clock, [&db] { return db.get(); });
    const auto day = [&] {
        if (!service.open(QStringLiteral("Juan"), 100000).ok) {
            throw std::runtime_error("the shift did not open");
        }
        recordDay(*db, clock);
        service.addMovement(shifts::MovementKind::Retiro, 50000, QStringLiteral("dueño"), QStringLiteral("Juan"));
        service.addMovement(shifts::MovementKind::Gasto, 1500, QStringLiteral("limpieza"), QStringLiteral("Juan"));
        clock.now = clock.now.addSecs(8 * 3600);
    };
    std::printf("filling a year of books (%d rentals)...\n", kDays * kRentalsADay);
    std::fflush(stdout);
    for (int d = 0; d < kDays - kCloses; ++d) {
        day();
        if (!service.close(count(), QStringLiteral("Juan")).ok) {
            throw std::runtime_error("the shift did not close");
        }
        clock.now = clock.now.addSecs(16 * 3600);
    }
    std::vector<double> ms;
    for (int d = 0; d < kCloses; ++d) {
        day();
        QElapsedTimer timer;
        timer.start();
        const shifts::ShiftService::CloseResult closed = service.close(count(), QStringLiteral("Juan"));
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (!closed.ok) {
            throw std::runtime_error(closed.problem.toStdString());
        }
        clock.now = clock.now.addSecs(16 * 3600);
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("closing a shift with a year of records: median %.2f ms, worst %.2f ms of %d (limit %.0f ms)\n", median,
                ms.back(), kCloses, kLimitMs);
    return median < kLimitMs ? 0 : 1;
}
