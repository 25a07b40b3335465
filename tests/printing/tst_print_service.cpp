// Jobs on their way to printers that print, refuse, vanish, run out of paper or are not printers,
// and the receipts the room's sales print.
#include "EscPosDecoder.h"
#include "FakePrinter.h"
#include "TestSupport.h"
#include "data/Database.h"
#include "data/JournalTask.h"
#include "data/NumberText.h"
#include "printing/PrintService.h"
#include "printing/PrinterSettings.h"
#include "printing/Receipt.h"
#include "ui/formLudomat2.h"

#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using printing::Kind;
using printing::PrinterSettings;
using testing::FakePrinter;

namespace {

// A stub lp first on PATH: it keeps its arguments and the job, and fails when told to.
void writeStubLp(const QString &folder, int status) {
    QFile script(folder + QStringLiteral("/lp"));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(
        QStringLiteral("#!/bin/sh\necho \"$@\" > '%1/args'\ncat > '%1/job'\n%2exit %3\n")
            .arg(folder, status ? QStringLiteral("echo 'lp: The printer or class does not exist.' >&2\n") : QString())
            .arg(status)
            .toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
}

QByteArray contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

printing::Document titled(const QString &title) {
    printing::Document d;
    d.lines.push_back({title, {}, printing::Line::Style::Title});
    return d;
}

// A Desk over books whose printer is the fake one, its journal's check done and the tick stopped.
std::unique_ptr<app::Desk> deskPrintingTo(testing::TestPlatform &t, const PrinterSettings &settings) {
    {
        auto db = data::Database::open(t.databasePath());
        if (!printing::saveSettings(*db, settings, QStringLiteral("Admin"), t.clock.now).isEmpty())
            return nullptr;
    }
    auto desk = std::make_unique<app::Desk>(t.platform);
    if (!desk->start())
        return nullptr;
    testing::control<QTimer>(&desk->mainWindow(), "Timer1")->stop();
    return desk;
}

} // namespace

class TestPrintService : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { path_ = qEnvironmentVariable("PATH"); }
    void cleanup() { qputenv("PATH", path_.toLocal8Bit()); }
    void destinations_data();
    void destinations();
    void outageSaidOnceAndJobsInOrder();
    void receiptsOfTheRoomsSales();
    void shiftSlipBeforeTheEnd();

private:
    QString path_;
};

void TestPrintService::destinations_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("problem"); // empty: the job went out
    QTest::newRow("network printer") << "tcp"
                                     << "";
    QTest::newRow("network printer that never answers status") << "tcp silent"
                                                               << "";
    QTest::newRow("network, port closed") << "tcp refused"
                                          << "127.0.0.1:%1 rechazó la conexión";
    QTest::newRow("network, drops the connection") << "tcp closes"
                                                   << "cortó la conexión antes de terminar";
    QTest::newRow("network, drops the connection mid-job") << "tcp midway"
                                                           << "cortó la conexión antes de terminar";
    QTest::newRow("network, out of paper") << "tcp no paper"
                                           << "no tiene papel";
    QTest::newRow("network, not a printer") << "tcp garbage"
                                            << "respondió algo que no es una impresora";
    QTest::newRow("network, a byte no printer sends") << "tcp wrong byte"
                                                      << "respondió algo que no es una impresora";
    QTest::newRow("device") << "device"
                            << "";
    QTest::newRow("device missing") << "device missing"
                                    << "no está la impresora";
    QTest::newRow("cups") << "lp"
                          << "";
    QTest::newRow("cups queue refused") << "lp refuses"
                                        << "CUPS no aceptó el trabajo para la cola «Termica»: lp: The printer";
    QTest::newRow("cups not installed") << "lp missing"
                                        << "no se encontró el programa «lp»";
}

