// The owner's view on a year of books: 150 rentals a day for 365 days up to today, a counted
// shift a day, every rental in the journal, five stations open on the counter.
//  (a) each of the view's data calls on a read-only handle, median and p99;
//  (b) the real `ludomat --serve` on that file with 50 clients (keep-alive TLS, each from an
//      address of its own, the program's certificate verified) polling /api/salon and /api/hoy
//      every 2 s: their latency, the view process's peak memory, and the counter's tick in this
//      process meanwhile, with five stations open on the same file.
#include "accounts/Session.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "data/JournalBooks.h"
#include "data/Statements.h"
#include "platform/Clock.h"
#include "stations/StationBoard.h"
#include "webview/Devices.h"
#include "webview/ViewData.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {

constexpr int kDays = 365;
constexpr int kRentalsADay = 150;
constexpr double kMedianLimitMs = 20.0;
constexpr double kP99LimitMs = 100.0;

// The counter's clock: the bench moves it a second a tick.
class BenchClock final : public sys::Clock {
public:
    QDateTime start = QDateTime::currentDateTime();
    qint64 ms = 1'000'000;
    QDateTime wallTime() const override { return start.addMSecs(ms - 1'000'000); }
    qint64 monotonicMs() const override { return ms; }
    QString bootId() const override { return QStringLiteral("view-bench"); }
};

struct Figures {
    double median = 0;
    double p99 = 0;
    double worst = 0;
};

Figures figures(std::vector<double> v) {
    if (v.empty()) {
        return {};
    }
    std::sort(v.begin(), v.end());
    const size_t p99 = std::min(v.size() - 1, static_cast<size_t>(static_cast<double>(v.size()) * 0.99));
    return {v[v.size() / 2], v[p99], v.back()};
}

Figures timed(int runs, const std::function<void()> &call) {
    std::vector<double> ms;
    for (int n = 0; n < runs; ++n) {
        QElapsedTimer timer;
        timer.start();
        call();
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    return figures(ms);
}

// A year up to today: the rentals from 10:00 every five minutes, Contador and Prepago in turn,
// each with its journal entry, and a shift a day with its count (some over, some short); today's
// shift still open.
void fillYear(data::Database &db) {
    const QDate today = QDate::currentDate();
    qint64 lastRow = 0;
    db.forEachRawRow(QStringLiteral("SELECT MAX(rowid) FROM Alquiler"), [&lastRow](const data::Database::RowView &row) {
        lastRow = row.isNull(0) ? 0 : row.integer(0);
        return false;
    });
    data::runInTransaction(db, [&] {
        for (int d = kDays - 1; d >= 0; --d) {
            const QDate day = today.addDays(-d);
            const QString opened = day.toString(Qt::ISODate);
            db.execute(d == 0
                           ? QStringLiteral("INSERT INTO Turnos (Numero, Usuario, Apertura, Fondo, PrimeraFila, "
                                            "Estado) VALUES (%1, 'Juan', '%2T09:30:00', 1000, %3, 'Abierto')")
                                 .arg(kDays - d)
                                 .arg(opened)
                                 .arg(lastRow)
                           : QStringLiteral("INSERT INTO Turnos (Numero, Usuario, Apertura, Fondo, PrimeraFila, "
                                            "UltimaFila, Cierre, Estado, Ventas, Ingresos, Retiros, Gastos, "
                                            "Esperado, Contado, Diferencia) VALUES (%1, 'Juan', '%2T09:30:00', "
                                            "1000, %3, %4, '%2T23:00:00', 'Cerrado', 2900, 0, 500, 15, 3385, %5, %6)")
                                 .arg(kDays - d)
                                 .arg(opened)
                                 .arg(lastRow)
                                 .arg(lastRow + kRentalsADay)
                                 .arg(3385 + (d % 5) - 2)
                                 .arg((d % 5) - 2));
            for (int n = 0; n < kRentalsADay; ++n) {
                const QString hora = QTime(10, 0).addSecs(n * 300).toString(QStringLiteral("HH:mm:ss"));
                const QString usuario = n % 2 ? QStringLiteral("Juan") : QStringLiteral("Marta");
                const QString modo = n % 3 ? QStringLiteral("Contador") : QStringLiteral("Prepago");
                const QString importe = n % 7 ? QStringLiteral("20") : QStringLiteral("12.5");
                db.execute(statements::alquilerInsert(1 + n % 5, modo, usuario, day.day(),
                                                      statements::monthAbbrev(day.month()), day.year(), hora,
                                                      QStringLiteral("0"), QStringLiteral("40"), importe));
                journal::append(db, QDateTime(day, QTime::fromString(hora, Qt::ISODate)), usuario,
                                journal::event::kRentalRecorded, 1 + n % 5,
                                journal::rentalDetail(QString::number(1 + n % 5), modo, usuario,
                                                      day.toString(Qt::ISODate), hora, QStringLiteral("0"),
                                                      QStringLiteral("40"), importe));
            }
            lastRow += kRentalsADay;
        }
    });
}

void print(const char *what, const Figures &f) {
    std::printf("  %-44s median %7.2f ms, p99 %7.2f ms, worst %7.2f ms\n", what, f.median, f.p99, f.worst);
}

// One client of the view: a keep-alive TLS connection from an address of its own that asks for
// the room and today every 2 s, one request after the other, and times each answer.
class Client final : public QObject {
public:
    Client(int n, quint16 port, const QSslCertificate &certificate, const QByteArray &token,
           std::vector<double> &latencies, int &failures, QObject *parent)
        : QObject(parent), latencies_(latencies), failures_(failures), token_(token) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setCaCertificates({certificate});
        tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
        socket_.setSslConfiguration(tls);
        // The view allows 16 connections an address: each client comes from 127.0.0.(2+n).
        socket_.bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(2 + n)), 0);
        QObject::connect(&socket_, &QSslSocket::readyRead, this, [this] { read(); });
        QObject::connect(&socket_, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &errors) {
            std::fprintf(stderr, "TLS: %s\n", qPrintable(errors.value(0).errorString()));
            ++failures_;
        });
        socket_.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port, QStringLiteral("localhost"));
        QObject::connect(&socket_, &QSslSocket::encrypted, this, [this, n] {
            // Staggered over the first two seconds.
            QTimer::singleShot(n * 40, this, [this] { round(); });
        });
        timer_.setInterval(2000);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { round(); });
    }

