// The owner's view's data on real books written by the station board: today's figures are the
// cash close's for the same period (rentals across midnight, added blocks, refunds, discounts,
// several operators, shifts with differences), the days with nothing as 0, and every open
// station at a later instant with the time and amount the counter then shows.
#include "../cash_close/CashCloseFixtures.h"
#include "SqliteFile.h"
#include "TestSupport.h"
#include "accounts/Session.h"
#include "cash_close/CashCloseRun.h"
#include "cash_close/Report.h"
#include "room/Room.h"
#include "stations/StationBoard.h"
#include "webview/ViewData.h"

#include <QJsonArray>
#include <QtTest>

using stations::StationMode;

namespace {

// A room with names and a second console type of its own price (60 minutes for 25).
const char *const kRoom = "INSERT INTO Consolas VALUES ('Consola', 0, NULL, NULL, 1, 0, 0), ('VR', 1, 60, 25, 1, 0, 0);"
                          "INSERT INTO Puestos VALUES (1, 'PS5 Sala', 'Consola'), (2, 'VR Sala', 'VR'),"
                          "(3, 'Puesto 3', 'Consola'), (4, 'Puesto 4', 'Consola'), (5, 'Puesto 5', 'Consola');";

// The counter on a program folder: the named room, its clock moved by hand.
struct Counter {
    testing::TestPlatform t;
    accounts::Session session;
    stations::StationBoard board{t.clock, session};
    explicit Counter(const QDateTime &start) {
        t.clock.now = start;
        if (execRaw(t.databasePath(), kRoom) != SQLITE_OK ||
            board.load(t.databasePath()).result != stations::StationBoard::Loaded::Ready) {
            qFatal("the books did not load");
        }
        board.setRoom(room::stationSetups(room::readRoom(*board.store(), board.rate())));
        as(QStringLiteral("Ana"));
    }
    void as(const QString &user) { session.signIn(user, false); }
    void at(const QDateTime &when) {
        t.clock.advance(t.clock.now.secsTo(when));
        board.tick();
    }
    stations::Target target(int index) const { return {index, board.station(index).openedUtc}; }
    stations::ClockReading reading() const { return {t.clock.now.toUTC(), t.clock.monotonic, t.clock.boot}; }
    std::unique_ptr<data::Database> reader() const {
        return data::Database::open(t.databasePath(), data::Database::Options{.readOnly = true});
    }
};

QDateTime at(const char *iso) {
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
}

const stations::Approval kApproved{QStringLiteral("Admin"), QStringLiteral("prueba")};

// "name=cents;..." of a JSON list.
QString listed(const QJsonArray &list, const QString &key) {
    QStringList out;
    for (const QJsonValue &v : list) {
        out << QStringLiteral("%1=%2").arg(v[key].toString()).arg(v[QStringLiteral("importe")].toInteger());
    }
    return out.join(u';');
}

QString listed(const QVector<cash_close::Subtotal> &list) {
    QStringList out;
    for (const cash_close::Subtotal &s : list) {
        out << QStringLiteral("%1=%2").arg(s.key).arg(s.cents);
    }
    return out.join(u';');
}

// What a station of the board shows, as the view writes it: "1:10:05 30,00".
QString shown(const stations::Station &s) {
    const qint64 seconds = s.hours * 3600 + s.minutes * 60 + s.seconds;
    const qint64 cents = s.mode == StationMode::Contador ? s.cents - s.discountCents : s.cents;
    return QStringLiteral("%1:%2:%3 %4")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        .arg(numtext::amountText(cents));
}

} // namespace

