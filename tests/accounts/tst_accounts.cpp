// The accounts window driven through its widgets: what it says, the mode table, the focus and
// the keyboard, the new-password dialog, and what a refused write leaves usable. What the
// accounts keep and journal is tst_account_service's.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "accounts/PasswordHash.h"
#include "accounts/Session.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "data/Seal.h"
#include "ui/NewPasswordDialog.h"
#include "ui/formLudomat2.h"
#include "ui/formUsuario.h"

#include <QFile>
#include <QtTest>
#include <QtWidgets>

namespace {

using Mode = formUsuario::Mode;
enum Button { Aceptar, Agregar, Borrar, Contrasena };

// The program started on its own program folder, with the accounts window it opened.
// Pedro (password "pedro") is there beside Admin unless asked otherwise.
struct Session {
    testing::TestPlatform t;
    std::unique_ptr<app::Desk> desk;
    formLudomat2 *main = nullptr;
    QPointer<formUsuario> u;

    qsizetype journalStart = 0;

    explicit Session(bool withPedro = true, const char *rawSql = nullptr, bool withMariela = false) {
        static const QString pedroHash = accounts::hashPassword(QStringLiteral("pedro")); // one slow hash for all
        if (withPedro)
            testing::addAccount(t.databasePath(), 1, QStringLiteral("Pedro"), pedroHash);
        if (withMariela)
            testing::addAccount(t.databasePath(), 2, QStringLiteral("Mariela"), pedroHash);
        journalStart = testing::journal(t.databasePath(), QStringLiteral("Evento")).size();
        if (rawSql) // what the window's own statements cannot build, a trigger say
            execRaw(t.databasePath(), rawSql);
        desk = std::make_unique<app::Desk>(t.platform);
        desk->start();
        main = &desk->mainWindow();
        u = desk->accountsWindow();
    }
    // "C&ambiar de Usuario" on the main window: a fresh accounts window.
    void changeUser() {
        testing::acceptFloat(*desk); // the float, when the last sign-in asked for it
        click(testing::control<QPushButton>(main, "cmdUsuario"));
        testing::countDrawer(*desk);
        u = desk->accountsWindow();
    }
    QString operatorShown() const { return testing::control<QLabel>(main, "lblUsuario")->text(); }

    QStringList &messages() { return t.messages.messages; }
    // A control of the window, found by its name.
    template <class T = QPushButton> T *c(const char *name) const { return u->findChild<T *>(QString::fromUtf8(name)); }
    QComboBox *comb() const { return c<QComboBox>("combUsuario"); }
    QLineEdit *txt() const { return c<QLineEdit>("txtUsuario"); }
    QLineEdit *mask() const { return c<QLineEdit>("maskContraseña"); }
    QPushButton *button(Button b) const {
        return c(QList{"cmdAceptar", "cmdAgregar", "cmdBorrar", "cmdContrasena"}[b]);
    }
    // Chooses a list entry, or types the name when it is not one.
    void name(const QString &text) {
        comb()->setCurrentIndex(comb()->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
        if (comb()->currentIndex() < 0)
            QTest::keyClicks(comb(), text);
    }
    void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    void click(const char *button) { click(c(button)); }
    void signIn(const QString &account, const QString &secret, Button b) {
        name(account);
        mask()->clear();
        QTest::keyClicks(mask(), secret);
        click(button(b));
    }
    // "&Nuevo Usuario" as the administrator, the name and password, "&Guardar Cambios", and the
    // password again when it is asked for (the same one unless again is given).
    void create(const QString &account, const QString &secret, const QString &again = {}) {
        signIn(QStringLiteral("Admin"), QStringLiteral("admin"), Agregar);
        txt()->insert(account); // as typed, beyond what key clicks can spell
        mask()->insert(secret);
        click("cmdGuardar");
        testing::answerPassword(u, {}, again.isNull() ? secret : again);
    }
    // A sign-in that asks for a password of one's own, given.
    void firstSignIn(const QString &account, const QString &secret, const QString &own) {
        signIn(account, secret, Aceptar);
        QVERIFY(testing::passwordDialog(u) && testing::passwordDialog(u)->lblPrimerIngreso->isVisible());
        QVERIFY(testing::answerPassword(u, own, own));
        QCOMPARE(operatorShown(), account);
    }
    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < comb()->count(); ++i)
            names << comb()->itemText(i);
        return names;
    }
    // Every Usuarios row, through a handle of the test's own.
    QStringList rows() const { return testing::tableRows(t.databasePath(), QStringLiteral("Usuarios")); }
    // The journal since the session began.
    QStringList journal() const { return testing::accountsJournal(t.databasePath(), journalStart); }
    // Every control against the mode table.
    void checkMode(Mode mode) {
        const bool signIn = mode == Mode::SignIn;
        QCOMPARE(u->mode(), mode);
        QCOMPARE(comb()->isHidden(), !signIn);
        QCOMPARE(txt()->isHidden(), signIn);
        for (const char *b :
             {"cmdAceptar", "cmdAgregar", "cmdBorrar", "cmdSalir", "cmdGuardar", "cmdCancelar", "cmdContrasena"})
            QCOMPARE(c(b)->isEnabled(),
                     signIn != (b == QLatin1String("cmdGuardar") || b == QLatin1String("cmdCancelar")));
        QVERIFY(!main->isEnabled());
    }
};

} // namespace

class AccountsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // "&Aceptar", and "&Nuevo Usuario" and "&Borrar Usuario" that want the administrator's password.
    // (A typed name of no account, for "&Aceptar" and "&Borrar Usuario": tst_hostile_input.)
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
            {"sign in: typed name in other case", Aceptar, "admin", "admin", noEntry},
            {"add: administrator", Agregar, "Admin", "admin", ""},
            {"add: password in other case", Agregar, "Admin", "Admin", adminOnly},
            {"add: admin password, other account", Agregar, "Pedro", "admin", adminOnly},
            {"add: typed ADMIN", Agregar, "ADMIN", "admin", adminOnly},
            {"delete: Admin, never", Borrar, "Admin", "admin", "No se puede borrar el usuario Admin"},
            {"delete: the account's own password", Borrar, "Pedro", "pedro",
             "Para eliminar la cuenta Pedro debe ingresar la contraseña de Administrador."},
            {"delete: administrator's password", Borrar, "Pedro", "admin", "El Usuario: Pedro ha sido eliminado."},
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
        QCOMPARE(s.operatorShown(), button == Aceptar && done ? name : QStringLiteral("Usuario"));
        if (button == Aceptar && done) {
            QVERIFY(testing::acceptFloat(*s.desk) && s.main->isEnabled());
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
        s.create(obrien, QStringLiteral("it's'-x"));
        s.create(QStringLiteral("Beto"), QStringLiteral("secreto-unico"));
        s.checkMode(Mode::SignIn);
        QCOMPARE(s.listed(), (QStringList{"Admin", "Beto", obrien}));

        s.signIn(QStringLiteral("Admin"), QStringLiteral("admin"), Agregar);
        s.checkMode(Mode::NewAccount);
        QTest::keyClicks(s.txt(), QStringLiteral("Ana"));
        s.click("cmdGuardar"); // no password
        // Neither Escape nor the close box closes the window in this mode.
        QTest::keyClick(s.mask(), Qt::Key_Escape);
        QVERIFY(!s.u->close() && s.u->isVisible());
        s.checkMode(Mode::NewAccount);
        s.click("cmdCancelar");
        s.checkMode(Mode::SignIn);
        QCOMPARE(s.comb()->currentIndex(), 0);

        s.create(QStringLiteral("Ana"), QStringLiteral("ana-clave"));
        QCOMPARE(s.rows(), (QStringList{"0|Admin|<hash>", "1|O'Brien|<hash>", "2|Beto|<hash>", "3|Ana|<hash>"}));
        s.firstSignIn(obrien, QStringLiteral("it's'-x"), QStringLiteral("'propia'"));
        QPointer<formUsuario> old = s.u;
        s.changeUser(); // before the old window is gone: a fresh one opens all the same
        QVERIFY(s.u && s.u != old && s.u->isVisible());
        s.signIn(obrien, QStringLiteral("admin"), Borrar);
        s.checkMode(Mode::SignIn);
        QCOMPARE(s.comb()->currentText(), QStringLiteral("Admin"));
        // Dario by keyboard: Enter moves the focus on, then presses the focused button.
        s.mask()->clear();
        QTest::keyClick(s.comb(), Qt::Key_Return);
        QCOMPARE(s.u->focusWidget(), s.mask());
        QTest::keyClicks(s.mask(), QStringLiteral("admin"));
        QCOMPARE(s.mask()->displayText(), QStringLiteral("*****"));
        QTest::keyClick(s.mask(), Qt::Key_Enter);
        QCOMPARE(s.u->focusWidget(), s.c("cmdAceptar")); // only the focus moved
        s.click("cmdAgregar");
        QTest::keyClicks(s.txt(), QStringLiteral("Dario"));
        QTest::keyClicks(s.mask(), QStringLiteral("dario-1"));
        QTest::keyClick(s.mask(), Qt::Key_Return);
        QCOMPARE(s.u->focusWidget(), s.c("cmdGuardar"));
        QTest::keyClick(s.u->focusWidget(), Qt::Key_Return);
        NewPasswordDialog *again = testing::passwordDialog(s.u);
        QVERIFY(again && again->txtNueva->isHidden() && again->focusWidget() == again->txtRepetida);
        QTest::keyClicks(again->txtRepetida, QStringLiteral("dario-1"));
        QTest::keyClick(again->txtRepetida, Qt::Key_Return);
        QCOMPARE(s.rows(), (QStringList{"0|Admin|<hash>", "2|Beto|<hash>", "3|Ana|<hash>", "3|Dario|<hash>"}));
        const QString created = "La cuenta %1 fue creada. En su primer ingreso se le pedirá una contraseña propia.";
        QCOMPARE(s.messages(), (QStringList{created.arg(obrien), created.arg("Beto"),
                                            "Ingrese un nombre de usuario y una contraseña.", created.arg("Ana"),
                                            "El Usuario: O'Brien ha sido eliminado.", created.arg("Dario")}));
        QTest::keyClick(s.mask(), Qt::Key_Escape);
        QVERIFY(s.u->close() && s.t.ender.calls == 1); // in sign-in mode the close box is "&Salir"
        s.desk.reset();
        QFile file(s.t.databasePath());
        QVERIFY(file.open(QIODevice::ReadOnly) && !file.readAll().contains("secreto-unico"));
    }

    // A password change the file refuses is named in one message, and the window stays as usable
    // as it was: the new-password dialog open to try again; a sign-in then goes through. (The
    // refused delete and every change under a busy file or a refused journal entry:
    // tst_account_service; a new account under a failing disk, kept for "&Guardar Cambios" again:
    // tst_window_faults.)
    void refusedWrite() {
        Session s(true, "CREATE TRIGGER no BEFORE UPDATE ON Usuarios BEGIN SELECT RAISE(ABORT, 'bloqueadas'); END;");
        const QStringList before = s.rows();
        s.signIn(QStringLiteral("Pedro"), QStringLiteral("pedro"), Contrasena);
        QVERIFY(testing::answerPassword(s.u, QStringLiteral("nueva-clave"), QStringLiteral("nueva-clave")));
        QVERIFY(testing::passwordDialog(s.u)); // still open, to try again or cancel
        s.click(testing::passwordDialog(s.u)->cmdCancelar);
        const QString shown = s.messages().join(u'\n');
        QVERIFY2(s.messages().size() == 1 && shown.contains("bloqueadas") && shown.contains("Pedro"),
                 qPrintable(shown));
        QCOMPARE(s.rows(), before);
        QVERIFY(!s.main->isEnabled() && s.u);
        s.signIn(QStringLiteral("Pedro"), QStringLiteral("pedro"), Aceptar);
        QCOMPARE(s.operatorShown(), QStringLiteral("Pedro"));
    }

    // With no accounts to read every button says so; only "&Salir" does anything.
    void noAccountsLeavesOnlySalir() {
        Session s(false, "DELETE FROM Usuarios");
        QVERIFY2(s.messages().value(0).contains("Usuarios"), qPrintable(s.messages().value(0)));
        s.messages().clear();
        QTest::keyClicks(s.mask(), QStringLiteral("admin"));
        for (QPushButton *button : {s.c("cmdAceptar"), s.c("cmdAgregar"), s.c("cmdBorrar")})
            s.click(button);
        QCOMPARE(s.messages().size(), 3);
        s.checkMode(Mode::SignIn);
        s.click("cmdSalir");
        QCOMPARE(s.t.ender.calls, 1);
    }

    // "Cambiar C&ontraseña" on the chosen account, with its own password or the administrator's.
    // A new password the rules refuse keeps the dialog open and emptied, and changes nothing. The
    // password in force signs in; one the administrator set asks its owner for another.
    void changePassword_data() {
        for (const char *column : {"account", "typed", "first", "second", "said"})
            QTest::addColumn<QString>(column); // first empty: no dialog
        const char *changed = "La contraseña de %1 fue cambiada.";
        const struct {
            const char *row, *account, *typed, *first, *second, *said;
        } table[] = {
            {"own", "Mariela", "pedro", "nueva-clave", "nueva-clave", changed},
            {"administrator reset", "Mariela", "admin", "nueva-clave", "nueva-clave", changed},
            {"administrator's own", "Admin", "admin", "nueva-clave", "nueva-clave", changed},
            {"wrong current", "Mariela", "Pedro", "", "", "La contraseña es incorrecta."},
            // The rules themselves: tst_password_policy; one refusal shows the dialog's side of them.
            {"mismatch", "Mariela", "admin", "nueva-clave", "nueva-clavE", "Las contraseñas nuevas no coinciden."},
        };
        for (const auto &r : table)
            QTest::newRow(r.row) << r.account << r.typed << r.first << r.second
                                 << QString::fromUtf8(r.said).arg(QString::fromUtf8(r.account));
    }
    void changePassword() {
        QFETCH(QString, account);
        QFETCH(QString, typed);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, said);
        Session s(true, nullptr, true);
        const QStringList before = s.rows();
        s.signIn(account, typed, Contrasena);
        QCOMPARE(testing::answerPassword(s.u, first, second), !first.isEmpty());
        QCOMPARE(s.messages(), QStringList{said});
        const bool changed = said.endsWith(u"fue cambiada.");
        if (NewPasswordDialog *d = testing::passwordDialog(s.u)) {
            QVERIFY(!changed && d->txtNueva->text().isEmpty() && d->txtRepetida->text().isEmpty());
            s.click(d->cmdCancelar);
        }
        QVERIFY(!testing::passwordDialog(s.u));
        if (!changed)
            QCOMPARE(s.rows(), before);
        // The administrator's check follows a change.
        s.signIn(QStringLiteral("Admin"), changed && account == "Admin" ? first : "admin", Agregar);
        s.checkMode(Mode::NewAccount);
        s.click("cmdCancelar");
        const QString who = account == "Admin" ? account : QStringLiteral("Mariela");
        if (account != "Admin" && typed == "admin" && changed) {
            s.firstSignIn(who, first, QStringLiteral("clave-de-mariela"));
        } else {
            s.signIn(who, changed ? first : QStringLiteral("pedro"), Aceptar);
            QCOMPARE(s.operatorShown(), who);
        }
    }

    // The delivered password signs in only once it is replaced; Cancel leaves the sign-in undone.
    // The new password gives the owner's first key: held while the administrator is signed in,
    // sealing each of its sign-ins, gone at a change of user; the next password's key is certified
    // by the one before.
    void firstSignIn() {
        Session s(false);
        s.signIn(QStringLiteral("Admin"), QStringLiteral("admin"), Aceptar);
        NewPasswordDialog *d = testing::passwordDialog(s.u);
        QVERIFY(d && d->lblPrimerIngreso->isVisible());
        s.click(d->cmdCancelar);
        QVERIFY(!testing::passwordDialog(s.u) && s.u->isVisible());
        s.checkMode(Mode::SignIn);
        s.signIn(QStringLiteral("Admin"), QStringLiteral("admin"), Aceptar);
        QVERIFY(testing::answerPassword(s.u, QStringLiteral("admin"), QStringLiteral("admin")));
        QVERIFY(!s.main->isEnabled() && s.journal().isEmpty() && !s.desk->session().ownerSeal().holdsKey());
        QVERIFY(testing::answerPassword(s.u, QStringLiteral("clave-nueva"), QStringLiteral("clave-nueva")));
        QVERIFY(testing::acceptFloat(*s.desk));
        QVERIFY(s.main->isEnabled() && s.operatorShown() == QStringLiteral("Admin"));
        QTRY_VERIFY(s.u.isNull());
        QCOMPARE(s.journal(), (QStringList{"Admin|Contraseña cambiada|Cuenta=Admin; propia", "Admin|Clave del sello|",
                                           "Admin|Ingreso|", "Admin|Sello|", "Admin|Turno abierto|Turno 1; fondo 0"}));
        QVERIFY(s.desk->session().ownerSeal().holdsKey());
        // Later, the delivered password no more; the new one signs in without a question.
        s.changeUser();
        QVERIFY(!s.desk->session().ownerSeal().holdsKey());
        s.signIn(QStringLiteral("Admin"), QStringLiteral("admin"), Aceptar);
        s.signIn(QStringLiteral("Admin"), QStringLiteral("clave-nueva"), Aceptar);
        QVERIFY(testing::acceptFloat(*s.desk));
        QVERIFY(s.main->isEnabled() && !testing::passwordDialog(s.u) && s.desk->session().ownerSeal().holdsKey());
        // (after the first shift's count and close)
        QCOMPARE(s.journal().mid(7), (QStringList{"Admin|Cambio de usuario|",
                                                  "Admin|Ingreso rechazado|contraseña "
                                                  "incorrecta",
                                                  "Admin|Ingreso|", "Admin|Sello|", "Admin|Turno abierto|Turno 2; fondo 0"}));
        s.changeUser();
        s.signIn(QStringLiteral("Admin"), QStringLiteral("clave-nueva"), Contrasena);
        QVERIFY(testing::answerPassword(s.u, QStringLiteral("otra-clave"), QStringLiteral("otra-clave")));
        QCOMPARE(s.messages(), (QStringList{"La contraseña nueva debe tener al menos 6 caracteres.",
                                            "La contraseña es incorrecta.", "La contraseña de Admin fue cambiada."}));
        const QStringList keys = testing::journal(s.t.databasePath(), "Detalle").filter(QStringLiteral("Clave="));
        QVERIFY(keys.size() == 2 && !keys[0].contains("Anterior=") && keys[1].contains("Anterior="));
        const journal::Verification v = journal::verifyFile(s.t.databasePath());
        QVERIFY2(v.ok && v.booksChecked && v.booksAgree(), qPrintable(v.problem + v.differences.value(0).english()));
        QCOMPARE(v.sealKey, seal::fingerprint(seal::stored(*data::Database::open(s.t.databasePath()))->publicKey));
    }

    // Every password that is set follows the rules, a new account's too, typed a second time in
    // the dialog "&Guardar Cambios" opens; a refusal keeps the window in new-account mode with the
    // name. The name follows its own rules. A made account is said to be made, and its owner
    // replaces the administrator's password at the first sign-in, with one of their own. (Each
    // rule of names and passwords: tst_password_policy; one refusal of each here.)
    void newAccount_data() {
        for (const char *column : {"name", "password", "again", "said"})
            QTest::addColumn<QString>(column);
        QTest::addColumn<QString>("stored"); // empty: nothing made
        const char *made = "La cuenta Lucas fue creada. En su primer ingreso se le pedirá una contraseña propia.";
        const struct {
            const char *row, *name, *password, *again, *said, *stored;
        } table[] = {
            {"made", "Lucas", "clave-lucas", "clave-lucas", made, "Lucas"},
            {"name trimmed", "  Lucas ", "clave-lucas", "clave-lucas", made, "Lucas"},
            {"short", "Lucas", "lucas", "", "La contraseña nueva debe tener al menos 6 caracteres.", ""},
            {"typed differently", "Lucas", "clave-lucas", "clave-lucaz", "Las contraseñas nuevas no coinciden.", ""},
            {"look-alike name", "pedro", "clave-pedro", "",
             "El nombre pedro ya está tomado: se confunde con el de la cuenta Pedro.", ""},
        };
        for (const auto &r : table)
            QTest::newRow(r.row) << r.name << r.password << r.again << r.said << r.stored;
    }
    void newAccount() {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, again);
        QFETCH(QString, said);
        QFETCH(QString, stored);
        Session s;
        const QStringList before = s.rows();
        s.create(name, password, again);
        QCOMPARE(s.messages(), QStringList{said});
        QVERIFY(!testing::passwordDialog(s.u));
        if (stored.isEmpty()) {
            s.checkMode(Mode::NewAccount);
            QCOMPARE(s.txt()->text(), name);
            QCOMPARE(s.rows(), before);
            QCOMPARE(s.journal(), QStringList());
            return;
        }
        s.checkMode(Mode::SignIn);
        QCOMPARE(s.rows(), before + QStringList{"2|" + stored + "|<hash>"});
        // The first sign-in: the administrator's password again is not one's own; Cancel signs nobody in.
        s.signIn(stored, password, Aceptar);
        QVERIFY(testing::answerPassword(s.u, password, password));
        QCOMPARE(s.messages().last(), QStringLiteral("La contraseña nueva debe ser distinta de la anterior."));
        s.click(testing::passwordDialog(s.u)->cmdCancelar);
        QVERIFY(!s.main->isEnabled());
        s.firstSignIn(stored, password, QStringLiteral("propia-123"));
        s.changeUser();
        s.signIn(stored, QStringLiteral("propia-123"), Aceptar);
        QVERIFY(testing::acceptFloat(*s.desk));
        QVERIFY(s.main->isEnabled() && !testing::passwordDialog(s.u));
    }

    // Names stored by earlier versions stay as they are, even side by side with one they now
    // collide with: listed as people read them, each found exactly.
    void storedNamesStay() {
        Session s(true, "INSERT INTO Usuarios SELECT 2, 'beto', Contraseña FROM Usuarios WHERE Usuario = 'Pedro';"
                        "INSERT INTO Usuarios SELECT 3, 'Beto', Contraseña FROM Usuarios WHERE Usuario = 'Pedro';"
                        "INSERT INTO Usuarios SELECT 4, 'Ñandú', Contraseña FROM Usuarios WHERE Usuario = 'Pedro';"
                        "INSERT INTO Usuarios SELECT 5, 'Ángel', Contraseña FROM Usuarios WHERE Usuario = 'Pedro';");
        QCOMPARE(s.listed(), (QStringList{"Admin", "Ángel", "beto", "Beto", "Ñandú", "Pedro"}));
        s.signIn(QStringLiteral("beto"), QStringLiteral("admin"), Borrar);
        QCOMPARE(s.listed(), (QStringList{"Admin", "Ángel", "Beto", "Ñandú", "Pedro"}));
        s.signIn(QStringLiteral("Beto"), QStringLiteral("pedro"), Aceptar);
        QCOMPARE(s.operatorShown(), QStringLiteral("Beto"));
    }
};

QTEST_MAIN(AccountsTest)
#include "tst_accounts.moc"
