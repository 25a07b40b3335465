#include "data/DbError.h"
#include "data/JetTranslator.h"

#include <QTest>

class TestJetTranslator final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void translates_data() {
        const QString where = QStringLiteral("SELECT * FROM Caja WHERE Hora = ");
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("sql"); // empty: refused
        QTest::addColumn<QVariantList>("values");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char *name, const QString &jet, const QString &sql, const QVariantList &values) {
            QTest::newRow(name) << jet << sql << values << QString();
        };
        // One literal alone: the value it binds, with its type.
        const auto literal = [&row, &where](const char *name, const QString &text, const QVariant &value) {
            row(name, where + text, where + u'?', {value});
        };
        const auto refused = [](const char *name, const QString &jet, const QString &reason) {
            QTest::newRow(name) << jet << QString() << QVariantList() << reason;
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
        row("bracketed name", "SELECT [Usuario] FROM Caja", "SELECT \"Usuario\" FROM Caja", {});
        literal("d/Mon/yyyy, month any case", "#5/dEC/2026#", "2026-12-05");
        literal("d-Mon-yyyy", "#28-Feb-2026#", "2026-02-28");
        literal("iso", "#2026-03-01#", "2026-03-01");
        literal("US numeric is month first", "#3/1/2026#", "2026-03-01");
        literal("leap day", "#29-Feb-2028#", "2028-02-29");
        literal("longest duration", "#9999:59:59#", "9999:59:59");
        literal("sixty minutes fold into an hour", "#0:60#", "01:00:00");
        literal("12 AM is midnight", "#12:00:00 AM#", "00:00:00");
        literal("11 PM", "#11:59:59 pm#", "23:59:59");
        literal("text with doubled quotes", "'it''s'", "it's");
        literal("Jet double quotes", "\"a\"\"b\"", "a\"b");
        literal("big integer", "9007199254740993", 9007199254740993LL);
        refused("blank", "   \n", "vac");
        refused("second statement", "DELETE FROM Caja; DELETE FROM Alquiler", ";");
        refused("line comment", "DELETE FROM Caja -- all", "--");
        refused("block comment", "DELETE /* x */ FROM Caja", "/*");
        refused("unknown character", "SELECT Usuario & Modo FROM Caja", "&");
        refused("unterminated text", where + "'Ad", "comilla");
        refused("unterminated date", where + "#5/Dec/2026", "#");
        refused("empty date", where + "##", "vac");
        refused("29 Feb, common year", where + "#29/Feb/2026#", "fecha");
        refused("Spanish month", where + "#5/Dic/2026#", "fecha");
        refused("month 13, US form", where + "#13/1/2026#", "fecha");
        refused("two-digit year", where + "#5/Dec/26#", "fecha");
        refused("seconds 60", where + "#10:00:60#", "hora");
        refused("13 PM", where + "#13:00 PM#", "hora");
        refused("hours beyond 9999", where + "#10000:00#", "hora");
        refused("negative minutes", where + "#1:-5#", "hora");
    }

    void translates() {
        QFETCH(QString, jet);
        QFETCH(QString, sql);
        QFETCH(QVariantList, values);
        QFETCH(QString, reason);
        // Each bound value with its type, so 6 and 6.0 or a date and its text stay apart.
        const auto typed = [](const QVariantList &v) { return QDebug::toString(v); };
        try {
            const auto out = data::translateJet(jet);
            QCOMPARE(out.sql, sql);
            QCOMPARE(typed(out.values), typed(values));
        } catch (const data::DbError &e) {
            QVERIFY2(!reason.isEmpty() && e.message().contains(reason, Qt::CaseInsensitive), qPrintable(e.message()));
            QCOMPARE(e.statement(), jet);
        }
    }
};

QTEST_GUILESS_MAIN(TestJetTranslator)
#include "tst_jet_translator.moc"
