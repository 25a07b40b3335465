#include "accounts/PasswordHash.h"
#include "data/Database.h"
#include "data/Schema.h"
#include "data/Statements.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using data::Database;
using data::DbError;
using namespace statements;

namespace {

const QString fakeHash = QStringLiteral("$argon2id$not-checked-here");

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString rental(int puesto, const QString &user, const QDate &d, const QString &hora, const QString &importe = "6") {
    return alquilerInsert(puesto, true, user, d.day(), monthAbbrev(d.month()), d.year(), hora, "1", "25", importe);
}

int count(Database &db, const QString &jet) {
    return db.openRecordset(jet).recordCount();
}

} // namespace

class TestDatabase final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void rentalInsertReadsBack_data();
    void rentalInsertReadsBack();
    void hostileNames_data();
    void hostileNames();
    void rangeAcrossMonthEnd_data();
    void rangeAcrossMonthEnd();
    void cashCloseTrimsKeepLimits();
    void accountsAreCaseSensitive();
    void rateUpdateTouchesEveryRow();
    void namesIgnoreCase();
    void rejectedStatementWritesNothing_data();
    void rejectedStatementWritesNothing();
    void transactionRollbackUndoesAll();
    void wrongKindOfStatementRefused();
    void openRefuses_data();
    void openRefuses();
    void missingTableNamed();
    void oddPathsOpen_data();
    void oddPathsOpen();
    void readOnlyFileOpensButRefusesWrites();
    void deliveredTemplate();
    void describeIsSpanish();

private:
    QTemporaryDir dir_;
    QString path_;
    std::unique_ptr<Database> db_;
};

void TestDatabase::init() {
    QVERIFY(dir_.isValid());
    path_ = dir_.filePath(QStringLiteral("dbLudomat.mdb"));
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(path_ + QLatin1String(suffix));
    data::createDeliveredDatabase(path_, fakeHash);
    db_ = Database::open(path_);
}

void TestDatabase::cleanup() {
    db_.reset();
}

void TestDatabase::rentalInsertReadsBack_data() {
    QTest::addColumn<bool>("contador");
    QTest::addColumn<QString>("horas");
    QTest::addColumn<QString>("minutos");
    QTest::addColumn<QString>("importe");
    QTest::addColumn<QString>("tiempo");
    QTest::addColumn<double>("amount");
    QTest::newRow("counter") << true << "1"
                             << "25"
                             << "6"
                             << "01:25:00" << 6.0;
    QTest::newRow("prepaid") << false << "0"
                             << "45"
                             << "3"
                             << "00:45:00" << 3.0;
    QTest::newRow("past a day, decimal") << true << "26"
                                         << "05"
                                         << "117.5"
                                         << "26:05:00" << 117.5;
}

void TestDatabase::rentalInsertReadsBack() {
    QFETCH(bool, contador);
    QFETCH(QString, horas);
    QFETCH(QString, minutos);
    QFETCH(QString, importe);
    QFETCH(QString, tiempo);
    QFETCH(double, amount);
    db_->execute(alquilerInsert(2, contador, "Admin", 5, "Dec", 2026, "14:05:09", horas, minutos, importe));
    auto rs = db_->openRecordset("SELECT * FROM Alquiler");
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.field("Puesto"), QVariant(2LL));
    QCOMPARE(rs.field("Modo").toString(), contador ? QStringLiteral("Contador") : QStringLiteral("Prepago"));
    QCOMPARE(rs.field("Usuario").toString(), QStringLiteral("Admin"));
    QCOMPARE(rs.field("Fecha"), QVariant(QDate(2026, 12, 5)));
    QCOMPARE(rs.field("Hora"), QVariant(QTime(14, 5, 9)));
    QCOMPARE(rs.field("Tiempo"), QVariant(tiempo));
    QCOMPARE(rs.field("Importe").typeId(), QMetaType::Double);
    QCOMPARE(rs.field("Importe").toDouble(), amount);
    rs.moveNext();
    QVERIFY(rs.isEof());
    QVERIFY_THROWS_EXCEPTION(DbError, rs.field("Usuario"));
}

