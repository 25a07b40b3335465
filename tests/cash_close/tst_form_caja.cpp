// The cash-close window: the run from its buttons, leaving it, the grid. (Bad boxes: tst_hostile_input.)
#include "CashCloseFixtures.h"
#include "SqliteFile.h"
#include "TestSupport.h"
#include "accounts/Session.h"
#include "data/Journal.h"
#include "data/Seal.h"
#include "stations/StationBoard.h"
#include "ui/ReportActions.h"
#include "ui/Twips.h"
#include "ui/formCaja.h"
#include "ui/formLudomat2.h"
#include "ui/formUsuario.h"
#include "ui/frmGraficos.h"
#include "ui/frmRegistro.h"
#include "ui/frmTarifa.h"

#include <QJsonArray>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QtTest>
#include <QtWidgets>
#include <array>

namespace {

const QDate kToday(2026, 12, 5);

// The program with an operator signed in, and its cash close opened by the main window's button.
struct Shop : testing::Shop {
    Shop() { testing::signIn(*desk); }
    formCaja *open() {
        QTest::mouseClick(testing::control<QPushButton>(main, "cmdCierreCaja"), Qt::LeftButton);
        return desk->cashCloseWindow();
    }
    QStringList caja() const { return fixtures::cajaRows(t.databasePath()); }
};

// Journal entries at the given UTC times of 5 Dec 2026.
void journalAt(const QString &path, const QList<std::tuple<QTime, QString, QString, int>> &entries) {
    auto db = data::Database::open(path);
    data::runInTransaction(*db, [&] {
        for (const auto &[at, usuario, evento, puesto] : entries)
            journal::append(*db, QDateTime(kToday, at, Qt::UTC), usuario, evento, puesto, {});
    });
}

// A copy into Caja that takes seconds: the eight-fold join of thirty rentals, for each row.
const char *const kSlowTrigger = "CREATE TRIGGER slow AFTER INSERT ON Caja BEGIN SELECT count(*) FROM Alquiler a, "
                                 "Alquiler b, Alquiler c, Alquiler d, Alquiler e, Alquiler f; END";
const char *const kFailingTrigger = "CREATE TRIGGER fail AFTER INSERT ON Caja BEGIN SELECT RAISE(ABORT, 'disco'); END";

// Every row of the grid, its cells joined by "|".
QStringList gridText(const QTableView *grid) {
    QStringList rows;
    for (int r = 0; grid->model() && r < grid->model()->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid->model()->columnCount(); ++c)
            cells << grid->model()->index(r, c).data().toString();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

// A text file's words, or a PDF's through pdftotext, with every run of blanks as one space.
QString textOf(const QString &path) {
    QByteArray bytes;
    if (path.endsWith(QLatin1String(".xlsx"))) {
        // Every cell of every sheet, as a spreadsheet reads it.
        for (const QJsonValue &sheet : testing::spreadsheetCells(path))
            for (const QJsonValue &row : sheet.toArray())
                for (const QJsonValue &cell : row.toArray())
                    bytes += cell.toArray().at(1).toVariant().toString().toUtf8() + '\n';
    } else if (path.endsWith(QLatin1String(".pdf"))) {
        QProcess tool;
        tool.start(QStringLiteral("pdftotext"),
                   {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
        tool.waitForFinished(60000);
        bytes = tool.readAllStandardOutput();
    } else {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
    }
    return QString::fromUtf8(bytes).simplified();
}

// `ludomat --report` for today's shift on the shop's books, its files at base.csv, .pdf and .xlsx.
testing::Run reportOfTheShift(const Shop &shop, const QString &base) {
    return testing::runLudomat({"--report", "--from", "2026-12-05 08:00", "--to", "2026-12-05 16:00", "--data-dir",
                                shop.t.folder.path(), "--csv", base + ".csv", "--pdf", base + ".pdf", "--xlsx",
                                base + ".xlsx"});
}

// Whether the lower three quarters of a picture hold any colour: a chart drawn, not only text.
bool hasColour(const QImage &image) {
    for (int y = image.height() / 4; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).hsvSaturation() > 80)
                return true;
    return false;
}

} // namespace

class FormCajaTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void processTotalsAndGrid() {
        Shop shop;
        fixtures::record(shop.t.databasePath(), {{3, "Admin", QDate(2026, 3, 2), QTime(14, 5, 9), "7.5", "26"},
                                                 {1, "Ana", QDate(2026, 2, 28), QTime(9, 0), "150"},
                                                 {2, "admin", QDate(2026, 3, 1), QTime(10, 0), "2.25"},
                                                 {4, "Admin", QDate(2026, 2, 28), QTime(7, 0), "1000"},
                                                 {5, "Admin ", QDate(2026, 3, 3), QTime(11, 0), "0.5"}});
        formCaja *caja = shop.open();
        testing::control<QLineEdit>(caja, "txtFecha1")->setText(QStringLiteral("28/2/26"));
        testing::control<QLineEdit>(caja, "txtFecha2")->setText(QStringLiteral("2026-03-03"));
        // Everyone counts in the total, only the exact name in the operator's; twice the same: not double.
        for (int run = 0; run < 2; ++run) {
            QTest::mouseClick(testing::control<QPushButton>(caja, "cmdProcesar"), Qt::LeftButton);
            QTRY_VERIFY(!caja->isRunning());
            QCOMPARE(shop.t.messages.messages, QStringList());
            QCOMPARE(testing::control<QLineEdit>(caja, "txtTotal")->text(), QStringLiteral("160,25"));
            QCOMPARE(testing::control<QLineEdit>(caja, "txtTotalUsuario")->text(), QStringLiteral("7,5"));
        }

        const QTableView *grid = testing::control<QTableView>(caja, "dgLudomat");
        // Rows by date, dates and amounts in the regional forms.
        QCOMPARE(gridText(grid), QStringList({"1|Contador|Ana|28/2/26|09:00:00|1:25:00|150",
                                              "2|Contador|admin|1/3/26|10:00:00|1:25:00|2,25",
                                              "3|Contador|Admin|2/3/26|14:05:09|26:25:00|7,5",
                                              "5|Contador|Admin |3/3/26|11:00:00|1:25:00|0,5"}));
    }

    // Two-digit days, long month names: every date of the grid whole, whatever the locale writes;
    // the other columns keep their widths.
    void datesWholeInEveryLocale_data() {
        QTest::addColumn<QString>("locale");
        for (const char *locale : {"C", "es_AR", "en_US", "de_DE"})
            QTest::newRow(locale) << locale;
    }

    void datesWholeInEveryLocale() {
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        Shop shop;
        QList<fixtures::Rental> rentals;
        for (int month = 1; month <= 12; ++month)
            rentals << fixtures::Rental{1, "Ana", QDate(2026, month, 1).addMonths(1).addDays(-1), QTime(9, 0), "1"};
        fixtures::record(shop.t.databasePath(), rentals);
        formCaja *caja = shop.open();
        testing::control<QLineEdit>(caja, "txtFecha1")->setText(QStringLiteral("2026-01-01"));
        testing::control<QLineEdit>(caja, "txtFecha2")->setText(QStringLiteral("2026-12-31"));
        QVERIFY(testing::runCashClose(caja));
        const QTableView *grid = testing::control<QTableView>(caja, "dgLudomat");
        QCOMPARE(grid->model()->rowCount(), 12);
        const QFontMetrics metrics = grid->fontMetrics();
        for (int r = 0; r < 12; ++r) {
            const QString date = grid->model()->index(r, 3).data().toString();
            QVERIFY2(metrics.horizontalAdvance(date) + 4 <= grid->columnWidth(3), qPrintable(date));
        }
        QCOMPARE(grid->columnWidth(2), ui::tw(formCaja::kGridWidths[2]));
        QCOMPARE(grid->columnWidth(4), ui::tw(formCaja::kGridWidths[4]));
    }

    // Opened, it is laid out with today's period and locks the main window; left by "&Salir" or
    // the close box, it empties Caja, and opened again it starts afresh.
    void opensAndLeavesAfresh_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Salir") << false;
        QTest::newRow("title-bar close box") << true;
    }

