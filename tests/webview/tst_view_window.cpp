// The owner's view from the program's side: its settings, the window reached as the
// administrator reaches it, and the supervisor keeping `ludomat --serve` running.
#include "TestSupport.h"
#include "data/Database.h"
#include "ui/QrCode.h"
#include "ui/formLudomat2.h"
#include "ui/frmVista.h"
#include "webview/Devices.h"
#include "webview/ViewProcess.h"
#include "webview/ViewSettings.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

#include <csignal>

using testing::control;
using webview::ViewProcess;

class TestViewWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void settingsStored_data();
    void settingsStored();
    void qrCode_data();
    void qrCode();
    void childSupervised();
    void refusedInWindow_data();
    void refusedInWindow();
    void windowRunsTheView();
    void startsWithTheProgram();
};

namespace {

const QString kAdmin = QStringLiteral("Admin");

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::Any, 0);
    return probe.serverPort();
}

// A stand-in for `ludomat --serve`: a shell script, its arguments written to args.txt.
QString script(const QTemporaryDir &dir, const QString &name, const QString &body) {
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(("#!/bin/sh\necho \"$@\" >> " + dir.filePath(QStringLiteral("args.txt")) + "\n" + body + "\n").toUtf8());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QString writeFile(const QTemporaryDir &dir, const QString &name) {
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write("x");
    return f.fileName();
}

qsizetype settingEntries(const QString &databasePath) {
    return testing::journal(databasePath, QStringLiteral("Evento")).count(QStringLiteral("Ajuste del salón"));
}

// The view's window opened from the room's menu, the administrator's password typed.
frmVista *openWindow(testing::Shop &shop) {
    formLudomat2 &w = *shop.main;
    w.show();
    QTimer::singleShot(0, [] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        for (QAction *action : menu ? menu->actions() : QList<QAction *>{}) {
            if (action->text() == QStringLiteral("&Vista del dueño…")) {
                action->trigger();
            }
        }
        if (menu) {
            menu->close();
        }
    });
    QTest::mouseClick(w.windowHandle(), Qt::RightButton, {}, QPoint(5, w.height() - 60));
    if (shop.desk->viewWindow() || !testing::answerAdministrator(&w, QStringLiteral("admin"))) {
        return nullptr; // the window must not open before the password
    }
    if (!QTest::qWaitFor([&] { return shop.desk->viewWindow() && shop.desk->viewWindow()->isVisible(); }, 5000)) {
        return nullptr;
    }
    return shop.desk->viewWindow();
}

// On its box, as the operator clicks it: the check box's middle may be past its caption.
void clickActive(frmVista *window) {
    auto *box = control<QCheckBox>(window, "chkActiva");
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

QImage qrShown(frmVista *window) {
    return control<QLabel>(window, "picQR")->pixmap().toImage();
}

} // namespace

void TestViewWindow::settingsStored_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("certificate"); // "file": a readable one; "relative", "missing"
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("refusal"); // empty: stored and read back the same
    QTest::addColumn<QString>("journalText");
    QTest::newRow("own certificate") << 8443 << ""
                                     << ""
                                     << ""
                                     << "Vista=sí; Puerto=8443; Certificado=propio";
    QTest::newRow("first port") << 1024 << ""
                                << ""
                                << ""
                                << "Puerto=1024;";
    QTest::newRow("last port") << 65535 << ""
                               << ""
                               << ""
                               << "Puerto=65535;";
    QTest::newRow("owner's pair") << 9443 << "file"
                                  << "file"
                                  << ""
                                  << "Certificado=/";
    QTest::newRow("a root's port") << 1023 << ""
                                   << ""
                                   << "de 1024 a 65535"
                                   << "";
    QTest::newRow("no port") << 0 << ""
                             << ""
                             << "de 1024 a 65535"
                             << "";
    QTest::newRow("certificate alone") << 8443 << "file"
                                       << ""
                                       << "los dos archivos"
                                       << "";
    QTest::newRow("key alone") << 8443 << ""
                               << "file"
                               << "los dos archivos"
                               << "";
    QTest::newRow("relative path") << 8443 << "relative"
                                   << "file"
                                   << "ruta completa"
                                   << "";
    QTest::newRow("missing file") << 8443 << "file"
                                  << "missing"
                                  << "No se puede leer"
                                  << "";
}

