// The rate editor: the statement it builds, what it refuses, leaving it, and that the running
// main window keeps its rate.
#include "TestSupport.h"
#include "data/Database.h"
#include "rate/frmTarifa.h"
#include "stations/formLudomat2.h"

#include <QtTest>
#include <QtWidgets>

namespace {

using Rate = QPair<qlonglong, double>;

// The main window with its rate editor opened by its button.
struct Shop {
    testing::TestPlatform t;
    formLudomat2 main{t.platform};
    QPointer<frmTarifa> editor;
    frmTarifa *open() {
        QTest::mouseClick(main.cmdTarifa, Qt::LeftButton);
        return editor = main.tarifaWindow;
    }
    void enter(const QString &minutes, const QString &pesos) {
        editor->txtMinutos2->setText(minutes);
        editor->txtPesos2->setText(pesos);
    }
    Rate stored() const {
        auto rs = data::Database::open(t.databasePath())->openRecordset(QStringLiteral("SELECT * FROM Tarifa"));
        return {rs.field(QStringLiteral("Minutos")).toLongLong(), rs.field(QStringLiteral("Pesos")).toDouble()};
    }
};

} // namespace

class RateTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void saveStoresTheCheckedNumbers_data() {
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<QString>("pesos");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<Rate>("stored");
        QTest::newRow("point") << "30"
                               << "5.5"
                               << "UPDATE Tarifa SET Minutos = 30,Pesos = 5.5" << Rate(30, 5.5);
        QTest::newRow("comma") << "30"
                               << "5,5"
                               << "UPDATE Tarifa SET Minutos = 30,Pesos = 5.5" << Rate(30, 5.5);
        QTest::newRow("blanks, leading zero") << " 060 "
                                              << " 10 "
                                              << "UPDATE Tarifa SET Minutos = 60,Pesos = 10" << Rate(60, 10);
        QTest::newRow("limits") << "1365"
                                << "0"
                                << "UPDATE Tarifa SET Minutos = 1365,Pesos = 0" << Rate(1365, 0);
        QTest::newRow("one minute, two decimals")
            << "1"
            << "999999999,99"
            << "UPDATE Tarifa SET Minutos = 1,Pesos = 999999999.99" << Rate(1, 999999999.99);
    }

    void saveStoresTheCheckedNumbers() {
        QFETCH(QString, minutes);
        QFETCH(QString, pesos);
        QFETCH(QString, statement);
        QFETCH(Rate, stored);
        Shop s;
        QVERIFY(s.main.Form_Load());
        s.main.setEnabled(true);
        frmTarifa *e = s.open();
        // The current rate can be neither reached nor typed into: the cursor starts in the new one.
        QVERIFY(e->txtMinutos1->isReadOnly() && e->txtPesos1->focusPolicy() == Qt::NoFocus);
        QCOMPARE(e->focusWidget(), e->txtPesos2);
        QString sqlAtMessage;
        s.t.messages.onMessage = [&](const QString &) { sqlAtMessage = s.editor ? s.editor->sqlText : QString(); };
        s.enter(minutes, pesos);
        QTest::mouseClick(s.editor->cmdGuardar, Qt::LeftButton);
        QCOMPARE(sqlAtMessage, statement);
        QCOMPARE(s.t.messages.messages,
                 QStringList{QStringLiteral("Se guardó la tarifa: %1 minutos por $ %2. Para que los cambios en la "
                                            "tarifa surtan efecto debe cerrar y volver a abrir el Programa.")
                                 .arg(stored.first)
                                 .arg(QString::number(stored.second, 'g', 15).replace(u'.', u','))});
        QTRY_VERIFY(!s.editor);
        QCOMPARE(s.stored(), stored);
        // The running program keeps charging what it read at start-up.
        QCOMPARE(s.main.rate.Minutos, qint16(30));
        QCOMPARE(s.main.rate.Pesos, 10.0);
        // Opened again, the first row shows the saved rate in the regional form.
        s.open();
        QCOMPARE(s.editor->txtMinutos1->text(), QString::number(stored.first));
        QCOMPARE(s.editor->txtPesos1->text(), QString::number(stored.second, 'g', 15).replace(u'.', u','));
        s.editor->cmdSalir_Click();
    }

    void badValuesAreRefused_data() {
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<QString>("pesos");
        QTest::addColumn<QString>("said"); // the whole message, where it is checked whole
        for (const char *m : {"abc", "0", "1366", "30,5", "65566", "30,Pesos = 0"}) {
            QTest::addRow("minutes %s", m) << QString::fromLatin1(m) << QStringLiteral("5") << QString();
        }
        // A point before three digits reads as a thousands separator under this comma locale.
        // Each example of the refusal whole: "12,5" once came out as "12,".
        QTest::addRow("pesos 1.000, said whole")
            << QStringLiteral("30") << QStringLiteral("1.000")
            << QStringLiteral("El importe de la nueva tarifa («1.000») no es válido. Escríbalo sin separador de "
                              "miles y con a lo sumo dos decimales, por ejemplo 1000, 12,5 o 12.50.");
        for (const char *p :
             {"-1", "1e400", "1.000,5", "1.000", "12.500", "2,555", "1000000000", "5; DELETE FROM Usuarios"}) {
            QTest::addRow("pesos %s", p) << QStringLiteral("30") << QString::fromLatin1(p) << QString();
        }
    }

    void badValuesAreRefused() {
        QFETCH(QString, minutes);
        QFETCH(QString, pesos);
        QFETCH(QString, said);
        Shop s;
        s.open();
        s.enter(minutes, pesos);
        QTest::mouseClick(s.editor->cmdGuardar, Qt::LeftButton);
        const QString complaint = QString::fromLatin1(pesos == "5" ? "Los minutos" : "El importe");
        QCOMPARE(s.t.messages.messages.size(), 1);
        QVERIFY2(s.t.messages.messages[0].startsWith(complaint), qPrintable(s.t.messages.messages[0]));
        if (!said.isEmpty()) {
            QCOMPARE(s.t.messages.messages[0], said);
        }
        QVERIFY(s.editor->isVisible());
        QCOMPARE(s.stored(), Rate(30, 10));
    }

    // Opened, it shows the stored rate; left by "&Salir" or the close box, it stores nothing.
    void opensAndLeavesStoringNothing_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Salir") << false;
        QTest::newRow("title-bar close box") << true;
    }

    void opensAndLeavesStoringNothing() {
        QFETCH(bool, closeBox);
        Shop s;
        frmTarifa *e = s.open();
        QCOMPARE(QStringList({e->windowTitle(), e->txtPesos1->text(), e->txtMinutos1->text(), e->txtPesos2->text(),
                              e->txtMinutos2->text()}),
                 QStringList({"Cambio de Tarifa", "10", "30", "1", "1"}));
        s.enter(QStringLiteral("15"), QStringLiteral("3"));
        if (closeBox) {
            QVERIFY(e->close());
        } else {
            QTest::mouseClick(e->cmdSalir, Qt::LeftButton);
        }
        QTRY_VERIFY(!s.editor);
        QVERIFY(s.t.messages.messages.isEmpty());
        QCOMPARE(s.stored(), Rate(30, 10));
    }
};

QTEST_MAIN(RateTest)
#include "tst_rate.moc"
