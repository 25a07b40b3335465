// The board under a room of its own: station numbers in every record, each rental priced by the
// terms it opened with (periods, tolerance, minimum, controllers), and those terms and stations
// brought back at the next start, on a real file.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "accounts/Session.h"
#include "data/Journal.h"
#include "stations/OpenStations.h"
#include "stations/StationBoard.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

using stations::StationBoard;
using stations::StationMode;
using stations::StationSetup;

// A console type of 60-minute blocks at 10.00, optionally with a period at 6.00 from 14:35 to
// 16:35 every day: a rental opened at the test clock's 14:05:09 starts its second block in it.
pricing::Terms terms(int tolerance = 0, int minimum = 1, qint64 controllerCents = 0, bool period = false) {
    pricing::Terms t;
    std::tie(t.minutes, t.cents, t.toleranceMinutes, t.minimumBlocks, t.controllerCents) =
        std::tuple(60, 1000, tolerance, minimum, controllerCents);
    if (period)
        t.periods.push_back({QStringLiteral("Tarde"), pricing::kEveryDay, 14 * 60 + 35, 16 * 60 + 35, 600});
    return t;
}

// Stations of type "Nueva" (typeIndex 1) with those terms, named "Puesto N".
std::vector<StationSetup> room(const QList<int> &numbers, const pricing::Terms &t = terms()) {
    std::vector<StationSetup> setups;
    for (int n : numbers)
        setups.push_back({n, QStringLiteral("Puesto %1").arg(n), QStringLiteral("Nueva"), 1, t});
    return setups;
}

struct Shop {
    testing::TestPlatform t;
    accounts::Session session;
    std::unique_ptr<StationBoard> board;

    explicit Shop(const std::vector<StationSetup> &setups) { start(setups); }
    // The program started (again) on the file with this room, its open stations restored.
    void start(const std::vector<StationSetup> &setups) {
        board = std::make_unique<StationBoard>(t.clock, session);
        if (board->load(t.databasePath()).result != StationBoard::Loaded::Ready)
            qFatal("the board does not load");
        board->setRate({30, 500});
        board->setRoom(setups);
        session.signIn(QStringLiteral("Admin"), true);
    }
    void tick(int seconds) {
        t.clock.advance(seconds);
        board->tick();
    }
    QStringList rows(const char *table) const { return testing::tableRows(t.databasePath(), QLatin1String(table)); }
    QStringList column(const char *table, int k) const {
        QStringList out;
        for (const QString &row : rows(table))
            out << row.section(u'|', k, k);
        return out;
    }
    QStringList logged(const char *evento, const char *columns) const {
        const QString key = QLatin1String(evento) + u'|';
        return testing::journal(t.databasePath(), QLatin1String(columns)).filter(key).replaceInStrings(key, QString());
    }
    bool booksAgree() const {
        const journal::Verification v = journal::verifyFile(t.databasePath());
        return v.ok && v.booksChecked && v.booksAgree();
    }
};

} // namespace

class RoomBoardTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    // Every record names the station by its number, whatever its row in the window.
    void roomsOfAnySize_data() {
        QTest::addColumn<QList<int>>("numbers");
        QTest::newRow("one station, number 7") << QList<int>{7};
        QList<int> twenty;
        for (int n = 20; n >= 1; --n)
            twenty << n; // rows in another order than the numbers
        QTest::newRow("twenty") << twenty;
    }

    void roomsOfAnySize() {
        QFETCH(QList<int>, numbers);
        Shop shop(room(numbers));
        QCOMPARE(shop.board->count(), numbers.size());
        QStringList expected;
        for (int i = 0; i < numbers.size(); ++i) {
            QVERIFY(shop.board->open(i, i % 2 ? StationMode::Prepago : StationMode::Contador, 1));
            expected << QString::number(numbers[i]);
        }
        expected.sort();
        shop.tick(61 * 60);
        for (int i = 0; i < numbers.size(); ++i) {
            shop.board->acknowledgeEnd(i);
            QVERIFY(!shop.board->station(i).running || shop.board->close(i));
        }
        QVERIFY(shop.rows("PuestosAbiertos").isEmpty());
        QStringList recorded = shop.column("Alquiler", 0);
        QStringList opened = shop.logged("Puesto abierto", "Evento, Puesto");
        recorded.sort();
        opened.sort();
        QCOMPARE(opened, expected);
        QCOMPARE(recorded, expected); // the prepaid sales and the Contador closes
        QVERIFY(shop.booksAgree());
    }

    // A station's name in messages: the plain name as it always was, another after "puesto".
    void messagesNameTheStation() {
        std::vector<StationSetup> setups = room({4, 6});
        setups[1].name = QStringLiteral("PS5 Sala");
        Shop shop(setups);
        QVERIFY(shop.board->open(0, StationMode::Contador, 1) && shop.board->open(1, StationMode::Contador, 1));
        QCOMPARE(shop.board->move({0, shop.board->station(0).openedUtc}, 1).refusal,
                 QStringLiteral("El puesto PS5 Sala está ocupado: el alquiler sigue en el Puesto 4."));
    }

    // A Contador rental pays each started block at the price of its start, after the tolerance,
    // never below the minimum, with its controllers' surcharge; the record has the amount and the
    // close's entry the breakdown, only when the terms are not plain. The edges of each: the
    // pricing tests.
    void contadorUnderTerms_data() {
        QTest::addColumn<int>("tolerance");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("controllers");
        QTest::addColumn<int>("surcharge"); // cents per extra controller and block
        QTest::addColumn<bool>("period");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("importe");
        QTest::addColumn<QString>("breakdown"); // empty: the entry ends at its opening
        QTest::newRow("plain, 61 min") << 0 << 1 << 1 << 0 << false << 3660 << "20"
                                       << "";
        QTest::newRow("period, second block in it") << 0 << 1 << 1 << 0 << true << 3600 << "16"
                                                    << "Bloques: 1 a 10,00 (base), 1 a 6,00 (Tarde)";
        QTest::newRow("tolerance 10, 69 min") << 10 << 1 << 1 << 0 << false << 69 * 60 + 59 << "10"
                                              << "Bloques: 1 a 10,00 (base); tolerancia 10 min";
        QTest::newRow("minimum 3, 61 min") << 0 << 3 << 1 << 0 << false << 3660 << "30"
                                           << "Bloques: 3 a 10,00 (base); mínimo 3";
        QTest::newRow("two controllers at 1.50") << 0 << 1 << 2 << 150 << false << 3660 << "23"
                                                 << "Bloques: 2 a 10,00 (base); 2 mandos (+1,50 por bloque)";
    }

    void contadorUnderTerms() {
        QFETCH(int, tolerance);
        QFETCH(int, minimum);
        QFETCH(int, controllers);
        QFETCH(int, surcharge);
        QFETCH(bool, period);
        QFETCH(int, seconds);
        QFETCH(QString, importe);
        QFETCH(QString, breakdown);
        Shop shop(room({3}, terms(tolerance, minimum, surcharge, period)));
        QVERIFY(shop.board->setControllers(0, controllers));
        QVERIFY(shop.board->open(0, StationMode::Contador, 1));
        QVERIFY(!shop.board->setControllers(0, 1)); // kept by the rental
        for (int step = 0; step < seconds; step += 7)
            shop.tick(std::min(7, seconds - step)); // the tick, not one jump
        QVERIFY(shop.board->close(0));
        QVERIFY2(shop.board->sqlText().endsWith(u',' + importe + u')'), qPrintable(shop.board->sqlText()));
        QCOMPARE(shop.column("Alquiler", 0), QStringList{"3"});
        const QString closed = shop.logged("Puesto cerrado", "Evento, Detalle").value(0);
        const QString suffix = "Apertura=2026-12-05T17:05:09Z" + (breakdown.isEmpty() ? "" : "; Desglose=" + breakdown);
        QVERIFY2(closed.endsWith(suffix), qPrintable(closed));
        QVERIFY(shop.booksAgree());
    }

    // A prepaid sale is of the minimum at least, its controllers' surcharge included; blocks added
    // later pay the price in force then; a cancel gives back exactly what was paid.
    void prepaidUnderTerms() {
        Shop shop(room({5}, terms(0, 3, 150, true)));
        QVERIFY(shop.board->setControllers(0, 2) && shop.board->chooseMode(0, StationMode::Prepago));
        QCOMPARE(shop.board->station(0).cents, 3 * 1150); // the minimum, shown at the choice
        QVERIFY(shop.board->open(0, StationMode::Prepago, 1));
        QVERIFY(shop.board->sqlText().endsWith(",#3:0#,34.5)"));
        QCOMPARE(shop.rows("PuestosAbiertos").value(0).section(u'|', 6, 6), QStringLiteral("3")); // bought
        shop.tick(40 * 60); // 14:45: the period's price
        const stations::Target target{0, shop.board->station(0).openedUtc};
        QVERIFY(shop.board->addBlocks(target, 1).done);
        QVERIFY(shop.board->sqlText().endsWith(",#1:0#,7.5)"));
        // Brought back after a restart it still knows what was paid.
        shop.board->shutDown();
        shop.start(room({5}, terms()));
        shop.board->restore();
        QCOMPARE(shop.board->station(0).cents, 3450 + 750);
        QVERIFY(shop.board->cancel({0, target.openedUtc}, {QStringLiteral("Admin"), QStringLiteral("error")}).done);
        QVERIFY2(shop.board->sqlText().endsWith(",-42)"), qPrintable(shop.board->sqlText()));
        QVERIFY(shop.booksAgree());
    }

    // At a start a rental comes back with the terms it opened with, on its station, or on a
    // station "Puesto N" added to the room when the room no longer has its number.
    void restoredUnderItsOwnTerms_data() {
        QTest::addColumn<QList<int>>("roomNow");
        QTest::addColumn<int>("index"); // where it comes back
        QTest::newRow("terms changed since") << QList<int>{1, 2} << 1;
        QTest::newRow("station gone") << QList<int>{1, 3} << 2;
    }

    void restoredUnderItsOwnTerms() {
        QFETCH(QList<int>, roomNow);
        QFETCH(int, index);
        Shop shop(room({1, 2}, terms(10)));
        QVERIFY(shop.board->setControllers(1, 2) && shop.board->open(1, StationMode::Contador, 1));
        shop.tick(600);
        shop.board->shutDown();
        shop.start(room(roomNow, terms(0, 1, 500))); // dearer now, no tolerance
        QStringList order;
        connect(shop.board.get(), &StationBoard::roomChanged, this, [&] { order << "room"; });
        connect(shop.board.get(), &StationBoard::stationChanged, this, [&](int i) { order << QString::number(i); });
        shop.board->restore();
        QCOMPARE(order, (index == 2 ? QStringList{"room", "2"} : QStringList{"1"}));
        QCOMPARE(shop.board->count(), index + 1);
        QCOMPARE(shop.board->setup(index).number, 2);
        QCOMPARE(shop.board->setup(index).name, QStringLiteral("Puesto 2"));
        QCOMPARE(shop.board->station(index).controllers, 2);
        shop.tick(69 * 60 - 600); // 69 min in all: one block under its tolerance of 10
        QVERIFY(shop.board->move({index, shop.board->station(index).openedUtc}, 0).done);
        shop.board->tick();
        QVERIFY(shop.board->close(0));
        QVERIFY2(shop.board->sqlText().contains("(1, 'Contador'") && shop.board->sqlText().endsWith(",10)"),
                 qPrintable(shop.board->sqlText()));
        QVERIFY(shop.booksAgree());
    }

    // Terms kept as text come back whole; a row whose terms cannot be read is set aside.
    void termsKeptAsText_data() {
        QTest::addColumn<QString>("edit"); // SQL on the open row; empty: none
        QTest::addColumn<bool>("setAside");
        const QString set = QStringLiteral("UPDATE PuestosAbiertos SET Condiciones = %1");
        const QString replace = set.arg(QStringLiteral("replace(Condiciones, '\"%1', '\"%2')"));
        QTest::newRow("as written") << "" << false;
        QTest::newRow("not JSON") << set.arg("'{'") << true;
        QTest::newRow("another version") << replace.arg("v\":1", "v\":2") << true;
        QTest::newRow("another block than the row's") << replace.arg("m\":60", "m\":30") << true;
        QTest::newRow("a period ending where it starts") << replace.arg("a\":995", "a\":875") << true;
        QTest::newRow("no terms kept") << set.arg("NULL, Mandos = NULL") << false;
    }

    void termsKeptAsText() {
        QFETCH(QString, edit);
        QFETCH(bool, setAside);
        const pricing::Terms t = terms(5, 2, 100, true);
        const QString text = stations::termsText(t);
        const auto back = stations::readTerms(text);
        QVERIFY(back && stations::termsText(*back) == text && back->periods.size() == 1 &&
                back->periods[0].name == QStringLiteral("Tarde") && back->toleranceMinutes == 5 &&
                back->minimumBlocks == 2 && back->controllerCents == 100);
        Shop shop(room({1}, t));
        QVERIFY(shop.board->open(0, StationMode::Contador, 1));
        shop.board->shutDown();
        if (!edit.isEmpty())
            QCOMPARE(execRaw(shop.t.databasePath(), edit.toUtf8().constData()), SQLITE_OK);
        shop.start(room({1}));
        QSignalSpy restored(shop.board.get(), &StationBoard::restored);
        shop.board->restore();
        QCOMPARE(shop.board->station(0).running, !setAside);
        QCOMPARE(shop.rows("PuestosApartados").size(), setAside ? 1 : 0);
        QCOMPARE(restored.value(0).value(0).toString().contains("las condiciones de precio guardadas"), setAside);
    }
};

QTEST_GUILESS_MAIN(RoomBoardTest)
#include "tst_room_board.moc"