class ViewDataTest final : public QObject {
    Q_OBJECT
    std::unique_ptr<Counter> books_;

private Q_SLOTS:
    void initTestCase() {
        QLocale::setDefault(QLocale(QStringLiteral("es_AR")));
        // Two days of the counter, from 4 Dec 2026 10:00.
        books_ = std::make_unique<Counter>(at("2026-12-04T10:00:00"));
        Counter &c = *books_;
        // An older day, and days with nothing.
        fixtures::record(c.t.databasePath(), {{1, "Ana", QDate(2026, 12, 1), QTime(15, 0), "4.35"}});
        QVERIFY(c.board.open(0, StationMode::Contador, 1));
        QVERIFY(c.board.open(1, StationMode::Prepago, 2)); // 50,00 at once
        c.at(at("2026-12-04T10:45:00"));
        QVERIFY(c.board.close(0)); // 0:45, two blocks: 20,00
        c.at(at("2026-12-04T12:00:05"));
        c.board.acknowledgeEnd(1);
        c.at(at("2026-12-04T23:30:00"));
        c.as(QStringLiteral("Beto"));
        QVERIFY(c.board.open(2, StationMode::Contador, 1));
        c.at(at("2026-12-05T00:40:00"));
        QVERIFY(c.board.giveDiscount(c.target(2), 500, kApproved).done);
        QVERIFY(c.board.close(2)); // across midnight, 1:10: 30,00 less 5,00, on the 5th
        c.at(at("2026-12-05T09:00:00"));
        c.as(QStringLiteral("Carla"));
        QVERIFY(c.board.open(3, StationMode::Prepago, 1)); // 10,00
        c.at(at("2026-12-05T09:10:00"));
        QVERIFY(c.board.addBlocks(c.target(3), 2).done); // 20,00 more
        c.at(at("2026-12-05T09:20:00"));
        QVERIFY(c.board.cancel(c.target(3), kApproved).done); // -30,00
        c.at(at("2026-12-05T11:00:00"));
        c.as(QStringLiteral("Ana"));
        QVERIFY(c.board.open(4, StationMode::Contador, 1));
        c.at(at("2026-12-05T11:31:00"));
        QVERIFY(c.board.close(4)); // 20,00
        // Beto's night shift short by 5,00, Carla's over by 2,50, Ana's open with her sale in it.
        QCOMPARE(
            execRaw(c.t.databasePath(),
                    "INSERT INTO Turnos (Numero, Usuario, Apertura, Fondo, PrimeraFila, UltimaFila, Cierre, Estado, "
                    "Ventas, Ingresos, Retiros, Gastos, Esperado, Contado, Diferencia, Nota) VALUES "
                    "(1, 'Beto', '2026-12-04T23:00:00', 100, 0, 0, '2026-12-05T01:00:00', 'Cerrado', 25, 0, 0, 0, "
                    "125, 120, -5, 'faltan'),"
                    "(2, 'Carla', '2026-12-05T08:30:00', 50, 0, 0, '2026-12-05T10:00:00', 'Cerrado', 0, 0, 0, 0, 50, "
                    "52.5, 2.5, NULL);"
                    "INSERT INTO Turnos (Numero, Usuario, Apertura, Fondo, PrimeraFila, Estado) SELECT 3, 'Ana', "
                    "'2026-12-05T10:30:00', 200, MAX(rowid) - 1, 'Abierto' FROM Alquiler;"),
            SQLITE_OK);
    }
    void cleanupTestCase() {
        books_.reset();
        QLocale::setDefault(QLocale::c());
    }

    // Today from 00:00 to the instant asked: the cash close's total, by station and by operator,
    // for the same period, and the shifts open during it with their figures.
    void todayIsTheCashClose_data() {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<QString>("byOperator");
        QTest::addColumn<QString>("shifts");
        QTest::newRow("the day before, to its last second") << at("2026-12-04T23:59:59") << qint64(7000) << "Ana=7000"
                                                            << "1:Cerrado:-500";
        QTest::newRow("after midnight: the rental closed then")
            << at("2026-12-05T08:00:00") << qint64(2500) << "Beto=2500"
            << "1:Cerrado:-500";
        QTest::newRow("a sale, blocks added, its refund")
            << at("2026-12-05T10:00:00") << qint64(2500) << "Beto=2500;Carla=0"
            << "1:Cerrado:-500;2:Cerrado:250";
        QTest::newRow("a second before the next close")
            << at("2026-12-05T11:30:59") << qint64(2500) << "Beto=2500;Carla=0"
            << "1:Cerrado:-500;2:Cerrado:250;3:Abierto:-";
        QTest::newRow("the day so far") << at("2026-12-05T18:00:00") << qint64(4500) << "Ana=2000;Beto=2500;Carla=0"
                                        << "1:Cerrado:-500;2:Cerrado:250;3:Abierto:-";
    }
    void todayIsTheCashClose() {
        QFETCH(QDateTime, now);
        QFETCH(qint64, total);
        QFETCH(QString, byOperator);
        QFETCH(QString, shifts);
        auto reader = books_->reader();
        const QJsonObject view = webview::today(*reader, now);
        QCOMPARE(view["total"]["importe"].toInteger(), total);
        QCOMPARE(view["total"]["texto"].toString(), numtext::amountText(total));
        QCOMPARE(listed(view["porOperador"].toArray(), "operador"), byOperator);
        // The window's own cash close over the same period, through Caja.
        auto writer = data::Database::open(books_->t.databasePath());
        cash_close::CashCloseRun run(*writer, QStringLiteral("Admin"));
        run.setLabels(cash_close::readStationLabels(*writer));
        const cash_close::Report close = run.run({now.date(), QTime(0, 0), now.date(), now.time()});
        QCOMPARE(view["total"]["importe"].toInteger(), close.totalCents);
        QCOMPARE(view["alquileres"].toInt(), close.rentals);
        QCOMPARE(listed(view["porPuesto"].toArray(), "nombre"), listed(close.byStation));
        QCOMPARE(listed(view["porOperador"].toArray(), "operador"), listed(close.byOperator));
        QCOMPARE(view["porPuesto"][0]["nombre"].toString(), QStringLiteral("PS5 Sala"));
        QStringList seen;
        for (const QJsonValue &s : view["turnos"].toArray()) {
            seen << QStringLiteral("%1:%2:%3")
                        .arg(s["numero"].toInteger())
                        .arg(s["estado"].toString(), s["diferencia"].isNull()
                                                         ? QStringLiteral("-")
                                                         : QString::number(s["diferencia"]["importe"].toInteger()));
        }
        QCOMPARE(seen.join(u';'), shifts);
        if (now.time() >= QTime(11, 31) && now.date() == QDate(2026, 12, 5)) {
            // The open shift with its sales so far and what its drawer should hold.
            const QJsonValue open = view["turnos"][2];
            QCOMPARE(open["ventas"]["importe"].toInteger(), 2000);
            QCOMPARE(open["esperado"]["texto"].toString(), QStringLiteral("220,00"));
            QVERIFY(open["cierre"].isNull() && open["contado"].isNull());
        }
    }

