// A real full disk and a real read-only file, as root only: the test moves into a mount
// namespace of its own, mounts a tiny tmpfs as the program folder, and drives the main window
// through rentals while the disk fills up or the file is write-protected. Elsewhere it skips.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "data/JournalTask.h"
#include "stations/StationBoard.h"
#include "ui/formLudomat2.h"
#include "ui/formUsuario.h"

#include <QtTest>
#include <QtWidgets>
#include <cerrno>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

QString mounted; // the tiny tmpfs of the current test: the program folder, unmounted at cleanup

QStringList rentalRows(const QString &path) {
    return readOnlyRows(path, "SELECT Puesto, Modo, Tiempo, Importe FROM Alquiler ORDER BY rowid");
}

// The main window on a program folder of the test's choosing, signed in, its timer stopped.
struct Rig {
    testing::TestPlatform t;
    QStringList &messages = t.messages.messages;
    app::Desk desk{(t.platform.where.dataFolder = mounted, t.platform)}; // on the tmpfs
    formLudomat2 &w = desk.mainWindow();
    bool loaded = desk.start();

    Rig() {
        testing::control<QTimer>(&w, "Timer1")->stop();
        // The start-up journal check ends first. Its read-only connection, were it the last on
        // the file, could not take the -wal and -shm away, and a start on a full disk would
        // then find them ready and succeed.
        QTRY_VERIFY(!w.findChild<journal::VerificationTask *>());
        testing::signIn(desk);
    }
    ~Rig() { QTest::mouseClick(testing::control<QPushButton>(&w, "cmdSalir"), Qt::LeftButton); }
    // Opens station i, lets it run, and closes it: one Contador rental.
    void rent(int i, int seconds, bool close = true) {
        testing::press(desk, i);
        for (int n = 0; n < seconds; ++n) {
            t.clock.advance(1);
            desk.board().tick();
        }
        if (close) {
            testing::press(desk, i);
        }
    }
    // Station i still runs, and the one message so far names it and says why.
    void refused(int i, const char *why) {
        QVERIFY2(messages.size() == 1 && messages[0].contains(QStringLiteral("Puesto %1").arg(i + 1)) &&
                     messages[0].contains(QString::fromUtf8(why)),
                 qPrintable(messages.join('\n')));
        QVERIFY(desk.board().station(i).running);
        QCOMPARE(testing::control<QPushButton>(&w, "cmdPuesto", i)->text(),
                 QStringLiteral("Cerrar Puesto &%1").arg(i + 1));
    }
};

// Fills the tiny tmpfs holding junkPath until it says ENOSPC.
bool fillDisk(const QString &junkPath) {
    const int fd = ::open(QFile::encodeName(junkPath).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const QByteArray chunk(4096, 'x');
    for (size_t size : {size_t{4096}, size_t{1}}) {
        while (fd >= 0 && ::write(fd, chunk.constData(), size) > 0) {
        }
    }
    const bool full = fd >= 0 && errno == ENOSPC;
    ::close(fd);
    return full;
}

} // namespace

class tst_real_disk final : public QObject {
    Q_OBJECT

    QTemporaryDir base;
    QString db; // the database in the mounted folder

    // A fresh tiny tmpfs with the delivered database and alarm, and room for a rental beside them.
    bool mountFolder() {
        const QString dir = base.path() + QStringLiteral("/folder%1").arg(QDir(base.path()).count());
        db = dir + QStringLiteral("/dbLudomat.mdb");
        if (!QDir().mkpath(dir) || ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, "size=512k") != 0) {
            return false;
        }
        mounted = dir;
        return QFile::copy(testing::templateDatabasePath(), db) &&
               QFile::copy(testing::deliveredAlarmPath(), dir + QStringLiteral("/queen.wav"));
    }

