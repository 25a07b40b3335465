// The rate editor: the statement it builds, what it refuses, the administrator's password it
// asks for, leaving it, and that the running main window keeps its rate and says so.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "accounts/Session.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "rate/RateService.h"
#include "stations/StationBoard.h"
#include "ui/AdministratorPasswordDialog.h"
#include "ui/formLudomat2.h"
#include "ui/formUsuario.h"
#include "ui/frmTarifa.h"

#include <QtTest>
#include <QtWidgets>

namespace {

using Rate = QPair<qlonglong, double>;
using testing::control;

// The program with the delivered rate (30 minutes for $ 10), signed in, with its rate editor
// opened by the main window's button.
struct Shop : testing::Shop {
    QPointer<frmTarifa> editor;
    Shop() { testing::signIn(*desk); }
    frmTarifa *open() {
        QTest::mouseClick(control<QPushButton>(main, "cmdTarifa"), Qt::LeftButton);
        return editor = desk->rateWindow();
    }
    QLineEdit *box(const char *name) const { return control<QLineEdit>(editor, name); }
    QPushButton *button(const char *name) const { return control<QPushButton>(editor, name); }
    QString inUse() const {
        const QLabel *label = control<QLabel>(editor, "lblEnUso");
        return label->isVisible() ? label->text() : QString();
    }
    void enter(const QString &minutes, const QString &pesos) {
        box("txtMinutos2")->setText(minutes);
        box("txtPesos2")->setText(pesos);
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
        QTest::addColumn<QString>("said"); // the rate in the message
        const struct {
            const char *row, *minutes, *pesos, *statement;
            Rate stored;
            const char *said;
        } table[] = {
            {"point", "30", "5.5", "UPDATE Tarifa SET Minutos = 30,Pesos = 5.5", Rate(30, 5.5),
             "30 minutos por $ 5,50"},
            {"comma", "30", "5,5", "UPDATE Tarifa SET Minutos = 30,Pesos = 5.5", Rate(30, 5.5),
             "30 minutos por $ 5,50"},
            {"blanks, leading zero", " 060 ", " 10 ", "UPDATE Tarifa SET Minutos = 60,Pesos = 10", Rate(60, 10),
             "60 minutos por $ 10,00"},
            {"limits", "1365", "0", "UPDATE Tarifa SET Minutos = 1365,Pesos = 0", Rate(1365, 0),
             "1365 minutos por $ 0,00"},
            {"the rate in force again", "30", "10", "UPDATE Tarifa SET Minutos = 30,Pesos = 10", Rate(30, 10),
             "30 minutos por $ 10,00"},
            {"one minute, two decimals", "1", "999999999,99", "UPDATE Tarifa SET Minutos = 1,Pesos = 999999999.99",
             Rate(1, 999999999.99), "1 minuto por $ 999999999,99"},
        };
        for (const auto &r : table)
            QTest::newRow(r.row) << QString::fromUtf8(r.minutes) << QString::fromUtf8(r.pesos)
                                 << QString::fromUtf8(r.statement) << r.stored << QString::fromUtf8(r.said);
    }