    // Each day of the span as the cash close of that day, a day with nothing as 0, oldest first.
    void daysWithGaps_data() {
        QTest::addColumn<QDate>("last");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("figures");
        QTest::newRow("seven days") << QDate(2026, 12, 5) << 7
                                    << "2026-11-29=0;2026-11-30=0;2026-12-01=435;2026-12-02=0;2026-12-03=0;"
                                       "2026-12-04=7000;2026-12-05=4500";
        QTest::newRow("one day") << QDate(2026, 12, 4) << 1 << "2026-12-04=7000";
        QTest::newRow("nothing at all") << QDate(2026, 11, 20) << 3 << "2026-11-18=0;2026-11-19=0;2026-11-20=0";
    }
    void daysWithGaps() {
        QFETCH(QDate, last);
        QFETCH(int, count);
        QFETCH(QString, figures);
        auto reader = books_->reader();
        const QJsonObject view = webview::days(*reader, last, count);
        QCOMPARE(listed(view["dias"].toArray(), "fecha"), figures);
        qint64 sum = 0;
        qint64 most = 0;
        for (const QJsonValue &d : view["dias"].toArray()) {
            // Each day is that day's cash close.
            const QDate day = QDate::fromString(d["fecha"].toString(), Qt::ISODate);
            QCOMPARE(
                d["importe"].toInteger(),
                cash_close::reportFromRentals(*reader, {day, QTime(0, 0), day, QTime(23, 59, 59)}, {}, {}).totalCents);
            sum += d["importe"].toInteger();
            most = std::max(most, d["importe"].toInteger());
        }
        QCOMPARE(view["total"]["importe"].toInteger(), sum);
        QCOMPARE(view["maximo"]["importe"].toInteger(), most);
        // Thirty days are the same figures, the longer span's days before them.
        if (count == 7) {
            const QJsonArray month = webview::days(*reader, last, 30)["dias"].toArray();
            QCOMPARE(month.size(), 30);
            QCOMPARE(listed(QJsonArray::fromVariantList(month.toVariantList().mid(23)), "fecha"), figures);
        }
    }

