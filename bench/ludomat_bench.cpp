// The cash close on a shop that has run for ten years: one day's report among a million
// rentals, and a whole year's report of a hundred thousand, each through the same run the
// window uses and through hand-written SQL straight on SQLite (the engine's floor).
#include "accounts/PasswordHash.h"
#include "cash_close/CashCloseRun.h"
#include "cash_close/Report.h"
#include "data/Database.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sqlite3.h>
#include <stdexcept>
#include <vector>

namespace {

constexpr int kYears = 10;
constexpr int kPerYear = 100000;
const QDate kFirstDay(2016, 1, 1);

void check(int rc, sqlite3 *db, const char *what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
    }
}

void exec(sqlite3 *db, const char *sql) {
    check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), db, sql);
}

sqlite3 *openRaw(const QString &path) {
    sqlite3 *db = nullptr;
    check(sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), db, "open");
    exec(db, "PRAGMA journal_mode=WAL");
    exec(db, "PRAGMA synchronous=FULL");
    return db;
}

// kPerYear rentals in each of kYears years, spread evenly over the days, in one transaction.
void fill(const QString &path) {
    sqlite3 *db = openRaw(path);
    exec(db, "BEGIN");
    sqlite3_stmt *insert = nullptr;
    check(sqlite3_prepare_v2(db, "INSERT INTO Alquiler VALUES (?,?,?,?,?,?,?)", -1, &insert, nullptr), db, "prepare");
    const char *operators[] = {"Admin", "Ana", "Pedro", "admin"};
    const int total = kYears * kPerYear;
    const qint64 days = kFirstDay.daysTo(kFirstDay.addYears(kYears));
    for (int i = 0; i < total; ++i) {
        const QDate day = kFirstDay.addDays(static_cast<qint64>(i) * days / total);
        const int second = static_cast<int>((static_cast<qint64>(i) * 7919) % 86400);
        const QByteArray fecha = day.toString(Qt::ISODate).toLatin1();
        const QByteArray hora =
            QString::asprintf("%02d:%02d:%02d", second / 3600, second / 60 % 60, second % 60).toLatin1();
        const QByteArray tiempo = QString::asprintf("%02d:%02d:00", i % 3, (i * 13) % 60).toLatin1();
        sqlite3_bind_int(insert, 1, 1 + i % 5);
        sqlite3_bind_text(insert, 2, i % 3 == 0 ? "Prepago" : "Contador", -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, operators[i % 4], -1, SQLITE_STATIC);
        sqlite3_bind_text(insert, 4, fecha.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 5, hora.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 6, tiempo.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(insert, 7, 2.5 * (1 + i % 8));
        check(sqlite3_step(insert), db, "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    exec(db, "COMMIT");
    exec(db, "ANALYZE");
    sqlite3_close(db);
}

struct Result {
    double seconds = 0.0;
    double grand = 0.0;
    double operatorTotal = 0.0;
};

// What the window does: a handle of its own around one run, which also reads the rows back for
// the grid, the subtotals and the charts, and journals itself.
Result throughTheRun(const QString &path, const cash_close::Period &period) {
    QElapsedTimer clock;
    clock.start();
    auto db = data::Database::open(path);
    cash_close::CashCloseRun run(*db, QStringLiteral("Admin"));
    const cash_close::Report report = run.run(period);
    db->close();
    return {static_cast<double>(clock.nsecsElapsed()) / 1e9, static_cast<double>(report.totalCents) / 100.0,
            static_cast<double>(report.operatorCents) / 100.0};
}

// The same result with one INSERT ... SELECT, the two trims and one SUM.
Result engineFloor(const QString &path, const cash_close::Period &period) {
    QElapsedTimer clock;
    clock.start();
    sqlite3 *db = openRaw(path);
    const QByteArray from = period.from.toString(Qt::ISODate).toLatin1();
    const QByteArray to = period.to.toString(Qt::ISODate).toLatin1();
    const QByteArray fromTime = period.fromTime.toString(QStringLiteral("HH:mm:ss")).toLatin1();
    const QByteArray toTime = period.toTime.toString(QStringLiteral("HH:mm:ss")).toLatin1();
    auto run = [&](const char *sql, const QByteArray &a, const QByteArray &b, Result *out) {
        sqlite3_stmt *st = nullptr;
        check(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), db, sql);
        if (!a.isNull()) {
            sqlite3_bind_text(st, 1, a.constData(), -1, SQLITE_STATIC);
        }
        if (!b.isNull()) {
            sqlite3_bind_text(st, 2, b.constData(), -1, SQLITE_STATIC);
        }
        const int rc = sqlite3_step(st);
        check(rc, db, sql);
        if (out && rc == SQLITE_ROW) {
            out->grand = sqlite3_column_double(st, 0);
            out->operatorTotal = sqlite3_column_double(st, 1);
        }
        sqlite3_finalize(st);
    };
    Result result;
    exec(db, "BEGIN IMMEDIATE");
    exec(db, "DELETE FROM Caja");
    run("INSERT INTO Caja SELECT * FROM Alquiler WHERE Fecha BETWEEN ?1 AND ?2", from, to, nullptr);
    run("DELETE FROM Caja WHERE Fecha = ?1 AND Hora < ?2", from, fromTime, nullptr);
    run("DELETE FROM Caja WHERE Fecha = ?1 AND Hora > ?2", to, toTime, nullptr);
    run("SELECT total(Importe), total(CASE WHEN Usuario = 'Admin' THEN Importe END) FROM Caja", {}, {}, &result);
    exec(db, "COMMIT");
    sqlite3_close(db);
    result.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    return result;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void measure(const char *title, const QString &path, const cash_close::Period &period, int repeats) {
    std::vector<double> runTimes;
    std::vector<double> floorTimes;
    Result run;
    Result floor;
    for (int i = 0; i < repeats; ++i) {
        run = throughTheRun(path, period);
        runTimes.push_back(run.seconds);
        floor = engineFloor(path, period);
        floorTimes.push_back(floor.seconds);
    }
    if (std::abs(run.grand - floor.grand) > 1e-6 || std::abs(run.operatorTotal - floor.operatorTotal) > 1e-6) {
        std::printf("  TOTALS DIFFER: run %.2f / %.2f, floor %.2f / %.2f\n", run.grand, run.operatorTotal, floor.grand,
                    floor.operatorTotal);
    }
    const double r = median(runTimes);
    const double f = median(floorTimes);
    std::printf("%-44s run %9.1f ms   floor %8.1f ms   ratio %6.1fx   (median of %d; totals %.2f / %.2f)\n", title,
                r * 1000.0, f * 1000.0, r / f, repeats, run.grand, run.operatorTotal);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    // --keep leaves the filled file behind for a closer look.
    if (app.arguments().contains(QStringLiteral("--keep"))) {
        folder.setAutoRemove(false);
        std::printf("Database kept in %s\n", qPrintable(folder.path()));
    }
    const QString path = folder.path() + QStringLiteral("/dbLudomat.mdb");
    if (!folder.isValid() || !QFile::copy(QStringLiteral(LUDOMAT_TEMPLATE_DB), path)) {
        std::fprintf(stderr, "cannot copy %s\n", LUDOMAT_TEMPLATE_DB);
        return 1;
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    std::printf("Machine: %s, %s, %d logical cores, SQLite %s\n", qPrintable(QSysInfo::prettyProductName()),
                qPrintable(QSysInfo::currentCpuArchitecture()), QThread::idealThreadCount(), sqlite3_libversion());

    try {
        QElapsedTimer clock;
        clock.start();
        fill(path);
        std::printf("Filled Alquiler with %d rentals (%d years) in %.1f s\n", kYears * kPerYear, kYears,
                    static_cast<double>(clock.elapsed()) / 1000.0);

        const QDate day(2024, 6, 14);
        measure("One day's report, 1,000,000 in Alquiler:", path, {day, QTime(8, 0), day, QTime(16, 0)}, 9);
        measure("A year's report, 100,000 rentals:", path,
                {QDate(2025, 1, 1), QTime(0, 0), QDate(2025, 12, 31), QTime(23, 59, 59)}, 3);

        // A sign-in checks the typed password against its Argon2id hash once.
        const QString hash = accounts::hashPassword(QStringLiteral("admin"));
        QElapsedTimer check;
        check.start();
        constexpr int kChecks = 5;
        for (int n = 0; n < kChecks; ++n) {
            if (!accounts::verifyPassword(hash, QStringLiteral("admin"))) {
                return 1;
            }
        }
        std::printf("One sign-in password check (Argon2id, interactive limits): %.0f ms\n",
                    static_cast<double>(check.elapsed()) / kChecks);
    } catch (const data::DbError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.describe()));
        return 1;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
