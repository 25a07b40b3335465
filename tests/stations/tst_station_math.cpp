// The station arithmetic on its own: the prepaid split for every rate, the block count at its
// limits, and the production alarm player on bad input.
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
        ui::SoundEffectPlayer player;
        QElapsedTimer timer;
        timer.start();
        player.play(path); // must neither throw nor wait
        QVERIFY(timer.elapsed() < 500);
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
