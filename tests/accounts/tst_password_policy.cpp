// The rules of names and new passwords, and the sign-in throttle's arithmetic across restarts,
// reboots and clocks set back.
#include "TestSupport.h"
#include "accounts/AccountNames.h"
#include "accounts/PasswordPolicy.h"
#include "accounts/SignInThrottle.h"
#include "data/Database.h"

#include <QTest>

class PasswordPolicyTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rules_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("problem"); // empty: accepted
        const QString shortText = QStringLiteral("La contraseña nueva debe tener al menos 6 caracteres.");
        QTest::newRow("six") << "abc123"
                             << "abc123" << QString();
        QTest::newRow("five") << "abc12"
                              << "abc12" << shortText;
        QTest::newRow("six letters in eight UTF-16 units") << "ñandú🎲"
                                                           << "ñandú🎲" << QString();
        QTest::newRow("five letters in six UTF-16 units") << "ñand🎲"
                                                          << "ñand🎲" << shortText;
        QTest::newRow("the name, other case") << "JUANITO"
                                              << "JUANITO"
                                              << "La contraseña nueva no puede ser igual al nombre de la cuenta.";
        QTest::newRow("the name with more") << "juanito1"
                                            << "juanito1" << QString();
        QTest::newRow("mismatch") << "secreto"
                                  << "secretO"
                                  << "Las contraseñas nuevas no coinciden.";
    }
    void rules() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, problem);
        QCOMPARE(accounts::newPasswordProblem(QStringLiteral("Juanito"), first, second), problem);
    }

    // A new account's name: trimmed, NFC, 1 to 40 characters, no controls, and not one an
    // existing account's name could be read as.
    void names_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");  // the name as it is stored
        QTest::addColumn<QString>("problem"); // empty: accepted
        const QString blank = QStringLiteral("Ingrese un nombre de usuario y una contraseña.");
        const auto taken = [](const char *name, const char *by) {
            return QStringLiteral("El nombre %1 ya está tomado: se confunde con el de la cuenta %2.")
                .arg(QString::fromUtf8(name), QString::fromUtf8(by));
        };
        const QString forty = QString(39, QLatin1Char('x')) + QStringLiteral("🎲"); // 41 UTF-16 units
        const struct {
            const char *row;
            QString typed, stored, problem;
        } table[] = {
            {"new", "Lucas", "Lucas", {}},
            {"trimmed", " \tLucas\u00a0 ", "Lucas", {}},
            {"NFC", "Rene\u0301", "Ren\u00e9", {}},
            {"40 characters", forty, forty, {}},
            {"41 characters", forty + "x", forty + "x",
             QStringLiteral("El nombre de usuario puede tener hasta 40 caracteres; el escrito tiene 41.")},
            {"300 characters", QString(300, 'J'), QString(300, 'J'),
             QStringLiteral("El nombre de usuario puede tener hasta 40 caracteres; el escrito tiene 300.")},
            {"blank", " ", "", blank},
            {"control", "Lu\ncas", "Lu\ncas",
             QStringLiteral("El nombre de usuario no puede tener caracteres de control.")},
            {"the same", "Juan", "Juan", QStringLiteral("Ya existe una cuenta con el nombre Juan.")},
            {"trailing space", "Juan ", "Juan", QStringLiteral("Ya existe una cuenta con el nombre Juan.")},
            {"other case", "juan", "juan", taken("juan", "Juan")},
            {"Cyrillic a", "Ju\u0430n", "Ju\u0430n", taken("Juаn", "Juan")},
            {"Cyrillic, other case", "JU\u0410N", "JU\u0410N", taken("JUАN", "Juan")},
            {"zero-width space", "Juan\u200b", "Juan\u200b", taken("Juan\u200b", "Juan")},
            {"composed against decomposed", "Jos\u00e9", "Jos\u00e9",
             QStringLiteral("Ya existe una cuenta con el nombre José.")},
            {"l for I", "lrene", "lrene", taken("lrene", "Irene")},
            {"rn for m", "Rarnón", "Rarnón", taken("Rarnón", "Ramón ")},
            {"accent makes another name", "Ramon", "Ramon", {}},
            {"ss for sharp s", "Strauss", "Strauss", taken("Strauss", "Strauß")},
        };
        for (const auto &r : table)
            QTest::newRow(r.row) << r.typed << r.stored << r.problem;
    }
    void names() {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, problem);
        // Stored as older versions kept them: untrimmed, decomposed.
        const QStringList existing{"Juan", "Jose\u0301", "Irene", "Ramón ", "Strauß"};
        const accounts::NameCheck check = accounts::checkNewAccountName(typed, existing);
        QCOMPARE(check.problem, problem);
        QCOMPARE(check.name, stored.normalized(QString::NormalizationForm_C));
    }

    // The wait before the next check, 7 failures in (8 s), the last one 3 s ago by the clock that
    // counts (the doubling itself: waitsDouble). Within a boot only the boot clock counts; after a reboot the wall
    // clock, and a wall clock behind the failure gives the whole wait, never a shorter one.
    void waitAcrossClocks_data() {
        QTest::addColumn<int>("failures");
        QTest::addColumn<QString>("boot"); // "A" is the failure's boot
        QTest::addColumn<qint64>("bootMs");
        QTest::addColumn<qint64>("wallMs"); // from the failure's wall instant
        QTest::addColumn<qint64>("wait");
        const qint64 h = 3'600'000;
        QTest::newRow("same boot") << 7 << "A" << 103'000LL << 3'000LL << 5'000LL;
        QTest::newRow("same boot, wall set back") << 7 << "A" << 103'000LL << -h << 5'000LL;
        QTest::newRow("same boot, wall set ahead") << 7 << "A" << 103'000LL << h << 5'000LL;
        QTest::newRow("same boot, boot clock behind") << 7 << "A" << 90'000LL << 3'000LL << 8'000LL;
        QTest::newRow("reboot") << 7 << "B" << 500LL << 3'000LL << 5'000LL;
        QTest::newRow("reboot, wall behind") << 7 << "B" << 500LL << -h << 8'000LL;
        QTest::newRow("reboot, waited") << 7 << "B" << 500LL << 8'000LL << 0LL;
        QTest::newRow("boot unknown") << 7 << "" << 103'000LL << 3'000LL << 5'000LL;
        QTest::newRow("longest") << 21 << "B" << 0LL << -h << 30'000LL;
    }
    void waitAcrossClocks() {
        QFETCH(int, failures);
        QFETCH(QString, boot);
        QFETCH(qint64, bootMs);
        QFETCH(qint64, wallMs);
        QFETCH(qint64, wait);
        const QDateTime wall(QDate(2026, 12, 5), QTime(12, 0), Qt::UTC);
        const accounts::Failures f{failures, wall, boot.isEmpty() ? QString() : "A", 100'000};
        const accounts::Moment now{wall.addMSecs(wallMs), boot, bootMs};
        QCOMPARE(accounts::waitMs(f, now), wait);
        // Counted again by this boot's clock, the wait is the same.
        QCOMPARE(accounts::waitMs(accounts::inThisBoot(f, now), now), wait);
    }

    // Five failures are free; then 2, 4, 8, 16, 30, 30 s after each one. A wall clock set back
    // between two failures does not make the wait after a reboot shorter.
    void waitsDouble() {
        accounts::Failures f;
        accounts::Moment now{QDateTime(QDate(2026, 12, 5), QTime(12, 0), Qt::UTC), "A", 1'000'000};
        const auto pass = [&now](qint64 ms) {
            now.wall = now.wall.addMSecs(ms);
            now.bootMs += ms;
        };
        for (int i = 0; i < 4; ++i)
            f = accounts::afterFailure(f, now);
        QCOMPARE(accounts::waitMs(f, now), 0);
        for (const qint64 ms : {2'000, 4'000, 8'000, 16'000, 30'000, 30'000}) {
            f = accounts::afterFailure(f, now);
            QCOMPARE(accounts::waitMs(f, now), ms);
            pass(ms - 1);
            QCOMPARE(accounts::waitMs(f, now), 1);
            pass(1);
            QCOMPARE(accounts::waitMs(f, now), 0);
        }
        now.wall = now.wall.addSecs(-3600);
        pass(30'000);
        f = accounts::afterFailure(f, now);
        pass(10'000);
        const accounts::Moment rebooted{now.wall.addSecs(3600), "B", 5'000};
        QCOMPARE(accounts::waitMs(f, rebooted), 20'000);
    }

    // The throttle of a file: a restart (a new throttle, a new handle) waits as long as the first
    // would have, and so does a restart after a reboot whose wall clock is behind. (A file that
    // refuses the record still throttles this run, and the right password clears the record:
    // tst_account_service's throttlePerFile.)
    void throttleKeptInTheFile() {
        testing::TestPlatform t;
        const QString pedro = QStringLiteral("Pedro");
        accounts::Moment now{QDateTime(QDate(2026, 12, 5), QTime(12, 0), Qt::UTC), "A", 1'000'000};
        auto db = data::Database::open(t.databasePath());
        auto first = std::make_unique<accounts::SignInThrottle>();
        for (const qint64 ms : {0, 0, 0, 0, 0, 2'000, 4'000}) {
            now.bootMs += ms;
            now.wall = now.wall.addMSecs(ms);
            QCOMPARE(first->waitMs(*db, pedro, now), 0);
            first->failed(*db, pedro, now);
        }
        now.bootMs += 1'000;
        QCOMPARE(first->waitMs(*db, pedro, now), 7'000);
        first.reset();
        db = data::Database::open(t.databasePath());
        QCOMPARE(accounts::SignInThrottle().waitMs(*db, pedro, now), 7'000);
        QCOMPARE(accounts::SignInThrottle().waitMs(*db, QStringLiteral("pedro"), now), 0);

        // A reboot with the wall clock an hour behind: the whole wait, anchored to this boot, so
        // that the clock put right at the next start does not end it early.
        accounts::Moment rebooted{now.wall.addSecs(-3600), "B", 20'000};
        QCOMPARE(accounts::SignInThrottle().waitMs(*db, pedro, rebooted), 8'000);
        rebooted.wall = rebooted.wall.addSecs(3600);
        rebooted.bootMs += 1'000;
        QCOMPARE(accounts::SignInThrottle().waitMs(*db, pedro, rebooted), 7'000);
    }
};

QTEST_GUILESS_MAIN(PasswordPolicyTest)
#include "tst_password_policy.moc"