void TestDatabase::hostileNames_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("apostrophe") << "O'Brien";
    QTest::newRow("always true") << "' OR '1'='1";
    QTest::newRow("second statement") << "'; DELETE * FROM Alquiler; --";
    QTest::newRow("10 KB") << QString(10 * 1024, QLatin1Char('x'));
    QTest::newRow("Greek") << QString::fromUtf8("Ελληνικά");
    QTest::newRow("Chinese") << QString::fromUtf8("中文");
    QTest::newRow("hash and brackets") << "#5/Dec/2026# [x]";
}

void TestDatabase::hostileNames() {
    QFETCH(QString, name);
    db_->execute(rental(1, "Admin", QDate(2026, 12, 5), "10:00:00"));
    db_->execute(rental(3, name, QDate(2026, 12, 5), "11:00:00"));
    db_->execute(usuarioInsert(1, name, name));

    auto rs = db_->openRecordset("SELECT * FROM Alquiler WHERE Puesto = 3");
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.field("Usuario").toString(), name);
    auto pw = db_->openRecordset(passwordLookup(name));
    QCOMPARE(pw.recordCount(), 1);
    QCOMPARE(pw.field(QString::fromUtf8("Contraseña")).toString(), name);

    db_->execute(usuarioDelete(name));
    QCOMPARE(count(*db_, passwordLookup(name)), 0);
    QCOMPARE(count(*db_, passwordLookup("Admin")), 1);
    QCOMPARE(count(*db_, "SELECT * FROM Alquiler"), 2);
}

void TestDatabase::rangeAcrossMonthEnd_data() {
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<int>("rows");
    QTest::newRow("28 Feb to 3 Mar") << QDate(2026, 2, 28) << QDate(2026, 3, 3) << 4;
    QTest::newRow("one day") << QDate(2026, 3, 1) << QDate(2026, 3, 1) << 1;
    QTest::newRow("reversed") << QDate(2026, 3, 3) << QDate(2026, 2, 28) << 0;
    QTest::newRow("all") << QDate(2025, 12, 31) << QDate(2026, 12, 31) << 6;
}

void TestDatabase::rangeAcrossMonthEnd() {
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(int, rows);
    for (const QDate &d : {QDate(2026, 2, 27), QDate(2026, 2, 28), QDate(2026, 3, 1), QDate(2026, 3, 2),
                           QDate(2026, 3, 3), QDate(2026, 3, 4)})
        db_->execute(rental(1, "Admin", d, "23:59:59"));
    auto rs = db_->openRecordset(alquilerRange(from, to));
    QCOMPARE(rs.recordCount(), rows);
    for (; !rs.isEof(); rs.moveNext()) {
        const QDate d = rs.field("Fecha").toDate();
        QVERIFY(d >= from && d <= to);
    }
}

