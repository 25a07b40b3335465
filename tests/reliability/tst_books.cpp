// Where the books live and the copies made of them: the order in which the data folder is
// chosen, the first start's seed that never writes over a file nor where books were, backups
// that are real (consistent while another program writes, checked, rotated, refused cleanly)
// from the data layer and from the command line beside a running writer, no output written over
// the books or another database, and no file opened under a second name.
#include "FaultVfs.h"
#include "SqliteFile.h"
#include "TestSupport.h"
#include "data/Backup.h"
#include "data/BackupRetention.h"
#include "data/Database.h"
#include "data/OutputTarget.h"
#include "platform/InstanceLock.h"
#include "platform/Locations.h"
#include "ui/AutomaticBackup.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QtTest>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A process recording rentals through the data layer until it is killed.
struct Writer {
    QProcess process;
    explicit Writer(const QString &database, int pauseMs = 0) {
        process.start(QStringLiteral(CRASH_WRITER), {database, QStringLiteral("1"), QString::number(pauseMs)});
        process.waitForStarted();
    }
    ~Writer() {
        ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished();
    }
};

// A file as it stands: its inode and a digest of its bytes ("" when there is none).
QString fileState(const QString &path) {
    struct stat st {};
    QFile file(path);
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !file.open(QIODevice::ReadOnly))
        return {};
    return QString::number(st.st_ino) + u' ' +
           QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
}

qint64 applicationId(const QString &path) {
    return readOnlyRows(path, "PRAGMA application_id").value(0).toLongLong();
}

// The name of an automatic copy made at when.
QString copyName(const QDateTime &when, int number = 1) {
    return when.toString(QStringLiteral("'ludomat-'yyyyMMdd-HHmmss")) +
           (number > 1 ? QStringLiteral("-%1").arg(number) : QString()) + QStringLiteral(".mdb");
}

} // namespace

class BooksTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The folder asked for, else a portable program folder (holding the books, writable), else
    // the user's data folder; the user's folder is made and seeded, never over a file.
    void dataFolderOrder_data() {
        QTest::addColumn<QString>("asked");   // "", or a folder name under the scratch folder
        QTest::addColumn<QString>("program"); // "with books", "read-only with books", "bare"
        QTest::addColumn<QString>("chosen");  // which folder holds the books
        QTest::addColumn<QString>("said");    // what prepare() says, empty when ready
        const char *table[][5] = {
            {"asked for", "asked", "with books", "asked", ""},
            {"asked for, missing", "nowhere", "bare", "nowhere", "no existe"},
            {"portable", "", "with books", "program", ""},
            {"read-only program folder", "", "read-only with books", "user", ""},
            {"installed, first start", "", "bare", "user", ""},
            {"installed, template missing", "", "bare, no template", "user",
             "No se encuentra la base de datos de fábrica"},
        };
        for (const auto &r : table)
            QTest::newRow(r[0]) << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2]) << QString::fromUtf8(r[3])
                                << QString::fromUtf8(r[4]);
    }

    void dataFolderOrder() {
        QFETCH(QString, asked);
        QFETCH(QString, program);
        QFETCH(QString, chosen);
        QFETCH(QString, said);
        if (program.startsWith(QLatin1String("read-only")) && ::geteuid() == 0)
            QSKIP("root writes into a read-only folder all the same");
        QTemporaryDir scratch;
        QDir root(scratch.path());
        for (const char *dir : {"bin", "share/ludomat", "asked"})
            QVERIFY(root.mkpath(QLatin1String(dir)));
        if (!program.contains(QLatin1String("no template")))
            QVERIFY(QFile::copy(testing::templateDatabasePath(), root.filePath("share/ludomat/dbLudomat.mdb")));
        QVERIFY(writeFile(root.filePath("asked/dbLudomat.mdb"), "the books asked for"));
        if (program.contains(QLatin1String("with books")))
            QVERIFY(writeFile(root.filePath("bin/dbLudomat.mdb"), "the portable books"));
        if (program.startsWith(QLatin1String("read-only")))
            QFile::setPermissions(root.filePath("bin"), QFile::ReadOwner | QFile::ExeOwner);
        const QString user = root.filePath(QStringLiteral("home/.local/share/ludomat"));

        const sys::Locations where =
            sys::locate({asked.isEmpty() ? QString() : root.filePath(asked), root.filePath("bin"), user});
        const QString expected = chosen == u"user" ? user : root.filePath(chosen == u"program" ? "bin" : chosen);
        QCOMPARE(where.dataFolder, expected);
        const QString problem = sys::prepare(where, asked.isEmpty());
        QVERIFY2(said.isEmpty() ? problem.isEmpty() : problem.contains(said), qPrintable(problem));
        if (!said.isEmpty()) {
            QVERIFY2(problem.contains(chosen == u"user" ? where.databaseTemplate() : expected), qPrintable(problem));
            return;
        }
        if (chosen == u"user") { // seeded with the delivered database, openable at once
            QCOMPARE(integrityCheck(where.database()), QStringLiteral("ok"));
            QVERIFY(data::Database::open(where.database()));
        } else { // never a seed over books that are there, as at every later start
            QFile books(where.database());
            QVERIFY(books.open(QIODevice::ReadOnly) && !books.readAll().startsWith("SQLite"));
        }
        QFile::setPermissions(root.filePath("bin"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // A target that cannot be written is refused by name; a disk that fails under an automatic
    // copy when thirty are kept: it does not count, and no older copy goes for it. (A copy taken
    // while another program records rentals: backupFromTheCommandLine; which copies go:
    // copiesKept, floodKeepsHistory.)
    void failedCopiesTakeNothing() {
        testing::TestPlatform t;
        auto db = data::Database::open(t.databasePath());
        const QString folder = t.folder.filePath(QStringLiteral("copias"));
        const QDateTime start(QDate(2026, 12, 5), QTime(8, 0));
        for (int n = 0; n < 30; ++n)
            QCOMPARE(data::automaticBackup(*db, folder, start.addSecs(n)), QString());
        const QStringList kept = QDir(folder).entryList(QDir::Files, QDir::Name);
        QCOMPARE(kept.size(), 30);
        for (const QString &bad : {t.folder.filePath(QStringLiteral("no/such/folder/copia.mdb")), folder})
            QVERIFY(data::backupTo(*db, bad).contains(bad));
        faultvfs::install();
        faultvfs::arm(faultvfs::Target::Write, 3, faultvfs::Fault::DiskFull);
        QVERIFY(!data::automaticBackup(*db, folder, start.addDays(1)).isEmpty());
        faultvfs::uninstall();
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), kept);
    }

    // Books that fail the check are not copied (`ludomat --backup`, through the data layer's
    // copy every other copy takes): the refusal says why, nothing takes the target's name or is
    // left beside it, nothing is noted.
    void damagedBooksAreNotCopied() {
        testing::TestPlatform t;
        const QString books = t.databasePath();
        // An index that no longer matches its table: the file opens and reads as before.
        QCOMPARE(execRaw(books, "INSERT INTO Alquiler VALUES (1, 'Contador', 'Admin', '2026-12-05', '14:00:00', "
                                "'00:30:00', 5); PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = "
                                "'CREATE INDEX AlquilerFecha ON Alquiler (Hora)' WHERE name = 'AlquilerFecha'"),
                 SQLITE_OK);
        QVERIFY(integrityCheck(books).contains(QStringLiteral("AlquilerFecha")));
        QTemporaryDir target;
        const QString copy = target.filePath(QStringLiteral("copia.mdb"));
        const testing::Run run = testing::runLudomat({"--backup", copy, "--data-dir", t.folder.path()});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(copy) && run.err.contains(QStringLiteral("verificación")) &&
                     run.err.contains(QStringLiteral("AlquilerFecha")),
                 qPrintable(run.err));
        QCOMPARE(QDir(target.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 QStringList());
        QCOMPARE(readOnlyRows(books, "SELECT count(*) FROM Registro WHERE Evento = 'Copia de seguridad'"),
                 QStringList{"0"});
    }

    // Every output aimed at the books, a part of them or another database leaves it untouched;
    // a copy the program wrote, or any other file, may be replaced.
    void outputsNeverOverwriteTheBooks_data() {
        QTest::addColumn<QString>("target");  // BOOKS: the data folder, ELSE: another folder
        QTest::addColumn<QString>("made");    // how the target is made first
        QTest::addColumn<QString>("refusal"); // empty: written
        const char *books = "es la base de datos en uso";
        const char *part = "es un archivo de la base de datos en uso";
        const char *table[][4] = {
            {"the books", "BOOKS/dbLudomat.mdb", "", books},
            {"their -wal", "BOOKS/dbLudomat.mdb-wal", "", part},
            {"their -journal, not there yet", "BOOKS/dbLudomat.mdb-journal", "", part},
            {"the -journal's name in capitals", "BOOKS/DBLUDOMAT.MDB-JOURNAL", "", part},
            {"a symlink to the books", "ELSE/copia.mdb", "link BOOKS/dbLudomat.mdb", books},
            {"a symlink to where the -journal would be", "ELSE/j", "link BOOKS/dbLudomat.mdb-journal", part},
            {"through a symlink to the data folder", "ELSE/datos/dbLudomat.mdb-journal", "folder link", part},
            {"another program's database", "ELSE/ajena.db", "database", "que no es una copia hecha por Ludomat"},
            {"the -journal of another database", "ELSE/ajena.db-journal", "database beside",
             "archivo auxiliar de la base de datos"},
            {"a -wal on its own", "ELSE/pendiente", "wal", "cambios pendientes"},
            {"an earlier copy", "ELSE/copia.mdb", "copy", ""},
            {"a text file", "ELSE/notas.txt", "text", ""},
            {"a new name", "ELSE/nueva.mdb", "", ""},
        };
        for (const auto &r : table)
            QTest::newRow(r[0]) << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2]) << QString::fromUtf8(r[3]);
    }

    void outputsNeverOverwriteTheBooks() {
        QFETCH(QString, target);
        QFETCH(QString, made);
        QFETCH(QString, refusal);
        testing::TestPlatform t;
        QTemporaryDir elsewhere;
        const QString path = t.databasePath();
        const auto place = [&](QString name) {
            return name.replace(QStringLiteral("BOOKS"), t.folder.path())
                .replace(QStringLiteral("ELSE"), elsewhere.path());
        };
        target = place(target);
        auto db = data::Database::open(path);
        db->execute(QStringLiteral("UPDATE Tarifa SET Minutos = Minutos")); // the -wal and -shm are there
        if (made.startsWith(QLatin1String("link ")))
            QVERIFY(QFile::link(place(made.mid(5)), target));
        else if (made == QLatin1String("folder link"))
            QVERIFY(QFile::link(t.folder.path(), elsewhere.filePath(QStringLiteral("datos"))));
        else if (made.startsWith(QLatin1String("database")))
            QCOMPARE(execRaw(elsewhere.filePath(QStringLiteral("ajena.db")), "CREATE TABLE t(x)"), SQLITE_OK);
        else if (made == QLatin1String("wal"))
            QVERIFY(writeFile(target, QByteArray::fromHex("377f0682002de218") + QByteArray(24, '\0')));
        else if (made == QLatin1String("copy"))
            QCOMPARE(data::backupTo(*db, target), QString());
        else if (made == QLatin1String("text"))
            QVERIFY(writeFile(target, "notas"));

        const QString said = data::outputRefusal(target, path);
        QVERIFY2(refusal.isEmpty() ? said.isEmpty() : said.contains(refusal), qPrintable(said));
        // The writer of every copy (automatic, the button, the command line) gives way the same.
        const QString books = fileState(path);
        const QString before = fileState(target);
        const QString failure = data::backupTo(*db, target);
        QCOMPARE(fileState(path), books);
        if (!refusal.isEmpty()) {
            QVERIFY2(failure.contains(refusal) && failure.contains(target), qPrintable(failure));
            QCOMPARE(fileState(target), before);
            return;
        }
        QCOMPARE(failure, QString());
        QCOMPARE(integrityCheck(target), QStringLiteral("ok"));
        QCOMPARE(applicationId(target), qint64(data::kCopyMark));
        // A copy put in place as books is books: the program's first open takes the mark away.
        QTemporaryDir shop;
        QVERIFY(QFile::copy(target, shop.filePath(QStringLiteral("dbLudomat.mdb"))));
        data::Database::open(shop.filePath(QStringLiteral("dbLudomat.mdb")))->close();
        QVERIFY(data::outputRefusal(shop.filePath(QStringLiteral("dbLudomat.mdb")), path)
                    .contains(QLatin1String("no es una copia")));
    }

    // The report's files from the command line, refused with a message and status 1, the books
    // and the target as they were. (`--backup` over the books is the data layer's copy,
    // refused in outputsNeverOverwriteTheBooks.)
    void commandLineOutputsNeverOverwriteTheBooks_data() {
        QTest::addColumn<QStringList>("arguments"); // DIR: the data folder, ELSE: another
        QTest::newRow("--report --csv over the books") << QStringList{
            "--report", "--from", "2026-12-01 00:00", "--to", "2026-12-02 00:00", "--csv", "DIR/dbLudomat.mdb"};
        QTest::newRow("--report --csv whose companion's name leads to the books")
            << QStringList{"--report", "--from", "2026-12-01 00:00", "--to", "2026-12-02 00:00", "--csv", "ELSE/r.csv"};
        QTest::newRow("--report --pdf over the -wal, a good --csv beside")
            << QStringList{"--report",  "--from", "2026-12-01 00:00",     "--to", "2026-12-02 00:00", "--csv",
                           "DIR/r.csv", "--pdf",  "DIR/dbLudomat.mdb-wal"};
    }

    void commandLineOutputsNeverOverwriteTheBooks() {
        QFETCH(QStringList, arguments);
        testing::TestPlatform t;
        QTemporaryDir elsewhere;
        QVERIFY(QFile::link(t.databasePath(), elsewhere.filePath(QStringLiteral("r-resumen.txt"))));
        arguments.replaceInStrings(QStringLiteral("DIR"), t.folder.path())
            .replaceInStrings(QStringLiteral("ELSE"), elsewhere.path());
        data::Database::open(t.databasePath())->close(); // as a first start leaves it
        const QString books = fileState(t.databasePath());
        const testing::Run run = testing::runLudomat(arguments + QStringList{"--data-dir", t.folder.path()});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(QLatin1String("base de datos en uso")), qPrintable(run.err));
        QCOMPARE(fileState(t.databasePath()), books);
        QCOMPARE(integrityCheck(t.databasePath()), QStringLiteral("ok"));
        for (const QString &csv :
             {t.folder.filePath(QStringLiteral("r.csv")), elsewhere.filePath(QStringLiteral("r.csv"))})
            QVERIFY(!QFileInfo::exists(csv)); // nothing written at all
    }

    // A database file with a second name is opened by nothing: not the program, not a window, not
    // a job, whichever name they are given; SQLite would keep one -wal per name.
    void oneFileOneName() {
        testing::TestPlatform t;
        QTemporaryDir elsewhere;
        const QString second = elsewhere.filePath(QStringLiteral("dbLudomat.mdb"));
        QVERIFY(::link(QFile::encodeName(t.databasePath()).constData(), QFile::encodeName(second).constData()) == 0);
        const QString why = QStringLiteral("tiene 2 nombres (enlaces duros)");
        for (const QString &name : {t.databasePath(), second}) {
            sys::InstanceLock lock(name);
            QCOMPARE(lock.acquire(), sys::InstanceLock::Result::Refused);
            QVERIFY2(lock.refusal().contains(why), qPrintable(lock.refusal()));
            try {
                data::Database::open(name, {.readOnly = true});
                QFAIL("a file with two names was opened");
            } catch (const data::DbError &error) {
                QVERIFY2(error.message().contains(why), qPrintable(error.message()));
            }
            const QString folder = QFileInfo(name).absolutePath();
            for (const QStringList &job :
                 {QStringList{"--backup", elsewhere.filePath(QStringLiteral("c.mdb"))}, QStringList{"--verify-journal"},
                  QStringList{"--report", "--from", "2026-12-01 00:00", "--to", "2026-12-02 00:00"}}) {
                const testing::Run run = testing::runLudomat(job + QStringList{"--data-dir", folder});
                QVERIFY2(run.status != 0 && run.err.contains(why), qPrintable(job.first() + u' ' + run.err));
            }
        }
        QVERIFY(!QFileInfo::exists(elsewhere.filePath(QStringLiteral("c.mdb"))));
        QVERIFY(!QFileInfo::exists(t.databasePath() + QStringLiteral("-wal")) &&
                !QFileInfo::exists(second + QStringLiteral("-wal")));
    }

    // New books only on a true first start: a folder that does not exist or is empty. Where books
    // were (anything left in the folder) neither the program nor a job starts, and the owner is
    // pointed at the newest copy.
    void noNewBooksWhereBooksWere_data() {
        QTest::addColumn<QStringList>("held"); // what the data folder holds; "none": no folder
        QTest::addColumn<QString>("said");     // empty: seeded
        QTest::newRow("no folder") << QStringList{"none"} << "";
        QTest::newRow("an empty folder") << QStringList{} << "";
        QTest::newRow("a first start cut short") << QStringList{"dbLudomat.x1Y2z3.nueva"} << "";
        QTest::newRow("an orphan -wal and -shm")
            << QStringList{"dbLudomat.mdb-wal", "dbLudomat.mdb-shm"} << "No hay copias en";
        QTest::newRow("copies")
            << QStringList{"copias/ludomat-20261201-100000.mdb", "copias/ludomat-20261204-093000.mdb",
                           "copias/ludomat-20261130-235959.mdb"}
            << "La copia más reciente es COPIAS/ludomat-20261204-093000.mdb, del 04/12/2026 09:30:00";
    }

    void noNewBooksWhereBooksWere() {
        QFETCH(QStringList, held);
        QFETCH(QString, said);
        QTemporaryDir scratch;
        const QString folder = scratch.filePath(QStringLiteral("datos"));
        const sys::Locations where(folder, QFileInfo(testing::templateDatabasePath()).absolutePath());
        if (held != QStringList{"none"}) {
            QVERIFY(QDir().mkpath(folder));
            for (const QString &name : held) {
                QVERIFY(QDir().mkpath(QFileInfo(QDir(folder).filePath(name)).absolutePath()));
                QVERIFY(QFile::copy(testing::templateDatabasePath(), QDir(folder).filePath(name)));
            }
        }
        const QString problem = sys::prepare(where, true);
        if (said.isEmpty()) {
            QCOMPARE(problem, QString());
            QCOMPARE(integrityCheck(where.database()), QStringLiteral("ok"));
            return;
        }
        said.replace(QStringLiteral("COPIAS"), where.backups());
        for (const QString &part : {QStringLiteral("Faltan los libros del negocio"), folder, said})
            QVERIFY2(problem.contains(part), qPrintable(problem));
        const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        // The jobs of the command line say the same and read nothing.
        for (const QStringList &job :
             {QStringList{"--backup", scratch.filePath(QStringLiteral("c.mdb"))}, QStringList{"--verify-journal"},
              QStringList{"--report", "--from", "2026-12-01 00:00", "--to", "2026-12-02 00:00"}}) {
            const testing::Run run = testing::runLudomat(job + QStringList{"--data-dir", folder});
            QCOMPARE(run.status, job.first() == QLatin1String("--verify-journal") ? 2 : 1);
            QVERIFY2(run.err.contains(said), qPrintable(run.err));
        }
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
        QVERIFY(!QFileInfo::exists(where.database()) && !QFileInfo::exists(scratch.filePath(QStringLiteral("c.mdb"))));
    }

    // Which automatic copies go, at 14:00 on 5 Dec 2026: beyond the newest 30, all but the newest
    // copy of each of the last 30 days and of each of the last 12 months; names of any other
    // form never.
    void copiesKept_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("removed");
        const QDateTime now(QDate(2026, 12, 5), QTime(14, 0));
        QStringList thirty; // the newest 30, all of today
        for (int i = 0; i < 30; ++i)
            thirty << copyName(now.addSecs(-60 * i));
        const auto at = [&now](int daysAgo, const char *time, int number = 1) {
            return copyName(QDateTime(now.date().addDays(-daysAgo), QTime::fromString(time, "HH:mm")), number);
        };
        QTest::newRow("a 31st of today") << thirty + QStringList{at(0, "08:00")} << QStringList{at(0, "08:00")};
        QTest::newRow("two in one second, the second one newer")
            << thirty.mid(1) + QStringList{at(0, "08:00", 2), at(0, "08:00")} << QStringList{at(0, "08:00")};
        QTest::newRow("a day's newest stays") << thirty + QStringList{at(1, "09:00"), at(1, "23:59"), at(1, "18:00")}
                                              << QStringList{at(1, "09:00"), at(1, "18:00")};
        QStringList daily, dailyGone;
        for (int d = 1; d <= 40; ++d) {
            daily << at(d, "20:00");
            if (d >= 30 && d != 35) // 35 days ago is 31 Oct, October's newest
                dailyGone << at(d, "20:00");
        }
        QTest::newRow("thirty days, then months") << thirty + daily << dailyGone;
        QStringList monthly;
        for (int m = 0; m < 14; ++m)
            monthly << copyName(QDateTime(QDate(2026, 12, 1).addMonths(-m), QTime(12, 0)));
        QTest::newRow("twelve months") << thirty + monthly << monthly.mid(12);
        QTest::newRow("other names") << thirty + QStringList{"notas.txt", "ludomat-hoy.mdb", at(40, "08:00") + ".bak",
                                                             at(40, "08:00", 0)}
                                     << QStringList{};
        QTest::newRow("fewer than 30, any age") << QStringList{at(400, "08:00"), at(0, "08:00")} << QStringList{};
    }
    void copiesKept() {
        QFETCH(QStringList, names);
        QFETCH(QStringList, removed);
        const QDateTime now(QDate(2026, 12, 5), QTime(14, 0));
        QStringList gone = data::copiesToRemove(names, now);
        gone.sort();
        removed.sort();
        QCOMPARE(gone, removed);
    }

    // A start makes no copy within 10 minutes of an automatic copy, before or after it (a clock
    // set back must not stop the copies for long).
    void startCopyDue_data() {
        QTest::addColumn<int>("secondsAfterTheCopy");
        QTest::addColumn<bool>("due");
        QTest::newRow("9:59 after") << 599 << false;
        QTest::newRow("10 min after") << 600 << true;
        QTest::newRow("clock set back 5 min") << -300 << false;
        QTest::newRow("clock set back an hour") << -3600 << true;
    }
    void startCopyDue() {
        QFETCH(int, secondsAfterTheCopy);
        QFETCH(bool, due);
        const QDateTime copy(QDate(2026, 12, 5), QTime(14, 0));
        const QStringList names{copyName(copy.addDays(-1)), copyName(copy), "ludomat-otra.mdb"};
        QCOMPARE(data::startCopyDue(names, copy.addSecs(secondsAfterTheCopy)), due);
        QVERIFY(data::startCopyDue({"ludomat-otra.mdb"}, copy));
    }

    // 60 starts in 3 minutes, then 60 cash closes: one copy for the starts, and the copies of
    // the last 30 days and 12 months stay beside the newest 30.
    void floodKeepsHistory() {
        testing::TestPlatform t;
        const QString folder = t.platform.where.backups();
        QVERIFY(QDir().mkpath(folder));
        const QDate today = t.clock.now.date();
        for (int d = 1; d <= 400; ++d)
            QVERIFY(writeFile(QDir(folder).filePath(copyName(QDateTime(today.addDays(-d), QTime(21, 0)))), ""));
        for (int i = 0; i < 60; ++i) {
            stations::AutomaticBackup backup(t.platform, nullptr);
            backup.start(QStringLiteral("al iniciar el programa"), QString());
            backup.wait();
            QCoreApplication::processEvents(); // its thread says it ended, and goes
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            t.clock.advance(3);
        }
        QCOMPARE(QDir(folder).entryList({copyName(t.clock.now).left(16) + '*'}, QDir::Files).size(), 1); // of today
        auto db = data::Database::open(t.databasePath());
        for (int i = 0; i < 60; ++i) {
            QCOMPARE(data::automaticBackupNoted(*db, folder, t.clock.now, "Admin", "tras el cierre de caja"),
                     QString());
            t.clock.advance(3);
        }
        QSet<QDate> days;
        QSet<int> months;
        for (const QString &name : QDir(folder).entryList(QDir::Files)) {
            const QDate day = data::parseCopyName(name).when.date();
            days << day;
            months << day.year() * 12 + day.month();
        }
        for (int d = 0; d < 30; ++d)
            QVERIFY2(days.contains(today.addDays(-d)), qPrintable(today.addDays(-d).toString()));
        for (int m = 0; m < 12; ++m)
            QVERIFY(months.contains(today.addMonths(-m).year() * 12 + today.addMonths(-m).month()));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 30 + 29 + 10); // today's 30, 29 days, Jan to Oct
    }

    // `ludomat --backup` beside a running writer: a sound copy, journaled.
    void backupFromTheCommandLine() {
        testing::TestPlatform t;
        // A counter's pace: the backup's journal entry waits its turn among the writes.
        Writer writer(t.databasePath(), 2);
        QTRY_VERIFY(writer.process.bytesAvailable() > 0);
        const QString copy = t.folder.filePath(QStringLiteral("de-la-terminal.mdb"));
        QCOMPARE(testing::runLudomat({"--backup", copy, "--data-dir", t.folder.path()}).status, 0);
        QCOMPARE(integrityCheck(copy), QStringLiteral("ok"));
        QVERIFY(rentalCount(copy) > 0);
        QTRY_VERIFY(readOnlyRows(t.databasePath(), "SELECT Detalle FROM Registro WHERE Evento = 'Copia de seguridad'")
                        .join(u'\n')
                        .contains(copy));
    }
};

QTEST_GUILESS_MAIN(BooksTest)
#include "tst_books.moc"
