// The bytes a slip becomes, read back the way a printer reads them.
#include "EscPosDecoder.h"
#include "printing/EscPos.h"
#include "printing/Receipt.h"

#include <QTest>

using printing::Document;
using printing::Line;
using Style = printing::Line::Style;
using testing::decodeEscPos;

class TestEscPos : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lettersInTheCodePage_data();
    void lettersInTheCodePage();
    void linesFitThePaper_data();
    void linesFitThePaper();
    void amountsStayWholeAndRight_data();
    void amountsStayWholeAndRight();
    void commandsOfAJob_data();
    void commandsOfAJob();
};

void TestEscPos::lettersInTheCodePage_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("printed");
    QTest::newRow("spanish") << QStringLiteral("áéíóú ÁÉÍÓÚ ñÑ ¿¡ üÜ ºª") << QStringLiteral("áéíóú ÁÉÍÓÚ ñÑ ¿¡ üÜ ºª");
    QTest::newRow("typography") << QStringLiteral("Prueba — “dos” ‘uno’ fin…")
                                << QStringLiteral("Prueba - \"dos\" 'uno' fin...");
    QTest::newRow("euro") << QStringLiteral("€ 5") << QStringLiteral("EUR 5");
    QTest::newRow("marks the page lacks") << QStringLiteral("Łódź Őrs") << QStringLiteral("?ódz Ors");
    QTest::newRow("outside the plane") << QStringLiteral("🎮 Sala") << QStringLiteral("? Sala");
    // A control character typed into a name must never reach the printer as a command.
    QTest::newRow("control characters") << QStringLiteral("Sala\x1b@\x1dV\x01Z\tX\nY")
                                        << QStringLiteral("Sala @ V Z X Y");
}

void TestEscPos::lettersInTheCodePage() {
    QFETCH(QString, text);
    QFETCH(QString, printed);
    Document d;
    d.cut = false;
    d.lines.push_back({text, {}, Style::Normal});
    const testing::Decoded decoded = decodeEscPos(printing::escPos(d, 80));
    QCOMPARE(decoded.problems, QStringList());
    QCOMPARE(decoded.commands.mid(0, 2), (QStringList{QStringLiteral("init"), QStringLiteral("codepage 2")}));
    QCOMPARE(decoded.texts(), QStringList{printed});
}

void TestEscPos::linesFitThePaper_data() {
    QTest::addColumn<int>("widthMm");
    QTest::addColumn<int>("columns");
    for (const int width : {58, 80}) {
        QTest::addRow("%d mm", width) << width << (width == 58 ? 32 : 48);
    }
}

void TestEscPos::linesFitThePaper() {
    QFETCH(int, widthMm);
    QFETCH(int, columns);
    Document d;
    const QString longWord(70, QLatin1Char('x'));
    d.lines = {
        {QStringLiteral("Sala de Juegos El Gran Castillo de las Consolas"), {}, Style::Title},
        {QStringLiteral("Operador con un nombre larguísimo que no entra en una línea del papel"),
         QStringLiteral("$ 1500,00"), Style::Normal},
        {longWord, QStringLiteral("$ 7,50"), Style::Bold},
        {QStringLiteral("Centrado con muchas palabras para que haga falta partirlo en dos"), {}, Style::Centre},
        {{}, {}, Style::Rule},
        {{}, QStringLiteral("$ 3,00"), Style::Normal},
    };
    const testing::Decoded decoded = decodeEscPos(printing::escPos(d, widthMm));
    QCOMPARE(decoded.problems, QStringList());
    QString joined;
    for (const testing::PrintedLine &line : decoded.lines) {
        // A big letter is two columns wide.
        QVERIFY2(line.text.size() * (line.big ? 2 : 1) <= columns, qPrintable(line.text));
        joined += line.text.trimmed() + QLatin1Char(' ');
    }
    // Nothing lost in the wrapping.
    QVERIFY(joined.contains(QStringLiteral("Sala de Juegos El Gran Castillo de las Consolas")));
    QVERIFY(joined.contains(QStringLiteral("que no entra en una línea del papel")));
    QVERIFY(joined.remove(QLatin1Char(' ')).contains(longWord));
    QVERIFY(decoded.texts().contains(QString(columns, QLatin1Char('-'))));
    QCOMPARE(decoded.texts().constLast(), QStringLiteral("$ 3,00").rightJustified(columns));
    // The title is centred in its half width.
    const QString title = decoded.lines.first().text;
    QVERIFY(decoded.lines.first().big);
    QVERIFY2(title.startsWith(QLatin1Char(' ')) || title.size() >= columns / 2 - 1, qPrintable(title));
}

