// The room without a window: rentals opened and closed on a real file, every started block
// paid to the cent, the time on the monotonic clock whatever the wall clock does, a write the
// file refuses leaving the station exactly as it was, and the end of a prepaid time on the
// tick of a real timer.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "accounts/Session.h"
#include "data/Journal.h"
#include "data/NumberText.h"
#include "stations/StationBoard.h"
#include "stations/StationMath.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {

using stations::StationBoard;
using stations::StationMode;

const QString kInsert = QStringLiteral("INSERT INTO Alquiler (Puesto,Modo,Usuario,Fecha,Hora,Tiempo,Importe) VALUES ");

// A board loaded on a fresh copy of the delivered file, at the given rate, Admin signed in.
struct Room {
    testing::TestPlatform t;
    accounts::Session session;
    StationBoard board{t.clock, session};
    QSignalSpy changed{&board, &StationBoard::stationChanged};
    QSignalSpy failed{&board, &StationBoard::writeFailed};
    QSignalSpy ended{&board, &StationBoard::prepaidEnded};

    explicit Room(qint16 minutos = 30, qint64 cents = 500) {
        if (board.load(t.databasePath()).result != StationBoard::Loaded::Ready)
            qFatal("the board does not load");
        board.setRate({minutos, cents});
        session.signIn(QStringLiteral("Admin"), true);
    }
    void tick(int seconds = 1) {
        t.clock.advance(seconds);
        board.tick();
    }
    bool prepaid(int i, int blocks) {
        return board.chooseMode(i, StationMode::Prepago) && board.setBlocks(i, blocks) &&
               board.open(i, StationMode::Prepago, blocks);
    }
    // What the station's boxes show: "h:m:s amount".
    QString shown(int i) const {
        const stations::Station &s = board.station(i);
        return QStringLiteral("%1:%2:%3 %4").arg(s.hours).arg(s.minutes).arg(s.seconds).arg(amount(i));
    }
    QString amount(int i) const { return numtext::toText(stations::pesosOf(board.station(i).cents)); }
    bool idle(int i) const {
        const stations::Station &s = board.station(i);
        return !s.running && !board.isExpiring(i) && s.mode == StationMode::Contador && shown(i) == "0:0:0 0";
    }
    QStringList rows(const char *table) const { return testing::tableRows(t.databasePath(), QLatin1String(table)); }
    QStringList contents() const {
        return rows("Alquiler") + rows("PuestosAbiertos") + rows("Operaciones") + rows("Registro");
    }
    // The journal's chain holds and the books are what it says.
    bool booksAgree() const {
        const journal::Verification v = journal::verifyFile(t.databasePath());
        return v.ok && v.booksChecked && v.booksAgree();
    }
};

} // namespace

class StationBoardTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    // Every started block is paid; the count restarts at each opening, whatever ran before.
    void blockChargeOverAFullRental_data() {
        QTest::addColumn<int>("minutos");
        QTest::addColumn<qint64>("cents");
        QTest::addColumn<QStringList>("expected"); // amount after 0, 1799, 1800, 3599, 3600, 5445 s
        QTest::newRow("30 for 5") << 30 << qint64(500) << QStringList{"5", "5", "10", "10", "15", "20"};
        QTest::newRow("60 for 10, hour carried")
            << 60 << qint64(1000) << QStringList{"10", "10", "10", "10", "20", "20"};
        QTest::newRow("free rate") << 0 << qint64(0) << QStringList{"0", "0", "0", "0", "0", "0"};
        // Tenths and hundredths are not exact in binary: 3 x 0.1 and 5 x 19.99 in pesos leave a
        // residue that the screen's rounding hides and the record would keep.
        QTest::newRow("45 for 0.1") << 45 << qint64(10) << QStringList{"0.1", "0.1", "0.1", "0.2", "0.2", "0.3"};
        QTest::newRow("20 for 19.99") << 20 << qint64(1999)
                                      << QStringList{"19.99", "39.98", "39.98", "59.97", "79.96", "99.95"};
    }

    void blockChargeOverAFullRental() {
        QFETCH(int, minutos);
        QFETCH(qint64, cents);
        QFETCH(QStringList, expected);
        Room r(static_cast<qint16>(minutos), cents);
        r.session.signIn(QStringLiteral("O'Brien"), false);
        QVERIFY(r.board.open(1, StationMode::Contador, 1)); // an earlier, shorter rental leaves no count behind
        r.tick(17 * 60 + 5);
        QVERIFY(r.board.close(1) && r.board.open(1, StationMode::Contador, 1));
        QStringList got{r.amount(1)};
        for (int step : {1799, 1, 1799, 1, 30 * 60 + 45}) {
            r.tick(step);
            got << r.amount(1);
        }
        QCOMPARE(got, expected);
        QVERIFY(r.board.close(1));
        QCOMPARE(testing::recordedAmount(r.t.databasePath()),
                 testing::amountToTheCent(r.t.databasePath(), expected.last(), 2));
        QCOMPARE(r.board.sqlText(),
                 kInsert + "(2, 'Contador','O''Brien',#5/Dec/2026#,#15:52:59#,#1:30#," + expected.last() + ')');
        QVERIFY(r.idle(1) && r.failed.isEmpty());
    }

    // A station's time is the monotonic clock's: late ticks catch up to the second, and a change
    // of the wall clock changes nothing.
    void clockJumps_data() {
        QTest::addColumn<int>("monotonic"); // seconds the monotonic clock moves
        QTest::addColumn<int>("wall");      // seconds the wall clock moves
        QTest::addColumn<QString>("shown"); // station 1 (Contador), station 2 (two prepaid blocks)
        QTest::newRow("20 s late") << 20 << 20 << "0:0:20 5|0:59:40 10";
        QTest::newRow("3 h late") << 3 * 3600 << 3 * 3600 << "3:0:0 35|ended";
        QTest::newRow("wall clock an hour back") << 5 << -3600 << "0:0:5 5|0:59:55 10";
    }

    void clockJumps() {
        QFETCH(int, monotonic);
        QFETCH(int, wall);
        QFETCH(QString, shown);
        Room r(30, 500);
        QVERIFY(r.board.open(0, StationMode::Contador, 1) && r.prepaid(1, 2));
        r.t.clock.monotonic += monotonic * 1000LL;
        r.t.clock.now = r.t.clock.now.addSecs(wall);
        r.board.tick();
        const QString second = r.board.isExpiring(1) ? QStringLiteral("ended") : r.shown(1);
        QCOMPARE(r.shown(0) + u'|' + second, shown);
    }

    // Each way of opening and closing, against a file that refuses it: a write lock held by
    // another program, the open stations' table and the journal refusing their rows. The
    // station stays exactly as it was, nothing of the change is in the file, and the failure
    // names the station and the cause; once the file takes it, the same command goes through.
    void refusedWriteLeavesTheStationAsItWas_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("fault");
        for (const char *action :
             {"open Contador", "open Prepago", "close Contador", "close Prepago", "add blocks Prepago",
              "courtesy Prepago", "discount Contador", "cancel Prepago", "move Contador"})
            for (const char *fault : {"busy", "open rows refused", "journal refused"})
                QTest::addRow("%s, %s", action, fault) << action << fault;
    }

    void refusedWriteLeavesTheStationAsItWas() {
        QFETCH(QString, action);
        QFETCH(QString, fault);
        Room r(30, 500);
        const bool contador = action.endsWith(u"Contador");
        const stations::Approval approval{QStringLiteral("Admin"), QStringLiteral("falla de la consola")};
        const auto act = [&] {
            const stations::Target running{0, r.board.station(0).openedUtc};
            if (action.startsWith(u"close"))
                return r.board.close(0);
            if (action.startsWith(u"add"))
                return r.board.addBlocks(running, 1).done;
            if (action.startsWith(u"courtesy"))
                return r.board.giveCourtesy(running, 10, approval).done;
            if (action.startsWith(u"discount"))
                return r.board.giveDiscount(running, 100, approval).done;
            if (action.startsWith(u"cancel"))
                return r.board.cancel(running, approval).done;
            if (action.startsWith(u"move"))
                return r.board.move(running, 4).done;
            return r.board.open(0, contador ? StationMode::Contador : StationMode::Prepago, 2);
        };
        const bool opens = action.startsWith(u"open");
        if (!contador)
            QVERIFY(r.board.chooseMode(0, StationMode::Prepago) && r.board.setBlocks(0, 2));
        if (!opens) {
            QVERIFY(act() == false && r.failed.isEmpty()); // not open yet: nothing to act on
            QVERIFY(r.board.open(0, contador ? StationMode::Contador : StationMode::Prepago, 2));
            r.tick(125);
        }
        const stations::Station before = r.board.station(0);
        const QStringList contents = r.contents();
        r.changed.clear();
        const QString path = r.t.databasePath();
        QProcess holder; // another program, holding the write lock until its input ends
        if (fault == u"busy") {
            holder.start(QStringLiteral("sqlite3"), {path});
            holder.write("BEGIN IMMEDIATE;\nSELECT 'held';\n");
            QVERIFY(holder.waitForReadyRead(10000));
        } else if (fault == u"open rows refused") {
            QCOMPARE(execRaw(path, "CREATE TRIGGER a BEFORE INSERT ON PuestosAbiertos BEGIN SELECT RAISE(ABORT, "
                                   "'disco lleno'); END; CREATE TRIGGER b BEFORE DELETE ON PuestosAbiertos BEGIN "
                                   "SELECT RAISE(ABORT, 'disco lleno'); END; CREATE TRIGGER c BEFORE UPDATE ON "
                                   "PuestosAbiertos BEGIN SELECT RAISE(ABORT, 'disco lleno'); END"),
                     SQLITE_OK);
        } else {
            QCOMPARE(execRaw(path, "CREATE TRIGGER a BEFORE INSERT ON Registro BEGIN SELECT RAISE(ABORT, "
                                   "'registro lleno'); END"),
                     SQLITE_OK);
        }
        QVERIFY(!act());
        QVERIFY(r.board.station(0) == before && !r.board.isExpiring(0) && r.changed.isEmpty() && r.idle(4));
        QCOMPARE(r.contents(), contents);
        QCOMPARE(r.failed.size(), 1);
        const QString said = r.failed[0][1].toString();
        QVERIFY2(
            r.failed[0][0].toInt() == (action.startsWith(u"move") ? 4 : 0) &&
                said.contains(action.startsWith(u"move") ? QStringLiteral("Puesto 5") : QStringLiteral("Puesto 1")) &&
                said.contains(QStringLiteral("el puesto sigue como estaba")) &&
                said.contains(fault == u"busy" ? QStringLiteral("ocupada") : QStringLiteral("lleno")),
            qPrintable(said));

        holder.closeWriteChannel();
        holder.waitForFinished();
        QCOMPARE(execRaw(path, "DROP TRIGGER IF EXISTS a; DROP TRIGGER IF EXISTS b; DROP TRIGGER IF EXISTS c"),
                 SQLITE_OK);
        QVERIFY(act());
        QCOMPARE(r.board.station(0).running,
                 !action.startsWith(u"close") && !action.startsWith(u"cancel") && !action.startsWith(u"move"));
        const QHash<QString, qsizetype> recorded{{"open Contador", 0},     {"add blocks Prepago", 2},
                                                 {"cancel Prepago", 2},    {"courtesy Prepago", 1},
                                                 {"discount Contador", 0}, {"move Contador", 0}};
        QCOMPARE(r.rows("Alquiler").size(), recorded.value(action, 1));
        QVERIFY(r.booksAgree());
    }

    // The tick of a real timer ends two prepaid times on the same second, in station order. The
    // ending stations then sit the ticks out, and refuse to close, until the operator has read
    // each end; a Contador neighbour counts on. Each end removes its open row, with its entry.
    void prepaidEndsOnTheTick() {
        Room r(2, 100);
        QVERIFY(r.prepaid(3, 1) && r.prepaid(1, 1) && r.board.open(0, StationMode::Contador, 1));
        QTimer timer;
        connect(&timer, &QTimer::timeout, &r.board, &StationBoard::tick);
        timer.start(5);
        r.t.clock.advance(120);
        QTRY_COMPARE(r.shown(1), QStringLiteral("0:0:0 1"));
        QVERIFY(r.ended.isEmpty());
        r.t.clock.advance(1); // 0:0:0 ends on the tick after
        QTRY_COMPARE(r.ended.size(), 2);
        QCOMPARE(r.ended[0][0].toInt(), 1);
        QCOMPARE(r.ended[1][0].toInt(), 3);
        const stations::Station waiting = r.board.station(1);
        r.t.clock.advance(3);
        QTRY_COMPARE(r.board.station(0).secondsDone, 124);
        QVERIFY(r.board.station(1) == waiting && r.board.isExpiring(1));
        QVERIFY(!r.board.close(3) && !r.board.open(3, StationMode::Contador, 1) && r.failed.isEmpty());
        r.board.acknowledgeEnd(1);
        QVERIFY(r.idle(1) && r.board.isExpiring(3) && r.board.station(3).running);
        r.board.acknowledgeEnd(3);
        QVERIFY(r.idle(3));
        QCOMPARE(r.ended.size(), 2);
        QCOMPARE(r.rows("Alquiler").size(), 2); // the openings only
        QCOMPARE(r.rows("PuestosAbiertos").size(), 1);
        QCOMPARE(testing::journal(r.t.databasePath(), "Evento, Puesto").filter("Prepago terminado"),
                 (QStringList{"Prepago terminado|2", "Prepago terminado|4"}));
    }

    // Paused time is never billed: a Contador pauses across its block's edge, a prepaid time across
    // its end; each goes on from where it stood when resumed, and closes with the time it ran.
    void pausedTimeIsNeverBilled() {
        Room r(60, 1000);
        QVERIFY(r.board.open(0, StationMode::Contador, 1) && r.prepaid(1, 1));
        r.tick(3590);
        QVERIFY(r.board.pause(0) && r.board.pause(1));
        QVERIFY(!r.board.pause(0) && !r.board.resume(2) && r.failed.isEmpty());
        r.tick(2 * 3600);
        QCOMPARE(r.shown(0) + u'|' + r.shown(1), QStringLiteral("0:59:50 10|0:0:10 10"));
        QCOMPARE(r.ended.count(), 0);
        QVERIFY(r.board.resume(0) && r.board.resume(1));
        r.tick(9);
        QCOMPARE(r.shown(0) + u'|' + r.shown(1), QStringLiteral("0:59:59 10|0:0:1 10"));
        r.tick(2);
        QCOMPARE(r.shown(0), QStringLiteral("1:0:1 20"));
        QCOMPARE(r.ended.count(), 1);
        // A paused station closes at what it had when paused.
        QVERIFY(r.board.pause(0));
        r.tick(600);
        QVERIFY(r.board.close(0));
        QCOMPARE(r.rows("Alquiler").constFirst().section(u'|', 5), QStringLiteral("01:00:00|20"));
        const QStringList events = testing::journal(r.t.databasePath(), QStringLiteral("Evento, Detalle"));
        QVERIFY2(events.contains("Puesto pausado|Modo=Contador; Tiempo=0:59:50; Apertura=2026-12-05T17:05:09Z") &&
                     events.contains("Puesto reanudado|Modo=Prepago; Quedan=0:00:10; Apertura=2026-12-05T17:05:09Z"),
                 qPrintable(events.join(u'\n')));
    }

    // A pause outlives the program: a station paused when it stopped comes back paused with the
    // time it had run, however long the program was down; one resumed comes back without the time
    // it stood paused. All stations pause and resume together in one transaction.
    void pausesComeBackAfterARestart() {
        Room r(60, 1000);
        QVERIFY(r.board.open(0, StationMode::Contador, 1) && r.board.open(2, StationMode::Contador, 1));
        r.tick(100);
        QVERIFY(r.board.pauseAll());
        QCOMPARE(testing::journal(r.t.databasePath(), QStringLiteral("Evento")).last(2),
                 (QStringList{"Puesto pausado", "Puesto pausado"}));
        r.tick(500);
        QVERIFY(r.board.resume(2));
        r.tick(20);
        r.board.shutDown();
        r.t.clock.advance(3600); // the program is down an hour
        StationBoard again{r.t.clock, r.session};
        QVERIFY(again.load(r.t.databasePath()).result == StationBoard::Loaded::Ready);
        again.restore();
        r.t.clock.advance(30);
        again.tick();
        const auto shown = [&again](int i) {
            const stations::Station &s = again.station(i);
            return QStringLiteral("%1:%2:%3%4")
                .arg(s.hours)
                .arg(s.minutes)
                .arg(s.seconds)
                .arg(s.paused() ? " paused" : "");
        };
        // Station 3 was running while the program was down: that hour counts, its pause does not.
        QCOMPARE(shown(0) + u'|' + shown(2), QStringLiteral("0:1:40 paused|1:2:30"));
        QVERIFY(again.resumeAll());
        r.t.clock.advance(20);
        again.tick();
        QCOMPARE(shown(0), QStringLiteral("0:2:0"));
    }

    // A prepaid rental extended while it runs and while it is paused counts down to its new end;
    // the books and the journal agree.
    void extendedPrepaidCountsToItsNewEnd() {
        Room r(30, 1000);
        QVERIFY(r.prepaid(0, 1));
        const stations::Target rental{0, r.board.station(0).openedUtc};
        r.tick(1790);
        QVERIFY(r.board.addBlocks(rental, 2).done);
        QCOMPARE(r.shown(0), QStringLiteral("1:0:10 30"));
        QVERIFY(r.board.pause(0));
        QVERIFY(r.board.giveCourtesy(rental, 5, {QStringLiteral("Admin"), QStringLiteral(" se colgó ")}).done);
        r.tick(600);
        QCOMPARE(r.shown(0), QStringLiteral("1:5:10 30"));
        // (The same after a restart: tst_restore, kills after each operation.)
        QVERIFY(r.board.resume(0));
        r.tick(3910);
        QVERIFY(r.ended.isEmpty());
        r.tick();
        QCOMPARE(r.ended.size(), 1);
        QStringList rows = r.rows("Alquiler").replaceInStrings(QRegularExpression("\\|2026[^|]*\\|[^|]*\\|"), "|");
        rows.sort();
        QCOMPARE(rows, (QStringList{"1|Prepago (agregado)|Admin|01:00:00|20", "1|Prepago|Admin|00:30:00|10"}));
        QCOMPARE(r.rows("Operaciones").replaceInStrings(QRegularExpression("^[^|]*\\|[^|]*\\|"), {}),
                 (QStringList{"1|Bloques agregados|Admin||60|20|", "1|Cortesía|Admin|Admin|5|0|se colgó"}));
        QVERIFY(r.booksAgree());
    }

    // A rental moved to an idle station goes on there, paused as it was; it is recorded once, by
    // the station where it ended. (After a restart: tst_restore.)
    void movedRentalGoesOnAtItsNewStation() {
        Room r(30, 500);
        QVERIFY(r.board.open(0, StationMode::Contador, 1) && r.board.open(1, StationMode::Contador, 1));
        r.tick(100);
        QVERIFY(r.board.pause(0));
        const stations::Target rental{0, r.board.station(0).openedUtc};
        QVERIFY(r.board.move(rental, 2).done);
        QVERIFY(r.idle(0));
        QCOMPARE(r.shown(2) + (r.board.station(2).paused() ? " paused" : ""), QStringLiteral("0:1:40 5 paused"));
        QVERIFY(r.board.resume(2) && r.board.close(2) && r.board.close(1));
        QCOMPARE(r.rows("Alquiler").replaceInStrings(QRegularExpression("\\|Admin\\|.*"), {}),
                 (QStringList{"2|Contador", "3|Contador"}));
        QVERIFY(testing::journal(r.t.databasePath(), "Evento, Puesto, Detalle")
                    .contains("Puesto movido|3|Desde=Puesto 1; Hacia=Puesto 3; Modo=Contador; Tiempo=0:01:40; "
                              "Apertura=2026-12-05T17:05:09Z"));
        QVERIFY(r.booksAgree());
    }

    // What an operation is refused for: nothing changes, nothing is written, and it says why.
    void operationsRefused_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("said");
        const char *table[][3] = {
            {"no blocks", "add 0", "de 1 a 24 bloques"},
            {"25 blocks", "add 25", "de 1 a 24 bloques"},
            {"blocks past 240", "add 24 x10", "hasta 240 en todo"},
            {"blocks to a Contador", "add 1 Contador", "Solo se agregan bloques"},
            {"no courtesy", "courtesy 0", "de 1 a 120 minutos"},
            {"courtesy too long", "courtesy 121", "de 1 a 120 minutos"},
            {"courtesy, no reason", "courtesy 5 blank", "Escriba el motivo"},
            {"courtesy to a Contador", "courtesy 5 Contador", "se le hace un descuento"},
            {"discount to a prepaid", "discount 1", "se le da tiempo"},
            {"discount above the amount", "discount 501 Contador", "lo que lleva el Puesto 1"},
            {"cancel, no reason", "cancel blank", "Escriba el motivo"},
            {"moved to itself", "move 0", "Elija otro puesto"},
            {"moved to a busy one", "move 1", "El Puesto 2 está ocupado"},
            {"another rental meanwhile", "cancel stale", "ya no estaba en curso"},
        };
        for (const auto &r : table)
            QTest::newRow(r[0]) << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2]);
    }

    void operationsRefused() {
        QFETCH(QString, operation);
        QFETCH(QString, said);
        Room r(30, 500);
        const QStringList words = operation.split(u' ');
        const int amount = words.value(1).toInt();
        QVERIFY(operation.endsWith(u"Contador") ? r.board.open(0, StationMode::Contador, 1) : r.prepaid(0, 1));
        QVERIFY(r.board.open(1, StationMode::Contador, 1));
        const stations::Target rental{0, operation.endsWith(u"stale") ? QStringLiteral("2026-12-05T17:00:00Z")
                                                                      : r.board.station(0).openedUtc};
        for (int i = 1; operation.endsWith(u"x10") && i < 10; ++i)
            QVERIFY(r.board.addBlocks(rental, 24).done || i == 9);
        r.tick(30);
        const stations::Station before = r.board.station(0);
        const QStringList contents = r.contents();
        const stations::Approval approval{"Admin", operation.contains(u"blank") ? QStringLiteral(" ") : "avería"};
        stations::Change change;
        if (words[0] == u"add")
            change = r.board.addBlocks(rental, amount);
        else if (words[0] == u"courtesy")
            change = r.board.giveCourtesy(rental, amount, approval);
        else if (words[0] == u"discount")
            change = r.board.giveDiscount(rental, amount, approval);
        else if (words[0] == u"cancel")
            change = r.board.cancel(rental, approval);
        else
            change = r.board.move(rental, amount);
        QVERIFY2(!change.done && change.refusal.contains(said), qPrintable(change.refusal));
        QVERIFY(r.board.station(0) == before && r.failed.isEmpty());
        QCOMPARE(r.contents(), contents);
    }

    // Cancellations and discounts keep the books exact: the takings are the plain sum of the
    // period's rows, the refund included, and a cancelled Contador charges nothing.
    void correctionsKeepTheTotalsExact() {
        Room r(30, 1000);
        const stations::Approval approval{QStringLiteral("Admin"), QStringLiteral("abrió el puesto equivocado")};
        QVERIFY(r.prepaid(0, 2) && r.board.open(1, StationMode::Contador, 1) &&
                r.board.open(2, StationMode::Contador, 1));
        QVERIFY(r.board.addBlocks({0, r.board.station(0).openedUtc}, 23).done); // 25 blocks in all
        r.tick(1800);
        QVERIFY(r.board.giveDiscount({1, r.board.station(1).openedUtc}, 550, approval).done);
        const std::optional<stations::Checkout> quote = r.board.quoteClose(1);
        QVERIFY(quote && quote->cents == 1450 && quote->discountCents == 550);
        QVERIFY(r.board.close(*quote));
        QVERIFY(r.board.cancel({0, r.board.station(0).openedUtc}, approval).done);
        QVERIFY(r.board.cancel({2, r.board.station(2).openedUtc}, approval).done);
        QVERIFY(r.idle(0) && r.idle(2) && r.rows("PuestosAbiertos").isEmpty());
        QStringList rows = r.rows("Alquiler").replaceInStrings(QRegularExpression("\\|Admin\\|[^|]*\\|[^|]*"), {});
        rows.sort();
        QCOMPARE(rows, (QStringList{"1|Anulación|12:30:00|-250", "1|Prepago (agregado)|11:30:00|230",
                                    "1|Prepago|01:00:00|20", "2|Contador|00:30:00|14.5"}));
        rows = r.rows("Operaciones").replaceInStrings(QRegularExpression("^[^|]*\\|[^|]*\\||\\|abrió.*"), {});
        rows.sort();
        QCOMPARE(rows, (QStringList{"1|Anulación|Admin|Admin|30|250", "1|Bloques agregados|Admin||690|230|",
                                    "2|Descuento|Admin|Admin|0|5.5", "3|Anulación|Admin|Admin|30|20"}));
        QCOMPARE(testing::tableRows(r.t.databasePath(), "(SELECT SUM(Importe) FROM Alquiler)"), QStringList{"14.5"});
        QVERIFY(r.booksAgree());
        // A cancellation struck from the list beside the totals does not go unnoticed.
        QCOMPARE(execRaw(r.t.databasePath(), "DELETE FROM Operaciones WHERE Puesto = 3"), SQLITE_OK);
        QVERIFY(!r.booksAgree());
        // The button opens the next rental with the scroll bar's value, back in its range.
        QVERIFY(r.board.open(0, StationMode::Contador, r.board.station(0).blocks));
    }
};

QTEST_GUILESS_MAIN(StationBoardTest)
#include "tst_station_board.moc"
