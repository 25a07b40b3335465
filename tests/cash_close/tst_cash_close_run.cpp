// The report run itself: which rentals land in Caja, with which dates, and the two totals.
#include "CashCloseFixtures.h"
#include "TestSupport.h"
#include "cash_close/CashCloseRun.h"

#include <QLocale>
#include <QtTest>

using fixtures::Rental;

namespace {

const QTime kEight(8, 0, 0);
const QTime kFour(16, 0, 0);

cash_close::Totals runReport(const QString &path, const cash_close::Period &period,
                             const QString &operatorName = QStringLiteral("Admin")) {
    auto db = data::Database::open(path);
    cash_close::CashCloseRun run(*db, operatorName);
    const cash_close::Totals totals = run.run(period);
    db->close();
    return totals;
}

} // namespace

class CashCloseRunTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // 28 February 08:00 to 3 March 16:00: the days between keep every rental, each copied
    // with its own date; the limits themselves stay.
    void periodAcrossMonthEnd() {
        testing::TestPlatform t;
        fixtures::record(t.databasePath(),
                         {
                             {1, "Admin", QDate(2026, 2, 27), QTime(12, 0), "1"},     // before the period
                             {1, "Admin", QDate(2026, 2, 28), QTime(7, 59, 59), "2"}, // before the start time
                             {2, "Admin", QDate(2026, 2, 28), kEight, "4"},
                             {3, "Admin", QDate(2026, 3, 1), QTime(3, 0), "8"},
                             {4, "Admin", QDate(2026, 3, 2), QTime(23, 30), "16"},
                             {5, "Admin", QDate(2026, 3, 3), kFour, "32"},
                             {5, "Admin", QDate(2026, 3, 3), QTime(16, 0, 1), "64"}, // after the end time
                             {1, "Admin", QDate(2026, 3, 4), QTime(9, 0), "128"},    // after the period
                         });
        const auto totals = runReport(t.databasePath(), {QDate(2026, 2, 28), kEight, QDate(2026, 3, 3), kFour});
        QCOMPARE(totals.grand, 60.0);
        QCOMPARE(totals.operatorTotal, 60.0);
        QCOMPARE(fixtures::cajaRows(t.databasePath()),
                 QStringList({"2026-02-28 08:00:00 Admin 4", "2026-03-01 03:00:00 Admin 8",
                              "2026-03-02 23:30:00 Admin 16", "2026-03-03 16:00:00 Admin 32"}));
    }

    void oneDayKeepsBothLimits() {
        testing::TestPlatform t;
        const QDate day(2026, 12, 5);
        fixtures::record(t.databasePath(), {
                                               {1, "Admin", day, QTime(7, 59, 59), "1"},
                                               {1, "Admin", day, kEight, "2"},
                                               {2, "Admin", day, QTime(12, 0), "4"},
                                               {3, "Admin", day, kFour, "8"},
                                               {4, "Admin", day, QTime(16, 0, 1), "16"},
                                               {5, "Admin", day.addDays(-1), QTime(12, 0), "32"},
                                           });
        const auto totals = runReport(t.databasePath(), {day, kEight, day, kFour});
        QCOMPARE(totals.grand, 14.0);
        QCOMPARE(fixtures::cajaRows(t.databasePath()).size(), 3);
    }

    void operatorTotalComparesNamesExactly_data() {
        QTest::addColumn<QString>("other");
        QTest::newRow("another operator") << "Pedro";
        QTest::newRow("differs only in case") << "admin";
        QTest::newRow("trailing blank") << "Admin ";
        QTest::newRow("accented letter") << "Ádmin";
    }

    void operatorTotalComparesNamesExactly() {
        QFETCH(QString, other);
        testing::TestPlatform t;
        const QDate day(2026, 12, 5);
        fixtures::record(t.databasePath(), {{1, "Admin", day, QTime(9, 0), "10"}, {2, other, day, QTime(10, 0), "5"}});
        const auto totals = runReport(t.databasePath(), {day, kEight, day, kFour}, QStringLiteral("Admin"));
        QCOMPARE(totals.grand, 15.0);
        QCOMPARE(totals.operatorTotal, 10.0);
    }

    void secondRunReplacesTheFirst() {
        testing::TestPlatform t;
        const QDate day(2026, 12, 5);
        fixtures::record(t.databasePath(), {{1, "Admin", day, QTime(9, 0), "10"}, {2, "Ana", day, QTime(10, 0), "5"}});
        const cash_close::Period period{day, kEight, day, kFour};
        const auto first = runReport(t.databasePath(), period);
        const auto second = runReport(t.databasePath(), period);
        QCOMPARE(second.grand, first.grand);
        QCOMPARE(second.operatorTotal, first.operatorTotal);
        QCOMPARE(fixtures::cajaRows(t.databasePath()).size(), 2);
        // A narrower period afterwards leaves nothing of the wider one.
        const auto narrow = runReport(t.databasePath(), {day, QTime(9, 30), day, kFour});
        QCOMPARE(narrow.grand, 5.0);
        QCOMPARE(fixtures::cajaRows(t.databasePath()), QStringList{"2026-12-05 10:00:00 Ana 5"});
    }

    // Under a comma locale the copy still writes 7.5 for the engine, and the duration passes through.
    void commaLocaleCopiesWithAPoint() {
        QLocale::setDefault(QLocale(QStringLiteral("es_AR")));
        testing::TestPlatform t;
        const QDate day(2026, 12, 5);
        fixtures::record(t.databasePath(), {{1, "Admin", day, QTime(14, 5, 9), "7.5", true, "26", "5"}});
        const auto totals = runReport(t.databasePath(), {day, kEight, day, kFour});
        QCOMPARE(totals.grand, 7.5);
        QCOMPARE(fixtures::cajaRows(t.databasePath()), QStringList{"2026-12-05 14:05:09 Admin 7.5"});
        auto db = data::Database::open(t.databasePath());
        auto rs = db->openRecordset(QStringLiteral("SELECT Tiempo FROM Caja"));
        QCOMPARE(rs.field(QStringLiteral("Tiempo")).toString(), QStringLiteral("26:05:00"));
    }

    void quotesInANameAreCopied() {
        testing::TestPlatform t;
        const QDate day(2026, 12, 5);
        fixtures::record(t.databasePath(), {{1, "O'Brien", day, QTime(9, 0), "3"}});
        const auto totals = runReport(t.databasePath(), {day, kEight, day, kFour}, QStringLiteral("O'Brien"));
        QCOMPARE(totals.operatorTotal, 3.0);
    }

    // A statement refused half-way through the copy leaves Caja as the previous run left it.
    void refusedStatementRollsBackTheWholeRun() {
        testing::TestPlatform t;
        const QDate day(2026, 12, 5);
        fixtures::record(t.databasePath(), {{1, "Admin", day, QTime(9, 0), "10"}});
        const cash_close::Period period{day, kEight, day, kFour};
        runReport(t.databasePath(), period);
        const QStringList before = fixtures::cajaRows(t.databasePath());
        fixtures::rawSql(t.databasePath(),
                         QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Caja WHEN "
                                        "NEW.Usuario = 'Roto' BEGIN SELECT RAISE(ABORT, 'roto'); END"));
        fixtures::record(t.databasePath(), {{2, "Ana", day, QTime(9, 30), "1"},
                                            {3, "Roto", day, QTime(10, 0), "1"},
                                            {4, "Ana", day, QTime(10, 30), "1"}});
        QVERIFY_THROWS_EXCEPTION(data::DbError, runReport(t.databasePath(), period));
        QCOMPARE(fixtures::cajaRows(t.databasePath()), before);
    }

    void progressReportsAndCanStop() {
        testing::TestPlatform t;
        const QDate day(2026, 12, 5);
        QList<Rental> rentals;
        for (int i = 0; i < 50; ++i) {
            rentals.append({1 + i % 5, "Admin", day, QTime(9, 0).addSecs(i), "1"});
        }
        fixtures::record(t.databasePath(), rentals);

        auto db = data::Database::open(t.databasePath());
        cash_close::CashCloseRun run(*db, QStringLiteral("Admin"));
        QList<int> seen;
        run.setProgress(
            [&](int done, int total) {
                seen << done;
                return total == 50;
            },
            20);
        QCOMPARE(run.run({day, kEight, day, kFour}).grand, 50.0);
        QCOMPARE(seen, QList<int>({0, 20, 40, 50}));

        db->execute(statements::cajaEmpty());
        run.setProgress([](int done, int) { return done < 20; }, 10);
        QVERIFY_THROWS_EXCEPTION(cash_close::RunCancelled, run.run({day, kEight, day, kFour}));
        QVERIFY(!db->inTransaction());
        db->close();
        QVERIFY(fixtures::cajaRows(t.databasePath()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(CashCloseRunTest)
#include "tst_cash_close_run.moc"
