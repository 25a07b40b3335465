// The report run itself: which rentals land in Caja, with which dates, and the two totals.
#include "CashCloseFixtures.h"
#include "TestSupport.h"
#include "cash_close/CashCloseRun.h"
#include "cash_close/Report.h"

#include <QtTest>
#include <sqlite3.h>

namespace {

const QDate kDay(2026, 12, 5);
const cash_close::Period kWorkday{kDay, QTime(8, 0), kDay, QTime(16, 0)};

cash_close::Report runReport(const QString &path, const cash_close::Period &period) {
    auto db = data::Database::open(path);
    return cash_close::CashCloseRun(*db, QStringLiteral("Admin")).run(period);
}

} // namespace

class CashCloseRunTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each copied row keeps its own date; the times cut only the first and the last day.
    void periodLimits_data() {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<double>("total");
        QTest::newRow("across a month end")
            << QDate(2026, 2, 28) << QDate(2026, 3, 3)
            << QStringList{"2026-02-28 08:00:00 Admin 4",  "2026-03-01 03:00:00 Admin 8",
                           "2026-03-02 23:30:00 Admin 16", "2026-03-03 07:59:59 Admin 32",
                           "2026-03-03 08:00:00 Admin 64", "2026-03-03 16:00:00 Admin 128"}
            << 252.0;
        QTest::newRow("one day, both limits kept")
            << QDate(2026, 3, 3) << QDate(2026, 3, 3)
            << QStringList{"2026-03-03 08:00:00 Admin 64", "2026-03-03 16:00:00 Admin 128"} << 192.0;
    }

    void periodLimits() {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QStringList, rows);
        QFETCH(double, total);
        testing::TestPlatform t;
        const auto at = [](int month, int day, QTime time, const char *importe) {
            return fixtures::Rental{1, QStringLiteral("Admin"), QDate(2026, month, day), time, importe};
        };
        fixtures::record(t.databasePath(),
                         {at(2, 27, {12, 0}, "1"), at(2, 28, {7, 59, 59}, "2"), at(2, 28, {8, 0}, "4"),
                          at(3, 1, {3, 0}, "8"), at(3, 2, {23, 30}, "16"), at(3, 3, {7, 59, 59}, "32"),
                          at(3, 3, {8, 0}, "64"), at(3, 3, {16, 0}, "128"), at(3, 3, {16, 0, 1}, "256"),
                          at(3, 4, {9, 0}, "512")});
        const auto totals = runReport(t.databasePath(), {from, QTime(8, 0), to, QTime(16, 0)});
        QCOMPARE(fixtures::cajaRows(t.databasePath()), rows);
        QCOMPARE(totals.totalCents, qint64(total * 100));
        QCOMPARE(totals.operatorCents, qint64(total * 100));
    }

    // A run stopped from another thread (the progress dialog's Cancelar) is rolled back: Caja and
    // the journal stay as the previous run left them. (A failing disk: tst_window_faults.)
    void interruptedRunLeavesCajaAsItWas() {
        testing::TestPlatform t;
        fixtures::record(t.databasePath(), {{1, "Admin", kDay, QTime(9, 0), "10"}});
        runReport(t.databasePath(), kWorkday);
        fixtures::record(t.databasePath(), {{2, "Ana", kDay, QTime(9, 30), "1"}, {4, "Ana", kDay, QTime(10, 30), "1"}});
        const QStringList journalBefore = testing::tableRows(t.databasePath(), "Registro");
        auto db = data::Database::open(t.databasePath());
        // A trigger that runs long enough for the interrupt to land inside the copy.
        sqlite3 *raw = nullptr;
        sqlite3_open(t.databasePath().toUtf8().constData(), &raw);
        QCOMPARE(sqlite3_exec(raw,
                              "CREATE TRIGGER slow AFTER INSERT ON Caja BEGIN SELECT count(*) FROM Alquiler a, "
                              "Alquiler b, Alquiler c, Alquiler d, Alquiler e, Alquiler f, Alquiler g, Alquiler h; END",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(raw);
        fixtures::record(t.databasePath(), QList<fixtures::Rental>(40, {3, "Ana", kDay, QTime(11, 0), "1"}));
        QThread *stopper = QThread::create([&db] {
            QThread::msleep(200);
            db->interrupt();
        });
        stopper->start();
        try {
            cash_close::CashCloseRun(*db, QStringLiteral("Admin")).run(kWorkday);
            QFAIL("the run was not interrupted");
        } catch (const data::DbError &e) {
            QCOMPARE(e.code(), SQLITE_INTERRUPT);
        }
        stopper->wait();
        delete stopper;
        QVERIFY(!db->inTransaction());
        db.reset();
        QCOMPARE(fixtures::cajaRows(t.databasePath()), QStringList{"2026-12-05 09:00:00 Admin 10"});
        QCOMPARE(testing::tableRows(t.databasePath(), "Registro"), journalBefore);
    }
};

QTEST_GUILESS_MAIN(CashCloseRunTest)
#include "tst_cash_close_run.moc"
