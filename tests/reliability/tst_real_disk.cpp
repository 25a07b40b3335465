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
#include <QPushButton>
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
    // Opens station i, lets it run, and closes it: one Contador rental.
    void rent(int i, int seconds) {
        w.cmdPuesto_Click(i);
        tick(seconds);
        w.cmdPuesto_Click(i);
    }
    bool shows(int i, bool running) const {
        const auto s = static_cast<size_t>(i);
        const QString text = running ? QStringLiteral("Cerrar Puesto &%1") : QStringLiteral("Habilitar Puesto &%1");
        return w.station[s].running == running && w.cmdPuesto[s]->text() == text.arg(i + 1);
    }
    // The one message so far names the station and says why.
    bool saidOnce(int i, const QString &why) const {
        return messages.messages.size() == 1 && messages.messages[0].contains(QStringLiteral("Puesto %1").arg(i + 1)) &&
               messages.messages[0].contains(why);
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
            r.rent(2, 65);
            before = rentalRows(db);
            QCOMPARE(before.size(), 1);
            r.w.cmdPuesto_Click(1); // opening a Contador rental writes nothing
            r.tick(3);

            QVERIFY(fillDisk(dir + QStringLiteral("/junk")));
            r.w.cmdPuesto_Click(1);
            QVERIFY2(r.saidOnce(1, QStringLiteral("disco está lleno")), qPrintable(r.messages.messages.join('\n')));
            QVERIFY(r.shows(1, true));
            QCOMPARE(rentalRows(db), before);

            // Room again: the same close now records the rental.
            QVERIFY(QFile::remove(dir + QStringLiteral("/junk")));
            r.w.cmdPuesto_Click(1);
            QCOMPARE(r.messages.messages.size(), 1);
            QVERIFY(r.shows(1, false));
        }
        const QStringList after = rentalRows(db);
        QCOMPARE(after.size(), 2);
        QCOMPARE(after[0], before[0]);
        QVERIFY(after[1].startsWith(QStringLiteral("2|Contador|")));
        QCOMPARE(integrityCheck(db), QStringLiteral("ok"));
    }

    // The database file write-protected by a read-only bind mount; its folder still writable.
    void readOnlyFile() {
        const QString dir = tinyFolder();
        QVERIFY(!dir.isEmpty());
        const QString db = dir + QStringLiteral("/dbLudomat.mdb");
        const QByteArray file = QFile::encodeName(db);
        {
            Rig r(dir);
            r.rent(4, 61);
            QCOMPARE(r.messages.messages, QStringList());
        }
        const QStringList before = rentalRows(db);
        QCOMPARE(before.size(), 1);
        QVERIFY(::mount(file.constData(), file.constData(), nullptr, MS_BIND, nullptr) == 0);
        QVERIFY(::mount(nullptr, file.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0);
        QVERIFY(::access(file.constData(), W_OK) != 0);
        {
            Rig r(dir);
            QVERIFY2(r.loaded, qPrintable(r.messages.messages.join('\n')));
            r.rent(0, 5);
            QVERIFY2(r.saidOnce(0, QStringLiteral("solo lectura")), qPrintable(r.messages.messages.join('\n')));
            QVERIFY(r.shows(0, true));
        }
        QVERIFY(::umount2(file.constData(), 0) == 0);
        QCOMPARE(rentalRows(db), before);
        QCOMPARE(integrityCheck(db), QStringLiteral("ok"));
    }
};

QTEST_MAIN(tst_real_disk)
#include "tst_real_disk.moc"
