#include "SqliteFile.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "data/JournalBooks.h"
#include "data/Schema.h"
#include "data/Statements.h"
#include "room/Room.h"
#include "room/RoomSave.h"
#include "room/RoomText.h"

#include <QTemporaryDir>
#include <QTest>
#include <functional>

using room::Room;

namespace {

const stations::Rate kTarifa{30, 1000};

// Six stations, one of a second type with an afternoon price; names with quotes.
Room sixStations() {
    Room r = room::defaultRoom(kTarifa);
    pricing::Terms ps5;
    std::tie(ps5.minutes, ps5.cents, ps5.minimumBlocks, ps5.toleranceMinutes, ps5.controllerCents) =
        std::tuple(60, 2500, 2, 10, 150);
    ps5.periods.push_back({QStringLiteral("Tarde L-V"), pricing::kMondayToFriday, 14 * 60, 17 * 60, 2000});
    ps5.periods.push_back({QStringLiteral("Noche"), pricing::dayBit(6), 23 * 60, 2 * 60, 3000});
    r.types.push_back({QStringLiteral("PS5 'Pro'"), ps5});
    r.stations[0].name = QStringLiteral("Sala d'Ana");
    r.stations.push_back({6, QStringLiteral("PS5 Sala"), QStringLiteral("PS5 'Pro'")});
    return r;
}

void compareRooms(const Room &a, const Room &b) {
    QCOMPARE(a.stations, b.stations);
    QCOMPARE(a.types.size(), b.types.size());
    for (size_t i = 0; i < a.types.size(); ++i) {
        QCOMPARE(a.types[i].name, b.types[i].name);
        QVERIFY2(room::sameTerms(a.types[i].terms, b.types[i].terms), qPrintable(a.types[i].name));
    }
}

// What another process sees of the room's tables and the journal.
const QString kTables = QStringLiteral(
    "SELECT * FROM Puestos; SELECT * FROM Consolas; SELECT * FROM Periodos; SELECT COUNT(*) FROM Registro");

} // namespace

