// The accounts window driven through its widgets: sign-in, the administrator's rules, the
// mode table, and what a broken database leaves usable.
#include "TestSupport.h"
#include "accounts/PasswordHash.h"
#include "accounts/formUsuario.h"
#include "data/Database.h"
#include "data/Statements.h"
#include "stations/formLudomat2.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <sqlite3.h>

namespace {

using Mode = formUsuario::Mode;

// A main window started on its own program folder, with the accounts window it opened.
// Pedro (password "pedro") is there beside Admin unless asked otherwise.
struct Session {
    testing::TestPlatform t;
    std::unique_ptr<formLudomat2> main;
    QPointer<formUsuario> u;

    explicit Session(bool withPedro = true, const char *rawSql = nullptr) {
        if (withPedro) {
            data::Database::open(t.databasePath())
                ->execute(statements::usuarioInsert(1, QStringLiteral("Pedro"), accounts::hashPassword("pedro")));
        }
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
        const int index = u->combUsuario->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        u->combUsuario->setCurrentIndex(index);
        if (index < 0) {
            QTest::keyClicks(u->combUsuario, text);
        }
    }
    void password(const QString &text) {
        u->maskContrasena->clear();
        QTest::keyClicks(u->maskContrasena, text);
    }
    void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    void create(const QString &account, const QString &secret) {
        name(QStringLiteral("Admin"));
        password(QStringLiteral("admin"));
        click(u->cmdAgregar);
        QTest::keyClicks(u->txtUsuario, account);
        QTest::keyClicks(u->maskContrasena, secret);
        click(u->cmdGuardar);
    }
    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < u->combUsuario->count(); ++i) {
            names << u->combUsuario->itemText(i);
        }
        return names;
    }
    // Every account with its code and stored password, read through a handle of the test's own.
    QMap<QString, std::pair<qlonglong, QString>> rows() {
        QMap<QString, std::pair<qlonglong, QString>> result;
        auto rs = data::Database::open(t.databasePath())->openRecordset(statements::usuariosList());
        for (; !rs.isEof(); rs.moveNext()) {
            result.insert(rs.field("Usuario").toString(),
                          {rs.field("codigo").toLongLong(), rs.field(QStringLiteral("Contraseña")).toString()});
        }
        return result;
    }
    QList<qlonglong> codes() {
        QList<qlonglong> result;
        for (const auto &row : rows()) {
            result << row.first;
        }
        return result;
    }
    // Every control against the mode table; the first entry is selected in sign-in mode.
    void checkMode(Mode mode) {
        const bool signIn = mode == Mode::SignIn;
        QCOMPARE(u->mode(), mode);
        QCOMPARE(u->combUsuario->isHidden(), !signIn);
        QCOMPARE(u->txtUsuario->isHidden(), signIn);
        for (QPushButton *b : {u->cmdAceptar, u->cmdAgregar, u->cmdBorrar, u->cmdSalir}) {
            QCOMPARE(b->isEnabled(), signIn);
        }
        QCOMPARE(u->cmdGuardar->isEnabled(), !signIn);
        QCOMPARE(u->cmdCancelar->isEnabled(), !signIn);
        QVERIFY(!main->isEnabled());
    }
};

} // namespace

class AccountsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void layoutAndStartUp() {
        Session s(false);
        formUsuario *u = s.u;
        QVERIFY(u && u->isVisible());
        s.checkMode(Mode::SignIn);
        QCOMPARE(s.main->lblUsuario->text(), QStringLiteral("Usuario"));
        QCOMPARE(u->size(), QSize(504, 232));
        QCOMPARE(u->combUsuario->geometry().topLeft(), QPoint(104, 24));
        QCOMPARE(u->txtUsuario->geometry(), u->combUsuario->geometry());
        QCOMPARE(u->maskContrasena->geometry(), QRect(104, 88, 217, 25));
        QCOMPARE(u->cmdSalir->parentWidget(), u->Frame1);
        QCOMPARE(u->cmdSalir->geometry(), QRect(104, 10, 92, 23));
        QCOMPARE(u->cmdCancelar->parentWidget(), u->Frame2);
        QCOMPARE(u->Frame2->geometry(), QRect(328, -1, 169, 193));
        QTest::keyClicks(u->maskContrasena, QStringLiteral("abc"));
        QCOMPARE(u->maskContrasena->displayText(), QStringLiteral("***"));

