// Every caption of every window is whole, every digit of the stations' boxes in sight, and every
// window fits its screen or scrolls, whatever the scale or font resolution it runs under; Qt's
// own texts are in Spanish.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "accounts/PasswordPolicy.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "data/JournalBooks.h"
#include "stations/StationBoard.h"
#include "ui/FittedText.h"
#include "ui/SystemPlatform.h"
#include "ui/Translations.h"
#include "ui/formCaja.h"
#include "ui/formLudomat2.h"
#include "ui/formUsuario.h"
#include "ui/frmGraficos.h"
#include "ui/frmRegistro.h"
#include "ui/frmTarifa.h"

#include <QtTest>
#include <QtWidgets>

namespace {

QString withoutAccessKeys(QString text) {
    text.replace(QStringLiteral("&&"), QChar(1));
    text.remove(QLatin1Char('&'));
    return text.replace(QChar(1), QLatin1Char('&'));
}

// The cells of a grid or a list whose text is wider than the room its column leaves it: every
// amount of the cash close's grid and summary whole.
QString cutCells(const QAbstractItemView *view) {
    const int margins = 2 * (view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1);
    QStringList cut;
    std::function<void(const QModelIndex &, int)> walk = [&](const QModelIndex &parent, int depth) {
        const QAbstractItemModel *model = view->model();
        for (int r = 0; r < model->rowCount(parent); ++r) {
            for (int c = 0; c < model->columnCount(parent); ++c) {
                const QModelIndex at = model->index(r, c, parent);
                const QString text = at.data().toString();
                int room = 0;
                if (const auto *table = qobject_cast<const QTableView *>(view))
                    room = table->columnWidth(c) - margins;
                else if (const auto *tree = qobject_cast<const QTreeView *>(view))
                    room = tree->columnWidth(c) - margins - depth * tree->indentation();
                const int width = view->fontMetrics().horizontalAdvance(text);
                // A free text whose whole is in its tooltip (the journal's details) may be cut.
                if (width > room && at.data(Qt::ToolTipRole).toString() != text)
                    cut << QStringLiteral("«%1» %2 px in %3 px").arg(text).arg(width).arg(room);
                walk(at, depth + 1);
            }
        }
    };
    walk({}, 0);
    cut.removeDuplicates();
    return cut.join(QStringLiteral(", "));
}

// The caption's advance width against the room the style leaves it; empty when it fits.
QString clipped(const QWidget *control) {
    QString text;
    int room = 0;
    QStyleOptionButton option;
    option.initFrom(control);
    if (const auto *push = qobject_cast<const QPushButton *>(control)) {
        text = push->text();
        option.features = push->autoDefault() ? QStyleOptionButton::AutoDefaultButton : QStyleOptionButton::None;
        room = control->style()->subElementRect(QStyle::SE_PushButtonContents, &option, control).width();
    } else if (const auto *radio = qobject_cast<const QRadioButton *>(control)) {
        text = radio->text();
        room = control->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, control).width();
    } else if (const auto *label = qobject_cast<const QLabel *>(control)) {
        if (label->wordWrap())
            return label->heightForWidth(label->width()) <= label->height() ? QString() : label->text();
        text = label->text();
        room = label->contentsRect().width() - 2 * label->margin();
    } else if (const auto *box = qobject_cast<const QGroupBox *>(control); box && !box->title().isEmpty()) {
        return box->minimumSizeHint().width() <= box->width() ? QString() : box->title();
    } else if (const auto *edit = qobject_cast<const QLineEdit *>(control)) {
        text = edit->text(); // a station's display box, a total: every digit in sight
        room = ui::textRoom(edit);
    } else if (const auto *view = qobject_cast<const QAbstractItemView *>(control);
               view && view->model() && !qobject_cast<const QHeaderView *>(view)) {
        return cutCells(view);
    } else {
        return {};
    }
    const int width = control->fontMetrics().horizontalAdvance(withoutAccessKeys(text));
    return width <= room ? QString() : QStringLiteral("«%1» %2 px in %3 px").arg(text).arg(width).arg(room);
}

