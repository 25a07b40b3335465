// Hostile text in every box the operator can type into: quotes, statement pieces, a date
// literal, a long string, control characters and non-Latin text. An account is stored exactly
// as typed or refused with a message; the cash close and the new rate refuse what is not a
// date, a time or a number, and nothing else in the file ever changes.
#include "TestSupport.h"
#include "accounts/formUsuario.h"
#include "cash_close/formCaja.h"
#include "data/Database.h"
#include "data/Statements.h"
#include "rate/frmTarifa.h"
#include "stations/formLudomat2.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QtTest>
#include <algorithm>

namespace {

QStringList dump(const QString &path, const QString &table) {
    auto db = data::Database::open(path);
    data::Recordset r = db->openRecordset(QStringLiteral("SELECT * FROM ") + table);
    QStringList rows;
    for (; !r.isEof(); r.moveNext()) {
        QStringList cells;
        for (const QString &column : r.columnNames()) {
            cells << r.field(column).toString();
        }
        rows << cells.join(QLatin1Char('|'));
    }
    db->close();
    rows.sort();
    return rows;
}

// Types the text as the operator would where QTest can (printable Latin-1), else sets it.
void type(QWidget *box, const QString &text) {
    auto *combo = qobject_cast<QComboBox *>(box);
    QLineEdit *edit = combo ? combo->lineEdit() : qobject_cast<QLineEdit *>(box);
    if (combo) {
        combo->setCurrentIndex(-1);
    }
    edit->clear();
    const bool typeable = text.size() <= 200 && std::all_of(text.begin(), text.end(), [](QChar c) {
                              return c.unicode() >= 0x20 && c.unicode() < 0x7f;
                          });
    if (typeable) {
        QTest::keyClicks(edit, text);
    } else {
        edit->setText(text);
    }
    QCOMPARE(edit->text(), text); // the box holds what was meant, or the case proves nothing
}

// A main window on a fresh program folder, with a rental already recorded.
struct Shop {
    testing::TestPlatform t;
    std::unique_ptr<formLudomat2> main;
    Shop() {
        auto db = data::Database::open(t.databasePath());
        db->execute(statements::alquilerInsert(1, true, QStringLiteral("Admin"), 5, QStringLiteral("Dec"), 2026,
                                               QStringLiteral("10:00:00"), QStringLiteral("1"), QStringLiteral("0"),
                                               QStringLiteral("12.5")));
        db->close();
        main = std::make_unique<formLudomat2>(t.platform);
        main->Form_Load();
        main->Timer1->stop();
    }
    ~Shop() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete main->cajaWindow.data();
        delete main->tarifaWindow.data();
    }
    QString path() const { return t.databasePath(); }
    QStringList &said() { return t.messages.messages; }
};

} // namespace

class HostileInputTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void cleanupTestCase() {
        qInfo("hostile (text, box) pairs tried: %d; accounts stored exactly: %d, refused: %d", pairs, stored, refused);
    }

    void hostile_data() {
        QTest::addColumn<QString>("text");
        QString long10k;
        while (long10k.size() < 10 * 1024) {
            long10k += QStringLiteral("O'Brien; DROP TABLE Alquiler -- #1/1/2000# ");
        }
        const struct {
            const char *name;
            QString text;
        } table[] = {
            {"quote", QStringLiteral("'")},
            {"O'Brien", QStringLiteral("O'Brien")},
            {"or true", QStringLiteral("' OR '1'='1")},
            {"delete", QStringLiteral("'; DELETE * FROM Alquiler; --")},
            {"drop", QStringLiteral("; DROP TABLE Usuarios")},
            {"select", QStringLiteral("SELECT * FROM Usuarios")},
            {"double quote", QStringLiteral("\"Admin\" --")},
            {"date literal", QStringLiteral("#5/Dec/2026#")},
            {"10 KB", long10k},
            {"control characters", QStringLiteral("a\tb\nc\x01"
                                                  "d\x7f")},
            {"non-Latin", QStringLiteral("Ελληνικά 中文 العربية")},
            {"emoji", QStringLiteral("🎲🕹️")},
            {"empty", QString()},
        };
        for (const auto &row : table) {
            QTest::newRow(row.name) << row.text;
        }
    }

    // combUsuario, txtUsuario and maskContraseña.
    void accounts_data() { hostile_data(); }
    void accounts() {
        QFETCH(QString, text);
        Shop shop;
        const QString usuarios = QStringLiteral("Usuarios");
        const QStringList accountsBefore = dump(shop.path(), usuarios);
        const QStringList rentals = dump(shop.path(), QStringLiteral("Alquiler"));
        formUsuario *u = shop.main->usuarioWindow;

        // Typed in the sign-in box, it names no account: nobody signs in, nothing goes.
        type(u->combUsuario, text);
        type(u->maskContrasena, QStringLiteral("admin"));
        u->cmdAceptar_Click();
        type(u->combUsuario, text);
        type(u->maskContrasena, QStringLiteral("admin"));
        u->cmdBorrar_Click();
        QCOMPARE(shop.said(), QStringList(2, QStringLiteral("Debe seleccionar un Usuario")));
        shop.said().clear();

        // As the new account's name and password.
        u->combUsuario->setCurrentIndex(u->combUsuario->findText(QStringLiteral("Admin")));
        type(u->maskContrasena, QStringLiteral("admin"));
        u->cmdAgregar_Click();
        QCOMPARE(u->mode(), formUsuario::Mode::NewAccount);
        type(u->txtUsuario, text);
        type(u->maskContrasena, text);
        u->cmdGuardar_Click();
        pairs += 3;
        QCOMPARE(dump(shop.path(), QStringLiteral("Alquiler")), rentals);
        if (!shop.said().isEmpty()) {
            ++refused;
            // Refused on purpose, never because the engine choked on the statement.
            QVERIFY2(!shop.said().first().startsWith(QStringLiteral("No se pudo")), qPrintable(shop.said().first()));
            QCOMPARE(u->mode(), formUsuario::Mode::NewAccount);
            QCOMPARE(u->txtUsuario->text(), text);
            QCOMPARE(dump(shop.path(), usuarios), accountsBefore);
            return;
        }
        ++stored;
        // Exactly one row more, named exactly as typed; the sign-in below checks its hash against the
        // typed password (accounts::verifyPassword), which spares a slow hash here.
        QStringList accountsAfter = dump(shop.path(), usuarios);
        for (const QString &row : accountsBefore) {
            QVERIFY(accountsAfter.removeOne(row));
        }
        QCOMPARE(accountsAfter.size(), 1);
        int named = 0;
        auto db = data::Database::open(shop.path());
        for (auto r = db->openRecordset(statements::usuariosList()); !r.isEof(); r.moveNext()) {
            named += r.field(QStringLiteral("Usuario")).toString() == text ? 1 : 0;
        }
        db->close();
        QCOMPARE(named, 1);

        // It signs in by its typed name and password...
        QCOMPARE(u->mode(), formUsuario::Mode::SignIn);
        type(u->combUsuario, text);
        type(u->maskContrasena, text);
        u->cmdAceptar_Click();
        QCOMPARE(shop.said(), QStringList());
        QCOMPARE(shop.main->lblUsuario->text(), text);
        QVERIFY(shop.main->isEnabled());

        // ...and the administrator deletes it, leaving Usuarios as it was.
        shop.main->cmdUsuario_Click();
        u = shop.main->usuarioWindow;
        type(u->combUsuario, text);
        type(u->maskContrasena, QStringLiteral("admin"));
        u->cmdBorrar_Click();
        QCOMPARE(shop.said(), QStringList(QStringLiteral("El Usuario: %1 ha sido eliminado.").arg(text)));
        QCOMPARE(dump(shop.path(), usuarios), accountsBefore);
        QCOMPARE(dump(shop.path(), QStringLiteral("Alquiler")), rentals);
    }

    // txtHora1, txtHora2, txtFecha1 and txtFecha2.
    void cashClose_data() { hostile_data(); }
    void cashClose() {
        QFETCH(QString, text);
        Shop shop;
        shop.main->lblUsuario->setText(QStringLiteral("Admin"));
        shop.main->cmdCierreCaja_Click();
        formCaja *caja = shop.main->cajaWindow;
        caja->cmdProcesar_Click(); // an earlier run: its rows and totals must stay
        QCOMPARE(shop.said(), QStringList());
        const QStringList caja0 = dump(shop.path(), QStringLiteral("Caja"));
        QCOMPARE(caja0.size(), 1);
        const QString totals = caja->txtTotal->text() + QLatin1Char('/') + caja->txtTotalUsuario->text();
        const struct {
            QLineEdit *box;
            const char *named;
        } boxes[] = {{caja->txtHora1, "La hora «Desde»"},
                     {caja->txtHora2, "La hora «hasta»"},
                     {caja->txtFecha1, "La fecha «Desde»"},
                     {caja->txtFecha2, "La fecha «hasta»"}};
        for (const auto &b : boxes) {
            const QString good = b.box->text();
            type(b.box, text);
            shop.said().clear();
            QTest::mouseClick(caja->cmdProcesar, Qt::LeftButton);
            QCOMPARE(shop.said().size(), 1);
            QVERIFY2(shop.said().first().startsWith(QString::fromUtf8(b.named)), qPrintable(shop.said().first()));
            QCOMPARE(dump(shop.path(), QStringLiteral("Caja")), caja0);
            QCOMPARE(caja->txtTotal->text() + QLatin1Char('/') + caja->txtTotalUsuario->text(), totals);
            b.box->setText(good);
            ++pairs;
        }
    }

    // txtPesos1, txtMinutos1, txtPesos2 and txtMinutos2.
    void rate_data() { hostile_data(); }
    void rate() {
        QFETCH(QString, text);
        Shop shop;
        shop.main->cmdTarifa_Click();
        QPointer<frmTarifa> tarifa = shop.main->tarifaWindow;
        const QStringList before = dump(shop.path(), QStringLiteral("Tarifa"));
        for (QLineEdit *box : {tarifa->txtPesos2, tarifa->txtMinutos2}) {
            tarifa->txtPesos2->setText(QStringLiteral("7.5"));
            tarifa->txtMinutos2->setText(QStringLiteral("45"));
            type(box, text);
            shop.said().clear();
            QTest::mouseClick(tarifa->cmdGuardar, Qt::LeftButton);
            QCOMPARE(shop.said().size(), 1);
            QVERIFY2(shop.said().first().startsWith(box == tarifa->txtPesos2 ? QStringLiteral("El importe")
                                                                             : QStringLiteral("Los minutos")),
                     qPrintable(shop.said().first()));
            QCOMPARE(dump(shop.path(), QStringLiteral("Tarifa")), before);
            QVERIFY(!tarifa->isUnloading());
            ++pairs;
        }
        // The current rate's boxes are only shown: what is typed there is never saved.
        type(tarifa->txtPesos1, text);
        type(tarifa->txtMinutos1, text);
        tarifa->txtPesos2->setText(QStringLiteral("7.5"));
        tarifa->txtMinutos2->setText(QStringLiteral("45"));
        shop.said().clear();
        QTest::mouseClick(tarifa->cmdGuardar, Qt::LeftButton);
        QCOMPARE(shop.said().size(), 1);
        QVERIFY(shop.said().first().startsWith(QStringLiteral("Para que los cambios")));
        auto db = data::Database::open(shop.path());
        auto r = db->openRecordset(statements::tarifaEditorSelect());
        QCOMPARE(r.recordCount(), 1);
        QCOMPARE(r.field(QStringLiteral("Minutos")).toInt(), 45);
        QCOMPARE(r.field(QStringLiteral("Pesos")).toDouble(), 7.5);
        pairs += 2;
    }

private:
    int pairs = 0;
    int stored = 0;
    int refused = 0;
};

QTEST_MAIN(HostileInputTest)
#include "tst_hostile_input.moc"