void TestViewWindow::settingsStored() {
    QFETCH(int, port);
    QFETCH(QString, certificate);
    QFETCH(QString, key);
    QFETCH(QString, refusal);
    QFETCH(QString, journalText);
    testing::TestPlatform t;
    QTemporaryDir files;
    const auto path = [&](const QString &kind, const QString &name) {
        return kind == QLatin1String("file")       ? writeFile(files, name)
               : kind == QLatin1String("relative") ? name
               : kind == QLatin1String("missing")  ? files.filePath(name)
                                                   : QString();
    };
    const webview::ViewSettings typed{true, quint16(port), path(certificate, QStringLiteral("c.pem")),
                                      path(key, QStringLiteral("k.pem"))};
    auto db = data::Database::open(t.databasePath());
    QCOMPARE(webview::readSettings(*db), webview::ViewSettings{}); // off until turned on
    const QString said = webview::saveSettings(*db, typed, kAdmin, t.clock.now);
    QVERIFY2(refusal.isEmpty() ? said.isEmpty() : said.contains(refusal), qPrintable(said));
    // Nothing of a refused setting is stored or journaled.
    QCOMPARE(webview::readSettings(*db) == typed, refusal.isEmpty());
    QCOMPARE(settingEntries(t.databasePath()), refusal.isEmpty() ? 1 : 0);
    if (refusal.isEmpty()) {
        const QString last = testing::journal(t.databasePath(), QStringLiteral("Detalle")).constLast();
        QVERIFY2(last.contains(journalText) && last.endsWith(QStringLiteral("; Autorizó=Admin")), qPrintable(last));
    }
}

void TestViewWindow::qrCode_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("side"); // modules of the version level M needs, with the quiet zone; 0: none
    QTest::newRow("short") << "A" << 21 + 8;
    // The pairing address: 52 bytes are past version 3's 42 at level M.
    QTest::newRow("pairing address") << "https://192.168.100.200:8443/emparejar?codigo=K7QM4XPD" << 33 + 8;
    QTest::newRow("too long for any") << QString(3000, u'x') << 0;
}

void TestViewWindow::qrCode() {
    QFETCH(QString, text);
    QFETCH(int, side);
    const QImage code = ui::qrCode(text);
    QCOMPARE(code.width(), side);
    if (side == 0) {
        return;
    }
    QCOMPARE(code.height(), side);
    const auto dark = [&](int x, int y) { return qGray(code.pixel(x, y)) < 128; };
    for (int i = 0; i < side; ++i) {
        for (int edge = 0; edge < 4; ++edge) { // the quiet zone, all round
            QVERIFY(!dark(i, edge) && !dark(i, side - 1 - edge) && !dark(edge, i) && !dark(side - 1 - edge, i));
        }
    }
    // The three finder patterns: a dark 7x7 ring with a light ring and a dark 3x3 inside.
    for (const QPoint corner : {QPoint(4, 4), QPoint(side - 11, 4), QPoint(4, side - 11)}) {
        QVERIFY(dark(corner.x(), corner.y()) && dark(corner.x() + 6, corner.y() + 6));
        QVERIFY(!dark(corner.x() + 1, corner.y() + 1) && dark(corner.x() + 3, corner.y() + 3));
    }
    QVERIFY(ui::qrCode(text + u'!') != code);
}

