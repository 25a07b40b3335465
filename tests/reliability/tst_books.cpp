// Where the books live and the copies made of them: the order in which the data folder is
// chosen, the first start's seed that never writes over a file, and backups that are real
// (consistent while another program writes, checked, rotated, refused cleanly) from the data
// layer and from the command line beside a running writer.
#include "FaultVfs.h"
#include "SqliteFile.h"
#include "TestSupport.h"
#include "data/Backup.h"
#include "data/Database.h"
#include "ui/Locations.h"

#include <QDir>
#include <QProcess>
#include <QtTest>
#include <csignal>
#include <unistd.h>

namespace {

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// A process recording rentals through the data layer until it is killed.
struct Writer {
    QProcess process;
    explicit Writer(const QString &database) {
        process.start(QStringLiteral(CRASH_WRITER), {database, QStringLiteral("1")});
        process.waitForStarted();
    }
    ~Writer() {
        ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished();
    }
};

int rentals(const QString &path) {
    return readOnlyRows(path, "SELECT count(*) FROM Alquiler").value(0).toInt();
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
        QTest::newRow("asked for") << "asked"
                                   << "with books"
                                   << "asked"
                                   << "";
        QTest::newRow("asked for, missing") << "nowhere"
                                            << "bare"
                                            << "nowhere"
                                            << "no existe";
        QTest::newRow("portable") << ""
                                  << "with books"
                                  << "program"
                                  << "";
        QTest::newRow("read-only program folder") << ""
                                                  << "read-only with books"
                                                  << "user"
                                                  << "";
        QTest::newRow("installed, first start") << ""
                                                << "bare"
                                                << "user"
                                                << "";
        QTest::newRow("installed, template missing") << ""
                                                     << "bare, no template"
                                                     << "user"
                                                     << "No se encuentra la base de datos de fábrica";
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
        writeFile(root.filePath("asked/dbLudomat.mdb"), "the books asked for");
        if (program.contains(QLatin1String("with books")))
            writeFile(root.filePath("bin/dbLudomat.mdb"), "the portable books");
        if (program.startsWith(QLatin1String("read-only")))
            QFile::setPermissions(root.filePath("bin"), QFile::ReadOwner | QFile::ExeOwner);
        const QString user = root.filePath(QStringLiteral("home/.local/share/ludomat"));

        const ui::Locations where =
            ui::locate({asked.isEmpty() ? QString() : root.filePath(asked), root.filePath("bin"), user});
        const QString expected = chosen == u"user" ? user : root.filePath(chosen == u"program" ? "bin" : chosen);
        QCOMPARE(where.dataFolder, expected);
        QCOMPARE(where.databaseTemplate(), root.filePath("share/ludomat/dbLudomat.mdb"));
        const QString problem = ui::prepare(where, asked.isEmpty());
        QVERIFY2(said.isEmpty() ? problem.isEmpty() : problem.contains(said), qPrintable(problem));
        if (!said.isEmpty()) {
            QVERIFY2(problem.contains(chosen == u"user" ? where.databaseTemplate() : expected), qPrintable(problem));
            return;
        }
        if (chosen == u"user") { // seeded with the delivered database, openable at once
            QCOMPARE(integrityCheck(where.database()), QStringLiteral("ok"));
            QVERIFY(data::Database::open(where.database()));
            writeFile(where.database() + QStringLiteral(".mark"), "");
            QVERIFY(ui::prepare(where, true).isEmpty()); // a second start seeds nothing
            QCOMPARE(QDir(user).entryList(QDir::Files).size(), 2);
        } else { // never a seed over books that are there
            QFile books(where.database());
            QVERIFY(books.open(QIODevice::ReadOnly) && !books.readAll().startsWith("SQLite"));
        }
        QFile::setPermissions(root.filePath("bin"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // A copy taken while another program records rentals is whole and sound; the automatic
    // copies keep the newest thirty; a target that cannot be written leaves nothing.
    void backupsAreReal() {
        testing::TestPlatform t;
        Writer writer(t.databasePath());
        QTRY_VERIFY(writer.process.bytesAvailable() > 0);
        auto db = data::Database::open(t.databasePath());
        const QString copy = t.folder.filePath(QStringLiteral("copia.mdb"));
        QCOMPARE(data::backupTo(*db, copy), QString());
        QCOMPARE(integrityCheck(copy), QStringLiteral("ok"));
        QVERIFY(rentals(copy) > 0);

        const QString folder = t.folder.filePath(QStringLiteral("copias"));
        const QDateTime start(QDate(2026, 12, 5), QTime(8, 0));
        QString newest;
        for (int n = 0; n < 31; ++n)
            QCOMPARE(data::automaticBackup(*db, folder, start.addSecs(n), 30, &newest), QString());
        const QStringList kept = QDir(folder).entryList(QDir::Files, QDir::Name);
        QCOMPARE(kept.size(), 30);
        QCOMPARE(kept.first(), QStringLiteral("ludomat-20261205-080001.mdb")); // the oldest went
        QCOMPARE(QFileInfo(newest).fileName(), QStringLiteral("ludomat-20261205-080030.mdb"));

        for (const QString &bad : {t.folder.filePath(QStringLiteral("no/such/folder/copia.mdb")), folder}) {
            QVERIFY(data::backupTo(*db, bad).contains(bad));
        }
        // A disk that fails under the copy: it does not count, and no older copy goes for it.
        faultvfs::install();
        faultvfs::arm(faultvfs::Target::Write, 3, faultvfs::Fault::DiskFull);
        QVERIFY(!data::automaticBackup(*db, folder, start.addDays(1)).isEmpty());
        faultvfs::uninstall();
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), kept);
    }

    // Books that fail the check are not copied, from the data layer or the command line: the
    // refusal says why, nothing takes the target's name or is left beside it, nothing is noted.
    void damagedBooksAreNotCopied_data() {
        QTest::addColumn<bool>("commandLine");
        QTest::newRow("data layer") << false;
        QTest::newRow("ludomat --backup") << true;
    }

    void damagedBooksAreNotCopied() {
        QFETCH(bool, commandLine);
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
        QString said;
        if (commandLine) {
            const testing::Run run = testing::runLudomat({"--backup", copy, "--data-dir", t.folder.path()});
            QCOMPARE(run.status, 1);
            said = run.err;
        } else {
            said = data::backupTo(*data::Database::open(books), copy);
        }
        QVERIFY2(said.contains(copy) && said.contains(QStringLiteral("verificación")) &&
                     said.contains(QStringLiteral("AlquilerFecha")),
                 qPrintable(said));
        QCOMPARE(QDir(target.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 QStringList());
        QCOMPARE(readOnlyRows(books, "SELECT count(*) FROM Registro WHERE Evento = 'Copia de seguridad'"),
                 QStringList{"0"});
    }

    // `ludomat --backup` beside a running writer: a sound copy, journaled.
    void backupFromTheCommandLine() {
        testing::TestPlatform t;
        Writer writer(t.databasePath());
        QTRY_VERIFY(writer.process.bytesAvailable() > 0);
        const QString copy = t.folder.filePath(QStringLiteral("de-la-terminal.mdb"));
        QCOMPARE(testing::runLudomat({"--backup", copy, "--data-dir", t.folder.path()}).status, 0);
        QCOMPARE(integrityCheck(copy), QStringLiteral("ok"));
        QVERIFY(rentals(copy) > 0);
        QTRY_VERIFY(readOnlyRows(t.databasePath(), "SELECT Detalle FROM Registro WHERE Evento = 'Copia de seguridad'")
                        .join(u'\n')
                        .contains(copy));
    }
};

QTEST_GUILESS_MAIN(BooksTest)
#include "tst_books.moc"