    void saveStoresTheCheckedNumbers() {
        QFETCH(QString, minutes);
        QFETCH(QString, pesos);
        QFETCH(QString, statement);
        QFETCH(Rate, stored);
        QFETCH(QString, said);
        Shop s;
        frmTarifa *e = s.open();
        // The current rate can be neither reached nor typed into: the cursor starts in the new one.
        QVERIFY(s.box("txtMinutos1")->isReadOnly() && s.box("txtPesos1")->focusPolicy() == Qt::NoFocus);
        QCOMPARE(e->focusWidget(), s.box("txtPesos2"));
        QList<rate::NewRate> signalled;
        connect(&s.desk->rates(), &rate::RateService::rateStored, this,
                [&](const rate::NewRate &rate) { signalled << rate; });
        QString sqlAtMessage;
        s.t.messages.onMessage = [&](const QString &) { sqlAtMessage = s.desk->rates().sqlText(); };
        s.enter(minutes, pesos);
        QTest::mouseClick(s.button("cmdGuardar"), Qt::LeftButton);
        QCOMPARE(s.stored(), Rate(30, 10)); // nothing before the administrator's password
        QVERIFY(testing::answerAdministrator(s.editor, QStringLiteral("admin")));
        QCOMPARE(sqlAtMessage, statement);
        QCOMPARE(s.t.messages.messages,
                 QStringList{QStringLiteral("Se guardó la tarifa: %1. Para que los cambios en la tarifa surtan efecto "
                                            "debe cerrar y volver a abrir el Programa.")
                                 .arg(said)});
        QTRY_VERIFY(!s.editor);
        QCOMPARE(s.stored(), stored);
        QVERIFY(signalled.size() == 1 && Rate(signalled[0].minutes, signalled[0].pesos) == stored);
        // The running program keeps charging what it read at start-up.
        QCOMPARE(s.board().rate(), (stations::Rate{30, 1000}));
        // Opened again, the first row shows the saved rate in the regional form.
        s.open();
        QCOMPARE(s.box("txtMinutos1")->text(), QString::number(stored.first));
        QCOMPARE(s.box("txtPesos1")->text(), QString::number(stored.second, 'g', 15).replace(u'.', u','));
        // ... and, below, what is still charged until the restart.
        QCOMPARE(s.inUse(),
                 stored == Rate(30, 10) ? QString() : QStringLiteral("En uso hasta reiniciar: 30 minutos por $ 10,00"));
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
        QTest::mouseClick(s.button("cmdGuardar"), Qt::LeftButton);
        const QString complaint = QString::fromLatin1(pesos == "5" ? "Los minutos" : "El importe");
        QCOMPARE(s.t.messages.messages.size(), 1);
        QVERIFY2(s.t.messages.messages[0].startsWith(complaint), qPrintable(s.t.messages.messages[0]));
        if (!said.isEmpty()) {
            QCOMPARE(s.t.messages.messages[0], said);
        }
        QVERIFY(s.editor->isVisible());
        QCOMPARE(s.stored(), Rate(30, 10));
    }

    // A rate is stored only with the administrator's password, checked through the same count of
    // wrong tries as the sign-in; leaving the question stores nothing and keeps the window.
    void administratorPasswordGuardsTheSave_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("said");
        const QString wrong = QStringLiteral("La contraseña del administrador es incorrecta.");
        const QString wait = QStringLiteral("Demasiadas contraseñas incorrectas para la cuenta Admin. Espere 2 "
                                            "segundos antes de intentar de nuevo.");
        QTest::newRow("Esc") << "Escape" << QStringList();
        QTest::newRow("Cancelar") << "Cancelar" << QStringList();
        QTest::newRow("a wrong password, then Esc") << "wrong" << QStringList{wrong};
        // The sixth try waits, the right password too, and so does the sign-in of the same account.
        QTest::newRow("five wrong ones") << "five wrong" << (QStringList(5, wrong) << wait << wait);
    }

