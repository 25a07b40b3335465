// The rate editor: what it shows, the statement it builds, what it refuses, and that the
// running main window keeps its rate.
#include "TestSupport.h"
#include "data/Database.h"
#include "rate/RateInput.h"
#include "rate/frmTarifa.h"
#include "stations/formLudomat2.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QtTest>

namespace {

QPair<qlonglong, double> storedRate(const QString &path) {
    auto db = data::Database::open(path);
    auto rs = db->openRecordset(QStringLiteral("SELECT * FROM Tarifa"));
    const QPair<qlonglong, double> rate{rs.field(QStringLiteral("Minutos")).toLongLong(),
                                        rs.field(QStringLiteral("Pesos")).toDouble()};
    db->close();
    return rate;
}

// The next control that Tab reaches from this one.
QWidget *nextTabStop(QWidget *from) {
    QWidget *w = from->nextInFocusChain();
    while (w != from && !(w->focusPolicy() & Qt::TabFocus)) {
        w = w->nextInFocusChain();
    }
    return w;
}

frmTarifa *openEditor(formLudomat2 &main) {
    QTest::mouseClick(main.cmdTarifa, Qt::LeftButton);
    return main.tarifaWindow;
}

} // namespace

class RateTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void opensWithTheStoredRate() {
        testing::TestPlatform t;
        formLudomat2 main(t.platform);
        frmTarifa *editor = openEditor(main);
        QVERIFY(editor && editor->isVisible());
        QVERIFY(main.isEnabled());
        QCOMPARE(editor->windowTitle(), QStringLiteral("Cambio de Tarifa"));
        QCOMPARE(editor->txtPesos1->text(), QStringLiteral("10"));
        QCOMPARE(editor->txtMinutos1->text(), QStringLiteral("30"));
        QCOMPARE(editor->txtPesos2->text(), QStringLiteral("1"));
        QCOMPARE(editor->txtMinutos2->text(), QStringLiteral("1"));
        QCOMPARE(editor->sqlText, QStringLiteral("Select * from Tarifa"));
        QCOMPARE(editor->txtPesos1->geometry(), QRect(144, 8, 41, 25));
        QCOMPARE(editor->txtMinutos2->geometry(), QRect(272, 72, 33, 25));
        QCOMPARE(editor->cmdSalir->geometry(), QRect(176, 144, 145, 25));
        QCOMPARE(editor->Label1[3]->text(), QStringLiteral("Nueva Tarifa"));
        QCOMPARE(editor->Label1[3]->geometry().topLeft(), QPoint(16, 80));
        // Tab order: the four boxes, then the two buttons.
        QCOMPARE(nextTabStop(editor->txtPesos1), static_cast<QWidget *>(editor->txtMinutos1));
        QCOMPARE(nextTabStop(editor->txtMinutos1), static_cast<QWidget *>(editor->txtPesos2));
        QCOMPARE(nextTabStop(editor->txtMinutos2), static_cast<QWidget *>(editor->cmdGuardar));
        QCOMPARE(nextTabStop(editor->cmdGuardar), static_cast<QWidget *>(editor->cmdSalir));
        // A second press only brings it forward.
        main.cmdTarifa_Click();
        QCOMPARE(main.tarifaWindow.data(), editor);
        editor->cmdSalir_Click();
    }

    void saveStoresTheCheckedNumbers_data() {
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<QString>("pesos");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("shown"); // row 1 when opened again
        QTest::newRow("point") << "30"
                               << "5.5"
                               << "UPDATE Tarifa SET Minutos = 30,Pesos = 5.5"
                               << "5,5";
        QTest::newRow("regional comma") << "30"
                                        << "5,5"
                                        << "UPDATE Tarifa SET Minutos = 30,Pesos = 5.5"
                                        << "5,5";
        QTest::newRow("blanks and a leading zero") << " 060 "
                                                   << " 10 "
                                                   << "UPDATE Tarifa SET Minutos = 60,Pesos = 10"
                                                   << "10";
        QTest::newRow("limits") << "1365"
                                << "0"
                                << "UPDATE Tarifa SET Minutos = 1365,Pesos = 0"
                                << "0";
        QTest::newRow("a million") << "0"
                                   << "1000000"
                                   << "UPDATE Tarifa SET Minutos = 0,Pesos = 1000000"
                                   << "1000000";
    }

    void saveStoresTheCheckedNumbers() {
        QFETCH(QString, minutes);
        QFETCH(QString, pesos);
        QFETCH(QString, statement);
        QFETCH(QString, shown);
        testing::TestPlatform t;
        formLudomat2 main(t.platform);
        QPointer<frmTarifa> editor = openEditor(main);
        editor->txtMinutos1->setText(QStringLiteral("999")); // row 1 is never read back
        editor->txtMinutos2->setText(minutes);
        editor->txtPesos2->setText(pesos);
        QTest::mouseClick(editor->cmdGuardar, Qt::LeftButton);
        QCOMPARE(
            t.messages.messages,
            QStringList{"Para que los cambios en la tarifa surtan efecto debe cerrar y volver a abrir el Programa."});
        QTRY_VERIFY(!editor);
        const auto stored = storedRate(t.databasePath());
        QCOMPARE(QStringLiteral("UPDATE Tarifa SET Minutos = %1,Pesos = %2")
                     .arg(stored.first)
                     .arg(QString::number(stored.second, 'f', QLocale::FloatingPointShortest)),
                 statement);
        frmTarifa *again = openEditor(main);
        QCOMPARE(again->txtPesos1->text(), shown);
        QCOMPARE(again->txtMinutos1->text(), QString::number(stored.first));
        QCOMPARE(again->txtPesos2->text(), QStringLiteral("1"));
        again->cmdSalir_Click();
    }

    void statementText() {
        testing::TestPlatform t;
        frmTarifa editor(t.platform);
        editor.Form_Load();
        editor.txtMinutos2->setText(QStringLiteral("30"));
        editor.txtPesos2->setText(QStringLiteral("5.5"));
        editor.cmdGuardar_Click();
        QCOMPARE(editor.sqlText, QStringLiteral("UPDATE Tarifa SET Minutos = 30,Pesos = 5.5"));
        QVERIFY(!editor.database);
    }

    void badValuesAreRefused_data() {
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<QString>("pesos");
        QTest::addColumn<QString>("complaint");
        const QString min = QStringLiteral("Los minutos");
        const QString pes = QStringLiteral("El importe");
        QTest::newRow("minutes: letters") << "abc"
                                          << "5" << min;
        QTest::newRow("minutes: negative") << "-1"
                                           << "5" << min;
        QTest::newRow("minutes: past 1365") << "1366"
                                            << "5" << min;
        QTest::newRow("minutes: fraction") << "30.5"
                                           << "5" << min;
        QTest::newRow("minutes: comma fraction") << "30,5"
                                                 << "5" << min;
        QTest::newRow("minutes: empty") << ""
                                        << "5" << min;
        QTest::newRow("minutes: 16-bit wrap") << "65566"
                                              << "5" << min;
        QTest::newRow("minutes: statement") << "30,Pesos = 0"
                                            << "5" << min;
        QTest::newRow("pesos: letters") << "30"
                                        << "diez" << pes;
        QTest::newRow("pesos: negative") << "30"
                                         << "-1" << pes;
        QTest::newRow("pesos: overflow") << "30"
                                         << "1e400" << pes;
        QTest::newRow("pesos: too large") << "30"
                                          << "1000000000" << pes;
        QTest::newRow("pesos: grouping") << "30"
                                         << "1.000,5" << pes;
        QTest::newRow("pesos: empty") << "30"
                                      << "" << pes;
        QTest::newRow("pesos: nan") << "30"
                                    << "nan" << pes;
        QTest::newRow("pesos: statement") << "30"
                                          << "5; DELETE FROM Usuarios" << pes;
    }

    void badValuesAreRefused() {
        QFETCH(QString, minutes);
        QFETCH(QString, pesos);
        QFETCH(QString, complaint);
        testing::TestPlatform t;
        formLudomat2 main(t.platform);
        frmTarifa *editor = openEditor(main);
        editor->txtMinutos2->setText(minutes);
        editor->txtPesos2->setText(pesos);
        QTest::mouseClick(editor->cmdGuardar, Qt::LeftButton);
        QCOMPARE(t.messages.messages.size(), 1);
        QVERIFY2(t.messages.messages[0].startsWith(complaint), qPrintable(t.messages.messages[0]));
        QVERIFY(editor->isVisible());
        QVERIFY(editor->database && editor->database->isOpen());
        QCOMPARE(storedRate(t.databasePath()), (QPair<qlonglong, double>(30, 10.0)));
        // Corrected, it saves.
        editor->txtMinutos2->setText(QStringLiteral("45"));
        editor->txtPesos2->setText(QStringLiteral("7,25"));
        editor->cmdGuardar_Click();
        QCOMPARE(storedRate(t.databasePath()), (QPair<qlonglong, double>(45, 7.25)));
    }

    void checkKeepsTheNumbers() {
        const auto check = rate::checkNewRate(QStringLiteral("1365"), QStringLiteral("0,1"));
        QVERIFY(check.rate);
        QCOMPARE(check.rate->minutes, qint16(1365));
        QCOMPARE(check.rate->pesos, 0.1);
        QVERIFY(check.problem.isEmpty());
    }

    void leavingStoresNothing_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Salir") << false;
        QTest::newRow("title-bar close box") << true;
    }

    void leavingStoresNothing() {
        QFETCH(bool, closeBox);
        testing::TestPlatform t;
        formLudomat2 main(t.platform);
        QPointer<frmTarifa> editor = openEditor(main);
        editor->txtPesos1->setText(QStringLiteral("99"));
        editor->txtMinutos1->setText(QStringLiteral("99"));
        editor->txtPesos2->setText(QStringLiteral("3"));
        editor->txtMinutos2->setText(QStringLiteral("15"));
        if (closeBox) {
            QVERIFY(editor->close());
        } else {
            QTest::mouseClick(editor->cmdSalir, Qt::LeftButton);
        }
        QTRY_VERIFY(!editor);
        QVERIFY(t.messages.messages.isEmpty());
        QCOMPARE(storedRate(t.databasePath()), (QPair<qlonglong, double>(30, 10.0)));
    }

    // The running program keeps charging what it read at start-up.
    void savedRateWaitsForTheNextStart() {
        testing::TestPlatform t;
        formLudomat2 main(t.platform);
        QVERIFY(main.Form_Load());
        main.setEnabled(true);
        frmTarifa *editor = openEditor(main);
        QVERIFY(editor);
        editor->txtMinutos2->setText(QStringLiteral("15"));
        editor->txtPesos2->setText(QStringLiteral("3"));
        editor->cmdGuardar_Click();
        QCOMPARE(storedRate(t.databasePath()), (QPair<qlonglong, double>(15, 3.0)));
        QCOMPARE(main.rate.Minutos, qint16(30));
        QCOMPARE(main.rate.Pesos, 10.0);

        formLudomat2 restarted(t.platform);
        QVERIFY(restarted.Form_Load());
        QCOMPARE(restarted.rate.Minutos, qint16(15));
        QCOMPARE(restarted.rate.Pesos, 3.0);
    }
};

QTEST_MAIN(RateTest)
#include "tst_rate.moc"
