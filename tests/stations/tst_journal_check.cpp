// The program's jobs from the command line, each run as its own process without a display:
// `ludomat --verify-journal` and `ludomat --report`; and the journal's check at start-up.
#include "../cash_close/CashCloseFixtures.h"
#include "TestSupport.h"
#include "data/Backup.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "data/Seal.h"
#include "data/Statements.h"
#include "ui/formLudomat2.h"

#include <QProcess>
#include <QtTest>
#include <QtWidgets>

namespace {

// Three entries after the delivered file's first, as the program appends them.
QString journalOfThree(const QString &path) {
    auto db = data::Database::open(path);
    data::runInTransaction(*db, [&db] {
        const QDateTime at(QDate(2026, 12, 5), QTime(14, 5, 9));
        journal::append(*db, at, QStringLiteral("Admin"), journal::event::kSignIn, 0, {});
        journal::append(*db, at.addSecs(60), QStringLiteral("Admin"), journal::event::kStationOpened, 3, {});
        journal::append(*db, at.addSecs(99), QStringLiteral("Ana"), journal::event::kStationClosed, 3, "$ 10");
    });
    return journal::summary(*db).lastHash;
}

// A shift through the main window: Ana's account, her three rentals of 20 minutes at the
// delivered 30 minutes for $10 (entries 6, 9 and 12), and station 4 left open (entry 14); then
// every handle closed.
void recordAShift(testing::Shop &shop) {
    testing::addAccount(shop.t.databasePath(), 1, QStringLiteral("Ana"), QStringLiteral("$argon2id$de-ana"));
    testing::signIn(*shop.desk, QStringLiteral("Ana"));
    for (int station : {0, 1, 2}) {
        testing::press(*shop.desk, station);
        shop.t.clock.advance(20 * 60);
        testing::press(*shop.desk, station);
    }
    testing::press(*shop.desk, 3);
    shop.close();
}

// `ludomat --verify-journal` on the folder: exactly one line it prints starts with said, and it ends with status.
void verifiesAs(const QString &folder, const QString &said, int status) {
    const testing::Run run = testing::runLudomat({"--verify-journal", "--data-dir", folder});
    QVERIFY2(run.out.split(u'\n').filter(QRegularExpression(u'^' + QRegularExpression::escape(said))).size() == 1,
             qPrintable(run.out));
    QCOMPARE(run.status, status);
}

} // namespace

class JournalCheckTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every option of the command line on the real program: its exit status, the start of what it
    // prints on standard output and on standard error (empty: nothing at all). DIR is the data folder
    // (a fresh program folder), OUT a scratch folder, COPY a copy of the books the program made.
    // Whatever is wrong with the arguments reads nothing and writes nothing: the usage, status 2.
    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("variable"); // LUDOMAT_DATA_DIR; "unset"
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const char *usage = "ludomat --report --from";
        const char *journal = "journal ok: 1 entries, last hash ";
        const char *version = "ludomat " LUDOMAT_VERSION "\n";
        const char *unreadable = "ludomat: cannot read OUT/nada/dbLudomat.mdb";
        const QStringList period{"--report", "--from", "2026-12-04 08:00", "--to", "2026-12-05 16:00"};
        const QStringList dir{"--data-dir", "DIR"};
        const QString report =
            "Período: 2026-12-04 08:00:00 a 2026-12-05 16:00:00\nAlquileres: 0\nTotal Facturado: 0.00\n";
        const struct {
            const char *row;
            QStringList arguments;
            const char *variable;
            int status;
            QString out;
            const char *err;
        } table[] = {
            {"--verify-journal", QStringList{"--verify-journal"} + dir, "unset", 0, journal, ""},
            {"the folder from the variable", {"--backup", "OUT/c.mdb"}, "OUT/nada", 1, "", unreadable},
            {"--data-dir before the variable", QStringList{"--verify-journal"} + dir, "OUT/nada", 0, journal, ""},
            {"the variable set but empty: the program's folder", {"--verify-journal"}, "", 0, journal, ""},
            {"--backup", QStringList{"--backup", "OUT/c.mdb"} + dir, "unset", 0, "backup ok: OUT/c.mdb\n", ""},
            {"--backup=FILE", dir + QStringList{"--backup=OUT/c.mdb"}, "unset", 0, "backup ok: OUT/c.mdb\n", ""},
            {"--restore", QStringList{"--restore", "COPY"} + dir, "unset", 0,
             "restore ok: COPY; the books it replaced were kept in DIR/copias/", ""},
            {"--report with its files",
             period + QStringList{"--csv", "OUT/r.csv", "--pdf", "OUT/r.pdf", "--xlsx", "OUT/r.xlsx"} + dir, "unset", 0,
             report, ""},
            {"--help", {"--help"}, "unset", 0, usage, ""},
            {"-h, beside a folder", QStringList{"-h"} + dir, "unset", 0, usage, ""},
            {"--version", {"--version"}, "unset", 0, version, ""},
            {"a misspelt option", {"--verify-jornal"}, "unset", 2, "", usage},
            {"a word of no option", {"--verify-journal", "DIR"}, "unset", 2, "", "Argumento inesperado «DIR»."},
            {"Qt's own option beside ours", QStringList{"-platform", "offscreen", "--verify-journal"} + dir, "unset", 2,
             "", usage},
            {"the end of options", {"--"}, "unset", 2, "", "Argumento inesperado «--»."},
            {"a missing value", {"--verify-journal", "--data-dir"}, "unset", 2, "", usage},
            {"an empty value", QStringList{"--backup", ""} + dir, "unset", 2, "", "Falta valor tras «--backup»."},
            {"a value to a switch", QStringList{"--verify-journal=si"} + dir, "unset", 2, "", usage},
            {"an option twice", QStringList{"--backup", "OUT/a.mdb", "--backup", "OUT/b.mdb"} + dir, "unset", 2, "",
             "La opción «--backup» va una sola vez."},
            {"two jobs", QStringList{"--verify-journal", "--backup", "OUT/c.mdb"} + dir, "unset", 2, "",
             "Una tarea por vez: «--verify-journal» y «--backup»."},
            {"a report's option for another job", QStringList{"--verify-journal", "--from", "2026-12-04 08:00"} + dir,
             "unset", 2, "", "La opción «--from» es del informe, «--report»."},
            {"a report without its end", QStringList{"--report", "--from", "2026-12-04 08:00"} + dir, "unset", 2, "",
             "El informe necesita «--from» y «--to»."},
            {"a report's end before its start",
             QStringList{"--report", "--from", "2026-12-05 08:00", "--to", "2026-12-04 08:00"} + dir, "unset", 2, "",
             "ludomat: --from and --to take \"YYYY-MM-DD HH:MM\", the end not before the start"},
            {"a report on unreadable books", period + QStringList{"--data-dir", "OUT/nada"}, "unset", 1, "",
             unreadable},
        };
        for (const auto &r : table)
            QTest::newRow(r.row) << r.arguments << QString::fromUtf8(r.variable) << r.status << r.out
                                 << QString::fromUtf8(r.err);
    }

    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, variable);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        testing::TestPlatform t;
        QTemporaryDir scratch;
        // A copy as the program makes them, and the program run from its data folder.
        QString copy = scratch.filePath(QStringLiteral("copia.mdb"));
        QCOMPARE(data::backupTo(*data::Database::open(t.databasePath()), copy), QString());
        const QString program = t.folder.filePath(QStringLiteral("ludomat"));
        QVERIFY(QFile::copy(QStringLiteral(LUDOMAT_EXE), program));
        const auto fill = [&](QString text) {
            return text.replace(QStringLiteral("COPY"), copy)
                .replace(QStringLiteral("DIR"), t.folder.path())
                .replace(QStringLiteral("OUT"), scratch.path());
        };
        for (QString &argument : arguments)
            argument = fill(argument);
        if (variable == QLatin1String("unset"))
            qunsetenv("LUDOMAT_DATA_DIR");
        else
            qputenv("LUDOMAT_DATA_DIR", fill(variable).toLocal8Bit());
        const testing::Run run = testing::runLudomat(arguments, program);
        qunsetenv("LUDOMAT_DATA_DIR");
        QVERIFY2(out.isEmpty() ? run.out.isEmpty() : run.out.contains(fill(out)), qPrintable(run.out));
        QVERIFY2(err.isEmpty() ? run.err.isEmpty() : run.err.contains(fill(err)), qPrintable(run.err));
        QCOMPARE(run.status, status);
        if (status == 2) // the usage follows what is wrong
            QVERIFY2(run.err.contains(QLatin1String("\nUso: ludomat [--data-dir CARPETA]\n")), qPrintable(run.err));
        if (status != 0) // nothing was written
            QCOMPARE(QDir(scratch.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{"copia.mdb"});
    }

    void verifyJournalCommand_data() {
        QTest::addColumn<QString>("damage"); // a statement run on the file, or what befalls the file
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("printed"); // %1: the last hash
        const QString ok = "journal ok: 4 entries, last hash %1\nseal: none, no owner's key yet\n"
                           "books agree with the journal: 0 rentals\n";
        QTest::newRow("intact") << "" << 0 << ok;
        QTest::newRow("changed") << "UPDATE Registro SET Detalle = '$ 1' WHERE Secuencia = 3" << 1
                                 << "journal broken at entry 3: changed\n";
        QTest::newRow("removed") << "DELETE FROM Registro WHERE Secuencia = 2" << 1
                                 << "journal broken at entry 2: missing (removed)\n";
        QTest::newRow("inserted") << "forge" << 1 << "journal broken at entry 0: out of sequence (inserted)\n";
        QTest::newRow("damaged file") << "garble" << 2 << "";
        QTest::newRow("missing file") << "remove" << 2 << "";
    }

    void verifyJournalCommand() {
        QFETCH(QString, damage);
        QFETCH(int, status);
        QFETCH(QString, printed);
        testing::TestPlatform t;
        const QString hash = journalOfThree(t.databasePath());
        if (damage == QLatin1String("forge")) {
            journal::Entry e{0, "2026-12-05T12:00:00.000Z", "Admin", journal::event::kCashClose, 0, {}, {}};
            data::Database::open(t.databasePath())
                ->execute(statements::registroInsert(e.secuencia, e.instante, e.usuario, e.evento, 0, e.detalle,
                                                     journal::entryHash(journal::kGenesis, e)));
        } else if (damage == QLatin1String("garble")) {
            QFile file(t.databasePath());
            QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(16));
            file.write(QByteArray(4096, '\x5a'));
        } else if (damage == QLatin1String("remove")) {
            QVERIFY(QFile::remove(t.databasePath()));
        } else if (!damage.isEmpty()) {
            data::Database::open(t.databasePath())->execute(damage);
        }
        const testing::Run run = testing::runLudomat({"--verify-journal", "--data-dir", t.folder.path()});
        QCOMPARE(run.out, printed.replace(QStringLiteral("%1"), hash));
        QCOMPARE(run.status, status);
        QCOMPARE(run.err.isEmpty(), status != 2); // every failure to check says why
    }

    // Books edited outside the program, each way against `ludomat --verify-journal`: the
    // difference named by table and row, exit 1. The books: Ana's three rentals and a station
    // still open, recorded through the main window. (The same books untouched agree:
    // sealedHistoryRewritten's "sealed, untouched".)
    void booksEditedOutside_data() {
        QTest::addColumn<QString>("edit"); // run by sqlite3 on the closed books; "start": the program starts
        QTest::addColumn<QString>("said"); // a line of the output starts so
        QTest::newRow("an Importe changed") << "UPDATE Alquiler SET Importe = 0.5 WHERE rowid = 1"
                                            << "books differ from the journal at Alquiler row 1: Importe 0.5, the "
                                               "journal says 10 (entry ";
        QTest::newRow("the last rental deleted")
            << "DELETE FROM Alquiler WHERE rowid = 3"
            << "books differ from the journal at Alquiler entry 12: the rental it records is not in the books";
        QTest::newRow("a rental made up") << "INSERT INTO Alquiler VALUES (5, 'Contador', 'Ana', '2026-12-05', "
                                             "'15:00:00', '00:40:00', 20)"
                                          << "books differ from the journal at Alquiler row 4: no journal entry "
                                             "records this rental (Puesto=5; Modo=Contador; Usuario=Ana;";
        QTest::newRow("an operator's hash copied to Admin")
            << "UPDATE Usuarios SET Contraseña = (SELECT Contraseña FROM Usuarios WHERE Usuario = 'Ana') WHERE "
               "Usuario = 'Admin'"
            << "books differ from the journal at Usuarios Admin: the stored password is not the one the journal "
               "recorded last (entry 1)";
        QTest::newRow("the rate edited") << "UPDATE Tarifa SET Pesos = 5"
                                         << "books differ from the journal at Tarifa row 1: 30 minutes for 5, the "
                                            "journal says 30 minutes for 10 (entry 1)";
        QTest::newRow("an operator made administrator")
            << "UPDATE Usuarios SET codigo = 0 WHERE Usuario = 'Ana'"
            << "books differ from the journal at Usuarios Ana: codigo 0 makes it the administrator";
        QTest::newRow("an operator's own password made the administrator's again")
            << "INSERT INTO ClavesProvisorias VALUES ('Ana')"
            << "books differ from the journal at ClavesProvisorias Ana: listed, the journal says its owner chose the "
               "password (entry 3)";
        QTest::newRow("an account removed") << "DELETE FROM Usuarios WHERE Usuario = 'Ana'"
                                            << "books differ from the journal at Usuarios Ana: the account is missing";
        QTest::newRow("the open station removed")
            << "DELETE FROM PuestosAbiertos"
            << "books differ from the journal at PuestosAbiertos Puesto 4 (Apertura=2026-12-05T18:05:09Z): opened "
               "at entry 14 and never ended, but the row is gone";
        QTest::newRow("a station opened by hand")
            << "INSERT INTO PuestosAbiertos (Puesto, Modo, Usuario, Apertura, Minutos, Pesos) VALUES (5, 'Contador', "
               "'Ana', '2026-12-05T18:00:00Z', 30, 10)"
            << "books differ from the journal at PuestosAbiertos Puesto 5 (Apertura=2026-12-05T18:00:00Z): no "
               "journal entry opens it";
        const QString open4 =
            "books differ from the journal at PuestosAbiertos Puesto 4 (Apertura=2026-12-05T18:05:09Z): ";
        const QString copy = "INSERT INTO PuestosAbiertos SELECT * FROM PuestosAbiertos";
        QTest::newRow("the open station's rate lowered")
            << "UPDATE PuestosAbiertos SET Pesos = 0.5" << open4 + "Pesos 0.5, the journal says 10 (entry 14)";
        QTest::newRow("the open station copied") << copy << open4 + "2 rows, the journal opened it once (entry 14)";
        // At a start the second row of a station is set aside, with its entry: the books agree again.
        QTest::newRow("the copy set aside") << copy + "; start"
                                            << "books agree with the journal: 3 rentals";
        // ... but the row set aside may be the one the journal opened: the one kept must charge as it did.
        QTest::newRow("a cheaper copy kept, the opened one set aside")
            << copy + "; UPDATE PuestosAbiertos SET Minutos = 60, Condiciones = replace(Condiciones, '\"m\":30', "
                      "'\"m\":60') WHERE rowid = 1; start"
            << open4 + "Minutos 60, the journal says 30 (entry 14)";
        QTest::newRow("a row that cannot come back set aside") << "UPDATE PuestosAbiertos SET Minutos = 0; start"
                                                               << "books agree with the journal: 3 rentals";
        QTest::newRow("the row set aside removed")
            << copy + "; start; DELETE FROM PuestosApartados"
            << "books differ from the journal at PuestosApartados entry 15: the row it sets aside is not in the table";
        QTest::newRow("a row set aside by hand")
            << "INSERT INTO PuestosApartados (Puesto, Modo, Usuario, Apertura, Motivo, Apartado) SELECT Puesto, Modo, "
               "Usuario, Apertura, 'x', 'y' FROM PuestosAbiertos; DELETE FROM PuestosAbiertos"
            << "books differ from the journal at PuestosApartados row 1: no journal entry sets this row aside";
        // A row whose opening only reads like the open one's, set aside, vouches for no other row.
        QTest::newRow("a look-alike set aside, then the open row removed")
            << "INSERT INTO PuestosAbiertos (Puesto, Modo, Usuario, Apertura, Minutos, Pesos) VALUES (4, 'Contador', "
               "'Ana', 'x; Apertura=2026-12-05T18:05:09Z', 30, 10); start; DELETE FROM PuestosAbiertos"
            << open4 + "opened at entry 14 and never ended, but the row is gone";
    }

    void booksEditedOutside() {
        QFETCH(QString, edit);
        QFETCH(QString, said);
        testing::Shop shop;
        recordAShift(shop);
        const QStringList steps = edit.split(QStringLiteral("; start"));
        for (qsizetype i = 0; i < steps.size(); ++i) {
            if (i > 0) {
                // The program starts on the books and goes, its stations restored.
                shop.desk = std::make_unique<app::Desk>(shop.t.platform);
                QVERIFY(shop.desk->start());
                shop.close();
            }
            if (!steps[i].isEmpty()) {
                QProcess sqlite;
                sqlite.start(QStringLiteral("sqlite3"), {shop.t.databasePath(), steps[i]});
                QVERIFY(sqlite.waitForFinished() && sqlite.exitCode() == 0);
            }
        }
        verifiesAs(shop.t.folder.path(), said, said.startsWith(QStringLiteral("books agree")) ? 0 : 1);
    }

    // Sealed history cannot be rewritten: a script that changes an Importe in the books and in
    // its journal entry, and recomputes every later hash, passes the chain (as it passes without
    // a seal), but not the owner's key and seal made after it. A key the earlier one did not
    // certify fails too, and so does a key table that is not the journal's.
    void sealedHistoryRewritten_data() {
        QTest::addColumn<QString>("after"); // what follows the shift: nothing, a seal, a second key on its own
        QTest::addColumn<bool>("rewrite");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // a line of the output starts so
        QTest::newRow("not sealed") << "" << true << 0 << "books agree with the journal: 3 rentals";
        QTest::newRow("sealed, untouched") << "seal" << false << 0 << "seal: owner's key ";
        QTest::newRow("sealed") << "seal" << true << 1
                                << "journal broken at entry 15: seal does not verify (sealed history was rewritten)";
        QTest::newRow("a key on its own") << "uncertified" << false << 1
                                          << "journal broken at entry 17: key not certified by the owner's earlier key";
        QTest::newRow("the key table edited") << "UPDATE Sello SET Sal = '00000000000000000000000000000000'" << false
                                              << 1 << "books differ from the journal at Sello row 1: key ";
    }

    void sealedHistoryRewritten() {
        QFETCH(QString, after);
        QFETCH(bool, rewrite);
        QFETCH(int, status);
        QFETCH(QString, said);
        testing::Shop shop;
        recordAShift(shop);
        auto db = data::Database::open(shop.t.databasePath());
        if (!after.isEmpty()) {
            const seal::Key owner = *seal::Key::derive(QStringLiteral("del dueño"), seal::Derivation::fresh());
            data::runInTransaction(*db, [&] {
                QVERIFY(seal::adopt(*db, owner, shop.t.clock.now, QStringLiteral("Admin")));
                seal::sealLast(*db, owner, shop.t.clock.now, QStringLiteral("Admin"));
                if (after == u"uncertified") {
                    const seal::Key other = *seal::Key::derive(QStringLiteral("otra"), seal::Derivation::fresh());
                    seal::replace(*db, nullptr, other, shop.t.clock.now, QStringLiteral("Admin"));
                } else if (after.startsWith(u"UPDATE")) {
                    db->execute(after);
                }
            });
        }
        QString detalle;
        db->forEachRow(QStringLiteral("SELECT Detalle FROM Registro WHERE Secuencia = 6"),
                       [&](const QVector<QVariant> &v) {
                           detalle = v.value(0).toString();
                           return false;
                       });
        db.reset();
        QVERIFY2(detalle.endsWith(QStringLiteral("; Importe=10")), qPrintable(detalle));
        if (rewrite) {
            detalle.replace(QStringLiteral("Importe=10"), QStringLiteral("Importe=1"));
            QProcess script;
            script.start(QString::fromLocal8Bit(qgetenv("LUDOMAT_SOURCE_DIR")) + "/tests/stations/rewrite_journal.sh",
                         {shop.t.databasePath(), "6", detalle, "UPDATE Alquiler SET Importe = 1 WHERE rowid = 1"});
            QVERIFY(script.waitForFinished(60000));
            QVERIFY2(script.exitCode() == 0, script.readAllStandardError().constData());
        }
        verifiesAs(shop.t.folder.path(), said, status);
    }

    // The report from the command line: the period's limits to the second, the operator's share,
    // the files written, nothing put in Caja. (The window's totals for the same rentals:
    // tst_cash_close_run; the spreadsheet's totals as numbers: tst_report_export.)
    void reportCommand() {
        testing::TestPlatform t;
        fixtures::record(t.databasePath(), {{1, "Admin", QDate(2026, 12, 4), QTime(7, 59, 59), "1000"},
                                            {2, "Admin", QDate(2026, 12, 4), QTime(8, 0), "2.3"},
                                            {3, "Ana", QDate(2026, 12, 4), QTime(23, 0), "0.1"},
                                            {4, "Admin", QDate(2026, 12, 5), QTime(16, 0), "7.5"},
                                            {5, "Admin", QDate(2026, 12, 5), QTime(16, 0, 1), "1000"}});
        const QString dir = t.folder.path();
        const testing::Run run = testing::runLudomat(
            {"--report", "--from", "2026-12-04 08:00", "--to", "2026-12-05 16:00", "--operator", "Admin", "--data-dir",
             dir, "--csv", dir + "/r.csv", "--pdf", dir + "/r.pdf", "--xlsx", dir + "/r.xlsx"});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err, QString());
        QVERIFY2(run.out.contains("Alquileres: 3\nTotal Facturado: 9.90\nTotal Facturado Admin: 9.80\n"),
                 qPrintable(run.out));
        QVERIFY(run.out.contains("Operador Ana: 0.10 (1)\n") && run.out.contains("\nPuesto 4: 7.50 (1)\n"));
        for (const char *file : {"r.csv", "r.pdf", "r.xlsx"}) // the writers' own tests look inside
            QVERIFY(QFileInfo(t.folder.filePath(QLatin1String(file))).size() > 0);
        QCOMPARE(testing::tableRows(t.databasePath(), "Caja"), QStringList());
    }

    // The chain's format is what old files and printed reports hold: worked out by hand, not by the code.
    void entryHashFormat() {
        const journal::Entry e{1, "2026-12-05T17:05:09.000Z", "Ana", journal::event::kPasswordChanged, 3, "$ 10", {}};
        QCOMPARE(journal::entryHash(journal::kGenesis, e),
                 QStringLiteral("778125e73a13824dbab2950e7dcf84185acb88a3d80390df01933415985541d4"));
    }

    // The shop goes on; the operator is told once, when the check is done: a broken chain, or
    // books that differ from the journal, named in Spanish.
    void startUpTells_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("said");
        QTest::newRow("an entry removed")
            << "DELETE FROM Registro WHERE Secuencia = 2"
            << "El registro de eventos no verifica: falta la entrada 2 (fue borrada). El programa sigue funcionando y "
               "sigue anotando; el corte queda a la vista de --verify-journal.";
        QTest::newRow("the rate edited")
            << "UPDATE Tarifa SET Pesos = 5"
            << "Los libros no coinciden con el registro de eventos:\n- en Tarifa, fila 1: 30 minutos por 5, el "
               "registro "
               "dice 30 minutos por 10 (entrada 1)\n\nLas tablas se cambiaron sin pasar por el programa. El programa "
               "sigue funcionando; todas las diferencias se ven con --verify-journal.";
    }

    void startUpTells() {
        QFETCH(QString, damage);
        QFETCH(QString, said);
        testing::TestPlatform t;
        journalOfThree(t.databasePath());
        data::Database::open(t.databasePath())->execute(damage);
        app::Desk desk(t.platform);
        QVERIFY(desk.start());
        QTRY_COMPARE(t.messages.messages, QStringList{said});
        QVERIFY(testing::control<QTimer>(&desk.mainWindow(), "Timer1")->isActive());
    }

    // Books of an earlier version, with rentals the journal never saw and a station open, are
    // taken as they stand when this version first opens them; after that an edit of those
    // rentals or of that station still shows, and a rental added without its entry is named.
    void booksFromBeforeTheJournal_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("said"); // a line of the output starts so
        QTest::newRow("as they were") << ""
                                      << "books agree with the journal: 3 rentals";
        QTest::newRow("an old Importe changed") << "UPDATE Alquiler SET Importe = 1 WHERE rowid = 2"
                                                << "books differ from the journal at Alquiler rows dated up to ";
        QTest::newRow("a rental added") << "INSERT INTO Alquiler VALUES (5, 'Contador', 'Ana', '2099-01-01', "
                                           "'10:00:00', '00:40:00', 20)"
                                        << "books differ from the journal at Alquiler row 4: no journal entry records";
        const QString open2 =
            "books differ from the journal at PuestosAbiertos Puesto 2 (Apertura=2020-03-02T10:00:00Z): ";
        QTest::newRow("an old open station's rate changed")
            << "UPDATE PuestosAbiertos SET Pesos = 1" << open2 + "Pesos 1, the journal says 10 (entry 1)";
        QTest::newRow("an old open station removed")
            << "DELETE FROM PuestosAbiertos" << open2 + "opened at entry 1 and never ended, but the row is gone";
    }

    void booksFromBeforeTheJournal() {
        QFETCH(QString, edit);
        QFETCH(QString, said);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("dbLudomat.mdb"));
        QProcess sqlite; // the tables of an early version, three rentals, a station open
        sqlite.start(QStringLiteral("sqlite3"),
                     {path, "CREATE TABLE Alquiler (Puesto, Modo, Usuario, Fecha, Hora, Tiempo, Importe); CREATE TABLE "
                            "Caja (Puesto, Modo, Usuario, Fecha, Hora, Tiempo, Importe); CREATE TABLE Tarifa (Minutos, "
                            "Pesos); CREATE TABLE Usuarios (codigo, Usuario, Contraseña); INSERT INTO Tarifa VALUES "
                            "(30, 10); INSERT INTO Usuarios VALUES (0, 'Admin', 'x'); INSERT INTO Alquiler VALUES "
                            "(1, 'Contador', 'Admin', '2020-03-01', '10:00:00', '00:40:00', 20), (2, 'Prepago', "
                            "'Admin', '2020-03-01', '11:00:00', '01:00:00', 20), (3, 'Contador', 'Admin', "
                            "'2020-03-02', '09:00:00', '00:10:00', 10); CREATE TABLE PuestosAbiertos (Puesto INTEGER "
                            "NOT NULL, Modo TEXT NOT NULL, Usuario TEXT NOT NULL, Apertura TEXT NOT NULL, Minutos "
                            "INTEGER NOT NULL, Pesos REAL NOT NULL, Bloques INTEGER, Fin TEXT); INSERT INTO "
                            "PuestosAbiertos VALUES (2, 'Contador', 'Admin', '2020-03-02T10:00:00Z', 30, 10, NULL, "
                            "NULL)"});
        QVERIFY(sqlite.waitForFinished() && sqlite.exitCode() == 0);
        QVERIFY(data::Database::open(path)); // this version meets them
        if (!edit.isEmpty()) {
            sqlite.start(QStringLiteral("sqlite3"), {path, edit});
            QVERIFY(sqlite.waitForFinished() && sqlite.exitCode() == 0);
        }
        verifiesAs(folder.path(), said, edit.isEmpty() ? 0 : 1);
    }
};

QTEST_MAIN(JournalCheckTest)
#include "tst_journal_check.moc"