class TestRoom final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        path_ = dir_.filePath(QStringLiteral("salon.mdb"));
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(path_ + QLatin1String(suffix));
        data::createDeliveredDatabase(path_, QStringLiteral("$argon2id$not-checked-here"));
        db_ = data::Database::open(path_);
    }
    void cleanup() { db_.reset(); }

    // The delivered file is the default room. Stored, read back as it was (the first type at
    // Tarifa's price whatever it was saved with), journaled once where another process reads it,
    // the books still agreeing with the journal.
    void savedRoomReadsBackAndIsJournaled() {
        const Room before = room::readRoom(*db_, kTarifa);
        compareRooms(before, room::defaultRoom(kTarifa));
        const Room after = sixStations();
        const qsizetype entries = journal::summary(*db_).entries;
        QCOMPARE(room::saveRoom(*db_, before, after, QStringLiteral("Admin"), QDateTime::currentDateTime()), QString());
        compareRooms(room::readRoom(*db_, kTarifa), after);
        const Room otherRate = room::readRoom(*db_, stations::Rate{45, 1234});
        QVERIFY(otherRate.types[0].terms.minutes == 45 && otherRate.types[1].terms.minutes == 60);

        QCOMPARE(journal::summary(*db_).entries, entries + 1);
        QCOMPARE(sqliteShell(path_, QStringLiteral("SELECT Usuario, Evento, Detalle FROM Registro ORDER BY Secuencia "
                                                   "DESC LIMIT 1")),
                 QStringLiteral("Admin|Configuración del salón|Puestos=6; Renombrado=Puesto 1 > Sala d'Ana; "
                                "Agregado=PS5 Sala (PS5 'Pro'); Consolas=2; Consola agregada=PS5 'Pro'"));
        const auto setups = room::stationSetups(room::readRoom(*db_, kTarifa));
        QVERIFY(setups[5].typeIndex == 1 && setups[5].terms.periods.size() == 2);
        QVERIFY(journal::verify(*db_).ok);
    }

    // Refusals name the station or type, and leave the tables and the journal as they were.
    void runningRentalsRefuseTheChangesThatWouldStrandThem_data() {
        QTest::addColumn<int>("what");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("station removed") << 0 << QStringLiteral("No se puede quitar el puesto «Puesto 3»");
        QTest::newRow("station retyped") << 1 << QStringLiteral("No se puede cambiar la consola del puesto «Puesto 3»");
        QTest::newRow("type of a rental") << 2 << QStringLiteral("No se puede quitar la consola «PS5 'Pro'»");
        QTest::newRow("type of a station") << 3 << QStringLiteral("la usa el puesto «PS5 Sala»");
    }
    void runningRentalsRefuseTheChangesThatWouldStrandThem() {
        QFETCH(int, what);
        QFETCH(QString, refusal);
        Room before = sixStations();
        before.stations[0].name = QStringLiteral("Puesto 1");
        QCOMPARE(room::saveRoom(*db_, room::readRoom(*db_, kTarifa), before, QStringLiteral("Admin"),
                                QDateTime::currentDateTime()),
                 QString());
        for (int puesto : {3, 4})
            db_->execute(statements::puestoAbiertoInsert(puesto, true, QStringLiteral("Ana"),
                                                         QStringLiteral("2026-12-05T17:00:00Z"), 30,
                                                         QStringLiteral("10"), 0, {}, {}, 0));
        db_->execute(QStringLiteral("UPDATE PuestosAbiertos SET Consola = 'PS5 ''Pro''' WHERE Puesto = 4"));
        QCOMPARE(room::runningStations(*db_), (std::vector<int>{3, 4}));

        Room after = before;
        if (what == 0) {
            after.stations.erase(after.stations.begin() + 2);
        } else if (what == 1) {
            after.stations[2].type = before.types[1].name;
        } else {
            after.types.pop_back();
            if (what == 2) {
                after.stations.pop_back();
            }
        }
        const QString tables = sqliteShell(path_, kTables);
        const QString said = room::saveRoom(*db_, before, after, QStringLiteral("Admin"), QDateTime::currentDateTime());
        QVERIFY2(said.contains(refusal), qPrintable(said));
        QCOMPARE(sqliteShell(path_, kTables), tables);
    }

    // A failing write leaves nothing half-written.
    void aFailingWriteIsReportedAndUndone() {
        const Room before = room::readRoom(*db_, kTarifa);
        execRaw(path_, "CREATE TRIGGER NoPeriods BEFORE INSERT ON Periodos BEGIN SELECT RAISE(ABORT, 'lleno'); END");
        const QString said =
            room::saveRoom(*db_, before, sixStations(), QStringLiteral("Admin"), QDateTime::currentDateTime());
        QVERIFY2(said.startsWith(QStringLiteral("No se guardó la configuración del salón")), qPrintable(said));
        QCOMPARE(readOnlyRows(path_, "SELECT COUNT(*) FROM Puestos UNION ALL SELECT COUNT(*) FROM Consolas"),
                 (QStringList{"0", "0"}));
        compareRooms(room::readRoom(*db_, kTarifa), before);
    }

    void checkRoomNamesTheFirstProblem_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no station") << 0 << QStringLiteral("El salón debe tener de 1 a 20 puestos (tiene 0).");
        QTest::newRow("21 stations") << 1 << QStringLiteral("El salón debe tener de 1 a 20 puestos (tiene 21).");
        QTest::newRow("empty name") << 2 << QStringLiteral("El puesto 2 no tiene nombre.");
        QTest::newRow("same name") << 3 << QStringLiteral("Hay dos puestos con el nombre «puesto 1».");
        QTest::newRow("unknown type") << 4
                                      << QStringLiteral("El puesto «Puesto 2» es de la consola «Xbox», que no existe.");
        QTest::newRow("type unnamed") << 5 << QStringLiteral("La consola 2 no tiene nombre.");
        QTest::newRow("type twice") << 6 << QStringLiteral("Hay dos consolas con el nombre «CONSOLA».");
        QTest::newRow("minutes") << 7
                                 << QStringLiteral("Consola «PS5»: Los minutos por bloque deben ser un número entero "
                                                   "de 1 a 1365.");
        QTest::newRow("overlap") << 8
                                 << QStringLiteral("Consola «PS5»: El período «A» y el período «B» se superponen: los "
                                                   "dos rigen el martes a las 15:00.");
        QTest::newRow("number 21") << 9 << QStringLiteral("El número de puesto 21 no es válido: deben ser de 1 a 20.");
        QTest::newRow("same number") << 10 << QStringLiteral("Hay dos puestos con el número 2.");
    }
    void checkRoomNamesTheFirstProblem() {
        QFETCH(int, fault);
        QFETCH(QString, problem);
        Room r = room::defaultRoom(kTarifa);
        pricing::Terms ps5;
        ps5.minutes = 60;
        r.types.push_back({QStringLiteral("PS5"), ps5});
        QCOMPARE(room::checkRoom(r), QString());
        const std::function<void(Room &)> faults[] = {
            [](Room &x) { x.stations.clear(); },
            [](Room &x) {
                for (int n = 6; n <= 21; ++n)
                    x.stations.push_back({n, QStringLiteral("P%1").arg(n), QStringLiteral("Consola")});
            },
            [](Room &x) { x.stations[1].name = QStringLiteral("  "); },
            [](Room &x) { x.stations[1].name = QStringLiteral(" puesto 1 "); },
            [](Room &x) { x.stations[1].type = QStringLiteral("Xbox"); },
            [](Room &x) { x.types[1].name = QString(); },
            [](Room &x) { x.types[1].name = QStringLiteral("CONSOLA"); },
            [](Room &x) { x.types[1].terms.minutes = 1366; },
            [](Room &x) {
                x.types[1].terms.periods = {{QStringLiteral("A"), pricing::dayBit(2), 14 * 60, 17 * 60, 100},
                                            {QStringLiteral("B"), pricing::dayBit(2), 15 * 60, 16 * 60, 100}};
            },
            [](Room &x) { x.stations[4].number = 21; },
            [](Room &x) { x.stations[2].number = 2; },
        };
        faults[fault](r);
        QCOMPARE(room::checkRoom(r), problem);
    }

    void daysAreTypedAsLetters_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("days"); // -1: refused
        QTest::addColumn<QString>("shown");
        QTest::newRow("weekdays") << "L-V" << 0x1f << "L-V";
        QTest::newRow("list") << "l, m,x" << 0x07 << "L-X";
        QTest::newRow("wraps") << "V-L" << 0x71 << "L,V-D";
        QTest::newRow("range and day") << "L-X,S" << 0x27 << "L-X,S";
        QTest::newRow("empty") << "" << -1 << "";
        QTest::newRow("unknown") << "L-Q" << -1 << "";
        QTest::newRow("dangling") << "L," << -1 << "";
        QTest::newRow("two dashes") << "L-M-X" << -1 << "";
    }
    void daysAreTypedAsLetters() {
        QFETCH(QString, typed);
        QFETCH(int, days);
        QFETCH(QString, shown);
        const auto read = room::readDays(typed);
        QCOMPARE(read ? int(*read) : -1, days);
        if (read) {
            QCOMPARE(room::daysText(*read), shown);
            QCOMPARE(room::readDays(shown), read);
        }
    }

    void clocks() {
        QCOMPARE(room::readClock(QStringLiteral("14:00")), std::optional<int>(840));
        QCOMPARE(room::readClock(QStringLiteral(" 9:05")), std::optional<int>(545));
        QCOMPARE(room::readClock(QStringLiteral("23:59")), std::optional<int>(1439));
        for (const char *bad : {"24:00", "14", "14:60", "14.00", "", "-1:00"}) {
            QVERIFY2(!room::readClock(QLatin1String(bad)), bad);
        }
        QCOMPARE(room::clockText(545), QStringLiteral("09:05"));
    }

    // An older file whose rentals stop at station 5 takes station 12 once opened; its rows keep
    // their rowids and the journal still accounts for every one.
    void olderRentalTablesWidenToTwentyStations() {
        const QDate day(2026, 12, 5);
        data::runInTransaction(*db_, [this, day] {
            for (int puesto : {2, 4, 5}) {
                db_->execute(statements::alquilerInsert(
                    puesto, true, QStringLiteral("Admin"), day.day(), QStringLiteral("Dec"), day.year(),
                    QStringLiteral("14:05:09"), QStringLiteral("1"), QStringLiteral("25"), QStringLiteral("6")));
                journal::append(*db_, QDateTime::currentDateTime(), QStringLiteral("Admin"),
                                journal::event::kRentalRecorded, puesto,
                                journal::rentalDetail(QString::number(puesto), QStringLiteral("Contador"),
                                                      QStringLiteral("Admin"), QStringLiteral("2026-12-05"),
                                                      QStringLiteral("14:05:09"), QStringLiteral("1"),
                                                      QStringLiteral("25"), QStringLiteral("6")));
            }
        });
        QVERIFY(journal::verify(*db_).ok && journal::verify(*db_).booksAgree());
        db_.reset();
        // Back to the first versions' tables, rows and rowids kept (the rowid 1 gone).
        QCOMPARE(execRaw(path_, "DELETE FROM Alquiler WHERE rowid = 1"), SQLITE_OK);
        for (const char *table : {"Alquiler", "Caja"}) {
            const QString t = QLatin1String(table);
            const QString sql =
                QStringLiteral("BEGIN; CREATE TABLE Vieja (Puesto INTEGER NOT NULL CHECK (Puesto BETWEEN 1 AND 5), "
                               "Modo TEXT NOT NULL, Usuario TEXT NOT NULL, Fecha TEXT NOT NULL, Hora TEXT NOT NULL, "
                               "Tiempo TEXT NOT NULL, Importe REAL NOT NULL); "
                               "INSERT INTO Vieja (rowid, Puesto, Modo, Usuario, Fecha, Hora, Tiempo, Importe) "
                               "SELECT rowid, * FROM %1; DROP TABLE %1; ALTER TABLE Vieja RENAME TO %1; "
                               "CREATE INDEX %1Fecha ON %1 (Fecha); COMMIT;")
                    .arg(t);
            QCOMPARE(execRaw(path_, sql.toUtf8().constData()), SQLITE_OK);
        }
        // And without the room's tables, which the open adds.
        QCOMPARE(execRaw(path_, "DROP TABLE Puestos; DROP TABLE Consolas; DROP TABLE Periodos"), SQLITE_OK);
        QCOMPARE(execRaw(path_, "INSERT INTO Alquiler VALUES (12, 'Contador', 'x', '2026-12-05', '14:00:00', "
                                "'00:30:00', 1)"),
                 SQLITE_CONSTRAINT);
        const QStringList rows = readOnlyRows(path_, "SELECT rowid, Puesto FROM Alquiler ORDER BY rowid");
        QCOMPARE(rows, (QStringList{"2|4", "3|5"}));

        db_ = data::Database::open(path_);
        QCOMPARE(readOnlyRows(path_, "SELECT rowid, Puesto FROM Alquiler ORDER BY rowid"), rows);
        QCOMPARE(readOnlyRows(path_, "SELECT name, tbl_name FROM sqlite_master WHERE type = 'index' AND tbl_name IN "
                                     "('Alquiler', 'Caja') ORDER BY name"),
                 (QStringList{"AlquilerFecha|Alquiler", "CajaFecha|Caja"}));
        QCOMPARE(room::readRoom(*db_, kTarifa).stations.size(), size_t(5));
        const journal::Verification verified = journal::verify(*db_);
        // The row the raw delete took is the one difference.
        QVERIFY(verified.ok && verified.differences.size() == 1);
        QVERIFY2(verified.differences[0].english().contains(QLatin1String("(Puesto=2;")),
                 qPrintable(verified.differences[0].english()));
        db_->execute(statements::alquilerInsert(12, true, QStringLiteral("Admin"), 5, QStringLiteral("Dec"), 2026,
                                                QStringLiteral("15:00:00"), QStringLiteral("0"), QStringLiteral("30"),
                                                QStringLiteral("10")));
        db_->execute(QStringLiteral("INSERT INTO Caja (Puesto, Modo, Usuario, Fecha, Hora, Tiempo, Importe) VALUES "
                                    "(20, 'Contador', 'x', '2026-12-05', '14:00:00', '00:30:00', 1)"));
        QVERIFY_THROWS_EXCEPTION(data::DbError,
                                 db_->execute(QStringLiteral("INSERT INTO Caja (Puesto, Modo, Usuario, Fecha, Hora, "
                                                             "Tiempo, Importe) VALUES (21, 'C', 'x', '2026-12-05', "
                                                             "'14:00:00', '00:30:00', 1)")));
        db_.reset(); // opened again: nothing more to do
        db_ = data::Database::open(path_);
        QCOMPARE(readOnlyRows(path_, "SELECT COUNT(*) FROM Alquiler"), QStringList{"3"});
    }

private:
    QTemporaryDir dir_;
    QString path_;
    std::unique_ptr<data::Database> db_;
};

QTEST_GUILESS_MAIN(TestRoom)
#include "tst_room.moc"
