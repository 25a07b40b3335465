#include "SqliteFile.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "data/Statements.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>
#include <unistd.h>

using data::Database;
using data::DbError;
using namespace statements;

namespace {

const QString fakeHash = QStringLiteral("$argon2id$not-checked-here");

QString rental(int puesto, const QString &user, const QDate &d, const QString &hora) {
    return alquilerInsert(puesto, true, user, d.day(), monthAbbrev(d.month()), d.year(), hora, "1", "25", "6");
}

int count(Database &db, const QString &jet) {
    return db.openRecordset(jet).recordCount();
}

// This process's descriptors on a -wal that was deleted under them.
QStringList deletedWal() {
    QStringList found;
    for (const QString &fd : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System)) {
        char target[4096] = {};
        const ssize_t n =
            ::readlink(QFile::encodeName(QStringLiteral("/proc/self/fd/") + fd).constData(), target, sizeof target - 1);
        const QString link = QString::fromLocal8Bit(target, n > 0 ? n : 0);
        if (link.contains(QLatin1String("-wal")) && link.endsWith(QLatin1String("(deleted)")))
            found << link;
    }
    return found;
}

} // namespace

class TestDatabase final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { db_.reset(); }

    void init() {
        path_ = dir_.filePath(QStringLiteral("dbLudomat.mdb"));
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(path_ + QLatin1String(suffix));
        data::createDeliveredDatabase(path_, fakeHash);
        db_ = Database::open(path_);
    }

    // Every row; a whole amount still reads as a double, like the column.
    void rateUpdateTouchesEveryRow() {
        db_->execute("INSERT INTO Tarifa (Minutos,Pesos) VALUES (60, 18.5)");
        db_->execute(tarifaUpdate("30", "6"));
        auto rs = db_->openRecordset(tarifaEditorSelect());
        QCOMPARE(rs.recordCount(), 2);
        for (; !rs.isEof(); rs.moveNext()) {
            QCOMPARE(rs.field("minutos").toInt(), 30); // field names ignore case
            QCOMPARE(rs.field("PESOS").typeId(), QMetaType::Double);
            QCOMPARE(rs.field("Pesos").toDouble(), 6.0);
        }
        QVERIFY_THROWS_EXCEPTION(DbError, rs.field("Usuario"));
    }

    // Station 19 moves to 20, then 20 to 21 is refused: the whole update goes, and the transaction
    // around it goes on. A second handle sees only what was committed.
    void rejectedStatementWritesNothing() {
        db_->execute(rental(19, "Admin", QDate(2026, 12, 5), "10:00:00"));
        db_->execute(rental(20, "Admin", QDate(2026, 12, 5), "11:00:00"));
        db_->beginTransaction();
        db_->execute(usuarioInsert(7, "kept", "k"));
        const QString jet = QStringLiteral("UPDATE Alquiler SET Puesto = Puesto + 1");
        try {
            db_->execute(jet);
            QFAIL("accepted");
        } catch (const DbError &e) {
            QCOMPARE(e.statement(), jet);
        }
        auto other = Database::open(path_);
        QCOMPARE(count(*other, passwordLookup("kept")), 0);
        db_->commit();
        QCOMPARE(count(*other, passwordLookup("kept")), 1);
        QCOMPARE(count(*db_, "SELECT * FROM Alquiler WHERE Puesto = 19"), 1);
    }

    // Characters that mean something in a file URI are plain parts of the name.
    void oddPathsOpen() {
        const QString path = dir_.filePath(QString::fromUtf8("año 100% a#b?c=d.mdb"));
        data::createDeliveredDatabase(path, fakeHash);
        auto db = Database::open(path);
        db->execute(rental(1, "Admin", QDate(2026, 12, 5), "10:00:00"));
        QCOMPARE(count(*db, "SELECT * FROM Alquiler"), 1);
        QVERIFY(!QFile::exists(dir_.filePath(QString::fromUtf8("año 100% a"))));
    }

    // Another program reads or backs up the file while two handles of this process hold it
    // (the windows'): the next rental is seen at once by a third program, no -wal is deleted
    // under the handles, and the file stays sound.
    void outsideProgramsLoseNothing_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("plain read") << QStringLiteral("SELECT count(*) FROM Alquiler");
        QTest::newRow("backup") << QStringLiteral(".backup '%1'").arg(dir_.filePath(QStringLiteral("copia.mdb")));
    }

    void outsideProgramsLoseNothing() {
        QFETCH(QString, command);
        auto second = Database::open(path_);
        db_->execute(rental(1, "Admin", QDate(2026, 12, 5), "10:00:00"));
        sqliteShell(path_, command);
        second->execute(rental(2, "Admin", QDate(2026, 12, 5), "10:05:00"));
        QCOMPARE(sqliteShell(path_, QStringLiteral("SELECT count(*) FROM Alquiler")), QStringLiteral("2"));
        QCOMPARE(deletedWal(), QStringList());
        second.reset();
        db_.reset();
        QCOMPARE(sqliteShell(path_, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
    }

    // A file removed, replaced or cut under an open handle: the next write is refused and says
    // why, instead of going into a file nobody will read.
    void changedFileRefusesWrites_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("said");
        QTest::newRow("removed") << "removed"
                                 << "ya no existe";
        QTest::newRow("replaced") << "replaced"
                                  << "reemplazado";
        QTest::newRow("truncated") << "truncated"
                                   << "truncado";
    }

    void changedFileRefusesWrites() {
        QFETCH(QString, change);
        QFETCH(QString, said);
        db_->execute(rental(1, "Admin", QDate(2026, 12, 5), "10:00:00"));
        if (change == "removed") {
            QVERIFY(QFile::remove(path_));
        } else if (change == "replaced") {
            const QString other = dir_.filePath(QStringLiteral("otra.mdb"));
            data::createDeliveredDatabase(other, fakeHash);
            QVERIFY(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path_).constData()) == 0);
        } else {
            QVERIFY(::truncate(QFile::encodeName(path_).constData(), 1000) == 0);
        }
        try {
            db_->execute(rental(2, "Admin", QDate(2026, 12, 5), "10:05:00"));
            QFAIL("written");
        } catch (const DbError &e) {
            QVERIFY2(e.describe().contains(said), qPrintable(e.describe()));
        }
    }

    // A file of an earlier version gets the tables and columns of later ones on its first open,
    // all in one transaction: a step that fails leaves the file as it was. (A write lock held by
    // another program: the windows' tests, which see the message it gives.)
    void olderFileIsUpgraded_data() {
        QTest::addColumn<QString>("older");
        QTest::addColumn<QString>("after"); // the open stations' columns and rows; "refused": not opened
        const QString oldOpen = QStringLiteral(
            "DROP TABLE PuestosAbiertos; DROP TABLE PuestosApartados; CREATE TABLE PuestosAbiertos (Puesto INTEGER NOT "
            "NULL, Modo TEXT NOT NULL, Usuario TEXT NOT NULL, Apertura TEXT NOT NULL, Minutos INTEGER NOT NULL, Pesos "
            "REAL NOT NULL, Bloques INTEGER, Fin TEXT); INSERT INTO PuestosAbiertos VALUES (2, 'Contador', 'Ana', "
            "'2026-12-05T17:05:09Z', 30, 10, NULL, NULL)");
        const QString columns = QStringLiteral(
            "Puesto,Modo,Usuario,Apertura,Minutos,Pesos,Bloques,Fin,Arranque,ArranqueMs,Transcurrido,Visto,PausaMs,"
            "PausadoEn,Cortesia,Descuento,Consola,Mandos,Condiciones,Pagado\n");
        QTest::newRow("first version")
            << "DROP TABLE PuestosAbiertos; DROP TABLE Registro; DROP TABLE PuestosApartados; DROP TABLE Sello; "
               "DROP TABLE Intentos; DROP TABLE ClavesProvisorias"
            << columns;
        QTest::newRow("open stations without their time")
            << oldOpen << columns + "2|Contador|Ana|2026-12-05T17:05:09Z|30|10.0||||||||||||||";
        QTest::newRow("a step fails") << oldOpen + "; CREATE VIEW PuestosApartados AS SELECT 1"
                                      << "refused";
    }

    void olderFileIsUpgraded() {
        QFETCH(QString, older);
        QFETCH(QString, after);
        db_.reset();
        QCOMPARE(sqliteShell(path_, older), QString());
        const QString shape = QStringLiteral(
            "SELECT group_concat(name) FROM pragma_table_info('PuestosAbiertos'); SELECT * FROM PuestosAbiertos");
        const QString before = sqliteShell(path_, shape);
        try {
            db_ = Database::open(path_);
        } catch (const DbError &e) {
            QVERIFY2(after == u"refused", qPrintable(e.describe()));
            QCOMPARE(sqliteShell(path_, shape), before);
            return;
        }
        QCOMPARE(sqliteShell(path_, shape), after.trimmed());
        QCOMPARE(count(*db_, registroAll()), 1); // the books' first entry: delivered, or written on meeting them
        QCOMPARE(count(*db_, "SELECT * FROM PuestosApartados"), 0);
        QCOMPARE(count(*db_, intentosLookup("Admin")) + count(*db_, provisoriaLookup("Admin")), 0);
    }

    // A bracketed name stays a name: one the file lacks is an error, never read as a text.
    void bracketedNamesAreNames() {
        QCOMPARE(db_->openRecordset("SELECT [Minutos] FROM Tarifa").field("Minutos").toInt(), 30);
        QVERIFY_THROWS_EXCEPTION(DbError, db_->openRecordset("SELECT [Nombre] FROM Tarifa"));
        QVERIFY_THROWS_EXCEPTION(DbError, db_->execute("UPDATE Tarifa SET Minutos = 1 WHERE [Nombre] = 'Nombre'"));
    }

private:
    QTemporaryDir dir_;
    QString path_;
    std::unique_ptr<Database> db_;
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
