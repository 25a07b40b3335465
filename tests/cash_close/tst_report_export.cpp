// The report written out: CSV read back by a parser of its own, files that fail or are stopped,
// and the printed document's text as a PDF reader extracts it.
#include "TestSupport.h"
#include "cash_close/ReportCsv.h"
#include "cash_close/ReportXlsx.h"
#include "report/ReportDocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPrinter>
#include <QtTest>
#include <cmath>
#include <optional>

namespace {

using cash_close::Report;

Report reportOf(QVector<cash_close::ReportRow> rows) {
    const cash_close::Period period{QDate(2026, 12, 1), QTime(8, 0), QDate(2026, 12, 5), QTime(16, 0)};
    return cash_close::buildReport(std::move(rows), period, QStringLiteral("Admin"),
                                   QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9)));
}

// The records of an RFC 4180 text; nothing when it is not one (a bare CR or LF, a stray quote,
// a last record without its CRLF).
std::optional<QList<QStringList>> parseCsv(const QString &text) {
    QList<QStringList> records;
    QStringList fields;
    QString field;
    bool inQuotes = false;
    bool wasQuoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (inQuotes && c == QLatin1Char('"') && text.mid(i + 1, 1) == QLatin1String("\"")) {
            field += c;
            ++i;
        } else if (inQuotes) {
            inQuotes = c != QLatin1Char('"');
            field += inQuotes ? QString(c) : QString();
        } else if (c == QLatin1Char('"') && field.isEmpty() && !wasQuoted) {
            inQuotes = wasQuoted = true;
        } else if (c == QLatin1Char(',') || text.mid(i, 2) == QLatin1String("\r\n")) {
            fields << field;
            field.clear();
            wasQuoted = false;
            if (c != QLatin1Char(',')) {
                records << fields;
                fields.clear();
                ++i;
            }
        } else if (wasQuoted || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            return std::nullopt;
        } else {
            field += c;
        }
    }
    if (inQuotes || !field.isEmpty() || !fields.isEmpty()) {
        return std::nullopt;
    }
    return records;
}

// The PDF's text, its pages split at the form feeds; empty when it could not be read.
QStringList pdfPages(const QString &path) {
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"),
               {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0) {
        return {};
    }
    QStringList pages = QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\f'));
    pages.removeAll(QString());
    return pages;
}