private:
    void round() {
        if (!timer_.isActive()) {
            timer_.start();
        }
        if (!pending_.isEmpty()) {
            return; // the last round is still unanswered: it counts late, not twice
        }
        pending_ = {QByteArrayLiteral("/api/salon"), QByteArrayLiteral("/api/hoy")};
        next();
    }
    void next() {
        if (pending_.isEmpty()) {
            return;
        }
        buffer_.clear();
        clock_.start();
        socket_.write("GET " + pending_.first() + " HTTP/1.1\r\nHost: localhost\r\nCookie: ludomat_vista=" + token_ +
                      "\r\n\r\n");
    }
    void read() {
        buffer_ += socket_.readAll();
        const qsizetype end = buffer_.indexOf("\r\n\r\n");
        if (end < 0) {
            return;
        }
        qsizetype length = 0;
        for (const QByteArray &line : buffer_.left(end).split('\n')) {
            if (line.toLower().startsWith("content-length:")) {
                length = line.mid(15).trimmed().toLongLong();
            }
        }
        if (buffer_.size() < end + 4 + length) {
            return;
        }
        latencies_.push_back(static_cast<double>(clock_.nsecsElapsed()) / 1e6);
        if (!buffer_.startsWith("HTTP/1.1 200")) {
            if (failures_++ < 3) {
                std::fprintf(stderr, "answer: %s\n", buffer_.left(buffer_.indexOf('\r')).constData());
            }
        }
        pending_.removeFirst();
        next();
    }

    std::vector<double> &latencies_;
    int &failures_;
    QByteArray token_;
    QSslSocket socket_;
    QTimer timer_;
    QElapsedTimer clock_;
    QByteArray buffer_;
    QList<QByteArray> pending_;
};