        const QList<QWidget *> order{u->combUsuario, u->txtUsuario, u->maskContrasena, u->cmdAceptar, u->cmdSalir,
                                     u->cmdAgregar,  u->cmdBorrar,  u->cmdGuardar,     u->cmdCancelar};
        QList<QWidget *> chain;
        for (QWidget *w = u->combUsuario; chain.size() < order.size(); w = w->nextInFocusChain()) {
            if (order.contains(w)) {
                chain << w;
            }
        }
        QCOMPARE(chain, order);
        QVERIFY(s.messages().isEmpty());
    }

    void signIn_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message"); // empty: signed in
        QTest::newRow("right password") << "Pedro"
                                        << "pedro"
                                        << "";
        QTest::newRow("other letter case") << "Pedro"
                                           << "Pedro"
                                           << "La contraseña es incorrecta.";
        QTest::newRow("another account's password") << "Pedro"
                                                    << "admin"
                                                    << "La contraseña es incorrecta.";
        QTest::newRow("typed name matching no entry") << "Nadie"
                                                      << "admin"
                                                      << "Debe seleccionar un Usuario";
        QTest::newRow("typed name in other case") << "admin"
                                                  << "admin"
                                                  << "Debe seleccionar un Usuario";
    }

    void signIn() {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, message);
        Session s;
        s.name(name);
        s.password(password);
        s.click(s.u->cmdAceptar);
        if (message.isEmpty()) {
            QVERIFY(s.messages().isEmpty());
            QCOMPARE(s.main->lblUsuario->text(), name);
            QVERIFY(s.main->isEnabled());
            QTRY_VERIFY(s.u.isNull());
            return;
        }
        QCOMPARE(s.messages(), QStringList{message});
        QCOMPARE(s.main->lblUsuario->text(), QStringLiteral("Usuario"));
        QCOMPARE(s.u->combUsuario->currentText(), name);
        s.checkMode(Mode::SignIn);
        const bool wrongPassword = message.startsWith(QStringLiteral("La"));
        QCOMPARE(s.u->maskContrasena->text(), wrongPassword ? QString() : password);
        if (wrongPassword) {
            QCOMPARE(s.u->focusWidget(), s.u->maskContrasena);
        }
    }

    // "&Nuevo Usuario" and "&Borrar Usuario" both want the administrator's password.
    void administratorRules_data() {
        QTest::addColumn<bool>("add");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message"); // empty: allowed, silently
        const QString adminOnly = QStringLiteral("Solo el Usuario Administrador puede crear nuevos usuarios. "
                                                 "Seleccione usuario Administrador e ingrese la contraseña.");
        QTest::newRow("add: administrator") << true << "Admin"
                                            << "admin"
                                            << "";
        QTest::newRow("add: password in other case") << true << "Admin"
                                                     << "Admin" << adminOnly;
        QTest::newRow("add: account's own password") << true << "Pedro"
                                                     << "pedro" << adminOnly;
        QTest::newRow("add: admin password, other account") << true << "Pedro"
                                                            << "admin" << adminOnly;
        QTest::newRow("add: typed ADMIN") << true << "ADMIN"
                                          << "admin" << adminOnly;
        QTest::newRow("delete: Admin, never") << false << "Admin"
                                              << "admin"
                                              << "No se puede borrar el usuario Admin";
        QTest::newRow("delete: the account's own password")
            << false << "Pedro"
            << "pedro"
            << "Para eliminar la cuenta Pedro debe ingresar la contraseña de Administrador.";
        QTest::newRow("delete: administrator's password") << false << "Pedro"
                                                          << "admin"
                                                          << "El Usuario: Pedro ha sido eliminado.";
        QTest::newRow("delete: typed name of no account") << false << "Pedr"
                                                          << "admin"
                                                          << "Debe seleccionar un Usuario";
    }

    void administratorRules() {
        QFETCH(bool, add);
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, message);
        Session s;
        s.name(name);
        s.password(password);
        s.click(add ? s.u->cmdAgregar : s.u->cmdBorrar);
        QCOMPARE(s.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        const bool done = message.isEmpty() || message.startsWith(QStringLiteral("El Usuario"));
        s.checkMode(add && done ? Mode::NewAccount : Mode::SignIn);
        QCOMPARE(s.u->maskContrasena->text(), done ? QString() : password);
        QCOMPARE(s.rows().contains(QStringLiteral("Pedro")), add || !done);
        QCOMPARE(s.listed().contains(QStringLiteral("Pedro")), add || !done);
        if (add && !done) {
            QCOMPARE(s.u->focusWidget(), s.u->combUsuario);
        }
    }

    // New account, cancel, refused save, saves and a delete: the mode table and the first
    // entry after each; codes count the rows, so a deletion lets a code repeat.
    void accountsRound() {
        Session s(false);
        s.create(QStringLiteral("Carla"), QStringLiteral("c"));
        s.create(QStringLiteral("Beto"), QStringLiteral("b"));
        s.checkMode(Mode::SignIn);
        QCOMPARE(s.listed(), (QStringList{"Admin", "Beto", "Carla"}));

        s.name(QStringLiteral("Carla"));
        s.password(QStringLiteral("admin"));
        s.click(s.u->cmdAgregar); // only the administrator's name opens new-account mode
        s.name(QStringLiteral("Admin"));
        s.password(QStringLiteral("admin"));
        s.click(s.u->cmdAgregar);
        s.checkMode(Mode::NewAccount);
        QCOMPARE(s.u->focusWidget(), s.u->txtUsuario);
        QTest::keyClicks(s.u->txtUsuario, QStringLiteral("Ana"));
        s.click(s.u->cmdGuardar); // no password
        QCOMPARE(s.messages().last(), QStringLiteral("Ingrese un nombre de usuario y una contraseña."));
        s.checkMode(Mode::NewAccount);
        QCOMPARE(s.u->focusWidget(), s.u->txtUsuario);
        s.click(s.u->cmdCancelar);
        s.checkMode(Mode::SignIn);
        QCOMPARE(s.u->combUsuario->currentIndex(), 0);
        QCOMPARE(s.u->focusWidget(), s.u->combUsuario);

        s.create(QStringLiteral("Ana"), QStringLiteral("a"));
        QCOMPARE(s.codes(), (QList<qlonglong>{0, 3, 2, 1})); // Admin, Ana, Beto, Carla
        QCOMPARE(s.u->combUsuario->currentText(), QStringLiteral("Admin"));
        QVERIFY(s.u->maskContrasena->text().isEmpty());

        s.name(QStringLiteral("Carla"));
        s.password(QStringLiteral("admin"));
        s.click(s.u->cmdBorrar);
        s.checkMode(Mode::SignIn);
        QCOMPARE(s.u->combUsuario->currentText(), QStringLiteral("Admin"));
        s.create(QStringLiteral("Dario"), QStringLiteral("d"));
        QCOMPARE(s.codes(), (QList<qlonglong>{0, 3, 2, 3})); // Admin, Ana, Beto, Dario
        QCOMPARE(s.messages().size(), 3);                    // the refusals and the deletion; saves say nothing
        QCOMPARE(s.t.ender.calls, 0);
    }

    void enterMovesTheFocus() {
        Session s(false);
        QTest::keyClick(s.u->combUsuario, Qt::Key_Return);
        QCOMPARE(s.u->focusWidget(), s.u->maskContrasena);
        QTest::keyClicks(s.u->maskContrasena, QStringLiteral("admin"));
        QTest::keyClick(s.u->maskContrasena, Qt::Key_Enter);
        QCOMPARE(s.u->focusWidget(), s.u->cmdAceptar); // only the focus moved

        s.click(s.u->cmdAgregar);
        QTest::keyClicks(s.u->txtUsuario, QStringLiteral("Eva"));
        QTest::keyClicks(s.u->maskContrasena, QStringLiteral("eva"));
        QTest::keyClick(s.u->maskContrasena, Qt::Key_Return);
        QCOMPARE(s.u->focusWidget(), s.u->cmdGuardar);
        QTest::keyClick(s.u->focusWidget(), Qt::Key_Return); // Enter presses the focused button
        QCOMPARE(s.listed(), (QStringList{"Admin", "Eva"}));
    }

    // Quotes reach the file exactly: create, sign in, then delete from a window opened afresh.
    void quotesInNamesAndPasswords() {
        Session s(false);
        const QString name = QStringLiteral("O'Brien");
        s.create(name, QStringLiteral("it's'"));
        s.name(name);
        s.password(QStringLiteral("it's'"));
        s.click(s.u->cmdAceptar);
        QCOMPARE(s.main->lblUsuario->text(), name);
        QVERIFY(s.main->isEnabled());

        // Pressed before the old window is gone: a fresh one opens all the same.
        QPointer<formUsuario> old = s.u;
        s.click(s.main->cmdUsuario);
        s.u = s.main->usuarioWindow;
        QVERIFY(s.u && s.u != old && s.u->isVisible());
        QTRY_VERIFY(old.isNull());
        s.checkMode(Mode::SignIn);

        s.name(name);
        s.password(QStringLiteral("admin"));
        s.click(s.u->cmdBorrar);
        QCOMPARE(s.messages(), QStringList{QStringLiteral("El Usuario: O'Brien ha sido eliminado.")});
        QCOMPARE(s.rows().keys(), QStringList{"Admin"});
        QCOMPARE(s.main->lblUsuario->text(), name); // the signed-in operator stays on the main window
        s.click(s.u->cmdSalir);
        QCOMPARE(s.t.ender.calls, 1);
    }

    void closeBox_data() {
        QTest::addColumn<bool>("newAccount");
        QTest::newRow("sign-in mode: like Salir") << false;
        QTest::newRow("new-account mode: refused") << true;
    }

    void closeBox() {
        QFETCH(bool, newAccount);
        Session s(false);
        if (newAccount) {
            s.password(QStringLiteral("admin"));
            s.click(s.u->cmdAgregar);
        }
        QTest::keyClick(s.u, Qt::Key_Escape);
        QTest::keyClick(s.u->maskContrasena, Qt::Key_Escape);
        QVERIFY(s.u->isVisible());
        QCOMPARE(s.u->close(), !newAccount);
        QCOMPARE(s.u->isVisible(), newAccount);
        QCOMPARE(s.t.ender.calls, newAccount ? 0 : 1);
        s.checkMode(newAccount ? Mode::NewAccount : Mode::SignIn);
    }

    void passwordsAreStoredHashed() {
        Session s(false);
        s.create(QStringLiteral("Luis"), QStringLiteral("secreto-unico"));
        for (const auto &[name, password] : {std::pair{"Admin", "admin"}, std::pair{"Luis", "secreto-unico"}}) {
            const QString stored = s.rows().value(QString::fromLatin1(name)).second;
            QVERIFY(stored.startsWith(QStringLiteral("$argon2id$")));
            QElapsedTimer timer;
            timer.start();
            QVERIFY(accounts::verifyPassword(stored, QString::fromLatin1(password)));
            QVERIFY2(timer.elapsed() < 500, "a sign-in must not keep the operator waiting");
        }
        s.main.reset();
        QFile file(s.t.databasePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains("secreto-unico"));
    }

    void refusedStatementLeavesTheWindowUsable_data() {
        QTest::addColumn<bool>("add");
        QTest::newRow("insert refused") << true;
        QTest::newRow("delete refused") << false;
    }

    void refusedStatementLeavesTheWindowUsable() {
        QFETCH(bool, add);
        const QByteArray trigger = QByteArray("CREATE TRIGGER no BEFORE ") + (add ? "INSERT" : "DELETE") +
                                   " ON Usuarios BEGIN SELECT RAISE(ABORT, 'cuentas bloqueadas'); END;";
        Session s(true, trigger.constData());
        if (add) {
            s.create(QStringLiteral("Zoe"), QStringLiteral("zoe"));
            s.checkMode(Mode::NewAccount); // what was typed is not lost
            s.click(s.u->cmdCancelar);
        } else {
            s.name(QStringLiteral("Pedro"));
            s.password(QStringLiteral("admin"));
            s.click(s.u->cmdBorrar);
        }
        QCOMPARE(s.messages().size(), 1);
        const QString &text = s.messages().first();
        QVERIFY2(text.contains(QStringLiteral("cuentas bloqueadas")) && text.contains(add ? "Zoe" : "Pedro"),
                 qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("argon2")) && !text.contains(QStringLiteral("eliminado")));
        QCOMPARE(s.listed(), (QStringList{"Admin", "Pedro"}));
        s.name(QStringLiteral("Pedro"));
        s.password(QStringLiteral("pedro"));
        s.click(s.u->cmdAceptar);
        QCOMPARE(s.main->lblUsuario->text(), QStringLiteral("Pedro"));
    }

    void brokenDatabaseLeavesOnlySalir_data() {
        QTest::addColumn<bool>("removeFile");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no database file") << true << "dbLudomat.mdb";
        QTest::newRow("no accounts") << false << "Usuarios";
    }

    void brokenDatabaseLeavesOnlySalir() {
        QFETCH(bool, removeFile);
        QFETCH(QString, expected);
        Session s(false, removeFile ? nullptr : "DELETE FROM Usuarios");
        if (removeFile) { // the accounts window meets the file first; load again without it
            QFile::remove(s.t.databasePath());
            s.messages().clear();
            s.u->unload();
            s.main->cmdUsuario_Click();
            s.u = s.main->usuarioWindow;
        }
        QVERIFY2(s.messages().value(0).contains(expected), qPrintable(s.messages().value(0)));
        s.messages().clear();
        s.password(QStringLiteral("admin"));
        for (QPushButton *button : {s.u->cmdAceptar, s.u->cmdAgregar, s.u->cmdBorrar}) {
            s.click(button);
        }
        QCOMPARE(s.messages().size(), 3);
        s.checkMode(Mode::SignIn);
        QCOMPARE(s.t.ender.calls, 0);
        s.click(s.u->cmdSalir);
        QCOMPARE(s.t.ender.calls, 1);
    }
};

QTEST_MAIN(AccountsTest)
#include "tst_accounts.moc"
