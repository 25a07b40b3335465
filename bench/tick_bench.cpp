// The stations against the clock, through the real widgets on the offscreen platform:
//  - one tick with all five stations open (three counting up, two counting down);
//  - one tick that catches up ten hours of missed seconds on five open stations;
//  - the minute's refresh of five open stations' kept time;
//  - what restoring five open stations adds to the main window's start-up;
//  - one look of the books' watch, which runs on the same thread once a second;
//  - one tick with the five stations in every state (running, paused, extended, just moved), and
//    each of the counter's operations, its transaction with the journal entry included;
//  - the board's tick alone with twenty stations open under prices by the time of day.
#include "accounts/Session.h"
#include "app/Desk.h"
#include "platform/InstanceLock.h"
#include "platform/Platform.h"
#include "stations/StationBoard.h"
#include "ui/BooksWatch.h"
#include "ui/formLudomat2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

class ManualClock final : public sys::Clock {
public:
    qint64 ms = 1'000'000;
    QDateTime wallTime() const override { return QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9)).addMSecs(ms); }
    qint64 monotonicMs() const override { return ms; }
    QString bootId() const override { return QStringLiteral("bench-boot"); }
};
class SilentMessages final : public sys::MessagePresenter {
public:
    void showMessage(QWidget *, const QString &) override {}
    void postMessage(QWidget *, const QString &, std::function<void()> dismissed) override {
        if (dismissed)
            dismissed();
    }
    int ask(QWidget *, const QString &, const QStringList &answers) override { return int(answers.size()) - 1; }
};
class SilentAlarm final : public sys::AlarmPlayer {
public:
    void play(const QString &) override {}
};
class NoEnd final : public sys::ProgramEnder {
public:
    void endProgram() override {}
};
class NoFiles final : public sys::FileChooser {
public:
    QString savePath(QWidget *, const sys::FileQuestion &) override { return {}; }
    QString openPath(QWidget *, const sys::FileQuestion &) override { return {}; }
    QString restoreCopy(QWidget *, const QString &) override { return {}; }
};

struct Services {
    ManualClock clock;
    SilentMessages messages;
    SilentAlarm alarm;
    NoEnd ender;
    NoFiles files;
    sys::Platform platform;
    explicit Services(const QString &folder) : platform{clock, messages, alarm, ender, files, folder} {}
};

// Signed in, with all five stations open: 1-3 counting up, 4-5 prepaid for 24 blocks.
void openAll(app::Desk &desk) {
    desk.mainWindow().findChild<QTimer *>(QStringLiteral("Timer1"))->stop();
    desk.session().signIn(QStringLiteral("Admin"), true);
    desk.mainWindow().setEnabled(true);
    for (int i = 0; i < 5; ++i) {
        if (i >= 3) {
            desk.board().chooseMode(i, stations::StationMode::Prepago);
            desk.board().setBlocks(i, 24);
        }
        const stations::Station &s = desk.board().station(i);
        desk.board().open(i, s.mode, s.blocks);
    }
}

