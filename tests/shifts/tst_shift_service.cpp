// The shift's money against a real file: what the drawer should hold after every kind of sale and
// movement, counts that are never changed, a close the file refuses, and the slip.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "shifts/ShiftRecords.h"
#include "shifts/ShiftService.h"
#include "shifts/ShiftSlip.h"
#include "ui/formUsuario.h"

#include <QtTest>

using shifts::MovementKind;

namespace {

enum class Op { Contador, DiscountedContador, Prepaid, AddBlock, CancelPrepaid, Ingreso, Retiro, Gasto, NextShift };

// Signs in as the administrator and opens the shift with the float typed.
void startShift(testing::Shop &shop, const QString &floatText) {
    shop.desk->session().signIn(QStringLiteral("Admin"), true);
    Q_EMIT shop.desk->accountsWindow()->signedIn();
    QVERIFY(testing::acceptFloat(*shop.desk, floatText));
}

stations::Target target(testing::Shop &shop, int index) {
    return {index, shop.board().station(index).openedUtc};
}

void run(testing::Shop &shop, Op op) {
    stations::StationBoard &board = shop.board();
    shifts::ShiftService &service = shop.desk->shifts();
    const stations::Approval approval{QStringLiteral("Admin"), QStringLiteral("prueba")};
    switch (op) {
    case Op::Contador: // 40 minutes at 30 minutes for $10: two blocks
    case Op::DiscountedContador:
        QVERIFY(board.open(0, stations::StationMode::Contador, 1));
        shop.tick(40 * 60);
        if (op == Op::DiscountedContador) {
            QVERIFY(board.giveDiscount(target(shop, 0), 500, approval).done);
        }
        QVERIFY(board.close(*board.quoteClose(0)));
        break;
    case Op::Prepaid: // two blocks, paid when sold
        QVERIFY(board.chooseMode(1, stations::StationMode::Prepago));
        QVERIFY(board.setBlocks(1, 2));
        QVERIFY(board.open(1, stations::StationMode::Prepago, 2));
        break;
    case Op::AddBlock:
        QVERIFY(board.addBlocks(target(shop, 1), 1).done);
        break;
    case Op::CancelPrepaid: // refunds all it was paid
        QVERIFY(board.cancel(target(shop, 1), approval).done);
        break;
    case Op::Ingreso:
        QVERIFY(
            service.addMovement(MovementKind::Ingreso, 10000, QStringLiteral("cambio"), QStringLiteral("Admin")).ok);
        break;
    case Op::Retiro:
        QVERIFY(service.addMovement(MovementKind::Retiro, 20000, {}, QStringLiteral("Admin")).ok);
        break;
    case Op::Gasto:
        QVERIFY(service.addMovement(MovementKind::Gasto, 3000, QStringLiteral("limpieza"), QStringLiteral("Admin")).ok);
        break;
    case Op::NextShift:
        QVERIFY(service.close({{10000, 1}}, QStringLiteral("Admin")).ok);
        QVERIFY(service.open(QStringLiteral("Admin"), 50000).ok);
        break;
    }
}

// A stored amount as the engine keeps it, in cents.
qint64 storedCents(const QString &path, const QString &sql) {
    return qRound64(readOnlyRows(path, sql.toUtf8().constData()).value(0).toDouble() * 100);
}

} // namespace

Q_DECLARE_METATYPE(QList<Op>)

class ShiftServiceTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void expectedCash_data() {
        QTest::addColumn<QList<Op>>("ops");
        QTest::addColumn<qint64>("sales");
        QTest::addColumn<qint64>("expected"); // float $500 + sales + in - out
        QTest::newRow("nothing sold") << QList<Op>{} << 0LL << 50000LL;
        QTest::newRow("contador") << QList<Op>{Op::Contador} << 2000LL << 52000LL;
        QTest::newRow("prepaid and a block added") << QList<Op>{Op::Prepaid, Op::AddBlock} << 3000LL << 53000LL;
        QTest::newRow("prepaid cancelled: refunded")
            << QList<Op>{Op::Prepaid, Op::AddBlock, Op::CancelPrepaid} << 0LL << 50000LL;
        QTest::newRow("discounted contador") << QList<Op>{Op::DiscountedContador} << 1500LL << 51500LL;
        QTest::newRow("cash in and out") << QList<Op>{Op::Ingreso, Op::Retiro, Op::Gasto} << 0LL << 37000LL;
        QTest::newRow("everything") << QList<Op>{Op::Contador, Op::Prepaid, Op::AddBlock,
                                                 Op::Ingreso,  Op::Retiro,  Op::Gasto}
                                    << 5000LL << 42000LL;
        QTest::newRow("the shift before keeps its own")
            << QList<Op>{Op::Contador, Op::Retiro, Op::NextShift, Op::Prepaid} << 2000LL << 52000LL;
    }
    void expectedCash() {
        QFETCH(QList<Op>, ops);
        QFETCH(qint64, sales);
        QFETCH(qint64, expected);
        testing::Shop shop;
        startShift(shop, QStringLiteral("500"));
        for (const Op op : ops) {
            run(shop, op);
            if (QTest::currentTestFailed()) {
                return;
            }
        }
        const shifts::ShiftService::CloseResult closed =
            shop.desk->shifts().close({{10000, 5}, {50, 3}}, QStringLiteral("Admin"));
        QVERIFY2(closed.ok, qPrintable(closed.problem));
        QCOMPARE(closed.closing.shift.totals.salesCents, sales);
        QCOMPARE(closed.closing.shift.expectedCents, expected);
        // What another program reads from the file is what was shown.
        const QString path = shop.t.databasePath();
        const QString last = QStringLiteral(" FROM Turnos ORDER BY Numero DESC LIMIT 1");
        QCOMPARE(storedCents(path, "SELECT Ventas" + last), sales);
        QCOMPARE(storedCents(path, "SELECT Esperado" + last), expected);
        QCOMPARE(storedCents(path, "SELECT Contado" + last), 50150LL);
        QCOMPARE(storedCents(path, "SELECT Diferencia" + last), 50150LL - expected);
        QCOMPARE(readOnlyRows(path, ("SELECT Estado" + last).toUtf8().constData()),
                 QStringList(QStringLiteral("Cerrado")));
    }

    // A count stands as stored: the file refuses to change or remove it, and a recount is a row of
    // its own that the shift's counted amount follows; each is in the journal, whose chain holds.
    void countsAreNeverChanged() {
        testing::Shop shop;
        startShift(shop, QStringLiteral("100"));
        shifts::ShiftService &service = shop.desk->shifts();
        const auto first = service.close({{10000, 1}, {1000, 1}}, QStringLiteral("Admin"));
        QVERIFY(first.ok);
        const QString path = shop.t.databasePath();
        for (const QString &sql :
             {QStringLiteral("UPDATE Arqueos SET Contado = 10000"), QStringLiteral("DELETE FROM Arqueos")}) {
            QVERIFY(sqliteShell(path, sql).contains(QStringLiteral("un arqueo no se")));
        }
        // The slip asked for again from the cash close names the same count and entry.
        const auto fromBooks = [&shop](qint64 numero) {
            const std::optional<shifts::Closing> c = shifts::storedClosing(*shop.desk->board().store(), numero);
            return c ? QStringLiteral("%1 %2 %3 %4")
                           .arg(c->countNumber)
                           .arg(shifts::countText(c->count))
                           .arg(c->journalSecuencia)
                           .arg(c->journalHash)
                     : QString();
        };
        const auto asClosed = [](const shifts::Closing &c) {
            return QStringLiteral("%1 %2 %3 %4")
                .arg(c.countNumber)
                .arg(shifts::countText(c.count))
                .arg(c.journalSecuencia)
                .arg(c.journalHash);
        };
        QCOMPARE(fromBooks(first.closing.shift.numero), asClosed(first.closing));
        const auto second = service.recount(first.closing.shift.numero, {{10000, 1}}, QStringLiteral("Admin"));
        QVERIFY2(second.ok, qPrintable(second.problem));
        QCOMPARE(fromBooks(first.closing.shift.numero), asClosed(second.closing));
        QCOMPARE(readOnlyRows(path, "SELECT Numero || '|' || Billetes || '|' || Contado FROM Arqueos ORDER BY Numero"),
                 QStringList({"1|10000x1;1000x1|110.0", "2|10000x1|100.0"}));
        QCOMPARE(storedCents(path, "SELECT Contado FROM Turnos"), 10000LL);
        QCOMPARE(storedCents(path, "SELECT Diferencia FROM Turnos"), 0LL);
        QCOMPARE(testing::journal(path, "Evento").filter(journal::event::kCashCounted).size(), 2);
        const journal::Verification v = journal::verifyFile(path);
        QVERIFY2(v.ok && v.booksAgree(), qPrintable(v.problem));
        // The slip names the entry that recorded the recount, as the file has it.
        QCOMPARE(second.closing.journalSecuencia, v.entries);
        const printing::Document slip = shifts::slipDocument(second.closing, QStringLiteral("Sala Centro"));
        QStringList text;
        for (const printing::Line &line : slip.lines) {
            text << (line.left + u'|' + line.right);
        }
        QVERIFY2(text.contains(QStringLiteral("Sala Centro|")), qPrintable(text.join(u'\n')));
        QVERIFY(text.contains(QStringLiteral("Registro: entrada %1|").arg(v.entries)));
        QVERIFY(text.contains(v.lastHash.left(16) + u'|'));
        QVERIFY(text.contains(QStringLiteral("Diferencia|$ 0,00")));
        QVERIFY(!text.filter(QStringLiteral("--verify-journal")).isEmpty());
    }

    // The slip says over or short the right way round, and lists what was counted.
    void slipDifference_data() {
        QTest::addColumn<qint64>("difference");
        QTest::addColumn<QString>("line");
        QTest::newRow("short") << -1250LL << "Faltante|$ 12,50";
        QTest::newRow("over") << 300LL << "Sobrante|$ 3,00";
        QTest::newRow("even") << 0LL << "Diferencia|$ 0,00";
    }
    void slipDifference() {
        QFETCH(qint64, difference);
        QFETCH(QString, line);
        shifts::Closing c;
        c.shift.numero = 4;
        c.shift.expectedCents = 10000;
        c.shift.countedCents = 10000 + difference;
        c.shift.differenceCents = difference;
        c.count = {{5000, 2}};
        c.countNumber = 1;
        QStringList text;
        for (const printing::Line &l : shifts::slipDocument(c).lines) {
            text << (l.left + u'|' + l.right);
        }
        QVERIFY2(text.contains(line), qPrintable(text.join(u'\n')));
        QVERIFY(text.contains(QStringLiteral("$ 50,00 x 2|$ 100,00")));
    }

    // A close the file refuses in its middle leaves the shift open and nothing of the close
    // written: no count, no totals, no journal entry.
    void refusedCloseWritesNothing() {
        testing::Shop shop;
        startShift(shop, QStringLiteral("100"));
        const QString path = shop.t.databasePath();
        QCOMPARE(sqliteShell(path, QStringLiteral("CREATE TRIGGER Lleno BEFORE INSERT ON Arqueos BEGIN "
                                                  "SELECT RAISE(ABORT, 'disco lleno'); END")),
                 QString());
        const QStringList before = shop.rows(QStringLiteral("Turnos")) + shop.rows(QStringLiteral("Registro"));
        const auto closed = shop.desk->shifts().close({{10000, 1}}, QStringLiteral("Admin"));
        QVERIFY(!closed.ok);
        QVERIFY(closed.problem.startsWith(QStringLiteral("No se pudo cerrar el turno; sigue abierto.")));
        QCOMPARE(shop.rows(QStringLiteral("Turnos")) + shop.rows(QStringLiteral("Registro")), before);
        QVERIFY(shop.desk->shifts().current().shift.has_value());
    }
};

QTEST_MAIN(ShiftServiceTest)
#include "tst_shift_service.moc"
