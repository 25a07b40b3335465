// The accounts of a books file without a window: each file's throttle of wrong passwords, every
// change with its journal entry, and a write the file refuses, which leaves accounts and journal
// as they were.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "accounts/AccountService.h"
#include "accounts/PasswordHash.h"
#include "accounts/Session.h"
#include "data/Journal.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

using Outcome = accounts::Answer::Outcome;
using Verdict = accounts::AdministratorCheck::Verdict;

// A books file with Pedro (password "pedro") beside Admin (the delivered "admin"), and the
// accounts service of a program started on it.
struct Books {
    testing::TestPlatform t;
    accounts::Session session;
    std::unique_ptr<accounts::AccountService> service;
    qsizetype journalStart = 0;

    Books() {
        static const QString pedroHash = accounts::hashPassword(QStringLiteral("pedro")); // one slow hash for all
        testing::addAccount(t.databasePath(), 1, QStringLiteral("Pedro"), pedroHash);
        journalStart = testing::journal(t.databasePath(), QStringLiteral("Evento")).size();
        restart();
    }
    // The program started again on the same file: nothing is kept but what the file keeps.
    void restart() { service = std::make_unique<accounts::AccountService>(t.databasePath(), t.clock, session); }
    accounts::Grant grant(const accounts::Answer &answer) const { return answer.grant.value(); }
    // The accounts as the file keeps them (their wrong tries aside).
    QStringList stored() const {
        QStringList rows;
        for (const char *table : {"Usuarios", "ClavesProvisorias", "Sello"})
            for (const QString &row : testing::tableRows(t.databasePath(), QString::fromLatin1(table)))
                rows << QString::fromLatin1(table) + u':' + row;
        return rows;
    }
    // The journal since the books were made, "Usuario|Evento|Detalle", without fingerprints and
    // the owner's keys and seals (the books' check judges those).
    QStringList journal() const {
        QStringList rows =
            testing::journal(t.databasePath(), QStringLiteral("Usuario, Evento, Detalle")).mid(journalStart);
        for (QString &row : rows) {
            row.remove(QRegularExpression(QStringLiteral("; Huella=[0-9a-f]{64}$")));
            row.replace(QRegularExpression(QStringLiteral("^([^|]*\\|(Clave del sello|Sello)\\|).*$")),
                        QStringLiteral("\\1"));
        }
        return rows;
    }
    // Where the books differ from the journal: what was written must be what was journaled.
    QStringList differences() const {
        QStringList out;
        for (const journal::Difference &d : journal::verifyFile(t.databasePath()).differences)
            out << d.english();
        return out;
    }
};

// The changes, each done on b; what it came to.
accounts::Result change(Books &b, const QString &which) {
    accounts::AccountService &s = *b.service;
    if (which == u"add")
        return s.addAccount(b.grant(s.mayAddAccounts("Admin", "admin")), "Lucas", "clave-lucas");
    if (which == u"delete")
        return s.deleteAccount("Pedro", "admin");
    if (which == u"own password")
        return s.changePassword(b.grant(s.mayChangePassword("Pedro", "pedro")), "nueva-clave");
    if (which == u"administrator's reset")
        return s.changePassword(b.grant(s.mayChangePassword("Pedro", "admin")), "nueva-clave");
    if (which == u"first sign-in") {
        const accounts::Answer asked = s.signIn("Admin", "admin");
        return asked.outcome == Outcome::ChoosePassword ? s.changePassword(b.grant(asked), "clave-nueva")
                                                        : accounts::Result{false, asked.message};
    }
    const accounts::Answer signedIn = s.signIn("Pedro", "pedro");
    return {signedIn.outcome == Outcome::Done, signedIn.message};
}

const char *const kChanges[] = {"sign-in", "add", "delete", "own password", "administrator's reset", "first sign-in"};

} // namespace

class AccountServiceTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each file counts its own wrong passwords: five are free, then the account waits, across a
    // restart on the same file; the other file's accounts never wait for them. The administrator's
    // password asked for a rate or a restore counts with the sign-in's, in this run's memory too
    // when the file refuses to keep the count.
    void throttlePerFile() {
        Books shop, other;
        QCOMPARE(execRaw(shop.t.databasePath(), "CREATE TRIGGER no BEFORE INSERT ON Intentos WHEN NEW.Usuario = "
                                                "'Admin' BEGIN SELECT RAISE(ABORT, 'lleno'); END"),
                 SQLITE_OK);
        QStringList journal;
        for (int i = 0; i < 5; ++i) {
            for (const char *account : {"Pedro", "Admin"}) {
                QCOMPARE(shop.service->signIn(account, "mala").outcome, Outcome::Wrong);
                journal << QStringLiteral("%1|Ingreso rechazado|contraseña incorrecta").arg(account);
            }
        }
        QCOMPARE(shop.service->checkAdministratorPassword("admin").verdict, Verdict::Waiting);
        shop.restart();
        const accounts::Answer waiting = shop.service->signIn("Pedro", "pedro");
        QCOMPARE(waiting.outcome, Outcome::Waiting);
        QCOMPARE(waiting.message, QStringLiteral("Demasiadas contraseñas incorrectas para la cuenta Pedro. Espere 2 "
                                                 "segundos antes de intentar de nuevo."));
        QVERIFY(!shop.session.isSignedIn());

        QCOMPARE(other.service->checkAdministratorPassword("admin").verdict, Verdict::Right);
        QCOMPARE(other.service->signIn("Pedro", "pedro").outcome, Outcome::Done);
        QCOMPARE(other.session.user(), QStringLiteral("Pedro"));

        shop.t.clock.monotonic += 2000;
        QCOMPARE(shop.service->signIn("Pedro", "pedro").outcome, Outcome::Done);
        QCOMPARE(readOnlyRows(shop.t.databasePath(), "SELECT count(*) FROM Intentos"), QStringList{"0"});
        QCOMPARE(shop.journal(), journal << "Pedro|Ingreso rechazado|espera por intentos fallidos"
                                         << "Pedro|Ingreso|");
    }

    // Every change is written with its journal entry, so the books agree with the journal; what
    // it leaves shows at the next sign-in with the new password.
    void changes_data() {
        QTest::addColumn<QString>("said");
        QTest::addColumn<QStringList>("journal");
        QTest::addColumn<QStringList>("accounts"); // Usuarios, then ClavesProvisorias
        QTest::addColumn<QString>("who");          // then signs in with
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("then");
        const QStringList both{"0|Admin|<hash>", "1|Pedro|<hash>"};
        QTest::newRow("sign-in") << "" << QStringList{"Pedro|Ingreso|"} << both << "Pedro"
                                 << "pedro" << int(Outcome::Done);
        QTest::newRow("add") << "La cuenta Lucas fue creada. En su primer ingreso se le pedirá una contraseña propia."
                             << QStringList{"Admin|Cuenta agregada|Cuenta=Lucas"}
                             << both + QStringList{"2|Lucas|<hash>", "Lucas"} << "Lucas"
                             << "clave-lucas" << int(Outcome::ChoosePassword);
        QTest::newRow("delete") << "El Usuario: Pedro ha sido eliminado."
                                << QStringList{"Admin|Cuenta borrada|Cuenta=Pedro"} << QStringList{"0|Admin|<hash>"}
                                << "Pedro"
                                << "pedro" << int(Outcome::Failed);
        QTest::newRow("own password") << "La contraseña de Pedro fue cambiada."
                                      << QStringList{"Pedro|Contraseña cambiada|Cuenta=Pedro; propia"} << both
                                      << "Pedro"
                                      << "nueva-clave" << int(Outcome::Done);
        QTest::newRow("administrator's reset")
            << "La contraseña de Pedro fue cambiada."
            << QStringList{"Admin|Contraseña cambiada|Cuenta=Pedro; por el administrador"}
            << both + QStringList{"Pedro"} << "Pedro"
            << "nueva-clave" << int(Outcome::ChoosePassword);
        QTest::newRow("first sign-in") << ""
                                       << QStringList{"Admin|Contraseña cambiada|Cuenta=Admin; propia",
                                                      "Admin|Clave del sello|", "Admin|Ingreso|", "Admin|Sello|"}
                                       << both << "Admin"
                                       << "clave-nueva" << int(Outcome::Done);
    }
    void changes() {
        QFETCH(QString, said);
        QFETCH(QStringList, journal);
        QFETCH(QStringList, accounts);
        QFETCH(QString, who);
        QFETCH(QString, password);
        QFETCH(int, then);
        Books b;
        const accounts::Result done = change(b, QString::fromUtf8(QTest::currentDataTag()));
        QVERIFY2(done.ok, qPrintable(done.message));
        QCOMPARE(done.message, said);
        QCOMPARE(b.journal(), journal);
        QCOMPARE(testing::tableRows(b.t.databasePath(), "Usuarios") +
                     testing::tableRows(b.t.databasePath(), "ClavesProvisorias"),
                 accounts);
        QCOMPARE(b.differences(), QStringList());
        // Signed in by the change itself only at a first sign-in, the administrator with the owner's key.
        const bool signedIn = journal.last().endsWith(u"|Ingreso|") || journal.last().endsWith(u"|Sello|");
        QCOMPARE(b.session.isSignedIn(), signedIn);
        QCOMPARE(b.session.ownerSeal().holdsKey(), who == u"Admin");
        b.session.ownerSeal().forget();
        const accounts::Answer next = b.service->signIn(who, password);
        QCOMPARE(int(next.outcome), then);
        QCOMPARE(b.session.ownerSeal().holdsKey(), who == u"Admin");
    }

    // A write the file refuses (another program holds the write lock, or a trigger refuses the
    // journal's entry) leaves the accounts and the journal exactly as they were, nobody signed in,
    // and says why, naming the account and never a password's hash. Once the file takes writes
    // again the same change goes through.
    void refusedWrite_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("busy");
        for (const char *which : kChanges) {
            QTest::addRow("%s, busy", which) << QString::fromUtf8(which) << true;
            QTest::addRow("%s, journal refused", which) << QString::fromUtf8(which) << false;
        }
    }
    void refusedWrite() {
        QFETCH(QString, change);
        QFETCH(bool, busy);
        Books b;
        const QString path = b.t.databasePath();
        const QStringList stored = b.stored();
        QProcess holder; // another program, holding the write lock until its input ends
        if (busy) {
            holder.start(QStringLiteral("sqlite3"), {path});
            holder.write("BEGIN IMMEDIATE;\nSELECT 'held';\n");
            QVERIFY(holder.waitForReadyRead(10000));
        } else {
            QCOMPARE(execRaw(path, "CREATE TRIGGER no BEFORE INSERT ON Registro BEGIN SELECT RAISE(ABORT, "
                                   "'bloqueadas'); END"),
                     SQLITE_OK);
        }
        const accounts::Result refused = ::change(b, change);
        QVERIFY(!refused.ok);
        const QString named = change == u"first sign-in" ? "Admin" : change == u"add" ? "Lucas" : "Pedro";
        QVERIFY2(refused.message.contains(busy ? "ocupada" : "bloqueadas") && refused.message.contains(named) &&
                     !refused.message.contains("$argon2id$"),
                 qPrintable(refused.message));
        QCOMPARE(b.stored(), stored);
        QCOMPARE(b.journal(), QStringList());
        QVERIFY(!b.session.isSignedIn() && !b.session.ownerSeal().holdsKey());

        if (busy) {
            holder.closeWriteChannel();
            QVERIFY(holder.waitForFinished(10000));
        } else {
            QCOMPARE(execRaw(path, "DROP TRIGGER no"), SQLITE_OK);
        }
        const accounts::Result done = ::change(b, change);
        QVERIFY2(done.ok, qPrintable(done.message));
        QCOMPARE(b.differences(), QStringList());
    }

    // A new account's name and password follow their rules before the second typing, and the name
    // is checked again under the write lock: one another program made meanwhile stops it.
    void newAccountRules_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<int>("at");
        using Field = accounts::NewAccountCheck::Field;
        QTest::newRow("made, trimmed") << "  Lucas "
                                       << "clave-lucas"
                                       << "" << int(Field::None);
        QTest::newRow("look-alike") << "pedro"
                                    << "clave-pedro"
                                    << "El nombre pedro ya está tomado: se confunde con el de la cuenta Pedro."
                                    << int(Field::Name);
        QTest::newRow("blank") << " "
                               << "clave-lucas"
                               << "Ingrese un nombre de usuario y una contraseña." << int(Field::Name);
        QTest::newRow("short") << "Lucas"
                               << "lucas"
                               << "La contraseña nueva debe tener al menos 6 caracteres." << int(Field::Password);
    }
    void newAccountRules() {
        QFETCH(QString, typed);
        QFETCH(QString, password);
        QFETCH(QString, problem);
        QFETCH(int, at);
        Books b;
        const accounts::NewAccountCheck checked = b.service->checkNewAccount(typed, password);
        QCOMPARE(checked.problem, problem);
        QCOMPARE(int(checked.at), at);
        if (!problem.isEmpty())
            return;
        QCOMPARE(checked.name, QStringLiteral("Lucas"));
        const accounts::Grant administration = b.grant(b.service->mayAddAccounts("Admin", "admin"));
        QCOMPARE(execRaw(b.t.databasePath(), "INSERT INTO Usuarios VALUES (2, 'lucas', 'x')"), SQLITE_OK);
        const QStringList stored = b.stored();
        const accounts::Result refused = b.service->addAccount(administration, checked.name, password);
        QCOMPARE(refused.message,
                 QStringLiteral("El nombre Lucas ya está tomado: se confunde con el de la cuenta lucas."));
        QVERIFY(!refused.ok && b.stored() == stored && b.journal().isEmpty());
    }

    // An operator's password hash copied into the administrator's row still signs in as the
    // administrator, but gives no owner's key: nothing is sealed, and the answer says so.
    void copiedHashSealsNothing() {
        Books b;
        QVERIFY(change(b, "first sign-in").ok && b.session.ownerSeal().holdsKey());
        QCOMPARE(execRaw(b.t.databasePath(), "UPDATE Usuarios SET Contraseña = (SELECT Contraseña FROM Usuarios WHERE "
                                             "Usuario = 'Pedro') WHERE Usuario = 'Admin'"),
                 SQLITE_OK);
        b.session.ownerSeal().forget();
        const accounts::Answer signedIn = b.service->signIn("Admin", "pedro");
        QCOMPARE(signedIn.outcome, Outcome::Done);
        QVERIFY2(signedIn.message.contains("no da la clave del sello"), qPrintable(signedIn.message));
        QVERIFY(!b.session.ownerSeal().holdsKey() && b.session.isAdministrator());
        QCOMPARE(b.journal().last(), QStringLiteral("Admin|Ingreso|"));
    }
};

QTEST_GUILESS_MAIN(AccountServiceTest)
#include "tst_account_service.moc"
