// A copy of the books put back in their place: by the data layer while another process reads the
// file, refused with nothing changed (a damaged copy, a database that is not a copy, a broken
// journal, a station open), the books it replaced kept whole, and from the command line, never
// under a running program.
#include "../cash_close/CashCloseFixtures.h"
#include "SqliteFile.h"
#include "TestSupport.h"
#include "data/Backup.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "data/OutputTarget.h"
#include "data/Restore.h"
#include "platform/InstanceLock.h"

#include <QDir>
#include <QProcess>
#include <QtTest>
#include <array>

namespace {

const QDateTime kCopyMade(QDate(2026, 12, 1), QTime(22, 0));
const QDateTime kNow(QDate(2026, 12, 5), QTime(14, 5, 9));

void rent(const QString &path, int count, const QDate &day) {
    QList<fixtures::Rental> rentals;
    for (int i = 0; i < count; ++i) {
        rentals << fixtures::Rental{1 + i % 5, QStringLiteral("Ana"), day, QTime(10, 0, i), QStringLiteral("10")};
    }
    fixtures::record(path, rentals);
}

// A Contador rental of station puesto opened at apertura, as the main window keeps it and journals it.
void openStation(const QString &path, int puesto, const QString &apertura) {
    auto db = data::Database::open(path);
    data::runInTransaction(*db, [&] {
        db->execute(statements::puestoAbiertoInsert(puesto, true, QStringLiteral("Ana"), apertura, 30,
                                                    QStringLiteral("10"), 0, QString(), QStringLiteral("b"), 1));
        journal::append(*db, kCopyMade, QStringLiteral("Ana"), journal::event::kStationOpened, puesto,
                        QStringLiteral("Modo=Contador; Tarifa=30 minutos por 10") + journal::openingSuffix(apertura));
    });
}

// Books with three rentals and a journal, their automatic copy in copias/, then five rentals
// more in the books; the copy's path.
QString booksWithACopy(const testing::TestPlatform &t) {
    const QString books = t.databasePath();
    rent(books, 3, QDate(2026, 12, 1));
    {
        auto db = data::Database::open(books);
        data::runInTransaction(
            *db, [&] { journal::append(*db, kCopyMade, QStringLiteral("Admin"), journal::event::kCashClose, 0, {}); });
        QString made;
        const QString failure = data::automaticBackup(*db, t.platform.where.backups(), kCopyMade, &made);
        if (!failure.isEmpty()) {
            qWarning("%s", qPrintable(failure));
        }
    }
    rent(books, 5, QDate(2026, 12, 4));
    return QDir(t.platform.where.backups()).filePath(QStringLiteral("ludomat-20261201-220000.mdb"));
}

// What the books hold, read by another connection.
QStringList contents(const QString &path) {
    return testing::tableRows(path, QStringLiteral("Alquiler")) + testing::tableRows(path, QStringLiteral("Registro")) +
           testing::tableRows(path, QStringLiteral("PuestosAbiertos"));
}

} // namespace

class CopyRestoreTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Another program reads the books all along: every read sees the old books or the restored
    // ones whole, never an error. The file keeps its identity; the restored books carry the
    // copy's rentals and journal plus the entry that names the copy and where the old books
    // went; those are kept whole, as a copy.
    void restoreWhileAnotherProcessReads() {
        testing::TestPlatform t;
        const QString books = t.databasePath();
        const QString copy = booksWithACopy(t);
        const ino_t before = inodeOf(books);
        const QStringList oldBooks = contents(books);
        QFile seen(t.folder.filePath(QStringLiteral("seen.txt")));
        QProcess reader;
        reader.setStandardOutputFile(seen.fileName());
        reader.setStandardErrorFile(seen.fileName(), QIODevice::Append);
        reader.start(QStringLiteral("bash"),
                     {QStringLiteral("-c"),
                      QStringLiteral("while :; do sqlite3 -readonly \"$0\" 'SELECT count(*) "
                                     "FROM Alquiler; PRAGMA quick_check;' || echo failed; done"),
                      books});
        QVERIFY(reader.waitForStarted());
        QTRY_VERIFY(seen.size() > 0);

        auto live = data::Database::open(books);
        const data::Restored done = data::restoreCopy(*live, copy, t.platform.where.backups(), kNow,
                                                      QStringLiteral("Admin"), QStringLiteral("de prueba"));
        QCOMPARE(done.failure, QString());
        const qint64 sizeAtRestore = seen.size();
        QTRY_VERIFY(seen.size() > sizeAtRestore + 20); // it went on reading the restored books
        reader.kill();
        reader.waitForFinished();

        QVERIFY(seen.open(QIODevice::ReadOnly));
        QStringList reads = QString::fromUtf8(seen.readAll()).split(u'\n', Qt::SkipEmptyParts);
        reads.removeDuplicates();
        QCOMPARE(reads, QStringList({"8", "ok", "3"}));
        QCOMPARE(inodeOf(books), before);
        QCOMPARE(rentalCount(books), 3);
        QCOMPARE(integrityCheck(books), QStringLiteral("ok"));
        // Books again: no copy mark, so nothing may be written over them.
        QCOMPARE(readOnlyRows(books, "PRAGMA application_id"), QStringList{"0"});
        const journal::Verification chain = journal::verifyFile(books);
        QVERIFY2(chain.ok && chain.booksChecked && chain.booksAgree(), qPrintable(chain.problem));
        const QStringList entries = testing::journal(books, QStringLiteral("Usuario, Evento, Detalle"));
        QCOMPARE(chain.entries, entries.size());
        QCOMPARE(entries.mid(entries.size() - 2, 1), QStringList{"Admin|Cierre de caja|"}); // the copy's last
        QCOMPARE(entries.mid(entries.size() - 1),
                 QStringList{QStringLiteral("Admin|Copia restaurada|Archivo=%1; Hecha=2026-12-01 22:00:00; "
                                            "Libros reemplazados guardados en %2; de prueba")
                                 .arg(copy, done.keptAt)});
        // The old books, whole and marked as a copy, with everything they had.
        QCOMPARE(QFileInfo(done.keptAt).fileName(), QStringLiteral("antes-de-restaurar-20261205-140509.mdb"));
        QCOMPARE(readOnlyRows(done.keptAt, "PRAGMA application_id").value(0).toLongLong(), qint64(data::kCopyMark));
        QCOMPARE(integrityCheck(done.keptAt), QStringLiteral("ok"));
        QVERIFY(journal::verifyFile(done.keptAt).ok);
        QCOMPARE(contents(done.keptAt), oldBooks);
        // Nothing of the work is left in the data folder.
        QCOMPARE(QDir(t.folder.path()).entryList({QStringLiteral(".ludomat-*")}, QDir::Files | QDir::Hidden).join(u' '),
                 QString());
        // The copies' list shows both, newest first, with what each holds.
        const QList<data::CopyInfo> listed = data::listCopies(t.platform.where.backups());
        QCOMPARE(listed.size(), 2);
        QCOMPARE(listed[0].path, done.keptAt);
        QCOMPARE(listed[0].rentals, 8);
        QCOMPARE(listed[0].lastRental, QDate(2026, 12, 4));
        QCOMPARE(listed[1].made, kCopyMade);
        QCOMPARE(listed[1].rentals, 3);
    }

    // A station the copy had open went on in the books it replaces: it is set aside with its
    // journal entry, never restored at the next start.
    void copysOpenStationsSetAside() {
        testing::TestPlatform t;
        const QString books = t.databasePath();
        openStation(books, 2, QStringLiteral("2026-12-01T20:00:00.000Z"));
        const QString copy = booksWithACopy(t);
        QCOMPARE(execRaw(books, "DELETE FROM PuestosAbiertos"), SQLITE_OK); // closed since
        auto live = data::Database::open(books);
        QCOMPARE(data::restoreCopy(*live, copy, t.platform.where.backups(), kNow, "Admin", "de prueba").failure,
                 QString());
        QCOMPARE(readOnlyRows(books, "SELECT count(*) FROM PuestosAbiertos"), QStringList{"0"});
        QCOMPARE(readOnlyRows(books, "SELECT Puesto, Motivo FROM PuestosApartados"),
                 QStringList{"2|abierto en la copia restaurada " + copy});
        const QStringList events = testing::journal(books, QStringLiteral("Evento, Puesto"));
        QCOMPARE(events.mid(events.size() - 2), QStringList({"Puesto apartado|2", "Copia restaurada|"}));
        // The journal covers the restored books, the row set aside included.
        const journal::Verification v = journal::verifyFile(books);
        QVERIFY2(v.ok && v.booksChecked && v.booksAgree(), qPrintable(v.differences.value(0).english() + v.problem));
    }

    // Whatever is wrong, it is said and nothing changes: the books hold what they held and no
    // copy of them is made.
    void refusedWithNothingChanged_data() {
        QTest::addColumn<QString>("chosen");  // COPY: the good copy, after damage
        QTest::addColumn<QString>("damage");  // SQL on the copy (its mark stays), or a station opened in the books
        QTest::addColumn<QString>("refusal"); // a part of the refusal
        const std::array<const char *, 4> rows[] = {
            {"damaged copy", "COPY",
             "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = 'CREATE INDEX AlquilerFecha ON Alquiler "
             "(Hora)' WHERE name = 'AlquilerFecha'",
             "está dañada"},
            {"journal cut in the copy", "COPY", "UPDATE Registro SET Usuario = 'Otro' WHERE Secuencia = 1",
             "no verifica"},
            {"a database that is not a copy", "TEMPLATE", "", "no es una copia hecha por Ludomat"},
            {"the books themselves", "BOOKS", "", "es la base de datos en uso"},
            {"not a database", "TEXT", "", "no es una base de datos"},
            {"a copy without the books' tables", "COPY", "DROP TABLE Caja", "Falta la tabla Caja"},
            {"a station open", "COPY", "BOOKS:OPEN", "hay puestos en curso (Puesto 3)"},
            {"a copy whose rentals were edited", "COPY", "UPDATE Alquiler SET Importe = 1",
             "los libros no coinciden con el registro en Alquiler"},
        };
        for (const auto &r : rows)
            QTest::newRow(r[0]) << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2]) << QString::fromUtf8(r[3]);
    }

    void refusedWithNothingChanged() {
        QFETCH(QString, chosen);
        QFETCH(QString, damage);
        QFETCH(QString, refusal);
        testing::TestPlatform t;
        const QString books = t.databasePath();
        QString copy = booksWithACopy(t);
        if (damage == u"BOOKS:OPEN") {
            openStation(books, 3, QStringLiteral("2026-12-05T16:00:00.000Z"));
        } else if (!damage.isEmpty()) {
            QCOMPARE(execRaw(copy, damage.toUtf8().constData()), SQLITE_OK);
        }
        if (chosen == u"TEMPLATE") {
            copy = testing::templateDatabasePath();
        } else if (chosen == u"BOOKS") {
            copy = books;
        } else if (chosen == u"TEXT") {
            copy = t.folder.filePath(QStringLiteral("notas.mdb"));
            QFile text(copy);
            QVERIFY(text.open(QIODevice::WriteOnly) && text.write("no es una base\n") > 0);
        }
        const QStringList before = contents(books);
        const QStringList copies = QDir(t.platform.where.backups()).entryList(QDir::Files);
        auto live = data::Database::open(books);
        const data::Restored done = data::restoreCopy(*live, copy, t.platform.where.backups(), kNow, "Admin", "x");
        QVERIFY2(done.failure.startsWith(QStringLiteral("No se restauró la copia: ")) && done.failure.contains(refusal),
                 qPrintable(done.failure));
        QCOMPARE(done.keptAt, QString());
        live->close();
        QCOMPARE(contents(books), before);
        QCOMPARE(QDir(t.platform.where.backups()).entryList(QDir::Files), copies);
    }

    // From a terminal: refused while the program works on the books (its one-program lock), and
    // done with the lock free.
    void fromTheCommandLine() {
        testing::TestPlatform t;
        const QString copy = booksWithACopy(t);
        const QStringList asked{"--restore", copy, "--data-dir", t.folder.path()};
        {
            sys::InstanceLock running(t.databasePath());
            QCOMPARE(running.acquire(), sys::InstanceLock::Result::Acquired);
            const testing::Run refused = testing::runLudomat(asked);
            QCOMPARE(refused.status, 1);
            QVERIFY2(refused.err.contains(QLatin1String("Ludomat is running")), qPrintable(refused.err));
            QCOMPARE(rentalCount(t.databasePath()), 8);
        }
        const testing::Run run = testing::runLudomat(asked);
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.startsWith(QStringLiteral("restore ok: ") + copy), qPrintable(run.out));
        QCOMPARE(rentalCount(t.databasePath()), 3);
        QVERIFY(testing::journal(t.databasePath(), QStringLiteral("Evento, Detalle"))
                    .last()
                    .endsWith(QStringLiteral("desde la línea de órdenes")));
    }
};

QTEST_GUILESS_MAIN(CopyRestoreTest)
#include "tst_copy_restore.moc"
