#include "data/Statements.h"

#include <QLocale>
#include <QTest>

using namespace statements;

class TestStatements final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A Spanish default locale must not leak into the month names.
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Mexico)); }
    void texts_data();
    void texts();
};

// The statements built from values: quoting, dates and times in the engine's forms. (A statement
// without values is a constant; what it does shows where it runs.)
void TestStatements::texts_data() {
    QTest::addColumn<QString>("built");
    QTest::addColumn<QString>("expected");
    const QDate dec5(2026, 12, 5);
    const auto row = [](const char *name, const QString &built, const QString &expected) {
        QTest::newRow(name) << built << expected;
    };
    const QString insert =
        QStringLiteral("INSERT INTO Alquiler (Puesto,Modo,Usuario,Fecha,Hora,Tiempo,Importe) VALUES ");
    row("insert counter", alquilerInsert(2, true, "Admin", 5, "Dec", 2026, "14:05:09", "1", "25", "6"),
        insert + "(2, 'Contador','Admin',#5/Dec/2026#,#14:05:09#,#1:25#,6)");
    row("insert prepaid", alquilerInsert(4, false, "Admin", 5, "Dec", 2026, "14:05:09", "0", "45", "3"),
        insert + "(4, 'Prepago','Admin',#5/Dec/2026#,#14:05:09#,#0:45#,3)");
    row("password quoted", passwordLookup("' OR '1'='1"),
        QString::fromUtf8("Select Contraseña from Usuarios Where Usuario = ''' OR ''1''=''1'"));
    row("user insert", usuarioInsert(3, "Ana", "p'w"),
        QString::fromUtf8("INSERT INTO Usuarios (codigo,usuario,contraseña) VALUES (3,'Ana','p''w')"));
    row("password update", usuarioPasswordUpdate("it's", "$h'"),
        QString::fromUtf8("UPDATE Usuarios SET Contraseña = '$h''' WHERE Usuario = 'it''s'"));
    row("user delete", usuarioDelete("it's"), "DELETE FROM Usuarios Where Usuario = 'it''s'");
    row("range", alquilerRange(QDate(2026, 2, 28), QDate(2026, 3, 3)),
        "SELECT * FROM Alquiler WHERE Fecha BETWEEN #28-Feb-2026# AND #3-Mar-2026#");
    row("caja insert", cajaInsert("2", "Contador", "Admin", dec5, "14:05:09", "01:25:00", "6"),
        "INSERT INTO Caja VALUES (2,'Contador','Admin',#5-Dec-2026#,#14:05:09#,#01:25:00#,6)");
    row("trim first", cajaTrimFirstDay(dec5, "08:00:00"),
        "DELETE FROM Caja WHERE Fecha = #5-Dec-2026# AND Hora < #08:00:00#");
    row("trim last", cajaTrimLastDay(dec5, "22:30:00"),
        "DELETE FROM Caja WHERE Fecha = #5-Dec-2026# AND Hora > #22:30:00#");
    row("copy in one statement", cajaCopy(QDate(2026, 2, 28), QDate(2026, 3, 3)),
        "INSERT INTO Caja SELECT * FROM Alquiler WHERE Fecha BETWEEN #28-Feb-2026# AND #3-Mar-2026#");
    row("close date text", cashCloseDateText(QDate(2026, 8, 9)), "9-Aug-2026");
    QStringList months;
    for (int m = 1; m <= 12; ++m)
        months << monthAbbrev(m);
    row("months", months.join(u' '), "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec");
}

void TestStatements::texts() {
    QFETCH(QString, built);
    QFETCH(QString, expected);
    QCOMPARE(built, expected);
}

QTEST_GUILESS_MAIN(TestStatements)
#include "tst_statements.moc"