private Q_SLOTS:
    void initTestCase() {
        if (::geteuid() != 0) {
            QSKIP("needs root: a tmpfs and a read-only bind mount in a mount namespace of its own");
        }
        // Only this thread, the one that drives the windows and the engine, moves namespace.
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            QSKIP("cannot make a private mount namespace here");
        }
        if (!base.isValid() || !mountFolder()) {
            QSKIP("cannot mount a tmpfs here");
        }
        cleanup();
    }

    void cleanup() {
        if (!mounted.isEmpty()) {
            ::umount2(QFile::encodeName(mounted).constData(), MNT_DETACH);
            mounted.clear();
        }
    }

    void fullDisk() {
        QVERIFY(mountFolder());
        const QString junk = mounted + QStringLiteral("/junk");
        QStringList before;
        {
            Rig r;
            QVERIFY(r.loaded);
            r.rent(2, 65);
            before = rentalRows(db);
            QCOMPARE(before.size(), 1);
            r.rent(1, 3, false); // the disk fills while the rental runs
            QVERIFY(fillDisk(junk));
            testing::press(r.desk, 1);
            r.refused(1, "disco está lleno");
            QCOMPARE(rentalRows(db), before);
            // Room again: the same close now records the rental.
            QVERIFY(QFile::remove(junk));
            testing::press(r.desk, 1);
            QCOMPARE(r.messages.size(), 1);
            QVERIFY(!r.desk.board().station(1).running);
        }
        {
            // Starting on a full disk names the disk, not the file; nothing the first start
            // made is left there to reuse.
            QVERIFY(!QFile::exists(db + QStringLiteral("-shm")) && !QFile::exists(db + QStringLiteral("-wal")));
            QVERIFY(fillDisk(junk));
            testing::TestPlatform other((mounted));
            app::Desk desk(other.platform);
            QVERIFY(!desk.start());
            QVERIFY2(other.messages.messages.size() == 1 &&
                         other.messages.messages[0].contains(QStringLiteral("lleno")) &&
                         !other.messages.messages[0].contains(QStringLiteral("no es una base")),
                     qPrintable(other.messages.messages.join(u'\n')));
            QVERIFY(QFile::remove(junk));
        }
        const QStringList after = rentalRows(db);
        QCOMPARE(after.size(), 2);
        QCOMPARE(after[0], before[0]);
        QVERIFY(after[1].startsWith(QStringLiteral("2|Contador|")));
        QCOMPARE(integrityCheck(db), QStringLiteral("ok"));
    }

    // The database file write-protected by a read-only bind mount; its folder still writable.
    void readOnlyFile() {
        QVERIFY(mountFolder());
        const QByteArray file = QFile::encodeName(db);
        {
            Rig r;
            r.rent(4, 61);
            r.rent(3, 5, false); // still running when the program stops
            QCOMPARE(r.messages, QStringList());
        }
        const QStringList before = rentalRows(db);
        QCOMPARE(before.size(), 1);
        QVERIFY(::mount(file.constData(), file.constData(), nullptr, MS_BIND, nullptr) == 0);
        QVERIFY(::mount(nullptr, file.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0);
        QVERIFY(::access(file.constData(), W_OK) != 0);
        {
            Rig r;
            QVERIFY2(r.loaded, qPrintable(r.messages.join('\n')));
            QVERIFY(r.messages.value(0).contains(QStringLiteral("sigue abierto"))); // the shift goes on
            r.messages.removeFirst();
            // The open station comes back and runs, and the operator learns why it cannot be closed yet.
            QVERIFY2(r.messages.size() == 1 && r.messages[0].contains(QStringLiteral("Puesto 4 (Contador")) &&
                         r.messages[0].contains(QStringLiteral("todavía no se pueden cerrar")) &&
                         r.messages[0].contains(QStringLiteral("solo lectura")),
                     qPrintable(r.messages.join('\n')));
            QVERIFY(r.desk.board().station(3).running);
            r.messages.clear();
            testing::press(r.desk, 0); // an opening is kept in the file too: refused, the station stays idle
            QVERIFY2(r.messages.size() == 1 && r.messages[0].contains(QStringLiteral("Puesto 1")) &&
                         r.messages[0].contains(QStringLiteral("solo lectura")),
                     qPrintable(r.messages.join('\n')));
            QVERIFY(!r.desk.board().station(0).running);
        }
        QVERIFY(::umount2(file.constData(), 0) == 0);
        QCOMPARE(rentalRows(db), before);
        QCOMPARE(integrityCheck(db), QStringLiteral("ok"));
    }
};

QTEST_MAIN(tst_real_disk)
#include "tst_real_disk.moc"