qint64 peakKb(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

// (b): returns whether the view met its limits.
bool serve(const QString &folder, stations::StationBoard &board, BenchClock &clock, int seconds) {
    webview::DeviceStore devices(QDir(folder).filePath(webview::kDevicesFileName));
    const webview::PairingCode code = devices.newPairingCode(QDateTime::currentDateTimeUtc());
    const std::optional<QByteArray> token =
        devices.pair(code.code, QStringLiteral("Banco de pruebas"), QDateTime::currentDateTimeUtc());
    if (!token) {
        throw std::runtime_error("the device did not pair");
    }
    QProcess view;
    view.setProgram(QStringLiteral(LUDOMAT_EXE));
    view.setArguments({QStringLiteral("--serve"), QStringLiteral("--data-dir"), folder, QStringLiteral("--port"),
                       QStringLiteral("0")});
    view.setProcessChannelMode(QProcess::SeparateChannels);
    view.start();
    QByteArray listo;
    while (!listo.contains('\n') && view.waitForReadyRead(30000)) {
        listo += view.readAllStandardOutput();
    }
    const QList<QByteArray> words = listo.trimmed().split(' ');
    if (words.value(0) != "LISTO") {
        throw std::runtime_error("ludomat --serve did not start: " + view.readAllStandardError().toStdString());
    }
    const quint16 port = static_cast<quint16>(words.value(1).toUInt());
    const QList<QSslCertificate> own =
        QSslCertificate::fromPath(QDir(folder).filePath(QStringLiteral("vista-certificado.pem")));
    if (own.isEmpty()) {
        throw std::runtime_error("no certificate of the program's own in the data folder");
    }
    std::printf("  ludomat --serve on port %u, certificate %s\n", port, words.value(2).constData());
    std::vector<double> latencies;
    int failures = 0;
    QObject clients;
    for (int n = 0; n < 50; ++n) {
        new Client(n, port, own.first(), *token, latencies, failures, &clients);
    }
    // The counter meanwhile: a tick every 100 ms (a second of station time each), its kept time
    // written once a minute of station time.
    std::vector<double> ticks;
    QTimer tick;
    tick.setInterval(100);
    QObject::connect(&tick, &QTimer::timeout, &clients, [&] {
        clock.ms += 1000;
        QElapsedTimer timer;
        timer.start();
        board.tick();
        ticks.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e3);
        if (ticks.size() % 60 == 0) {
            board.refreshOpenRows();
        }
    });
    tick.start();
    QTimer::singleShot(seconds * 1000, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    tick.stop();
    const qint64 peak = peakKb(view.processId());
    view.terminate();
    view.waitForFinished(5000);
    const Figures f = figures(latencies);
    const Figures t = figures(ticks);
    std::printf("  50 clients polling /api/salon and /api/hoy every 2 s for %d s: %zu answers, %d not 200\n", seconds,
                latencies.size(), failures);
    print("latency of one answer", f);
    std::printf("  the view's process: peak memory (VmHWM) %.1f MB (limit 50 MB)\n",
                static_cast<double>(peak) / 1024.0);
    std::printf("  the counter's tick meanwhile, five stations open: median %.1f us, p99 %.1f us, worst %.1f us "
                "(limit 50 us)\n",
                t.median, t.p99, t.worst);
    return failures == 0 && f.median < kMedianLimitMs && f.p99 < kP99LimitMs && peak > 0 && peak < 50 * 1024 &&
           t.median < 50.0;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, atoi(argv[1])) : 60;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("dbLudomat.mdb"));
    if (!QFile::copy(QStringLiteral(LUDOMAT_TEMPLATE_DB), path)) {
        throw std::runtime_error("cannot copy the delivered database");
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    std::printf("filling a year of books (%d rentals, a shift a day)...\n", kDays * kRentalsADay);
    std::fflush(stdout);
    {
        auto db = data::Database::open(path);
        fillYear(*db);
    }
    // The counter with five stations open: three counting up, two prepaid.
    BenchClock clock;
    accounts::Session session;
    stations::StationBoard board(clock, session);
    if (board.load(path).result != stations::StationBoard::Loaded::Ready) {
        throw std::runtime_error("the counter did not load the books");
    }
    session.signIn(QStringLiteral("Juan"), false);
    for (int i = 0; i < 5; ++i) {
        if (!board.open(i, i < 3 ? stations::StationMode::Contador : stations::StationMode::Prepago, 24)) {
            throw std::runtime_error("a station did not open");
        }
    }
    clock.ms += 3'600'000;
    board.tick();

    std::printf("the view's data on a read-only handle (a year of books):\n");
    auto reader = data::Database::open(path, data::Database::Options{.readOnly = true});
    const stations::ClockReading now{clock.wallTime().toUTC(), clock.ms, clock.bootId()};
    const Figures room = timed(200, [&] { webview::roomNow(*reader, now); });
    const Figures today = timed(200, [&] { webview::today(*reader, QDateTime::currentDateTime()); });
    const Figures week = timed(100, [&] { webview::days(*reader, QDate::currentDate(), 7); });
    const Figures month = timed(50, [&] { webview::days(*reader, QDate::currentDate(), 30); });
    journal::Verification verification;
    const Figures verify = timed(1, [&] { verification = journal::verifyFile(path); });
    const Figures journalJson = timed(200, [&] { webview::journalState(verification, QDateTime::currentDateTime()); });
    print("/api/salon (roomNow, five open)", room);
    print("/api/hoy (today, with its shifts)", today);
    print("/api/dias?n=7", week);
    print("/api/dias?n=30", month);
    print("/api/registro (journalState)", journalJson);
    print("the journal's verification (on the view's thread)", verify);
    std::printf("  journal: %lld entries, %s\n", static_cast<long long>(verification.entries),
                verification.ok && verification.booksAgree() ? "verifies" : qPrintable(verification.problem));
    bool ok = room.median < kMedianLimitMs && today.median < kMedianLimitMs && month.median < kMedianLimitMs &&
              room.p99 < kP99LimitMs && today.p99 < kP99LimitMs && month.p99 < kP99LimitMs;
    reader.reset();
    std::printf("the view served by ludomat --serve:\n");
    std::fflush(stdout);
    ok = serve(folder.path(), board, clock, seconds) && ok;
    board.shutDown();
    std::printf("view: %s (limits: median %.0f ms, p99 %.0f ms)\n", ok ? "within its limits" : "OVER ITS LIMITS",
                kMedianLimitMs, kP99LimitMs);
    return ok ? 0 : 1;
}
