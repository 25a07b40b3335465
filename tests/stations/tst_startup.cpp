// Start-up of the main window: the delivered database read, five idle stations, the load date.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "stations/StationBoard.h"
#include "ui/formLudomat2.h"
#include "ui/formUsuario.h"
#include "ui/frmTarifa.h"

#include <QtTest>
#include <QtWidgets>

class StartupTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fiveIdleStationsAfterLoad() {
        testing::TestPlatform t;
        formLudomat2 w(t.platform);
        QVERIFY(w.Form_Load()); // silently: the "largest that fits" row below
        QCOMPARE(QString::number(w.board().rate().Minutos) + u' ' + QString::number(w.board().rate().cents),
                 QStringLiteral("30 1000"));
        QVERIFY(w.Timer1->isActive() && w.Timer1->interval() == 1000);
        for (size_t s = 0; s < 5; ++s) {
            QCOMPARE(w.cmdPuesto[s]->text(), QStringLiteral("Habilitar Puesto &%1").arg(s + 1));
            QVERIFY(w.optModo[2 * s + 1]->isChecked() && !w.vsTiempo[s]->isEnabled() && w.vsTiempo[s]->value() == 1);
            for (QLineEdit *box : {w.txtHora[s], w.txtMinuto[s], w.txtSegundo[s], w.txtPesos[s]})
                QVERIFY(box->text() == QStringLiteral("0") && !box->isEnabled());
            const stations::Station &station = w.board().station(static_cast<int>(s));
            QVERIFY(!station.running && station.mode == stations::StationMode::Contador);
        }
        // Signed in (the delivered password replaced), Salir notes the end through the window's handle,
        // closes it and ends the program.
        w.usuarioWindow->findChild<QLineEdit *>("maskContraseña")->setText(QStringLiteral("admin"));
        QTest::mouseClick(w.usuarioWindow->findChild<QPushButton *>("cmdAceptar"), Qt::LeftButton);
        QVERIFY(testing::answerPassword(w.usuarioWindow, QStringLiteral("clave-nueva"), QStringLiteral("clave-nueva")));
        QVERIFY(w.isEnabled());
        QTest::mouseClick(w.cmdSalir, Qt::LeftButton);
        QVERIFY(t.ender.calls == 1 && !w.board().store()->isOpen());
        QCOMPARE(testing::journal(t.databasePath(), "Usuario, Evento").constLast(),
                 QStringLiteral("Admin|") + journal::event::kProgramEnded);
    }

    // Salir keeps the time of a station left open in its row, in the transaction of the program's
    // end; a journal that takes nothing (another program's trigger refuses the entry) keeps it too.
    void salirKeepsTheOpenStationsTime_data() {
        QTest::addColumn<bool>("journalRefuses");
        QTest::newRow("the journal takes the end") << false;
        QTest::newRow("the journal refuses it") << true;
    }

    void salirKeepsTheOpenStationsTime() {
        QFETCH(bool, journalRefuses);
        testing::Shop shop;
        formLudomat2 &w = *shop.main;
        const QString path = shop.t.databasePath();
        testing::signIn(w);
        QTest::mouseClick(w.cmdPuesto[1], Qt::LeftButton);
        if (journalRefuses) {
            QCOMPARE(execRaw(path, "CREATE TRIGGER sin_fin BEFORE INSERT ON Registro WHEN NEW.Evento = "
                                   "'Programa terminado' BEGIN SELECT RAISE(ABORT, 'no'); END"),
                     SQLITE_OK);
        }
        shop.t.clock.advance(25); // less than the minute's refresh
        QTest::mouseClick(w.cmdSalir, Qt::LeftButton);
        QCOMPARE(shop.t.ender.calls, 1);
        QCOMPARE(testing::journal(path, "Evento").constLast() == journal::event::kProgramEnded, !journalRefuses);
        QCOMPARE(readOnlyRows(path, "SELECT Puesto, Transcurrido, Visto FROM PuestosAbiertos"),
                 QStringList{QStringLiteral("2|25|") + shop.t.clock.now.toUTC().toString(Qt::ISODate)});
    }

    // The window that holds the main window disabled is never lost: activating the main window
    // brings it back; while an account is being added no close ends the program; a change of
    // user first closes the rate window the last operator left open.
    void holdersOfTheMainWindow() {
        testing::TestPlatform t;
        formLudomat2 w(t.platform);
        QVERIFY(w.Form_Load());
        w.show();
        QPointer<formUsuario> accounts = w.usuarioWindow;
        accounts->hide();
        QApplication::setActiveWindow(&w);
        QTRY_VERIFY(accounts->isVisible());

        accounts->findChild<QLineEdit *>("maskContraseña")->setText(QStringLiteral("admin"));
        QTest::mouseClick(accounts->findChild<QPushButton *>("cmdAgregar"), Qt::LeftButton);
        QVERIFY(!w.close() && t.ender.calls == 0);
        QTest::mouseClick(accounts->findChild<QPushButton *>("cmdCancelar"), Qt::LeftButton);

        delete accounts.data();
        testing::signIn(w);
        QTest::mouseClick(w.cmdTarifa, Qt::LeftButton);
        QPointer<QWidget> rate = w.tarifaWindow.data();
        QTest::mouseClick(w.cmdUsuario, Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(rate.isNull() && !w.isEnabled());
        delete w.usuarioWindow.data();
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
        formLudomat2 w(t.platform);
        QCOMPARE(w.Form_Load(), named.isEmpty());
        QCOMPARE(t.messages.messages.size(), named.isEmpty() ? 0 : 1);
        const QString shown = t.messages.messages.value(0);
        QVERIFY2(shown.contains(named) && shown.contains(update.isEmpty() ? t.databasePath() : named),
                 qPrintable(shown));
        QCOMPARE(QFile::exists(t.databasePath()), !update.isEmpty());
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
