// The journal's cost:
//  - what one entry adds to recording a rental: the rental's insert alone against the insert
//    and journal::append, each in a transaction of its own, on a copy of the delivered database;
//  - verifying a journal of a million entries, as --verify-journal does.
#include "data/Database.h"
#include "data/Journal.h"
#include "data/Statements.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <stdexcept>
#include <vector>

namespace {

constexpr int kRentals = 400;
constexpr qint64 kEntries = 1'000'000;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QString copyOfTemplate(const QTemporaryDir &folder, const QString &name) {
    const QString path = folder.filePath(name);
    if (!QFile::copy(QStringLiteral(LUDOMAT_TEMPLATE_DB), path)) {
        throw std::runtime_error("cannot copy the delivered database");
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

QString rental(int n) {
    return statements::alquilerInsert(1 + n % 5, true, QStringLiteral("Admin"), 5, QStringLiteral("Dec"), 2026,
                                      QStringLiteral("14:05:09"), QStringLiteral("0"), QStringLiteral("40"),
                                      QStringLiteral("10"));
}

// Milliseconds per recorded rental, median of kRentals, alone and with its journal entry,
// taken in turns so both meet the disk in the same state.
void appendCost(const QString &path) {
    auto db = data::Database::open(path);
    std::vector<double> alone;
    std::vector<double> journalled;
    std::vector<double> appendOnly; // the append's own share, the commit's flush left out
    const QDateTime at(QDate(2026, 12, 5), QTime(14, 5, 9));
    for (int n = 0; n < kRentals; ++n) {
        QElapsedTimer clock;
        clock.start();
        data::runInTransaction(*db, [&] { db->execute(rental(n)); });
        alone.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        clock.restart();
        data::runInTransaction(*db, [&] {
            db->execute(rental(n));
            QElapsedTimer own;
            own.start();
            journal::append(*db, at.addSecs(n), QStringLiteral("Admin"), journal::event::kRentalRecorded, 1 + n % 5,
                            QStringLiteral("$ 10"));
            appendOnly.push_back(static_cast<double>(own.nsecsElapsed()) / 1e6);
        });
        journalled.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    const double a = median(alone);
    const double j = median(journalled);
    std::printf("Recording a rental (median of %d, one transaction each): alone %.3f ms, with its journal entry "
                "%.3f ms, the entry adds %.3f ms (journal::append itself: %.3f ms)\n",
                kRentals, a, j, j - a, median(appendOnly));
}

void check(int rc, sqlite3 *db) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        throw std::runtime_error(sqlite3_errmsg(db));
    }
}

// kEntries entries chained as journal::append chains them, in one transaction.
void fill(const QString &path) {
    sqlite3 *db = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), db);
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    sqlite3_stmt *insert = nullptr;
    check(sqlite3_prepare_v2(db, "INSERT INTO Registro VALUES (?,?,?,?,?,?,?)", -1, &insert, nullptr), db);
    const char *const kinds[] = {"Puesto abierto", "Puesto cerrado", "Alquiler registrado", "Ingreso"};
    const QDateTime start(QDate(2016, 1, 1), QTime(8, 0), Qt::UTC);
    QString previous = journal::kGenesis;
    journal::Entry e;
    for (qint64 n = 1; n <= kEntries; ++n) {
        e.secuencia = n;
        e.instante = journal::instantText(start.addSecs(n * 300));
        e.usuario = n % 3 == 0 ? QStringLiteral("Ana") : QStringLiteral("Admin");
        e.evento = QString::fromLatin1(kinds[n % 4]);
        e.puesto = static_cast<int>(n % 6);
        e.detalle = n % 4 == 1 ? QStringLiteral("$ %1").arg(n % 50) : QString();
        e.hash = journal::entryHash(previous, e);
        const QByteArray texts[] = {e.instante.toUtf8(), e.usuario.toUtf8(), e.evento.toUtf8(), e.detalle.toUtf8(),
                                    e.hash.toUtf8()};
        sqlite3_bind_int64(insert, 1, n);
        for (int t = 0; t < 3; ++t) {
            sqlite3_bind_text(insert, 2 + t, texts[t].constData(), -1, SQLITE_TRANSIENT);
        }
        if (e.puesto > 0) {
            sqlite3_bind_int(insert, 5, e.puesto);
        } else {
            sqlite3_bind_null(insert, 5);
        }
        sqlite3_bind_text(insert, 6, texts[3].constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 7, texts[4].constData(), -1, SQLITE_TRANSIENT);
        check(sqlite3_step(insert), db);
        sqlite3_reset(insert);
        previous = e.hash;
    }
    sqlite3_finalize(insert);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
}

void verifyCost(const QString &path) {
    QElapsedTimer clock;
    clock.start();
    fill(path);
    std::printf("Built a journal of %lld entries in %.1f s\n", static_cast<long long>(kEntries),
                static_cast<double>(clock.elapsed()) / 1000.0);
    std::vector<double> times;
    journal::Verification v;
    for (int run = 0; run < 3; ++run) {
        clock.restart();
        v = journal::verifyFile(path);
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    }
    if (!v.ok || v.entries != kEntries) {
        throw std::runtime_error("the built journal does not verify: " + v.problem.toStdString());
    }
    std::printf("Verifying %lld entries (median of 3): %.2f s\n", static_cast<long long>(kEntries), median(times));
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    // --keep leaves the files behind for a closer look.
    if (app.arguments().contains(QStringLiteral("--keep"))) {
        folder.setAutoRemove(false);
        std::printf("Databases kept in %s\n", qPrintable(folder.path()));
    }
    try {
        appendCost(copyOfTemplate(folder, QStringLiteral("rentals.mdb")));
        verifyCost(copyOfTemplate(folder, QStringLiteral("journal.mdb")));
    } catch (const data::DbError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.describe()));
        return 1;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
