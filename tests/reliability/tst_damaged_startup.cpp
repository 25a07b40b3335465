// Start-up against a damaged database file: a clear message naming the file, no crash, and
// the file left exactly as it was. And one program per folder.
#include "TestSupport.h"
#include "data/Database.h"
#include "stations/formLudomat2.h"
#include "ui/InstanceLock.h"

#include <QFile>
#include <QProcess>
#include <QtTest>
#include <sqlite3.h>

namespace {

QByteArray contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

class DamagedStartupTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void damagedFileIsNamedAndLeftAlone_data() {
        QTest::addColumn<QString>("damage");
        for (const char *damage : {"truncated", "garbage header", "not a database", "empty", "without the tables"}) {
            QTest::newRow(damage) << damage;
        }
    }

    void damagedFileIsNamedAndLeftAlone() {
        QFETCH(QString, damage);
        testing::TestPlatform t;
        const QString path = t.databasePath();
        const QByteArray bytes = contents(path);
        if (damage == "without the tables") {
            QVERIFY(QFile::remove(path));
            sqlite3 *db = nullptr;
            sqlite3_open(path.toUtf8().constData(), &db);
            QCOMPARE(sqlite3_exec(db, "CREATE TABLE Otra (x INTEGER)", nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        } else {
            QVERIFY(writeFile(path, damage == "truncated"        ? bytes.left(bytes.size() / 3)
                                    : damage == "garbage header" ? "GARBAGE GARBAGE!" + bytes.mid(16)
                                    : damage == "empty"          ? QByteArray()
                                                                 : "Lista de precios\n30 minutos: 10 pesos\n"));
        }
        const QByteArray before = contents(path);

        formLudomat2 w(t.platform);
        QVERIFY(!w.Form_Load());
        QCOMPARE(t.messages.messages.size(), 1);
        QVERIFY2(t.messages.messages.first().contains(path), qPrintable(t.messages.messages.first()));
        QCOMPARE(contents(path), before);
        QVERIFY(!QFile::exists(path + QStringLiteral("-journal")));
    }

    void missingAlarmIsNamedAndTheProgramRuns() {
        testing::TestPlatform t;
        QVERIFY(QFile::remove(t.platform.alarmPath()));
        formLudomat2 w(t.platform);
        QVERIFY(w.Form_Load());
        QCOMPARE(t.messages.messages.size(), 1);
        QVERIFY(t.messages.messages.first().contains(t.platform.alarmPath()));
        QVERIFY(w.database && w.database->isOpen());
    }

    // One program per folder; the lock of a copy that died without cleaning up is taken over.
    void oneProgramPerFolder() {
        QTemporaryDir folder;
        {
            ui::InstanceLock first(folder.path());
            QCOMPARE(first.acquire(), ui::InstanceLock::Result::Acquired);
            QCOMPARE(ui::InstanceLock(folder.path()).acquire(), ui::InstanceLock::Result::HeldByAnother);
        }
        QProcess gone;
        gone.start(QStringLiteral("true"));
        QVERIFY(gone.waitForStarted());
        const qint64 deadPid = gone.processId();
        QVERIFY(gone.waitForFinished());
        const QString path = ui::InstanceLock::lockPath(folder.path());
        QLockFile held(path);
        QVERIFY(held.tryLock(0));
        QList<QByteArray> lines = contents(path).split('\n');
        lines[0] = QByteArray::number(deadPid); // its lock names a process that is gone
        held.unlock();
        QVERIFY(writeFile(path, lines.join('\n')));
        QCOMPARE(ui::InstanceLock(folder.path()).acquire(), ui::InstanceLock::Result::Acquired);
    }
};

QTEST_MAIN(DamagedStartupTest)
#include "tst_damaged_startup.moc"
