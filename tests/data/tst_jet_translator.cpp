#include "data/DbError.h"
#include "data/JetTranslator.h"

#include <QTest>

using data::translateJet;

namespace {
const QString where = QStringLiteral("SELECT * FROM Caja WHERE Hora = ");
} // namespace

class TestJetTranslator final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void translates_data();
    void translates();
    void refuses_data();
    void refuses();
};

void TestJetTranslator::translates_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("values");
    const auto row = [](const char *name, const QString &jet, const QString &sql, const QVariantList &values) {
        QTest::newRow(name) << jet << sql << values;
    };
    // One literal alone: the value it binds, with its type.
    const auto literal = [&row](const char *name, const QString &text, const QVariant &value) {
        row(name, where + text, where + u'?', {value});
    };
    row("rental insert",
        "INSERT INTO Alquiler (Puesto,Modo,Usuario,Fecha,Hora,Tiempo,Importe) VALUES (2, "
        "'Contador','Admin',#5/Dec/2026#,#14:05:09#,#1:25#,6)",
        "INSERT INTO Alquiler (Puesto,Modo,Usuario,Fecha,Hora,Tiempo,Importe) VALUES (?, ?,?,?,?,?,?)",
        {2LL, "Contador", "Admin", "2026-12-05", "14:05:09", "01:25:00", 6LL});
    row("delete star", "DELETE * FROM Caja", "DELETE FROM Caja", {});
    row("select star kept", "SELECT * FROM Tarifa", "SELECT * FROM Tarifa", {});
    row("non-ASCII identifier", QString::fromUtf8("Select Contraseña from Usuarios Where Usuario = 'O''Brien'"),
        QString::fromUtf8("Select Contraseña from Usuarios Where Usuario = ?"), {"O'Brien"});
    row("operators", "SELECT * FROM Caja WHERE Hora<=#8:00# AND Hora<>#9:00# AND Hora>=#7:00#",
        "SELECT * FROM Caja WHERE Hora<=? AND Hora<>? AND Hora>=?", {"08:00:00", "09:00:00", "07:00:00"});
    row("decimal and dotted name", "UPDATE Tarifa SET Tarifa.Minutos = 30,Pesos = 5.5",
        "UPDATE Tarifa SET Tarifa.Minutos = ?,Pesos = ?", {30LL, 5.5});
    row("comment marks inside text are text", "DELETE FROM Usuarios Where Usuario = '''; DELETE * FROM Alquiler; --'",
        "DELETE FROM Usuarios Where Usuario = ?", {"'; DELETE * FROM Alquiler; --"});
    row("bracketed name", "SELECT [Usuario] FROM Caja", "SELECT \"Usuario\" FROM Caja", {});
    literal("d/Mon/yyyy, month any case", "#5/dEC/2026#", "2026-12-05");
    literal("d-Mon-yyyy", "#28-Feb-2026#", "2026-02-28");
    literal("iso", "#2026-03-01#", "2026-03-01");
    literal("US numeric is month first", "#3/1/2026#", "2026-03-01");
    literal("leap day", "#29-Feb-2028#", "2028-02-29");
    literal("H:MM", "#1:25#", "01:25:00");
    literal("H:MM:SS", "#14:05:09#", "14:05:09");
    literal("longest duration", "#9999:59:59#", "9999:59:59");
    literal("sixty minutes fold into an hour", "#0:60#", "01:00:00");
    literal("12 AM is midnight", "#12:00:00 AM#", "00:00:00");
    literal("11 PM", "#11:59:59 pm#", "23:59:59");
    literal("text with doubled quotes", "'it''s'", "it's");
    literal("Jet double quotes", "\"a\"\"b\"", "a\"b");
    literal("big integer", "9007199254740993", 9007199254740993LL);
    literal("decimal", "6.25", 6.25);
}

void TestJetTranslator::translates() {
    QFETCH(QString, jet);
    QFETCH(QString, sql);
    QFETCH(QVariantList, values);
    const auto out = translateJet(jet);
    QCOMPARE(out.sql, sql);
    QCOMPARE(out.values.size(), values.size());
    for (qsizetype i = 0; i < values.size(); ++i) {
        QCOMPARE(out.values[i].typeId(), values[i].typeId());
        QCOMPARE(out.values[i], values[i]);
    }
}

void TestJetTranslator::refuses_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char *name, const QString &jet, const QString &reason) {
        QTest::newRow(name) << jet << reason;
    };
    const auto literal = [&row](const char *name, const QString &text, const QString &reason) {
        row(name, where + text, reason);
    };
    row("blank", "   \n", "vac");
    row("second statement", "DELETE FROM Caja; DELETE FROM Alquiler", ";");
    row("line comment", "DELETE FROM Caja -- all", "--");
    row("block comment", "DELETE /* x */ FROM Caja", "/*");
    row("unknown character", "SELECT Usuario & Modo FROM Caja", "&");
    literal("unterminated text", "'Ad", "comilla");
    literal("unterminated date", "#5/Dec/2026", "#");
    literal("empty date", "##", "vac");
    literal("29 Feb, common year", "#29/Feb/2026#", "fecha");
    literal("Spanish month", "#5/Dic/2026#", "fecha");
    literal("month 13, US form", "#13/1/2026#", "fecha");
    literal("two-digit year", "#5/Dec/26#", "fecha");
    literal("seconds 60", "#10:00:60#", "hora");
    literal("13 PM", "#13:00 PM#", "hora");
    literal("hours beyond 9999", "#10000:00#", "hora");
    literal("negative minutes", "#1:-5#", "hora");
}

void TestJetTranslator::refuses() {
    QFETCH(QString, jet);
    QFETCH(QString, reason);
    try {
        translateJet(jet);
        QFAIL("accepted");
    } catch (const data::DbError &e) {
        QVERIFY2(e.message().contains(reason, Qt::CaseInsensitive), qPrintable(e.message()));
        QCOMPARE(e.statement(), jet);
    }
}

QTEST_GUILESS_MAIN(TestJetTranslator)
#include "tst_jet_translator.moc"
