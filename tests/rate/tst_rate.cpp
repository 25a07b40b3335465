// The rate editor: what it shows, the statement it builds, what it refuses, and that the
// running main window keeps its rate.
#include "TestSupport.h"
#include "data/Database.h"
#include "rate/frmTarifa.h"
#include "stations/formLudomat2.h"

#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QtTest>

namespace {

using Rate = QPair<qlonglong, double>;

Rate storedRate(const QString &path) {
    auto rs = data::Database::open(path)->openRecordset(QStringLiteral("SELECT * FROM Tarifa"));
    return {rs.field(QStringLiteral("Minutos")).toLongLong(), rs.field(QStringLiteral("Pesos")).toDouble()};
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

void enterNewRate(frmTarifa *editor, const QString &minutes, const QString &pesos) {
    editor->txtMinutos2->setText(minutes);
    editor->txtPesos2->setText(pesos);
}

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
        const auto row = [](const char *name, const char *minutes, const char *pesos, const char *statement,
                            Rate rate) {
            QTest::newRow(name) << QString::fromLatin1(minutes) << QString::fromLatin1(pesos)
                                << QString::fromLatin1(statement) << rate;
        };
        row("point", "30", "5.5", "UPDATE Tarifa SET Minutos = 30,Pesos = 5.5", {30, 5.5});
        row("regional comma", "30", "5,5", "UPDATE Tarifa SET Minutos = 30,Pesos = 5.5", {30, 5.5});
        row("blanks and a leading zero", " 060 ", " 10 ", "UPDATE Tarifa SET Minutos = 60,Pesos = 10", {60, 10});
        row("limits", "1365", "0", "UPDATE Tarifa SET Minutos = 1365,Pesos = 0", {1365, 0});
    }

    void saveStoresTheCheckedNumbers() {
        QFETCH(QString, minutes);
        QFETCH(QString, pesos);
        QFETCH(QString, statement);
        QFETCH(Rate, stored);
        testing::TestPlatform t;
        formLudomat2 main(t.platform);
        QVERIFY(main.Form_Load());
        main.setEnabled(true);
        QPointer<frmTarifa> editor = openEditor(main);
        QString sqlAtMessage;
        t.messages.onMessage = [&](const QString &) { sqlAtMessage = editor ? editor->sqlText : QString(); };
        editor->txtMinutos1->setText(QStringLiteral("999")); // row 1 is never read back
        enterNewRate(editor, minutes, pesos);
        QTest::mouseClick(editor->cmdGuardar, Qt::LeftButton);
        QCOMPARE(sqlAtMessage, statement);
        QCOMPARE(
            t.messages.messages,
            QStringList{"Para que los cambios en la tarifa surtan efecto debe cerrar y volver a abrir el Programa."});
        QTRY_VERIFY(!editor);
        QCOMPARE(storedRate(t.databasePath()), stored);
        // The running program keeps charging what it read at start-up.
        QCOMPARE(main.rate.Minutos, qint16(30));
        QCOMPARE(main.rate.Pesos, 10.0);
        // Opened again, the first row shows the saved rate in the regional form.
        frmTarifa *again = openEditor(main);
        QCOMPARE(again->txtMinutos1->text(), QString::number(stored.first));
        QCOMPARE(again->txtPesos1->text(), QLocale().toString(stored.second));
        again->cmdSalir_Click();
    }

    void badValuesAreRefused_data() {
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<QString>("pesos");
        QTest::addColumn<QString>("complaint");
        const auto row = [](const char *name, const char *minutes, const char *pesos) {
            QTest::newRow(name) << QString::fromLatin1(minutes) << QString::fromLatin1(pesos)
                                << QString::fromLatin1(name[0] == 'm' ? "Los minutos" : "El importe");
        };
        row("minutes: letters", "abc", "5");
        row("minutes: past 1365", "1366", "5");
        row("minutes: comma fraction", "30,5", "5");
        row("minutes: 16-bit wrap", "65566", "5");
        row("minutes: statement", "30,Pesos = 0", "5");
        row("pesos: negative", "30", "-1");
        row("pesos: overflow", "30", "1e400");
        row("pesos: grouping", "30", "1.000,5");
        row("pesos: statement", "30", "5; DELETE FROM Usuarios");
    }

    void badValuesAreRefused() {
        QFETCH(QString, minutes);
        QFETCH(QString, pesos);
        QFETCH(QString, complaint);
        testing::TestPlatform t;
        formLudomat2 main(t.platform);
        frmTarifa *editor = openEditor(main);
        enterNewRate(editor, minutes, pesos);
        QTest::mouseClick(editor->cmdGuardar, Qt::LeftButton);
        QCOMPARE(t.messages.messages.size(), 1);
        QVERIFY2(t.messages.messages[0].startsWith(complaint), qPrintable(t.messages.messages[0]));
        QVERIFY(editor->isVisible());
        QCOMPARE(storedRate(t.databasePath()), Rate(30, 10));
        // Corrected, it saves.
        enterNewRate(editor, QStringLiteral("45"), QStringLiteral("7,25"));
        editor->cmdGuardar_Click();
        QCOMPARE(storedRate(t.databasePath()), Rate(45, 7.25));
    }

    // Opened, it shows the stored rate; left by "&Salir" or the close box, it stores nothing.
    void opensAndLeavesStoringNothing_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Salir") << false;
        QTest::newRow("title-bar close box") << true;
    }

    void opensAndLeavesStoringNothing() {
        QFETCH(bool, closeBox);
        testing::TestPlatform t;
        formLudomat2 main(t.platform);
        QPointer<frmTarifa> editor = openEditor(main);
        QVERIFY(editor && editor->isVisible());
        QCOMPARE(editor->windowTitle(), QStringLiteral("Cambio de Tarifa"));
        const QStringList boxes{editor->txtPesos1->text(), editor->txtMinutos1->text(), editor->txtPesos2->text(),
                                editor->txtMinutos2->text()};
        QCOMPARE(boxes, QStringList({"10", "30", "1", "1"}));
        // Tab order: the four boxes, then the two buttons.
        QWidget *at = editor->txtPesos1;
        for (QWidget *next : std::initializer_list<QWidget *>{
                 editor->txtMinutos1, editor->txtPesos2, editor->txtMinutos2, editor->cmdGuardar, editor->cmdSalir}) {
            QCOMPARE(at = nextTabStop(at), next);
        }
        // A second press only brings it forward.
        main.cmdTarifa_Click();
        QCOMPARE(main.tarifaWindow.data(), editor.data());

        enterNewRate(editor, QStringLiteral("15"), QStringLiteral("3"));
        if (closeBox) {
            QVERIFY(editor->close());
        } else {
            QTest::mouseClick(editor->cmdSalir, Qt::LeftButton);
        }
        QTRY_VERIFY(!editor);
        QVERIFY(t.messages.messages.isEmpty());
        QCOMPARE(storedRate(t.databasePath()), Rate(30, 10));
    }
};

QTEST_MAIN(RateTest)
#include "tst_rate.moc"
