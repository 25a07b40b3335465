// The cash close of a room of named stations of several console types: the subtotals by name and
// by type, the hour-and-station grid with every station present, and the same through the real
// program's --report and its CSV's companion. The delivered room's outputs: the other cash_close
// tests, unchanged.
#include "CashCloseFixtures.h"
#include "SqliteFile.h"
#include "TestSupport.h"
#include "cash_close/ReportCharts.h"
#include "cash_close/ReportCsv.h"
#include "stations/StationBoard.h"
#include "ui/ReportChartViews.h"
#include "ui/formCaja.h"
#include "ui/formLudomat2.h"

#include <QtTest>
#include <QtWidgets>

using namespace cash_close;

namespace {

const QDate kDay(2026, 12, 5);

ReportRow rentalOn(int puesto, QTime hora, qint64 cents, const char *modo = "Contador") {
    return ReportRow{puesto, QString::fromUtf8(modo), QStringLiteral("Ana"), kDay, hora, {}, cents};
}

// "number:name:type" for each station.
StationLabels room(const QStringList &stations) {
    StationLabels labels;
    for (const QString &s : stations) {
        labels.names.insert(s.section(u':', 0, 0).toInt(), s.section(u':', 1, 1));
        labels.types.insert(s.section(u':', 0, 0).toInt(), s.section(u':', 2, 2));
    }
    return labels;
}

const QStringList kTwoTypes{"1:PS5 Sala:PS5", "3:Retro:Xbox", "7:Xbox Ventana:Xbox", "20:PS5 Fondo:PS5"};

// A subtotal as "key cents rentals".
QStringList listed(const QVector<Subtotal> &list) {
    QStringList out;
    for (const Subtotal &s : list)
        out << QStringLiteral("%1 %2 %3").arg(s.key).arg(s.cents).arg(s.rentals);
    return out;
}

} // namespace

class ReportRoomTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void subtotalsAndGrid_data() {
        QTest::addColumn<QStringList>("stations"); // empty: the delivered room
        QTest::addColumn<QStringList>("byStation");
        QTest::addColumn<QStringList>("byType");
        QTest::addColumn<int>("companionLines");
        // The delivered room's labels on books of a larger room: no station's money is dropped.
        QTest::newRow("delivered room, stations beyond five")
            << QStringList() << QStringList{"Puesto 1 1000 1", "Puesto 2 0 0",    "Puesto 3 0 0",    "Puesto 4 0 0",
                                            "Puesto 5 0 0",    "Puesto 7 1550 1", "Puesto 20 2500 1"}
            << QStringList() << 0;
        QTest::newRow("two types") << kTwoTypes
                                   << QStringList{"PS5 Sala 1000 1", "Retro 0 0", "Xbox Ventana 1550 1",
                                                  "PS5 Fondo 2500 1"}
                                   << QStringList{"PS5 3500 2", "Xbox 1550 1"} << 6;
        // A station removed from the room since its rentals: back under its number, of no known type.
        QTest::newRow("a station the room lacks")
            << QStringList{"1:PS5 Sala:PS5", "7:Xbox Ventana:Xbox"}
            << QStringList{"PS5 Sala 1000 1", "Xbox Ventana 1550 1", "Puesto 20 2500 1"}
            << QStringList{"PS5 1000 1", "Xbox 1550 1", "Consola 2500 1"} << 6;
    }

    void subtotalsAndGrid() {
        QFETCH(QStringList, stations);
        const QVector<ReportRow> rows{rentalOn(1, QTime(9, 0), 1000), rentalOn(7, QTime(10, 0), 1550),
                                      rentalOn(20, QTime(23, 59, 59), 2000),
                                      rentalOn(20, QTime(23, 10), 500, "Prepago (agregado)")};
        QFETCH(QStringList, byStation);
        QFETCH(QStringList, byType);
        QFETCH(int, companionLines);
        const StationLabels labels = stations.isEmpty() ? StationLabels::defaults() : room(stations);
        const Report report = buildReport(rows, {kDay, QTime(0, 0), kDay, QTime(23, 59, 59)}, "Ana", {}, {}, labels);
        QCOMPARE(listed(report.byStation), byStation);
        QCOMPARE(listed(report.byType), byType);
        QCOMPARE(roomLines(report).size(), companionLines);

        // The grid has a row for each station named above, in the same order, summing its rentals.
        const HourStationGrid grid = takingsByHourAndStation(report);
        QCOMPARE(grid.stations.size(), byStation.size());
        for (qsizetype s = 0; s < grid.stations.size(); ++s) {
            QVERIFY(byStation[s].startsWith(grid.names[s] + u' '));
            for (int h = 0; h < kHours; ++h) {
                qint64 cents = 0;
                for (const ReportRow &r : rows)
                    cents += r.puesto == grid.stations[s] && r.hora.hour() == h ? r.cents : 0;
                QCOMPARE(grid[h][s], cents);
            }
        }
    }

    // A room of twenty: every station a row of the grid in number order, and of the picture: the
    // twentieth station's one rental, at midnight, is the darkest cell, low on the left.
    void twentyStations() {
        QStringList tables; // "Mesa 1" ... "Mesa 20", listed from the last
        for (int n = 20; n >= 1; --n)
            tables << QStringLiteral("%1:Mesa %1:%2").arg(n).arg(n % 2 ? "PS5" : "Xbox");
        const Report report = buildReport({rentalOn(1, QTime(12, 0), 100), rentalOn(20, QTime(0, 10), 2000)},
                                          {kDay, QTime(0, 0), kDay, QTime(23, 59, 59)}, "Ana", {}, {}, room(tables));
        const HourStationGrid grid = takingsByHourAndStation(report);
        QCOMPARE(grid.stations.size(), 20);
        QCOMPARE(grid.names.last(), QStringLiteral("Mesa 20"));
        QCOMPARE(grid[0][19], 2000);
        HeatMapChart chart(nullptr);
        chart.setReport(report);
        const QImage image = chart.toImage({1200, 700});
        int darkest = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width() / 2; ++x)
                if (image.pixel(x, y) == qRgb(189, 0, 38)) {
                    QVERIFY2(y > image.height() / 2, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
                    ++darkest;
                }
        QVERIFY(darkest > 100);
    }

    // The real program on a file whose room is configured, or not: the lines of --report between
    // the operators and the modes, and the room in the CSV's companion.
    void commandLine_data() {
        QTest::addColumn<QStringList>("stations");
        QTest::addColumn<QStringList>("printed");
        QTest::addColumn<QStringList>("companion");
        QTest::addColumn<QStringList>("printedWords"); // in the PDF and the spreadsheet
        QTest::newRow("delivered room") << QStringList() << QStringList{"Puesto 1: 10.00 (1)", "Puesto 2: 0.00 (0)",
                                                                        "Puesto 3: 0.00 (0)",  "Puesto 4: 0.00 (0)",
                                                                        "Puesto 5: 0.00 (0)",  "Puesto 7: 15.50 (1)",
                                                                        "Puesto 20: 20.00 (1)"}
                                        << QStringList() << QStringList{"Por puesto", "Puesto 20"};
        QTest::newRow("two types") << kTwoTypes << QStringList{"PS5 Sala: 10.00 (1)",     "Retro: 0.00 (0)",
                                                               "Xbox Ventana: 15.50 (1)", "PS5 Fondo: 20.00 (1)",
                                                               "Consola PS5: 30.00 (2)",  "Consola Xbox: 15.50 (1)"}
                                   << QStringList{"Puesto 1; Nombre=PS5 Sala; Consola=PS5; Importe=10.00; Alquileres=1",
                                                  "Puesto 3; Nombre=Retro; Consola=Xbox; Importe=0.00; Alquileres=0",
                                                  "Puesto 7; Nombre=Xbox Ventana; Consola=Xbox; Importe=15.50; "
                                                  "Alquileres=1",
                                                  "Puesto 20; Nombre=PS5 Fondo; Consola=PS5; Importe=20.00; "
                                                  "Alquileres=1",
                                                  "Consola PS5: 30.00 (2)",
                                                  "Consola Xbox: 15.50 (1)"}
                                   << QStringList{"Por consola", "PS5 Fondo", "Xbox Ventana"};
    }

    void commandLine() {
        QFETCH(QStringList, stations);
        QFETCH(QStringList, printed);
        QFETCH(QStringList, companion);
        QFETCH(QStringList, printedWords);
        testing::TestPlatform t;
        const QString path = t.databasePath();
        // The room as its window keeps it, and rentals of stations 1, 7 and 20.
        QString sql = QStringLiteral(
            "INSERT INTO Alquiler VALUES "
            "(1, 'Contador', 'Ana', '2026-12-05', '09:00:00', '01:25:00', 10), (7, 'Prepago', 'Ana', '2026-12-05', "
            "'10:00:00', '01:25:00', 15.5), (20, 'Contador', 'Admin', '2026-12-05', '11:00:00', '01:25:00', 20);");
        if (!stations.isEmpty())
            sql += "INSERT INTO Consolas VALUES ('PS5', 0, NULL, NULL, 1, 0, 0), ('Xbox', 1, 60, 1500, 1, 0, 0);";
        for (const QString &s : stations)
            sql += QStringLiteral("INSERT INTO Puestos VALUES (%1, '%2', '%3');")
                       .arg(s.section(u':', 0, 0), s.section(u':', 1, 1), s.section(u':', 2, 2));
        QCOMPARE(execRaw(path, sql.toUtf8().constData()), SQLITE_OK);

        QTemporaryDir folder;
        const testing::Run run =
            testing::runLudomat({"--report", "--from", "2026-12-05 08:00", "--to", "2026-12-05 16:00", "--data-dir",
                                 t.folder.path(), "--csv", folder.filePath("c.csv"), "--pdf", folder.filePath("c.pdf"),
                                 "--xlsx", folder.filePath("c.xlsx")});
        QCOMPARE(run.status, 0);
        const QStringList lines = run.out.split(u'\n');
        const qsizetype first = lines.lastIndexOf(QRegularExpression("Operador .*")) + 1;
        const qsizetype modes = lines.indexOf(QRegularExpression("Modo .*"));
        QVERIFY2(first > 0 && modes > first, qPrintable(run.out));
        QCOMPARE(lines.mid(first, modes - first), printed);
        QVERIFY(lines.contains("Total Facturado: 45.50"));

        QFile beside(folder.filePath("c-resumen.txt"));
        QVERIFY(beside.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(beside.readAll()).split(u'\n').filter(QRegularExpression("^(Puesto|Consola) ")),
                 companion);

        QStringList printedTexts;
        if (!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
            QProcess tool;
            tool.start(QStringLiteral("pdftotext"), {"-enc", "UTF-8", folder.filePath("c.pdf"), "-"});
            tool.waitForFinished(60000);
            printedTexts << QString::fromUtf8(tool.readAllStandardOutput());
        }
        if (testing::canReadSpreadsheets())
            printedTexts << QString::fromUtf8(
                QJsonDocument(testing::spreadsheetCells(folder.filePath("c.xlsx"))).toJson());
        for (const QString &text : std::as_const(printedTexts)) {
            for (const QString &word : printedWords)
                QVERIFY2(text.contains(word), qPrintable(word + u'\n' + text));
            QCOMPARE(text.contains("Por consola"), !stations.isEmpty());
        }
    }

    // The window names the stations and adds their types as the board's room has them.
    void windowSummary() {
        testing::Shop shop;
        testing::signIn(*shop.desk);
        fixtures::record(shop.t.databasePath(),
                         {{1, "Ana", kDay, QTime(9, 0), "10"}, {3, "Ana", kDay, QTime(10, 0), "15.5"}});
        shop.board().setRoom({{1, "PS5 Sala", "PS5", 0, {}}, {3, "Retro", "Xbox", 1, {}}});
        QTest::mouseClick(testing::control<QPushButton>(shop.main, "cmdCierreCaja"), Qt::LeftButton);
        formCaja *caja = shop.desk->cashCloseWindow();
        QVERIFY(testing::runCashClose(caja));
        QStringList summary;
        for (QTreeWidgetItemIterator it(testing::control<QTreeWidget>(caja, "trvResumen")); *it; ++it)
            summary << (*it)->text(0);
        const qsizetype from = summary.indexOf("Por puesto");
        QCOMPARE(summary.mid(from, summary.indexOf("Por modo") - from),
                 QStringList({"Por puesto", "PS5 Sala: $ 10,00 (1)", "Retro: $ 15,50 (1)", "Por consola",
                              "PS5: $ 10,00 (1)", "Xbox: $ 15,50 (1)"}));
    }
};

QTEST_MAIN(ReportRoomTest)
#include "tst_report_room.moc"
