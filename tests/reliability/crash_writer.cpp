// Records rentals through the real data layer until it is killed; after each insert has
// returned it prints the rental's number, so the parent knows what must survive. It holds two
// handles on the file, as the program does with two windows open, and writes through the second.
// An optional pause (ms) between inserts paces it like a busy counter rather than a tight loop,
// which the engine's busy handler does not share fairly with a third writer.
#include "data/Database.h"
#include "data/Statements.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: crash_writer <database> <first number> [pause ms]\n");
        return 2;
    }
    auto accounts = data::Database::open(QString::fromLocal8Bit(argv[1]));
    auto db = data::Database::open(QString::fromLocal8Bit(argv[1]));
    const long pause = argc == 4 ? std::atol(argv[3]) : 0;
    for (long n = std::atol(argv[2]);; ++n) {
        const int puesto = static_cast<int>(n % 5) + 1;
        db->execute(statements::alquilerInsert(puesto, n % 2 == 0, QStringLiteral("Writer"), 5, QStringLiteral("Dec"),
                                               2026, QStringLiteral("14:05:09"), QStringLiteral("0"),
                                               QStringLiteral("7"), QString::number(n)));
        std::printf("%ld\n", n);
        std::fflush(stdout);
        if (pause > 0)
            QThread::msleep(static_cast<unsigned long>(pause));
    }
}
