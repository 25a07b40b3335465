// The counter while the owner's view is flooded: the program with its real one-second timer and
// the wall and boot clocks, the view as its own process on the same books, and curl hammering it
// from third processes, a dozen connections at a time each (a paired phone's requests, strangers'
// without a cookie, methods the view refuses) beside connections that open and say nothing.
// The tick must keep its second, the stations their time, and a sale must still be written.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "platform/Clock.h"
#include "stations/StationBoard.h"
#include "ui/formLudomat2.h"
#include "webview/Devices.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <vector>

namespace {

// Each of the timer's ticks: when it came and how long the window's handler took, seen from an
// event filter (before) and a slot connected after the handler's own (after).
class TickWatch final : public QObject {
public:
    explicit TickWatch(QTimer *timer) : QObject(timer) {
        clock_.start();
        timer->installEventFilter(this);
        connect(timer, &QTimer::timeout, this, [this] {
            if (startNs_ >= 0) {
                durationsUs.push_back((clock_.nsecsElapsed() - startNs_) / 1000);
                arrivalsMs.push_back(startNs_ / 1'000'000);
                startNs_ = -1;
            }
        });
    }
    std::vector<qint64> durationsUs;
    std::vector<qint64> arrivalsMs;
    qint64 longestGapMs(size_t from) const {
        qint64 gap = 0;
        for (size_t i = from + 1; i < arrivalsMs.size(); ++i) {
            gap = std::max(gap, arrivalsMs[i] - arrivalsMs[i - 1]);
        }
        return gap;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Timer) {
            startNs_ = clock_.nsecsElapsed();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer clock_;
    qint64 startNs_ = -1;
};

} // namespace

class TestViewFlood : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void counterKeepsItsSecondWhileTheViewIsFlooded();
};