void TestDatabase::cashCloseTrimsKeepLimits() {
    const QDate first(2026, 2, 28), middle(2026, 3, 1), last(2026, 3, 3);
    db_->execute(rental(1, "Admin", first, "07:59:59", "1"));
    db_->execute(rental(2, "Ana", first, "08:00:00", "2"));
    db_->execute(rental(3, "Admin", middle, "03:00:00", "4"));
    db_->execute(rental(4, "Ana", last, "22:30:00", "8"));
    db_->execute(rental(5, "Admin", last, "22:30:01", "16"));

    // The cash close: empty Caja, copy the range, trim both ends.
    db_->execute(cajaEmpty());
    auto range = db_->openRecordset(alquilerRange(first, last));
    QCOMPARE(range.recordCount(), 5);
    for (; !range.isEof(); range.moveNext())
        db_->execute(cajaInsert(range.field("Puesto").toString(), range.field("Modo").toString(),
                                range.field("Usuario").toString(), range.field("Fecha").toDate(),
                                range.field("Hora").toTime().toString("HH:mm:ss"), range.field("Tiempo").toString(),
                                range.field("Importe").toString()));
    db_->execute(cajaTrimFirstDay(first, "08:00:00"));
    db_->execute(cajaTrimLastDay(last, "22:30:00"));

    auto grid = db_->openRecordset(cajaGrid());
    QCOMPARE(grid.recordCount(), 3);
    QList<qlonglong> puestos;
    QDate previous;
    for (; !grid.isEof(); grid.moveNext()) {
        puestos << grid.field("Puesto").toLongLong();
        QVERIFY(previous <= grid.field("Fecha").toDate());
        previous = grid.field("Fecha").toDate();
        QCOMPARE(grid.field("Tiempo").toString(), QStringLiteral("01:25:00"));
    }
    std::sort(puestos.begin(), puestos.end());
    QCOMPARE(puestos, (QList<qlonglong>{2, 3, 4}));

    QMap<QString, double> totals;
    auto t = db_->openRecordset(cajaTotals());
    QCOMPARE(t.columnNames(), (QStringList{"Usuario", "Importe"}));
    for (; !t.isEof(); t.moveNext())
        totals[t.field("Usuario").toString()] += t.field("Importe").toDouble();
    QCOMPARE(totals.value("Ana"), 10.0);
    QCOMPARE(totals.value("Admin"), 4.0);

    db_->execute(cajaEmpty());
    QCOMPARE(count(*db_, cajaGrid()), 0);
    QCOMPARE(count(*db_, "SELECT * FROM Alquiler"), 5);
}

void TestDatabase::accountsAreCaseSensitive() {
    db_->execute(usuarioInsert(1, "admin", "x"));
    db_->execute(usuarioInsert(1, "Bea", "y")); // the account code may repeat
    auto list = db_->openRecordset(usuariosList());
    QStringList names;
    for (; !list.isEof(); list.moveNext())
        names << list.field("Usuario").toString();
    QCOMPARE(names, (QStringList{"Admin", "Bea", "admin"}));

    db_->execute(usuarioDelete("admin"));
    auto admin = db_->openRecordset(passwordLookup("Admin"));
    QCOMPARE(admin.recordCount(), 1);
    QCOMPARE(admin.field(QString::fromUtf8("contraseña")).toString(), fakeHash);
    QCOMPARE(count(*db_, passwordLookup("admin")), 0);
    QCOMPARE(count(*db_, usuariosList()), 2);
}

void TestDatabase::rateUpdateTouchesEveryRow() {
    db_->execute("INSERT INTO Tarifa (Minutos,Pesos) VALUES (60, 18)");
    db_->execute(tarifaUpdate("30", "5.5"));
    auto rs = db_->openRecordset(tarifaEditorSelect());
    QCOMPARE(rs.recordCount(), 2);
    for (; !rs.isEof(); rs.moveNext()) {
        QCOMPARE(rs.field("minutos"), QVariant(30LL));
        QCOMPARE(rs.field("PESOS"), QVariant(5.5));
    }
}

void TestDatabase::namesIgnoreCase() {
    auto rs = db_->openRecordset("select USUARIO, codigo from usuarios where usuario = 'Admin'");
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.field("usuario").toString(), QStringLiteral("Admin"));
    QCOMPARE(rs.field("Usuario").toString(), QStringLiteral("Admin"));
    QCOMPARE(rs.field("CODIGO"), QVariant(0LL));
    QVERIFY_THROWS_EXCEPTION(DbError, rs.field("Nombre"));
    rs.moveLast();
    QVERIFY(!rs.isEof());
    rs.moveNext();
    QVERIFY_THROWS_EXCEPTION(DbError, rs.moveNext());
}

