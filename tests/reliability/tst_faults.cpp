// Every write and every sync of a statement is made to fail in turn: the statement must
// report the failure, and the file must stay sound, holding all of the statement or none.
#include "FaultVfs.h"
#include "Integrity.h"
#include "TestSupport.h"
#include "data/Database.h"
#include "data/Statements.h"

#include <QtTest>
#include <climits>

namespace {

QString rentalInsert() {
    return statements::alquilerInsert(2, true, QStringLiteral("Admin"), 5, QStringLiteral("Dec"), 2026,
                                      QStringLiteral("14:05:09"), QStringLiteral("1"), QStringLiteral("25"),
                                      QStringLiteral("6"));
}

QString accountInsert() {
    return statements::usuarioInsert(1, QStringLiteral("Operador"), QStringLiteral("$argon2id$fake"));
}

qlonglong count(const QString &path, const QString &table) {
    auto db = data::Database::open(path);
    data::Recordset rows = db->openRecordset(QStringLiteral("SELECT * FROM ") + table);
    return rows.recordCount();
}

} // namespace

class FaultTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { faultvfs::install(); }
    void cleanupTestCase() { faultvfs::uninstall(); }

    void everyFailingWriteOrSyncIsReported_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("fault");
        const QList<std::pair<const char *, std::pair<QString, QString>>> statementsToTry = {
            {"rental", {rentalInsert(), QStringLiteral("Alquiler")}},
            {"account", {accountInsert(), QStringLiteral("Usuarios")}},
        };
        for (const auto &[name, st] : statementsToTry) {
            for (int target : {int(faultvfs::Target::Write), int(faultvfs::Target::Sync)}) {
                for (int fault : {int(faultvfs::Fault::IoError), int(faultvfs::Fault::DiskFull)}) {
                    QTest::addRow("%s %s %s", name, target == 0 ? "write" : "sync", fault == 0 ? "io" : "full")
                        << st.first << st.second << target << fault;
                }
            }
        }
    }

    void everyFailingWriteOrSyncIsReported() {
        QFETCH(QString, statement);
        QFETCH(QString, table);
        QFETCH(int, target);
        QFETCH(int, fault);
        const auto t = static_cast<faultvfs::Target>(target);

        // How many writes or syncs does the statement make when nothing fails?
        int calls = 0;
        {
            testing::TestPlatform probe;
            auto db = data::Database::open(probe.databasePath());
            faultvfs::arm(t, INT_MAX, faultvfs::Fault::IoError);
            db->execute(statement);
            calls = faultvfs::callsSinceArmed(t);
            faultvfs::disarm();
        }
        QVERIFY2(calls > 0, "the statement reached the disk through the wrapper");

        for (int n = 1; n <= calls; ++n) {
            testing::TestPlatform p;
            const qlonglong before = count(p.databasePath(), table);
            bool reported = false;
            {
                auto db = data::Database::open(p.databasePath());
                faultvfs::arm(t, n, static_cast<faultvfs::Fault>(fault));
                try {
                    db->execute(statement);
                } catch (const data::DbError &error) {
                    reported = true;
                    QVERIFY(!error.describe().isEmpty());
                }
                QVERIFY(faultvfs::fired());
                faultvfs::disarm();
            }
            const qlonglong after = count(p.databasePath(), table);
            QCOMPARE(integrityCheck(p.databasePath()), QStringLiteral("ok"));
            // Reported failures leave nothing behind; a statement that returned is stored.
            QCOMPARE(after, reported ? before : before + 1);
            ++faultPointsTried;
        }
    }

    void cleanup() { faultvfs::disarm(); }

    void summary() { qInfo("fault points tried: %d", faultPointsTried); }

private:
    int faultPointsTried = 0;
};

QTEST_GUILESS_MAIN(FaultTest)
#include "tst_faults.moc"
