// The new-password rules and the sign-in throttle, on a clock moved by hand.
#include "accounts/PasswordPolicy.h"

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

    // Five failures are free; then 2, 4, 8, 16, 30, 30 s after each failure. Accounts and files
    // are counted apart, and a right password starts the count again.
    void throttle() {
        accounts::SignInThrottle t;
        const QString db = QStringLiteral("/a/dbLudomat.mdb"), ana = QStringLiteral("Ana");
        qint64 now = 1'000'000;
        const auto wait = [&](const QString &file, const QString &account, qint64 at) {
            return int(t.waitMs(file, account, at));
        };
        for (int i = 0; i < 4; ++i)
            t.failed(db, ana, now);
        QCOMPARE(wait(db, ana, now), 0);
        for (const int ms : {2'000, 4'000, 8'000, 16'000, 30'000, 30'000}) {
            t.failed(db, ana, now);
            QCOMPARE(wait(db, ana, now), ms);
            QCOMPARE(wait(db, ana, now + ms - 1), 1);
            QCOMPARE(wait(db, QStringLiteral("ana"), now) + wait(QStringLiteral("/b/dbLudomat.mdb"), ana, now), 0);
            now += ms;
            QCOMPARE(wait(db, ana, now), 0);
        }
        t.succeeded(db, ana);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(wait(db, ana, now), 0);
            t.failed(db, ana, now);
        }
        QCOMPARE(wait(db, ana, now), 2'000);
    }
};

QTEST_GUILESS_MAIN(PasswordPolicyTest)
#include "tst_password_policy.moc"
