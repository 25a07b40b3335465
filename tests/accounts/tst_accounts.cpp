// The accounts window driven through its widgets: sign-in, the administrator's account
// rules, the mode table, and what a broken database leaves usable.
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
#include <QStyle>
#include <QtTest>
#include <functional>
#include <sqlite3.h>

namespace {

using Prepare = std::function<void(data::Database &)>;

// A main window started on its own program folder, with the accounts window it opened.
struct Session {
    testing::TestPlatform t;
    std::unique_ptr<formLudomat2> main;
    QPointer<formUsuario> u;
    bool loaded = false;

    explicit Session(const Prepare &prepare = {}) {
        if (prepare) {
            auto db = data::Database::open(t.databasePath());
            prepare(*db);
        }
        main = std::make_unique<formLudomat2>(t.platform);
        loaded = main->Form_Load();
        u = main->usuarioWindow;
    }

    QStringList &messages() { return t.messages.messages; }

    void choose(const QString &name) {
        const int index = u->combUsuario->findText(name);
        QVERIFY2(index >= 0, qPrintable(name));
        u->combUsuario->setCurrentIndex(index);
    }
    void typeName(const QString &text) {
        u->combUsuario->clearEditText();
        QTest::keyClicks(u->combUsuario, text);
    }
    void typePassword(const QString &text) {
        u->maskContrasena->clear();
        QTest::keyClicks(u->maskContrasena, text);
    }
    void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    void createAccount(const QString &name, const QString &password) {
        choose(QStringLiteral("Admin"));
        typePassword(QStringLiteral("admin"));
        click(u->cmdAgregar);
        QTest::keyClicks(u->txtUsuario, name);
        QTest::keyClicks(u->maskContrasena, password);
        click(u->cmdGuardar);
    }

    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < u->combUsuario->count(); ++i) {
            names << u->combUsuario->itemText(i);
        }
        return names;
    }

    // codigo of every account, read through a handle of the test's own.
    QMap<QString, qlonglong> codes() {
        QMap<QString, qlonglong> result;
        auto db = data::Database::open(t.databasePath());
        auto rows = db->openRecordset(statements::usuariosList());
        for (; !rows.isEof(); rows.moveNext()) {
            result.insert(rows.field(QStringLiteral("Usuario")).toString(),
                          rows.field(QStringLiteral("codigo")).toLongLong());
        }
        return result;
    }
    QString storedPassword(const QString &name) {
        auto db = data::Database::open(t.databasePath());
        auto rows = db->openRecordset(statements::passwordLookup(name));
        return rows.isEof() ? QString() : rows.field(QStringLiteral("Contraseña")).toString();
    }
};

Prepare seed(QList<std::pair<QString, QString>> accounts) {
    return [accounts](data::Database &db) {
        int code = 1;
        for (const auto &[name, password] : accounts) {
            db.execute(statements::usuarioInsert(code++, name, accounts::hashPassword(password)));
        }
    };
}

// Runs raw SQLite on the file: the window's own statements cannot build a trigger.
void rawSql(const QString &path, const char *sql) {
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QCOMPARE(rc, SQLITE_OK);
}

// Every control against the mode table.
void checkMode(formUsuario *u, formUsuario::Mode mode) {
    const bool signIn = mode == formUsuario::Mode::SignIn;
    QCOMPARE(u->mode(), mode);
    QCOMPARE(u->combUsuario->isHidden(), !signIn);
    QCOMPARE(u->txtUsuario->isHidden(), signIn);
    QCOMPARE(u->cmdAceptar->isEnabled(), signIn);
    QCOMPARE(u->cmdAgregar->isEnabled(), signIn);
    QCOMPARE(u->cmdBorrar->isEnabled(), signIn);
    QCOMPARE(u->cmdGuardar->isEnabled(), !signIn);
    QCOMPARE(u->cmdCancelar->isEnabled(), !signIn);
    QCOMPARE(u->cmdSalir->isEnabled(), signIn);
}

const QString kAdminOnly = QStringLiteral("Solo el Usuario Administrador puede crear nuevos usuarios. Seleccione "
                                          "usuario Administrador e ingrese la contraseña.");

} // namespace

class AccountsTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void layoutAndStartUp() {
        Session s;
        QVERIFY(s.loaded);
        formUsuario *u = s.u;
        QVERIFY(u);
        QVERIFY(u->isVisible());
        QVERIFY(!s.main->isEnabled());
        QCOMPARE(s.main->lblUsuario->text(), QStringLiteral("Usuario"));
        QCOMPARE(u->windowTitle(), QStringLiteral("Usuario"));
        QCOMPARE(u->size(), QSize(504, 232));
        QCOMPARE(u->combUsuario->geometry().topLeft(), QPoint(104, 24));
        QCOMPARE(u->combUsuario->width(), 217);
        QCOMPARE(u->txtUsuario->geometry(), u->combUsuario->geometry());
        QCOMPARE(u->maskContrasena->geometry(), QRect(104, 88, 217, 25));
        QCOMPARE(u->maskContrasena->objectName(), QStringLiteral("maskContraseña"));
        QCOMPARE(u->Label2->text(), QStringLiteral("Contraseña"));
        QCOMPARE(u->Frame1->geometry(), QRect(104, 152, 209, 41));
        QCOMPARE(u->Frame2->geometry(), QRect(328, -1, 169, 193));
        QVERIFY(u->Frame1->title().isEmpty() && u->Frame2->title().isEmpty());
        QCOMPARE(u->cmdAceptar->parentWidget(), u->Frame1);
        QCOMPARE(u->cmdSalir->geometry(), QRect(104, 10, 92, 23));
        QCOMPARE(u->cmdCancelar->parentWidget(), u->Frame2);
        QCOMPARE(u->cmdCancelar->geometry(), QRect(8, 144, 153, 30));
        QCOMPARE(u->cmdAgregar->text(), QStringLiteral("&Nuevo Usuario"));
        QCOMPARE(u->cmdGuardar->text(), QStringLiteral("&Guardar Cambios"));

        // The password shows one "*" per character.
        QTest::keyClicks(u->maskContrasena, QStringLiteral("abc"));
        QCOMPARE(u->maskContrasena->displayText(), QStringLiteral("***"));
        QCOMPARE(u->maskContrasena->text(), QStringLiteral("abc"));

        // Tab order: name, password, the two sign-in buttons, the account buttons top to bottom.
        const QList<QWidget *> expected{u->combUsuario, u->txtUsuario, u->maskContrasena, u->cmdAceptar, u->cmdSalir,
                                        u->cmdAgregar,  u->cmdBorrar,  u->cmdGuardar,     u->cmdCancelar};
        QList<QWidget *> chain;
        QWidget *w = u->combUsuario;
        do {
            if (expected.contains(w)) {
                chain << w;
            }
            w = w->nextInFocusChain();
        } while (w != u->combUsuario);
        QCOMPARE(chain, expected);

