// The windows under a failing disk: a rental recorded by a station, a cash-close run and a
// new account are each tried with every one of their writes and syncs failing in turn. The
// window must say so, the file must stay sound with all of the change or none of it, the
// window must look as it did before, and the same action must succeed once the disk is well.
#include "FaultVfs.h"
#include "Integrity.h"
#include "TestSupport.h"
#include "accounts/formUsuario.h"
#include "cash_close/formCaja.h"
#include "data/Database.h"
#include "data/Statements.h"
#include "rate/frmTarifa.h"
#include "stations/formLudomat2.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <climits>
#include <functional>

namespace {

// A main window on a fresh program folder, Admin signed in, its tick delivered by hand.
struct Shop {
    testing::TestPlatform t;
    std::unique_ptr<formLudomat2> main = std::make_unique<formLudomat2>(t.platform);
    Shop() {
        main->Form_Load();
        main->Timer1->stop();
        main->lblUsuario->setText(QStringLiteral("Admin"));
    }
    // Every window goes, and with them every handle on the file.
    void closeAll() {
        delete main->cajaWindow.data();
        delete main->tarifaWindow.data();
        main.reset();
    }
};

// Every row of a table, in a stable order; password hashes are salted afresh on every run.
QStringList dump(data::Database &db, const QString &table) {
    data::Recordset r = db.openRecordset(QStringLiteral("SELECT * FROM ") + table);
    QStringList rows;
    for (; !r.isEof(); r.moveNext()) {
        QStringList cells;
        for (const QString &column : r.columnNames()) {
            const QVariant v = r.field(column);
            cells << (column.startsWith(QStringLiteral("Contrase")) ? QStringLiteral("<hash>") : v.toString());
        }
        rows << cells.join(QLatin1Char('|'));
    }
    rows.sort();
    return rows;
}

QStringList contents(const QString &path) {
    auto db = data::Database::open(path);
    QStringList all;
    for (const char *table : {"Alquiler", "Caja", "Usuarios", "Tarifa"}) {
        all << QString::fromLatin1(table) << dump(*db, QString::fromLatin1(table));
    }
    db->close();
    return all;
}

QString stationsState(const formLudomat2 &w) {
    QStringList out;
    for (size_t i = 0; i < size_t(stations::kStations); ++i) {
        out << QStringLiteral("%1 run=%2 mode=%3 %4:%5:%6 $%7 opt=%8%9 en=%10%11 v=%12/%13")
                   .arg(w.cmdPuesto[i]->text())
                   .arg(w.station[i].running)
                   .arg(int(w.station[i].mode))
                   .arg(w.txtHora[i]->text(), w.txtMinuto[i]->text(), w.txtSegundo[i]->text(), w.txtPesos[i]->text())
                   .arg(w.optModo[2 * i]->isChecked())
                   .arg(w.optModo[2 * i + 1]->isChecked())
                   .arg(w.optModo[2 * i]->isEnabled())
                   .arg(w.optModo[2 * i + 1]->isEnabled())
                   .arg(w.vsTiempo[i]->value())
                   .arg(w.vsTiempo[i]->isEnabled());
    }
    return out.join(QLatin1Char('\n'));
}

struct Scenario {
    std::function<void(Shop &)> prepare; // everything before the action under test
    std::function<void(Shop &)> act;
    std::function<QString(Shop &)> state; // what the operator sees of the window
    QString failureText;                  // how the window's message begins
};

Scenario prepaidOpening() {
    return {[](Shop &s) {
                delete s.main->usuarioWindow.data();
                s.main->setEnabled(true);
                s.main->optModo[0]->setChecked(true); // Prepago, one block
            },
            [](Shop &s) { s.main->cmdPuesto_Click(0); }, [](Shop &s) { return stationsState(*s.main); },
            QStringLiteral("No se pudo registrar el alquiler del Puesto 1")};
}

Scenario contadorClosing() {
    return {[](Shop &s) {
                delete s.main->usuarioWindow.data();
                s.main->setEnabled(true);
                s.main->optModo[3]->setChecked(true);
                s.main->cmdPuesto_Click(1);
                for (int n = 0; n < 95; ++n) {
                    s.main->Timer1_Timer();
                }
            },
            [](Shop &s) { s.main->cmdPuesto_Click(1); }, [](Shop &s) { return stationsState(*s.main); },
            QStringLiteral("No se pudo registrar el alquiler del Puesto 2")};
}

void rent(const QString &path, int puesto, const QString &usuario, const QString &hora, const QString &importe) {
    auto db = data::Database::open(path);
    db->execute(statements::alquilerInsert(puesto, true, usuario, 5, QStringLiteral("Dec"), 2026, hora,
                                           QStringLiteral("0"), QStringLiteral("40"), importe));
    db->close();
}

Scenario cashClose() {
    return {[](Shop &s) {
                rent(s.t.databasePath(), 1, QStringLiteral("Admin"), QStringLiteral("09:15:00"), QStringLiteral("5"));
                rent(s.t.databasePath(), 2, QStringLiteral("Ana"), QStringLiteral("11:40:00"), QStringLiteral("7.5"));
                s.main->cmdCierreCaja_Click();
                s.main->cajaWindow->cmdProcesar_Click(); // the earlier run, whose rows the failing one must keep
                rent(s.t.databasePath(), 3, QStringLiteral("Admin"), QStringLiteral("13:05:00"), QStringLiteral("10"));
                rent(s.t.databasePath(), 4, QStringLiteral("Ana"), QStringLiteral("07:00:00"), QStringLiteral("2"));
            },
            [](Shop &s) { s.main->cajaWindow->cmdProcesar_Click(); },
            [](Shop &s) {
                const formCaja &c = *s.main->cajaWindow;
                return QStringLiteral("%1 %2 %3 %4 rows=%5 running=%6 enabled=%7")
                    .arg(c.txtTotal->text(), c.txtTotalUsuario->text())
                    .arg(c.totalGeneral)
                    .arg(c.totalUsuario)
                    .arg(c.dgLudomat->model() ? c.dgLudomat->model()->rowCount() : -1)
                    .arg(c.isRunning())
                    .arg(c.cmdProcesar->isEnabled());
            },
            QStringLiteral("No se pudo hacer el cierre de caja")};
}

Scenario accountInsert() {
    return {[](Shop &s) {
                formUsuario &u = *s.main->usuarioWindow;
                u.combUsuario->setCurrentIndex(u.combUsuario->findText(QStringLiteral("Admin")));
                u.maskContrasena->setText(QStringLiteral("admin"));
                u.cmdAgregar_Click();
                QTest::keyClicks(u.txtUsuario, QStringLiteral("Operador"));
                QTest::keyClicks(u.maskContrasena, QStringLiteral("clave"));
            },
            [](Shop &s) { s.main->usuarioWindow->cmdGuardar_Click(); },
            [](Shop &s) {
                const formUsuario &u = *s.main->usuarioWindow;
                QStringList listed;
                for (int i = 0; i < u.combUsuario->count(); ++i) {
                    listed << u.combUsuario->itemText(i);
                }
                return QStringLiteral("mode=%1 name=%2 shown=%3 password=%4 list=%5 guardar=%6")
                    .arg(int(u.mode()))
                    .arg(u.txtUsuario->text())
                    .arg(u.txtUsuario->isVisibleTo(&u))
                    .arg(u.maskContrasena->text(), listed.join(QLatin1Char(',')))
                    .arg(u.cmdGuardar->isEnabled());
            },
            QStringLiteral("No se pudo guardar la cuenta Operador")};
}

Scenario scenario(const QString &name) {
    if (name == QLatin1String("prepaid opening")) {
        return prepaidOpening();
    }
    if (name == QLatin1String("contador closing")) {
        return contadorClosing();
    }
    return name == QLatin1String("cash close") ? cashClose() : accountInsert();
}

} // namespace

class WindowFaultsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QLocale::setDefault(QLocale::c());
        faultvfs::install();
    }
    void cleanupTestCase() {
        qInfo("window fault points tried: %d (%d returned quietly with everything stored)", pointsTried, quietPoints);
        faultvfs::uninstall();
    }
    void cleanup() { faultvfs::disarm(); }

    void everyFaultIsReportedAndChangesNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("target");
        for (const char *name : {"prepaid opening", "contador closing", "cash close", "account insert"}) {
            QTest::addRow("%s write", name) << QString::fromLatin1(name) << int(faultvfs::Target::Write);
            QTest::addRow("%s sync", name) << QString::fromLatin1(name) << int(faultvfs::Target::Sync);
        }
    }

    void everyFaultIsReportedAndChangesNothing() {
        QFETCH(QString, name);
        QFETCH(int, target);
        const auto t = static_cast<faultvfs::Target>(target);
        const Scenario sc = scenario(name);

        // The action on a sound disk: how many writes or syncs it makes, and what it leaves.
        int calls = 0;
        QStringList stored;
        QString shownAfter;
        {
            Shop s;
            sc.prepare(s);
            QVERIFY2(s.t.messages.messages.isEmpty(), qPrintable(s.t.messages.messages.join('\n')));
            faultvfs::arm(t, INT_MAX, faultvfs::Fault::IoError);
            sc.act(s);
            calls = faultvfs::callsSinceArmed(t);
            faultvfs::disarm();
            QVERIFY2(s.t.messages.messages.isEmpty(), qPrintable(s.t.messages.messages.join('\n')));
            shownAfter = sc.state(s);
            s.closeAll();
            stored = contents(s.t.databasePath());
        }
        QVERIFY2(calls > 0, "the action reached the disk through the wrapper");
        qInfo("%s: %d calls, each failing as an I/O error and as a full disk", qPrintable(name), calls);

        for (int n = 1; n <= calls; ++n) {
            for (auto fault : {faultvfs::Fault::IoError, faultvfs::Fault::DiskFull}) {
                const QByteArray where =
                    QStringLiteral("%1 call %2 of %3, fault %4").arg(name).arg(n).arg(calls).arg(int(fault)).toUtf8();
                Shop s;
                sc.prepare(s);
                const QStringList before = contents(s.t.databasePath());
                const QString shownBefore = sc.state(s);
                faultvfs::arm(t, n, fault);
                sc.act(s);
                QVERIFY2(faultvfs::fired(), where.constData());
                faultvfs::disarm();
                const QStringList said = s.t.messages.messages;
                if (said.isEmpty()) {
                    // Returned quietly: then it is all there.
                    ++quietPoints;
                    QVERIFY2(sc.state(s) == shownAfter, where.constData());
                    s.closeAll();
                    QVERIFY2(contents(s.t.databasePath()) == stored, where.constData());
                } else {
                    QVERIFY2(said.size() == 1 && said.first().startsWith(sc.failureText),
                             qPrintable(where + ": " + said.join('\n')));
                    QVERIFY2(sc.state(s) == shownBefore, qPrintable(where + "\n" + sc.state(s) + "\n" + shownBefore));
                    QVERIFY2(contents(s.t.databasePath()) == before, where.constData());
                    // The window is still usable: once the disk is well the same action succeeds.
                    s.t.messages.messages.clear();
                    sc.act(s);
                    QVERIFY2(s.t.messages.messages.isEmpty(), qPrintable(s.t.messages.messages.join('\n')));
                    QVERIFY2(sc.state(s) == shownAfter, where.constData());
                    s.closeAll();
                    QVERIFY2(contents(s.t.databasePath()) == stored, where.constData());
                }
                QVERIFY2(integrityCheck(s.t.databasePath()) == QStringLiteral("ok"), where.constData());
                ++pointsTried;
            }
        }
    }

private:
    int pointsTried = 0;
    int quietPoints = 0;
};

QTEST_MAIN(WindowFaultsTest)
#include "tst_window_faults.moc"