    void opensAndLeavesAfresh() {
        QFETCH(bool, closeBox);
        Shop shop;
        fixtures::record(shop.t.databasePath(), {{1, "Admin", kToday, QTime(9, 0), "10"}});
        const auto fresh = [&shop](formCaja *caja) {
            QVERIFY(caja && caja->isVisible() && !shop.main->isEnabled());
            const QStringList boxes{testing::control<QLineEdit>(caja, "txtFecha1")->text(),
                                    testing::control<QLineEdit>(caja, "txtHora1")->text(),
                                    testing::control<QLineEdit>(caja, "txtFecha2")->text(),
                                    testing::control<QLineEdit>(caja, "txtHora2")->text(),
                                    testing::control<QLineEdit>(caja, "txtTotal")->text(),
                                    testing::control<QLineEdit>(caja, "txtTotalUsuario")->text()};
            QCOMPARE(boxes, QStringList({"5/12/26", "08:00:00 AM", "5/12/26", "04:00:00 PM", "0", "0"}));
            QCOMPARE(gridText(testing::control<QTableView>(caja, "dgLudomat")), QStringList());
        };
        QPointer<formCaja> caja = shop.open();
        fresh(caja);
        QCOMPARE(testing::control<QLabel>(caja, "lblUsuario")->text(), QStringLiteral("Admin"));

        testing::control<QLineEdit>(caja, "txtFecha1")->setText(QStringLiteral("1/12/26"));
        QVERIFY(testing::runCashClose(caja));
        QCOMPARE(shop.caja().size(), 1);
        if (closeBox) {
            QVERIFY(caja->close());
        } else {
            QTest::mouseClick(testing::control<QPushButton>(caja, "cmdSalir"), Qt::LeftButton);
        }
        QVERIFY(shop.caja().isEmpty());
        QVERIFY(shop.main->isEnabled());
        QTRY_VERIFY(!caja && !shop.desk->cashCloseWindow());
        fresh(shop.open());
        QVERIFY(shop.t.messages.messages.isEmpty());
    }

