// Start-up against a damaged database file: a clear message naming the file, no crash, and
// the file left exactly as it was. And one program per folder.
#include "TestSupport.h"
#include "data/Database.h"
#include "stations/formLudomat2.h"
#include "ui/InstanceLock.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QtTest>
#include <sqlite3.h>

namespace {

QByteArray digest(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

} // namespace

class DamagedStartupTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void damagedFileIsNamedAndLeftAlone_data() {
        QTest::addColumn<QString>("damage");
        QTest::newRow("truncated") << "truncate";
        QTest::newRow("garbage header") << "header";
        QTest::newRow("not a database") << "text";
        QTest::newRow("empty file") << "empty";
        QTest::newRow("database without the tables") << "tables";
    }

    void damagedFileIsNamedAndLeftAlone() {
        QFETCH(QString, damage);
        testing::TestPlatform t;
        const QString path = t.databasePath();
        QFile original(path);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray bytes = original.readAll();
        original.close();
        if (damage == QLatin1String("truncate")) {
            writeFile(path, bytes.left(bytes.size() / 3));
        } else if (damage == QLatin1String("header")) {
            writeFile(path, QByteArray("GARBAGE GARBAGE!") + bytes.mid(16));
        } else if (damage == QLatin1String("text")) {
            writeFile(path, QByteArray("Lista de precios\n30 minutos: 10 pesos\n"));
        } else if (damage == QLatin1String("empty")) {
            writeFile(path, QByteArray());
        } else {
            QVERIFY(QFile::remove(path));
            sqlite3 *db = nullptr;
            QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
            QCOMPARE(sqlite3_exec(db, "CREATE TABLE Otra (x INTEGER)", nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        }
        const QByteArray before = digest(path);

        formLudomat2 w(t.platform);
        QVERIFY(!w.Form_Load());
        QCOMPARE(t.messages.messages.size(), 1);
        QVERIFY2(t.messages.messages.first().contains(path), qPrintable(t.messages.messages.first()));
        QCOMPARE(digest(path), before);
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

    void oneProgramPerFolder() {
        QTemporaryDir folder;
        ui::InstanceLock first(folder.path());
        QCOMPARE(first.acquire(), ui::InstanceLock::Result::Acquired);
        ui::InstanceLock second(folder.path());
        QCOMPARE(second.acquire(), ui::InstanceLock::Result::HeldByAnother);
    }

    void lockOfADeadProgramIsTakenOver() {
        QTemporaryDir folder;
        // A copy that died without cleaning up: its lock names a process that is gone.
        QProcess gone;
        gone.start(QStringLiteral("true"));
        QVERIFY(gone.waitForStarted());
        const qint64 deadPid = gone.processId();
        QVERIFY(gone.waitForFinished());
        const QString path = ui::InstanceLock::lockPath(folder.path());
        {
            QLockFile held(path);
            QVERIFY(held.tryLock(0));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QList<QByteArray> lines = file.readAll().split('\n');
            lines[0] = QByteArray::number(deadPid);
            held.unlock();
            writeFile(path, lines.join('\n'));
        }
        ui::InstanceLock lock(folder.path());
        QCOMPARE(lock.acquire(), ui::InstanceLock::Result::Acquired);
    }
};

QTEST_MAIN(DamagedStartupTest)
#include "tst_damaged_startup.moc"
