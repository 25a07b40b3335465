#include "data/DbError.h"
#include "data/JetTranslator.h"

#include <QTest>

using data::translateJet;

class TestJetTranslator final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void translates_data();
    void translates();
    void literals_data();
    void literals();
    void refuses_data();
    void refuses();
};

void TestJetTranslator::translates_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("values");

    QTest::newRow("rental insert")
        << "INSERT INTO Alquiler (Puesto,Modo,Usuario,Fecha,Hora,Tiempo,Importe) VALUES (2, "
           "'Contador','Admin',#5/Dec/2026#,#14:05:09#,#1:25#,6)"
        << "INSERT INTO Alquiler (Puesto,Modo,Usuario,Fecha,Hora,Tiempo,Importe) VALUES (?, ?,?,?,?,?,?)"
        << QVariantList{2LL, "Contador", "Admin", "2026-12-05", "14:05:09", "01:25:00", 6LL};
    QTest::newRow("delete star") << "DELETE * FROM Caja"
                                 << "DELETE FROM Caja" << QVariantList{};
    QTest::newRow("delete star, lower case") << "delete  *  from Caja"
                                             << "delete  from Caja" << QVariantList{};
    QTest::newRow("select star kept") << "SELECT * FROM Tarifa"
                                      << "SELECT * FROM Tarifa" << QVariantList{};
    QTest::newRow("non-ASCII identifier")
        << QString::fromUtf8("Select Contraseña from Usuarios Where Usuario = 'O''Brien'")
        << QString::fromUtf8("Select Contraseña from Usuarios Where Usuario = ?") << QVariantList{"O'Brien"};
    QTest::newRow("operators") << "SELECT * FROM Caja WHERE Hora<=#8:00# AND Hora<>#9:00# AND Hora>=#7:00#"
                               << "SELECT * FROM Caja WHERE Hora<=? AND Hora<>? AND Hora>=?"
                               << QVariantList{"08:00:00", "09:00:00", "07:00:00"};
    QTest::newRow("decimal and dotted name")
        << "UPDATE Tarifa SET Tarifa.Minutos = 30,Pesos = 5.5"
        << "UPDATE Tarifa SET Tarifa.Minutos = ?,Pesos = ?" << QVariantList{30LL, 5.5};
    QTest::newRow("comment marks inside text are text")
        << "DELETE FROM Usuarios Where Usuario = '''; DELETE * FROM Alquiler; --'"
        << "DELETE FROM Usuarios Where Usuario = ?" << QVariantList{"'; DELETE * FROM Alquiler; --"};
    QTest::newRow("bracketed name") << "SELECT [Usuario] FROM Caja"
                                    << "SELECT \"Usuario\" FROM Caja" << QVariantList{};
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

// One literal alone: what value it binds.
void TestJetTranslator::literals_data() {
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("d/Mon/yyyy") << "#5/Dec/2026#" << QVariant("2026-12-05");
    QTest::newRow("month any case") << "#5/dEC/2026#" << QVariant("2026-12-05");
    QTest::newRow("d-Mon-yyyy") << "#28-Feb-2026#" << QVariant("2026-02-28");
    QTest::newRow("iso") << "#2026-03-01#" << QVariant("2026-03-01");
    QTest::newRow("US numeric is month first") << "#3/1/2026#" << QVariant("2026-03-01");
    QTest::newRow("leap day") << "#29-Feb-2028#" << QVariant("2028-02-29");
    QTest::newRow("H:MM") << "#1:25#" << QVariant("01:25:00");
    QTest::newRow("H:MM:SS") << "#14:05:09#" << QVariant("14:05:09");
    QTest::newRow("duration past a day") << "#26:05#" << QVariant("26:05:00");
    QTest::newRow("long duration") << "#9999:59:59#" << QVariant("9999:59:59");
    QTest::newRow("sixty minutes fold into an hour") << "#0:60#" << QVariant("01:00:00");
    QTest::newRow("ninety minutes") << "#1:90#" << QVariant("02:30:00");
    QTest::newRow("12 AM is midnight") << "#12:00:00 AM#" << QVariant("00:00:00");
    QTest::newRow("12 PM is noon") << "#12:30 PM#" << QVariant("12:30:00");
    QTest::newRow("8 am") << "#08:00:00 am#" << QVariant("08:00:00");
    QTest::newRow("11 PM") << "#11:59:59 PM#" << QVariant("23:59:59");
    QTest::newRow("text with doubled quotes") << "'it''s'" << QVariant("it's");
    QTest::newRow("empty text") << "''" << QVariant("");
    QTest::newRow("Jet double quotes") << "\"a\"\"b\"" << QVariant("a\"b");
    QTest::newRow("non-Latin text") << QString::fromUtf8("'Ελληνικά 中文'")
                                    << QVariant(QString::fromUtf8("Ελληνικά 中文"));
    QTest::newRow("integer") << "42" << QVariant(42LL);
    QTest::newRow("big integer") << "9007199254740993" << QVariant(9007199254740993LL);
    QTest::newRow("decimal") << "6.25" << QVariant(6.25);
}

