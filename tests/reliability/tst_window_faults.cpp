// The windows under a failing disk: a rental recorded by a station, a cash-close run and a
// new account are each tried with every one of their writes and syncs failing in turn. The
// window must say so, the file must stay sound with all of the change or none of it, the
// window must look as it did before, and the same action must succeed once the disk is well.
#include "FaultVfs.h"
#include "SqliteFile.h"
#include "TestSupport.h"
#include "accounts/Session.h"
#include "ui/formCaja.h"
#include "ui/formLudomat2.h"
#include "ui/formUsuario.h"

#include <QtTest>
#include <QtWidgets>
#include <climits>
#include <functional>

namespace {

// The program on a fresh program folder, the accounts window open.
struct Shop : testing::Shop {
    QStringList contents() const { return rows("Alquiler") + rows("Caja") + rows("Usuarios") + rows("Tarifa"); }
};

// What the operator sees of a window: every control's text, value, check and whether it can be used.
// Without the cash close's results, which a failed run clears on purpose.
QStringList shown(const QWidget *window, bool results = true) {
    static const QStringList resultNames{"txtTotal",   "txtTotalUsuario", "dgLudomat",
                                         "trvResumen", "lblRegistro",     "grdTurnos"};
    // A result and everything inside it (a list's scroll bars come and go with its columns).
    const auto inResult = [&](const QWidget *w) {
        for (; w && w != window; w = w->parentWidget()) {
            if (resultNames.contains(w->objectName())) {
                return true;
            }
        }
        return false;
    };
    QStringList out;
    for (const QWidget *w : window->findChildren<QWidget *>()) {
        if (!results && inResult(w)) {
            continue;
        }
        if (w->objectName() == QLatin1String("lblRegistro")) {
            continue; // the journal's last hash: it hashes the folder of each copy of the books
        }
        out << w->objectName() + QString::number(w->isEnabled()) + QString::number(w->isVisibleTo(window));
        for (const char *property : {"text", "value", "checked", "currentText", "count"}) {
            out << w->property(property).toString();
        }
        if (auto *view = qobject_cast<const QAbstractItemView *>(w); view && view->model()) {
            out << QString::number(view->model()->rowCount());
        }
    }
    return out;
}

struct Scenario {
    const char *name;
    std::function<void(Shop &)> prepare; // everything before the action under test
    std::function<void(Shop &)> act;
    std::function<QWidget *(Shop &)> window; // where the operator acted
    const char *failureText;                 // how the window's message begins
    const char *successText = nullptr;       // what it says when all went well, if anything
};

const Scenario scenarios[] = {
    {"prepaid opening",
     [](Shop &s) {
         testing::signIn(*s.desk);
         QTest::mouseClick(testing::control<QRadioButton>(s.main, "optModo", 0), Qt::LeftButton); // Prepago, one block
     },
     [](Shop &s) { testing::press(*s.desk, 0); }, [](Shop &s) -> QWidget * { return s.main; },
     "No se pudo registrar el alquiler del Puesto 1"},
    {"cash close",
     [](Shop &s) {
         s.rent(1, "Admin", "09:15:00", "5");
         s.rent(2, "Ana", "11:40:00", "7.5");
         testing::signIn(*s.desk);
         QTest::mouseClick(testing::control<QPushButton>(s.main, "cmdCierreCaja"), Qt::LeftButton);
         QVERIFY(
             testing::runCashClose(s.desk->cashCloseWindow())); // the earlier run, whose rows the failing one must keep
         s.rent(3, "Admin", "13:05:00", "10");
         s.rent(4, "Ana", "07:00:00", "2");
     },
     [](Shop &s) { QVERIFY(testing::runCashClose(s.desk->cashCloseWindow())); },
     [](Shop &s) -> QWidget * { return s.desk->cashCloseWindow(); }, "No se pudo hacer el cierre de caja"},
    {"account insert",
     [](Shop &s) {
         formUsuario &u = *s.desk->accountsWindow();
         auto *secret = u.findChild<QLineEdit *>("maskContraseña");
         secret->setText(QStringLiteral("admin")); // Admin is the first entry
         QTest::mouseClick(u.findChild<QPushButton *>("cmdAgregar"), Qt::LeftButton);
         QTest::keyClicks(u.findChild<QLineEdit *>("txtUsuario"), QStringLiteral("Operador"));
         QTest::keyClicks(secret, QStringLiteral("clave-1"));
     },
     [](Shop &s) {
         QTest::mouseClick(testing::control<QPushButton>(s.desk->accountsWindow(), "cmdGuardar"), Qt::LeftButton);
         QVERIFY(testing::answerPassword(s.desk->accountsWindow(), {}, QStringLiteral("clave-1")));
         QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the dialog goes
     },
     [](Shop &s) -> QWidget * { return s.desk->accountsWindow(); }, "No se pudo guardar la cuenta Operador",
     "La cuenta Operador fue creada. En su primer ingreso se le pedirá una contraseña propia."},
};

} // namespace

class WindowFaultsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QLocale::setDefault(QLocale::c());
        faultvfs::install();
    }
    void cleanupTestCase() { faultvfs::uninstall(); }
    void cleanup() { faultvfs::disarm(); }

    // A failing write reads as a full disk, a failing sync as an I/O error.
    void everyFaultIsReportedAndChangesNothing_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("target");
        for (int i = 0; i < int(std::size(scenarios)); ++i) {
            QTest::addRow("%s write", scenarios[i].name) << i << int(faultvfs::Target::Write);
            QTest::addRow("%s sync", scenarios[i].name) << i << int(faultvfs::Target::Sync);
        }
    }

    void everyFaultIsReportedAndChangesNothing() {
        QFETCH(int, index);
        QFETCH(int, target);
        const auto t = static_cast<faultvfs::Target>(target);
        const auto fault = t == faultvfs::Target::Write ? faultvfs::Fault::DiskFull : faultvfs::Fault::IoError;
        const Scenario &sc = scenarios[index];

        // Call 0 is the action on a sound disk: how many writes or syncs it makes, and what it leaves.
        QStringList stored, shownAfter;
        for (int n = 0, calls = 0; n <= calls; ++n) {
            const QByteArray where = QStringLiteral("%1 call %2 of %3").arg(sc.name).arg(n).arg(calls).toUtf8();
            Shop s;
            sc.prepare(s);
            const QStringList before = s.contents();
            const QStringList shownBefore = shown(sc.window(s));
            const QStringList inputsBefore = shown(sc.window(s), false);
            faultvfs::arm(t, n > 0 ? n : INT_MAX, fault);
            sc.act(s);
            QVERIFY2(n == 0 || faultvfs::fired(), where.constData());
            calls = n > 0 ? calls : faultvfs::callsSinceArmed(t);
            faultvfs::disarm();
            QStringList &said = s.t.messages.messages;
            const QStringList success = sc.successText ? QStringList{sc.successText} : QStringList{};
            if (n == 0) {
                QVERIFY2(said == success && calls > 0, qPrintable(said.join('\n')));
                shownAfter = shown(sc.window(s));
                QVERIFY2(shownAfter != shownBefore, "the action shows in the window");
                s.close();
                QVERIFY((stored = s.contents()) != before);
                continue;
            }
            // A disk that fails on the copy of the books made after a cash close: the run stands
            // and the operator is told the copy was not made.
            const bool copyFailed = said.size() == 1 && said[0].startsWith(QStringLiteral("No se hizo la copia"));
            if (said != success && !copyFailed) { // else it returned quietly: then it is all there
                QVERIFY2(said.size() == 1 && said[0].startsWith(QString::fromUtf8(sc.failureText)),
                         qPrintable(where + ": " + said[0]));
                QVERIFY2(shown(sc.window(s), false) == inputsBefore && s.contents() == before, where.constData());
                said.clear(); // the window is still usable: once the disk is well the same action succeeds
                sc.act(s);
                QVERIFY2(said == success, qPrintable(said.join('\n')));
            }
            QVERIFY2(shown(sc.window(s)) == shownAfter, where.constData());
            s.close();
            QVERIFY2(s.contents() == stored, where.constData());
            QVERIFY2(integrityCheck(s.t.databasePath()) == QStringLiteral("ok"), where.constData());
        }
    }
};

QTEST_MAIN(WindowFaultsTest)
#include "tst_window_faults.moc"