QStringList filesIn(const QString &folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class ReportExportTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    // Every name comes back as typed; what a spreadsheet would run comes back behind a quote.
    void csvReadsBack_data() {
        QTest::addColumn<QString>("usuario");
        QTest::addColumn<QString>("cell");
        const std::pair<const char *, const char *> kept[] = {{"plain", "Ana"},
                                                              {"quotes and commas", "O\"Brien, \"Jr\""},
                                                              {"line breaks", "una\r\ndos\nfin"},
                                                              {"non-Latin", "Ωμέγα 名前 مريم"}};
        for (const auto &[row, name] : kept)
            QTest::newRow(row) << QString::fromUtf8(name) << QString::fromUtf8(name);
        for (const char *formula : {"=SUM(1)", "+1", "-1", "@x", "\tx", "\rx", "=\"a\",1"})
            QTest::newRow(formula) << QString::fromUtf8(formula) << "'" + QString::fromUtf8(formula);
    }

    void csvReadsBack() {
        QFETCH(QString, usuario);
        QFETCH(QString, cell);
        const Report report = reportOf({{3, "Prepago", usuario, QDate(2026, 12, 1), QTime(9, 5, 7), "01:25:00", 123456},
                                        {1, "Contador", "Ana", QDate(2026, 12, 5), QTime(16, 0), "101:00:00", 5}});
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        cash_close::writeCsv(report, buffer);
        QVERIFY(buffer.data().startsWith("Puesto,")); // no byte-order mark
        const auto records = parseCsv(QString::fromUtf8(buffer.data()));
        QVERIFY(records);
        QCOMPARE(*records,
                 QList<QStringList>({{"Puesto", "Modo", "Usuario", "Fecha", "Hora", "Tiempo", "Importe"},
                                     {"3", "Prepago", cell, "2026-12-01", "09:05:07", "01:25:00", "1234.56"},
                                     {"1", "Contador", "Ana", "2026-12-05", "16:00:00", "101:00:00", "0.05"}}));
        qint64 sum = 0;
        for (const QStringList &record : records->mid(1)) {
            QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d\\d$")).match(record[6]).hasMatch());
            sum += QString(record[6]).remove(QLatin1Char('.')).toLongLong();
        }
        QCOMPARE(sum, report.totalCents);
    }

    // The spreadsheet as a spreadsheet library reads it: every cell typed (numbers, dates, times,
    // durations past a day, amounts in a currency format), names that look like formulas kept as
    // text, the totals and subtotals agreeing with the rows, the journal's anchor at the top.
    void spreadsheetReadsBack() {
        if (!testing::canReadSpreadsheets()) {
            QSKIP("python3-openpyxl is not installed");
        }
        const QStringList names{"Admin", "=SUM(A1:A9)", "+54 11", "Ωμέγα"};
        QVector<cash_close::ReportRow> rows;
        for (int i = 0; i < 40; ++i) {
            rows.push_back({1 + i % 5, i % 2 ? "Prepago" : "Contador", names[i % 4], QDate(2026, 12, 1 + i / 10),
                            QTime(9, 0, 7).addSecs(i * 60), i == 7 ? "546:25:00" : "00:40:00",
                            i == 3   ? -250
                            : i == 5 ? 2399999999976
                                     : 1000 * i + 5});
        }
        Report report = reportOf(rows);
        report.journalEntries = 42;
        report.journalLastHash = QStringLiteral("0123456789abcdef").repeated(4);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("cierre.xlsx"));
        QCOMPARE(cash_close::saveXlsx(report, path), QString());
        const QJsonObject book = testing::spreadsheetCells(path);
        QCOMPARE(book.keys(), QStringList({"Alquileres", "Totales"}));

        const auto cellAt = [](const QJsonArray &sheet, int row, int column) {
            return sheet.at(row).toArray().at(column).toArray();
        };
        const auto isMoney = [](const QJsonArray &cell) {
            return (cell[0].toString() == u"float" || cell[0].toString() == u"int") &&
                   cell[2].toString().contains(u'$') && cell[2].toString().contains(QLatin1String("0.00"));
        };
        const auto cents = [](const QJsonArray &cell) { return std::llround(cell[1].toDouble() * 100); };
        for (const QString &name : book.keys()) {
            const QJsonArray sheet = book[name].toArray();
            // The heading: the period as instants, the journal's entry count and whole last hash.
            QCOMPARE(cellAt(sheet, 1, 1)[1].toString(), QStringLiteral("2026-12-01T08:00:00"));
            QCOMPARE(cellAt(sheet, 1, 3)[1].toString(), QStringLiteral("2026-12-05T16:00:00"));
            QCOMPARE(cellAt(sheet, 2, 3)[1].toString(), QStringLiteral("2026-12-05T14:05:09"));
            QCOMPARE(cellAt(sheet, 3, 0)[1].toString(), cash_close::journalAnchorLine(report));
            QCOMPARE(cellAt(sheet, 4, 0)[1].toString(), cash_close::sealAnchorLine(report));
        }

        const QJsonArray rentals = book[QStringLiteral("Alquileres")].toArray();
        int top = 0;
        while (top < rentals.size() && cellAt(rentals, top, 0)[1].toString() != u"Puesto") {
            ++top;
        }
        QCOMPARE(rentals.size() - top - 1, rows.size());
        qint64 sum = 0;
        for (int i = 0; i < rows.size(); ++i) {
            const QJsonArray line = rentals.at(top + 1 + i).toArray();
            const cash_close::ReportRow &r = rows[i];
            QCOMPARE(line[0].toArray()[0].toString(), QStringLiteral("int"));
            QCOMPARE(line[0].toArray()[1].toInt(), r.puesto);
            QCOMPARE(line[2].toArray()[0].toString(), QStringLiteral("str"));
            QCOMPARE(line[2].toArray()[1].toString(), r.usuario);
            QCOMPARE(line[3].toArray()[0].toString() + u' ' + line[3].toArray()[1].toString(),
                     "datetime " + r.fecha.startOfDay().toString(Qt::ISODate));
            QCOMPARE(line[4].toArray()[0].toString() + u' ' + line[4].toArray()[1].toString(),
                     "time " + r.hora.toString(Qt::ISODate));
            QCOMPARE(line[5].toArray()[0].toString(), QStringLiteral("timedelta"));
            QCOMPARE(line[5].toArray()[1].toDouble(), i == 7 ? 546 * 3600 + 25 * 60 : 40 * 60);
            QVERIFY2(isMoney(line[6].toArray()), qPrintable(QJsonDocument(line).toJson()));
            QCOMPARE(cents(line[6].toArray()), r.cents);
            sum += cents(line[6].toArray());
        }
        QCOMPARE(sum, report.totalCents);

        // Totales: every amount a number in the currency format, each group adding up to the total.
        const QJsonArray totals = book[QStringLiteral("Totales")].toArray();
        QMap<QString, qint64> amounts;
        QMap<QString, qint64> groupSums;
        QString group;
        for (const QJsonValue &value : totals) {
            const QJsonArray line = value.toArray();
            const QString label = line.at(0).toArray().at(1).toString();
            if (line.size() > 1 && line[1].toArray()[1].toString() == u"Importe") {
                group = label;
            } else if (line.size() > 1 && isMoney(line[1].toArray())) {
                amounts[label] = cents(line[1].toArray());
                groupSums[group] += cents(line[1].toArray());
            }
        }
        QCOMPARE(amounts.value(QStringLiteral("Total Facturado")), report.totalCents);
        QCOMPARE(amounts.value(QStringLiteral("Total Facturado Admin")), report.operatorCents);
        for (const char *g : {"Por operador", "Por puesto", "Por modo"}) {
            QCOMPARE(groupSums.value(QString::fromLatin1(g)), report.totalCents);
        }
        QCOMPARE(amounts.value(QStringLiteral("=SUM(A1:A9)")), report.byOperator[1].cents);
    }

    // Written whole under the chosen name, or the name keeps what it had, and no temporary
    // file is left beside it.
    void savedOrLeftAsItWas_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<QString>("said");
        for (const char *format : {"CSV", "PDF", "XLSX"}) {
            const QString f = QString::fromLatin1(format);
            QTest::addRow("%s written", format) << f << "cierre" << false << "";
            QTest::addRow("%s stopped", format) << f << "cierre" << true << "Se canceló la exportación; no se escribió";
            QTest::addRow("%s folder missing", format) << f << "falta/cierre" << false << "No se pudo exportar";
            QTest::addRow("%s a folder", format) << f << "carpeta" << false << "No se pudo exportar";
        }
    }

    void savedOrLeftAsItWas() {
        QFETCH(QString, format);
        QFETCH(QString, name);
        QFETCH(bool, stop);
        QFETCH(QString, said);
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("carpeta")));
        const QString path = folder.filePath(name);
        QFile before(folder.filePath(QStringLiteral("cierre")));
        QVERIFY(before.open(QIODevice::WriteOnly) && before.write("antes") == 5);
        before.close();
        const Report report = reportOf({{1, "Contador", "Ana", QDate(2026, 12, 2), QTime(10, 0), "00:40:00", 1000}});
        const auto go = [stop](qint64, qint64) { return !stop; };
        const QString message = format == u"PDF"    ? cash_close::savePdf(report, path, go)
                                : format == u"XLSX" ? cash_close::saveXlsx(report, path, go)
                                                    : cash_close::saveCsv(report, path, go);
        QVERIFY2(said.isEmpty() ? message.isEmpty() : message.startsWith(said), qPrintable(message));
        if (!said.isEmpty()) {
            QVERIFY(message.contains(QDir::toNativeSeparators(path)));
        }
        // A CSV written has its companion beside it; nothing else is left.
        QCOMPARE(filesIn(folder.path()),
                 QStringList({"cierre"}) +
                     (format == u"CSV" && said.isEmpty() ? QStringList{"cierre-resumen.txt"} : QStringList()));
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray written = format == u"PDF" ? "%PDF-1" : format == u"XLSX" ? "PK\x03\x04" : "Puesto";
        QCOMPARE(before.read(!said.isEmpty() ? 5 : written.size()), !said.isEmpty() ? QByteArray("antes") : written);
    }

    // The text a reader finds in the document, through the PDF writer and through a printer:
    // the period, who ran it, the subtotals, every row across the pages, and on the last page
    // both totals and the journal's whole last hash.
    void documentHoldsTheReport_data() {
        QTest::addColumn<bool>("printer");
        QTest::addColumn<qint64>("journalEntries");
        QTest::newRow("PDF writer, journal") << false << qint64(3);
        QTest::newRow("printer, no journal") << true << qint64(0);
    }

    void documentHoldsTheReport() {
        QFETCH(bool, printer);
        QFETCH(qint64, journalEntries);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
            QSKIP("pdftotext (poppler-utils) is not installed");
        }
        QVector<cash_close::ReportRow> rows;
        for (int i = 0; i < 150; ++i) {
            rows.push_back({1 + i % 5, i % 2 ? "Prepago" : "Contador", i % 3 ? "Ana" : "Admin", QDate(2026, 12, 2),
                            QTime(9, 0).addSecs(i * 60), "00:40:00", 1000 + i});
        }
        Report report = reportOf(rows);
        report.journalEntries = journalEntries;
        report.journalLastHash = QStringLiteral("0123456789abcdff").repeated(4); // "ff" is a ligature in most faces
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("cierre.pdf"));
        if (printer) {
            QPrinter device(QPrinter::HighResolution);
            device.setOutputFormat(QPrinter::PdfFormat);
            device.setOutputFileName(path);
            QVERIFY(cash_close::paintReport(report, device));
        } else {
            QCOMPARE(cash_close::savePdf(report, path), QString());
        }
        const QStringList pages = pdfPages(path);
        QVERIFY(pages.size() >= 3);
        const QString all = pages.join(QLatin1Char('\n'));
        for (const char *line : {"Cierre de Caja", "Desde 01/12/2026 08:00:00 hasta 05/12/2026 16:00:00",
                                 "Procesado por Admin el 05/12/2026 14:05:09", "Alquileres: 150",
                                 "Admin: $ 536,75 (50)", "Puesto 5: $ 322,95 (30)", "Prepago: $ 806,25 (75)"}) {
            QVERIFY2(pages.first().contains(QString::fromUtf8(line)), line);
        }
        // Hora and Tiempo of every row, and the three instants above.
        QCOMPARE(all.count(QRegularExpression(QStringLiteral("\\b\\d\\d:\\d\\d:\\d\\d\\b"))), 2 * 150 + 3);
        // Every amount with both decimals ("10,00", "10,10"): the rows, nine subtotals, two totals.
        QCOMPARE(all.count(QRegularExpression(QStringLiteral("(?<![\\d,])\\d+,\\d\\d(?![\\d,])"))), 150 + 9 + 2);
        QVERIFY(pages.last().contains(QStringLiteral("Total Facturado: $ 1611,75")));
        QVERIFY(pages.last().contains(QStringLiteral("Total Facturado Admin: $ 536,75")));
        QCOMPARE(pages.last().contains(QStringLiteral("Registro: 3 entradas, último hash")), journalEntries > 0);
        QCOMPARE(pages.last().contains(report.journalLastHash), journalEntries > 0);
        for (int n = 1; n <= pages.size(); ++n) {
            QVERIFY(pages[n - 1].contains(QStringLiteral("Página %1 de %2").arg(n).arg(pages.size())));
        }
    }

    // The widest amounts 24 blocks below 10^9 each reach, a negative one, the longest time and a
    // long name: every amount, date and time whole in the grid of the document.
    void widestValuesWhole() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
            QSKIP("pdftotext (poppler-utils) is not installed");
        }
        const QString longName = QStringLiteral("Maximiliano Bartolomé de las Mercedes Ñandú");
        QVector<cash_close::ReportRow> rows;
        for (int i = 0; i < 3; ++i) {
            rows.push_back(
                {2, "Prepago", i ? "Ana" : longName, QDate(2026, 12, 5), QTime(10, 0, i), "546:00:00", 2399999999976});
        }
        rows.push_back({3, "Contador", "Ana", QDate(2026, 12, 5), QTime(11, 0), "999:59:00", -99999999999});
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("cierre.pdf"));
        QCOMPARE(cash_close::savePdf(reportOf(rows), path), QString());
        const QString all = pdfPages(path).join(QLatin1Char('\n'));
        QCOMPARE(all.count(QStringLiteral("23999999999,76")), 3 + 1); // and the long name's subtotal
        QCOMPARE(all.count(QStringLiteral("-999999999,99")), 1 + 2);  // and station 3 and Contador
        QVERIFY(all.contains(QStringLiteral("999:59:00")) && all.contains(QStringLiteral("05/12/2026")));
        QVERIFY(all.contains(QStringLiteral("Total Facturado: $ 70999999999,29")));
    }
};

QTEST_MAIN(ReportExportTest)
#include "tst_report_export.moc"
