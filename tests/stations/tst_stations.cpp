// The stations through their real widgets: modes and prepaid time, the tick, opening and
// closing, the records in Alquiler and the end of a prepaid time.
#include "TestSupport.h"
#include "data/Database.h"
#include "stations/DisplayBox.h"
#include "stations/formLudomat2.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>

namespace {

// A signed-in main window on a fresh copy of the database, its timer stopped: the tests
// deliver the ticks themselves.
struct Rig {
    testing::TestPlatform t;
    formLudomat2 w{t.platform};

    explicit Rig(qint16 minutos = 30, double pesos = 5) {
        if (!w.Form_Load())
            qFatal("the main window does not load");
        w.Timer1->stop();
        w.rate = {minutos, pesos};
        w.lblUsuario->setText(QStringLiteral("Admin"));
        w.setEnabled(true);
        w.show();
    }
    void tick(int times = 1) {
        for (int n = 0; n < times; ++n)
            w.Timer1_Timer();
    }
    QString time(size_t i) const {
        return w.txtHora[i]->text() + u':' + w.txtMinuto[i]->text() + u':' + w.txtSegundo[i]->text();
    }
    QString pesos(size_t i) const { return w.txtPesos[i]->text(); }
    void choose(size_t i, bool prepago) { QTest::mouseClick(w.optModo[2 * i + (prepago ? 0 : 1)], Qt::LeftButton); }
    void press(size_t i) { QTest::mouseClick(w.cmdPuesto[i], Qt::LeftButton); }
    // Every Alquiler row as "Puesto|Modo|Usuario|Fecha|Hora|Tiempo|Importe".
    QStringList rows() const {
        QStringList out;
        for (auto r = data::Database::open(t.databasePath())->openRecordset("SELECT * FROM Alquiler"); !r.isEof();
             r.moveNext()) {
            QStringList cells;
            for (const QString &c : r.columnNames()) {
                const QVariant v = r.field(c);
                cells << (v.typeId() == QMetaType::QTime ? v.toTime().toString("HH:mm:ss") : v.toString());
            }
            out << cells.join(u'|');
        }
        return out;
    }
    bool idleContador(size_t s) const {
        return w.cmdPuesto[s]->text() == formLudomat2::idleCaption(static_cast<int>(s)) && !w.station[s].running &&
               w.station[s].mode == stations::StationMode::Contador && w.optModo[2 * s + 1]->isChecked() &&
               w.optModo[2 * s]->isEnabledTo(&w) && !w.vsTiempo[s]->isEnabledTo(&w) && time(s) == "0:0:0" &&
               pesos(s) == "0";
    }
};

const QString kInsert = QStringLiteral("INSERT INTO Alquiler (Puesto,Modo,Usuario,Fecha,Hora,Tiempo,Importe) VALUES ");

} // namespace

class StationsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void prepaidTable_data() {
        QTest::addColumn<int>("minutos");
        QTest::addColumn<double>("pesos");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<QString>("shown"); // hours:minutes amount
        const struct {
            int minutos;
            double pesos;
            const char *cells[4];
        } table[] = {{60, 10, {"0:60 10", "1:60 20", "2:60 30", "23:60 240"}},
                     {30, 5, {"0:30 5", "1:0 10", "1:30 15", "12:0 120"}},
                     {45, 7.5, {"0:45 7.5", "1:30 15", "2:15 22.5", "18:0 180"}},
                     {90, 12, {"0:90 12", "2:60 24", "3:90 36", "35:60 288"}}};
        const int blocks[] = {1, 2, 3, 24};
        for (const auto &row : table)
            for (int c = 0; c < 4; ++c)
                QTest::addRow("%d for %g, v=%d", row.minutos, row.pesos, blocks[c])
                    << row.minutos << row.pesos << blocks[c] << QString::fromLatin1(row.cells[c]);
    }

    void prepaidTable() {
        QFETCH(int, minutos);
        QFETCH(double, pesos);
        QFETCH(int, blocks);
        QFETCH(QString, shown);
        Rig r(static_cast<qint16>(minutos), pesos);
        r.w.txtSegundo[2]->setText(QStringLiteral("7")); // never touched by the split
        r.w.vsTiempo[2]->setValue(5);                    // left over from an earlier rental
        r.choose(2, true);
        QCOMPARE(r.w.vsTiempo[2]->value(), 1);
        QCOMPARE(r.w.focusWidget(), r.w.vsTiempo[2]);
        r.w.vsTiempo[2]->setValue(blocks);
        QCOMPARE(r.w.txtHora[2]->text() + u':' + r.w.txtMinuto[2]->text() + u' ' + r.pesos(2), shown);
        QCOMPARE(r.w.txtSegundo[2]->text(), QStringLiteral("7"));
        r.choose(2, false); // back to Contador: cleared, the seconds box left alone
        QCOMPARE(r.time(2) + u' ' + r.pesos(2), QStringLiteral("0:0:7 0"));
        QVERIFY(!r.w.vsTiempo[2]->isEnabled() && r.w.station[2].mode == stations::StationMode::Contador);
    }

    void tickBoundaries_data() {
        QTest::addColumn<bool>("prepago");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("after");
        const auto row = [](const char *name, bool prepago, const QString &start, const QString &after) {
            QTest::newRow(name) << prepago << start << after;
        };
        row("up: minute carried", false, "0:0:59", "0:1:0");
        row("up: hour carried", false, "0:59:59", "1:0:0");
        row("up: past a day", false, "24:59:59", "25:0:0");
        row("down: hour borrowed", true, "1:0:0", "0:59:59");
        row("down: minute borrowed", true, "0:1:0", "0:0:59");
        row("down: 60 minutes", true, "0:60:0", "0:59:59");
        row("down: to zero", true, "0:0:1", "0:0:0");
    }

    void tickBoundaries() {
        QFETCH(bool, prepago);
        QFETCH(QString, start);
        QFETCH(QString, after);
        Rig r;
        if (prepago)
            r.choose(3, true);
        const QStringList hms = start.split(u':');
        r.w.txtHora[3]->setText(hms[0]);
        r.w.txtMinuto[3]->setText(hms[1]);
        r.w.txtSegundo[3]->setText(hms[2]);
        r.press(3);
        r.tick();
        QCOMPARE(r.time(3), after);
        QVERIFY(r.w.station[3].running); // 0:0:0 ends only on the next tick
        QVERIFY(r.t.messages.messages.isEmpty());
        QCOMPARE(r.time(0), QStringLiteral("0:0:0")); // an idle station never moves
    }

    // Every started block is paid; the count restarts at each opening, whatever ran before.
    void blockChargeOverAFullRental_data() {
        QTest::addColumn<int>("minutos");
        QTest::addColumn<double>("pesos");
        QTest::addColumn<QStringList>("expected"); // amount after 0, 1799, 1800, 3599, 3600 s
        QTest::newRow("30 for 5") << 30 << 5.0 << QStringList{"5", "5", "10", "10", "15"};
        QTest::newRow("60 for 10, hour carried") << 60 << 10.0 << QStringList{"10", "10", "10", "10", "20"};
        QTest::newRow("free rate") << 0 << 0.0 << QStringList{"0", "0", "0", "0", "0"};
    }

    void blockChargeOverAFullRental() {
        QFETCH(int, minutos);
        QFETCH(double, pesos);
        QFETCH(QStringList, expected);
        Rig r(static_cast<qint16>(minutos), pesos);
        // An earlier, shorter rental leaves no count behind.
        r.press(1);
        r.tick(17 * 60 + 5);
        r.press(1);
        r.press(1);
        QStringList got{r.pesos(1)};
        for (int step : {1799, 1, 1799, 1}) {
            r.tick(step);
            got << r.pesos(1);
        }
        QCOMPARE(got, expected);
        r.press(1);
        QCOMPARE(r.rows().value(1), "2|Contador|Admin|2026-12-05|14:05:09|01:00:00|" + expected.last());
    }

    void lastMinuteFlashes() {
        Rig r(2, 1);
        r.choose(0, true);
        r.press(0);
        r.press(1); // a Contador neighbour never changes colour
        const QColor start = stations::boxBackground(r.w.txtSegundo[0]);
        r.tick(60);
        QCOMPARE(stations::boxBackground(r.w.txtSegundo[0]), start);
        for (int left = 59; left >= 0; --left) {
            r.tick();
            const QColor expected = left % 2 == 1 ? QColor(Qt::red) : QColor(Qt::white);
            for (QLineEdit *box : {r.w.txtHora[0], r.w.txtMinuto[0], r.w.txtSegundo[0]})
                QCOMPARE(stations::boxBackground(box), expected);
        }
        QCOMPARE(r.time(0), QStringLiteral("0:0:0"));
        QVERIFY(stations::boxBackground(r.w.txtSegundo[1]) != QColor(Qt::red));
    }

    void contadorCloseIsRecordedWithTheLoadDate() {
        Rig r(30, 5);
        r.w.lblUsuario->setText(QStringLiteral("O'Brien"));
        r.press(1);
        r.tick(85 * 60 + 45);
        r.t.clock.now = QDateTime(QDate(2026, 12, 6), QTime(0, 10, 33)); // after midnight
        r.press(1);
        QCOMPARE(r.w.sqlText, kInsert + "(2, 'Contador','O''Brien',#5/Dec/2026#,#00:10:33#,#1:25#,15)");
        QCOMPARE(r.rows(), QStringList{"2|Contador|O'Brien|2026-12-05|00:10:33|01:25:00|15"});
        QVERIFY(r.idleContador(1));
        QCOMPARE(r.w.focusWidget(), r.w.cmdPuesto[1]);
    }

    void prepagoOpeningIsRecordedAndEarlyCloseIsNot_data() {
        QTest::addColumn<int>("minutos");
        QTest::addColumn<double>("pesos");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("tail"); // amount shown, end of the statement, end of the row
        QTest::newRow("0 h 60 min is one hour") << 60 << 10.0 << 1 << "C"
                                                << "10 #1:0#,10) 01:00:00|10";
        QTest::newRow("24 blocks, past a day") << 60 << 10.0 << 24 << "C"
                                               << "240 #24:0#,240) 24:00:00|240";
        QTest::newRow("comma locale") << 45 << 7.5 << 1 << "es_AR"
                                      << "7,5 #0:45#,7.5) 00:45:00|7.5";
    }

    void prepagoOpeningIsRecordedAndEarlyCloseIsNot() {
        QFETCH(int, minutos);
        QFETCH(double, pesos);
        QFETCH(int, blocks);
        QFETCH(QString, locale);
        QFETCH(QString, tail);
        const QStringList expected = tail.split(u' ');
        Rig r(static_cast<qint16>(minutos), pesos);
        r.t.clock.now = QDateTime(QDate(2026, 12, 5), QTime(14, 5, 9, 870));
        QLocale::setDefault(QLocale(locale));
        r.choose(3, true);
        r.w.vsTiempo[3]->setValue(blocks);
        r.press(3);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(r.pesos(3), expected[0]);
        QCOMPARE(r.w.sqlText, kInsert + "(4, 'Prepago','Admin',#5/Dec/2026#,#14:05:09#," + expected[1]);
        QCOMPARE(r.rows(), QStringList{"4|Prepago|Admin|2026-12-05|14:05:09|" + expected[2]});
        QCOMPARE(r.w.cmdPuesto[3]->text(), QStringLiteral("Cerrar Puesto &4"));
        QVERIFY(!r.w.optModo[6]->isEnabled() && !r.w.optModo[7]->isEnabled() && !r.w.vsTiempo[3]->isEnabled());
        r.tick(90);
        r.press(3);
        QCOMPARE(r.rows().size(), 1);
        QVERIFY(r.idleContador(3));
    }

    // The message waits for the operator while the ticks go on: the ending station sits them
    // out, the others keep their exact time, and the reset follows the dismissal.
    void prepaidEndWithTheSoundFileMissing() {
        Rig r(1, 2);
        QVERIFY(QFile::remove(r.t.platform.alarmPath()));
        r.choose(4, true);
        r.press(4);
        r.press(0);
        r.tick(60);
        QVERIFY(r.t.alarm.played.isEmpty());
        r.t.messages.onMessage = [&r](const QString &) {
            QVERIFY(r.w.station[4].running);
            r.tick(3);
            r.press(4); // its button waits for the message too
        };
        r.tick();
        QCOMPARE(r.t.messages.messages, QStringList{"Finalizó el tiempo del prepago en el Puesto 5."});
        QCOMPARE(r.t.alarm.played, QStringList{r.t.platform.alarmPath()});
        QVERIFY(r.idleContador(4));
        QCOMPARE(r.time(0), QStringLiteral("0:1:4"));
        QCOMPARE(r.rows().size(), 1); // only the opening
    }

    void twoEndsOnOneTickInStationOrder() {
        Rig r(1, 2);
        for (size_t i : {3u, 1u}) {
            r.choose(i, true);
            r.press(i);
        }
        r.tick(60);
        QStringList seen;
        r.t.messages.onMessage = [&](const QString &text) {
            seen << text + (r.idleContador(1) ? QStringLiteral(" after reset of 2") : QString());
        };
        r.tick();
        QCOMPARE(seen, (QStringList{"Finalizó el tiempo del prepago en el Puesto 2.",
                                    "Finalizó el tiempo del prepago en el Puesto 4. after reset of 2"}));
        QVERIFY(r.idleContador(3));
        QCOMPARE(r.t.alarm.played.size(), 2);
    }

    void rejectedRecordLeavesTheStationAsItWas() {
        Rig r(30, 5);
        r.press(0);
        r.tick(125);
        r.choose(2, true);
        const auto sabotage = [&r](const char *sql) {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("saboteur"));
                db.setDatabaseName(r.t.databasePath());
                QVERIFY(db.open() && QSqlQuery(db).exec(QString::fromLatin1(sql)));
            }
            QSqlDatabase::removeDatabase(QStringLiteral("saboteur"));
        };
        sabotage("CREATE TRIGGER refuse BEFORE INSERT ON Alquiler BEGIN SELECT RAISE(ABORT, 'disco lleno'); END");
        r.press(0);
        r.press(2);
        QCOMPARE(r.t.messages.messages.size(), 2);
        QVERIFY(r.t.messages.messages[0].contains("Puesto 1") && r.t.messages.messages[0].contains("disco lleno"));
        QCOMPARE(r.w.cmdPuesto[0]->text(), QStringLiteral("Cerrar Puesto &1"));
        QVERIFY(r.w.station[0].running && !r.w.optModo[1]->isEnabled());
        QCOMPARE(r.time(0) + u' ' + r.pesos(0), QStringLiteral("0:2:5 5"));
        QCOMPARE(r.w.cmdPuesto[2]->text(), QStringLiteral("Habilitar Puesto &3"));
        QVERIFY(!r.w.station[2].running && r.w.optModo[4]->isEnabled() && r.w.vsTiempo[2]->isEnabled());
        r.tick(28 * 60); // still counting and charging
        sabotage("DROP TRIGGER refuse");
        r.press(0);
        QCOMPARE(r.rows(), QStringList{"1|Contador|Admin|2026-12-05|14:05:09|00:30:00|10"});
    }

    void keyboardOnlyRental() {
        Rig r(30, 5);
        QApplication::setActiveWindow(&r.w);
        QVERIFY(QTest::qWaitForWindowActive(&r.w));
        r.w.optModo[1]->setFocus();
        QTest::keyClick(r.w.optModo[1], Qt::Key_Down); // to "Prepago"
        QVERIFY(r.w.optModo[0]->isChecked());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), r.w.vsTiempo[0]);
        QTest::keyClick(r.w.vsTiempo[0], Qt::Key_Down);
        QTest::keyClick(r.w.vsTiempo[0], Qt::Key_Down);
        QCOMPARE(r.time(0) + u' ' + r.pesos(0), QStringLiteral("1:30:0 15"));
        QTest::keyClick(r.w.vsTiempo[0], Qt::Key_Enter);
        QCOMPARE(QApplication::focusWidget(), r.w.cmdPuesto[0]);
        QTest::keyClick(r.w.cmdPuesto[0], Qt::Key_Return);
        QCOMPARE(r.w.cmdPuesto[0]->text(), QStringLiteral("Cerrar Puesto &1"));
        // The access key presses the button (with its short press animation).
        QTest::keyClick(&r.w, Qt::Key_1, Qt::AltModifier); // closed early
        QTRY_VERIFY(r.idleContador(0));
        QTest::keyClick(&r.w, Qt::Key_5, Qt::AltModifier);
        QTRY_VERIFY(r.w.station[4].running);
        r.tick(61);
        QTest::keyClick(&r.w, Qt::Key_5, Qt::AltModifier);
        QTRY_VERIFY(!r.w.station[4].running);
        QCOMPARE(r.rows(), (QStringList{"1|Prepago|Admin|2026-12-05|14:05:09|01:30:00|15",
                                        "5|Contador|Admin|2026-12-05|14:05:09|00:01:00|5"}));
    }
};

QTEST_MAIN(StationsTest)
#include "tst_stations.moc"
