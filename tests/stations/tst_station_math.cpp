// The station arithmetic on its own: the prepaid split for every rate, the recorded Tiempo,
// the block count at its limits, and the production alarm player on bad input.
#include "TestSupport.h"
#include "stations/StationMath.h"
#include "stations/StationTypes.h"
#include "ui/SystemPlatform.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

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
                while (total > rate) {
                    ++hours;
                    total = static_cast<qint16>(total - 60);
                }
                const QByteArray where = QByteArray::number(rate) + " x " + QByteArray::number(v);
                QVERIFY2(got.hours * 60 + got.minutes == rate * v, where);
                QVERIFY2(got.minutes >= 0 && got.hours >= 0, where);
                if (v == 1) {
                    QVERIFY2(got.hours == 0 && got.minutes == rate, where);
                }
                if (total >= 0) {
                    QVERIFY2(got.hours == hours && got.minutes == total, where);
                }
            }
        }
        // A rate whose remainder falls between it and 60 is split plainly.
        const stations::PrepaidTime twenty = stations::prepaidSplit(20, 2);
        QCOMPARE(twenty.hours, 0);
        QCOMPARE(twenty.minutes, 40);
    }

    void recordedTime_data() {
        QTest::addColumn<double>("hours");
        QTest::addColumn<double>("minutes");
        QTest::addColumn<QString>("text");
        QTest::newRow("seconds dropped, minutes as shown") << 0.0 << 7.0 << "0:7";
        QTest::newRow("ordinary") << 1.0 << 25.0 << "1:25";
        QTest::newRow("one block of 60") << 0.0 << 60.0 << "1:0";
        QTest::newRow("one block of 90") << 0.0 << 90.0 << "1:30";
        QTest::newRow("24 blocks of 60") << 23.0 << 60.0 << "24:0";
        QTest::newRow("past a day, not wrapped") << 26.0 << 5.0 << "26:5";
        QTest::newRow("24 blocks of 1365") << 545.0 << 60.0 << "546:0";
    }

    void recordedTime() {
        QFETCH(double, hours);
        QFETCH(double, minutes);
        QFETCH(QString, text);
        const stations::RecordedTime t = stations::recordedTime(hours, minutes);
        QCOMPARE(t.hours + QLatin1Char(':') + t.minutes, text);
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
        QVERIFY(c.charge);
        QCOMPARE(c.blockMinutes, qint16(0));
    }

    void alarmPlayerIsQuietOnBadFiles_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("missing") << QByteArray();
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("not a wave") << QByteArray("MZ\x90\0 not a sound at all");
        QTest::newRow("truncated header") << QByteArray("RIFF\x10\0\0\0WAVEfmt ");
        QTest::newRow("compressed format") << QByteArray("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x55\0\1\0\x22\x56\0\0"
                                                         "\0\0\0\0\2\0\x10\0data\0\0\0\0",
                                                         44);
    }

    void alarmPlayerIsQuietOnBadFiles() {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("queen.wav"));
        if (!content.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        QVERIFY(!ui::SoundEffectPlayer::isPlayableWave(path));
        ui::SoundEffectPlayer player;
        QElapsedTimer timer;
        timer.start();
        player.play(path); // must neither throw nor wait
        QVERIFY(timer.elapsed() < 500);
    }

    void deliveredAlarmIsPlayable() {
        QVERIFY(ui::SoundEffectPlayer::isPlayableWave(testing::deliveredAlarmPath()));
        ui::SoundEffectPlayer player;
        QElapsedTimer timer;
        timer.start();
        player.play(testing::deliveredAlarmPath());
        QVERIFY(timer.elapsed() < 500); // started, not waited for
    }
};

QTEST_MAIN(StationMathTest)
#include "tst_station_math.moc"
