// Start-up of the main window: the delivered database read, five idle stations, the load date.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "stations/StationBoard.h"
#include "ui/formCaja.h"
#include "ui/formLudomat2.h"
#include "ui/formUsuario.h"
#include "ui/frmGraficos.h"
#include "ui/frmRegistro.h"
#include "ui/frmTarifa.h"

#include <QtTest>
#include <QtWidgets>

using testing::control;

class StartupTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fiveIdleStationsAfterLoad() {
        testing::TestPlatform t;
        app::Desk desk(t.platform);
        QVERIFY(desk.start()); // silently: the "largest that fits" row below
        const formLudomat2 *w = &desk.mainWindow();
        QCOMPARE(QString::number(desk.board().rate().Minutos) + u' ' + QString::number(desk.board().rate().cents),
                 QStringLiteral("30 1000"));
        const QTimer *tick = control<QTimer>(w, "Timer1");
        QVERIFY(tick->isActive() && tick->interval() == 1000);
        for (int s = 0; s < 5; ++s) {
            QCOMPARE(control<QPushButton>(w, "cmdPuesto", s)->text(),
                     QStringLiteral("Habilitar Puesto &%1").arg(s + 1));
            const QScrollBar *blocks = control<QScrollBar>(w, "vsTiempo", s);
            QVERIFY(control<QRadioButton>(w, "optModo", 2 * s + 1)->isChecked() && !blocks->isEnabled() &&
                    blocks->value() == 1);
            for (const char *box : {"txtHora", "txtMinuto", "txtSegundo", "txtPesos"})
                QVERIFY(control<QLineEdit>(w, box, s)->text() == QStringLiteral("0") &&
                        !control<QLineEdit>(w, box, s)->isEnabled());
            const stations::Station &station = desk.board().station(s);
            QVERIFY(!station.running && station.mode == stations::StationMode::Contador);
        }
    }

    // Salir keeps the time of a station left open in its row, in the transaction of the program's
    // end, notes the end through the room's handle, closes it and ends the program; a journal that
    // takes nothing (another program's trigger refuses the entry) keeps the time too.
    void salirKeepsTheOpenStationsTime_data() {
        QTest::addColumn<bool>("journalRefuses");
        QTest::newRow("the journal takes the end") << false;
        QTest::newRow("the journal refuses it") << true;
    }

    void salirKeepsTheOpenStationsTime() {
        QFETCH(bool, journalRefuses);
        testing::Shop shop;
        const QString path = shop.t.databasePath();
        testing::signIn(*shop.desk);
        testing::press(*shop.desk, 1);
        if (journalRefuses) {
            QCOMPARE(execRaw(path, "CREATE TRIGGER sin_fin BEFORE INSERT ON Registro WHEN NEW.Evento = "
                                   "'Programa terminado' BEGIN SELECT RAISE(ABORT, 'no'); END"),
                     SQLITE_OK);
        }
        shop.t.clock.advance(25);      // less than the minute's refresh
        shop.t.messages.answers = {1}; // "Dejar en curso"
        QTest::mouseClick(control<QPushButton>(shop.main, "cmdSalir"), Qt::LeftButton);
        QVERIFY(testing::countDrawer(*shop.desk));
        QVERIFY(shop.t.ender.calls == 1 && !shop.board().store()->isOpen());
        QCOMPARE(testing::journal(path, "Usuario, Evento").constLast() ==
                     QStringLiteral("Admin|") + journal::event::kProgramEnded,
                 !journalRefuses);
        QCOMPARE(readOnlyRows(path, "SELECT Puesto, Transcurrido, Visto FROM PuestosAbiertos"),
                 QStringList{QStringLiteral("2|25|") + shop.t.clock.now.toUTC().toString(Qt::ISODate)});
    }

    // The window that holds the main window disabled is never lost: activating the main window
    // brings it back; while an account is being added no close ends the program; a change of
    // user first closes the rate window the last operator left open.
    void holdersOfTheMainWindow() {
        testing::Shop shop;
        formLudomat2 &w = *shop.main;
        w.show();
        QPointer<formUsuario> accounts = shop.desk->accountsWindow();
        accounts->hide();
        QApplication::setActiveWindow(&w);
        QTRY_VERIFY(accounts->isVisible());

        control<QLineEdit>(accounts, "maskContraseña")->setText(QStringLiteral("admin"));
        QTest::mouseClick(control<QPushButton>(accounts, "cmdAgregar"), Qt::LeftButton);
        QVERIFY(!w.close() && shop.t.ender.calls == 0);
        QTest::mouseClick(control<QPushButton>(accounts, "cmdCancelar"), Qt::LeftButton);

        testing::signIn(*shop.desk);
        QVERIFY(w.isEnabled() && accounts->isUnloading());
        QTest::mouseClick(control<QPushButton>(&w, "cmdTarifa"), Qt::LeftButton);
        QPointer<QWidget> rate = shop.desk->rateWindow();
        QTest::mouseClick(control<QPushButton>(&w, "cmdUsuario"), Qt::LeftButton);
        QVERIFY(testing::countDrawer(*shop.desk));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(rate.isNull() && accounts.isNull() && shop.desk->accountsWindow()->isVisible() && !w.isEnabled());
    }

    // Every window has one owner: whichever are open go with the program.
    void everyWindowGoesWithTheProgram() {
        auto shop = std::make_unique<testing::Shop>();
        app::Desk &desk = *shop->desk;
        testing::signIn(desk);
        QTest::mouseClick(control<QPushButton>(shop->main, "cmdTarifa"), Qt::LeftButton);
        QTest::mouseClick(control<QPushButton>(shop->main, "cmdCierreCaja"), Qt::LeftButton);
        formCaja *caja = desk.cashCloseWindow();
        QVERIFY(testing::runCashClose(caja));
        for (const char *button : {"cmdRegistro", "cmdGraficos"})
            QTest::mouseClick(control<QPushButton>(caja, button), Qt::LeftButton);
        const QList<QPointer<QWidget>> windows{shop->main, desk.rateWindow(), caja, desk.journalWindow(),
                                               desk.chartsWindow()};
        QVERIFY(!windows.contains(nullptr));
        // The cash close holds the main window; the rate window stays usable beside it.
        QVERIFY(!shop->main->isEnabled() && desk.rateWindow()->isEnabled() && caja->isEnabled());
        shop.reset();
        for (const QPointer<QWidget> &window : windows)
            QVERIFY(window.isNull());
        QCOMPARE(QApplication::topLevelWidgets(), QWidgetList());
    }

    void rateIsCheckedAtStartUp_data() {
        QTest::addColumn<QString>("update"); // empty: the file removed
        QTest::addColumn<QString>("named");  // empty: accepted
        QTest::newRow("missing database") << QString() << "No se encuentra";
        QTest::newRow("no rate row") << "DELETE FROM Tarifa"
                                     << "Tarifa";
        QTest::newRow("24 blocks overflow 16 bits") << "UPDATE Tarifa SET Minutos = 1366"
                                                    << "1366";
        QTest::newRow("largest that fits") << "UPDATE Tarifa SET Minutos = 1365"
                                           << "";
        QTest::newRow("negative minutes") << "UPDATE Tarifa SET Minutos = -5"
                                          << "-5";
        QTest::newRow("negative pesos") << "UPDATE Tarifa SET Pesos = -1"
                                        << "-1";
        // No amount past what the rate editor takes is kept to the cent.
        QTest::newRow("pesos past the editor's limit") << "UPDATE Tarifa SET Pesos = 1000000000000"
                                                       << "1e+12";
    }

    // The missing file is met by the accounts window first; the operator is told once.
    void rateIsCheckedAtStartUp() {
        QFETCH(QString, update);
        QFETCH(QString, named);
        testing::TestPlatform t;
        if (update.isEmpty())
            QVERIFY(QFile::remove(t.databasePath()));
        else
            data::Database::open(t.databasePath())->execute(update);
        app::Desk desk(t.platform);
        QCOMPARE(desk.start(), named.isEmpty());
        QCOMPARE(t.messages.messages.size(), named.isEmpty() ? 0 : 1);
        const QString shown = t.messages.messages.value(0);
        QVERIFY2(shown.contains(named) && shown.contains(update.isEmpty() ? t.databasePath() : named),
                 qPrintable(shown));
        QCOMPARE(QFile::exists(t.databasePath()), !update.isEmpty());
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
