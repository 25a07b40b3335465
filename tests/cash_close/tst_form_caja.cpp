// The cash-close window: layout, the run from its buttons, bad boxes, leaving it, the grid.
#include "CashCloseFixtures.h"
#include "TestSupport.h"
#include "cash_close/formCaja.h"
#include "stations/formLudomat2.h"

#include <QAbstractItemModel>
#include <QHeaderView>
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
};

void setPeriod(formCaja *caja, const QString &from, const QString &hora1, const QString &to, const QString &hora2) {
    caja->txtFecha1->setText(from);
    caja->txtHora1->setText(hora1);
    caja->txtFecha2->setText(to);
    caja->txtHora2->setText(hora2);
}

QString cell(const QTableView *grid, int row, int column) {
    return grid->model()->index(row, column).data().toString();
}

} // namespace

class FormCajaTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("es_AR"))); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void opensLaidOutAndLocksTheMainWindow() {
        Shop shop;
        formCaja *caja = shop.open();
        QVERIFY(caja);
        QVERIFY(caja->isVisible());
        QVERIFY(!shop.main.isEnabled());
        QCOMPARE(caja->windowTitle(), QStringLiteral("Cierre de Caja"));
        QCOMPARE(caja->size(), QSize(559, 417));
        QCOMPARE(caja->lblUsuario->text(), QStringLiteral("Admin"));
        QCOMPARE(caja->txtFecha1->text(), QStringLiteral("5/12/26"));
        QCOMPARE(caja->txtFecha2->text(), QStringLiteral("5/12/26"));
        QCOMPARE(caja->txtHora1->text(), QStringLiteral("08:00:00 AM"));
        QCOMPARE(caja->txtHora2->text(), QStringLiteral("04:00:00 PM"));
        QCOMPARE(caja->txtTotal->text(), QStringLiteral("0"));
        QCOMPARE(caja->txtTotalUsuario->text(), QStringLiteral("0"));
        QCOMPARE(caja->cmdProcesar->text(), QStringLiteral("&Procesar Datos"));
        QCOMPARE(caja->cmdSalir->text(), QStringLiteral("&Salir"));
        QCOMPARE(caja->dgCaption->text(), QStringLiteral("Puestos habiltados entre las fechas y horas asignadas"));
        QCOMPARE(caja->lblTotal->text(), QStringLiteral("Total Facturado: $"));
        QCOMPARE(caja->lblTotalUsuario->text(), QStringLiteral("Total Facturado Usuario: $"));
        QCOMPARE(caja->txtHora1->geometry(), QRect(80, 80, 89, 19));
        QCOMPARE(caja->txtFecha2->geometry(), QRect(264, 104, 89, 25));
        QCOMPARE(caja->cmdSalir->geometry(), QRect(360, 104, 137, 25));
        QCOMPARE(caja->txtTotalUsuario->geometry(), QRect(448, 376, 57, 24));
        // Caption bar and rows together fill the grid's rectangle.
        QCOMPARE(caja->dgCaption->geometry().united(caja->dgLudomat->geometry()), QRect(24, 160, 489, 185));
        QVERIFY(!caja->dgLudomat->model() || caja->dgLudomat->model()->rowCount() == 0);
        // A second press while it is open only brings it forward.
        shop.main.cmdCierreCaja_Click();
        QCOMPARE(shop.main.cajaWindow.data(), caja);
    }

    void processTotalsAndGrid() {
        Shop shop;
        fixtures::record(shop.t.databasePath(),
                         {
                             {3, "Admin", QDate(2026, 3, 2), QTime(14, 5, 9), "7.5", true, "1", "25"},
                             {1, "Ana", QDate(2026, 2, 28), QTime(9, 0), "150"},
                             {2, "admin", QDate(2026, 3, 1), QTime(10, 0), "2.25"},
                             {4, "Admin", QDate(2026, 2, 28), QTime(7, 0), "1000"},
                         });
        formCaja *caja = shop.open();
        setPeriod(caja, QStringLiteral("28/2/26"), QStringLiteral("08:00:00 AM"), QStringLiteral("2026-03-03"),
                  QStringLiteral("04:00:00 PM"));
        QTest::mouseClick(caja->cmdProcesar, Qt::LeftButton);
        QVERIFY2(shop.t.messages.messages.isEmpty(), qPrintable(shop.t.messages.messages.join('\n')));
        QCOMPARE(caja->txtTotal->text(), QStringLiteral("159,75"));
        QCOMPARE(caja->txtTotalUsuario->text(), QStringLiteral("7,5"));

        const QTableView *grid = caja->dgLudomat;
        QVERIFY(grid->model());
        QCOMPARE(grid->model()->rowCount(), 3);
        QCOMPARE(grid->model()->columnCount(), 7);
        const QStringList heads{"Puesto", "Modo", "Usuario", "Fecha", "Hora", "Tiempo", "Importe"};
        const int widths[7] = {53, 53, 66, 66, 73, 73, 60};
        const Qt::Alignment aligns[7] = {Qt::AlignHCenter, Qt::AlignLeft,    Qt::AlignLeft, Qt::AlignHCenter,
                                         Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignRight};
        for (int c = 0; c < 7; ++c) {
            QCOMPARE(grid->model()->headerData(c, Qt::Horizontal).toString(), heads[c]);
            QCOMPARE(grid->columnWidth(c), widths[c]);
            const auto align = Qt::Alignment(grid->model()->index(0, c).data(Qt::TextAlignmentRole).toInt());
            QCOMPARE(align & Qt::AlignHorizontal_Mask, aligns[c]);
        }
        // Rows by date, dates and times in the regional forms.
        QCOMPARE(cell(grid, 0, 3), QStringLiteral("28/2/26"));
        QCOMPARE(cell(grid, 1, 3), QStringLiteral("1/3/26"));
        QCOMPARE(cell(grid, 2, 3), QStringLiteral("2/3/26"));
        QCOMPARE(cell(grid, 2, 0), QStringLiteral("3"));
        QCOMPARE(cell(grid, 2, 1), QStringLiteral("Contador"));
        QCOMPARE(cell(grid, 2, 2), QStringLiteral("Admin"));
        QCOMPARE(cell(grid, 2, 4), QStringLiteral("14:05:09"));
        QCOMPARE(cell(grid, 2, 5), QStringLiteral("1:25:00"));
        QCOMPARE(cell(grid, 2, 6), QStringLiteral("7,5"));

        // Twice the same: the same totals, not double.
        QTest::mouseClick(caja->cmdProcesar, Qt::LeftButton);
        QCOMPARE(caja->txtTotal->text(), QStringLiteral("159,75"));
        QCOMPARE(grid->model()->rowCount(), 3);
        QVERIFY(caja->cmdProcesar->isEnabled());
    }

    void twelveHourLocaleShowsItsOwnForms() {
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        Shop shop;
        fixtures::record(shop.t.databasePath(), {{1, "Admin", kToday, QTime(14, 5, 9), "150"}});
        formCaja *caja = shop.open();
        QCOMPARE(caja->txtFecha1->text(), QStringLiteral("12/5/26"));
        caja->cmdProcesar_Click();
        QCOMPARE(caja->txtTotal->text(), QStringLiteral("150"));
        QCOMPARE(cell(caja->dgLudomat, 0, 4), QStringLiteral("2:05:09 PM"));
    }

    void badBoxesRefusedBeforeAnyStatement_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("named");
        QTest::newRow("start date, words") << "txtFecha1"
                                           << "ayer"
                                           << "fecha «Desde»";
        QTest::newRow("end date, 31 November") << "txtFecha2"
                                               << "31/11/26"
                                               << "fecha «hasta»";
        QTest::newRow("end date, empty") << "txtFecha2"
                                         << ""
                                         << "fecha «hasta»";
        QTest::newRow("start time, 25 hours") << "txtHora1"
                                              << "25:00:00"
                                              << "hora «Desde»";
        QTest::newRow("start time, text") << "txtHora1"
                                          << "temprano"
                                          << "hora «Desde»";
        QTest::newRow("end time, injection") << "txtHora2"
                                             << "04:00:00 PM# OR Hora > #0:00"
                                             << "hora «hasta»";
        QTest::newRow("end time, 13 PM") << "txtHora2"
                                         << "13:00 PM"
                                         << "hora «hasta»";
    }

    void badBoxesRefusedBeforeAnyStatement() {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, named);
        Shop shop;
        fixtures::record(shop.t.databasePath(),
                         {{1, "Admin", kToday, QTime(9, 0), "10"}, {2, "Admin", kToday, QTime(10, 0), "5"}});
        formCaja *caja = shop.open();
        caja->cmdProcesar_Click();
        QCOMPARE(caja->txtTotal->text(), QStringLiteral("15"));
        // A new rental after the run: a run that went ahead would show it.
        fixtures::record(shop.t.databasePath(), {{3, "Admin", kToday, QTime(11, 0), "100"}});
        const QStringList before = fixtures::cajaRows(shop.t.databasePath());

        caja->findChild<QLineEdit *>(box)->setText(text);
        QTest::mouseClick(caja->cmdProcesar, Qt::LeftButton);
        QCOMPARE(shop.t.messages.messages.size(), 1);
        QVERIFY2(shop.t.messages.messages[0].contains(named), qPrintable(shop.t.messages.messages[0]));
        QVERIFY(shop.t.messages.messages[0].contains(QStringLiteral("«%1»").arg(text)));
        QCOMPARE(fixtures::cajaRows(shop.t.databasePath()), before);
        QCOMPARE(caja->txtTotal->text(), QStringLiteral("15"));
        QCOMPARE(caja->txtTotalUsuario->text(), QStringLiteral("15"));
        QCOMPARE(caja->dgLudomat->model()->rowCount(), 2);
    }

    void refusedStatementKeepsWindowAndCaja() {
        Shop shop;
        fixtures::record(shop.t.databasePath(), {{1, "Admin", kToday, QTime(9, 0), "10"}});
        formCaja *caja = shop.open();
        caja->cmdProcesar_Click();
        fixtures::rawSql(shop.t.databasePath(), QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Caja WHEN "
                                                               "NEW.Importe = 99 BEGIN SELECT RAISE(ABORT, 'x'); END"));
        fixtures::record(shop.t.databasePath(), {{2, "Admin", kToday, QTime(9, 30), "99"}});
        caja->cmdProcesar_Click();
        QCOMPARE(shop.t.messages.messages.size(), 1);
        QVERIFY(shop.t.messages.messages[0].startsWith(QStringLiteral("No se pudo hacer el cierre de caja")));
        QCOMPARE(fixtures::cajaRows(shop.t.databasePath()), QStringList{"2026-12-05 09:00:00 Admin 10"});
        QCOMPARE(caja->txtTotal->text(), QStringLiteral("10"));
        QVERIFY(caja->cmdProcesar->isEnabled());
        QVERIFY(caja->cmdSalir->isEnabled());
    }

    void leavingEmptiesCajaAndReopensAfresh_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Salir") << false;
        QTest::newRow("title-bar close box") << true;
    }

    void leavingEmptiesCajaAndReopensAfresh() {
        QFETCH(bool, closeBox);
        Shop shop;
        fixtures::record(shop.t.databasePath(), {{1, "Admin", kToday, QTime(9, 0), "10"}});
        QPointer<formCaja> caja = shop.open();
        caja->txtFecha1->setText(QStringLiteral("1/12/26"));
        caja->cmdProcesar_Click();
        QCOMPARE(fixtures::cajaRows(shop.t.databasePath()).size(), 1);
        if (closeBox) {
            QVERIFY(caja->close());
        } else {
            QTest::mouseClick(caja->cmdSalir, Qt::LeftButton);
        }
        QVERIFY(fixtures::cajaRows(shop.t.databasePath()).isEmpty());
        QVERIFY(shop.main.isEnabled());
        QTRY_VERIFY(!caja);
        QVERIFY(!shop.main.cajaWindow);

        formCaja *again = shop.open();
        QVERIFY(again);
        QCOMPARE(again->txtFecha1->text(), QStringLiteral("5/12/26"));
        QCOMPARE(again->txtTotal->text(), QStringLiteral("0"));
        QCOMPARE(again->txtTotalUsuario->text(), QStringLiteral("0"));
        QVERIFY(!again->dgLudomat->model() || again->dgLudomat->model()->rowCount() == 0);
        QVERIFY(shop.t.messages.messages.isEmpty());
        again->cmdSalir_Click();
    }
};

QTEST_MAIN(FormCajaTest)
#include "tst_form_caja.moc"