    // Both buttons ask for a run first; then Exportar writes where the chooser answers (nothing
    // when it gives up) and Imprimir opens the preview of the report.
    void exportAndPrintButtons() {
        Shop shop;
        fixtures::record(shop.t.databasePath(), {{2, "Admin", kToday, QTime(9, 0), "10"}});
        QTemporaryDir folder;
        QString &answer = shop.t.files.answer;
        answer = folder.filePath(QStringLiteral("cierre.csv"));
        formCaja *caja = shop.open();
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdExportar"), Qt::LeftButton);
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdImprimir"), Qt::LeftButton);
        const QString first = QStringLiteral("Procese primero un período con «Procesar Datos».");
        QCOMPARE(shop.t.messages.messages, QStringList({first, first}));

        QVERIFY(testing::runCashClose(caja));
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdExportar"), Qt::LeftButton);
        QVERIFY(shop.t.files.asked.last().start.endsWith(QStringLiteral("/cierre-2026-12-05.csv")));
        QCOMPARE(
            shop.t.messages.messages.last(),
            QStringLiteral("Se exportó el cierre de caja a %1; su resumen, con los totales y el registro, está en %2.")
                .arg(answer, folder.filePath(QStringLiteral("cierre-resumen.txt"))));
        QFile csv(answer);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().split('\n').value(1),
                 QByteArray("2,Contador,Admin,2026-12-05,09:00:00,01:25:00,10.00\r"));
        // The same chooser, a spreadsheet by its name.
        answer = folder.filePath(QStringLiteral("cierre.XLSX"));
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdExportar"), Qt::LeftButton);
        QCOMPARE(shop.t.messages.messages.last(), QStringLiteral("Se exportó el cierre de caja a %1.").arg(answer));
        answer = folder.filePath(QStringLiteral("cierre.txt"));
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdExportar"), Qt::LeftButton);
        QVERIFY(shop.t.messages.messages.last().startsWith(QStringLiteral("No se exportó nada")));
        answer.clear();
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdExportar"), Qt::LeftButton);
        QCOMPARE(shop.t.messages.messages.size(), 5);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files),
                 QStringList({"cierre-resumen.txt", "cierre.csv", "cierre.XLSX"}));

        int pages = 0;
        QTimer::singleShot(0, caja, [&pages] {
            auto *preview = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget());
            if (preview) {
                pages = preview->findChild<QPrintPreviewWidget *>()->pageCount();
                preview->reject();
            }
        });
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdImprimir"), Qt::LeftButton);
        QCOMPARE(pages, 1);
        QCOMPARE(shop.t.messages.messages.size(), 5);
    }

    // One run, one anchor: the window shows the length, last hash and owner's key of the journal
    // as the run left it, its own entry and seal included, the copy of the books made after it
    // not. `--report` anchors on the journal as it reads it, the same on its screen, its PDF, its
    // spreadsheet and its companion (the writers the window's buttons use); for no operator, it
    // says so.
    void oneAnchorEverywhere() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        Shop shop;
        const QString path = shop.t.databasePath();
        fixtures::record(path, {{2, "Admin", kToday, QTime(9, 0), "10"}});
        formCaja *caja = shop.open();
        const QString loaded = journal::summary(*data::Database::open(path)).lastHash; // before any run: now
        QCOMPARE(testing::control<QLabel>(caja, "lblRegistro")->text(),
                 QStringLiteral("Registro: 3 entradas, último hash %1…; sin clave del dueño").arg(loaded.left(16)));
        // The administrator is signed in: the owner's key is held.
        const seal::Key key = *seal::Key::derive(QStringLiteral("clave-del-dueño"), seal::Derivation::fresh());
        auto db = data::Database::open(path);
        data::runInTransaction(*db, [&] { QVERIFY(seal::adopt(*db, key, shop.t.clock.now, QStringLiteral("Admin"))); });
        db.reset();
        shop.desk->session().ownerSeal().hold(key);
        QVERIFY(testing::runCashClose(caja));

        const QStringList entries = testing::journal(path, QStringLiteral("Secuencia, Evento, Hash"));
        const QStringList sealed = entries.value(entries.size() - 2).split(u'|');
        QCOMPARE(entries.value(entries.size() - 3).section(u'|', 1, 1), journal::event::kCashClose);
        QCOMPARE(sealed.value(1), journal::event::kSeal);
        QCOMPARE(entries.last().section(u'|', 1, 1), journal::event::kBackup);
        const QString anchor = QStringLiteral("Registro: %1 entradas, último hash %2").arg(sealed[0], sealed[2]);
        const QString sealLine = QStringLiteral("Sello del dueño: clave %1, último sello en la entrada %2")
                                     .arg(key.fingerprint(), sealed[0]);
        QCOMPARE(testing::control<QLabel>(caja, "lblRegistro")->text(),
                 QStringLiteral("Registro: %1 entradas, último hash %2…; sello del dueño %3 "
                                "en la entrada %1")
                     .arg(sealed[0], sealed[2].left(16), key.fingerprint()));
        QCOMPARE(testing::control<QLabel>(caja, "lblRegistro")->toolTip(), anchor + u'\n' + sealLine);

        QTemporaryDir folder;
        const bool spreadsheets = testing::canReadSpreadsheets();

        // The command line, for the same period and no operator.
        const testing::Run report = reportOfTheShift(shop, folder.filePath("linea"));
        const testing::Run verified = testing::runLudomat({"--verify-journal", "--data-dir", shop.t.folder.path()});
        QCOMPARE(report.status, 0);
        const QStringList said = verified.out.split(u'\n');
        const QRegularExpressionMatch ok =
            QRegularExpression(QStringLiteral("^journal ok: (\\d+) entries, last hash (\\w+)$")).match(said.value(0));
        QVERIFY2(ok.hasMatch(), qPrintable(verified.out));
        QCOMPARE(said.value(1),
                 QStringLiteral("seal: owner's key %1, last seal at entry %2").arg(key.fingerprint(), sealed[0]));
        const QString nowAnchor =
            QStringLiteral("Registro: %1 entradas, último hash %2").arg(ok.captured(1), ok.captured(2));
        QVERIFY(nowAnchor != anchor); // the copy after the run came later
        QStringList texts{report.out, textOf(folder.filePath("linea-resumen.txt")),
                          textOf(folder.filePath("linea.pdf"))};
        if (spreadsheets)
            texts << textOf(folder.filePath("linea.xlsx"));
        for (const QString &text : std::as_const(texts)) {
            QVERIFY2(text.contains(nowAnchor) && text.contains(sealLine), qPrintable(text));
            QVERIFY2(text.count(QStringLiteral("Total Facturado")) == 1 &&
                         !text.contains(QStringLiteral("Procesado por")),
                     qPrintable(text));
        }
        QVERIFY(textOf(folder.filePath("linea.pdf")).contains(QStringLiteral(", sin operador")));
    }

    // The run's operations beside the totals, each kind summed, and each one in the list the
    // button opens; the command line's text, its CSV companion and its PDF carry them too.
    void operationsBesideTheTotals() {
        Shop shop;
        const QString path = shop.t.databasePath();
        fixtures::record(path,
                         QList<fixtures::Rental>{{1, "Ana", kToday, QTime(9, 0), "20", "1", "Prepago"},
                                                 {1, "Ana", kToday, QTime(9, 30), "10", "0", "Prepago (agregado)"}});
        fixtures::record(path, QList<fixtures::Op>{{kToday, QTime(9, 30), "Bloques agregados", "Ana", "", 30, "10", ""},
                                                   {kToday, QTime(9, 45), "Cortesía", "Ana", "Admin", 15, "0",
                                                    "se colgó\nla consola"}});
        formCaja *caja = shop.open();
        QVERIFY(!testing::control<QPushButton>(caja, "cmdOperaciones")->isEnabled());
        QVERIFY(testing::runCashClose(caja));
        QStringList summary;
        for (QTreeWidgetItemIterator it(testing::control<QTreeWidget>(caja, "trvResumen")); *it; ++it)
            summary << (*it)->text(0);
        QVERIFY(summary.contains("Alquileres: 1") && summary.contains("Prepago (agregado): $ 10,00"));
        QCOMPARE(summary.mid(summary.indexOf("Operaciones: 2"), 3),
                 QStringList({"Operaciones: 2", "Bloques agregados: 1, 30 min, $ 10,00", "Cortesía: 1, 15 min"}));
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdOperaciones"), Qt::LeftButton);
        auto *list = testing::control<QTableWidget>(caja, "tblOperaciones");
        QCOMPARE(list->rowCount(), 2);
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c)
            cells << list->item(1, c)->text();
        QCOMPARE(cells, QStringList({"5/12/26 09:45:00", "2", "Cortesía", "Ana", "Admin", "15", "0,00",
                                     "se colgó\nla consola"}));
        caja->findChild<QDialog *>("frmOperaciones")->reject();

        QTemporaryDir folder;
        const testing::Run report = reportOfTheShift(shop, folder.filePath("c"));
        QCOMPARE(report.status, 0);
        const QStringList lines{"Alquileres: 1", "Operaciones: 2", "Operaciones Bloques agregados: 1, 30 min, 10.00",
                                "Operaciones Cortesía: 1, 15 min, 0.00",
                                "Operación 2026-12-05 09:45:00; Puesto 2; Cortesía; Usuario=Ana; Autorizó=Admin; "
                                "Minutos=15; Importe=0.00; Motivo=se colgó la consola"};
        QFile companion(folder.filePath("c-resumen.txt"));
        QVERIFY(companion.open(QIODevice::ReadOnly));
        for (const QString &text : {report.out, QString::fromUtf8(companion.readAll())})
            for (const QString &line : lines)
                QVERIFY2(text.split(u'\n').contains(line), qPrintable(line + u'\n' + text));
        QVERIFY(textOf(folder.filePath("c.pdf")).contains(QStringLiteral("Cortesía: 1, 15 min")));
        if (testing::canReadSpreadsheets())
            QVERIFY(textOf(folder.filePath("c.xlsx")).contains(QStringLiteral("Cortesía Ana Admin 15 0 se colgó")));
    }

    // A cash close checks the books against the journal too, behind the run, and tells of an edit.
    void closeTellsOfEditedBooks() {
        Shop shop;
        QCOMPARE(execRaw(shop.t.databasePath(), "UPDATE Tarifa SET Pesos = 5"), SQLITE_OK);
        QVERIFY(testing::runCashClose(shop.open()));
        QTRY_COMPARE(shop.t.messages.messages.size(), 1);
        QVERIFY2(shop.t.messages.messages[0].startsWith("Los libros no coinciden con el registro de eventos:\n- en "
                                                        "Tarifa, fila 1: 30 minutos por 5"),
                 qPrintable(shop.t.messages.messages[0]));
    }

    // Listed in local time (here three hours behind UTC) for the period of the boxes, newest
    // first, every entry until a filter narrows it (those without an operator too); the whole
    // journal verified meanwhile.
    void journalWindow() {
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "<-03>3");
        tzset();
        const auto zoneAgain = qScopeGuard([zone] {
            qputenv("TZ", zone);
            tzset();
        });
        Shop shop;
        journalAt(shop.t.databasePath(), {{QTime(10, 59, 59), "Admin", journal::event::kSignIn, 0},
                                          {QTime(11, 0), "Admin", journal::event::kStationOpened, 3},
                                          {QTime(14, 0), "", journal::event::kProgramStarted, 0},
                                          {QTime(15, 30), "Ana", journal::event::kSignIn, 0},
                                          {QTime(19, 0, 0, 500), "Ana", journal::event::kStationClosed, 3},
                                          {QTime(19, 0, 1), "Admin", journal::event::kCashClose, 0}});
        formCaja *caja = shop.open();
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdRegistro"), Qt::LeftButton);
        QPointer<frmRegistro> registro = shop.desk->journalWindow();
        QVERIFY(registro && registro->isVisible() && registro->windowTitle() == QStringLiteral("Registro"));
        QCOMPARE(testing::control<QComboBox>(registro, "cboUsuario")->currentText(), frmRegistro::kAll);
        QCOMPARE(
            gridText(testing::control<QTableView>(registro, "dgRegistro")),
            QStringList({"7|5/12/26 16:00:00|Ana|Puesto cerrado|3|", "6|5/12/26 12:30:00|Ana|Ingreso||",
                         "5|5/12/26 11:00:00||Programa iniciado||", "4|5/12/26 08:00:00|Admin|Puesto abierto|3|",
                         "2|5/12/26 14:05:09|Admin|Turno abierto||Turno 1; fondo 0"}));
        QTRY_COMPARE(testing::control<QLabel>(registro, "lblVerificacion")->text(),
                     QStringLiteral("El registro está íntegro: 8 entradas."));

        testing::control<QComboBox>(registro, "cboUsuario")->setCurrentText(QStringLiteral("Ana"));
        QCOMPARE(gridText(testing::control<QTableView>(registro, "dgRegistro")).size(), 2);
        testing::control<QComboBox>(registro, "cboEvento")->setCurrentText(journal::event::kSignIn);
        QCOMPARE(gridText(testing::control<QTableView>(registro, "dgRegistro")),
                 QStringList({"6|5/12/26 12:30:00|Ana|Ingreso||"}));

        // Opened afresh, it reads the file afresh.
        data::Database::open(shop.t.databasePath())
            ->execute(QStringLiteral("DELETE FROM Registro WHERE Secuencia = 5"));
        registro->close();
        QTRY_VERIFY(!registro);
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdRegistro"), Qt::LeftButton);
        registro = shop.desk->journalWindow();
        QCOMPARE(testing::control<QTableView>(registro, "dgRegistro")->model()->rowCount(), 4);
        QTRY_COMPARE(testing::control<QLabel>(registro, "lblVerificacion")->text(),
                     QStringLiteral("El registro NO verifica: falta la entrada 5 (fue borrada)"));
        // It goes with the cash close.
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdSalir"), Qt::LeftButton);
        QTRY_VERIFY(!registro);
    }

    // Every run starts cleared and a run that does not end well leaves it cleared and says why;
    // a failed run's progress dialog is gone before its message.
    void honestRuns_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("said");
        const std::array<const char *, 3> rows[] = {
            {"reversed period", "reversed", "El período termina antes de empezar"},
            {"failed", "fail", "No se pudo hacer el cierre de caja; no se cambió nada."},
            {"cancelled", "cancel", "Se canceló el cierre de caja; no se cambió nada."},
        };
        for (const auto &r : rows)
            QTest::newRow(r[0]) << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2]);
    }

    void honestRuns() {
        QFETCH(QString, how);
        QFETCH(QString, said);
        Shop shop;
        fixtures::record(shop.t.databasePath(), QList<fixtures::Rental>(30, {1, "Admin", kToday, QTime(9, 0), "10"}));
        formCaja *caja = shop.open();
        QVERIFY(testing::runCashClose(caja));
        QCOMPARE(testing::control<QLineEdit>(caja, "txtTotal")->text(), QStringLiteral("300"));
        if (how == u"reversed")
            testing::control<QLineEdit>(caja, "txtHora2")->setText(QStringLiteral("07:00"));
        if (how == u"fail" || how == u"cancel") {
            // Slow enough for the dialog and Cancelar; failing at its end otherwise.
            execRaw(shop.t.databasePath(), how == u"cancel" ? kSlowTrigger : kFailingTrigger);
        }
        bool dialogAtMessage = false;
        shop.t.messages.onMessage = [&](const QString &) {
            dialogAtMessage = caja->findChild<QProgressDialog *>() != nullptr;
        };
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdProcesar"), Qt::LeftButton);
        if (how == u"cancel") {
            QProgressDialog *progress = nullptr;
            QTRY_VERIFY((progress = caja->findChild<QProgressDialog *>()) && progress->isVisible());
            QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
        }
        QTRY_VERIFY(!caja->isRunning());
        QVERIFY2(shop.t.messages.messages.size() == 1 && shop.t.messages.messages[0].startsWith(said),
                 qPrintable(shop.t.messages.messages.join(u'\n')));
        QVERIFY(!dialogAtMessage);
        QCOMPARE(testing::control<QLineEdit>(caja, "txtTotal")->text() +
                     testing::control<QLineEdit>(caja, "txtTotalUsuario")->text(),
                 QStringLiteral("00"));
        QVERIFY(gridText(testing::control<QTableView>(caja, "dgLudomat")).isEmpty() &&
                testing::control<QTreeWidget>(caja, "trvResumen")->topLevelItemCount() == 0 && !caja->report());
    }

    // While a run holds the write lock, a save elsewhere is told at once that the file is busy,
    // and the main window's tick goes on counting.
    void busyDuringARun() {
        Shop shop;
        fixtures::record(shop.t.databasePath(), QList<fixtures::Rental>(30, {1, "Admin", kToday, QTime(9, 0), "10"}));
        execRaw(shop.t.databasePath(), kSlowTrigger);
        testing::control<QTimer>(shop.main, "Timer1")->start();
        testing::press(*shop.desk, 0);
        QTest::mouseClick(testing::control<QPushButton>(shop.main, "cmdTarifa"), Qt::LeftButton);
        frmTarifa *rate = shop.desk->rateWindow(); // it stays open beside
        formCaja *caja = shop.open();
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdProcesar"), Qt::LeftButton);
        QTRY_VERIFY(caja->findChild<QProgressDialog *>()->isVisible()); // the run is well under way
        QTest::mouseClick(testing::control<QPushButton>(rate, "cmdGuardar"), Qt::LeftButton);
        QVERIFY(testing::answerAdministrator(rate, QStringLiteral("admin")));
        QVERIFY2(shop.t.messages.messages.value(0).contains(data::busyText()),
                 qPrintable(shop.t.messages.messages.join(u'\n')));
        const qint64 counted = shop.board().station(0).secondsDone;
        shop.t.clock.advance(5);
        QTRY_VERIFY(shop.board().station(0).secondsDone >= counted + 5); // the real timer, during the run
        QVERIFY(caja->isRunning());
        QTest::mouseClick(caja->findChild<QProgressDialog *>()->findChild<QPushButton *>(), Qt::LeftButton);
        QTRY_VERIFY(!caja->isRunning());
    }

    // Only after a run; each picture saved at its full size through the choice of path, a path
    // that cannot be written told and left without a file; it goes with the cash close.
    void chartsWindow() {
        Shop shop;
        fixtures::record(shop.t.databasePath(), {{1, "Admin", kToday.addDays(-4), QTime(0, 0), "10"},
                                                 {5, "Ana", kToday, QTime(23, 59, 59), "25.5"},
                                                 {3, "Admin", kToday, QTime(9, 30), "7"}});
        formCaja *caja = shop.open();
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdGraficos"), Qt::LeftButton);
        QCOMPARE(shop.t.messages.messages, QStringList({"Procese primero un período con «Procesar Datos»."}));
        QVERIFY(!shop.desk->chartsWindow());

        testing::control<QLineEdit>(caja, "txtFecha1")->setText(QStringLiteral("1/12/26"));
        testing::control<QLineEdit>(caja, "txtHora1")->setText(QStringLiteral("00:00:00"));
        testing::control<QLineEdit>(caja, "txtHora2")->setText(QStringLiteral("23:59:59"));
        QVERIFY(testing::runCashClose(caja));
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdGraficos"), Qt::LeftButton);
        QPointer<frmGraficos> graficos = shop.desk->chartsWindow();
        QVERIFY(graficos && graficos->isVisible());

        QTemporaryDir dir;
        QString &answer = shop.t.files.answer;
        const auto save = [&](int tab, const QString &name) {
            answer = dir.filePath(name);
            testing::control<QTabWidget>(graficos, "tabGraficos")->setCurrentIndex(tab);
            QTest::mouseClick(
                testing::control<QTabWidget>(graficos, "tabGraficos")->currentWidget()->findChild<QPushButton *>(),
                Qt::LeftButton);
            return shop.t.messages.messages.takeLast();
        };
        for (int tab = 0; tab < 3; ++tab) {
            const QString name = QStringLiteral("%1.png").arg(tab);
            QCOMPARE(save(tab, name), QStringLiteral("Se guardó el gráfico en %1.").arg(dir.filePath(name)));
            const QImage saved(dir.filePath(name));
            QCOMPARE(saved.size(), QSize(1200, 700));
            QVERIFY2(hasColour(saved), qPrintable(name));
        }
        QVERIFY(QFile(dir.filePath(QStringLiteral("archivo"))).open(QIODevice::WriteOnly));
        QVERIFY(save(1, QStringLiteral("archivo/1.png"))
                    .startsWith(QStringLiteral("No se pudo guardar el gráfico en %1.\n").arg(answer)));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({"0.png", "1.png", "2.png", "archivo"}));

        // A period without rentals: pictures that only say so.
        testing::control<QLineEdit>(caja, "txtFecha1")->setText(QStringLiteral("2/12/26"));
        testing::control<QLineEdit>(caja, "txtFecha2")->setText(QStringLiteral("4/12/26"));
        QVERIFY(testing::runCashClose(caja));
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdGraficos"), Qt::LeftButton);
        QCOMPARE(shop.desk->chartsWindow(), graficos);
        QVERIFY(save(2, QStringLiteral("vacio.png")).startsWith(QStringLiteral("Se guardó")));
        QVERIFY(!hasColour(QImage(answer)));

        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdSalir"), Qt::LeftButton);
        QVERIFY(!graficos->isVisible());
        QTRY_VERIFY(!graficos);
    }

    // Whatever the windows write, aimed at the books through a symlink, through a symlink to
    // their folder or at their -wal's name, is refused with a message and leaves the books as
    // they were. (Every target: tst_books.)
    void noOutputOverTheBooks_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("target"); // LINK: a symlink to the books; FOLDER: one to their folder
        // One row per way out of the window; every name that leads to the books: tst_books.
        const std::array<const char *, 3> rows[] = {
            {"csv through a symlink", "csv", "LINK/salida.csv"},
            {"png through a symlink", "png", "LINK/salida.png"},
            {"png on the -wal's name", "png", "BOOKS-wal"},
            {"backup through the folder's symlink", "backup", "FOLDER/dbLudomat.mdb"},
        };
        for (const auto &r : rows)
            QTest::newRow(r[0]) << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2]);
    }

    void noOutputOverTheBooks() {
        QFETCH(QString, output);
        QFETCH(QString, target);
        Shop shop;
        fixtures::record(shop.t.databasePath(), {{2, "Admin", kToday, QTime(9, 0), "10"}});
        QTemporaryDir elsewhere;
        const QString books = shop.t.databasePath();
        if (target.startsWith(QLatin1String("LINK/"))) {
            target = elsewhere.filePath(target.mid(5));
            QVERIFY(QFile::link(books, target));
        } else if (target.startsWith(QLatin1String("FOLDER/"))) {
            QVERIFY(QFile::link(shop.t.folder.path(), elsewhere.filePath(QStringLiteral("datos"))));
            target = elsewhere.filePath(QStringLiteral("datos/") + target.mid(7));
        } else {
            target.replace(QStringLiteral("BOOKS"), books);
        }
        shop.t.files.answer = target;
        const QStringList before = testing::tableRows(books, QStringLiteral("Alquiler"));
        formCaja *caja = shop.open();
        QVERIFY(testing::runCashClose(caja));
        shop.t.messages.messages.clear();
        if (output == u"png") {
            QTest::mouseClick(testing::control<QPushButton>(caja, "cmdGraficos"), Qt::LeftButton);
            QTest::mouseClick(testing::control<QPushButton>(shop.desk->chartsWindow(), "cmdGuardarHora"),
                              Qt::LeftButton);
        } else {
            QTest::mouseClick(output == u"backup" ? testing::control<QPushButton>(caja, "cmdCopia")
                                                  : testing::control<QPushButton>(caja, "cmdExportar"),
                              Qt::LeftButton);
        }
        QTRY_COMPARE(shop.t.messages.messages.size(), 1);
        const QString said = shop.t.messages.messages.first();
        QVERIFY2(said.startsWith(QStringLiteral("No se ")) && said.contains(QStringLiteral("base de datos en uso")),
                 qPrintable(said));
        QCOMPARE(readOnlyRows(books, "PRAGMA integrity_check"), QStringList{"ok"});
        QCOMPARE(testing::tableRows(books, QStringLiteral("Alquiler")), before);
        QVERIFY(QFileInfo(books).isFile() && !QFileInfo(books).isSymLink());
    }

    // A checked copy of the books where the operator says, made in the background: meanwhile a
    // second press, "&Salir" and the close box do nothing. (What a copy refuses: tst_books.)
    void backupButton() {
        Shop shop;
        formCaja *caja = shop.open();
        QTemporaryDir dir;
        shop.t.files.answer = dir.filePath(QStringLiteral("copia")); // a bare name: a .mdb
        auto *copia = testing::control<QPushButton>(caja, "cmdCopia");
        auto *salir = testing::control<QPushButton>(caja, "cmdSalir");
        QTest::mouseClick(copia, Qt::LeftButton);
        QVERIFY(caja->isRunning()); // its result comes through the event loop
        QTest::mouseClick(copia, Qt::LeftButton);
        QTest::mouseClick(salir, Qt::LeftButton);
        QVERIFY(!caja->close());
        QCOMPARE(shop.t.files.asked.size(), 1);
        QTRY_VERIFY(!caja->isRunning());
        const QString made = dir.filePath(QStringLiteral("copia.mdb"));
        QCOMPARE(shop.t.messages.messages, QStringList{"Se hizo la copia de seguridad en " + made + '.'});
        QCOMPARE(readOnlyRows(made, "PRAGMA integrity_check"), QStringList{"ok"});
        QCOMPARE(testing::journal(shop.t.databasePath(), QStringLiteral("Evento")).count(journal::event::kBackup), 1);
        QVERIFY(caja->isVisible() && salir->isEnabled());

        // A window that goes while its copy is made waits for the copy: never half a copy.
        shop.t.files.answer = dir.filePath(QStringLiteral("otra.mdb"));
        QTest::mouseClick(copia, Qt::LeftButton);
        delete caja;
        QCOMPARE(readOnlyRows(shop.t.files.answer, "PRAGMA integrity_check"), QStringList{"ok"});
        QTest::qWait(20);
        QCOMPARE(shop.t.messages.messages.size(), 1); // nobody left to tell
    }
};

QTEST_MAIN(FormCajaTest)
#include "tst_form_caja.moc"
