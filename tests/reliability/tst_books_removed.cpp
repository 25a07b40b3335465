// The books' file removed under the running program: put back from the program's open
// connection, whether a write or the watch finds it gone first, every handle moved onto it, and
// a second process reads what was written after; a file replaced by another, or removed under a
// process that does not hold the books, stays refused.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "platform/InstanceLock.h"
#include "stations/StationBoard.h"
#include "ui/BooksWatch.h"
#include "ui/formLudomat2.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QtTest>
#include <QtWidgets>

namespace {

// The bytes of the file and of its -wal, as a digest: what another reader would find.
QByteArray bytesOf(const QString &path) {
    QCryptographicHash digest(QCryptographicHash::Sha256);
    for (const QString &name : {path, path + QStringLiteral("-wal")}) {
        QFile file(name);
        if (file.open(QIODevice::ReadOnly))
            digest.addData(file.readAll());
    }
    return digest.result();
}

} // namespace

class BooksRemovedTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
            QSKIP("the sqlite3 shell is not installed");
    }

    void removedUnderTheProgram_data() {
        QTest::addColumn<QString>("befalls"); // "removed", "replaced"
        QTest::addColumn<bool>("held");       // the process holds the books (the one-program lock)
        QTest::addColumn<bool>("watched");    // the watch looks before the write
        QTest::addColumn<bool>("restored");
        QTest::newRow("removed, a write finds it") << "removed" << true << false << true;
        QTest::newRow("removed, the watch finds it") << "removed" << true << true << true;
        QTest::newRow("replaced by another file") << "replaced" << true << true << false;
        QTest::newRow("removed under a process that does not hold it") << "removed" << false << true << false;
    }

    // A rental recorded before, a station open across the removal and closed after it.
    void removedUnderTheProgram() {
        QFETCH(QString, befalls);
        QFETCH(bool, held);
        QFETCH(bool, watched);
        QFETCH(bool, restored);
        testing::Shop shop;
        const QString path = shop.t.databasePath();
        sys::InstanceLock lock(path);
        if (held)
            QCOMPARE(lock.acquire(), sys::InstanceLock::Result::Acquired);
        stations::BooksWatch watch(shop.t.platform, shop.main);
        watch.start();
        const stations::StationBoard &board = shop.board();
        testing::signIn(*shop.desk);
        for (int press = 0; press < 3; ++press) { // station 1 opened, closed (a rental), opened again
            testing::press(*shop.desk, 0);
            shop.tick(600);
        }
        QVERIFY(board.station(0).running && shop.said().isEmpty());
        const QStringList accounts = shop.rows(QStringLiteral("Usuarios"));
        const ino_t before = inodeOf(path);
        const ino_t sideFile = inodeOf(path + QStringLiteral("-wal"));

        QCOMPARE(QProcess::execute(QStringLiteral("rm"), {path}), 0);
        if (befalls == QLatin1String("replaced"))
            QVERIFY(QFile::copy(testing::templateDatabasePath(), path));
        const QByteArray untouched = bytesOf(path);
        if (watched) {
            watch.look();
            watch.wait();
            QCoreApplication::processEvents();
        }
        testing::press(*shop.desk, 0); // closed: the second rental
        testing::press(*shop.desk, 2); // and another station opened
        watch.look();
        watch.wait();
        QTRY_VERIFY(!shop.said().isEmpty() || !restored);

        if (!restored) {
            // Refused as before: the station stays as it was, and nothing lands in a file that is not the books.
            QVERIFY2(shop.said().value(0).contains(QStringLiteral("No se guardó nada")),
                     qPrintable(shop.said().join('\n')));
            QVERIFY(board.station(0).running);
            QCOMPARE(QFileInfo::exists(path), befalls == QLatin1String("replaced"));
            QCOMPARE(bytesOf(path), untouched);
            return;
        }
        QCOMPARE(shop.said(),
                 QStringList{QStringLiteral("El archivo de los libros %1 fue borrado mientras el programa lo usaba. Se "
                                            "restituyó desde la conexión abierta del programa, con todo lo registrado "
                                            "hasta ahora, y el programa sigue trabajando en él.")
                                 .arg(path)});
        QVERIFY(inodeOf(path) != before && !board.station(0).running && board.station(2).running);
        // The removed file's -wal went with it: the new books share no side file with the old.
        QVERIFY(sideFile != 0 && inodeOf(path + QStringLiteral("-wal")) != sideFile);
        // A second program on the file sees both rentals, the station still open, every account and
        // the entry that says what happened; the file is sound and has one name.
        QCOMPARE(sqliteShell(path, "SELECT count(*) FROM Alquiler"), QStringLiteral("2"));
        QCOMPARE(sqliteShell(path, "SELECT Puesto FROM PuestosAbiertos"), QStringLiteral("3"));
        QCOMPARE(shop.rows(QStringLiteral("Usuarios")), accounts);
        QCOMPARE(sqliteShell(path, "SELECT Evento FROM Registro WHERE Evento LIKE 'Base de datos%'"),
                 QStringLiteral("Base de datos restituida"));
        QCOMPARE(sqliteShell(path, "PRAGMA integrity_check"), QStringLiteral("ok"));
        QVERIFY(QDir(shop.t.folder.path())
                    .entryList({QStringLiteral(".dbLudomat-*")}, QDir::Hidden | QDir::Files)
                    .isEmpty());
        // The books stay the program's: another process cannot take the one-program lock of the new file.
        QCOMPARE(QProcess::execute(QStringLiteral("flock"), {QStringLiteral("-n"), path, QStringLiteral("true")}), 1);
    }
};

QTEST_MAIN(BooksRemovedTest)
#include "tst_books_removed.moc"
