// The hand-over through the real windows the Desk opens: a sign-in asks for the float, the main
// window takes cash in and out, a change of user asks for a blind count; bad input writes
// nothing; a shift left open by a program that was killed is found at the next sign-in.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "data/Journal.h"
#include "shifts/ShiftService.h"
#include "ui/AdministratorPasswordDialog.h"
#include "ui/RoomSettingsDialog.h"
#include "ui/formLudomat2.h"
#include "ui/formUsuario.h"
#include "ui/frmArqueo.h"
#include "ui/frmFondo.h"
#include "ui/frmMovimiento.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <csignal>

using testing::control;

namespace {

// The accounts window's word of a sign-in, the float window left for the test.
void signInOnly(testing::Shop &shop, const QString &who) {
    shop.desk->session().signIn(who, who == QLatin1String("Admin"));
    Q_EMIT shop.desk->accountsWindow()->signedIn();
}

void click(QWidget *window, const char *name) {
    QTest::mouseClick(control<QPushButton>(window, QString::fromLatin1(name)), Qt::LeftButton);
}

QString text(QWidget *window, const char *name) {
    return control<QLabel>(window, QString::fromLatin1(name))->text();
}

frmMovimiento *movementWindow(testing::Shop &shop) {
    return shop.main->findChild<frmMovimiento *>();
}

// The shift events of the journal, as "Usuario|Evento".
QStringList shiftEvents(const QString &path) {
    QStringList out;
    for (const QString &row : testing::journal(path, QStringLiteral("Usuario, Evento"))) {
        if (row.contains(QStringLiteral("|Turno")) || row.contains(QStringLiteral("|Arqueo")) ||
            row.contains(QStringLiteral("|Movimiento de caja")) || row.contains(QStringLiteral("|Nota de turno"))) {
            out << row;
        }
    }
    return out;
}

QStringList shiftTables(testing::Shop &shop) {
    return shop.rows(QStringLiteral("Turnos")) + shop.rows(QStringLiteral("MovimientosCaja")) +
           shop.rows(QStringLiteral("Arqueos"));
}

} // namespace

class HandoverTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void handOver() {
        testing::Shop shop;
        const QString path = shop.t.databasePath();
        QSignalSpy closed(&shop.desk->shifts(), &shifts::ShiftService::shiftClosed);
        signInOnly(shop, QStringLiteral("Juan"));
        frmFondo *fondo = shop.desk->floatWindow();
        QVERIFY(fondo && fondo->isVisible() && !shop.main->isEnabled());
        QVERIFY(control(fondo, "cmdSinTurno")->isHidden()); // an operator always opens a shift
        control<QLineEdit>(fondo, "txtFondo")->setText(QStringLiteral("1000"));
        click(fondo, "cmdAceptar");
        QVERIFY(shop.main->isEnabled());