void TestPrintService::destinations() {
    QFETCH(QString, how);
    QFETCH(QString, problem);
    QTemporaryDir dir;
    FakePrinter fake;
    PrinterSettings settings;
    settings.widthMm = 58;
    if (how.startsWith(QLatin1String("tcp"))) {
        settings.kind = Kind::Network;
        settings.target = fake.address();
        const std::map<QString, FakePrinter::Mode> modes{{"tcp", FakePrinter::Mode::Printer},
                                                         {"tcp silent", FakePrinter::Mode::Silent},
                                                         {"tcp closes", FakePrinter::Mode::ClosesAtOnce},
                                                         {"tcp midway", FakePrinter::Mode::ClosesMidway},
                                                         {"tcp no paper", FakePrinter::Mode::NoPaper},
                                                         {"tcp garbage", FakePrinter::Mode::Garbage},
                                                         {"tcp wrong byte", FakePrinter::Mode::WrongByte}};
        if (how == QLatin1String("tcp refused")) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            settings.target = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
            problem = problem.arg(closed.serverPort());
        } else {
            fake.mode = modes.at(how);
        }
    } else if (how.startsWith(QLatin1String("device"))) {
        settings.kind = Kind::Usb;
        settings.target = dir.filePath(how == QLatin1String("device") ? "lp0" : "usb/lp0");
        if (how == QLatin1String("device")) {
            QFile made(settings.target);
            QVERIFY(made.open(QIODevice::WriteOnly));
        }
    } else {
        settings.kind = Kind::Cups;
        settings.target = QStringLiteral("Termica");
        if (how != QLatin1String("lp missing")) {
            writeStubLp(dir.path(), how == QLatin1String("lp refuses") ? 1 : 0);
        }
        qputenv("PATH",
                dir.path().toLocal8Bit() + (how == QLatin1String("lp missing") ? "" : ":" + path_.toLocal8Bit()));
    }
    QCOMPARE(printing::checkSettings(settings), QString());

    printing::PrintService service;
    QSignalSpy printed(&service, &printing::PrintService::printed);
    QSignalSpy failed(&service, &printing::PrintService::failed);
    QSignalSpy down(&service, &printing::PrintService::printerDown);
    const quint64 job = service.printTo(
        settings, printing::testSlip(QStringLiteral("Sala Ñandú"), printing::destinationText(settings), 58));
    QTRY_COMPARE_WITH_TIMEOUT(printed.size() + failed.size(), 1, 15000);
    QCOMPARE(down.size(), 0); // a test of other settings is not the room's printer down
    if (!problem.isEmpty()) {
        QCOMPARE(failed.first().at(0).toULongLong(), job);
        const QString message = failed.first().at(1).toString();
        QVERIFY2(message.startsWith(QStringLiteral("No se pudo imprimir: ")) && message.contains(problem),
                 qPrintable(message));
        return;
    }
    QCOMPARE(printed.first().at(0).toULongLong(), job);
    QByteArray bytes;
    if (settings.kind == Kind::Network) {
        QTRY_COMPARE(fake.jobs.size(), 1);
        bytes = fake.jobs.first();
    } else {
        bytes = contents(settings.kind == Kind::Usb ? settings.target : dir.filePath("job"));
    }
    const testing::Decoded decoded = testing::decodeEscPos(bytes);
    QCOMPARE(decoded.problems, QStringList());
    QVERIFY2(decoded.texts().contains(QStringLiteral("Prueba de impresión - áéíóú ñÑ")),
             qPrintable(decoded.texts().join('|')));
    QVERIFY(decoded.texts().contains(QStringLiteral("¿¡ $ 1.234,50")));
    QVERIFY(decoded.lines.first().big && decoded.lines.first().text.trimmed() == QStringLiteral("Sala Ñandú"));
    QCOMPARE(decoded.commands.mid(decoded.commands.indexOf(QStringLiteral("feed 4"))).first(2),
             (QStringList{QStringLiteral("feed 4"), QStringLiteral("cut 1")}));
    if (how == QLatin1String("tcp")) {
        // Paper asked for before and after the job.
        QCOMPARE(decoded.commands.first(), QStringLiteral("status 4"));
        QCOMPARE(decoded.commands.last(), QStringLiteral("status 4"));
    }
    if (settings.kind == Kind::Cups) {
        QCOMPARE(contents(dir.filePath("args")).trimmed(), QByteArray("-d Termica -o raw"));
    }
}

void TestPrintService::outageSaidOnceAndJobsInOrder() {
    FakePrinter fake;
    fake.mode = FakePrinter::Mode::ClosesAtOnce;
    printing::PrintService service;
    service.setSettings({Kind::Network, fake.address(), 80, {}, true, false});
    QSignalSpy printed(&service, &printing::PrintService::printed);
    QSignalSpy failed(&service, &printing::PrintService::failed);
    QSignalSpy down(&service, &printing::PrintService::printerDown);
    QSignalSpy back(&service, &printing::PrintService::printerBack);
    for (int i = 0; i < 3; ++i) {
        QVERIFY(service.print(titled(QString::number(i))) > 0);
    }
    QTRY_COMPARE(failed.size(), 3);
    QCOMPARE(down.size(), 1);
    QVERIFY(down.first().at(0).toString().contains(QStringLiteral("no se avisará de nuevo")));
    fake.mode = FakePrinter::Mode::Printer;
    for (int i = 0; i < 3; ++i) {
        service.print(titled(QStringLiteral("Recibo %1").arg(i)));
    }
    QTRY_COMPARE(printed.size(), 3);
    QCOMPARE(back.size(), 1);
    // One after another, in the order given.
    QCOMPARE(fake.jobs.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(testing::decodeEscPos(fake.jobs[i]).texts().first().trimmed(), QStringLiteral("Recibo %1").arg(i));
    }
    // Down again: said again.
    fake.mode = FakePrinter::Mode::ClosesAtOnce;
    service.print(titled(QStringLiteral("x")));
    QTRY_COMPARE(down.size(), 2);
}

