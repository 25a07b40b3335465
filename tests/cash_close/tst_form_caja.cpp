// The cash-close window: layout, the run from its buttons, bad boxes, leaving it, the grid.
#include "CashCloseFixtures.h"
#include "TestSupport.h"
#include "cash_close/formCaja.h"
#include "stations/formLudomat2.h"

#include <QAbstractItemModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

namespace {

const QDate kToday(2026, 12, 5);

// The main window with an operator signed in, and its cash close opened by its button.
struct Shop {
    testing::TestPlatform t;
    formLudomat2 main{t.platform};
    Shop() { main.lblUsuario->setText(QStringLiteral("Admin")); }
    formCaja *open() {
        QTest::mouseClick(main.cmdCierreCaja, Qt::LeftButton);
        return main.cajaWindow;
    }
    QStringList caja() const { return fixtures::cajaRows(t.databasePath()); }
};

// The grid's cells of one row joined by "|".
QString gridRow(const QTableView *grid, int row) {
    QStringList cells;
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        cells << grid->model()->index(row, c).data().toString();
    }
    return cells.join(QLatin1Char('|'));
}

int gridRows(const QTableView *grid) {
    return grid->model() ? grid->model()->rowCount() : 0;
}

} // namespace

class FormCajaTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void processTotalsAndGrid() {
        Shop shop;
        fixtures::record(shop.t.databasePath(), {
                                                    {3, "Admin", QDate(2026, 3, 2), QTime(14, 5, 9), "7.5", "26"},
                                                    {1, "Ana", QDate(2026, 2, 28), QTime(9, 0), "150"},
                                                    {2, "admin", QDate(2026, 3, 1), QTime(10, 0), "2.25"},
                                                    {4, "Admin", QDate(2026, 2, 28), QTime(7, 0), "1000"},
                                                });
        formCaja *caja = shop.open();
        caja->txtFecha1->setText(QStringLiteral("28/2/26"));
        caja->txtFecha2->setText(QStringLiteral("2026-03-03"));
        // Twice the same: the same totals, not double.
        for (int run = 0; run < 2; ++run) {
            QTest::mouseClick(caja->cmdProcesar, Qt::LeftButton);
            QCOMPARE(shop.t.messages.messages, QStringList());
            QCOMPARE(caja->txtTotal->text(), QStringLiteral("159,75"));
            QCOMPARE(caja->txtTotalUsuario->text(), QStringLiteral("7,5"));
        }
        // Under the comma locale the engine still gets a point.
        QVERIFY(shop.caja().contains(QStringLiteral("2026-03-02 14:05:09 Admin 7.5")));