void TestDatabase::rejectedStatementWritesNothing_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<bool>("inTransaction");
    const QString bad = alquilerInsert(6, true, "Admin", 5, "Dec", 2026, "14:05:09", "1", "25", "6");
    QTest::newRow("station 6") << bad << false;
    QTest::newRow("station 6, in a transaction") << bad << true;
    QTest::newRow("hour 25") << alquilerInsert(1, true, "Admin", 5, "Dec", 2026, "25:00:00", "1", "25", "6") << false;
    // Puesto 4 would pass and 5 would not: the whole update must go.
    QTest::newRow("half an update") << "UPDATE Alquiler SET Puesto = Puesto + 1" << false;
    QTest::newRow("half an update, in a transaction") << "UPDATE Alquiler SET Puesto = Puesto + 1" << true;
    QTest::newRow("unknown table") << "DELETE FROM Alquileres" << true;
    QTest::newRow("untranslatable") << "DELETE FROM Alquiler; --" << true;
}

void TestDatabase::rejectedStatementWritesNothing() {
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
        QVERIFY(!e.message().isEmpty());
    }
    if (inTransaction) {
        QVERIFY(db_->inTransaction());
        db_->commit();
        QCOMPARE(count(*db_, passwordLookup("kept")), 1);
    }
    auto rs = db_->openRecordset("SELECT * FROM Alquiler ORDER BY Puesto");
    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(rs.field("Puesto"), QVariant(4LL));
    rs.moveLast();
    QCOMPARE(rs.field("Puesto"), QVariant(5LL));
}

void TestDatabase::transactionRollbackUndoesAll() {
    db_->beginTransaction();
    db_->execute(rental(1, "Admin", QDate(2026, 1, 1), "10:00:00"));
    db_->execute(cajaEmpty());
    db_->execute(usuarioDelete("Admin"));
    db_->rollback();
    QVERIFY(!db_->inTransaction());
    QCOMPARE(count(*db_, "SELECT * FROM Alquiler"), 0);
    QCOMPARE(count(*db_, usuariosList()), 1);
    QVERIFY_THROWS_EXCEPTION(DbError, db_->commit());

    // A second handle sees only what was committed.
    db_->beginTransaction();
    db_->execute(rental(1, "Admin", QDate(2026, 1, 1), "10:00:00"));
    auto other = Database::open(path_);
    QCOMPARE(count(*other, "SELECT * FROM Alquiler"), 0);
    db_->commit();
    QCOMPARE(count(*other, "SELECT * FROM Alquiler"), 1);
}

void TestDatabase::wrongKindOfStatementRefused() {
    QVERIFY_THROWS_EXCEPTION(DbError, db_->execute(tarifaSelect()));
    QVERIFY_THROWS_EXCEPTION(DbError, db_->openRecordset(cajaEmpty()));
    QCOMPARE(count(*db_, usuariosList()), 1);
    db_->close();
    QVERIFY(!db_->isOpen());
    QVERIFY_THROWS_EXCEPTION(DbError, db_->openRecordset(tarifaSelect()));
}

void TestDatabase::openRefuses_data() {
    QTest::addColumn<QByteArray>("contents"); // empty name: no file at all
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QByteArray() << false << "No se encuentra";
    QTest::newRow("empty file") << QByteArray() << true << "no es una base";
    QTest::newRow("text file") << QByteArray("Puesto;Modo\n1;Contador\n") << true << "no es una base";
    QTest::newRow("truncated header") << QByteArray("SQLite format") << true << "no es una base";
    QTest::newRow("header, then garbage")
        << QByteArray("SQLite format 3\0", 16) + QByteArray(4096, '\xA5') << true << "no es una base";
}

void TestDatabase::openRefuses() {
    QFETCH(QByteArray, contents);
    QFETCH(bool, exists);
    QFETCH(QString, reason);
    const QString path = dir_.filePath(QStringLiteral("other.mdb"));
    QFile::remove(path);
    if (exists) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contents);
    }
    const QStringList before = QDir(dir_.path()).entryList(QDir::Files);
    try {
        Database::open(path);
        QFAIL("opened");
    } catch (const DbError &e) {
        QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
        QVERIFY2(e.message().contains(path), qPrintable(e.message()));
    }
    QCOMPARE(QFile::exists(path), exists);
    if (exists)
        QCOMPARE(readAll(path), contents);
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), before);
}

