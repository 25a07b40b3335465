// The shifts in the cash close: which shifts a period lists and their figures to the cent, read
// from a real file by the window's run and by the command line alike; the real program's
// --report --shifts with the same figures in its files; the window's list, its slip button and
// the differences chart.
#include "CashCloseFixtures.h"
#include "SqliteFile.h"
#include "TestSupport.h"
#include "cash_close/CashCloseRun.h"
#include "cash_close/ReportCharts.h"
#include "ui/ReportChartViews.h"
#include "ui/formCaja.h"
#include "ui/formLudomat2.h"
#include "ui/frmGraficos.h"

#include <QJsonArray>
#include <QtTest>
#include <QtWidgets>

using namespace cash_close;

namespace {

const QDate kDay(2026, 12, 5);

// Shifts around 5 Dec 2026 as the shifts' service leaves them: closed ones with their kept totals.
// Shift 6 is still open: its sales are the rentals after row 1, its cash moved by hand below.
const char *const kShifts =
    "INSERT INTO Turnos (Numero, Usuario, Apertura, Fondo, PrimeraFila, UltimaFila, Cierre, Estado, Ventas, "
    "Ingresos, Retiros, Gastos, Esperado, Contado, Diferencia, Nota) VALUES "
    "(1, 'Ana', '2026-12-04T22:00:00', 500, 0, 0, '2026-12-05T08:00:00', 'Cerrado', 100, 0, 0, 0, 600, 595, -5, NULL),"
    "(2, 'Beto', '2026-12-04T20:00:00', 0, 0, 0, '2026-12-05T07:59:59', 'Cerrado', 0, 0, 0, 0, 0, 7, 7, NULL),"
    "(3, 'Beto', '2026-12-05T08:00:00', 595, 0, 0, '2026-12-05T12:00:00', 'Cerrado', 250.5, 20, 100, 15.25, 750.25, "
    "751.48, 1.23, 'sobra; ver'),"
    "(4, 'Ana', '2026-12-05T12:00:00', 300, 0, 0, '2026-12-05T16:00:00', 'Cerrado', 0, 0, 0, 0, 300, 300.1, 0.1, NULL),"
    "(5, 'Carla', '2026-12-03T10:00:00', 0, 0, NULL, NULL, 'Sin arqueo', 0, 0, 0, 0, 0, NULL, NULL, NULL),"
    "(7, 'Carla', '2026-12-05T09:00:00', 50, 0, 0, '2026-12-05T10:00:00', 'Sin arqueo', 0, 0, 0, 0, 50, NULL, NULL, "
    "'se fue'),"
    "(8, 'Dario', '2026-12-05T16:00:01', 0, 1, 1, '2026-12-05T17:00:00', 'Cerrado', 0, 0, 0, 0, 0, 9.99, 9.99, NULL),"
    "(6, 'Ana', '2026-12-05T16:00:00', 200, 1, NULL, NULL, 'Abierto', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);"
    "INSERT INTO MovimientosCaja VALUES (6, '2026-12-05', '16:10:00', 'Retiro', 50, 'dueño', 'Ana'),"
    "(6, '2026-12-05', '16:20:00', 'Ingreso', 5.05, 'cambio', 'Ana'),"
    "(6, '2026-12-05', '16:30:00', 'Gasto', 0.1, 'pila', 'Ana'),"
    "(3, '2026-12-05', '09:00:00', 'Gasto', 99, 'no cuenta: el turno 3 guardó sus totales', 'Beto');";

// The books: a rental before shift 6 opened (row 1) and two in it (10.00 + 15.50), then the shifts.
void writeBooks(const QString &path) {
    fixtures::record(path, {{1, "Ana", kDay, QTime(15, 0), "8"},
                            {2, "Ana", kDay, QTime(16, 0), "10"},
                            {3, "Ana", kDay, QTime(16, 5), "15.5"}});
    QCOMPARE(execRaw(path, kShifts), SQLITE_OK);
}

QList<qint64> numbers(const Report &report) {
    QList<qint64> out;
    for (const shifts::ShiftRecord &s : report.shifts)
        out << s.numero;
    return out;
}

Period period(const char *from, const char *to) {
    const QDateTime a = QDateTime::fromString(QString::fromLatin1(from), Qt::ISODate);
    const QDateTime b = QDateTime::fromString(QString::fromLatin1(to), Qt::ISODate);
    return {a.date(), a.time(), b.date(), b.time()};
}

const QStringList kShiftsOfTheDay{
    "Turnos: 5",
    "Diferencia Ana: -4.90 (2)",
    "Diferencia Beto: 1.23 (1)",
    "Turno 1; Usuario=Ana; Apertura=2026-12-04 22:00:00; Cierre=2026-12-05 08:00:00; Estado=Cerrado; Fondo=500.00; "
    "Ventas=100.00; Ingresos=0.00; Retiros=0.00; Gastos=0.00; Esperado=600.00; Contado=595.00; Diferencia=-5.00; Nota=",
    "Turno 3; Usuario=Beto; Apertura=2026-12-05 08:00:00; Cierre=2026-12-05 12:00:00; Estado=Cerrado; Fondo=595.00; "
    "Ventas=250.50; Ingresos=20.00; Retiros=100.00; Gastos=15.25; Esperado=750.25; Contado=751.48; Diferencia=1.23; "
    "Nota=sobra; ver",
    "Turno 4; Usuario=Ana; Apertura=2026-12-05 12:00:00; Cierre=2026-12-05 16:00:00; Estado=Cerrado; Fondo=300.00; "
    "Ventas=0.00; Ingresos=0.00; Retiros=0.00; Gastos=0.00; Esperado=300.00; Contado=300.10; Diferencia=0.10; Nota=",
    "Turno 6; Usuario=Ana; Apertura=2026-12-05 16:00:00; Cierre=; Estado=Abierto; Fondo=200.00; Ventas=25.50; "
    "Ingresos=5.05; Retiros=50.00; Gastos=0.10; Esperado=180.45; Contado=; Diferencia=; Nota=",
    "Turno 7; Usuario=Carla; Apertura=2026-12-05 09:00:00; Cierre=2026-12-05 10:00:00; Estado=Sin arqueo; "
    "Fondo=50.00; Ventas=0.00; Ingresos=0.00; Retiros=0.00; Gastos=0.00; Esperado=50.00; Contado=; Diferencia=; "
    "Nota=se fue",
};

} // namespace

class ReportShiftsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // A shift is listed when it was open at any moment of the period, both edges included to the
    // second; the window's run and the command line's read list the same shifts.
    void periodEdges_data() {
        QTest::addColumn<Period>("asked");
        QTest::addColumn<QList<qint64>>("listed");
        QTest::newRow("the day") << period("2026-12-05T08:00:00", "2026-12-05T16:00:00")
                                 << QList<qint64>{1, 3, 4, 6, 7};
        QTest::newRow("a second inside each edge")
            << period("2026-12-05T08:00:01", "2026-12-05T15:59:59") << QList<qint64>{3, 4, 7};
        QTest::newRow("the open shift, opened the day before")
            << period("2026-12-06T00:00:00", "2026-12-06T23:59:59") << QList<qint64>{6};
        QTest::newRow("uncounted, never closed: its opening only")
            << period("2026-12-03T00:00:00", "2026-12-03T23:59:59") << QList<qint64>{5};
        QTest::newRow("none") << period("2026-11-01T00:00:00", "2026-11-02T00:00:00") << QList<qint64>{};
    }

    void periodEdges() {
        QFETCH(Period, asked);
        QFETCH(QList<qint64>, listed);
        testing::TestPlatform t;
        writeBooks(t.databasePath());
        auto db = data::Database::open(t.databasePath());
        const Report run = CashCloseRun(*db, QStringLiteral("Admin")).run(asked);
        QCOMPARE(numbers(run), listed);
        const Report read = reportFromRentals(*db, asked, QString(), {}, StationLabels::defaults(), true);
        QCOMPARE(numbers(read), listed);
        QCOMPARE(shiftLines(read), shiftLines(run));
        QVERIFY(reportFromRentals(*db, asked, QString(), {}).shifts.isEmpty()); // not asked for
    }

    // Books of a version without shifts: the report is as it was.
    void booksWithoutShifts() {
        testing::TestPlatform t;
        writeBooks(t.databasePath());
        QCOMPARE(execRaw(t.databasePath(), "DROP TABLE Turnos"), SQLITE_OK);
        auto db = data::Database::open(t.databasePath());
        const Period day = period("2026-12-05T08:00:00", "2026-12-05T16:00:00");
        QCOMPARE(CashCloseRun(*db, QStringLiteral("Admin")).run(day).totalCents, 1800);
        QVERIFY(reportFromRentals(*db, day, QString(), {}, StationLabels::defaults(), true).shifts.isEmpty());
    }

    // The real program: --report --shifts adds the shifts' lines to what --report prints, which
    // stays as it was; the CSV's companion, the spreadsheet and the PDF carry the same figures.
    void commandLine() {
        testing::TestPlatform t;
        writeBooks(t.databasePath());
        QTemporaryDir folder;
        const QStringList day{"--report",         "--from",     "2026-12-05 08:00", "--to",
                              "2026-12-05 16:00", "--data-dir", t.folder.path()};
        const testing::Run plain = testing::runLudomat(day);
        QCOMPARE(plain.status, 0);
        QVERIFY2(!plain.out.contains("Turno"), qPrintable(plain.out));
        const testing::Run with =
            testing::runLudomat(day + QStringList{"--shifts", "--csv", folder.filePath("c.csv"), "--xlsx",
                                                  folder.filePath("c.xlsx"), "--pdf", folder.filePath("c.pdf")});
        QCOMPARE(with.status, 0);
        QCOMPARE(with.out, plain.out + kShiftsOfTheDay.join(u'\n') + u'\n');
        QCOMPARE(testing::runLudomat({"--verify-journal", "--shifts", "--data-dir", t.folder.path()}).status, 2);

        QFile companion(folder.filePath("c-resumen.txt"));
        QVERIFY(companion.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(companion.readAll()).endsWith(kShiftsOfTheDay.join(u'\n') + u'\n'));

        if (testing::canReadSpreadsheets()) {
            const QJsonArray sheet = testing::spreadsheetCells(folder.filePath("c.xlsx"))["Turnos"].toArray();
            int top = 0;
            while (top < sheet.size() && sheet[top].toArray()[0].toArray()[1].toString() != u"Turno")
                ++top;
            QVERIFY(top + 5 < sheet.size());
            // Shift 3 and the open 6: every amount a number to the cent, times as instants, none for what is not.
            const auto row = [&](int i) { return sheet[top + 1 + i].toArray(); };
            const auto cents = [](const QJsonArray &c) {
                return c[0].toString() == u"NoneType" ? -1 : std::llround(c[1].toDouble() * 100);
            };
            QCOMPARE(row(1)[0].toArray()[1].toInt(), 3);
            QCOMPARE(row(1)[3].toArray()[0].toString() + u' ' + row(1)[3].toArray()[1].toString(),
                     QStringLiteral("datetime 2026-12-05T12:00:00"));
            QCOMPARE(row(3)[3].toArray()[0].toString(), QStringLiteral("NoneType"));
            const QList<qint64> three{59500, 25050, 2000, 10000, 1525, 75025, 75148, 123};
            const QList<qint64> six{20000, 2550, 505, 5000, 10, 18045, -1, -1};
            for (int c = 0; c < 8; ++c) {
                QCOMPARE(cents(row(1)[5 + c].toArray()), three[c]);
                QCOMPARE(cents(row(3)[5 + c].toArray()), six[c]);
            }
            QVERIFY(row(1)[12].toArray()[2].toString().contains(u'$'));
        }

        // The program in the C locale: amounts with a point.
        if (!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
            QProcess tool;
            tool.start(QStringLiteral("pdftotext"), {"-enc", "UTF-8", folder.filePath("c.pdf"), "-"});
            tool.waitForFinished(60000);
            const QString all = QString::fromUtf8(tool.readAllStandardOutput()).simplified();
            for (const char *words : {"Turnos", "Diferencia de Ana: $ -4.90 (2)",
                                      "Turno 3, Beto, 05/12/2026 08:00:00 a 05/12/2026 12:00:00",
                                      "esperado $ 750.25, contado $ 751.48, diferencia $ 1.23. Nota: sobra; ver",
                                      "Turno 6, Ana, desde 05/12/2026 16:00:00, Abierto", "esperado $ 180.45"})
                QVERIFY2(all.contains(QString::fromUtf8(words)), words);
        }
    }

    // The window: every shift of the period a row of grdTurnos, the differences in the summary,
    // the slip's button only for a closed shift; the chart of differences draws each operator.
    void window() {
        testing::Shop shop;
        testing::signIn(*shop.desk);
        // The sign-in's own shift makes way for those of the books.
        QCOMPARE(execRaw(shop.t.databasePath(), "DELETE FROM Turnos"), SQLITE_OK);
        writeBooks(shop.t.databasePath());
        QTest::mouseClick(testing::control<QPushButton>(shop.main, "cmdCierreCaja"), Qt::LeftButton);
        formCaja *caja = shop.desk->cashCloseWindow();
        QVERIFY(testing::runCashClose(caja));
        auto *list = testing::control<QTableWidget>(caja, "grdTurnos");
        QMap<qint64, QString> rows;
        for (int r = 0; r < list->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < list->columnCount(); ++c)
                cells << list->item(r, c)->text();
            rows.insert(list->item(r, 0)->data(Qt::UserRole).toLongLong(), cells.join(u'|'));
        }
        QCOMPARE(rows.value(3),
                 QStringLiteral("Beto|5/12/26 08:00:00|5/12/26 12:00:00|595,00|250,50|20,00|100,00|15,25|"
                                "750,25|751,48|1,23|Cerrado|sobra; ver"));
        QCOMPARE(rows.value(6), QStringLiteral("Ana|5/12/26 16:00:00||200,00|25,50|5,05|50,00|0,10|180,45|||Abierto|"));
        QCOMPARE(rows.value(7).section(u'|', 9), QStringLiteral("||Sin arqueo|se fue"));

        QStringList summary;
        for (QTreeWidgetItemIterator it(testing::control<QTreeWidget>(caja, "trvResumen")); *it; ++it)
            summary << (*it)->text(0);
        QVERIFY2(summary.contains("Diferencia de Ana: $ -4,90 (2)") &&
                     summary.contains("Diferencia de Beto: $ 1,23 (1)"),
                 qPrintable(summary.join(u'\n')));

        auto *pdf = testing::control<QPushButton>(caja, "cmdPdfTurno");
        QSignalSpy asked(caja, &formCaja::shiftSlipAsked);
        const std::pair<qint64, bool> choices[] = {{6, false}, {7, false}, {3, true}};
        for (const auto &[numero, enabled] : choices) {
            for (int r = 0; r < list->rowCount(); ++r)
                if (list->item(r, 0)->data(Qt::UserRole).toLongLong() == numero)
                    list->selectRow(r);
            QCOMPARE(pdf->isEnabled(), enabled);
            QTest::mouseClick(pdf, Qt::LeftButton);
        }
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.first().first().toLongLong(), 3);

        // The chart's points: each operator's counted shifts at their close; not the open or uncounted ones.
        QStringList drawn;
        for (const DifferenceSeries &series : differencesOverTime(*caja->report()))
            for (const DifferencePoint &p : series.points)
                drawn << QStringLiteral("%1 %2 %3").arg(series.usuario, p.at.toString(Qt::ISODate)).arg(p.cents);
        QCOMPARE(drawn, QStringList({"Ana 2026-12-05T08:00:00 -500", "Ana 2026-12-05T16:00:00 10",
                                     "Beto 2026-12-05T12:00:00 123"}));
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdGraficos"), Qt::LeftButton);
        frmGraficos *graficos = shop.desk->chartsWindow();
        QVERIFY(graficos);
        auto *chart = graficos->findChild<DifferencesChart *>("picDiferencias");
        QVERIFY(chart);
        const QImage image = chart->toImage(frmGraficos::kImageSize);
        for (int s = 0; s < 2; ++s) {
            int dots = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    dots += image.pixel(x, y) == DifferencesChart::seriesColor(s).rgb();
            QVERIFY2(dots > 50, qPrintable(QString::number(s)));
        }
    }
};

QTEST_MAIN(ReportShiftsTest)
#include "tst_report_shifts.moc"