        QCOMPARE(s.listed(), QStringList{QStringLiteral("Admin")});
        QCOMPARE(u->combUsuario->currentIndex(), 0);
        checkMode(u, formUsuario::Mode::SignIn);
        QVERIFY(s.messages().isEmpty());
    }

    void signIn_data() {
        QTest::addColumn<bool>("typed"); // the name typed into the list rather than chosen
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message"); // empty: signed in
        QTest::newRow("right password") << false << "Admin"
                                        << "admin"
                                        << "";
        QTest::newRow("name typed exactly") << true << "Admin"
                                            << "admin"
                                            << "";
        QTest::newRow("password in other case") << false << "Admin"
                                                << "ADMIN"
                                                << "La contraseña es incorrecta.";
        QTest::newRow("empty password") << false << "Admin"
                                        << ""
                                        << "La contraseña es incorrecta.";
        QTest::newRow("name matching no entry") << true << "Nadie"
                                                << "admin"
                                                << "Debe seleccionar un Usuario";
        QTest::newRow("name in other case") << true << "admin"
                                            << "admin"
                                            << "Debe seleccionar un Usuario";
    }

    void signIn() {
        QFETCH(bool, typed);
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, message);
        Session s;
        typed ? s.typeName(name) : s.choose(name);
        s.typePassword(password);
        s.click(s.u->cmdAceptar);
        if (message.isEmpty()) {
            QVERIFY(s.messages().isEmpty());
            QCOMPARE(s.main->lblUsuario->text(), name);
            QVERIFY(s.main->isEnabled());
            QVERIFY(s.u->isUnloading());
            QTRY_VERIFY(s.u.isNull());
            QVERIFY(s.main->usuarioWindow.isNull());
            return;
        }
        QCOMPARE(s.messages(), QStringList{message});
        QVERIFY(!s.main->isEnabled());
        QCOMPARE(s.main->lblUsuario->text(), QStringLiteral("Usuario"));
        QVERIFY(!s.u->isUnloading());
        QCOMPARE(s.u->combUsuario->currentText(), name);
        checkMode(s.u, formUsuario::Mode::SignIn);
        const bool wrongPassword = message.startsWith(QStringLiteral("La contraseña"));
        QCOMPARE(s.u->maskContrasena->text(), wrongPassword ? QString() : password);
        if (wrongPassword) {
            QCOMPARE(s.u->focusWidget(), s.u->maskContrasena);
        }
    }

    void newAccountNeedsTheAdministrator_data() {
        QTest::addColumn<bool>("typed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("administrator") << false << "Admin"
                                       << "admin" << true;
        QTest::newRow("administrator, password in other case") << false << "Admin"
                                                               << "Admin" << false;
        QTest::newRow("account with its own password") << false << "Pedro"
                                                       << "pedro" << false;
        QTest::newRow("account with the administrator's password") << false << "Pedro"
                                                                   << "admin" << false;
        QTest::newRow("administrator's name in other case") << true << "ADMIN"
                                                            << "admin" << false;
    }

    void newAccountNeedsTheAdministrator() {
        QFETCH(bool, typed);
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(bool, allowed);
        Session s(seed({{QStringLiteral("Pedro"), QStringLiteral("pedro")}}));
        typed ? s.typeName(name) : s.choose(name);
        s.typePassword(password);
        s.click(s.u->cmdAgregar);
        if (allowed) {
            QVERIFY(s.messages().isEmpty());
            checkMode(s.u, formUsuario::Mode::NewAccount);
            QVERIFY(s.u->txtUsuario->text().isEmpty());
            QVERIFY(s.u->maskContrasena->text().isEmpty());
        } else {
            QCOMPARE(s.messages(), QStringList{kAdminOnly});
            checkMode(s.u, formUsuario::Mode::SignIn);
            QCOMPARE(s.u->maskContrasena->text(), password);
            QCOMPARE(s.u->focusWidget(), s.u->combUsuario);
        }
    }

    // Load, new account, cancel, save refused, save, delete: the mode table after each, and
    // the first entry of the sorted list selected after cancel, save and delete.
    void modeTableThroughARound() {
        Session s(seed({{QStringLiteral("Aaron"), QStringLiteral("aaron")}}));
        QCOMPARE(s.listed(), (QStringList{"Aaron", "Admin"}));
        QCOMPARE(s.u->combUsuario->currentIndex(), 0);
        checkMode(s.u, formUsuario::Mode::SignIn);

        s.choose(QStringLiteral("Admin"));
        s.typePassword(QStringLiteral("admin"));
        s.click(s.u->cmdAgregar);
        checkMode(s.u, formUsuario::Mode::NewAccount);
        QTest::keyClicks(s.u->txtUsuario, QStringLiteral("Zoe"));
        s.click(s.u->cmdCancelar);
        checkMode(s.u, formUsuario::Mode::SignIn);
        QCOMPARE(s.u->combUsuario->currentText(), QStringLiteral("Aaron"));
        QCOMPARE(s.u->focusWidget(), s.u->combUsuario);
        QCOMPARE(s.listed().size(), 2);

        s.choose(QStringLiteral("Admin"));
        s.typePassword(QStringLiteral("admin"));
        s.click(s.u->cmdAgregar);
        QTest::keyClicks(s.u->txtUsuario, QStringLiteral("Zoe"));
        s.click(s.u->cmdGuardar); // no password
        QCOMPARE(s.messages(), QStringList{QStringLiteral("Ingrese un nombre de usuario y una contraseña.")});
        checkMode(s.u, formUsuario::Mode::NewAccount);
        QCOMPARE(s.u->focusWidget(), s.u->txtUsuario);
        s.u->txtUsuario->clear();
        QTest::keyClicks(s.u->maskContrasena, QStringLiteral("zoe"));
        s.click(s.u->cmdGuardar); // no name
        QCOMPARE(s.messages().size(), 2);
        checkMode(s.u, formUsuario::Mode::NewAccount);

        QTest::keyClicks(s.u->txtUsuario, QStringLiteral("Zoe"));
        s.click(s.u->cmdGuardar);
        QCOMPARE(s.messages().size(), 2); // a save says nothing
        checkMode(s.u, formUsuario::Mode::SignIn);
        QCOMPARE(s.listed(), (QStringList{"Aaron", "Admin", "Zoe"}));
        QCOMPARE(s.u->combUsuario->currentIndex(), 0);
        QVERIFY(s.u->maskContrasena->text().isEmpty());

        s.choose(QStringLiteral("Zoe"));
        s.typePassword(QStringLiteral("admin"));
        s.click(s.u->cmdBorrar);
        QCOMPARE(s.messages().last(), QStringLiteral("El Usuario: Zoe ha sido eliminado."));
        checkMode(s.u, formUsuario::Mode::SignIn);
        QCOMPARE(s.listed(), (QStringList{"Aaron", "Admin"}));
        QCOMPARE(s.u->combUsuario->currentIndex(), 0);
        QVERIFY(s.u->maskContrasena->text().isEmpty());
        QVERIFY(!s.main->isEnabled());
        QCOMPARE(s.t.ender.calls, 0);
    }

    void codesCountTheAccounts() {
        Session s;
        s.createAccount(QStringLiteral("Carla"), QStringLiteral("c"));
        s.createAccount(QStringLiteral("Beto"), QStringLiteral("b"));
        s.createAccount(QStringLiteral("Ana"), QStringLiteral("a"));
        QCOMPARE(s.codes(), (QMap<QString, qlonglong>{{"Admin", 0}, {"Carla", 1}, {"Beto", 2}, {"Ana", 3}}));
        // Deleting code 1 leaves three rows, so the next account takes code 3 again.
        s.choose(QStringLiteral("Carla"));
        s.typePassword(QStringLiteral("admin"));
        s.click(s.u->cmdBorrar);
        s.createAccount(QStringLiteral("Dario"), QStringLiteral("d"));
        QCOMPARE(s.codes(), (QMap<QString, qlonglong>{{"Admin", 0}, {"Beto", 2}, {"Ana", 3}, {"Dario", 3}}));
        QCOMPARE(s.messages(), QStringList{QStringLiteral("El Usuario: Carla ha sido eliminado.")});
    }

    void deleteNeedsTheAdministratorsPassword_data() {
        QTest::addColumn<bool>("typed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("Admin, never") << false << "Admin"
                                      << "admin"
                                      << "No se puede borrar el usuario Admin" << false;
        QTest::newRow("the account's own password")
            << false << "Pedro"
            << "pedro"
            << "Para eliminar la cuenta Pedro debe ingresar la contraseña de Administrador." << false;
        QTest::newRow("the administrator's password") << false << "Pedro"
                                                      << "admin"
                                                      << "El Usuario: Pedro ha sido eliminado." << true;
        QTest::newRow("a name that lists no account") << true << "Pedr"
                                                      << "admin"
                                                      << "Debe seleccionar un Usuario" << false;
    }

    void deleteNeedsTheAdministratorsPassword() {
        QFETCH(bool, typed);
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(bool, deleted);
        Session s(seed({{QStringLiteral("Pedro"), QStringLiteral("pedro")}}));
        typed ? s.typeName(name) : s.choose(name);
        s.typePassword(password);
        s.click(s.u->cmdBorrar);
        QCOMPARE(s.messages(), QStringList{message});
        QCOMPARE(s.codes().contains(QStringLiteral("Pedro")), !deleted);
        QCOMPARE(s.listed().contains(QStringLiteral("Pedro")), !deleted);
        QCOMPARE(s.u->maskContrasena->text(), deleted ? QString() : password);
        checkMode(s.u, formUsuario::Mode::SignIn);
    }

    void enterMovesTheFocus() {
        Session s;
        s.u->showForm();
        s.choose(QStringLiteral("Admin"));
        QTest::keyClick(s.u->combUsuario, Qt::Key_Return);
        QCOMPARE(s.u->focusWidget(), s.u->maskContrasena);
        QTest::keyClicks(s.u->maskContrasena, QStringLiteral("admin"));
        QTest::keyClick(s.u->maskContrasena, Qt::Key_Enter);
        QCOMPARE(s.u->focusWidget(), s.u->cmdAceptar);
        QCOMPARE(s.u->mode(), formUsuario::Mode::SignIn); // only the focus moved

        s.click(s.u->cmdAgregar);
        QTest::keyClicks(s.u->txtUsuario, QStringLiteral("Eva"));
        QTest::keyClicks(s.u->maskContrasena, QStringLiteral("eva"));
        QTest::keyClick(s.u->maskContrasena, Qt::Key_Return);
        QCOMPARE(s.u->focusWidget(), s.u->cmdGuardar);
        QTest::keyClick(s.u->cmdGuardar, Qt::Key_Return); // Enter on the button presses it
        QCOMPARE(s.listed(), (QStringList{"Admin", "Eva"}));

        s.choose(QStringLiteral("Eva"));
        QTest::keyClicks(s.u->maskContrasena, QStringLiteral("eva"));
        QTest::keyClick(s.u->maskContrasena, Qt::Key_Return);
        QTest::keyClick(s.u->focusWidget(), Qt::Key_Return);
        QCOMPARE(s.main->lblUsuario->text(), QStringLiteral("Eva"));
        QVERIFY(s.messages().isEmpty());
    }

    // Quotes reach the file exactly: create, sign in, then delete from a fresh window.
    void quotesInNamesAndPasswords() {
        Session s;
        const QString name = QStringLiteral("O'Brien");
        const QString password = QStringLiteral("it's'");
        s.createAccount(name, password);
        QCOMPARE(s.listed(), (QStringList{"Admin", name}));
        s.choose(name);
        s.typePassword(password);
        s.click(s.u->cmdAceptar);
        QVERIFY(s.messages().isEmpty());
        QCOMPARE(s.main->lblUsuario->text(), name);
        QVERIFY(s.main->isEnabled());

        // Pressed before the old window is gone: a fresh window opens all the same.
        QPointer<formUsuario> old = s.u;
        s.click(s.main->cmdUsuario);
        s.u = s.main->usuarioWindow;
        QVERIFY(s.u && s.u != old);
        QVERIFY(s.u->isVisible());
        QVERIFY(!s.main->isEnabled());
        QTRY_VERIFY(old.isNull());
        QVERIFY(s.u);

        s.choose(name);
        s.typePassword(QStringLiteral("admin"));
        s.click(s.u->cmdBorrar);
        QCOMPARE(s.messages(), QStringList{QStringLiteral("El Usuario: O'Brien ha sido eliminado.")});
        QCOMPARE(s.codes().keys(), QStringList{"Admin"});
        // Deleting the signed-in account leaves the main window's operator alone.
        QCOMPARE(s.main->lblUsuario->text(), name);
    }

    void closeBox_data() {
        QTest::addColumn<bool>("newAccount");
        QTest::newRow("sign-in mode: like Salir") << false;
        QTest::newRow("new-account mode: refused") << true;
    }

    void closeBox() {
        QFETCH(bool, newAccount);
        Session s;
        s.u->showForm();
        if (newAccount) {
            s.typePassword(QStringLiteral("admin"));
            s.click(s.u->cmdAgregar);
            checkMode(s.u, formUsuario::Mode::NewAccount);
        }
        QTest::keyClick(s.u, Qt::Key_Escape);
        QTest::keyClick(s.u->maskContrasena, Qt::Key_Escape);
        QVERIFY(s.u->isVisible());
        QCOMPARE(s.t.ender.calls, 0);

        QCOMPARE(s.u->close(), !newAccount);
        QCOMPARE(s.u->isVisible(), newAccount);
        QCOMPARE(s.t.ender.calls, newAccount ? 0 : 1);
        QVERIFY(!s.main->isEnabled());
        QVERIFY(s.messages().isEmpty());
        if (newAccount) {
            checkMode(s.u, formUsuario::Mode::NewAccount);
        }
    }

    void salirEndsEvenAfterChangingUser() {
        Session s;
        s.typePassword(QStringLiteral("admin"));
        s.click(s.u->cmdAceptar);
        s.click(s.main->cmdPuesto[1]);
        s.click(s.main->cmdUsuario);
        s.u = s.main->usuarioWindow;
        s.click(s.u->cmdSalir);
        QCOMPARE(s.t.ender.calls, 1);
        QVERIFY(s.messages().isEmpty());
    }

    void passwordsAreStoredHashed() {
        Session s;
        QVERIFY(s.storedPassword(QStringLiteral("Admin")).startsWith(QLatin1String("$argon2id$")));
        s.createAccount(QStringLiteral("Pedro"), QStringLiteral("secreto-unico"));
        const QString stored = s.storedPassword(QStringLiteral("Pedro"));
        QVERIFY(stored.startsWith(QLatin1String("$argon2id$")));
        QVERIFY(accounts::verifyPassword(stored, QStringLiteral("secreto-unico")));
        s.u.clear();
        s.main.reset();
        QFile file(s.t.databasePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().contains("secreto-unico"));

        // A sign-in must not keep the operator waiting.
        QElapsedTimer timer;
        timer.start();
        QVERIFY(accounts::verifyPassword(stored, QStringLiteral("secreto-unico")));
        QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
    }

    void refusedStatementKeepsTheWindowUsable_data() {
        QTest::addColumn<QByteArray>("trigger");
        QTest::addColumn<bool>("insert");
        QTest::newRow("insert refused") << QByteArray("CREATE TRIGGER no BEFORE INSERT ON Usuarios "
                                                      "BEGIN SELECT RAISE(ABORT, 'cuentas bloqueadas'); END;")
                                        << true;
        QTest::newRow("delete refused") << QByteArray("CREATE TRIGGER no BEFORE DELETE ON Usuarios "
                                                      "BEGIN SELECT RAISE(ABORT, 'cuentas bloqueadas'); END;")
                                        << false;
    }

    void refusedStatementKeepsTheWindowUsable() {
        QFETCH(QByteArray, trigger);
        QFETCH(bool, insert);
        Session s(seed({{QStringLiteral("Pedro"), QStringLiteral("pedro")}}));
        rawSql(s.t.databasePath(), trigger.constData());
        if (insert) {
            s.createAccount(QStringLiteral("Zoe"), QStringLiteral("zoe"));
            QCOMPARE(s.messages().size(), 1);
            QVERIFY2(s.messages().first().contains(QLatin1String("Zoe")), qPrintable(s.messages().first()));
            QVERIFY(!s.messages().first().contains(QLatin1String("argon2")));
            checkMode(s.u, formUsuario::Mode::NewAccount); // the typed account is not lost
            s.click(s.u->cmdCancelar);
        } else {
            s.choose(QStringLiteral("Pedro"));
            s.typePassword(QStringLiteral("admin"));
            s.click(s.u->cmdBorrar);
            QCOMPARE(s.messages().size(), 1);
            QVERIFY(s.messages().first().contains(QLatin1String("Pedro")));
            QVERIFY(!s.messages().first().contains(QLatin1String("eliminado")));
        }
        QVERIFY(s.messages().first().contains(QLatin1String("cuentas bloqueadas")));
        QCOMPARE(s.listed(), (QStringList{"Admin", "Pedro"}));
        checkMode(s.u, formUsuario::Mode::SignIn);
        s.choose(QStringLiteral("Pedro"));
        s.typePassword(QStringLiteral("pedro"));
        s.click(s.u->cmdAceptar);
        QCOMPARE(s.main->lblUsuario->text(), QStringLiteral("Pedro"));
        QCOMPARE(s.t.ender.calls, 0);
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
        testing::TestPlatform t;
        if (removeFile) {
            QVERIFY(QFile::remove(t.databasePath()));
        } else {
            data::Database::open(t.databasePath())->execute(QStringLiteral("DELETE FROM Usuarios"));
        }
        formLudomat2 main(t.platform);
        main.Form_Load();
        formUsuario *u = main.usuarioWindow;
        QVERIFY(u && u->isVisible());
        QVERIFY(!main.isEnabled());
        QVERIFY2(t.messages.messages.first().contains(expected), qPrintable(t.messages.messages.first()));
        t.messages.messages.clear();

        QTest::keyClicks(u->maskContrasena, QStringLiteral("admin"));
        QTest::mouseClick(u->cmdAceptar, Qt::LeftButton);
        QTest::mouseClick(u->cmdAgregar, Qt::LeftButton);
        QTest::mouseClick(u->cmdBorrar, Qt::LeftButton);
        QCOMPARE(t.messages.messages.size(), 3);
        checkMode(u, formUsuario::Mode::SignIn);
        QVERIFY(!main.isEnabled());
        QCOMPARE(t.ender.calls, 0);
        QTest::mouseClick(u->cmdSalir, Qt::LeftButton);
        QCOMPARE(t.ender.calls, 1);
    }
};

QTEST_MAIN(AccountsTest)
#include "tst_accounts.moc"