void TestEscPos::amountsStayWholeAndRight_data() {
    QTest::addColumn<int>("widthMm");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::addColumn<QStringList>("printed");
    QTest::newRow("beside, 58") << 58 << QStringLiteral("Total") << QStringLiteral("$ 20,00")
                                << QStringList{QStringLiteral("Total                    $ 20,00")};
    // The last line of the left part has no room for the amount: the amount gets a line of its own.
    QTest::newRow("own line") << 58 << QStringLiteral("Bloques agregados al puesto siete")
                              << QStringLiteral("$ 1234567,89")
                              << QStringList{QStringLiteral("Bloques agregados al puesto"),
                                             QStringLiteral("siete               $ 1234567,89")};
    QTest::newRow("exactly full") << 58 << QStringLiteral("Bloques agregados 7") << QStringLiteral("$ 1234567,89")
                                  << QStringList{QStringLiteral("Bloques agregados 7 $ 1234567,89")};
    QTest::newRow("one too many") << 58 << QStringLiteral("Bloques agregados 17") << QStringLiteral("$ 1234567,89")
                                  << QStringList{QStringLiteral("Bloques agregados 17"),
                                                 QStringLiteral("$ 1234567,89").rightJustified(32)};
}

void TestEscPos::amountsStayWholeAndRight() {
    QFETCH(int, widthMm);
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(QStringList, printed);
    Document d;
    d.cut = false;
    d.lines.push_back({left, right, Style::Normal});
    QCOMPARE(decodeEscPos(printing::escPos(d, widthMm)).texts(), printed);
}

void TestEscPos::commandsOfAJob_data() {
    QTest::addColumn<bool>("cut");
    QTest::addColumn<bool>("drawer");
    QTest::addColumn<QStringList>("commands");
    const QStringList body{QStringLiteral("size 17"), QStringLiteral("line"),   QStringLiteral("size 0"),
                           QStringLiteral("line"),    QStringLiteral("bold 1"), QStringLiteral("line"),
                           QStringLiteral("bold 0")};
    const QStringList head{QStringLiteral("init"), QStringLiteral("codepage 2")};
    const QStringList pulse{QStringLiteral("drawer 0 25 250")};
    const QStringList cut{QStringLiteral("feed 4"), QStringLiteral("cut 1")};
    QTest::newRow("plain") << false << false << head + body;
    // The drawer opens before anything is printed.
    QTest::newRow("drawer and cut") << true << true << head + pulse + body + cut;
}

void TestEscPos::commandsOfAJob() {
    QFETCH(bool, cut);
    QFETCH(bool, drawer);
    QFETCH(QStringList, commands);
    Document d;
    d.cut = cut;
    d.openDrawer = drawer;
    d.lines = {{QStringLiteral("Sala Ñandú"), {}, Style::Title},
               {{}, {}, Style::Rule},
               {QStringLiteral("Total"), QStringLiteral("$ 5,00"), Style::Bold}};
    const testing::Decoded decoded = decodeEscPos(printing::escPos(d, 58));
    QCOMPARE(decoded.problems, QStringList());
    QCOMPARE(decoded.commands, commands);
    QCOMPARE(decoded.texts(), (QStringList{QStringLiteral("   Sala Ñandú"), QString(32, u'-'),
                                           QStringLiteral("Total                     $ 5,00")}));
    QVERIFY(decoded.lines[0].big && !decoded.lines[1].big && !decoded.lines[1].bold && decoded.lines[2].bold);
    // A job that only opens the drawer prints nothing and cuts nothing.
    QCOMPARE(decodeEscPos(printing::escPos(printing::drawerOnly(), 80)).commands,
             (QStringList{QStringLiteral("init"), QStringLiteral("codepage 2"), QStringLiteral("drawer 0 25 250")}));
}

QTEST_GUILESS_MAIN(TestEscPos)
#include "tst_escpos.moc"
