#include "data/Database.h"
#include "data/Schema.h"
#include "data/Statements.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using data::Database;
using data::DbError;
using namespace statements;

namespace {

const QString fakeHash = QStringLiteral("$argon2id$not-checked-here");

QString rental(int puesto, const QString &user, const QDate &d, const QString &hora, const QString &importe = "6") {
    return alquilerInsert(puesto, true, user, d.day(), monthAbbrev(d.month()), d.year(), hora, "1", "25", importe);
}

int count(Database &db, const QString &jet) {
    return db.openRecordset(jet).recordCount();
}

QStringList column(Database &db, const QString &jet, const QString &field) {
    QStringList out;
    for (auto r = db.openRecordset(jet); !r.isEof(); r.moveNext())
        out << r.field(field).toString();
    return out;
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

    void rentalInsertReadsBack() {
        db_->execute(alquilerInsert(2, true, "Admin", 5, "Dec", 2026, "14:05:09", "1", "25", "6"));
        db_->execute(alquilerInsert(3, false, "Admin", 5, "Dec", 2026, "14:05:09", "26", "05", "117.5"));
        auto rs = db_->openRecordset("SELECT * FROM Alquiler");
        const QDate day(2026, 12, 5);
        const QTime hora(14, 5, 9);
        for (const QVariantList &expected : {QVariantList{2LL, "Contador", "Admin", day, hora, "01:25:00", 6.0},
                                             QVariantList{3LL, "Prepago", "Admin", day, hora, "26:05:00", 117.5}}) {
            QCOMPARE(QVariantList({rs.field("Puesto"), rs.field("modo"), rs.field("USUARIO"), rs.field("Fecha"),
                                   rs.field("Hora"), rs.field("Tiempo"), rs.field("Importe")}),
                     expected); // field names ignore case
            QCOMPARE(rs.field("Importe").typeId(), QMetaType::Double);
            rs.moveNext();
        }
        QVERIFY(rs.isEof());
        QVERIFY_THROWS_EXCEPTION(DbError, rs.field("Usuario"));
    }

    void hostileValuesStoredExactly_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("apostrophe") << "O'Brien";
        QTest::newRow("always true") << "' OR '1'='1";
        QTest::newRow("second statement") << "'; DELETE * FROM Alquiler; --";
        QTest::newRow("10 KB") << QString(10 * 1024, QLatin1Char('x'));
        QTest::newRow("non-Latin") << QString::fromUtf8("Ελληνικά 中文");
        QTest::newRow("literal marks") << "#5/Dec/2026# [x]";
    }

    void hostileValuesStoredExactly() {
        QFETCH(QString, name);
        db_->execute(rental(1, "Admin", QDate(2026, 12, 5), "10:00:00"));
        db_->execute(rental(3, name, QDate(2026, 12, 5), "11:00:00"));
        db_->execute(usuarioInsert(1, name, name));
        QCOMPARE(db_->openRecordset("SELECT * FROM Alquiler WHERE Puesto = 3").field("Usuario").toString(), name);
        QCOMPARE(db_->openRecordset(passwordLookup(name)).field(QString::fromUtf8("Contraseña")).toString(), name);
        db_->execute(usuarioDelete(name));
        QCOMPARE(count(*db_, passwordLookup(name)), 0);
        QCOMPARE(count(*db_, passwordLookup("Admin")), 1);
        QCOMPARE(count(*db_, "SELECT * FROM Alquiler"), 2);
    }

    void cashCloseTrimsKeepLimits() {
        // Across a month end; 27 Feb and 4 Mar lie outside the range.
        const QDate first(2026, 2, 28), last(2026, 3, 3);
        db_->execute(rental(1, "Admin", first.addDays(-1), "23:59:59", "32"));
        db_->execute(rental(1, "Admin", last.addDays(1), "00:00:00", "64"));
        db_->execute(rental(1, "Admin", first, "07:59:59", "1"));
        db_->execute(rental(2, "Ana", first, "08:00:00", "2"));
        db_->execute(rental(3, "Admin", QDate(2026, 3, 1), "03:00:00", "4"));
        db_->execute(rental(4, "Ana", last, "22:30:00", "8"));
        db_->execute(rental(5, "Admin", last, "22:30:01", "16"));

        // The cash close: empty Caja, copy the range, trim both ends.
        db_->execute(cajaEmpty());
        for (auto r = db_->openRecordset(alquilerRange(first, last)); !r.isEof(); r.moveNext())
            db_->execute(cajaInsert(r.field("Puesto").toString(), r.field("Modo").toString(),
                                    r.field("Usuario").toString(), r.field("Fecha").toDate(),
                                    r.field("Hora").toTime().toString("HH:mm:ss"), r.field("Tiempo").toString(),
                                    r.field("Importe").toString()));
        db_->execute(cajaTrimFirstDay(first, "08:00:00"));
        db_->execute(cajaTrimLastDay(last, "22:30:00"));

        QCOMPARE(column(*db_, cajaGrid(), "Puesto"), (QStringList{"2", "3", "4"})); // in date order
        QMap<QString, double> totals;
        for (auto t = db_->openRecordset(cajaTotals()); !t.isEof(); t.moveNext())
            totals[t.field("Usuario").toString()] += t.field("Importe").toDouble();
        QCOMPARE(totals, (QMap<QString, double>{{"Ana", 10.0}, {"Admin", 4.0}}));
        QCOMPARE(count(*db_, "SELECT * FROM Alquiler"), 7);
    }

