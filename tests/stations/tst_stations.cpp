// The stations through their real widgets: modes and prepaid time as the boxes show them, the
// last minute's flashing, the end of a prepaid time, the journal of a shift and the keyboard.
// The room's logic without widgets: tst_station_board.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "accounts/Session.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "stations/StationBoard.h"
#include "stations/StationMath.h"
#include "ui/CheckoutDialog.h"
#include "ui/CorrectionDialog.h"
#include "ui/DisplayBox.h"
#include "ui/RoomSettingsDialog.h"
#include "ui/SystemPlatform.h"
#include "ui/formLudomat2.h"
#include "ui/formUsuario.h"
#include "ui/frmTarifa.h"

#include <QtTest>
#include <QtWidgets>

namespace {

using testing::control;

QString timeOf(const QWidget *w, int i) {
    return control<QLineEdit>(w, "txtHora", i)->text() + u':' + control<QLineEdit>(w, "txtMinuto", i)->text() + u':' +
           control<QLineEdit>(w, "txtSegundo", i)->text();
}

// A signed-in main window on a fresh copy of the database, its timer stopped: the tests
// deliver the ticks themselves.
struct Rig : testing::Shop {
    formLudomat2 &w = *main;

    explicit Rig(qint16 minutos = 30, qint64 cents = 500) {
        board().setRate({minutos, cents});
        testing::signIn(*desk);
        w.show();
    }
    QString time(int i) const { return timeOf(&w, i); }
    QLineEdit *box(const char *name, int i) const { return control<QLineEdit>(&w, name, i); }
    QScrollBar *blocks(int i) const { return control<QScrollBar>(&w, "vsTiempo", i); }
    QRadioButton *option(int i, bool prepago) const { return control<QRadioButton>(&w, "optModo", 2 * i + !prepago); }
    QPushButton *button(int i) const { return control<QPushButton>(&w, "cmdPuesto", i); }
    QString pesos(int i) const { return box("txtPesos", i)->text(); }
    void choose(int i, bool prepago) { QTest::mouseClick(option(i, prepago), Qt::LeftButton); }
    void press(int i) {
        QTest::mouseClick(button(i), Qt::LeftButton);
        testing::answerCheckout(&w, "cmdCobrar");
    }
    // Picks item from the next menu that opens.
    static void pick(const QString &item) {
        QTimer::singleShot(0, [item] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction *action : menu->actions())
                if (action->text() == item)
                    action->trigger();
            menu->close();
        });
    }
    // Picks item from the menu a right click on the control (or at a point of the window) opens.
    void menu(const QString &item, QWidget *on, QPoint at = {-1, -1}) {
        pick(item);
        QTest::mouseClick(w.windowHandle(), Qt::RightButton, {}, at.x() >= 0 ? at : on->mapTo(&w, on->rect().center()));
    }
    CheckoutDialog *checkout() const {
        for (CheckoutDialog *d : w.findChildren<CheckoutDialog *>())
            if (d->isVisible())
                return d;
        return nullptr;
    }
    // Every Alquiler row as "Puesto|Modo|Usuario|Fecha|Hora|Tiempo|Importe", sorted.
    QStringList rows() const {
        return testing::tableRows(t.databasePath(), QStringLiteral("Alquiler")).replaceInStrings(".000", "");
    }
    bool idleContador(int s) const {
        const stations::Station &station = board().station(s);
        return button(s)->text() == formLudomat2::idleCaption(board().setup(s).name, s) && !station.running &&
               station.mode == stations::StationMode::Contador && option(s, false)->isChecked() &&
               option(s, true)->isEnabledTo(&w) && !blocks(s)->isEnabledTo(&w) && time(s) == "0:0:0" && pesos(s) == "0";
    }
};

// One real second is a minute of the station's clocks, so the real timer ends a prepaid
// minute in about a second.
class ScaledClock final : public sys::Clock {
public:
    ScaledClock() { real_.start(); }
    QDateTime wallTime() const override {
        return QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9)).addMSecs(monotonicMs());
    }
    qint64 monotonicMs() const override { return real_.elapsed() * 60; }
    QString bootId() const override { return QStringLiteral("scaled-boot"); }

private:
    QElapsedTimer real_;
};

QMessageBox *openMessageBox() {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
            return box;
    return nullptr;
}