// Shows the window and lists what is wrong with it.
QStringList faults(QWidget *window) {
    window->show();
    QStringList out;
    const QRect screen = window->screen()->availableGeometry();
    if (window->width() > screen.width() || window->height() > screen.height())
        out << QStringLiteral("%1x%2 on a screen of %3x%4")
                   .arg(window->width())
                   .arg(window->height())
                   .arg(screen.width())
                   .arg(screen.height());
    const auto *area = window->findChild<QScrollArea *>(QString(), Qt::FindDirectChildrenOnly);
    if (area && window->devicePixelRatio() == 1.0 && window->logicalDpiX() == 96 && screen.width() == 1280)
        out << QStringLiteral("scrolls at 96 dpi on 1280x800");
    // Controls sit in the window or in its scroll area's contents, never past their edge.
    const QWidget *holders[] = {window, area ? area->widget() : window};
    for (const QWidget *holder : holders) {
        for (const QWidget *control : holder->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            const QRect at = control->geometry();
            if (!control->isWindow() && control->isVisibleTo(window) &&
                (at.right() >= holder->width() || at.bottom() >= holder->height()))
                out << control->objectName() + QStringLiteral(" out of reach");
        }
    }
    for (const QWidget *control : window->findChildren<QWidget *>())
        if (const QString problem = clipped(control);
            control->window() == window && control->isVisibleTo(window) && !problem.isEmpty())
            out << control->objectName() + QLatin1Char(' ') + problem;
    for (QString &fault : out)
        fault.prepend(window->objectName() + QStringLiteral(": "));
    return out;
}

} // namespace

class CaptionsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        const QScreen *screen = QGuiApplication::primaryScreen();
        QCOMPARE((QSizeF(screen->geometry().size()) * screen->devicePixelRatio()).toSize(), QSize(1280, 800));
        QVERIFY(ui::installSpanishQtTexts());
    }

    // Qt's own buttons in Spanish; the program's boxes have a plain "Aceptar", also under a style that puts icons on
    // the standard buttons: waiting for the operator and posted alike.
    void plainMessageBoxButtons() {
        class IconStyle final : public QProxyStyle {
        public:
            using QProxyStyle::QProxyStyle;
            int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                          QStyleHintReturn *returned) const override {
                return hint == SH_DialogButtonBox_ButtonsHaveIcons
                           ? 1
                           : QProxyStyle::styleHint(hint, option, widget, returned);
            }
        };
        const QString before = QApplication::style()->name();
        QApplication::setStyle(new IconStyle(QStyleFactory::create(before)));
        const auto restore = qScopeGuard([before] { QApplication::setStyle(QStyleFactory::create(before)); });
        QMessageBox plain(QMessageBox::NoIcon, QStringLiteral("Ludomat"), QStringLiteral("Hola"), QMessageBox::Ok);
        QVERIFY(!plain.button(QMessageBox::Ok)->icon().isNull()); // what the style puts there

        const auto shownBox = [] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
                    return box;
            return static_cast<QMessageBox *>(nullptr);
        };
        QStringList shown;
        const auto answer = [&] {
            QMessageBox *box = shownBox();
            QVERIFY(box);
            shown << withoutAccessKeys(box->button(QMessageBox::Ok)->text()) +
                         (box->button(QMessageBox::Ok)->icon().isNull() ? "" : " with an icon");
            box->accept();
        };
        ui::MessageBoxPresenter presenter;
        QTimer::singleShot(0, this, answer);
        presenter.showMessage(nullptr, QStringLiteral("Hola"));
        presenter.postMessage(nullptr, QStringLiteral("Hola"), {});
        QTRY_VERIFY(shownBox());
        answer();
        QCOMPARE(shown, QStringList({"Aceptar", "Aceptar"}));
        QDialogButtonBox buttons(QDialogButtonBox::Cancel);
        QCOMPARE(withoutAccessKeys(buttons.button(QDialogButtonBox::Cancel)->text()), QStringLiteral("Cancelar"));
    }

    void everyWindow() {
        using testing::control;
        testing::Shop shop;
        formLudomat2 *main = shop.main;
        formUsuario *accounts = shop.desk->accountsWindow();
        QStringList found = faults(accounts);
        control<QComboBox>(accounts, "combUsuario")->setCurrentText(QStringLiteral("Admin"));
        control<QLineEdit>(accounts, "maskContraseña")->setText(accounts::kDeliveredAdminPassword);
        QTest::mouseClick(control<QPushButton>(accounts, "cmdAgregar"), Qt::LeftButton);
        QCOMPARE(accounts->mode(), formUsuario::Mode::NewAccount);
        found << faults(accounts);
        QTest::mouseClick(control<QPushButton>(accounts, "cmdCancelar"), Qt::LeftButton);
        testing::signIn(*shop.desk);
        found << faults(main);
        testing::press(*shop.desk, 0); // a running station's caption, left open for six weeks
        // The widest money a 24-block rental reaches below 10^9 a block, and the longest block.
        shop.board().setRate({1365, 99999999999});
        QTest::mouseClick(control<QRadioButton>(main, "optModo", 2), Qt::LeftButton);
        control<QScrollBar>(main, "vsTiempo", 1)->setValue(24);
        QTest::mouseClick(control<QRadioButton>(main, "optModo", 4), Qt::LeftButton);
        shop.tick(999 * 3600 + 59 * 60 + 59);
        QCOMPARE(control<QLineEdit>(main, "txtPesos", 1)->text() + u' ' +
                     control<QLineEdit>(main, "txtMinuto", 2)->text() + u' ' +
                     control<QLineEdit>(main, "txtHora", 0)->text(),
                 QStringLiteral("23999999999.76 1365 999"));
        found << faults(main);

        // A thousand such rentals and one more: the widest amounts in the grid, the totals and
        // the summary. The rate window shows the largest price it takes.
        const QByteArray today = shop.t.clock.today().toString(Qt::ISODate).toLatin1();
        const QByteArray sql =
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000) "
            "INSERT INTO Alquiler SELECT 2, 'Prepago', 'Admin', '" +
            today + "', '10:00:00', '546:00:00', 23999999999.76 FROM n; " +
            "INSERT INTO Alquiler VALUES (3, 'Contador', 'Admin', '" + today +
            "', '11:00:00', '00:40:00', 19.99); UPDATE Tarifa SET Minutos = 1365, Pesos = 999999999.99";
        QCOMPARE(execRaw(shop.t.databasePath(), sql.constData()), SQLITE_OK);
        // Journaled as the program journals them: the cash close's check of the books agrees.
        auto db = data::Database::open(shop.t.databasePath());
        data::runInTransaction(*db, [&] {
            const QString day = QString::fromLatin1(today);
            for (int i = 0; i <= 1000; ++i) {
                journal::append(
                    *db, shop.t.clock.now, "Admin", journal::event::kRentalRecorded, i < 1000 ? 2 : 3,
                    i < 1000
                        ? journal::rentalDetail("2", "Prepago", "Admin", day, "10:00:00", "546", "0", "23999999999.76")
                        : journal::rentalDetail("3", "Contador", "Admin", day, "11:00:00", "0", "40", "19.99"));
            }
            journal::append(*db, shop.t.clock.now, "Admin", journal::event::kRateChanged, 0,
                            "Antes: 30 minutos por 10; ahora: 1365 minutos por 999999999.99");
        });
        db.reset();
        QTest::mouseClick(control<QPushButton>(main, "cmdTarifa"), Qt::LeftButton);
        QCOMPARE(control<QLineEdit>(shop.desk->rateWindow(), "txtPesos1")->text(), QStringLiteral("999999999.99"));
        found << faults(shop.desk->rateWindow());
        QTest::mouseClick(control<QPushButton>(main, "cmdCierreCaja"), Qt::LeftButton);
        formCaja *caja = shop.desk->cashCloseWindow();
        testing::control<QLineEdit>(caja, "txtHora1")->setText(QStringLiteral("00:00:00"));
        testing::control<QLineEdit>(caja, "txtHora2")->setText(QStringLiteral("23:59:59"));
        QVERIFY(testing::runCashClose(caja));
        QVERIFY(caja->report());
        QCOMPARE(testing::control<QLineEdit>(caja, "txtTotal")->text() + u' ' +
                     testing::control<QLineEdit>(caja, "txtTotalUsuario")->text(),
                 QStringLiteral("23999999999779.99 23999999999779.99"));
        found << faults(caja);
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdRegistro"), Qt::LeftButton);
        QTRY_VERIFY(!testing::control<QLabel>(shop.desk->journalWindow(), "lblVerificacion")
                         ->text()
                         .endsWith(QStringLiteral("…")));
        found << faults(shop.desk->journalWindow());
        QTest::mouseClick(testing::control<QPushButton>(caja, "cmdGraficos"), Qt::LeftButton);
        found << faults(shop.desk->chartsWindow());
        QCOMPARE(shop.t.messages.messages, QStringList());
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(CaptionsTest)
#include "tst_captions.moc"
