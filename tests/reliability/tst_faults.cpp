// Every write and every sync of a statement is made to fail in turn: the statement must
// report the failure, and the file must stay sound, holding all of the statement or none.
#include "FaultVfs.h"
#include "Integrity.h"
#include "TestSupport.h"
#include "data/Database.h"
#include "data/Statements.h"

#include <QtTest>
#include <climits>

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
        const std::pair<QString, const char *> tried[] = {
            {statements::alquilerInsert(2, true, "Admin", 5, "Dec", 2026, "14:05:09", "1", "25", "6"), "Alquiler"},
            {statements::usuarioInsert(1, "Operador", "$argon2id$fake"), "Usuarios"}};
        for (const auto &[statement, table] : tried) {
            for (int target : {0, 1}) {    // write, sync
                for (int fault : {0, 1}) { // I/O error, full disk
                    QTest::addRow("%s %s %s", table, target == 0 ? "write" : "sync", fault == 0 ? "io" : "full")
                        << statement << table << target << fault;
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

        // Call 0 is the statement on a sound disk: how many writes or syncs it makes.
        for (int n = 0, calls = 0; n <= calls; ++n) {
            testing::TestPlatform p;
            const qsizetype before = testing::tableRows(p.databasePath(), table).size();
            bool reported = false; // with a message to show
            {
                auto db = data::Database::open(p.databasePath());
                faultvfs::arm(t, n > 0 ? n : INT_MAX, static_cast<faultvfs::Fault>(fault));
                try {
                    db->execute(statement);
                } catch (const data::DbError &error) {
                    reported = !error.describe().isEmpty();
                }
                calls = n > 0 ? calls : faultvfs::callsSinceArmed(t);
                QVERIFY(n > 0 ? faultvfs::fired() : calls > 0 && !reported);
                faultvfs::disarm();
            }
            QCOMPARE(integrityCheck(p.databasePath()), QStringLiteral("ok"));
            // Reported failures leave nothing behind; a statement that returned is stored.
            QCOMPARE(testing::tableRows(p.databasePath(), table).size(), reported ? before : before + 1);
            faultPointsTried += n > 0;
        }
    }

    void cleanup() { faultvfs::disarm(); }
    void summary() { qInfo("fault points tried: %d", faultPointsTried); }

private:
    int faultPointsTried = 0;
};

QTEST_GUILESS_MAIN(FaultTest)
#include "tst_faults.moc"