const QString kInsert = QStringLiteral("INSERT INTO Alquiler (Puesto,Modo,Usuario,Fecha,Hora,Tiempo,Importe) VALUES ");

} // namespace

class StationsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    // The last minute flashes; two ends on one tick come in station order, the sound file missing,
    // and each station's reset shows after its own message is dismissed.
    void prepaidEnds() {
        Rig r(2, 100);
        QVERIFY(QFile::remove(r.t.platform.alarmPath()));
        for (int i : {3, 1}) {
            r.choose(i, true);
            r.press(i);
        }
        r.press(0); // a Contador neighbour never changes colour
        const QColor start = stations::boxBackground(r.box("txtSegundo", 1));
        r.tick(60);
        QCOMPARE(stations::boxBackground(r.box("txtSegundo", 1)), start);
        for (int left = 59; left >= 0; --left) {
            r.tick();
            for (const char *box : {"txtHora", "txtMinuto", "txtSegundo"})
                QCOMPARE(stations::boxBackground(r.box(box, 1)), left % 2 == 1 ? QColor(Qt::red) : QColor(Qt::white));
            QVERIFY(stations::boxBackground(r.box("txtSegundo", 0)) != QColor(Qt::red));
        }
        QVERIFY(r.t.alarm.played.isEmpty() && r.time(1) == QStringLiteral("0:0:0"));
        r.t.messages.hold = true; // the end of the prepaid time waits for the operator
        r.tick();
        QCOMPARE(r.t.messages.messages, (QStringList{"Finalizó el tiempo del prepago en el Puesto 2.",
                                                     "Finalizó el tiempo del prepago en el Puesto 4."}));
        QCOMPARE(r.t.alarm.played, QStringList(2, r.t.platform.alarmPath()));
        r.tick(3);
        QCOMPARE(r.button(1)->text() + u' ' + r.time(1), QStringLiteral("Cerrar Puesto &2 0:0:0"));
        r.t.messages.dismissNext();
        QVERIFY(r.idleContador(1) && r.w.focusWidget() == r.button(1));
        QCOMPARE(r.button(3)->text(), QStringLiteral("Cerrar Puesto &4"));
        r.t.messages.dismissNext();
        QVERIFY(r.idleContador(3));
    }

    // The real timer and the real message box: a prepaid time ends while a Contador rental runs;
    // its message stays open while the tick goes on and the neighbour keeps counting, and a
    // blocked event loop costs the stations nothing.
    void realTimerCountsBehindTheMessage() {
        testing::TestPlatform t;
        ScaledClock clock;
        ui::MessageBoxPresenter boxes;
        sys::Platform platform{clock, boxes, t.alarm, t.ender, t.files, t.folder.path()};
        app::Desk desk(platform);
        QVERIFY(desk.start());
        testing::signIn(desk);
        formLudomat2 &w = desk.mainWindow();
        w.show();
        desk.board().setRate({1, 100});
        QTest::mouseClick(control<QRadioButton>(&w, "optModo", 0), Qt::LeftButton); // station 1: one prepaid minute
        testing::press(desk, 0);
        testing::press(desk, 1); // station 2 counts up
        const stations::StationBoard &board = desk.board();
        // A box that held the tick would hold this test too: it fails instead of hanging.
        QTimer::singleShot(15000, &w, [] {
            if (QMessageBox *stuck = openMessageBox())
                stuck->done(0);
        });
        QMessageBox *box = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((box = openMessageBox()) != nullptr, 20000);
        QCOMPARE(box->text(), QStringLiteral("Finalizó el tiempo del prepago en el Puesto 1."));
        const qint64 seen = board.station(1).secondsDone;
        QTRY_VERIFY_WITH_TIMEOUT(board.station(1).secondsDone >= seen + 120, 20000);
        QVERIFY(board.station(0).running && timeOf(&w, 0) == QStringLiteral("0:0:0"));

        QThread::msleep(1500); // the event loop really blocked: a minute and a half of station time
        const qint64 due = (clock.monotonicMs() - board.station(1).openedAtMs) / 1000;
        QTRY_VERIFY_WITH_TIMEOUT(board.station(1).secondsDone >= due, 20000);
        const qint64 minutes = board.station(1).secondsDone / 60;
        QCOMPARE(board.station(1).cents, 100 * (1 + minutes)); // every started minute paid

        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        QTRY_VERIFY(!board.station(0).running && control<QPushButton>(&w, "cmdPuesto", 0)->text() ==
                                                     formLudomat2::idleCaption(QStringLiteral("Puesto 1"), 0));
        QVERIFY(board.station(1).running && openMessageBox() == nullptr);
        control<QTimer>(&w, "Timer1")->stop();
    }

    // A shift seen in the journal: each event once, in order, with its values, chained.
    void journalOfAShift() {
        Rig r(1, 250);
        r.press(0);
        r.tick(61);
        r.press(0);
        r.choose(1, true);
        r.press(1);
        r.tick(62); // the prepaid minute ends
        QTest::mouseClick(control<QPushButton>(&r.w, "cmdTarifa"), Qt::LeftButton);
        frmTarifa *rate = r.desk->rateWindow();
        control<QLineEdit>(rate, "txtMinutos2")->setText(QStringLiteral("30"));
        control<QLineEdit>(rate, "txtPesos2")->setText(QStringLiteral("5"));
        QTest::mouseClick(control<QPushButton>(rate, "cmdGuardar"), Qt::LeftButton);
        QVERIFY(testing::answerAdministrator(rate, QStringLiteral("admin")));
        QTest::mouseClick(control<QPushButton>(&r.w, "cmdUsuario"), Qt::LeftButton);
        QVERIFY(testing::countDrawer(*r.desk));
        const journal::Verification v = journal::verify(*data::Database::open(r.t.databasePath()));
        QVERIFY2(v.ok, qPrintable(v.problem));
        QVERIFY2(v.booksChecked && v.booksAgree(), qPrintable(v.differences.value(0).english()));
        QCOMPARE(
            testing::journal(r.t.databasePath(), "Usuario, Evento, Puesto, Detalle").mid(1), // after the books' start
            (QStringList{
                "Admin|Turno abierto||Turno 1; fondo 0",
                "Admin|Puesto abierto|1|Modo=Contador; Tarifa=1 minutos por 2.5; Apertura=2026-12-05T17:05:09Z",
                "Admin|Alquiler registrado|1|Puesto=1; Modo=Contador; Usuario=Admin; Fecha=2026-12-05; "
                "Hora=14:06:10; Tiempo=0:1; Importe=5",
                "Admin|Puesto cerrado|1|Modo=Contador; Tiempo=0:01:01; Importe=5; Apertura=2026-12-05T17:05:09Z",
                "Admin|Alquiler registrado|2|Puesto=2; Modo=Prepago; Usuario=Admin; Fecha=2026-12-05; "
                "Hora=14:06:10; Tiempo=0:1; Importe=2.5",
                "Admin|Puesto abierto|2|Modo=Prepago; Bloques=1; Tarifa=1 minutos por 2.5; "
                "Apertura=2026-12-05T17:06:10Z",
                "Admin|Prepago terminado|2|Apertura=2026-12-05T17:06:10Z",
                "Admin|Tarifa cambiada||Antes: 30 minutos por 10; ahora: 30 minutos por 5",
                "Admin|Arqueo||Turno 1, arqueo 1: 1000 x 0; 500 x 0; 200 x 0; 100 x 0; 50 x 0; 20 x 0; 10 x 0; 5 x 0; "
                "2 x 0; 1 x 0; 0.5 x 0; contado 0; esperado 7.5; diferencia -7.5",
                "Admin|Turno cerrado||Turno 1 de Admin; fondo 0; ventas 7.5; ingresos 0; retiros 0; gastos 0; "
                "esperado 7.5; contado 0; diferencia -7.5",
                "Admin|Cambio de usuario||",
            }));
    }

    // The checkout shows what the close records, taken at the press: a block that starts while
    // the operator reads it is not charged, and its time is the press's. "&Seguir" changes
    // nothing; a rental that ended meanwhile records nothing and says so.
    void checkoutKeepsWhatItShowed() {
        Rig r(60, 1000);
        r.press(0); // Contador opens
        r.tick(3599);
        QTest::mouseClick(r.button(0), Qt::LeftButton);
        QVERIFY(r.checkout());
        QCOMPARE(r.checkout()->findChild<QLabel *>("lblTiempo")->text() + u' ' +
                     r.checkout()->findChild<QLabel *>("lblImporte")->text(),
                 QStringLiteral("0:59:59 $ 10.00"));
        QVERIFY(testing::answerCheckout(&r.w, "cmdSeguir"));
        QVERIFY(r.board().station(0).running && r.rows().isEmpty());
        r.tick(3600);
        QTest::mouseClick(r.button(0), Qt::LeftButton);
        r.tick(2); // the third block starts behind the checkout
        QCOMPARE(r.pesos(0), QStringLiteral("30"));
        QVERIFY(testing::answerCheckout(&r.w, "cmdCobrar"));
        QCOMPARE(r.rows(), QStringList{"1|Contador|Admin|2026-12-05|16:05:08|01:59:00|20"});
        QCOMPARE(testing::journal(r.t.databasePath(), QStringLiteral("Detalle")).last(),
                 QStringLiteral("Modo=Contador; Tiempo=1:59:59; Importe=20; Apertura=2026-12-05T17:05:09Z"));

        // A prepaid hour that ends while its early close is being read.
        QTest::mouseClick(r.option(1, true), Qt::LeftButton);
        r.press(1);
        r.tick(3590);
        QTest::mouseClick(r.button(1), Qt::LeftButton);
        r.t.messages.hold = true; // the end of the prepaid time waits for the operator
        r.tick(15);
        QVERIFY(testing::answerCheckout(&r.w, "cmdCobrar"));
        QVERIFY2(r.said().contains("El Puesto 2 ya no estaba en curso: no se registró nada."),
                 qPrintable(r.said().join(u'|')));
    }

    // Leaving with stations open asks first, from the main window and from the accounts window of
    // a change of user: close and collect them all (each recorded as its checkout would), leave
    // them counting, or stay.
    void leavingWithStationsOpen_data() {
        QTest::addColumn<bool>("fromAccounts");
        QTest::addColumn<int>("answer");
        for (const bool accounts : {false, true}) {
            QTest::addRow("%s, close all", accounts ? "accounts" : "main") << accounts << 0;
            QTest::addRow("%s, leave running", accounts ? "accounts" : "main") << accounts << 1;
            QTest::addRow("%s, cancel", accounts ? "accounts" : "main") << accounts << 2;
        }
    }
    void leavingWithStationsOpen() {
        QFETCH(bool, fromAccounts);
        QFETCH(int, answer);
        Rig r(60, 1000);
        r.press(0);
        QTest::mouseClick(r.option(2, true), Qt::LeftButton);
        r.press(2);
        r.tick(125);
        r.t.messages.answers = {answer};
        if (fromAccounts) {
            QTest::mouseClick(control<QPushButton>(&r.w, "cmdUsuario"), Qt::LeftButton);
            QVERIFY(testing::countDrawer(*r.desk));
            QTRY_VERIFY(r.desk->accountsWindow() && r.desk->accountsWindow()->isVisible());
            QTest::mouseClick(r.desk->accountsWindow()->findChild<QPushButton *>("cmdSalir"), Qt::LeftButton);
        } else {
            QTest::mouseClick(control<QPushButton>(&r.w, "cmdSalir"), Qt::LeftButton);
            if (answer != 2) { // then the shift's count
                QVERIFY(testing::countDrawer(*r.desk));
            }
        }
        QCOMPARE(r.said().value(0),
                 QStringLiteral("Hay 2 puestos en curso.|Cerrar y cobrar todos|Dejar en curso|Cancelar"));
        QCOMPARE(r.t.ender.calls, answer == 2 ? 0 : 1);
        QCOMPARE(r.board().station(0).running && r.board().station(2).running, answer != 0);
        const QStringList open = testing::tableRows(r.t.databasePath(), QStringLiteral("PuestosAbiertos"));
        QCOMPARE(open.size(), answer == 0 ? 0 : 2);
        if (answer == 0) {
            QCOMPARE(r.said().value(1), QStringLiteral("A cobrar:\nPuesto 1: $ 10.00\nTotal: $ 10.00"));
            QCOMPARE(r.rows(), (QStringList{"1|Contador|Admin|2026-12-05|14:07:14|00:02:00|10",
                                            "3|Prepago|Admin|2026-12-05|14:05:09|01:00:00|10"}));
        }
    }

    // A running station's row offers "&Pausar" to a right click, on its display boxes too (they
    // take no input) and to Shift+F10; paused, its digits dim and stand still, and "&Reanudar"
    // takes it on. The room's menu, on the free area, pauses every station. (What a pause does to
    // the time: tst_station_board.)
    void pauseFromTheMenus() {
        Rig r(60, 1000);
        r.press(0);
        r.press(2);
        r.tick(10);
        r.menu(QStringLiteral("&Pausar"), r.box("txtMinuto", 0));
        QTRY_VERIFY(r.board().station(0).paused());
        QCOMPARE(stations::boxTextColor(r.box("txtSegundo", 0)), QColor(128, 128, 160));
        r.w.activateWindow(); // where no window manager hands the keys back after the menu
        QTRY_COMPARE(QApplication::activeWindow(), &r.w);
        r.button(0)->setFocus();
        Rig::pick(QStringLiteral("&Reanudar"));
        QTest::keyClick(r.button(0), Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(!r.board().station(0).paused());
        r.menu(QStringLiteral("Pausar &todos"), &r.w, QPoint(5, r.w.height() - 60));
        QTRY_VERIFY(r.board().station(0).paused() && r.board().station(2).paused());
    }

    // The administrator turns the checkout off from the room's menu: the button then closes at
    // once, as it always had, and the setting outlives the program.
    void checkoutTurnedOff() {
        Rig r(30, 1000);
        r.menu(QStringLiteral("Mostrar el &cobro al cerrar un puesto"), &r.w, QPoint(5, r.w.height() - 60));
        QVERIFY(testing::answerAdministrator(&r.w, QStringLiteral("admin")));
        QTRY_VERIFY(!r.board().confirmsCheckout());
        QTest::mouseClick(r.button(0), Qt::LeftButton);
        r.tick(60);
        QTest::mouseClick(r.button(0), Qt::LeftButton);
        QVERIFY(!r.checkout() && !r.board().station(0).running);
        QCOMPARE(r.rows().size(), 1);
        stations::StationBoard again{r.t.clock, r.desk->session()};
        QVERIFY(again.load(r.t.databasePath()).result == stations::StationBoard::Loaded::Ready &&
                !again.confirmsCheckout());
        QVERIFY(testing::journal(r.t.databasePath(), "Evento, Detalle")
                    .contains("Ajuste del salón|Cobro al cerrar=no; Autorizó=Admin"));
    }

    // The room's window, from the room's menu with the administrator's password: a station added
    // and one renamed are stored and journaled, and the room the stations run with is the file's
    // at the next start, never before. A room the file holds but cannot be used (two stations of
    // one name, written by another program) leaves the delivered five counting, and says why.
    void roomChangedForTheNextStart() {
        Rig r(30, 1000);
        const auto open = [&r] {
            r.menu(QStringLiteral("Configuración del &salón…"), &r.w, QPoint(5, r.w.height() - 60));
            QVERIFY(testing::answerAdministrator(&r.w, QStringLiteral("admin")));
            QTRY_VERIFY(r.desk->roomWindow() && r.desk->roomWindow()->isVisible());
        };
        open();
        // Nobody who signs in next may act through the administrator's window.
        QTest::mouseClick(control<QPushButton>(&r.w, "cmdUsuario"), Qt::LeftButton);
        QVERIFY(testing::countDrawer(*r.desk));
        QTRY_VERIFY(!r.desk->roomWindow());
        testing::signIn(*r.desk);
        open();
        auto *puestos = control<QTableWidget>(r.desk->roomWindow(), "tblPuestos");
        control<QPushButton>(r.desk->roomWindow(), "cmdAgregarPuesto")->click();
        puestos->item(0, 1)->setText(QStringLiteral("PS5 Sala"));
        control<QPushButton>(r.desk->roomWindow(), "cmdGuardar")->click();
        QTRY_VERIFY(!r.desk->roomWindow());
        QVERIFY(r.said().constLast().contains(QStringLiteral("la próxima vez que se inicie")));
        QCOMPARE(r.board().count(), 5);
        QCOMPARE(r.button(0)->text(), QStringLiteral("Habilitar Puesto &1"));
        QVERIFY(testing::journal(r.t.databasePath(), "Usuario, Evento")
                    .contains(QStringLiteral("Admin|Configuración del salón")));

        r.close();
        {
            app::Desk again(r.t.platform);
            QVERIFY(again.start());
            QCOMPARE(again.board().count(), 6);
            QCOMPARE(control<QPushButton>(&again.mainWindow(), "cmdPuesto", 0)->text(),
                     QStringLiteral("Habilitar PS5 Sala"));
            QCOMPARE(control<QPushButton>(&again.mainWindow(), "cmdPuesto", 5)->text(),
                     QStringLiteral("Habilitar Puesto &6"));
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(execRaw(r.t.databasePath(), "UPDATE Puestos SET Nombre = 'PS5 Sala' WHERE Numero = 2"), SQLITE_OK);
        app::Desk third(r.t.platform);
        QVERIFY(third.start());
        QCOMPARE(third.board().count(), 5);
        testing::signIn(third);
        QTRY_VERIFY(r.said().constLast().contains(QStringLiteral("se usan los cinco puestos de siempre")));
        QVERIFY(r.said().constLast().contains(QStringLiteral("PS5 Sala")));
    }

    // Each correction from a running station's menu, in its own window: what it asks for, a wrong
    // administrator's password refused with the window left open, and then the change made.
    // (What each does to the books: tst_station_board.)
    void correctionsFromTheMenu_data() {
        QTest::addColumn<bool>("prepago");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("typed"); // spnCantidad, txtImporte or cboPuesto's choice
        QTest::addColumn<QString>("after"); // station 1 then station 4: "h:m:s amount", or "idle"
        QTest::newRow("blocks") << true << "&Agregar bloques…"
                                << "2"
                                << "1:29:0 30|idle";
        QTest::newRow("courtesy") << true << "Tiempo de &cortesía…"
                                  << "15"
                                  << "0:44:0 10|idle";
        QTest::newRow("discount") << false << "&Descuento…"
                                  << "2,5"
                                  << "0:1:0 10|idle";
        QTest::newRow("move") << false << "&Mover a otro puesto…"
                              << "Puesto 4"
                              << "idle|0:1:0 10";
        QTest::newRow("cancel") << true << "A&nular…"
                                << ""
                                << "idle|idle";
    }

    void correctionsFromTheMenu() {
        QFETCH(bool, prepago);
        QFETCH(QString, item);
        QFETCH(QString, typed);
        QFETCH(QString, after);
        QLocale::setDefault(QLocale(QStringLiteral("es_AR")));
        Rig r(30, 1000);
        r.press(1); // station 2 is busy: the move offers 1, 3, 4 and 5
        if (prepago)
            r.choose(0, true);
        r.press(0);
        r.tick(60);
        r.menu(item, r.box("txtPesos", 0));
        CorrectionDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = r.w.findChild<CorrectionDialog *>()) && dialog->isVisible());
        if (auto *count = dialog->findChild<QSpinBox *>("spnCantidad"))
            count->setValue(typed.toInt());
        if (auto *amount = dialog->findChild<QLineEdit *>("txtImporte"))
            QTest::keyClicks(amount, typed);
        if (auto *to = dialog->findChild<QComboBox *>("cboPuesto")) {
            QCOMPARE(to->count(), 3);
            to->setCurrentText(typed);
        }
        auto *password = dialog->findChild<QLineEdit *>(QStringLiteral("txtContraseña"));
        if (password) {
            dialog->findChild<QLineEdit *>("txtMotivo")->setText(QStringLiteral("la consola se colgó"));
            QTest::keyClicks(password, QStringLiteral("nada"));
            const qsizetype said = r.t.messages.messages.size();
            QTest::mouseClick(dialog->findChild<QPushButton *>("cmdAceptar"), Qt::LeftButton);
            QVERIFY(dialog->isVisible() && password->text().isEmpty() && r.t.messages.messages.size() == said + 1);
            QTest::keyClicks(password, QStringLiteral("admin"));
        }
        QTest::mouseClick(dialog->findChild<QPushButton *>("cmdAceptar"), Qt::LeftButton);
        QTRY_VERIFY(!r.w.findChild<CorrectionDialog *>());
        const auto shown = [&r](int i) {
            return r.board().station(i).running ? r.time(i) + u' ' + r.pesos(i) : QStringLiteral("idle");
        };
        QCOMPARE(shown(0) + u'|' + shown(3), after);
        if (item.startsWith(u"&D")) {
            QTest::mouseClick(r.button(0), Qt::LeftButton);
            QTRY_VERIFY(r.checkout());
            QCOMPARE(r.checkout()->findChild<QLabel *>("lblDescuento")->text(), QStringLiteral("$ 2,50"));
            testing::answerCheckout(&r.w, "cmdCobrar");
            QCOMPARE(r.rows().first().section(u'|', -1), QStringLiteral("7.5"));
        }
    }

    // A Prepago opening and a Contador close by keyboard alone, under a comma locale: the statement
    // drops the clock's fraction of a second, and the early close of the prepaid time writes nothing.
    void keyboardOnlyRental() {
        QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); // loaded in Spanish: the month stays "Dec"
        Rig r(45, 750);
        r.t.clock.now = QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9, 870));
        QApplication::setActiveWindow(&r.w);
        QVERIFY(QTest::qWaitForWindowActive(&r.w));
        r.blocks(0)->setValue(5); // left over from an earlier rental
        r.option(0, false)->setFocus();
        QTest::keyClick(r.option(0, false), Qt::Key_Down); // to "Prepago": one block again
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), r.blocks(0));
        QCOMPARE(r.time(0) + u' ' + r.pesos(0), QStringLiteral("0:45:0 7,5"));
        QTest::keyClick(r.blocks(0), Qt::Key_Down);
        QTest::keyClick(r.blocks(0), Qt::Key_Down);
        QCOMPARE(r.time(0) + u' ' + r.pesos(0), QStringLiteral("2:15:0 22,5"));
        // Tab reaches the scroll bar in the listed order: the option, the scroll bar, the button.
        r.option(0, true)->setFocus();
        QTest::keyClick(r.option(0, true), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), r.blocks(0));
        QTest::keyClick(r.blocks(0), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), r.button(0));
        QTest::keyClick(r.button(0), Qt::Key_Backtab);
        QTest::keyClick(r.blocks(0), Qt::Key_Enter);
        QCOMPARE(QApplication::focusWidget(), r.button(0));
        QTest::keyClick(r.button(0), Qt::Key_Return);
        QCOMPARE(r.board().sqlText(), kInsert + "(1, 'Prepago','Admin',#5/Dec/2026#,#14:05:09#,#2:15#,22.5)");
        QVERIFY(!r.option(0, true)->isEnabled() && !r.option(0, false)->isEnabled() && !r.blocks(0)->isEnabled());
        // The access key presses the button (with its short press animation); the checkout takes
        // Enter for "&Cobrar" and Esc for "&Seguir".
        QTest::keyClick(&r.w, Qt::Key_1, Qt::AltModifier); // closed early
        QTRY_VERIFY(r.checkout());
        QCOMPARE(r.checkout()->findChild<QLabel *>("lblImporte")->text(),
                 QStringLiteral("nada (pagado al habilitarlo: $ 22,50)"));
        QTest::keyClick(r.checkout(), Qt::Key_Return);
        QTRY_VERIFY(r.idleContador(0));
        QTRY_COMPARE(QApplication::activeWindow(), &r.w); // the keys go to the main window again
        QTest::keyClick(&r.w, Qt::Key_5, Qt::AltModifier);
        QTRY_VERIFY(r.board().station(4).running);
        r.tick(61);
        QTest::keyClick(&r.w, Qt::Key_5, Qt::AltModifier);
        QTRY_VERIFY(r.checkout());
        QTest::keyClick(r.checkout(), Qt::Key_Escape); // goes on
        QTRY_VERIFY(!r.checkout());
        QVERIFY(r.board().station(4).running);
        QTRY_COMPARE(QApplication::activeWindow(), &r.w);
        QTest::keyClick(&r.w, Qt::Key_5, Qt::AltModifier);
        QTRY_VERIFY(r.checkout());
        QTest::keyClick(r.checkout(), Qt::Key_Return);
        QTRY_VERIFY(!r.board().station(4).running);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(r.rows(), (QStringList{"1|Prepago|Admin|2026-12-05|14:05:09|02:15:00|22.5",
                                        "5|Contador|Admin|2026-12-05|14:06:10|00:01:00|7.5"}));
    }
};

QTEST_MAIN(StationsTest)
#include "tst_stations.moc"
