// The station logic on its own, without widgets: the prepaid split for every rate, the block
// count at its limits, the one-second step, catching up missed seconds, reading back open
// stations (their restore: tst_restore), and the production alarm player on bad input.
#include "TestSupport.h"
#include "data/NumberText.h"
#include "stations/OpenStations.h"
#include "stations/StationMath.h"
#include "stations/StationModel.h"
#include "stations/StationTypes.h"
#include "ui/SystemPlatform.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

namespace {

using stations::Station;
using stations::StationMode;

QString shown(const Station &s) {
    return QStringLiteral("%1:%2:%3 %4").arg(s.hours).arg(s.minutes).arg(s.seconds).arg(s.cents);
}

// A station opened at monotonic time 0 with the given rate; prepaid with `blocks` when > 0.
Station opened(qint16 minutos, qint64 cents, int blocks = 0) {
    Station s;
    const stations::Rate rate{minutos, cents};
    if (blocks > 0) {
        stations::choosePrepago(s, rate);
        stations::setBlocks(s, blocks, rate);
    }
    stations::openStation(s, rate, 0, QStringLiteral("2026-12-05T17:05:09Z"));
    return s;
}

// A PuestosAbiertos result set of one row, from "column=value" pairs.
data::Recordset openRow(const QStringList &cells) {
    QStringList columns;
    QVector<QVariant> row;
    for (const QString &cell : cells) {
        columns << cell.section(u'=', 0, 0);
        const QString value = cell.section(u'=', 1);
        row << (value == u"NULL" ? QVariant() : QVariant(value));
    }
    return data::Recordset(columns, {row});
}

} // namespace

class StationMathTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The carry as the shop has always done it, in 16 bits; where it stays >= 0 the split
    // must give exactly its result, and everywhere the invariant must hold.
    void prepaidSplitForEveryRateAndBlockCount() {
        for (int rate = 0; rate <= stations::kMaxRateMinutes; ++rate) {
            for (int v = 1; v <= stations::kMaxBlocks; ++v) {
                const stations::PrepaidTime got = stations::prepaidSplit(static_cast<qint16>(rate), v);
                auto total = static_cast<qint16>(rate * v);
                int hours = 0;
                for (; total > rate; ++hours)
                    total = static_cast<qint16>(total - 60);
                const QByteArray where = QByteArray::number(rate) + " x " + QByteArray::number(v);
                QVERIFY2(got.hours * 60 + got.minutes == rate * v && got.minutes >= 0 && got.hours >= 0, where);
                QVERIFY2(total < 0 || (got.hours == hours && got.minutes == total), where);
            }
        }
    }

    void blockCountStaysInside16Bits() {
        // A free rate (0 minutes) never charges and never counts up to an overflow.
        stations::BlockCount c;
        for (int minute = 0; minute < 40000; ++minute) {
            c = stations::countMinute(c.blockMinutes, 0);
            QVERIFY(!c.charge);
        }
        QCOMPARE(c.blockMinutes, qint16(0));
        // A count left above the rate is charged and restarted rather than run past 32767.
        c = stations::countMinute(40, 30);
        QVERIFY(c.charge && c.blockMinutes == 0);
    }

    void stepBoundaries_data() {
        QTest::addColumn<QString>("walk"); // direction, start, after one second
        for (const char *walk : {"up 0:0:59 0:1:0", "up 0:59:59 1:0:0", "up 24:59:59 25:0:0", "down 1:0:0 0:59:59",
                                 "down 0:1:0 0:0:59", "down 0:60:0 0:59:59", "down 0:0:1 0:0:0"})
            QTest::newRow(walk) << QString::fromLatin1(walk);
    }

    void stepBoundaries() {
        QFETCH(QString, walk);
        const QStringList parts = walk.split(u' ');
        const QStringList hms = parts[1].split(u':');
        Station s = opened(30, 500, parts[0] == u"down" ? 1 : 0);
        s.hours = hms[0].toInt();
        s.minutes = hms[1].toInt();
        s.seconds = hms[2].toInt();
        QVERIFY(!stations::stepSecond(s)); // 0:0:0 ends only on the next second
        QCOMPARE(shown(s).section(u' ', 0, 0), parts[2]);
    }

    // Seconds caught up in jumps of any size land exactly where one step a second lands: the
    // same time, the same blocks charged, the same colour, the prepaid end on the same second.
    void catchUpEqualsEverySecond_data() {
        QTest::addColumn<int>("minutos");
        QTest::addColumn<qint64>("cents");
        QTest::addColumn<int>("blocks"); // 0: Contador
        QTest::newRow("contador 30 for 5") << 30 << qint64(500) << 0;
        QTest::newRow("contador free") << 0 << qint64(0) << 0;
        QTest::newRow("prepago 2 x 60") << 60 << qint64(1000) << 2;
        QTest::newRow("prepago 1 x 1") << 1 << qint64(100) << 1;
    }

    void catchUpEqualsEverySecond() {
        QFETCH(int, minutos);
        QFETCH(qint64, cents);
        QFETCH(int, blocks);
        Station ticked = opened(static_cast<qint16>(minutos), cents, blocks);
        Station jumped = ticked;
        QRandomGenerator random(minutos * 100 + blocks);
        qint64 now = 0;
        int endedAt = -1;
        for (int second = 1; second <= 4 * 3600 && endedAt < 0; ++second) {
            if (stations::stepSecond(ticked))
                endedAt = second;
            if (random.bounded(100) < 3 || endedAt > 0) {
                now = qint64(second) * 1000 + random.bounded(1000);
                const stations::CatchUp c = stations::catchUp(jumped, now);
                QCOMPARE(c.ended, endedAt > 0);
                QCOMPARE(shown(jumped), shown(ticked));
                QCOMPARE(jumped.flash, ticked.flash);
                QCOMPARE(jumped.blocksCharged, ticked.blocksCharged);
            }
        }
        if (blocks > 0) // the amounts themselves: tst_stations' full rentals
            QCOMPARE(endedAt, minutos * blocks * 60 + 1);
    }

    // A row read back and checked: what cannot be a running rental is named, never guessed;
    // every value within what the program itself writes.
    void openRowsAreChecked_data() {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QString>("problem"); // empty: restored
        const QStringList good =
            QStringLiteral("Puesto=3 Modo=Prepago Usuario=Ana Apertura=2026-12-05T17:05:09Z Minutos=30 Pesos=10.25 "
                           "Bloques=2 Fin=2026-12-05T18:05:09Z Fila=7 Arranque=b1 ArranqueMs=5 Transcurrido=60 "
                           "Visto=2026-12-05T17:06:09Z PausaMs=0 PausadoEn=NULL")
                .split(u' ');
        const auto with = [&good](const QStringList &changed) {
            QStringList cells = good;
            for (QString &c : cells)
                for (const QString &cell : changed)
                    if (c.section(u'=', 0, 0) == cell.section(u'=', 0, 0))
                        c = cell;
            return cells;
        };
        QTest::newRow("good prepaid") << good << "";
        QTest::newRow("good contador, other offset, kept before its time was")
            << QStringLiteral("Puesto=1 Modo=Contador Usuario=Ana Apertura=2026-12-05T14:05:09-03:00 Minutos=30 "
                              "Pesos=10 Bloques=NULL Fin=NULL Fila=1")
                   .split(u' ')
            << "";
        QTest::newRow("no boot named") << with({"Arranque=NULL", "ArranqueMs=NULL"}) << "";
        QTest::newRow("price at its largest")
            << with({"Pesos=999999999.99", "Fin=2026-12-05T17:07:09Z", "Minutos=1"}) << "";
        QTest::newRow("station 21") << with({"Puesto=21"}) << "puesto";
        QTest::newRow("station 2.5") << with({"Puesto=2.5"}) << "puesto";
        QTest::newRow("unknown mode") << with({"Modo=prepago"}) << "modo";
        QTest::newRow("unreadable opening") << with({"Apertura=ayer"}) << "apertura";
        QTest::newRow("opening without offset") << with({"Apertura=2026-12-05T17:05:09"}) << "apertura";
        QTest::newRow("rate too long") << with({"Minutos=1366"}) << "minutos";
        QTest::newRow("no minutes") << with({"Minutos=0"}) << "minutos";
        QTest::newRow("negative price") << with({"Pesos=-1"}) << "importe";
        QTest::newRow("absurd price") << with({"Pesos=1e308"}) << "importe";
        QTest::newRow("price of a thousand million") << with({"Pesos=1000000000"}) << "importe";
        QTest::newRow("three decimals") << with({"Pesos=10.255"}) << "importe";
        QTest::newRow("no blocks") << with({"Bloques=0"}) << "bloques";
        QTest::newRow("25 blocks") << with({"Bloques=25"}) << "bloques";
        QTest::newRow("end that does not add up") << with({"Fin=2026-12-05T19:05:09Z"}) << "fin";
        QTest::newRow("boot without its clock") << with({"ArranqueMs=NULL"}) << "arranque";
        QTest::newRow("known time past a year") << with({"Transcurrido=40000000"}) << "transcurrido";
        QTest::newRow("unreadable last sight") << with({"Visto=ayer"}) << "vista";
        QTest::newRow("negative pause") << with({"PausaMs=-1"}) << "pausa";
        QTest::newRow("paused after a year's use") << with({"PausadoEn=40000000000"}) << "pausar";
    }

    void openRowsAreChecked() {
        QFETCH(QStringList, cells);
        QFETCH(QString, problem);
        const stations::RowCheck check = stations::checkOpenRow(openRow(cells));
        QCOMPARE(check.row.has_value(), problem.isEmpty());
        QVERIFY2(check.problem.contains(problem), qPrintable(check.problem));
        QVERIFY(check.label.contains(cells[0]));
        QVERIFY(check.detail.contains(cells[3] + u';') || check.detail.endsWith(cells[3]));
    }

    // The time an open station has run when the program starts again. Opened at 17:00:00 on
    // the wall clock and at 1000 s on the boot clock of boot "a"; then the program stops.
    void elapsedAtStart_data() {
        QTest::addColumn<QString>("kept");   // "boot bootMs knownSeconds seenSecondsAfterOpening", or "-"
        QTest::addColumn<QString>("now");    // "boot bootMs wallSecondsAfterOpening"
        QTest::addColumn<QString>("result"); // "seconds down" (down -1: not known), "behind", or "problem"
        const char *table[][4] = {
            {"same boot, clocks agree", "a 1000000 60 60", "a 1090000 90", "90 30"},
            // The wall clock 2 h behind: the boot clock alone counts.
            {"same boot, wall 2 h behind", "a 1000000 60 60", "a 1090000 -7110", "90 30"},
            {"same boot, an hour down", "a 1000000 120 120", "a 4720000 3720", "3720 3600"},
            // After a reboot the wall clock tells, but never less than the time known...
            {"reboot, clocks agree", "a 1000000 60 60", "b 20000 3660", "3660 3600"},
            {"reboot, wall behind the last sight", "a 1000000 600 600", "b 20000 300", "600 behind"},
            // ...and never more than the known time and the wall time since it was last seen: a wall
            // clock that was 2 h behind at a restart and right after the reboot adds nothing.
            {"reboot, wall was behind at the last sight", "a 1000000 60 -7140", "b 20000 84", "84 24"},
            {"reboot, wall was ahead at the opening", "a 1000000 60 -7140", "b 20000 -7110", "90 30"},
            {"reboot, wall 2 h ahead now", "a 1000000 60 60", "b 20000 7290", "7290 7230"},
            // A boot clock behind the opening is not this boot's: the wall clock tells.
            {"same boot name, clock behind the opening", "a 1000000 60 60", "a 500 90", "90 30"},
            // A row from before the time was kept: the wall clock alone, nothing said of the time down.
            {"never kept", "-", "a 1000 90", "90 -1"},
            {"never kept, wall behind the opening", "-", "a 1000 -600", "0 behind"},
            {"open for more than a year", "a 1000000 60 60", "b 20000 31700000", "problem"},
        };
        for (const auto &r : table)
            QTest::newRow(r[0]) << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2]) << QString::fromUtf8(r[3]);
    }

    void elapsedAtStart() {
        QFETCH(QString, kept);
        QFETCH(QString, now);
        QFETCH(QString, result);
        const QDateTime opening(QDate(2026, 12, 5), QTime(17, 0), Qt::UTC);
        stations::OpenRow row;
        row.openedUtc = opening;
        row.seenUtc = opening;
        if (kept != u"-") {
            const QStringList k = kept.split(u' ');
            row.boot = k[0];
            row.bootMs = k[1].toLongLong();
            row.timeKept = true;
            row.knownSeconds = k[2].toLongLong();
            row.seenUtc = opening.addSecs(k[3].toLongLong());
        }
        const QStringList n = now.split(u' ');
        const stations::Elapsed e =
            stations::elapsedAtStart(row, {opening.addSecs(n[2].toLongLong()), n[1].toLongLong(), n[0]});
        if (result == u"problem") {
            QVERIFY(!e.problem.isEmpty());
            return;
        }
        QVERIFY2(e.problem.isEmpty(), qPrintable(e.problem));
        const QStringList r = result.split(u' ');
        QCOMPARE(e.ms, r[0].toLongLong() * 1000);
        QCOMPARE(e.wallBehind, r[1] == u"behind");
        if (!e.wallBehind)
            QCOMPARE(e.downSeconds, r[1].toLongLong());
        QCOMPARE(e.sameBoot, kept.startsWith(u"a ") && n[0] == u"a" && n[1].toLongLong() >= 1000000);
    }

    void alarmPlayerChecksTheFile_data() {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("not a wave") << QByteArray("MZ\x90\0 not a sound at all");
        QTest::newRow("truncated header") << QByteArray("RIFF\x10\0\0\0WAVEfmt ");
        QTest::newRow("compressed format") << QByteArray("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x55\0\1\0\x22\x56\0\0"
                                                         "\0\0\0\0\2\0\x10\0data\0\0\0\0",
                                                         44);
        QFile delivered(testing::deliveredAlarmPath());
        QVERIFY(delivered.open(QIODevice::ReadOnly));
        QTest::newRow("delivered") << delivered.readAll();
    }

    void alarmPlayerChecksTheFile() {
        QFETCH(QByteArray, content);
        const bool playable = QByteArray(QTest::currentDataTag()) == "delivered";
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("queen.wav"));
        if (!content.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        }
        if (!playable)
            QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        QCOMPARE(ui::SoundEffectPlayer::isPlayableWave(path), playable);
        ui::SoundEffectPlayer player(QStringLiteral(LUDOMAT_SOUND_MODULE_FILE));
        QElapsedTimer timer;
        timer.start();
        player.play(path); // must neither throw nor wait
        QVERIFY(timer.elapsed() < 500);
        QCOMPARE(player.ready(), playable); // only a playable file needs the sound module
    }

    // The sound module is loaded once the windows are up; one that cannot be loaded leaves the
    // program without sound, and a warning on the console.
    void alarmModuleLoadsInTheBackground_data() {
        QTest::addColumn<QString>("module");
        QTest::addColumn<bool>("loads");
        QTest::newRow("built") << QStringLiteral(LUDOMAT_SOUND_MODULE_FILE) << true;
        QTest::newRow("missing") << QStringLiteral("/nonexistent/libludomat_sound.so") << false;
    }

    void alarmModuleLoadsInTheBackground() {
        QFETCH(QString, module);
        QFETCH(bool, loads);
        if (!loads)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^ludomat: no alarm sound: ")));
        ui::SoundEffectPlayer player(module);
        QSignalSpy ready(&player, &ui::SoundEffectPlayer::readyChanged);
        player.prepare();
        if (loads) {
            QTRY_COMPARE(ready.count(), 1);
            QVERIFY(player.ready());
        }
        player.play(testing::deliveredAlarmPath()); // waits for the loading: then plays or not
        QCOMPARE(player.ready(), loads);
    }

    // A price as the file keeps it, times the blocks of a rental, in the forms the boxes and the
    // records show: whole cents, so no binary residue of tenths and hundredths ever shows
    // ("0.30000000000000004") or is stored, and half a cent of a hand-edited price goes up.
    void amountsInWholeCents() {
        QLocale::setDefault(QLocale(QStringLiteral("es_AR")));
        const auto back = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        const struct {
            double pesos;
            qint64 blocks;
            const char *shown, *stored;
        } rows[] = {{0.3, 24, "7,2", "7.2"},
                    {0.07, 3, "0,21", "0.21"},
                    {0.125, 2, "0,26", "0.26"},
                    {999999999.99, 24, "23999999999,76", "23999999999.76"},
                    {0, 24, "0", "0"}};
        for (const auto &row : rows) {
            const double amount = stations::pesosOf(stations::blockAmount(stations::centsOf(row.pesos), row.blocks));
            QCOMPARE(numtext::toText(amount) + u' ' + numtext::engineNumber(amount),
                     QString::fromLatin1(row.shown) + u' ' + QString::fromLatin1(row.stored));
        }
    }

    // A record carries the true duration: a prepaid block shown as 0 h 60 min is one hour,
    // and a long rental is never wrapped at a day.
    void recordedTimeIsTheTrueDuration() {
        const struct {
            double hours, minutes;
            const char *expected;
        } rows[] = {{0, 7, "0:7"}, {1, 25, "1:25"}, {0, 60, "1:0"}, {23, 60, "24:0"}, {26, 5, "26:5"}, {3, 90, "4:30"}};
        for (const auto &row : rows) {
            const stations::RecordedTime t = stations::recordedTime(row.hours, row.minutes);
            QCOMPARE(t.hours + QLatin1Char(':') + t.minutes, QString::fromLatin1(row.expected));
        }
    }
};

QTEST_MAIN(StationMathTest)
#include "tst_station_math.moc"
