// Start-up of the main window: the delivered database read, five idle stations, the load date.
#include "TestSupport.h"
#include "accounts/formUsuario.h"
#include "data/Database.h"
#include "stations/formLudomat2.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

class StartupTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fiveIdleStationsAfterLoad() {
        testing::TestPlatform t;
        formLudomat2 w(t.platform);
        QVERIFY(w.Form_Load());
        QVERIFY(t.messages.messages.isEmpty());
        QCOMPARE(w.windowTitle(), QStringLiteral("Zidorodiz Ludomat para Cyber-Café"));
        QCOMPARE(w.rate.Minutos, qint16(30));
        QCOMPARE(w.rate.Pesos, 10.0);
        QVERIFY(w.Timer1->isActive());
        QCOMPARE(w.Timer1->interval(), 1000);
        for (int i = 0; i < 5; ++i) {
            const auto s = static_cast<size_t>(i);
            QCOMPARE(w.cmdPuesto[s]->text(), QStringLiteral("Habilitar Puesto &%1").arg(i + 1));
            QVERIFY(w.optModo[2 * s + 1]->isChecked());
            QVERIFY(!w.optModo[2 * s]->isChecked());
            QCOMPARE(w.optModo[2 * s + 1]->text(), QStringLiteral("Contador"));
            QCOMPARE(w.optModo[2 * s]->text(), QStringLiteral("Prepago"));
            QVERIFY(!w.vsTiempo[s]->isEnabled());
            QCOMPARE(w.vsTiempo[s]->value(), 1);
            QCOMPARE(w.vsTiempo[s]->minimum(), 1);
            QCOMPARE(w.vsTiempo[s]->maximum(), 24);
            for (QLineEdit *box : {w.txtHora[s], w.txtMinuto[s], w.txtSegundo[s], w.txtPesos[s]}) {
                QCOMPARE(box->text(), QStringLiteral("0"));
                QVERIFY(!box->isEnabled());
            }
            QVERIFY(!w.station[s].running);
            QCOMPARE(w.station[s].mode, stations::StationMode::Contador);
            QCOMPARE(w.station[s].blockMinutes, qint16(0));
            // Both options of a station share its frame, and only they do.
            QCOMPARE(w.optModo[2 * s]->parentWidget(), w.optModo[2 * s + 1]->parentWidget());
            QCOMPARE(w.optModo[2 * s]->parentWidget(), static_cast<QWidget *>(w.frames[s]));
            // Rows step 840 twips (56 pixels) down the window.
            QCOMPARE(w.cmdPuesto[s]->geometry(), QRect(424, 40 + 56 * i, 146, 26));
        }
        QCOMPARE(w.frames[0]->objectName(), QStringLiteral("Frame5"));
        QCOMPARE(w.frames[1]->objectName(), QStringLiteral("Frame1"));
        QCOMPARE(w.lblUsuario->text(), QStringLiteral("Usuario"));
        QCOMPARE(w.size(), QSize(583, 349));
    }

    void loadDateIsTakenApartOnce_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("abbrev");
        QTest::newRow("december, spanish") << "es_AR" << QDate(2026, 12, 31) << "Dec";
        QTest::newRow("january, english") << "en_US" << QDate(2027, 1, 1) << "Jan";
        QTest::newRow("may, german") << "de_DE" << QDate(2026, 5, 7) << "May";
        QTest::newRow("august, french") << "fr_FR" << QDate(2026, 8, 15) << "Aug";
    }

    void loadDateIsTakenApartOnce() {
        QFETCH(QString, locale);
        QFETCH(QDate, date);
        QFETCH(QString, abbrev);
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        testing::TestPlatform t;
        t.clock.now = QDateTime(date, QTime(23, 59, 59));
        formLudomat2 w(t.platform);
        QVERIFY(w.Form_Load());
        t.clock.now = t.clock.now.addSecs(2); // past midnight: the run keeps its load date
        QLocale::setDefault(before);
        QCOMPARE(w.startDay, qint16(date.day()));
        QCOMPARE(w.startMonth, qint16(date.month()));
        QCOMPARE(w.startYear, qint16(date.year()));
        QCOMPARE(w.startMonthAbbrev, abbrev);
    }

    void missingDatabaseIsReportedAndNotCreated() {
        testing::TestPlatform t;
        QVERIFY(QFile::remove(t.databasePath()));
        formLudomat2 w(t.platform);
        QVERIFY(!w.Form_Load());
        // The accounts window meets the missing file first; the operator is told once.
        QCOMPARE(t.messages.messages.size(), 1);
        QVERIFY(t.messages.messages.first().contains(t.databasePath()));
        QVERIFY(!QFile::exists(t.databasePath()));
    }

    void unusableRateStopsStartUp_data() {
        QTest::addColumn<QString>("update");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no rate row") << "DELETE FROM Tarifa"
                                     << "Tarifa";
        QTest::newRow("24 blocks overflow 16 bits") << "UPDATE Tarifa SET Minutos = 1366"
                                                    << "1366";
        QTest::newRow("negative minutes") << "UPDATE Tarifa SET Minutos = -5"
                                          << "-5";
        QTest::newRow("negative pesos") << "UPDATE Tarifa SET Pesos = -1"
                                        << "-1";
    }

    void unusableRateStopsStartUp() {
        QFETCH(QString, update);
        QFETCH(QString, expected);
        testing::TestPlatform t;
        data::Database::open(t.databasePath())->execute(update);
        formLudomat2 w(t.platform);
        QVERIFY(!w.Form_Load());
        QCOMPARE(t.messages.messages.size(), 1);
        QVERIFY2(t.messages.messages.first().contains(expected), qPrintable(t.messages.messages.first()));
    }

    void largestRateThatFitsIsAccepted() {
        testing::TestPlatform t;
        data::Database::open(t.databasePath())->execute(QStringLiteral("UPDATE Tarifa SET Minutos = 1365"));
        formLudomat2 w(t.platform);
        QVERIFY(w.Form_Load());
        QCOMPARE(w.rate.Minutos, qint16(1365));
    }

    void salirClosesTheDatabaseAndEnds() {
        testing::TestPlatform t;
        formLudomat2 w(t.platform);
        QVERIFY(w.Form_Load());
        w.usuarioWindow->maskContrasena->setText(QStringLiteral("admin"));
        QTest::mouseClick(w.usuarioWindow->cmdAceptar, Qt::LeftButton);
        QTest::mouseClick(w.cmdSalir, Qt::LeftButton);
        QCOMPARE(t.ender.calls, 1);
        QVERIFY(!w.database->isOpen());
        QVERIFY(t.messages.messages.isEmpty());
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
