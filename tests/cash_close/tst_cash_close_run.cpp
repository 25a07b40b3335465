// The report run itself: which rentals land in Caja, with which dates, the totals in exact
// cents, the subtotals, and what an interrupted run leaves.
#include "CashCloseFixtures.h"
#include "SqliteFile.h"
#include "TestSupport.h"
#include "cash_close/CashCloseRun.h"
#include "cash_close/Report.h"

#include <QRandomGenerator>
#include <QtTest>
#include <array>

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

    // Totals in exact cents, whatever the amounts and the locale, against an independent sum;
    // subtotals against the engine's own grouping of the same rows. (How the window writes a
    // total, whole and without an exponent: tst_form_caja, tst_captions.)
    void exactTotals_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("amounts"); // "count x amount" or "random"
        const std::array<const char *, 3> rows[] = {
            {"3000 at 2.3", "es_AR", "3000 x 2.3"},     {"100000 at 0.1", "C", "100000 x 0.1"},
            {"10^15", "de_DE", "1 x 1000000000000000"}, {"random, comma", "es_AR", "random"},
            {"random, point", "en_US", "random"},       {"random, German", "de_DE", "random"},
        };
        for (const auto &r : rows)
            QTest::newRow(r[0]) << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2]);
    }

    void exactTotals() {
        QFETCH(QString, locale);
        QFETCH(QString, amounts);
        QLocale::setDefault(QLocale(locale));
        testing::TestPlatform t;
        QList<fixtures::Rental> rentals;
        qint64 expected = 0;
        QRandomGenerator random(7);
        const QStringList users{"Admin", "Ana", "ana", "Ñandú"};
        const int count = amounts == u"random" ? 500 : amounts.section(u' ', 0, 0).toInt();
        for (int i = 0; i < count; ++i) {
            const qint64 cents = amounts == u"random" ? random.bounded(1, 5000000)
                                                      : std::llround(amounts.section(u' ', 2).toDouble() * 100);
            expected += cents;
            rentals.append({1 + i % 5, users[i % 4], kDay, QTime(9, 0).addSecs(i % 20000),
                            QString::number(double(cents) / 100, 'f', 2)});
        }
        fixtures::record(t.databasePath(), rentals);
        const cash_close::Report r = runReport(t.databasePath(), {kDay, QTime(0, 0), kDay, QTime(23, 59, 59)});
        QCOMPARE(r.totalCents, expected);
        QCOMPARE(r.rows.size(), count);
        // Each subtotal against SQL's own grouping of the rows in Caja.
        auto db = data::Database::open(t.databasePath());
        const auto grouped = [&db](const char *column, const QString &key) {
            return db->openRecordset(
                QStringLiteral("SELECT SUM(CAST(round(Importe * 100) AS INTEGER)) AS c, "
                               "COUNT(*) AS n FROM Caja WHERE %1 = '%2'")
                    .arg(QLatin1String(column), QString(key).replace(u'\'', QStringLiteral("''"))));
        };
        const std::pair<const char *, const QVector<cash_close::Subtotal> *> groups[] = {{"Usuario", &r.byOperator},
                                                                                         {"Modo", &r.byMode}};
        for (const auto &[column, list] : groups)
            for (const cash_close::Subtotal &s : *list) {
                auto rs = grouped(column, s.key);
                QCOMPARE(s.cents, rs.field("c").toLongLong());
                QCOMPARE(s.rentals, rs.field("n").toInt());
            }
        for (const cash_close::Subtotal &s : r.byStation) {
            auto rs = grouped("Puesto", s.key.section(u' ', 1));
            QCOMPARE(s.cents, rs.field("c").toLongLong());
        }
        QCOMPARE(r.byOperator.size(), qMin(count, 4)); // every operator of the period, "Ana" and "ana" apart
        QLocale::setDefault(QLocale::c());
    }

    // Added blocks, refunds and the counter's operations, in and out of the workday: the total is
    // the plain sum of Alquiler's rows of the period, reversing rows included; only rentals of
    // their own are counted; the operations are summed by kind. The same through the run, through
    // the command line's reading, and from older books without the Operaciones table.
    void operationsInTheBooks_data() {
        QTest::addColumn<QString>("reader");
        QTest::newRow("run") << "run";
        QTest::newRow("from Alquiler") << "read";
        QTest::newRow("books before operations") << "old";
    }

    void operationsInTheBooks() {
        QFETCH(QString, reader);
        testing::TestPlatform t;
        const QString path = t.databasePath();
        const QString added = QStringLiteral("Prepago (agregado)"), voided = QStringLiteral("Anulación");
        fixtures::record(
            path, QList<fixtures::Rental>{{1, "Ana", kDay, QTime(7, 59, 59), "10", "1", "Prepago"},
                                          {1, "Ana", kDay, QTime(9, 0), "20", "1", "Prepago"},
                                          {1, "Ana", kDay, QTime(9, 30), "10", "0", added},
                                          {2, "Admin", kDay, QTime(10, 0), "7.5"}, // a Contador, net of its discount
                                          {3, "Admin", kDay, QTime(11, 0), "30", "1", "Prepago"},
                                          {3, "Admin", kDay, QTime(11, 5), "-30", "0", voided},
                                          {1, "Ana", kDay, QTime(16, 0, 1), "10", "0", added},
                                          {4, "Ana", kDay.addDays(-1), QTime(12, 0), "-10", "0", voided}});
        fixtures::record(
            path, QList<fixtures::Op>{{kDay, QTime(7, 0), "Cortesía", "Ana", "Admin", 10, "0", "antes"},
                                      {kDay, QTime(9, 30), "Bloques agregados", "Ana", "", 30, "10", ""},
                                      {kDay, QTime(9, 45), "Cortesía", "Ana", "Admin", 15, "0", "se colgó"},
                                      {kDay, QTime(10, 0), "Descuento", "Admin", "Admin", 0, "2.5", "frecuente"},
                                      {kDay, QTime(10, 20), "Anulación", "Ana", "Admin", 20, "12.5", "abierto mal"},
                                      {kDay, QTime(11, 5), "Anulación", "Admin", "Admin", 5, "30", "cobrado mal"},
                                      {kDay, QTime(16, 0, 1), "Bloques agregados", "Ana", "", 30, "10", "después"}});
        if (reader == u"old")
            QCOMPARE(execRaw(path, "DROP TABLE Operaciones"), SQLITE_OK);
        cash_close::Report r;
        if (reader == u"run") {
            r = runReport(path, kWorkday);
        } else {
            auto db = data::Database::open(path, {.readOnly = true});
            r = cash_close::reportFromRentals(*db, kWorkday, QStringLiteral("Admin"), {});
        }
        const auto sum = data::Database::open(path)->openRecordset(
            "SELECT SUM(CAST(round(Importe * 100) AS INTEGER)) AS c FROM Alquiler WHERE Fecha = '2026-12-05' AND Hora "
            "BETWEEN '08:00:00' AND '16:00:00'");
        QCOMPARE(r.totalCents, sum.field("c").toLongLong());
        QCOMPARE(r.totalCents, 3750);
        QCOMPARE(r.rentals, 3);
        QStringList modes, kinds;
        for (const cash_close::Subtotal &m : r.byMode)
            modes << QStringLiteral("%1 %2 %3").arg(m.key).arg(m.cents).arg(m.rentals);
        QCOMPARE(modes,
                 QStringList({"Contador 750 1", "Prepago 5000 2", "Prepago (agregado) 1000 0", "Anulación -3000 0"}));
        QCOMPARE(r.byStation[0].rentals + r.byStation[2].rentals, 2);
        for (const cash_close::OperationTotal &k : r.byOperation)
            kinds << QStringLiteral("%1 %2 %3 %4").arg(k.tipo).arg(k.count).arg(k.minutes).arg(k.cents);
        QCOMPARE(kinds, reader == u"old" ? QStringList()
                                         : QStringList({"Bloques agregados 1 30 1000", "Cortesía 1 15 0",
                                                        "Descuento 1 0 250", "Anulación 2 25 4250"}));
        QCOMPARE(r.operations.size(), reader == u"old" ? 0 : 5);
        if (reader == u"run") {
            QCOMPARE(r.operations.last().motivo, QStringLiteral("cobrado mal"));
            QVERIFY(testing::journal(path, "Detalle").last().contains(QStringLiteral("; Alquileres=3; Total=37.50;")));
        }
    }

    // A run stopped from another thread (the progress dialog's Cancelar) is rolled back: Caja and
    // the journal stay as the previous run left them. (A failing disk: tst_window_faults.)
    void interruptedRunLeavesCajaAsItWas() {
        testing::TestPlatform t;
        fixtures::record(t.databasePath(), {{1, "Admin", kDay, QTime(9, 0), "10"}});
        runReport(t.databasePath(), kWorkday);
        fixtures::record(t.databasePath(), {{2, "Ana", kDay, QTime(9, 30), "1"}, {4, "Ana", kDay, QTime(10, 30), "1"}});
        auto db = data::Database::open(t.databasePath());
        // A trigger that runs long enough for the interrupt to land inside the copy.
        QCOMPARE(execRaw(t.databasePath(), "CREATE TRIGGER slow AFTER INSERT ON Caja BEGIN SELECT count(*) FROM "
                                           "Alquiler a, Alquiler b, Alquiler c, Alquiler d, Alquiler e, Alquiler f, "
                                           "Alquiler g, Alquiler h; END"),
                 SQLITE_OK);
        fixtures::record(t.databasePath(), QList<fixtures::Rental>(40, {3, "Ana", kDay, QTime(11, 0), "1"}));
        const QStringList journalBefore = testing::tableRows(t.databasePath(), "Registro");
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
