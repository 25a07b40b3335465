#include "data/Database.h"
#include "data/Schema.h"
#include "data/Statements.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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

    // Station 4 moves to 5, then 5 to 6 is refused: the whole update goes, and the transaction
    // around it goes on. A second handle sees only what was committed.
    void rejectedStatementWritesNothing() {
        db_->execute(rental(4, "Admin", QDate(2026, 12, 5), "10:00:00"));
        db_->execute(rental(5, "Admin", QDate(2026, 12, 5), "11:00:00"));
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
        QCOMPARE(count(*db_, "SELECT * FROM Alquiler WHERE Puesto = 4"), 1);
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

    void describeNamesTheStatement() {
        QCOMPARE(DbError("disk I/O error", "DELETE * FROM Caja").describe(),
                 QString::fromUtf8("Error en la base de datos:\ndisk I/O error\n\nInstrucción: DELETE * FROM Caja"));
    }

private:
    QTemporaryDir dir_;
    QString path_;
    std::unique_ptr<Database> db_;
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