void TestViewWindow::childSupervised() {
    QTemporaryDir dir;
    ViewProcess view(QStringLiteral("/datos"));
    QSignalSpy failed(&view, &ViewProcess::failed);
    QSignalSpy running(&view, &ViewProcess::running);

    // A view that cannot listen says why on stderr and ends: said, and retried 1 s, 2 s, 4 s later.
    view.setProgram(script(dir, QStringLiteral("falla"),
                           QStringLiteral("echo aviso >&2; echo 'El puerto 9443 está en uso.' >&2; exit 1")));
    QElapsedTimer clock;
    clock.start();
    QList<qint64> at;
    connect(&view, &ViewProcess::failed, this, [&] { at << clock.elapsed(); });
    view.start({true, 9443, QStringLiteral("/c.pem"), QStringLiteral("/k.pem")});
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 4, 15000);
    QCOMPARE(failed.first().first().toString(), QStringLiteral("El puerto 9443 está en uso."));
    QCOMPARE(view.state(), ViewProcess::State::Waiting);
    QVERIFY2(view.stateText().contains(QStringLiteral("Se vuelve a intentar")), qPrintable(view.stateText()));
    for (int i = 1; i < 4; ++i) {
        const qint64 gap = at[i] - at[i - 1];
        QVERIFY2(gap >= (1000 << (i - 1)) - 100 && gap < (1000 << (i - 1)) + 1500, qPrintable(QString::number(gap)));
    }
    QFile args(dir.filePath(QStringLiteral("args.txt")));
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(args.readLine().trimmed(), "--serve --data-dir /datos --port 9443 --certificate /c.pem --key /k.pem");
    view.stop();
    QCOMPARE(view.state(), ViewProcess::State::Off);
    QTest::qWait(1200);
    QCOMPARE(failed.size(), 4); // no restart once stopped

    // A view that listens, then ignores SIGTERM: stop() returns at once, the kill follows.
    view.setProgram(script(dir, QStringLiteral("sirve"),
                           QStringLiteral("trap '' TERM; echo 'LISTO 9443 AB:CD'; while :; do sleep 0.1; done")));
    view.start({true, 9443, {}, {}});
    QTRY_COMPARE(running.size(), 1);
    QCOMPARE(running.first().at(0).value<quint16>(), quint16(9443));
    QCOMPARE(running.first().at(1).toString(), QStringLiteral("AB:CD"));
    QCOMPARE(view.stateText(), QStringLiteral("En marcha en el puerto 9443."));
    const qint64 pid = view.processId();
    clock.restart();
    view.stop();
    QVERIFY(clock.elapsed() < 200);
    QCOMPARE(view.state(), ViewProcess::State::Stopping);
    QTRY_COMPARE_WITH_TIMEOUT(view.state(), ViewProcess::State::Off, 5000);
    QVERIFY(clock.elapsed() >= 1900);
    QCOMPARE(::kill(pid_t(pid), 0), -1);
    QCOMPARE(failed.size(), 4); // asked to end: no failure said

    // Killed from outside: said, and back after the first delay.
    view.setProgram(script(dir, QStringLiteral("sirve2"), QStringLiteral("echo 'LISTO 9443 AB:CD'; exec sleep 60")));
    view.start({true, 9443, {}, {}});
    QTRY_COMPARE(running.size(), 2);
    ::kill(pid_t(view.processId()), SIGKILL);
    QTRY_COMPARE(failed.size(), 5);
    QCOMPARE(failed.last().first().toString(), QStringLiteral("La vista del dueño se cerró de golpe."));
    QTRY_COMPARE_WITH_TIMEOUT(running.size(), 3, 5000);

    // A program that is not there is said too, and retried.
    view.stop();
    view.setProgram(dir.filePath(QStringLiteral("no-existe")));
    view.start({true, 9443, {}, {}});
    QTRY_COMPARE(failed.size(), 6);
    QVERIFY2(failed.last().first().toString().startsWith(QStringLiteral("No se pudo iniciar la vista del dueño")),
             qPrintable(failed.last().first().toString()));
    QCOMPARE(view.state(), ViewProcess::State::Waiting);
}

void TestViewWindow::refusedInWindow_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("certificateOnly");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("port below 1024") << "443" << false << "de 1024 a 65535";
    QTest::newRow("port past 65535") << "70000" << false << "de 1024 a 65535";
    QTest::newRow("port not a number") << "ocho" << false << "de 1024 a 65535";
    QTest::newRow("certificate without key") << "8443" << true << "los dos archivos";
}