        // A Contador of 40 minutes: $20. A retiro of $300 from the keyboard.
        testing::press(*shop.desk, 0);
        shop.tick(40 * 60);
        testing::press(*shop.desk, 0);
        shop.main->show();
        shop.main->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), shop.main);
        QTest::keyClick(control(shop.main, "cmdPuesto", 1), Qt::Key_F6);
        frmMovimiento *movement = movementWindow(shop);
        QVERIFY(movement && movement->isVisible());
        QCOMPARE(control<QComboBox>(movement, "cboTipo")->currentText(), QStringLiteral("Retiro"));
        control<QLineEdit>(movement, "txtImporte")->setText(QStringLiteral("300"));
        control<QLineEdit>(movement, "txtMotivo")->setText(QStringLiteral("el dueño"));
        click(movement, "cmdAceptar");
        QTRY_VERIFY(!movementWindow(shop));

        // A change of user asks for the count; leaving it keeps the operator and the shift.
        click(shop.main, "cmdUsuario");
        frmArqueo *count = shop.desk->countWindow();
        QVERIFY(count && count->isVisible() && !shop.desk->accountsWindow());
        click(count, "cmdCancelar");
        QVERIFY(shop.main->isEnabled());
        QCOMPARE(readOnlyRows(path, "SELECT Estado FROM Turnos"), QStringList(QStringLiteral("Abierto")));

        click(shop.main, "cmdUsuario");
        count = shop.desk->countWindow();
        control<QLineEdit>(count, "txtCantidad_50000")->setText(QStringLiteral("1"));
        control<QLineEdit>(count, "txtCantidad_20000")->setText(QStringLiteral("1"));
        QCOMPARE(text(count, "lblTotal"), QStringLiteral("Total contado: $ 700,00"));
        // Blind: what the drawer should hold shows nowhere before the count is stored.
        for (QLabel *label : count->findChildren<QLabel *>()) {
            QVERIFY2(!label->isVisible() || !label->text().contains(QStringLiteral("720")), qPrintable(label->text()));
        }
        click(count, "cmdCerrarTurno");
        QCOMPARE(text(count, "lblEsperado"), QStringLiteral("Esperado: $ 720,00"));
        QCOMPARE(text(count, "lblDiferencia"), QStringLiteral("Faltante: $ 20,00"));
        // The operator is not the administrator: the note takes the administrator's password.
        control<QLineEdit>(count, "txtNota")->setText(QStringLiteral("faltó cambio"));
        click(count, "cmdNota");
        QVERIFY(testing::answerAdministrator(count, QStringLiteral("admin")));
        click(count, "cmdContinuar");
        QVERIFY(shop.desk->accountsWindow() && shop.desk->accountsWindow()->isVisible());

        // What another program reads from the file.
        QCOMPARE(sqliteShell(path, QStringLiteral("SELECT Usuario, Estado, Fondo, Ventas, Retiros, Esperado, Contado, "
                                                  "Diferencia, Nota FROM Turnos")),
                 QStringLiteral("Juan|Cerrado|1000.0|20.0|300.0|720.0|700.0|-20.0|faltó cambio"));
        QCOMPARE(sqliteShell(path, QStringLiteral("SELECT Turno, Numero, Usuario, Contado, Esperado, Diferencia FROM "
                                                  "Arqueos")),
                 QStringLiteral("1|1|Juan|700.0|720.0|-20.0"));
        QCOMPARE(shiftEvents(path), QStringList({"Juan|Turno abierto", "Juan|Movimiento de caja", "Juan|Arqueo",
                                                 "Juan|Turno cerrado", "Admin|Nota de turno"}));
        const QStringList detail =
            testing::journal(path, QStringLiteral("Evento, Detalle")).filter(QStringLiteral("Arqueo|"));
        QVERIFY2(detail.value(0).contains(QStringLiteral("500 x 1; 200 x 1; 100 x 0")) &&
                     detail.value(0).contains(QStringLiteral("diferencia -20")),
                 qPrintable(detail.value(0)));
        QCOMPARE(closed.size(), 1);
        const auto slip = closed.at(0).at(0).value<shifts::Closing>();
        QCOMPARE(readOnlyRows(path, ("SELECT Evento FROM Registro WHERE Secuencia = " +
                                     QByteArray::number(slip.journalSecuencia))
                                        .constData()),
                 QStringList(QStringLiteral("Turno cerrado")));
        const journal::Verification v = journal::verifyFile(path);
        QVERIFY2(v.ok && v.booksAgree(), qPrintable(v.problem));

        // The next operator is offered what the drawer held.
        signInOnly(shop, QStringLiteral("Ana"));
        QCOMPARE(control<QLineEdit>(shop.desk->floatWindow(), "txtFondo")->text(), QStringLiteral("700,00"));
    }

    // Bad input gets its message and writes nothing; the window stays for it to be put right.
    void badInputWritesNothing_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("said");
        QTest::newRow("negative count") << "count"
                                        << "txtCantidad_100000"
                                        << "-1"
                                        << "no es válida";
        QTest::newRow("letters") << "count"
                                 << "txtCantidad_500"
                                 << "tres"
                                 << "no es válida";
        QTest::newRow("a fraction") << "count"
                                    << "txtCantidad_500"
                                    << "2,5"
                                    << "no es válida";
        QTest::newRow("absurd count") << "count"
                                      << "txtCantidad_1000"
                                      << "100001"
                                      << "demasiado grande";
        QTest::newRow("negative float") << "float"
                                        << "txtFondo"
                                        << "-5"
                                        << "no es válido";
        QTest::newRow("absurd float") << "float"
                                      << "txtFondo"
                                      << "20000000"
                                      << "demasiado grande";
        QTest::newRow("no amount") << "Retiro"
                                   << "txtImporte"
                                   << ""
                                   << "no es válido";
        QTest::newRow("zero") << "Ingreso"
                              << "txtImporte"
                              << "0"
                              << "mayor que cero";
        QTest::newRow("absurd amount") << "Ingreso"
                                       << "txtImporte"
                                       << "99999999"
                                       << "demasiado grande";
        QTest::newRow("gasto without a reason") << "Gasto"
                                                << "txtMotivo"
                                                << "   "
                                                << "sin motivo";
    }
    void badInputWritesNothing() {
        QFETCH(QString, window);
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, said);
        testing::Shop shop;
        signInOnly(shop, QStringLiteral("Juan"));
        QWidget *form = shop.desk->floatWindow();
        if (window != QLatin1String("float")) {
            QVERIFY(testing::acceptFloat(*shop.desk, QStringLiteral("100")));
            if (window == QLatin1String("count")) {
                click(shop.main, "cmdUsuario");
                form = shop.desk->countWindow();
            } else {
                Q_EMIT shop.main->cashMovementAsked(*shifts::movementFromText(window));
                form = movementWindow(shop);
                QVERIFY(form);
                control<QLineEdit>(form, "txtImporte")->setText(QStringLiteral("10"));
            }
        }
        const QStringList before = shiftTables(shop);
        shop.said().clear();
        control<QLineEdit>(form, box)->setText(typed);
        click(form, window == QLatin1String("count") ? "cmdCerrarTurno" : "cmdAceptar");
        QCOMPARE(shop.said().size(), 1);
        QVERIFY2(shop.said().at(0).contains(said), qPrintable(shop.said().at(0)));
        QCOMPARE(shiftTables(shop), before);
        QVERIFY(form->isVisible());
    }

    // A retiro larger than the drawer should hold is taken only once the operator has read so.
    void largeRetiroIsSaid() {
        testing::Shop shop;
        signInOnly(shop, QStringLiteral("Juan"));
        QVERIFY(testing::acceptFloat(*shop.desk, QStringLiteral("100")));
        for (const int answer : {1, 0}) {
            Q_EMIT shop.main->cashMovementAsked(shifts::MovementKind::Retiro);
            frmMovimiento *form = movementWindow(shop);
            control<QLineEdit>(form, "txtImporte")->setText(QStringLiteral("150"));
            shop.t.messages.answers = {answer};
            shop.said().clear();
            click(form, "cmdAceptar");
            QVERIFY(
                shop.said().value(0).contains(QStringLiteral("mayor que el efectivo que debería haber en la caja")));
            QCOMPARE(shop.rows(QStringLiteral("MovimientosCaja")).size(), answer == 0 ? 1 : 0);
            if (answer != 0) {
                form->reject();
                QTRY_VERIFY(!movementWindow(shop));
            }
        }
    }

    // The administrator enters without a shift to change settings: the notes and coins saved in the
    // room's window are those the next count lists, a list that is not money is refused whole, and
    // the first sale asks for the float before anything is sold.
    void administratorWithoutShift() {
        testing::Shop shop;
        signInOnly(shop, QStringLiteral("Admin"));
        click(shop.desk->floatWindow(), "cmdSinTurno");
        QVERIFY(shop.main->isEnabled());
        QVERIFY(shop.rows(QStringLiteral("Turnos")).isEmpty());

        Q_EMIT shop.main->roomSettingsAsked(QStringLiteral("Admin"));
        RoomSettingsDialog *room = shop.desk->roomWindow();
        QVERIFY(room);
        for (const QString &typed : {QStringLiteral("100 abc"), QStringLiteral("100 100"), QStringLiteral("-5")}) {
            control<QLineEdit>(room, "txtDenominaciones")->setText(typed);
            shop.said().clear();
            click(room, "cmdGuardar");
            QVERIFY2(shop.said().value(0).startsWith(QStringLiteral("La lista de billetes y monedas")),
                     qPrintable(typed));
            QVERIFY(!room->isUnloading());
        }
        control<QLineEdit>(room, "txtDenominaciones")->setText(QStringLiteral("0,5 100 20"));
        click(room, "cmdGuardar");
        QCOMPARE(shop.desk->shifts().denominations(), QVector<qint64>({10000, 2000, 50}));

        testing::press(*shop.desk, 0);
        QVERIFY(!shop.board().station(0).running);
        QVERIFY(testing::acceptFloat(*shop.desk, QStringLiteral("50")));
        testing::press(*shop.desk, 0);
        QVERIFY(shop.board().station(0).running);
        QCOMPARE(shop.rows(QStringLiteral("Turnos")).size(), 1);

        QTest::mouseClick(control<QPushButton>(shop.main, "cmdUsuario"), Qt::LeftButton);
        frmArqueo *arqueo = shop.desk->countWindow();
        QVERIFY(arqueo);
        QVERIFY(arqueo->findChild<QLineEdit *>(QStringLiteral("txtCantidad_50")));
        QVERIFY(!arqueo->findChild<QLineEdit *>(QStringLiteral("txtCantidad_100000")));
    }

    // A program killed in the middle of a shift: the next sign-in finds the shift. Another
    // operator counts it or the administrator closes it uncounted, and a new shift opens; its own
    // operator may go on with it.
    void killedInTheMiddle_data() {
        QTest::addColumn<QString>("who");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("estado");
        QTest::newRow("counted by the next") << "Ana"
                                             << "count"
                                             << "Cerrado|600.0|620.0";
        QTest::newRow("uncounted by the administrator") << "Admin"
                                                        << "uncounted"
                                                        << "Sin arqueo||620.0";
        QTest::newRow("continued by its operator") << "Juan"
                                                   << "continue"
                                                   << "Abierto||";
    }
    void killedInTheMiddle() {
        QFETCH(QString, who);
        QFETCH(QString, how);
        QFETCH(QString, estado);
        testing::Shop shop;
        shop.close();
        const QString path = shop.t.databasePath();
        QProcess child;
        child.start(QStringLiteral(SHIFT_CHILD), {path, QStringLiteral("Juan")});
        QVERIFY(child.waitForStarted());
        QVERIFY2(child.waitForReadyRead(20000) && child.readAllStandardOutput().contains("ready"),
                 child.readAllStandardError().constData());
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));

        shop.desk = std::make_unique<app::Desk>(shop.t.platform);
        QVERIFY(shop.desk->start());
        shop.main = &shop.desk->mainWindow();
        shop.t.messages.answers = {how == QLatin1String("continue") ? 1 : 0};
        signInOnly(shop, who);
        if (how == QLatin1String("continue")) {
            QVERIFY(!shop.desk->floatWindow() && !shop.desk->countWindow() && shop.main->isEnabled());
        } else {
            frmArqueo *count = shop.desk->countWindow();
            QVERIFY(count && count->isVisible() && !shop.main->isEnabled());
            QVERIFY(text(count, "lblTurno").contains(QStringLiteral("no se cerró")));
            if (how == QLatin1String("count")) {
                QVERIFY(testing::countDrawer(*shop.desk, {{50000, 1}, {10000, 1}}));
            } else {
                click(count, "cmdSinArqueo");
                click(count, "cmdContinuar");
            }
            QVERIFY(testing::acceptFloat(*shop.desk)); // then the new operator's own shift
        }
        QCOMPARE(sqliteShell(path, QStringLiteral("SELECT Estado, Contado, Esperado FROM Turnos WHERE Numero = 1")),
                 estado);
        QCOMPARE(readOnlyRows(path, "SELECT count(*) FROM Turnos WHERE Estado = 'Abierto'"), QStringList("1"));
        if (how == QLatin1String("uncounted")) {
            QVERIFY(shiftEvents(path).contains(QStringLiteral("Admin|Turno sin arqueo")));
        }
    }
};

QTEST_MAIN(HandoverTest)
#include "tst_handover.moc"