void TestJetTranslator::literals() {
    QFETCH(QString, literal);
    QFETCH(QVariant, value);
    const auto out = translateJet("SELECT * FROM Caja WHERE Hora = " + literal);
    QCOMPARE(out.sql, QStringLiteral("SELECT * FROM Caja WHERE Hora = ?"));
    QCOMPARE(out.values.size(), 1);
    QCOMPARE(out.values[0].typeId(), value.typeId());
    QCOMPARE(out.values[0], value);
}

void TestJetTranslator::refuses_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty") << ""
                           << "vac";
    QTest::newRow("blank") << "   \n"
                           << "vac";
    QTest::newRow("unterminated text") << "SELECT * FROM Caja WHERE Usuario = 'Ad"
                                       << "comilla";
    QTest::newRow("unterminated date") << "SELECT * FROM Caja WHERE Fecha = #5/Dec/2026"
                                       << "#";
    QTest::newRow("31 Feb") << "SELECT * FROM Caja WHERE Fecha = #31-Feb-2026#"
                            << "fecha";
    QTest::newRow("29 Feb, common year") << "SELECT * FROM Caja WHERE Fecha = #29/Feb/2026#"
                                         << "fecha";
    QTest::newRow("unknown month") << "SELECT * FROM Caja WHERE Fecha = #5/Dic/2026#"
                                   << "fecha";
    QTest::newRow("month 13, US form") << "SELECT * FROM Caja WHERE Fecha = #13/1/2026#"
                                       << "fecha";
    QTest::newRow("two-digit year") << "SELECT * FROM Caja WHERE Fecha = #5/Dec/26#"
                                    << "fecha";
    QTest::newRow("empty date") << "SELECT * FROM Caja WHERE Fecha = ##"
                                << "vac";
    QTest::newRow("seconds 60") << "SELECT * FROM Caja WHERE Hora = #10:00:60#"
                                << "hora";
    QTest::newRow("13 PM") << "SELECT * FROM Caja WHERE Hora = #13:00 PM#"
                           << "hora";
    QTest::newRow("0 AM") << "SELECT * FROM Caja WHERE Hora = #0:30 AM#"
                          << "hora";
    QTest::newRow("letters in time") << "SELECT * FROM Caja WHERE Hora = #1a:00#"
                                     << "hora";
    QTest::newRow("too many parts") << "SELECT * FROM Caja WHERE Hora = #1:00:00:00#"
                                    << "hora";
    QTest::newRow("hours beyond 9999") << "SELECT * FROM Caja WHERE Hora = #10000:00#"
                                       << "hora";
    QTest::newRow("negative minutes") << "SELECT * FROM Caja WHERE Hora = #1:-5#"
                                      << "hora";
    QTest::newRow("second statement") << "DELETE FROM Caja; DELETE FROM Alquiler"
                                      << ";";
    QTest::newRow("trailing semicolon") << "DELETE FROM Caja;"
                                        << ";";
    QTest::newRow("line comment") << "DELETE FROM Caja -- all"
                                  << "--";
    QTest::newRow("block comment") << "DELETE /* x */ FROM Caja"
                                   << "/*";
    QTest::newRow("unknown character") << "SELECT Usuario & Modo FROM Caja"
                                       << "&";
    QTest::newRow("number glued to a word") << "SELECT 12abc FROM Caja"
                                            << "12a";
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