    void administratorPasswordGuardsTheSave() {
        QFETCH(QString, how);
        QFETCH(QStringList, said);
        Shop s;
        s.open();
        s.enter(QStringLiteral("30"), QStringLiteral("5"));
        QTest::mouseClick(s.button("cmdGuardar"), Qt::LeftButton);
        QPointer<AdministratorPasswordDialog> dialog = s.editor->findChild<AdministratorPasswordDialog *>();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->lblMotivo->text(), QStringLiteral("Para guardar la nueva tarifa (30 minutos por $ 5,00) "
                                                           "escriba la contraseña del administrador."));
        if (how == "Cancelar") {
            QTest::mouseClick(dialog->cmdCancelar, Qt::LeftButton);
        } else if (how == "wrong") {
            QVERIFY(testing::answerAdministrator(s.editor, QStringLiteral("clave-mala")));
        } else if (how == "five wrong") {
            for (int i = 0; i < 5; ++i) {
                QVERIFY(testing::answerAdministrator(s.editor, QStringLiteral("clave-mala")));
            }
            QVERIFY(testing::answerAdministrator(s.editor, QStringLiteral("admin")));
        }
        if (how != "Cancelar") { // still asking, the box emptied
            QVERIFY(dialog->isVisible() && dialog->txtContrasena->text().isEmpty());
            QTest::keyClick(dialog, Qt::Key_Escape);
        }
        QTRY_VERIFY(!dialog);
        QVERIFY(s.editor && s.editor->isVisible());
        if (how == "five wrong") { // the next sign-in waits too (a change of user closes the rate window)
            QTest::mouseClick(control<QPushButton>(s.main, "cmdUsuario"), Qt::LeftButton);
            QVERIFY(testing::countDrawer(*s.desk));
            formUsuario *accounts = s.desk->accountsWindow();
            control<QComboBox>(accounts, "combUsuario")->setCurrentText(QStringLiteral("Admin"));
            control<QLineEdit>(accounts, "maskContraseña")->setText(QStringLiteral("admin"));
            QTest::mouseClick(control<QPushButton>(accounts, "cmdAceptar"), Qt::LeftButton);
        }
        QCOMPARE(s.t.messages.messages, said);
        QCOMPARE(s.stored(), Rate(30, 10));
        QVERIFY(!testing::journal(s.t.databasePath(), "Evento").contains(journal::event::kRateChanged));
    }

    // The rate and its journal entry (the old rate and the new) together or not at all: a file that
    // refuses either keeps both as they were, and nothing is signalled. (Both stored, and the
    // entry's text: saveStoresTheCheckedNumbers, tst_stations' journalOfAShift.)
    void storedWithItsEntryOrNotAtAll_data() {
        QTest::addColumn<QString>("refused"); // the statement a trigger refuses
        QTest::newRow("the rate refused") << "UPDATE ON Tarifa";
        QTest::newRow("the entry refused") << "INSERT ON Registro";
    }
    void storedWithItsEntryOrNotAtAll() {
        QFETCH(QString, refused);
        testing::TestPlatform t;
        const QString path = t.databasePath();
        const QByteArray trigger =
            "CREATE TRIGGER no BEFORE " + refused.toUtf8() + " BEGIN SELECT RAISE(ABORT, 'bloqueada'); END";
        QCOMPARE(execRaw(path, trigger.constData()), SQLITE_OK);
        accounts::Session session;
        session.signIn(QStringLiteral("Ana"), false);
        rate::RateService rates(path, t.clock, session);
        QSignalSpy signalled(&rates, &rate::RateService::rateStored);
        const QStringList entries = testing::journal(path, "Usuario, Evento, Detalle");
        const rate::RateService::Result result = rates.store({45, 7.5});
        QVERIFY(!result.stored && signalled.isEmpty());
        QCOMPARE(readOnlyRows(path, "SELECT Minutos, Pesos FROM Tarifa"), QStringList{"30|10.0"});
        QCOMPARE(testing::journal(path, "Usuario, Evento, Detalle"), entries);
        QVERIFY2(result.problem.startsWith("No se pudo guardar la nueva tarifa.") &&
                     result.problem.contains("bloqueada"),
                 qPrintable(result.problem));
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
        QCOMPARE(QStringList({e->windowTitle(), s.box("txtPesos1")->text(), s.box("txtMinutos1")->text(),
                              s.box("txtPesos2")->text(), s.box("txtMinutos2")->text()}),
                 QStringList({"Cambio de Tarifa", "10", "30", "1", "1"}));
        QVERIFY(s.inUse().isEmpty()); // the stored rate is the one charged
        s.enter(QStringLiteral("15"), QStringLiteral("3"));
        if (closeBox) {
            QVERIFY(e->close());
        } else {
            QTest::mouseClick(s.button("cmdSalir"), Qt::LeftButton);
        }
        QTRY_VERIFY(!s.editor);
        QVERIFY(s.t.messages.messages.isEmpty());
        QCOMPARE(s.stored(), Rate(30, 10));
    }
};

QTEST_MAIN(RateTest)
#include "tst_rate.moc"