void TestViewFlood::counterKeepsItsSecondWhileTheViewIsFlooded() {
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    QVERIFY2(!curl.isEmpty(), "curl is installed with the test tools");

    testing::TestPlatform t;
    sys::SystemClock clock;
    sys::Platform platform{clock, t.messages, t.alarm, t.ender, t.files, QString()};
    platform.where.dataFolder = t.folder.path();
    auto desk = std::make_unique<app::Desk>(platform);
    QVERIFY(desk->start());
    desk->show();
    testing::signIn(*desk);
    for (int i = 0; i < stations::kStations; ++i) {
        testing::press(*desk, i);
    }
    for (int i = 0; i < stations::kStations; ++i) {
        QVERIFY(desk->board().station(i).running);
    }

    // The view, as the program starts it, on the same folder.
    QProcess view;
    view.start(QStringLiteral(LUDOMAT_EXE),
               {"--serve", "--data-dir", t.folder.path(), "--port", "0", "--bind", "127.0.0.1"});
    QByteArray listo;
    QTRY_VERIFY_WITH_TIMEOUT((listo += view.readAllStandardOutput()).contains('\n'), 20000);
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^LISTO (\\d+) ")).match(QString::fromLatin1(listo));
    QVERIFY2(m.hasMatch(), listo.constData());
    const QString base = QStringLiteral("https://127.0.0.1:%1").arg(m.captured(1));

    // A paired phone's token.
    webview::DeviceStore devices(t.folder.path() + QLatin1Char('/') + webview::kDevicesFileName);
    const webview::PairingCode code = devices.newPairingCode(QDateTime::currentDateTimeUtc());
    const std::optional<QByteArray> token =
        devices.pair(code.code, QStringLiteral("Teléfono"), QDateTime::currentDateTimeUtc());
    QVERIFY(token);

    // The flood: a paired phone's 24000 requests, twelve at a time, and a stranger's 2400 that would
    // change something.
    QTemporaryDir scratch;
    const QStringList paths{"/api/salon", "/api/hoy", "/api/dias?n=30",   "/api/registro",
                            "/",          "/app.js",  "/../dbLudomat.mdb"};
    // Each from an address of its own: the view takes at most 16 connections from one address.
    const auto floodOf = [&](const QString &name, int requests, const QStringList &more) {
        QFile config(scratch.filePath(name));
        if (!config.open(QIODevice::WriteOnly)) {
            return std::unique_ptr<QProcess>();
        }
        for (int i = 0; i < requests; ++i) {
            config.write(
                QStringLiteral("url = \"%1%2\"\noutput = \"/dev/null\"\n").arg(base, paths[i % paths.size()]).toUtf8());
        }
        config.close();
        auto curlRun = std::make_unique<QProcess>();
        curlRun->start(curl, QStringList{"--silent", "--insecure", "--parallel", "--parallel-max", "12", "--max-time",
                                         "30", "--write-out", "%{http_code}\n", "--config", config.fileName()} +
                                 more);
        return curlRun;
    };
    const auto phone = floodOf(
        QStringLiteral("phone.cfg"), 24000,
        {"--interface", "127.0.0.1", "--cookie", QStringLiteral("ludomat_vista=%1").arg(QString::fromLatin1(*token))});
    const auto stranger =
        floodOf(QStringLiteral("stranger.cfg"), 2400, {"--interface", "127.0.0.3", "--request", "POST"});
    QVERIFY(phone && stranger);
    // Connections that open and never speak, each holding a place until the view cuts it.
    std::vector<std::unique_ptr<QTcpSocket>> silent;
    for (int i = 0; i < 30; ++i) {
        silent.push_back(std::make_unique<QTcpSocket>());
        silent.back()->bind(QHostAddress(QStringLiteral("127.0.0.2")));
        silent.back()->connectToHost(QStringLiteral("127.0.0.1"), quint16(m.captured(1).toUInt()));
    }

    auto *timer = testing::control<QTimer>(&desk->mainWindow(), "Timer1");
    QVERIFY(timer->isActive());
    TickWatch *watch = new TickWatch(timer);
    const qint64 openedMs = desk->board().station(1).openedAtMs;

    // Halfway through, a station is closed and charged: its sale reaches the books meanwhile.
    QTest::qWait(5000);
    testing::press(*desk, 0);
    QVERIFY(!desk->board().station(0).running);
    QTRY_VERIFY_WITH_TIMEOUT(phone->state() == QProcess::NotRunning && stranger->state() == QProcess::NotRunning,
                             60000);
    QTest::qWait(1500);

    const QByteArray codes = phone->readAllStandardOutput();
    const QByteArray refused = stranger->readAllStandardOutput();
    qInfo("the phone's answers: %lld 200, %lld 404, %lld 429; the stranger's: %lld 405, %lld 429", codes.count("200\n"),
          codes.count("404\n"), codes.count("429\n"), refused.count("405\n"), refused.count("429\n"));
    QVERIFY2(codes.count("200\n") > 0, "the paired phone was answered");
    QVERIFY2(codes.count("429\n") > 0, "the flood was slowed down");
    QVERIFY2(refused.count("405\n") + refused.count("429\n") == 2400, "nothing a stranger sent was taken");
    QVERIFY2(!codes.contains("500\n") && !refused.contains("200\n"), codes.constData());
    QCOMPARE(view.state(), QProcess::Running);

    // The tick kept its second, and a station's time is still its time since the opening.
    const size_t ticks = watch->arrivalsMs.size();
    QVERIFY2(ticks >= 5, qPrintable(QStringLiteral("%1 ticks").arg(ticks)));
    QVERIFY2(watch->longestGapMs(0) < 1500,
             qPrintable(QStringLiteral("a tick came %1 ms after the one before").arg(watch->longestGapMs(0))));
    std::vector<qint64> sorted = watch->durationsUs;
    std::sort(sorted.begin(), sorted.end());
    qInfo("%zu ticks during the flood; the handler took %lld µs median, %lld µs at most", ticks,
          sorted[sorted.size() / 2], sorted.back());
    const stations::Station &two = desk->board().station(1);
    const qint64 shown = two.hours * 3600 + two.minutes * 60 + two.seconds;
    const qint64 ran = (clock.monotonicMs() - openedMs) / 1000;
    QVERIFY2(std::abs(shown - ran) <= 2, qPrintable(QStringLiteral("shows %1 s, ran %2 s").arg(shown).arg(ran)));
    const QStringList rentals = testing::tableRows(t.databasePath(), QStringLiteral("Alquiler"));
    QCOMPARE(rentals.size(), 1);

    view.terminate();
    QVERIFY(view.waitForFinished(10000));
    desk.reset();
}

QTEST_MAIN(TestViewFlood)
#include "tst_view_flood.moc"
