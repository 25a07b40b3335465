// The report written out: CSV read back by a parser of its own, files that fail or are stopped.
#include "cash_close/ReportCsv.h"

#include <QtTest>
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
        QTest::newRow("plain") << "Ana"
                               << "Ana";
        QTest::newRow("quotes and commas") << "O\"Brien, \"Jr\""
                                           << "O\"Brien, \"Jr\"";
        QTest::newRow("line breaks") << "una\r\ndos\nfin"
                                     << "una\r\ndos\nfin";
        QTest::newRow("non-Latin") << "Ωμέγα 名前 مريم"
                                   << "Ωμέγα 名前 مريم";
        QTest::newRow("=") << "=SUM(1)"
                           << "'=SUM(1)";
        QTest::newRow("+") << "+1"
                           << "'+1";
        QTest::newRow("-") << "-1"
                           << "'-1";
        QTest::newRow("@") << "@x"
                           << "'@x";
        QTest::newRow("tab") << "\tx"
                             << "'\tx";
        QTest::newRow("CR") << "\rx"
                            << "'\rx";
        QTest::newRow("formula with quotes") << "=\"a\",1"
                                             << "'=\"a\",1";
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

    // Written whole under the chosen name, or the name keeps what it had, and no temporary
    // file is left beside it.
    void savedOrLeftAsItWas_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<QString>("said");
        QTest::newRow("written") << "cierre" << false << "";
        QTest::newRow("stopped") << "cierre" << true << "Se canceló la exportación; no se escribió";
        QTest::newRow("folder missing") << "falta/cierre" << false << "No se pudo exportar";
        QTest::newRow("a folder") << "carpeta" << false << "No se pudo exportar";
    }

    void savedOrLeftAsItWas() {
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
        const QString message = cash_close::saveCsv(report, path, [stop](qint64, qint64) { return !stop; });
        QVERIFY2(said.isEmpty() ? message.isEmpty() : message.startsWith(said), qPrintable(message));
        if (!said.isEmpty()) {
            QVERIFY(message.contains(QDir::toNativeSeparators(path)));
        }
        QCOMPARE(filesIn(folder.path()), QStringList({"cierre"}));
        QVERIFY(before.open(QIODevice::ReadOnly));
        QCOMPARE(before.read(6), QByteArray(!said.isEmpty() ? "antes" : "Puesto"));
    }
};

QTEST_MAIN(ReportExportTest)
#include "tst_report_export.moc"
