// The room without a window: rentals opened and closed on a real file, every started block
// paid to the cent, the time on the monotonic clock whatever the wall clock does, a write the
// file refuses leaving the station exactly as it was, and the end of a prepaid time on the
// tick of a real timer.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "accounts/Session.h"
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
    QStringList contents() const { return rows("Alquiler") + rows("PuestosAbiertos") + rows("Registro"); }
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
        QTest::newRow("wall clock a day ahead") << 5 << 86400 << "0:0:5 5|0:59:55 10";
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
        for (const char *action : {"open Contador", "open Prepago", "close Contador", "close Prepago"})
            for (const char *fault : {"busy", "open rows refused", "journal refused"})
                QTest::addRow("%s, %s", action, fault) << action << fault;
    }

    void refusedWriteLeavesTheStationAsItWas() {
        QFETCH(QString, action);
        QFETCH(QString, fault);
        Room r(30, 500);
        const bool contador = action.endsWith(u"Contador");
        const auto act = [&] {
            if (action.startsWith(u"close"))
                return r.board.close(0);
            return r.board.open(0, contador ? StationMode::Contador : StationMode::Prepago, 2);
        };
        if (!contador)
            QVERIFY(r.board.chooseMode(0, StationMode::Prepago) && r.board.setBlocks(0, 2));
        if (action.startsWith(u"close")) {
            QVERIFY(act() == false && r.failed.isEmpty()); // not open yet: nothing to close
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
                                   "SELECT RAISE(ABORT, 'disco lleno'); END"),
                     SQLITE_OK);
        } else {
            QCOMPARE(execRaw(path, "CREATE TRIGGER a BEFORE INSERT ON Registro BEGIN SELECT RAISE(ABORT, "
                                   "'registro lleno'); END"),
                     SQLITE_OK);
        }
        QVERIFY(!act());
        QVERIFY(r.board.station(0) == before && !r.board.isExpiring(0) && r.changed.isEmpty());
        QCOMPARE(r.contents(), contents);
        QCOMPARE(r.failed.size(), 1);
        const QString said = r.failed[0][1].toString();
        QVERIFY2(r.failed[0][0].toInt() == 0 && said.contains(QStringLiteral("Puesto 1")) &&
                     said.contains(QStringLiteral("el puesto sigue como estaba")) &&
                     said.contains(fault == u"busy" ? QStringLiteral("ocupada") : QStringLiteral("lleno")),
                 qPrintable(said));

        holder.closeWriteChannel();
        holder.waitForFinished();
        QCOMPARE(execRaw(path, "DROP TRIGGER IF EXISTS a; DROP TRIGGER IF EXISTS b"), SQLITE_OK);
        QVERIFY(act());
        QCOMPARE(r.board.station(0).running, action.startsWith(u"open"));
        QCOMPARE(r.rows("Alquiler").size(), action == u"open Contador" ? 0 : 1);
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
};

QTEST_GUILESS_MAIN(StationBoardTest)
#include "tst_station_board.moc"
