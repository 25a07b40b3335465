// Kills a writer process at random moments while other programs read and back up the file:
// every rental whose insert had returned must be in the file, and the file must stay sound.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "data/Database.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>
#include <csignal>

class CrashTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void killedWriterLosesNothing() {
        testing::TestPlatform t;
        QRandomGenerator random(20261206);
        QSet<qlonglong> acknowledged;
        qlonglong next = 1;
        constexpr int kKills = 32;
        for (int round = 0; round < kKills; ++round) {
            QProcess writer;
            writer.start(QStringLiteral(CRASH_WRITER), {t.databasePath(), QString::number(next)});
            QVERIFY(writer.waitForStarted());
            // Let it write for a random while, at least until its first rental returns.
            QTRY_VERIFY_WITH_TIMEOUT(writer.bytesAvailable() > 0, 20000);
            // Another program opens and closes the file meanwhile: a report, a viewer, a backup.
            sqliteShell(t.databasePath(), round % 2 == 0
                                              ? QStringLiteral("SELECT count(*) FROM Alquiler")
                                              : QStringLiteral(".backup '%1'").arg(t.folder.filePath("copia")));
            QTest::qWait(static_cast<int>(random.bounded(5, 120)));
            ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
            QVERIFY(writer.waitForFinished(10000));
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
            for (const QByteArray &line : writer.readAllStandardOutput().split('\n')) {
                bool ok = false;
                const qlonglong n = line.toLongLong(&ok);
                if (ok) {
                    acknowledged.insert(n);
                    next = qMax(next, n + 1);
                }
            }
        }
        QVERIFY(acknowledged.size() >= kKills);

        auto db = data::Database::open(t.databasePath());
        data::Recordset rows = db->openRecordset(QStringLiteral("SELECT Importe FROM Alquiler"));
        QSet<qlonglong> stored;
        for (; !rows.isEof(); rows.moveNext()) {
            stored.insert(rows.field(QStringLiteral("Importe")).toLongLong());
        }
        for (qlonglong n : std::as_const(acknowledged)) {
            QVERIFY2(stored.contains(n), qPrintable(QStringLiteral("rental %1 lost").arg(n)));
        }
        db.reset();
        QCOMPARE(integrityCheck(t.databasePath()), QStringLiteral("ok"));
        qInfo("kills survived: %d, rentals acknowledged: %lld", kKills, static_cast<long long>(acknowledged.size()));
    }
};

QTEST_GUILESS_MAIN(CrashTest)
#include "tst_crash.moc"
