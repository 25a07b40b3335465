// The printer's window, reached as the administrator reaches it, and its test slip at a fake
// network printer.
#include "EscPosDecoder.h"
#include "FakePrinter.h"
#include "TestSupport.h"
#include "data/Database.h"
#include "printing/EscPos.h"
#include "printing/PrintService.h"
#include "printing/PrinterSettings.h"
#include "printing/Receipt.h"
#include "report/SlipPdf.h"
#include "ui/PrinterSettingsDialog.h"
#include "ui/formLudomat2.h"

#include <QtTest>
#include <QtWidgets>

using printing::Kind;
using testing::control;

class TestPrinterWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void settingsChecked_data();
    void settingsChecked();
    void testSlipAndSave();
    void slipAsPdf_data();
    void slipAsPdf();
};

namespace {

QString run(const QString &tool, const QStringList &arguments) {
    QProcess p;
    p.start(tool, arguments);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

void TestPrinterWindow::slipAsPdf_data() {
    QTest::addColumn<int>("widthMm");
    QTest::newRow("58 mm") << 58;
    QTest::newRow("80 mm") << 80;
}

void TestPrinterWindow::slipAsPdf() {
    QFETCH(int, widthMm);
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
        QSKIP("pdftotext (poppler-utils) is missing");
    }
    QTemporaryDir dir;
    printing::Document slip = printing::testSlip(QStringLiteral("Sala Ñandú"), QStringLiteral("cola"), widthMm);
    for (int i = 0; i < 30; ++i) {
        slip.lines.push_back({QStringLiteral("Línea %1 con un texto bastante largo para partir").arg(i),
                              QStringLiteral("$ %1,00").arg(i), printing::Line::Style::Normal});
    }
    const QString path = dir.filePath(QStringLiteral("turno.pdf"));
    QCOMPARE(report::saveSlipPdf(slip, widthMm, path), QString());
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts")).match(info);
    QVERIFY(size.hasMatch());
    QVERIFY(std::abs(size.captured(1).toDouble() - widthMm * 72 / 25.4) < 1);
    const QString text = run(QStringLiteral("pdftotext"), {"-enc", "UTF-8", "-layout", path, "-"});
    for (const QString &expected :
         {QStringLiteral("Sala Ñandú"), QStringLiteral("Prueba de impresión - áéíóú ñÑ"), QStringLiteral("$ 1.234,50"),
          QStringLiteral("Línea 29 con un texto"), QStringLiteral("$ 29,00")}) {
        QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" in\n") + text));
    }
    // The printer's columns: no line of the PDF is wider than the roll holds.
    for (const QString &line : text.split(u'\n')) {
        QVERIFY2(line.trimmed().size() <= printing::columnsFor(widthMm), qPrintable(line));
    }
}

void TestPrinterWindow::settingsChecked_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("refusal"); // empty: taken, and read back the same
    const auto row = [](const char *name, Kind kind, const char *target, const char *refusal) {
        QTest::newRow(name) << int(kind) << QString::fromUtf8(target) << QString::fromUtf8(refusal);
    };
    row("address and port", Kind::Network, "impresora.local:9101", "");
    row("v6 and port", Kind::Network, "[fe80::1]:9100", "");
    row("no address", Kind::Network, "", "Escriba la dirección");
    row("port past the last", Kind::Network, "192.168.0.50:70000", "no es una dirección");
    row("port zero", Kind::Network, "192.168.0.50:0", "no es una dirección");
    row("a path for an address", Kind::Network, "http://x/y", "no es una dirección");
    row("default device", Kind::Usb, "", "");
    row("relative device", Kind::Usb, "usb/lp0", "ruta completa");
    row("queue", Kind::Cups, "Termica_1", "");
    // lp would take these as its own options or as two queues.
    row("queue like an option", Kind::Cups, "-h", "cola de CUPS");
    row("queue with a space", Kind::Cups, "Termica -o x", "cola de CUPS");
    row("no queue", Kind::Cups, "", "cola de CUPS");
}

void TestPrinterWindow::settingsChecked() {
    QFETCH(int, kind);
    QFETCH(QString, target);
    QFETCH(QString, refusal);
    testing::TestPlatform t;
    const printing::PrinterSettings typed{Kind(kind), target, 58, QStringLiteral("Sala; Ñandú"), true, false};
    auto db = data::Database::open(t.databasePath());
    const QString said = printing::saveSettings(*db, typed, QStringLiteral("Admin"), t.clock.now);
    QVERIFY2(refusal.isEmpty() ? said.isEmpty() : said.contains(refusal), qPrintable(said));
    const qsizetype entries = testing::journal(t.databasePath(), "Evento").count(QStringLiteral("Ajuste del salón"));
    // Nothing of a refused setting is stored or journaled.
    QCOMPARE(printing::readSettings(*db) == typed, refusal.isEmpty());
    QCOMPARE(entries, refusal.isEmpty() ? 1 : 0);
}

