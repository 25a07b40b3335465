// Start-up against a damaged database file: a clear message naming the file, no crash, and
// the file left exactly as it was. And one program per database file.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "data/Database.h"
#include "platform/InstanceLock.h"
#include "stations/StationBoard.h"
#include "ui/formLudomat2.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

namespace {

QByteArray contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
            QCOMPARE(execRaw(path, "CREATE TABLE Otra (x INTEGER)"), SQLITE_OK);
        } else {
            QVERIFY(writeFile(path, damage == "truncated"        ? bytes.left(bytes.size() / 3)
                                    : damage == "garbage header" ? "GARBAGE GARBAGE!" + bytes.mid(16)
                                    : damage == "empty"          ? QByteArray()
                                                                 : "Lista de precios\n30 minutos: 10 pesos\n"));
        }
        const QByteArray before = contents(path);

        app::Desk desk(t.platform);
        QVERIFY(!desk.start());
        QCOMPARE(t.messages.messages.size(), 1);
        QVERIFY2(t.messages.messages.first().contains(path), qPrintable(t.messages.messages.first()));
        QCOMPARE(contents(path), before);
        QVERIFY(!QFile::exists(path + QStringLiteral("-journal")));
    }

    void missingAlarmIsNamedAndTheProgramRuns() {
        testing::TestPlatform t;
        QVERIFY(QFile::remove(t.platform.alarmPath()));
        app::Desk desk(t.platform);
        QVERIFY(desk.start());
        QCOMPARE(t.messages.messages.size(), 0); // said once someone has signed in
        testing::signIn(desk);
        QCOMPARE(t.messages.messages.size(), 1);
        QVERIFY(t.messages.messages.first().contains(t.platform.alarmPath()));
        QVERIFY(desk.board().store() && desk.board().store()->isOpen());
    }

    // One program per database file, whatever path reaches it (a second name, a hard link, is
    // refused outright: tst_books); nothing a copy that died left behind in the folder blocks the
    // next start.
    void oneProgramPerFile() {
        QTemporaryDir shop, elsewhere;
        const QString db = shop.filePath(QStringLiteral("dbLudomat.mdb"));
        QVERIFY(QFile::copy(testing::templateDatabasePath(), db));
        QVERIFY(QFile::link(db, elsewhere.filePath(QStringLiteral("symlink.mdb"))));
        QProcess running; // holds the file as a running copy does
        running.start(QStringLiteral("flock"),
                      {QStringLiteral("-xo"), db, QStringLiteral("-c"), QStringLiteral("echo held; exec sleep 60")});
        QVERIFY(running.waitForReadyRead(10000));
        for (const QString &path : {db, elsewhere.filePath(QStringLiteral("symlink.mdb"))}) {
            sys::InstanceLock second(path);
            QCOMPARE(second.acquire(), sys::InstanceLock::Result::HeldByAnother);
            QVERIFY2(second.refusal().contains(QStringLiteral("proceso %1").arg(running.processId())),
                     qPrintable(second.refusal()));
        }
        running.kill();
        QVERIFY(running.waitForFinished());

        const QString leftover = db + QStringLiteral(".lock");
        const QByteArray kinds[] = {"", "\x01\xff garbage", "0\nludomat\nthis-host\n",
                                    "4242\nludomat\nother-machine\n"};
        for (const QByteArray &kind : kinds) {
            QVERIFY(writeFile(leftover, kind));
            QCOMPARE(sys::InstanceLock(db).acquire(), sys::InstanceLock::Result::Acquired);
        }
        QVERIFY(QFile::remove(leftover) && QDir().mkdir(leftover));
        QCOMPARE(sys::InstanceLock(db).acquire(), sys::InstanceLock::Result::Acquired);
    }
};

QTEST_MAIN(DamagedStartupTest)
#include "tst_damaged_startup.moc"
