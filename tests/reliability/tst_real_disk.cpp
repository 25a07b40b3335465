// A real full disk and a real read-only file, as root only: the test moves into a mount
// namespace of its own, mounts a tiny tmpfs as the program folder, and drives the main window
// through rentals while the disk fills up or the file is write-protected. Elsewhere it skips.
#include "Integrity.h"
#include "TestSupport.h"
#include "accounts/formUsuario.h"
#include "stations/formLudomat2.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <fcntl.h>
#include <sched.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// Every Alquiler row as "Puesto|Modo|Tiempo|Importe", read straight from the file.
QStringList rentalRows(const QString &path) {
    QStringList rows;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_exec(
            db, "SELECT Puesto || '|' || Modo || '|' || Tiempo || '|' || Importe FROM Alquiler ORDER BY rowid",
            [](void *out, int, char **values, char **) {
                *static_cast<QStringList *>(out) << QString::fromUtf8(values[0] ? values[0] : "");
                return 0;
            },
            &rows, nullptr);
    }
    sqlite3_close(db);
    return rows;
}

// The main window on a program folder of the test's choosing, signed in, its timer stopped.
struct Rig {
    testing::FakeClock clock;
    testing::RecordingPresenter messages;
    testing::RecordingAlarm alarm;
    testing::RecordingEnder ender;
    ui::Platform platform;
    formLudomat2 w;
    bool loaded = false;

    explicit Rig(const QString &folder) : platform{clock, messages, alarm, ender, folder}, w{platform} {
        loaded = w.Form_Load();
        w.Timer1->stop();
        w.rate = {30, 5};
        w.lblUsuario->setText(QStringLiteral("Admin"));
        w.setEnabled(true);
    }
    ~Rig() {
        w.cmdSalir_Click();
        if (w.usuarioWindow) {
            delete w.usuarioWindow.data(); // its own connection goes with it
        }
    }
    void tick(int times) {
        for (int n = 0; n < times; ++n) {
            clock.now = clock.now.addSecs(1);
            w.Timer1_Timer();
        }
    }
    void prepago(int i) { w.optModo[2 * static_cast<size_t>(i)]->setChecked(true); }
    bool running(int i) const {
        const auto s = static_cast<size_t>(i);
        return w.station[s].running && w.cmdPuesto[s]->text() == QStringLiteral("Cerrar Puesto &%1").arg(i + 1);
    }
    bool idle(int i) const {
        const auto s = static_cast<size_t>(i);
        return !w.station[s].running && w.cmdPuesto[s]->text() == QStringLiteral("Habilitar Puesto &%1").arg(i + 1);
    }
};

// Fills the file system holding folder until it says ENOSPC; false if it never does.
bool fillDisk(const QString &junkPath) {
    const int fd = ::open(QFile::encodeName(junkPath).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) {
        return false;
    }
    const QByteArray chunk(4096, 'x');
    bool full = false;
    for (size_t size : {size_t{4096}, size_t{1}}) {
        for (int n = 0; n < 100000; ++n) {
            if (::write(fd, chunk.constData(), size) < 0) {
                full = errno == ENOSPC;
                break;
            }
        }
    }
    ::close(fd);
    return full;
}

} // namespace

class tst_real_disk final : public QObject {
    Q_OBJECT

    QTemporaryDir base;
    QString mounted; // the tmpfs of the current test, unmounted at cleanup

    // A fresh tiny tmpfs with the delivered database and alarm: the program folder.
    QString tinyFolder() {
        const QString dir = base.path() + QStringLiteral("/folder%1").arg(QDir(base.path()).count());
        QDir().mkpath(dir);
        if (::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, "size=256k") != 0) {
            return {};
        }
        mounted = dir;
        if (!QFile::copy(testing::templateDatabasePath(), dir + QStringLiteral("/dbLudomat.mdb")) ||
            !QFile::copy(testing::deliveredAlarmPath(), dir + QStringLiteral("/queen.wav"))) {
            return {};
        }
        return dir;
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
        QVERIFY(base.isValid());
        const QString probe = tinyFolder();
        if (probe.isEmpty()) {
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
        const QString dir = tinyFolder();
        QVERIFY(!dir.isEmpty());
        const QString db = dir + QStringLiteral("/dbLudomat.mdb");
        QStringList before;
        {
            Rig r(dir);
            QVERIFY(r.loaded);
            // Two rentals recorded while there is room.
            r.w.cmdPuesto_Click(2);
            r.tick(65);
            r.w.cmdPuesto_Click(2);
            r.prepago(3);
            r.w.cmdPuesto_Click(3);
            QVERIFY(r.running(3));
            QCOMPARE(r.messages.messages, QStringList());
            before = rentalRows(db);
            QCOMPARE(before.size(), 2);
            // A Contador rental opened before the disk fills (opening writes nothing).
            r.w.cmdPuesto_Click(1);
            r.tick(3);

            QVERIFY(fillDisk(dir + QStringLiteral("/junk")));

            r.prepago(0);
            r.w.cmdPuesto_Click(0);
            QCOMPARE(r.messages.messages.size(), 1);
            QVERIFY2(r.messages.messages[0].contains(QStringLiteral("Puesto 1")) &&
                         r.messages.messages[0].contains(QStringLiteral("disco está lleno")),
                     qPrintable(r.messages.messages[0]));
            QVERIFY(r.idle(0));

            r.w.cmdPuesto_Click(1);
            QCOMPARE(r.messages.messages.size(), 2);
            QVERIFY2(r.messages.messages[1].contains(QStringLiteral("Puesto 2")) &&
                         r.messages.messages[1].contains(QStringLiteral("disco está lleno")),
                     qPrintable(r.messages.messages[1]));
            QVERIFY(r.running(1));
            const QString seconds = r.w.txtSegundo[1]->text();
            r.tick(1);
            QVERIFY(r.w.txtSegundo[1]->text() != seconds); // still counting
            QCOMPARE(rentalRows(db), before);

            // Room again: the same close now records the rental.
            QVERIFY(QFile::remove(dir + QStringLiteral("/junk")));
            r.w.cmdPuesto_Click(1);
            QCOMPARE(r.messages.messages.size(), 2);
            QVERIFY(r.idle(1));
        }
        const QStringList after = rentalRows(db);
        QCOMPARE(after.size(), 3);
        QCOMPARE(after.mid(0, 2), before);
        QVERIFY(after[2].startsWith(QStringLiteral("2|Contador|")));
        QCOMPARE(integrityCheck(db), QStringLiteral("ok"));
    }