void TestPrinterWindow::testSlipAndSave() {
    testing::FakePrinter fake;
    testing::Shop shop;
    testing::signIn(*shop.desk);
    formLudomat2 &w = *shop.main;
    w.show();
    const auto open = [&] {
        QTimer::singleShot(0, [] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction *action : menu->actions())
                if (action->text() == QStringLiteral("&Impresora…"))
                    action->trigger();
            menu->close();
        });
        QTest::mouseClick(w.windowHandle(), Qt::RightButton, {}, QPoint(5, w.height() - 60));
        QVERIFY(testing::answerAdministrator(&w, QStringLiteral("admin")));
        QTRY_VERIFY(shop.desk->printerWindow() && shop.desk->printerWindow()->isVisible());
    };
    open();
    QWidget *window = shop.desk->printerWindow();
    QCOMPARE(window->objectName(), QStringLiteral("frmImpresora"));
    // No printer by default: nothing to test.
    QVERIFY(!control<QPushButton>(window, "cmdPrueba")->isEnabled());
    auto *tipo = control<QComboBox>(window, "cboTipo");
    tipo->setCurrentIndex(tipo->findData(int(Kind::Network)));
    auto *destino = control<QLineEdit>(window, "txtDestino");
    destino->setText(QStringLiteral("192.168.0.50:99999"));
    auto *ancho = control<QComboBox>(window, "cboAncho");
    ancho->setCurrentIndex(ancho->findData(58));
    control<QLineEdit>(window, "txtNegocio")->setText(QStringLiteral("Sala Ñandú"));
    auto *prueba = control<QPushButton>(window, "cmdPrueba");
    QCOMPARE(prueba->text(), QStringLiteral("Imprimir prueba"));
    prueba->click();
    QVERIFY(shop.said().constLast().contains(QStringLiteral("no es una dirección de impresora")));

    destino->setText(fake.address());
    prueba->click();
    QTRY_VERIFY(shop.said().constLast().startsWith(QStringLiteral("La prueba se envió")));
    QCOMPARE(fake.jobs.size(), 1);
    const testing::Decoded slip = testing::decodeEscPos(fake.jobs.first());
    QCOMPARE(slip.problems, QStringList());
    QCOMPARE(slip.texts().mid(0, 3),
             (QStringList{QStringLiteral("   Sala Ñandú"), QStringLiteral("Prueba de impresión - áéíóú ñÑ"),
                          QStringLiteral("¿¡ $ 1.234,50")}));
    // A test prints on the printer as typed: the room's printer is still none.
    QCOMPARE(shop.desk->printer().settings().kind, Kind::None);

    // A printer that is not there: said, and the window stays.
    fake.mode = testing::FakePrinter::Mode::ClosesAtOnce;
    prueba->click();
    QVERIFY(!prueba->isEnabled());
    QTRY_VERIFY(shop.said().constLast().startsWith(QStringLiteral("No se pudo imprimir: ")));
    QVERIFY(prueba->isEnabled());

    control<QCheckBox>(window, "chkRecibos")->setChecked(true);
    control<QPushButton>(window, "cmdGuardar")->click();
    QTRY_VERIFY(!shop.desk->printerWindow());
    const printing::PrinterSettings saved{Kind::Network, fake.address(), 58, QStringLiteral("Sala Ñandú"), true, false};
    QVERIFY(shop.desk->printer().settings() == saved);
    QVERIFY(testing::journal(shop.t.databasePath(), "Usuario, Evento, Detalle")
                .contains(QStringLiteral("Admin|Ajuste del salón|") + printing::settingsText(saved) +
                          QStringLiteral("; Autorizó=Admin")));

    // Nobody who signs in next may act through the administrator's window.
    open();
    QTest::mouseClick(control<QPushButton>(&w, "cmdUsuario"), Qt::LeftButton);
    QVERIFY(testing::countDrawer(*shop.desk));
    QTRY_VERIFY(!shop.desk->printerWindow());
}

QTEST_MAIN(TestPrinterWindow)
#include "tst_printer_window.moc"