        const QTableView *grid = caja->dgLudomat;
        QCOMPARE(gridRows(grid), 3);
        const QStringList heads{"Puesto", "Modo", "Usuario", "Fecha", "Hora", "Tiempo", "Importe"};
        const int widths[7] = {53, 53, 66, 66, 73, 73, 60};
        const Qt::Alignment aligns[7] = {Qt::AlignHCenter, Qt::AlignLeft,    Qt::AlignLeft, Qt::AlignHCenter,
                                         Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignRight};
        QCOMPARE(grid->model()->columnCount(), 7);
        for (int c = 0; c < 7; ++c) {
            QCOMPARE(grid->model()->headerData(c, Qt::Horizontal).toString(), heads[c]);
            QCOMPARE(grid->columnWidth(c), widths[c]);
            const auto align = Qt::Alignment(grid->model()->index(0, c).data(Qt::TextAlignmentRole).toInt());
            QCOMPARE(align & Qt::AlignHorizontal_Mask, aligns[c]);
        }
        // Rows by date, dates and amounts in the regional forms.
        QCOMPARE(gridRow(grid, 0), QStringLiteral("1|Contador|Ana|28/2/26|09:00:00|1:25:00|150"));
        QCOMPARE(gridRow(grid, 1), QStringLiteral("2|Contador|admin|1/3/26|10:00:00|1:25:00|2,25"));
        QCOMPARE(gridRow(grid, 2), QStringLiteral("3|Contador|Admin|2/3/26|14:05:09|26:25:00|7,5"));
    }

    void badBoxesRefusedBeforeAnyStatement_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("named");
        const auto row = [](const char *name, const char *box, const char *text, const char *named) {
            QTest::newRow(name) << QString::fromLatin1(box) << QString::fromLatin1(text) << QString::fromUtf8(named);
        };
        row("start date, words", "txtFecha1", "ayer", "fecha «Desde»");
        row("end date, 31 November", "txtFecha2", "31/11/26", "fecha «hasta»");
        row("end date, empty", "txtFecha2", "", "fecha «hasta»");
        row("start time, 25 hours", "txtHora1", "25:00:00", "hora «Desde»");
        row("end time, injection", "txtHora2", "04:00:00 PM# OR Hora > #0:00", "hora «hasta»");
    }

    void badBoxesRefusedBeforeAnyStatement() {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, named);
        Shop shop;
        fixtures::record(shop.t.databasePath(), {{1, "Admin", kToday, QTime(9, 0), "10"}});
        formCaja *caja = shop.open();
        caja->cmdProcesar_Click();
        // A new rental after the run: a run that went ahead would show it.
        fixtures::record(shop.t.databasePath(), {{2, "Admin", kToday, QTime(10, 0), "5"}});
        caja->findChild<QLineEdit *>(box)->setText(text);
        QTest::mouseClick(caja->cmdProcesar, Qt::LeftButton);
        QCOMPARE(shop.t.messages.messages.size(), 1);
        const QString said = shop.t.messages.messages.value(0);
        QVERIFY2(said.contains(named) && said.contains(QStringLiteral("«%1»").arg(text)), qPrintable(said));
        QCOMPARE(shop.caja(), QStringList{"2026-12-05 09:00:00 Admin 10"});
        QCOMPARE(caja->txtTotal->text(), QStringLiteral("10"));
        QCOMPARE(gridRows(caja->dgLudomat), 1);
    }

    // The engine refusing the run: said plainly, the totals stay, the window stays usable.
    void refusedRunKeepsTheWindow() {
        Shop shop;
        fixtures::record(shop.t.databasePath(), {{1, "Admin", kToday, QTime(9, 0), "10"}});
        fixtures::refuseCajaRows(shop.t.databasePath(), QStringLiteral("1"));
        formCaja *caja = shop.open();
        caja->cmdProcesar_Click();
        QCOMPARE(shop.t.messages.messages.size(), 1);
        QVERIFY(shop.t.messages.messages[0].startsWith(QStringLiteral("No se pudo hacer el cierre de caja")));
        QCOMPARE(caja->txtTotal->text(), QStringLiteral("0"));
        QVERIFY(caja->cmdProcesar->isEnabled() && caja->cmdSalir->isEnabled());
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
            QVERIFY(caja && caja->isVisible() && !shop.main.isEnabled());
            const QStringList boxes{caja->txtFecha1->text(), caja->txtHora1->text(), caja->txtFecha2->text(),
                                    caja->txtHora2->text(),  caja->txtTotal->text(), caja->txtTotalUsuario->text()};
            QCOMPARE(boxes, QStringList({"5/12/26", "08:00:00 AM", "5/12/26", "04:00:00 PM", "0", "0"}));
            QCOMPARE(gridRows(caja->dgLudomat), 0);
        };
        QPointer<formCaja> caja = shop.open();
        fresh(caja);
        QCOMPARE(caja->windowTitle(), QStringLiteral("Cierre de Caja"));
        QCOMPARE(caja->size(), QSize(559, 417));
        QCOMPARE(caja->lblUsuario->text(), QStringLiteral("Admin"));
        QCOMPARE(caja->dgCaption->text(), QStringLiteral("Puestos habiltados entre las fechas y horas asignadas"));
        // Caption bar and rows together fill the grid's rectangle.
        QCOMPARE(caja->dgCaption->geometry().united(caja->dgLudomat->geometry()), QRect(24, 160, 489, 185));
        // A second press while it is open only brings it forward.
        shop.main.cmdCierreCaja_Click();
        QCOMPARE(shop.main.cajaWindow.data(), caja.data());

        caja->txtFecha1->setText(QStringLiteral("1/12/26"));
        caja->cmdProcesar_Click();
        QCOMPARE(shop.caja().size(), 1);
        if (closeBox) {
            QVERIFY(caja->close());
        } else {
            QTest::mouseClick(caja->cmdSalir, Qt::LeftButton);
        }
        QVERIFY(shop.caja().isEmpty());
        QVERIFY(shop.main.isEnabled());
        QTRY_VERIFY(!caja && !shop.main.cajaWindow);
        fresh(shop.open());
        QVERIFY(shop.t.messages.messages.isEmpty());
        shop.main.cajaWindow->cmdSalir_Click();
    }
};

QTEST_MAIN(FormCajaTest)
#include "tst_form_caja.moc"
