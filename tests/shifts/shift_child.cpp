// Opens a shift on the books, records a rental and cash put in, says "ready" and waits to be
// killed: a program that stopped in the middle of a shift.
#include "data/Database.h"
#include "data/Journal.h"
#include "data/JournalBooks.h"
#include "data/Statements.h"
#include "platform/Clock.h"
#include "shifts/ShiftService.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: shift_child <database> <operator>\n");
        return 2;
    }
    sys::SystemClock clock;
    auto db = data::Database::open(QString::fromLocal8Bit(argv[1]));
    const QString who = QString::fromLocal8Bit(argv[2]);
    shifts::ShiftService service(clock, [&db] { return db.get(); });
    if (!service.open(who, 50000).ok) {
        return 1;
    }
    data::runInTransaction(*db, [&] {
        db->execute(statements::alquilerInsert(1, true, who, 5, QStringLiteral("Dec"), 2026, QStringLiteral("14:05:09"),
                                               QStringLiteral("0"), QStringLiteral("40"), QStringLiteral("20")));
        journal::append(*db, clock.wallTime(), who, journal::event::kRentalRecorded, 1,
                        journal::rentalDetail(QStringLiteral("1"), QStringLiteral("Contador"), who,
                                              QStringLiteral("2026-12-05"), QStringLiteral("14:05:09"),
                                              QStringLiteral("0"), QStringLiteral("40"), QStringLiteral("20")));
    });
    if (!service.addMovement(shifts::MovementKind::Ingreso, 10000, QStringLiteral("cambio"), who).ok) {
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        QThread::sleep(1);
    }
}
