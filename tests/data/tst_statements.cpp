#include "data/Statements.h"

#include <QLocale>
#include <QTest>

using namespace statements;

class TestStatements final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void texts_data();
    void texts();
    void monthAbbrevIgnoresLocale();
};

void TestStatements::texts_data() {
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("expected");
    const QDate dec5(2026, 12, 5);

    QTest::newRow("tarifa") << tarifaSelect() << "SELECT * FROM Tarifa";
    QTest::newRow("tarifa editor") << tarifaEditorSelect() << "Select * from Tarifa";
    QTest::newRow("insert counter")
        << alquilerInsert(2, true, "Admin", 5, "Dec", 2026, "14:05:09", "1", "25", "6")
        << "INSERT INTO Alquiler (Puesto,Modo,Usuario,Fecha,Hora,Tiempo,Importe) VALUES (2, "
           "'Contador','Admin',#5/Dec/2026#,#14:05:09#,#1:25#,6)";
    QTest::newRow("insert prepaid")
        << alquilerInsert(4, false, "Admin", 5, "Dec", 2026, "14:05:09", "0", "45", "3")
        << "INSERT INTO Alquiler (Puesto,Modo,Usuario,Fecha,Hora,Tiempo,Importe) VALUES (4, "
           "'Prepago','Admin',#5/Dec/2026#,#14:05:09#,#0:45#,3)";
    QTest::newRow("insert quotes user")
        << alquilerInsert(1, true, "O'Brien", 1, "Jan", 2027, "00:00:00", "0", "00", "0")
        << "INSERT INTO Alquiler (Puesto,Modo,Usuario,Fecha,Hora,Tiempo,Importe) VALUES (1, "
           "'Contador','O''Brien',#1/Jan/2027#,#00:00:00#,#0:00#,0)";
    QTest::newRow("users") << usuariosList() << "Select * from Usuarios ORDER BY Usuario";
    QTest::newRow("password") << passwordLookup("Admin")
                              << QString::fromUtf8("Select Contraseña from Usuarios Where Usuario = 'Admin'");
    QTest::newRow("password quoted") << passwordLookup("' OR '1'='1")
                                     << QString::fromUtf8(
                                            "Select Contraseña from Usuarios Where Usuario = ''' OR ''1''=''1'");
    QTest::newRow("user insert") << usuarioInsert(3, "Ana", "p'w")
                                 << QString::fromUtf8(
                                        "INSERT INTO Usuarios (codigo,usuario,contraseña) VALUES (3,'Ana','p''w')");
    QTest::newRow("user delete") << usuarioDelete("it's") << "DELETE FROM Usuarios Where Usuario = 'it''s'";
    QTest::newRow("caja empty") << cajaEmpty() << "DELETE * FROM Caja";
    QTest::newRow("range") << alquilerRange(QDate(2026, 2, 28), QDate(2026, 3, 3))
                           << "SELECT * FROM Alquiler WHERE Fecha BETWEEN #28-Feb-2026# AND #3-Mar-2026#";
    QTest::newRow("caja insert") << cajaInsert("2", "Contador", "Admin", dec5, "14:05:09", "01:25:00", "6")
                                 << "INSERT INTO Caja VALUES (2,'Contador','Admin',#5-Dec-2026#,#14:05:09#,"
                                    "#01:25:00#,6)";
    QTest::newRow("trim first") << cajaTrimFirstDay(dec5, "08:00:00")
                                << "DELETE FROM Caja WHERE Fecha = #5-Dec-2026# AND Hora < #08:00:00#";
    QTest::newRow("trim last") << cajaTrimLastDay(dec5, "22:30:00")
                               << "DELETE FROM Caja WHERE Fecha = #5-Dec-2026# AND Hora > #22:30:00#";
    QTest::newRow("totals, two blanks") << cajaTotals() << "SELECT Usuario, Importe  FROM Caja";
    QTest::newRow("grid") << cajaGrid() << "SELECT * FROM Caja ORDER BY Fecha";
    QTest::newRow("rate update") << tarifaUpdate("30", "5.5") << "UPDATE Tarifa SET Minutos = 30,Pesos = 5.5";
    QTest::newRow("close date text") << cashCloseDateText(QDate(2026, 1, 31)) << "31-Jan-2026";
}

void TestStatements::texts() {
    QFETCH(QString, built);
    QFETCH(QString, expected);
    QCOMPARE(built, expected);
}

void TestStatements::monthAbbrevIgnoresLocale() {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Mexico));
    const QStringList expected{"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int m = 1; m <= 12; ++m)
        QCOMPARE(monthAbbrev(m), expected[m - 1]);
    QCOMPARE(cashCloseDateText(QDate(2026, 8, 9)), QStringLiteral("9-Aug-2026"));
    QLocale::setDefault(saved);
}

QTEST_GUILESS_MAIN(TestStatements)
#include "tst_statements.moc"