void TestDatabase::missingTableNamed() {
    db_->execute("DROP TABLE Usuarios");
    db_.reset();
    const QByteArray before = readAll(path_);
    try {
        Database::open(path_);
        QFAIL("opened");
    } catch (const DbError &e) {
        QVERIFY2(e.message().contains("Usuarios") && e.message().contains(path_), qPrintable(e.message()));
    }
    QCOMPARE(readAll(path_), before);
}

void TestDatabase::oddPathsOpen_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("blank") << "mi base.mdb";
    QTest::newRow("hash and question mark") << "a#b?c=d.mdb";
    QTest::newRow("percent") << "100%.mdb";
    QTest::newRow("non-ASCII") << QString::fromUtf8("año ñandú.mdb");
}

void TestDatabase::oddPathsOpen() {
    QFETCH(QString, name);
    const QString path = dir_.filePath(name);
    data::createDeliveredDatabase(path, fakeHash);
    auto db = Database::open(path);
    db->execute(rental(1, "Admin", QDate(2026, 12, 5), "10:00:00"));
    QCOMPARE(count(*db, "SELECT * FROM Alquiler"), 1);
    QVERIFY(!QFile::exists(dir_.filePath("a")));
}

void TestDatabase::readOnlyFileOpensButRefusesWrites() {
    if (::geteuid() == 0)
        QSKIP("root writes through file permissions");
    db_.reset();
    QVERIFY(QFile::setPermissions(path_, QFile::ReadOwner));
    const QByteArray before = readAll(path_);
    {
        auto db = Database::open(path_);
        QCOMPARE(count(*db, tarifaSelect()), 1);
        QVERIFY_THROWS_EXCEPTION(DbError, db->execute(cajaEmpty()));
    }
    QCOMPARE(readAll(path_), before);
    QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner);
}

void TestDatabase::deliveredTemplate() {
    const QString templ = QStringLiteral(LUDOMAT_BUILD_DIR "/testdata/dbLudomat.template.mdb");
    if (!QFile::exists(templ))
        QSKIP("template not built");
    const QString copy = dir_.filePath(QStringLiteral("copy.mdb"));
    QFile::remove(copy);
    QVERIFY(QFile::copy(templ, copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    auto db = Database::open(copy);
    auto rate = db->openRecordset(tarifaSelect());
    QCOMPARE(rate.recordCount(), 1);
    QCOMPARE(rate.field("Minutos"), QVariant(30LL));
    QCOMPARE(rate.field("Pesos").toDouble(), 10.0);
    auto admin = db->openRecordset(passwordLookup("Admin"));
    QCOMPARE(admin.recordCount(), 1);
    const QString hash = admin.field(QString::fromUtf8("Contraseña")).toString();
    QVERIFY(hash.startsWith("$argon2id$"));
    QVERIFY(accounts::verifyPassword(hash, "admin"));
    QVERIFY(!accounts::verifyPassword(hash, "Admin"));
    QVERIFY(!accounts::verifyPassword("admin", "admin"));
    QCOMPARE(count(*db, "SELECT * FROM Alquiler"), 0);
}

void TestDatabase::describeIsSpanish() {
    QCOMPARE(DbError("disk I/O error", "DELETE * FROM Caja").describe(),
             QString::fromUtf8("Error en la base de datos:\ndisk I/O error\n\nInstrucción: DELETE * FROM Caja"));
    QCOMPARE(DbError("disk I/O error").describe(), QStringLiteral("Error en la base de datos:\ndisk I/O error"));
    // A full disk and a write-protected file are named in Spanish before the engine's words.
    const QString full = DbError("database or disk is full").describe();
    QVERIFY(full.contains(QString::fromUtf8("El disco está lleno")) && full.endsWith("database or disk is full"));
    const QString readOnly = DbError("attempt to write a readonly database").describe();
    QVERIFY(readOnly.contains(QStringLiteral("solo lectura")) &&
            readOnly.endsWith("attempt to write a readonly database"));
}

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