    // A station open on the counter, read by the view at a later instant without any tick in
    // between: the time and amount the counter shows at that instant, paused or not.
    void roomSteppedOn_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("later");
        QTest::addColumn<QString>("expected"); // as shown() writes it
        QTest::addColumn<bool>("paused");
        QTest::addColumn<bool>("ended");
        QTest::newRow("Contador, three blocks") << "contador" << 0 << 4205 << "1:10:05 30,00" << false << false;
        QTest::newRow("Contador with a discount") << "discount" << 0 << 2400 << "0:40:00 16,50" << false << false;
        QTest::newRow("Contador paused at ten minutes") << "pause" << 0 << 3600 << "0:10:00 10,00" << true << false;
        QTest::newRow("prepaid, counting down") << "prepaid" << 0 << 1500 << "0:35:00 20,00" << false << false;
        QTest::newRow("prepaid, a block and courtesy added")
            << "extend" << 0 << 600 << "0:55:00 20,00" << false << false;
        QTest::newRow("prepaid that ran out meanwhile") << "ended" << 0 << 1900 << "0:00:00 10,00" << false << true;
        QTest::newRow("a station of its own type and name")
            << "contador" << 1 << 3660 << "1:01:00 50,00" << false << false;
    }
    void roomSteppedOn() {
        QFETCH(QString, what);
        QFETCH(int, index);
        QFETCH(int, later);
        QFETCH(QString, expected);
        QFETCH(bool, paused);
        QFETCH(bool, ended);
        Counter c(at("2026-12-05T14:05:09"));
        const bool contador = what == u"contador" || what == u"discount" || what == u"pause";
        QVERIFY(
            c.board.open(index, contador ? StationMode::Contador : StationMode::Prepago, what == u"prepaid" ? 2 : 1));
        if (what == u"pause") {
            c.at(c.t.clock.now.addSecs(600));
            QVERIFY(c.board.pause(index));
            later -= 600;
        } else if (what == u"discount") {
            QVERIFY(c.board.giveDiscount(c.target(index), 350, kApproved).done);
        } else if (what == u"extend") {
            QVERIFY(c.board.addBlocks(c.target(index), 1).done);
            QVERIFY(c.board.giveCourtesy(c.target(index), 5, kApproved).done);
        }
        c.t.clock.advance(later); // no tick: the view steps on by itself
        auto reader = c.reader();
        const QJsonObject room = webview::roomNow(*reader, c.reading());
        const QJsonArray list = room["puestos"].toArray();
        QCOMPARE(list.size(), 5);
        const QJsonValue station = list[index];
        QCOMPARE(station["numero"].toInt(), index + 1);
        QCOMPARE(station["nombre"].toString(), index ? QStringLiteral("VR Sala") : QStringLiteral("PS5 Sala"));
        QCOMPARE(station["abierto"].toBool(), true);
        QCOMPARE(station["modo"].toString(), contador ? QStringLiteral("Contador") : QStringLiteral("Prepago"));
        QCOMPARE(station["operador"].toString(), QStringLiteral("Ana"));
        QCOMPARE(station["restante"].toBool(), !contador);
        QCOMPARE(station["tiempo"].toString() + u' ' + station["texto"].toString(), expected);
        QCOMPARE(station["pausado"].toBool(), paused);
        QCOMPARE(station["terminado"].toBool(), ended);
        QCOMPARE(room["abiertos"].toInt(), 1);
        QCOMPARE(list[index ? 0 : 1]["abierto"].toBool(), false);
        // The counter, ticking now, shows the same.
        c.board.tick();
        if (!ended) {
            QCOMPARE(shown(c.board.station(index)), expected);
        }
    }

    // The journal as verified: its length and last hash, and a broken chain said as such.
    void journalState() {
        Counter c(at("2026-12-05T14:05:09"));
        QVERIFY(c.board.open(0, StationMode::Contador, 1));
        const QDateTime checked = at("2026-12-05T14:06:00");
        const journal::Verification good = journal::verifyFile(c.t.databasePath());
        const QJsonObject fine = webview::journalState(good, checked);
        QCOMPARE(fine["entradas"].toInteger(), good.entries);
        QVERIFY(good.entries > 0);
        QCOMPARE(fine["ultimoHash"].toString(), journal::summary(*c.reader()).lastHash);
        QCOMPARE(fine["verifica"].toBool(), true);
        QCOMPARE(fine["verificado"].toString(), QStringLiteral("2026-12-05T14:06:00"));
        QCOMPARE(execRaw(c.t.databasePath(), "UPDATE Registro SET Detalle = 'otro' WHERE Secuencia = 2"), SQLITE_OK);
        const QJsonObject broken = webview::journalState(journal::verifyFile(c.t.databasePath()), checked);
        QCOMPARE(broken["verifica"].toBool(), false);
        QCOMPARE(broken["primeraMala"].toInteger(), 2);
        QVERIFY(!broken["problema"].toString().isEmpty());
        QVERIFY(webview::journalState(good, {})["verificado"].isNull());
    }
};

QTEST_GUILESS_MAIN(ViewDataTest)
#include "tst_view_data.moc"