    void accountsAreCaseSensitive() {
        db_->execute(usuarioInsert(1, "admin", "x"));
        db_->execute(usuarioInsert(1, "Bea", "y")); // the account code may repeat
        QCOMPARE(column(*db_, usuariosList(), "Usuario"), (QStringList{"Admin", "Bea", "admin"}));
        db_->execute(usuarioDelete("admin"));
        QCOMPARE(column(*db_, passwordLookup("Admin"), QString::fromUtf8("contraseña")), QStringList{fakeHash});
        QCOMPARE(count(*db_, passwordLookup("admin")), 0);
    }

    void rateUpdateTouchesEveryRow() {
        db_->execute("INSERT INTO Tarifa (Minutos,Pesos) VALUES (60, 18)");
        db_->execute(tarifaUpdate("30", "5.5"));
        QCOMPARE(column(*db_, tarifaEditorSelect(), "Minutos") + column(*db_, tarifaEditorSelect(), "Pesos"),
                 (QStringList{"30", "30", "5.5", "5.5"}));
    }

    void rejectedStatementWritesNothing_data() {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<bool>("inTransaction");
        // Puesto 4 would pass and 5 would not: the whole update must go.
        QTest::newRow("half an update") << "UPDATE Alquiler SET Puesto = Puesto + 1" << false;
        QTest::newRow("half an update, in a transaction") << "UPDATE Alquiler SET Puesto = Puesto + 1" << true;
        QTest::newRow("station 6, in a transaction")
            << alquilerInsert(6, true, "Admin", 5, "Dec", 2026, "14:05:09", "1", "25", "6") << true;
        QTest::newRow("untranslatable") << "DELETE FROM Alquiler; --" << true;
    }

    void rejectedStatementWritesNothing() {
        QFETCH(QString, jet);
        QFETCH(bool, inTransaction);
        db_->execute(rental(4, "Admin", QDate(2026, 12, 5), "10:00:00"));
        db_->execute(rental(5, "Admin", QDate(2026, 12, 5), "11:00:00"));
        if (inTransaction) {
            db_->beginTransaction();
            db_->execute(usuarioInsert(7, "kept", "k"));
        }
        try {
            db_->execute(jet);
            QFAIL("accepted");
        } catch (const DbError &e) {
            QCOMPARE(e.statement(), jet);
        }
        if (inTransaction) { // a second handle sees only what was committed
            auto other = Database::open(path_);
            QCOMPARE(count(*other, passwordLookup("kept")), 0);
            db_->commit();
            QCOMPARE(count(*other, passwordLookup("kept")), 1);
        }
        QCOMPARE(count(*db_, "SELECT * FROM Alquiler WHERE Puesto >= 4 AND Puesto <= 5"), 2);
    }

    void transactionRollbackUndoesAll() {
        db_->beginTransaction();
        db_->execute(rental(1, "Admin", QDate(2026, 1, 1), "10:00:00"));
        db_->execute(usuarioDelete("Admin"));
        db_->rollback();
        QCOMPARE(count(*db_, "SELECT * FROM Alquiler"), 0);
        QCOMPARE(count(*db_, usuariosList()), 1);
    }

    // Damaged databases are covered at start-up (reliability); here only what open() itself promises.
    void openRefuses_data() {
        QTest::addColumn<QByteArray>("contents"); // null: no file at all
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QByteArray() << "No se encuentra";
        QTest::newRow("text file") << QByteArray("Puesto;Modo\n1;Contador\n") << "no es una base";
    }

    void openRefuses() {
        QFETCH(QByteArray, contents);
        QFETCH(QString, reason);
        const QString path = dir_.filePath(QStringLiteral("other.mdb"));
        QFile f(path);
        f.remove();
        QVERIFY(contents.isNull() || (f.open(QIODevice::WriteOnly) && f.write(contents) == contents.size()));
        f.close();
        const QStringList before = QDir(dir_.path()).entryList(QDir::Files);
        try {
            Database::open(path);
            QFAIL("opened");
        } catch (const DbError &e) {
            QVERIFY2(e.message().contains(reason) && e.message().contains(path), qPrintable(e.message()));
        }
        QCOMPARE(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(), contents);
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), before);
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