void TestViewWindow::refusedInWindow() {
    QFETCH(QString, port);
    QFETCH(bool, certificateOnly);
    QFETCH(QString, refusal);
    testing::Shop shop;
    testing::signIn(*shop.desk);
    frmVista *window = openWindow(shop);
    QVERIFY(window);
    auto *puerto = control<QLineEdit>(window, "txtPuerto");
    puerto->setText(port);
    if (certificateOnly) {
        QTemporaryDir dir;
        shop.t.files.answer = writeFile(dir, QStringLiteral("c.pem"));
        QTest::mouseClick(control<QRadioButton>(window, "optCertificadoDueno"), Qt::LeftButton, {}, QPoint(8, 8));
        QTest::mouseClick(control<QPushButton>(window, "cmdCertificado"), Qt::LeftButton);
        QCOMPARE(shop.t.files.asked.size(), 1); // through the platform's chooser
        QCOMPARE(control<QLineEdit>(window, "txtCertificado")->text(), shop.t.files.answer);
    }
    const qsizetype before = settingEntries(shop.t.databasePath());
    clickActive(window);
    QVERIFY(!shop.said().isEmpty());
    QVERIFY2(shop.said().last().contains(refusal), qPrintable(shop.said().join(u'\n')));
    QVERIFY(!control<QCheckBox>(window, "chkActiva")->isChecked());
    QCOMPARE(settingEntries(shop.t.databasePath()), before);
    QCOMPARE(webview::readSettings(*shop.board().store()), webview::ViewSettings{});
    QCOMPARE(shop.desk->view().state(), ViewProcess::State::Off);
}

