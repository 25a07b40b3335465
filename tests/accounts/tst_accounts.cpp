// The accounts window driven through its widgets: sign-in, the administrator's rules, the
// mode table, and what a refused statement leaves usable.
#include "TestSupport.h"
#include "accounts/PasswordHash.h"
#include "accounts/formUsuario.h"
#include "data/Database.h"
#include "data/Statements.h"
#include "stations/formLudomat2.h"

#include <QFile>
#include <QtTest>
#include <QtWidgets>
#include <sqlite3.h>

namespace {

using Mode = formUsuario::Mode;
enum Button { Aceptar, Agregar, Borrar };

// A main window started on its own program folder, with the accounts window it opened.
// Pedro (password "pedro") is there beside Admin unless asked otherwise.
struct Session {
    testing::TestPlatform t;
    std::unique_ptr<formLudomat2> main;
    QPointer<formUsuario> u;

    explicit Session(bool withPedro = true, const char *rawSql = nullptr) {
        static const QString pedroHash = accounts::hashPassword(QStringLiteral("pedro")); // one slow hash for all
        if (withPedro)
            data::Database::open(t.databasePath())->execute(statements::usuarioInsert(1, "Pedro", pedroHash));
        if (rawSql) { // what the window's own statements cannot build, a trigger say
            sqlite3 *db = nullptr;
            sqlite3_open(t.databasePath().toUtf8().constData(), &db);
            sqlite3_exec(db, rawSql, nullptr, nullptr, nullptr);
            sqlite3_close(db);
        }
        main = std::make_unique<formLudomat2>(t.platform);
        main->Form_Load();
        u = main->usuarioWindow;
    }

    QStringList &messages() { return t.messages.messages; }
    // Chooses a list entry, or types the name when it is not one.
    void name(const QString &text) {
        u->combUsuario->setCurrentIndex(u->combUsuario->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
        if (u->combUsuario->currentIndex() < 0)
            QTest::keyClicks(u->combUsuario, text);
    }
    void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    void signIn(const QString &account, const QString &secret, Button button) {
        name(account);
        u->maskContrasena->clear();
        QTest::keyClicks(u->maskContrasena, secret);
        click(QList{u->cmdAceptar, u->cmdAgregar, u->cmdBorrar}[button]);
    }
    void create(const QString &account, const QString &secret) {
        signIn(QStringLiteral("Admin"), QStringLiteral("admin"), Agregar);
        QTest::keyClicks(u->txtUsuario, account);
        QTest::keyClicks(u->maskContrasena, secret);
        click(u->cmdGuardar);
    }
    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < u->combUsuario->count(); ++i)
            names << u->combUsuario->itemText(i);
        return names;
    }
    // Every Usuarios row, through a handle of the test's own.
    QStringList rows() const { return testing::tableRows(t.databasePath(), QStringLiteral("Usuarios")); }
    // Every control against the mode table.
    void checkMode(Mode mode) {
        const bool signIn = mode == Mode::SignIn;
        QCOMPARE(u->mode(), mode);
        QCOMPARE(u->combUsuario->isHidden(), !signIn);
        QCOMPARE(u->txtUsuario->isHidden(), signIn);
        for (QPushButton *b : {u->cmdAceptar, u->cmdAgregar, u->cmdBorrar, u->cmdSalir, u->cmdGuardar, u->cmdCancelar})
            QCOMPARE(b->isEnabled(), signIn != (b == u->cmdGuardar || b == u->cmdCancelar));
        QVERIFY(!main->isEnabled());
    }
};

} // namespace

class AccountsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // "&Aceptar", and "&Nuevo Usuario" and "&Borrar Usuario" that want the administrator's password.
    void buttons_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message"); // empty: done, silently
        const char *wrong = "La contraseña es incorrecta.";
        const char *noEntry = "Debe seleccionar un Usuario";
        const char *adminOnly = "Solo el Usuario Administrador puede crear nuevos usuarios. "
                                "Seleccione usuario Administrador e ingrese la contraseña.";
        const struct {
            const char *row;
            Button button;
            const char *name, *password, *message;
        } table[] = {
            {"sign in", Aceptar, "Pedro", "pedro", ""},
            {"sign in: password in other case", Aceptar, "Pedro", "Pedro", wrong},
            {"sign in: typed name of no account", Aceptar, "Nadie", "admin", noEntry},
            {"sign in: typed name in other case", Aceptar, "admin", "admin", noEntry},
            {"add: administrator", Agregar, "Admin", "admin", ""},
            {"add: password in other case", Agregar, "Admin", "Admin", adminOnly},
            {"add: admin password, other account", Agregar, "Pedro", "admin", adminOnly},
            {"add: typed ADMIN", Agregar, "ADMIN", "admin", adminOnly},
            {"delete: Admin, never", Borrar, "Admin", "admin", "No se puede borrar el usuario Admin"},
            {"delete: the account's own password", Borrar, "Pedro", "pedro",
             "Para eliminar la cuenta Pedro debe ingresar la contraseña de Administrador."},
            {"delete: administrator's password", Borrar, "Pedro", "admin", "El Usuario: Pedro ha sido eliminado."},
            {"delete: typed name of no account", Borrar, "Pedr", "admin", noEntry},
        };
        for (const auto &r : table)
            QTest::newRow(r.row) << int(r.button) << r.name << r.password << QString::fromUtf8(r.message);
    }

    void buttons() {
        QFETCH(int, button);
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, message);
        Session s;
        s.signIn(name, password, Button(button));
        QCOMPARE(s.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        const bool done = message.isEmpty() || message.startsWith(QStringLiteral("El Usuario"));
        QCOMPARE(s.main->lblUsuario->text(), button == Aceptar && done ? name : QStringLiteral("Usuario"));
        if (button == Aceptar && done) {
            QVERIFY(s.main->isEnabled());
            QTRY_VERIFY(s.u.isNull());
            return;
        }
        s.checkMode(button == Agregar && done ? Mode::NewAccount : Mode::SignIn);
        const bool deleted = button == Borrar && done;
        QCOMPARE(s.listed().contains(QStringLiteral("Pedro")), !deleted);
        QCOMPARE(s.rows().size(), deleted ? 1 : 2);
    }

    // Cancel, a refused save, saves, a delete and the close box: the mode table after each. Codes
    // count the rows, so a deletion lets a code repeat. Quotes reach the file exactly; passwords
    // are stored as hashes only.
    void accountsRound() {
        Session s(false);
        const QString obrien = QStringLiteral("O'Brien");
        s.create(obrien, QStringLiteral("it's'"));
        s.create(QStringLiteral("Beto"), QStringLiteral("secreto-unico"));
        s.checkMode(Mode::SignIn);
        QCOMPARE(s.listed(), (QStringList{"Admin", "Beto", obrien}));

        s.signIn(QStringLiteral("Admin"), QStringLiteral("admin"), Agregar);
        s.checkMode(Mode::NewAccount);
        QTest::keyClicks(s.u->txtUsuario, QStringLiteral("Ana"));
        s.click(s.u->cmdGuardar); // no password
        // Neither Escape nor the close box closes the window in this mode.
        QTest::keyClick(s.u->maskContrasena, Qt::Key_Escape);
        QVERIFY(!s.u->close() && s.u->isVisible());
        s.checkMode(Mode::NewAccount);
        s.click(s.u->cmdCancelar);
        s.checkMode(Mode::SignIn);
        QCOMPARE(s.u->combUsuario->currentIndex(), 0);

        s.create(QStringLiteral("Ana"), QStringLiteral("a"));
        QCOMPARE(s.rows(), (QStringList{"0|Admin|<hash>", "1|O'Brien|<hash>", "2|Beto|<hash>", "3|Ana|<hash>"}));
        s.signIn(obrien, QStringLiteral("it's'"), Aceptar);
        QCOMPARE(s.main->lblUsuario->text(), obrien);
        QPointer<formUsuario> old = s.u;
        s.click(s.main->cmdUsuario); // before the old window is gone: a fresh one opens all the same
        s.u = s.main->usuarioWindow;
        QVERIFY(s.u && s.u != old && s.u->isVisible());
        s.signIn(obrien, QStringLiteral("admin"), Borrar);
        s.checkMode(Mode::SignIn);
        QCOMPARE(s.u->combUsuario->currentText(), QStringLiteral("Admin"));
        // Dario by keyboard: Enter moves the focus on, then presses the focused button.
        s.u->maskContrasena->clear();
        QTest::keyClick(s.u->combUsuario, Qt::Key_Return);
        QCOMPARE(s.u->focusWidget(), s.u->maskContrasena);
        QTest::keyClicks(s.u->maskContrasena, QStringLiteral("admin"));
        QCOMPARE(s.u->maskContrasena->displayText(), QStringLiteral("*****"));
        QTest::keyClick(s.u->maskContrasena, Qt::Key_Enter);
        QCOMPARE(s.u->focusWidget(), s.u->cmdAceptar); // only the focus moved
        s.click(s.u->cmdAgregar);
        QTest::keyClicks(s.u->txtUsuario, QStringLiteral("Dario"));
        QTest::keyClicks(s.u->maskContrasena, QStringLiteral("d"));
        QTest::keyClick(s.u->maskContrasena, Qt::Key_Return);
        QCOMPARE(s.u->focusWidget(), s.u->cmdGuardar);
        QTest::keyClick(s.u->focusWidget(), Qt::Key_Return);
        QCOMPARE(s.rows(), (QStringList{"0|Admin|<hash>", "2|Beto|<hash>", "3|Ana|<hash>", "3|Dario|<hash>"}));
        QCOMPARE(s.messages(), (QStringList{"Ingrese un nombre de usuario y una contraseña.",
                                            "El Usuario: O'Brien ha sido eliminado."})); // saves say nothing
        QTest::keyClick(s.u->maskContrasena, Qt::Key_Escape);
        QVERIFY(s.u->close() && s.t.ender.calls == 1); // in sign-in mode the close box is "&Salir"
        s.main.reset();
        QFile file(s.t.databasePath());
        QVERIFY(file.open(QIODevice::ReadOnly) && !file.readAll().contains("secreto-unico"));
    }

    // A delete the file refuses is named in a message; the list and sign-in stay usable.
    void refusedDelete() {
        Session s(true, "CREATE TRIGGER no BEFORE DELETE ON Usuarios BEGIN SELECT RAISE(ABORT, 'bloqueadas'); END;");
        s.signIn(QStringLiteral("Pedro"), QStringLiteral("admin"), Borrar);
        const QString shown = s.messages().join(u'\n');
        QVERIFY2(s.messages().size() == 1 && shown.contains("bloqueadas") && shown.contains("Pedro"),
                 qPrintable(shown));
        QCOMPARE(s.listed(), (QStringList{"Admin", "Pedro"}));
        s.signIn(QStringLiteral("Pedro"), QStringLiteral("pedro"), Aceptar);
        QCOMPARE(s.main->lblUsuario->text(), QStringLiteral("Pedro"));
    }

    // With no accounts to read every button says so; only "&Salir" does anything.
    void noAccountsLeavesOnlySalir() {
        Session s(false, "DELETE FROM Usuarios");
        QVERIFY2(s.messages().value(0).contains("Usuarios"), qPrintable(s.messages().value(0)));
        s.messages().clear();
        QTest::keyClicks(s.u->maskContrasena, QStringLiteral("admin"));
        for (QPushButton *button : {s.u->cmdAceptar, s.u->cmdAgregar, s.u->cmdBorrar})
            s.click(button);
        QCOMPARE(s.messages().size(), 3);
        s.checkMode(Mode::SignIn);
        s.click(s.u->cmdSalir);
        QCOMPARE(s.t.ender.calls, 1);
    }
};

QTEST_MAIN(AccountsTest)
#include "tst_accounts.moc"