// Station 1 as its boxes show it.
QString shownTime(app::Desk &desk) {
    QStringList parts;
    for (const char *box : {"txtHora_0", "txtMinuto_0", "txtSegundo_0"}) {
        parts << desk.mainWindow().findChild<QLineEdit *>(QLatin1String(box))->text();
    }
    return parts.join(QLatin1Char(':'));
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Milliseconds for the main window's load, on a folder whose file holds what it holds now.
double loadMs(const QString &folder) {
    Services s(folder);
    QElapsedTimer timer;
    timer.start();
    app::Desk desk(s.platform);
    const bool loaded = desk.start();
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    return loaded ? ms : -1;
}

// Twenty stations, numbered 1 to 20, of a type with 10-minute blocks, periods all round the day
// (the night's across midnight), a tolerance, and a controllers' surcharge.
std::vector<stations::StationSetup> timeOfDayRoom() {
    pricing::Terms terms;
    terms.minutes = 10;
    terms.cents = 500;
    terms.toleranceMinutes = 2;
    terms.controllerCents = 100;
    terms.periods = {{QStringLiteral("Mañana"), pricing::kEveryDay, 8 * 60, 14 * 60 + 30, 400},
                     {QStringLiteral("Tarde"), pricing::kEveryDay, 14 * 60 + 30, 20 * 60, 600},
                     {QStringLiteral("Noche"), pricing::kEveryDay, 20 * 60, 2 * 60, 700}};
    std::vector<stations::StationSetup> room;
    for (int n = 1; n <= stations::kMaxStations; ++n) {
        room.push_back({n, QStringLiteral("Puesto %1").arg(n), QStringLiteral("Nueva"), 1, terms});
    }
    return room;
}

} // namespace

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's word on every window raised says nothing about the figures.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type != QtWarningMsg || !message.contains(QLatin1String("does not support")))
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (argc < 2 || !QFile::copy(QString::fromLocal8Bit(argv[1]), folder.path() + QStringLiteral("/dbLudomat.mdb"))) {
        std::fprintf(stderr, "usage: tick_bench <template database>\n");
        return 2;
    }
    {
        Services s(folder.path());
        app::Desk desk(s.platform);
        if (!desk.start()) {
            return 1;
        }
        openAll(desk);
        constexpr int kTicks = 20000; // under six hours of station time: no prepaid time runs out
        QElapsedTimer timer;
        timer.start();
        for (int n = 0; n < kTicks; ++n) {
            s.clock.ms += 1000;
            desk.board().tick();
        }
        const double perTickUs = static_cast<double>(timer.nsecsElapsed()) / kTicks / 1000.0;
        std::printf("one tick, five stations open: %.1f us (%.4f %% of the one-second period)\n", perTickUs,
                    perTickUs / 10000.0);
        std::printf("  station 1 after %d ticks: %s, $%s\n", kTicks, qPrintable(shownTime(desk)),
                    qPrintable(desk.mainWindow().findChild<QLineEdit *>(QStringLiteral("txtPesos_0"))->text()));
        // Once a minute, on a timer of its own between ticks: the five rows' kept time in one
        // transaction.
        std::vector<double> refreshes;
        for (int n = 0; n < 15; ++n) {
            s.clock.ms += 60'000;
            QElapsedTimer refresh;
            refresh.start();
            desk.board().refreshOpenRows();
            refreshes.push_back(static_cast<double>(refresh.nsecsElapsed()) / 1e6);
        }
        std::printf("keeping five open stations' time in the file (once a minute): %.2f ms (median of 15)\n",
                    median(refreshes));
    }
    {
        Services s(folder.path());
        app::Desk desk(s.platform);
        if (!desk.start()) {
            return 1;
        }
        desk.mainWindow().findChild<QTimer *>(QStringLiteral("Timer1"))->stop();
        desk.session().signIn(QStringLiteral("Admin"), true);
        stations::StationBoard &board = desk.board();
        for (int i = 0; i < 5; ++i) {
            board.close(i);
        }
        const auto target = [&board](int i) { return stations::Target{i, board.station(i).openedUtc}; };
        const stations::Approval approval{QStringLiteral("Admin"), QStringLiteral("medición")};
        // Running, paused, extended, just moved, a paused prepaid.
        board.open(0, stations::StationMode::Contador, 1);
        board.open(1, stations::StationMode::Contador, 1);
        board.pause(1); // resumed and closed before the operations, which use station 2
        board.open(2, stations::StationMode::Prepago, 24);
        board.addBlocks(target(2), 24);
        board.giveCourtesy(target(2), 30, approval);
        board.open(4, stations::StationMode::Contador, 1);
        board.move(target(4), 3);
        board.open(4, stations::StationMode::Prepago, 24);
        board.pause(4);
        constexpr int kTicks = 20000;
        QElapsedTimer timer;
        timer.start();
        for (int n = 0; n < kTicks; ++n) {
            s.clock.ms += 1000;
            board.tick();
        }
        std::printf("one tick, five stations in every state (running, paused, extended, moved): %.1f us\n",
                    static_cast<double>(timer.nsecsElapsed()) / kTicks / 1000.0);
        board.resume(1);
        board.close(1);
        // Each operation 40 times, on the file as a day of them leaves it.
        const auto time = [](const std::function<bool()> &op) {
            std::vector<double> runs;
            for (int n = 0; n < 40; ++n) {
                QElapsedTimer t;
                t.start();
                if (!op()) {
                    return -1.0;
                }
                runs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
            }
            return median(runs);
        };
        const std::vector<std::pair<const char *, std::function<bool()>>> operations{
            {"pause or resume", [&] { return board.station(0).paused() ? board.resume(0) : board.pause(0); }},
            {"add a block", [&] { return board.addBlocks(target(2), 1).done; }},
            {"courtesy minutes", [&] { return board.giveCourtesy(target(2), 1, approval).done; }},
            {"a discount", [&] { return board.giveDiscount(target(0), 1, approval).done; }},
            {"a cancellation",
             [&] {
                 return board.open(1, stations::StationMode::Prepago, 2) && board.cancel(target(1), approval).done;
             }},
            // Station 2 is idle after the cancellations: the moved rental goes there and back.
            {"a move",
             [&] {
                 const int from = board.station(3).running ? 3 : 1;
                 return board.move(target(from), from == 3 ? 1 : 3).done;
             }},
        };
        for (const auto &[name, op] : operations) {
            std::printf("  %s, with its journal entry: %.2f ms (median of 40)\n", name, time(op));
        }
    }
    {
        // The board alone (the window's rows are the window's cost): every station counting up,
        // each repriced at its block edges through three periods.
        Services s(folder.path());
        accounts::Session session;
        stations::StationBoard board(s.clock, session);
        if (board.load(s.platform.databasePath()).result != stations::StationBoard::Loaded::Ready) {
            return 1;
        }
        board.setRoom(timeOfDayRoom());
        session.signIn(QStringLiteral("Admin"), true);
        for (int i = 0; i < board.count(); ++i) {
            board.setControllers(i, 1 + i % 3);
            board.open(i, stations::StationMode::Contador, 1);
        }
        constexpr int kTicks = 36000; // ten hours from 14:05: the afternoon, the night, past midnight
        QElapsedTimer timer;
        timer.start();
        for (int n = 0; n < kTicks; ++n) {
            s.clock.ms += 1000;
            board.tick();
        }
        std::printf("one tick of the board, twenty stations open under prices by the time of day: %.2f us "
                    "(station 1: %lld blocks, $%.2f)\n",
                    static_cast<double>(timer.nsecsElapsed()) / kTicks / 1000.0,
                    static_cast<long long>(board.station(0).blocksCharged),
                    static_cast<double>(board.station(0).cents) / 100.0);
    }
    {
        // The same room through the main window, on a file of its own: twenty rows whose boxes
        // the tick shows every second.
        QTemporaryDir own;
        if (!QFile::copy(QString::fromLocal8Bit(argv[1]), own.path() + QStringLiteral("/dbLudomat.mdb"))) {
            return 2;
        }
        Services s(own.path());
        app::Desk desk(s.platform);
        if (!desk.start()) {
            return 1;
        }
        desk.board().setRoom(timeOfDayRoom());
        desk.mainWindow().findChild<QTimer *>(QStringLiteral("Timer1"))->stop();
        desk.session().signIn(QStringLiteral("Admin"), true);
        desk.mainWindow().setEnabled(true);
        for (int i = 0; i < desk.board().count(); ++i) {
            desk.board().setControllers(i, 1 + i % 3);
            desk.board().open(i, stations::StationMode::Contador, 1);
        }
        constexpr int kTicks = 7200;
        QElapsedTimer timer;
        timer.start();
        for (int n = 0; n < kTicks; ++n) {
            s.clock.ms += 1000;
            desk.board().tick();
        }
        std::printf("one tick of the main window, twenty stations open under prices by the time of day: %.1f us "
                    "(station 1: %s, $%s)\n",
                    static_cast<double>(timer.nsecsElapsed()) / kTicks / 1000.0, qPrintable(shownTime(desk)),
                    qPrintable(desk.mainWindow().findChild<QLineEdit *>(QStringLiteral("txtPesos_0"))->text()));
    }
    {
        // The program holds its books, so the watch looks at the path each time.
        Services s(folder.path());
        sys::InstanceLock lock(s.platform.databasePath());
        lock.acquire();
        stations::BooksWatch watch(s.platform, nullptr);
        watch.start();
        constexpr int kLooks = 100000;
        QElapsedTimer timer;
        timer.start();
        for (int n = 0; n < kLooks; ++n) {
            watch.look();
        }
        std::printf("one look of the books' watch (once a second, beside the tick): %.2f us\n",
                    static_cast<double>(timer.nsecsElapsed()) / kLooks / 1000.0);
    }
    {
        std::vector<double> runs;
        QString shown;
        for (int run = 0; run < 15; ++run) {
            QTemporaryDir fresh;
            QFile::copy(QString::fromLocal8Bit(argv[1]), fresh.path() + QStringLiteral("/dbLudomat.mdb"));
            Services s(fresh.path());
            app::Desk desk(s.platform);
            desk.start();
            openAll(desk);
            s.clock.ms += 10LL * 3600 * 1000;
            QElapsedTimer timer;
            timer.start();
            desk.board().tick();
            runs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            shown = shownTime(desk);
        }
        std::printf("catching up ten hours of missed ticks, five stations open: %.2f ms (median of 15; station 1 "
                    "shows %s)\n",
                    median(runs), qPrintable(shown));
    }
    {
        // The same file with no station open, then with five left open by a program that stopped.
        std::vector<double> bare, restoring;
        for (int run = 0; run < 15; ++run) {
            QTemporaryDir fresh;
            QFile::copy(QString::fromLocal8Bit(argv[1]), fresh.path() + QStringLiteral("/dbLudomat.mdb"));
            bare.push_back(loadMs(fresh.path()));
            {
                Services s(fresh.path());
                app::Desk desk(s.platform);
                desk.start();
                openAll(desk);
            }
            restoring.push_back(loadMs(fresh.path()));
        }
        std::printf("start-up of the main window: %.2f ms with no station open, %.2f ms restoring five (+%.2f ms; "
                    "medians of 15)\n",
                    median(bare), median(restoring), median(restoring) - median(bare));
    }
    return 0;
}