void TestPrintService::receiptsOfTheRoomsSales() {
    FakePrinter fake;
    testing::TestPlatform t;
    const auto started =
        deskPrintingTo(t, {Kind::Network, fake.address(), 80, QStringLiteral("Sala Ñandú"), true, true});
    QVERIFY(started);
    app::Desk &desk = *started;
    QTRY_VERIFY(desk.mainWindow().findChildren<journal::VerificationTask *>().isEmpty());
    testing::signIn(desk);
    stations::StationBoard &board = desk.board();
    QVERIFY(board.open(0, stations::StationMode::Prepago, 2));
    QVERIFY(board.addBlocks({0, board.station(0).openedUtc}, 1).done);
    QVERIFY(board.open(1, stations::StationMode::Contador, 1));
    t.clock.advance(45 * 60);
    QVERIFY(board.close(1));
    // A cancelled rental sells nothing.
    QVERIFY(board.open(2, stations::StationMode::Contador, 1));
    QVERIFY(board.cancel({2, board.station(2).openedUtc}, {QStringLiteral("Admin"), QStringLiteral("error")}).done);
    QTRY_COMPARE(desk.printer().pending(), 0);
    QCOMPARE(fake.jobs.size(), 3);
    const QStringList sold{QStringLiteral("Prepago: 2 bloques (60 minutos)"),
                           QStringLiteral("Bloques agregados: 1 bloque (30 minutos)"),
                           QStringLiteral("Contador: 0:45 h, 2 bloques")};
    // Amounts as the program writes them everywhere: the locale's decimal separator.
    const QStringList totals{"$ " + numtext::amountText(qint64(2000)), "$ " + numtext::amountText(qint64(1000)),
                             "$ " + numtext::amountText(qint64(2000))};
    for (int i = 0; i < 3; ++i) {
        const testing::Decoded receipt = testing::decodeEscPos(fake.jobs[i]);
        QCOMPARE(receipt.problems, QStringList());
        QVERIFY(receipt.commands.contains(QStringLiteral("drawer 0 25 250")));
        const QStringList lines = receipt.texts();
        QCOMPARE(lines[0].trimmed(), QStringLiteral("Sala Ñandú"));
        QCOMPARE(lines[3], i < 2 ? QStringLiteral("Puesto 1") : QStringLiteral("Puesto 2"));
        QCOMPARE(lines[4], sold[i]);
        QVERIFY2(lines[6].startsWith(QStringLiteral("Total")) && lines[6].endsWith(totals[i]), qPrintable(lines[6]));
        QCOMPARE(lines[7], QStringLiteral("Atendió: Admin"));
    }

    // The printer goes: the sales go on, and it is said once.
    const qsizetype said = t.messages.messages.size();
    fake.mode = FakePrinter::Mode::ClosesAtOnce;
    QVERIFY(board.open(3, stations::StationMode::Prepago, 1));
    QVERIFY(board.open(4, stations::StationMode::Prepago, 1));
    QTRY_COMPARE(desk.printer().pending(), 0);
    QTRY_COMPARE(t.messages.messages.size(), said + 1);
    QVERIFY(t.messages.messages.constLast().startsWith(QStringLiteral("No se pudo imprimir: ")));
    QCOMPARE(testing::tableRows(t.databasePath(), QStringLiteral("Alquiler")).size(), 5);
}

// "&Salir" closes the shift with its count: its slip, naming the journal's entry, reaches the
// printer before the program ends.
void TestPrintService::shiftSlipBeforeTheEnd() {
    FakePrinter fake;
    testing::TestPlatform t;
    const auto started =
        deskPrintingTo(t, {Kind::Network, fake.address(), 58, QStringLiteral("Sala Ñandú"), false, false});
    QVERIFY(started);
    app::Desk &desk = *started;
    QTRY_VERIFY(desk.mainWindow().findChildren<journal::VerificationTask *>().isEmpty());
    testing::signIn(desk);
    QVERIFY(desk.board().open(0, stations::StationMode::Contador, 1));
    QVERIFY(desk.board().close(0));
    QTest::mouseClick(testing::control<QPushButton>(&desk.mainWindow(), "cmdSalir"), Qt::LeftButton);
    QVERIFY(testing::countDrawer(desk, {{10000, 2}}));
    QCOMPARE(t.ender.calls, 0); // the slip is on its way
    QTRY_COMPARE(t.ender.calls, 1);
    QCOMPARE(fake.jobs.size(), 1);
    const testing::Decoded slip = testing::decodeEscPos(fake.jobs[0]);
    QCOMPARE(slip.problems, QStringList());
    QStringList lines;
    for (const QString &line : slip.texts()) {
        QVERIFY2(line.size() <= 32, qPrintable(line));
        lines << line.trimmed();
    }
    // The close's entry, as the file has it, is the one the slip names.
    const QString closed =
        testing::journal(t.databasePath(), QStringLiteral("Secuencia || '|' || Hash || '|' || Evento"))
            .filter(u'|' + journal::event::kShiftClosed)
            .constLast();
    QVERIFY2(lines.contains(QStringLiteral("Cierre de turno")), qPrintable(lines.join(u'\n')));
    QVERIFY2(lines.contains(QStringLiteral("Registro: entrada ") + closed.section(u'|', 0, 0)),
             qPrintable(lines.join(u'\n')));
    QVERIFY(lines.contains(closed.section(u'|', 1, 1).left(16)));
}

QTEST_MAIN(TestPrintService)
#include "tst_print_service.moc"