void TestViewWindow::windowRunsTheView() {
    testing::Shop shop;
    testing::signIn(*shop.desk);
    shop.desk->view().setProgram(QStringLiteral(LUDOMAT_EXE));
    frmVista *window = openWindow(shop);
    QVERIFY(window);
    auto *estado = control<QLabel>(window, "lblEstado");
    auto *codigo = control<QLabel>(window, "lblCodigo");
    QVERIFY(estado->text().startsWith(QStringLiteral("Apagada")));
    QVERIFY(!control<QPushButton>(window, "cmdNuevoCodigo")->isEnabled());
    QVERIFY(qrShown(window).isNull());

    // Turned on: stored with its entry, the real view started, a code and its QR shown.
    const quint16 port = freePort();
    control<QLineEdit>(window, "txtPuerto")->setText(QString::number(port));
    clickActive(window);
    const webview::ViewSettings on{true, port, {}, {}};
    QCOMPARE(webview::readSettings(*shop.board().store()), on);
    QVERIFY(testing::journal(shop.t.databasePath(), QStringLiteral("Detalle"))
                .constLast()
                .startsWith(QStringLiteral("Vista=sí; Puerto=%1; Certificado=propio").arg(port)));
    QTRY_COMPARE_WITH_TIMEOUT(estado->text(), QStringLiteral("En marcha en el puerto %1.").arg(port), 20000);
    QTRY_VERIFY(control<QLabel>(window, "lblHuella")
                    ->text()
                    .contains(QRegularExpression(QStringLiteral("([0-9A-F]{2}:){31}[0-9A-F]{2}"))));
    const QString first = codigo->text();
    QCOMPARE(first.size(), 8);
    QVERIFY(window->pairingAddress().endsWith(QStringLiteral(":%1/emparejar?codigo=%2").arg(port).arg(first)));
    const QImage firstQr = qrShown(window);
    QVERIFY(!firstQr.isNull());
    QTest::mouseClick(control<QPushButton>(window, "cmdNuevoCodigo"), Qt::LeftButton);
    QVERIFY(codigo->text() != first && codigo->text().size() == 8);
    QVERIFY(qrShown(window) != firstQr);

    // A phone pairs (the view's side of the file); the list shows it; revoked, it goes.
    webview::DeviceStore phone(QDir(shop.t.platform.where.dataFolder).filePath(webview::kDevicesFileName));
    const QDateTime nowUtc = shop.t.clock.now.toUTC();
    QVERIFY(phone.pair(codigo->text(), QStringLiteral("Teléfono de Ana"), nowUtc));
    auto *grid = control<QTableWidget>(window, "grdDispositivos");
    QTRY_COMPARE(grid->rowCount(), 1);
    QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("Teléfono de Ana"));
    QCOMPARE(codigo->text(), QStringLiteral("Pida un código nuevo")); // used up
    QVERIFY(qrShown(window).isNull());
    grid->selectRow(0);
    shop.t.messages.answers = {0};
    QTest::mouseClick(control<QPushButton>(window, "cmdRevocar"), Qt::LeftButton);
    QVERIFY(phone.devices().isEmpty());
    QCOMPARE(grid->rowCount(), 0);

    // The view killed from outside: said in the window, then running again.
    const qint64 pid = shop.desk->view().processId();
    QVERIFY(pid > 0);
    ::kill(pid_t(pid), SIGKILL);
    QTRY_VERIFY(estado->text().contains(QStringLiteral("se cerró de golpe")));
    QTRY_COMPARE_WITH_TIMEOUT(estado->text(), QStringLiteral("En marcha en el puerto %1.").arg(port), 20000);
    QVERIFY(shop.desk->view().processId() != pid);

    // Another port: stored, and the view started again on it.
    const quint16 other = freePort();
    control<QLineEdit>(window, "txtPuerto")->setText(QString::number(other));
    QTest::mouseClick(control<QPushButton>(window, "cmdGuardar"), Qt::LeftButton);
    QCOMPARE(shop.said().last(), QStringLiteral("Se guardó la vista del dueño."));
    QCOMPARE(webview::readSettings(*shop.board().store()).port, other);
    QTRY_COMPARE_WITH_TIMEOUT(estado->text(), QStringLiteral("En marcha en el puerto %1.").arg(other), 20000);

    // Turning off asks first: left on when the administrator cancels.
    QTest::mouseClick(control<QPushButton>(window, "cmdNuevoCodigo"), Qt::LeftButton);
    QVERIFY(phone.pair(codigo->text(), QStringLiteral("Tableta"), nowUtc));
    const qsizetype entries = settingEntries(shop.t.databasePath());
    shop.t.messages.answers = {1};
    clickActive(window);
    QVERIFY(!shop.said().isEmpty());
    QVERIFY(shop.said().last().startsWith(QStringLiteral("Se revocarán todos los dispositivos emparejados.")));
    QVERIFY(control<QCheckBox>(window, "chkActiva")->isChecked());
    QCOMPARE(settingEntries(shop.t.databasePath()), entries);
    QCOMPARE(phone.devices().size(), 1);
    // Confirmed: stored, every device revoked, the view ended.
    const qint64 child = shop.desk->view().processId();
    shop.t.messages.answers = {0};
    clickActive(window);
    QCOMPARE(webview::readSettings(*shop.board().store()).enabled, false);
    QCOMPARE(settingEntries(shop.t.databasePath()), entries + 1);
    QVERIFY(phone.devices().isEmpty());
    QVERIFY(!phone.pair(codigo->text(), QStringLiteral("Tarde"), nowUtc)); // the code went too
    QTRY_COMPARE_WITH_TIMEOUT(shop.desk->view().state(), ViewProcess::State::Off, 5000);
    QTRY_COMPARE(::kill(pid_t(child), 0), -1);
    QVERIFY(qrShown(window).isNull());
}

void TestViewWindow::startsWithTheProgram() {
    testing::TestPlatform t;
    const quint16 port = freePort();
    {
        auto db = data::Database::open(t.databasePath());
        QCOMPARE(webview::saveSettings(*db, {true, port, {}, {}}, kAdmin, t.clock.now), QString());
    }
    auto desk = std::make_unique<app::Desk>(t.platform);
    desk->view().setProgram(QStringLiteral(LUDOMAT_EXE));
    QVERIFY(desk->start());
    QTRY_COMPARE_WITH_TIMEOUT(desk->view().state(), ViewProcess::State::Running, 20000);
    QCOMPARE(desk->view().port(), port);
    // The program's end takes the view along, without waiting for it to be asked twice.
    const qint64 pid = desk->view().processId();
    desk.reset();
    QCOMPARE(::kill(pid_t(pid), 0), -1);
}

QTEST_MAIN(TestViewWindow)
#include "tst_view_window.moc"