    // Started with the disk already full: the program starts, or says why not; the file is untouched.
    void fullDiskAtStart() {
        const QString dir = tinyFolder();
        QVERIFY(!dir.isEmpty());
        const QString db = dir + QStringLiteral("/dbLudomat.mdb");
        const QStringList before = rentalRows(db);
        QVERIFY(fillDisk(dir + QStringLiteral("/junk")));
        {
            Rig r(dir);
            if (r.loaded) {
                r.w.cmdPuesto_Click(0);
                r.tick(2);
                r.w.cmdPuesto_Click(0);
                QVERIFY(r.running(0) || r.messages.messages.isEmpty());
            }
            for (const QString &m : r.messages.messages) {
                QVERIFY2(m.contains(QStringLiteral("disco está lleno")) || m.contains(QStringLiteral("dbLudomat")),
                         qPrintable(m));
            }
        }
        QFile::remove(dir + QStringLiteral("/junk"));
        QCOMPARE(rentalRows(db), before);
        QCOMPARE(integrityCheck(db), QStringLiteral("ok"));
    }

    // The database file write-protected by a read-only bind mount; its folder still writable.
    void readOnlyFile() {
        const QString dir = tinyFolder();
        QVERIFY(!dir.isEmpty());
        const QByteArray db = QFile::encodeName(dir + QStringLiteral("/dbLudomat.mdb"));
        const QStringList before = recordOne(dir);
        QVERIFY(::mount(db.constData(), db.constData(), nullptr, MS_BIND, nullptr) == 0);
        QVERIFY(::mount(nullptr, db.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0);
        QVERIFY(::access(db.constData(), W_OK) != 0);
        driveReadOnly(dir);
        QVERIFY(::umount2(db.constData(), 0) == 0);
        checkUnchanged(dir, before);
    }

    // The whole program folder read-only: not even the engine's side files can be made.
    void readOnlyFolder() {
        const QString dir = tinyFolder();
        QVERIFY(!dir.isEmpty());
        const QByteArray path = QFile::encodeName(dir);
        const QStringList before = recordOne(dir);
        // As a clean close of the last connection leaves it: no -wal beside the file.
        sqlite3 *handle = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(dir + QStringLiteral("/dbLudomat.mdb")).constData(), &handle),
                 SQLITE_OK);
        sqlite3_exec(handle, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
        sqlite3_close(handle);
        QVERIFY(!QFile::exists(dir + QStringLiteral("/dbLudomat.mdb-wal")));
        QVERIFY(::mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_RDONLY, "size=256k") == 0);
        driveReadOnly(dir);
        QVERIFY(::mount(nullptr, path.constData(), nullptr, MS_REMOUNT, "size=256k") == 0);
        checkUnchanged(dir, before);
    }

private:
    // One Contador rental recorded while the file is writable; the rows after it.
    QStringList recordOne(const QString &dir) {
        {
            Rig r(dir);
            r.w.cmdPuesto_Click(4);
            r.tick(61);
            r.w.cmdPuesto_Click(4);
            if (!r.messages.messages.isEmpty()) {
                return {};
            }
        }
        return rentalRows(dir + QStringLiteral("/dbLudomat.mdb"));
    }

    // The program starts and says at the first write that the file cannot be written; the
    // stations stay as they were.
    void driveReadOnly(const QString &dir) {
        Rig r(dir);
        QVERIFY2(r.loaded, qPrintable(r.messages.messages.join(QLatin1Char('\n'))));
        QCOMPARE(r.messages.messages, QStringList());
        r.w.cmdPuesto_Click(0);
        r.tick(5);
        r.w.cmdPuesto_Click(0);
        QCOMPARE(r.messages.messages.size(), 1);
        QVERIFY2(r.messages.messages[0].contains(QStringLiteral("Puesto 1")) &&
                     r.messages.messages[0].contains(QStringLiteral("solo lectura")),
                 qPrintable(r.messages.messages[0]));
        QVERIFY(r.running(0));

        r.prepago(1);
        r.w.cmdPuesto_Click(1);
        QCOMPARE(r.messages.messages.size(), 2);
        QVERIFY(r.messages.messages[1].contains(QStringLiteral("solo lectura")));
        QVERIFY(r.idle(1));
    }

    void checkUnchanged(const QString &dir, const QStringList &before) {
        const QString db = dir + QStringLiteral("/dbLudomat.mdb");
        QCOMPARE(before.size(), 1);
        QCOMPARE(rentalRows(db), before);
        QCOMPARE(integrityCheck(db), QStringLiteral("ok"));
    }
};

QTEST_MAIN(tst_real_disk)
#include "tst_real_disk.moc"
