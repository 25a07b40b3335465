// Hostile text in the boxes whose text reaches the file: quotes, statement pieces, a date
// literal, a long string, control characters and non-Latin text. An account is stored exactly
// as typed (its password with a tail that makes it long enough) or refused with a message, and
// nothing else in the file ever changes. (The boxes
// that take dates, times and numbers refuse such text before any statement: tst_rate,
// tst_cash_close_input, the fuzz targets.)
#include "TestSupport.h"
#include "ui/formCaja.h"
#include "ui/formLudomat2.h"
#include "ui/formUsuario.h"
#include "ui/frmTarifa.h"

#include <QtTest>
#include <QtWidgets>
#include <algorithm>

namespace {

// Types the text as the operator would where QTest can (printable ASCII), else sets it.
void type(QWidget *box, const QString &text) {
    auto *combo = qobject_cast<QComboBox *>(box);
    QLineEdit *edit = combo ? combo->lineEdit() : qobject_cast<QLineEdit *>(box);
    if (combo) {
        combo->setCurrentIndex(-1);
    }
    edit->clear();
    if (text.size() <= 200 && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= ' ' && c < '\x7f'; })) {
        QTest::keyClicks(edit, text);
    } else {
        edit->setText(text);
    }
    QCOMPARE(edit->text(), text); // the box holds what was meant, or the case proves nothing
}

using testing::control;

// The program on a fresh program folder, with a rental already recorded.
struct Shop : testing::Shop {
    Shop() { rent(1, QStringLiteral("Admin"), QStringLiteral("10:00:00"), QStringLiteral("12.5")); }
};

void addHostileRows() {
    QTest::addColumn<QString>("text");
    QTest::newRow("quote") << QStringLiteral("'");
    QTest::newRow("O'Brien") << QStringLiteral("O'Brien");
    QTest::newRow("or true") << QStringLiteral("' OR '1'='1");
    QTest::newRow("delete") << QStringLiteral("'; DELETE * FROM Alquiler; --");
    QTest::newRow("drop") << QStringLiteral("; DROP TABLE Usuarios");
    QTest::newRow("double quote") << QStringLiteral("\"Admin\" --");
    QTest::newRow("date literal") << QStringLiteral("#5/Dec/2026#");
    QTest::newRow("10 KB") << QStringLiteral("O'Brien; DROP TABLE Alquiler -- #1/1/2000# ").repeated(240);
    QTest::newRow("control characters") << QStringLiteral("a\tb\nc\x01"
                                                          "d\x7f");
    QTest::newRow("non-Latin") << QStringLiteral("Ελληνικά 中文 العربية 🎲🕹️");
    QTest::newRow("empty") << QString();
}

} // namespace

class HostileInputTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    // combUsuario, txtUsuario and maskContraseña.
    void accounts_data() { addHostileRows(); }
    void accounts() {
        QFETCH(QString, text);
        Shop shop;
        const QStringList accountsBefore = shop.rows("Usuarios"), rentals = shop.rows("Alquiler");
        formUsuario *u = shop.desk->accountsWindow();
        const auto name = [&u] { return control<QComboBox>(u, "combUsuario"); };
        const auto secret = [&u] { return control<QLineEdit>(u, "maskContraseña"); };
        const auto click = [&u](const char *button) {
            QTest::mouseClick(control<QPushButton>(u, button), Qt::LeftButton);
        };

        // Typed in the sign-in box, it names no account: nobody signs in, nothing goes.
        for (const char *button : {"cmdAceptar", "cmdBorrar"}) {
            type(name(), text);
            type(secret(), QStringLiteral("admin"));
            click(button);
            QVERIFY2(shop.said().size() == 1 &&
                         shop.said()[0].startsWith(QStringLiteral("Debe seleccionar un Usuario")),
                     qPrintable(shop.said().join('\n')));
            shop.said().clear();
        }

        // As the new account's name and password.
        const QString password = text + QStringLiteral("-clave");
        name()->setCurrentIndex(0); // Admin
        type(secret(), QStringLiteral("admin"));
        click("cmdAgregar");
        type(control<QLineEdit>(u, "txtUsuario"), text);
        type(secret(), password);
        click("cmdGuardar");
        testing::answerPassword(u, {}, password);
        const QString made =
            QStringLiteral("La cuenta %1 fue creada. En su primer ingreso se le pedirá una contraseña propia.")
                .arg(text);
        if (shop.said() != QStringList{made}) { // refused on purpose, never because the engine choked on the statement
            QVERIFY2(!shop.said()[0].startsWith(QStringLiteral("No se pudo")), qPrintable(shop.said()[0]));
            QCOMPARE(u->mode(), formUsuario::Mode::NewAccount);
            QCOMPARE(shop.rows("Usuarios") + shop.rows("Alquiler"), accountsBefore + rentals);
            return;
        }
        shop.said().clear();
        // It signs in by exactly its typed name and password, so both were stored as typed...
        type(name(), text);
        type(secret(), password);
        click("cmdAceptar");
        QVERIFY(testing::answerPassword(u, text + QStringLiteral("-propia"), text + QStringLiteral("-propia")));
        QCOMPARE(shop.said(), QStringList());
        QCOMPARE(control<QLabel>(shop.main, "lblUsuario")->text(), text);

        // ...and the administrator deletes it, leaving Usuarios as it was.
        QVERIFY(testing::acceptFloat(*shop.desk));
        QTest::mouseClick(control<QPushButton>(shop.main, "cmdUsuario"), Qt::LeftButton);
        QVERIFY(testing::countDrawer(*shop.desk));
        u = shop.desk->accountsWindow();
        type(name(), text);
        type(secret(), QStringLiteral("admin"));
        click("cmdBorrar");
        QCOMPARE(shop.said(), QStringList(QStringLiteral("El Usuario: %1 ha sido eliminado.").arg(text)));
        QCOMPARE(shop.rows("Usuarios") + shop.rows("Alquiler"), accountsBefore + rentals);
        // The journal took the name as typed, in the entry and as the one who signed in.
        QCOMPARE(shop.rows("Registro").filter("|Cuenta=" + text + '|').size(), 1);         // deleted
        QCOMPARE(shop.rows("Registro").filter("|Cuenta=" + text + "; Huella=").size(), 1); // added
        QCOMPARE(shop.rows("Registro").filter("|" + text + "|Ingreso|").size(), 1);
    }
};

QTEST_MAIN(HostileInputTest)
#include "tst_hostile_input.moc"
