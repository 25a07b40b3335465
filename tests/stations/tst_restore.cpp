// Open stations outlive the process: a program with two stations open is killed with SIGKILL,
// and the next start brings them back as if it had never stopped, at the rate they opened with,
// timed by the machine's boot clock whatever the wall clock does; a row no rental can have
// written is set aside for good. What start-up has to say waits for the first sign-in.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "accounts/Session.h"
#include "data/Journal.h"
#include "data/NumberText.h"
#include "stations/StationBoard.h"
#include "stations/StationMath.h"
#include "ui/formLudomat2.h"
#include "ui/formUsuario.h"

#include <QtTest>
#include <QtWidgets>
#include <csignal>
#include <cstdio>

namespace {

// What a station shows: "h:m:s amount".
QString shown(const stations::StationBoard &board, int i) {
    const stations::Station &s = board.station(i);
    return QStringLiteral("%1:%2:%3 %4")
        .arg(s.hours)
        .arg(s.minutes)
        .arg(s.seconds)
        .arg(numtext::toText(stations::pesosOf(s.cents)));
}

// Every station as shown, with its pause and discount.
QString room(const stations::StationBoard &board) {
    QStringList all;
    for (int i = 0; i < stations::kStations; ++i) {
        const stations::Station &s = board.station(i);
        all << shown(board, i) + (s.paused() ? " paused" : "") + (s.discountCents ? " -" : "") +
                   (s.discountCents ? QString::number(s.discountCents) : QString());
    }
    return all.join(u'|');
}

// The killed program, the room alone: Ana opens station 1 (Contador) and station 3 (Prepago,
// two blocks of the delivered 30 minutes for 10) at 14:05:09, then waits.
int runWriter(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    testing::TestPlatform t(QString::fromLocal8Bit(argv[2]));
    accounts::Session session;
    stations::StationBoard board(t.clock, session);
    if (board.load(t.databasePath()).result != stations::StationBoard::Loaded::Ready)
        return 2;
    session.signIn(QStringLiteral("Ana"), false);
    if (!board.open(0, stations::StationMode::Contador, 1) || !board.open(2, stations::StationMode::Prepago, 2))
        return 3;
    // Then, when asked, one operation on each a while later; it prints what the room shows.
    if (argc > 3) {
        const QString op = QString::fromLocal8Bit(argv[3]);
        t.clock.advance(1800);
        board.tick();
        const stations::Approval approval{QStringLiteral("Admin"), QStringLiteral("prueba")};
        const stations::Target contador{0, board.station(0).openedUtc};
        const stations::Target prepago{2, board.station(2).openedUtc};
        const bool done =
            op == u"pause"      ? board.pause(0) && board.pause(2)
            : op == u"extend"   ? board.addBlocks(prepago, 3).done && board.giveCourtesy(prepago, 7, approval).done
            : op == u"discount" ? board.giveDiscount(contador, 350, approval).done
            : op == u"move"     ? board.move(contador, 4).done && board.move(prepago, 1).done
                                : board.cancel(contador, approval).done && board.cancel(prepago, approval).done;
        if (!done)
            return 4;
        std::printf("%s\n", qPrintable(room(board)));
    }
    std::printf("open\n");
    std::fflush(stdout);
    return QApplication::exec();
}

// The program started on the platform's folder, its tick delivered by hand; gone as a SIGKILL
// leaves it: nothing more written.
struct Start {
    app::Desk desk;
    bool loaded = false;
    explicit Start(testing::TestPlatform &t) : desk(t.platform) {
        loaded = desk.start();
        testing::control<QTimer>(&desk.mainWindow(), "Timer1")->stop();
    }
    void signIn(const QString &who = QStringLiteral("Ana")) { testing::signIn(desk, who); }
};

} // namespace

class RestoreTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void restoredAfterKill_data() {
        QTest::addColumn<QString>("down"); // how the clocks move while the program is down
        QTest::addColumn<QString>("station1");
        QTest::addColumn<QString>("station3");
        QTest::addColumn<QString>("said"); // how the one message begins
        QTest::addColumn<bool>("ended");   // station 3's prepaid time ran out meanwhile
        const QString both = QStringLiteral("Se recuperaron 2 puestos en curso: Puesto 1 (Contador, desde 14:05), ");
        QTest::newRow("at the second block") << "30 min"
                                             << "0:30:0 20"
                                             << "0:30:0 20"
                                             << both + "Puesto 3 (Prepago, quedan 30 min).\n\nEl programa estuvo "
                                                       "cerrado 30 min; ese tiempo se contó en los puestos en curso."
                                             << false;
        // The rate was changed to 10 minutes for 1 while the program was down.
        QTest::newRow("past the prepaid end, rate changed")
            << "3601 s"
            << "1:0:1 30"
            << "0:0:0 0" << both + "Puesto 3 (Prepago, terminado mientras el programa estaba cerrado)." << true;
        // After a reboot the wall clock tells; one earlier than the last one seen adds nothing.
        // (The wall clock set back on the same boot: clockBehindThenRight; every case of the
        // clocks: tst_station_math's elapsedAtStart.)
        QTest::newRow("rebooted, wall behind")
            << "10 min, reboot, wall -1 h"
            << "0:0:0 10"
            << "1:0:0 20"
            << both + "Puesto 3 (Prepago, quedan 1 h 0 min).\n\nEl reloj de la computadora marca una hora anterior"
            << false;
    }

    // The room alone, started again on the file the killed program left.
    void restoredAfterKill() {
        QFETCH(QString, down);
        QFETCH(QString, station1);
        QFETCH(QString, station3);
        QFETCH(QString, said);
        QFETCH(bool, ended);
        testing::TestPlatform first;
        const QString db = first.databasePath();
        QProcess writer;
        writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--writer"), first.folder.path()});
        QVERIFY(writer.waitForReadyRead(20000));
        ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
        QVERIFY(writer.waitForFinished());
        QCOMPARE(integrityCheck(db), QStringLiteral("ok"));
        if (QByteArray(QTest::currentDataTag()).contains("rate changed"))
            QCOMPARE(execRaw(db, "UPDATE Tarifa SET Minutos = 10, Pesos = 1"), SQLITE_OK);
        // The rows as opened, without the time they keep.
        const QRegularExpression keptTime(QStringLiteral("(\\|[^|]*){12}$")); // the time kept, the pause and the extras
        const QStringList opened = testing::tableRows(db, "PuestosAbiertos").replaceInStrings(keptTime, {});

        testing::TestPlatform again(first.folder.path());
        const QStringList moves = down.split(QStringLiteral(", "));
        again.clock.advance(moves[0].section(u' ', 0, 0).toLongLong() * (moves[0].endsWith(u"min") ? 60 : 1));
        if (moves.contains(QStringLiteral("reboot"))) {
            again.clock.boot = QStringLiteral("another boot");
            again.clock.monotonic = 40'000;
        }
        for (const QString &move : moves) {
            if (move.startsWith(QStringLiteral("wall ")))
                again.clock.now = again.clock.now.addSecs(move.mid(5).section(u' ', 0, 0).toLongLong() * 3600);
        }
        accounts::Session session;
        stations::StationBoard board(again.clock, session);
        QSignalSpy restored(&board, &stations::StationBoard::restored);
        QCOMPARE(board.load(db).result, stations::StationBoard::Loaded::Ready);
        board.restore();
        // One message names what came back, and how long the program was down.
        QCOMPARE(restored.size(), 1);
        QVERIFY2(restored[0][0].toString().startsWith(said), qPrintable(restored[0][0].toString()));
        QCOMPARE(restored[0][1].value<QList<int>>(), ended ? QList<int>{2} : QList<int>{});
        QCOMPARE(board.isExpiring(2), ended);
        board.acknowledgeEnd(2);
        QCOMPARE(shown(board, 0), station1);
        QCOMPARE(shown(board, 2), station3);
        QCOMPARE(testing::tableRows(db, "Alquiler").size(), 1); // the prepaid opening: a restore records nothing
        // Written before anyone signed in: by nobody.
        const QStringList journaled = testing::journal(db, QStringLiteral("Usuario, Evento"));
        QCOMPARE(journaled.filter(QRegularExpression("^\\|Puesto recuperado$")).size(), 2);
        QCOMPARE(journaled.filter(QRegularExpression("^\\|Prepago terminado$")).size(), ended ? 1 : 0);
        // The stored openings are never rewritten.
        const QStringList still = testing::tableRows(db, "PuestosAbiertos").replaceInStrings(keptTime, {});
        QCOMPARE(still, ended ? opened.mid(0, 1) : opened);

        // Closing the restored Contador rental records it and forgets it in one go.
        session.signIn(QStringLiteral("Ana"), false);
        QVERIFY(board.close(0));
        const QStringList rentals = testing::tableRows(db, "Alquiler");
        QCOMPARE(rentals.size(), 2);
        QVERIFY2(rentals.filter("1|Contador|Ana|").size() == 1 &&
                     rentals.filter("1|Contador|Ana|").first().endsWith(u'|' + station1.section(u' ', 1)),
                 qPrintable(rentals.join(u'\n')));
        QCOMPARE(testing::tableRows(db, "PuestosAbiertos").filter(QRegularExpression("^1\\|")).size(), 0);
    }

    // Whatever the last operation was, the room comes back after a SIGKILL exactly as it stood,
    // and the books agree with the journal.
    void operationsOutliveAKill_data() {
        QTest::addColumn<QString>("op");
        for (const char *op : {"pause", "extend", "discount", "move", "cancel"})
            QTest::newRow(op) << op;
    }

    void operationsOutliveAKill() {
        QFETCH(QString, op);
        testing::TestPlatform first;
        QProcess writer;
        writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--writer"), first.folder.path(), op});
        QString said;
        while (!said.endsWith(u"open\n") && writer.waitForReadyRead(20000))
            said += QString::fromLocal8Bit(writer.readAll());
        QVERIFY2(said.endsWith(u"open\n"), qPrintable(said));
        ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
        QVERIFY(writer.waitForFinished());
        testing::TestPlatform again(first.folder.path());
        again.clock.advance(1800);
        accounts::Session session;
        stations::StationBoard board(again.clock, session);
        QCOMPARE(board.load(first.databasePath()).result, stations::StationBoard::Loaded::Ready);
        board.restore();
        QCOMPARE(room(board) + u'\n', said.section(u'\n', 0, 0) + u'\n');
        const journal::Verification books = journal::verifyFile(first.databasePath());
        QVERIFY(books.ok && books.booksChecked && books.booksAgree());
    }

    // A Contador rental at $1 a minute is opened, the program killed, started again with the
    // wall clock 2 h behind, killed after a minute, started again with the clock right after a
    // reboot and the rental closed: 1 min 24 s of use cost 2 blocks, not 2 hours. (The same boot,
    // on the real program under faketime: the end-to-end restart.)
    void clockBehindThenRight() {
        testing::TestPlatform t;
        const QString db = t.databasePath();
        QCOMPARE(execRaw(db, "UPDATE Tarifa SET Minutos = 1, Pesos = 1"), SQLITE_OK);
        t.clock.now = QDateTime(QDate(2026, 12, 5), QTime(12, 36, 52));
        QString apertura;
        {
            Start s(t);
            s.signIn();
            testing::press(s.desk, 0);
            apertura = s.desk.board().station(0).openedUtc;
            t.clock.advance(2);
        }
        t.clock.now = t.clock.now.addSecs(-2 * 3600);
        {
            Start s(t);
            s.signIn();
            // Her shift was left open too: she goes on with it (the question's default).
            QVERIFY(t.messages.messages.value(0).startsWith(QStringLiteral("Su turno 1, abierto el 05/12/2026 12:36")));
            t.messages.messages.removeFirst();
            QVERIFY2(t.messages.messages.value(0).contains(QStringLiteral("Puesto 1 (Contador")),
                     qPrintable(t.messages.messages.join(u'\n')));
            QVERIFY(!t.messages.messages.value(0).contains(QStringLiteral("de nuevo")));
            for (int n = 0; n < 60; ++n) {
                t.clock.advance(1);
                s.desk.board().tick();
            }
            s.desk.board().refreshOpenRows(); // the minute's refresh: the last wall instant seen is 2 h behind
            QCOMPARE(shown(s.desk.board(), 0), QStringLiteral("0:1:2 2"));
        }
        QCOMPARE(readOnlyRows(db, "SELECT Apertura FROM PuestosAbiertos"), QStringList{apertura});
        t.clock.now = t.clock.now.addSecs(2 * 3600);
        t.clock.advance(22);
        t.clock.boot = QStringLiteral("after a power cut");
        t.clock.monotonic = 30'000;
        t.messages.messages.clear();
        Start s(t);
        s.signIn();
        QVERIFY(t.messages.messages.value(0).contains(QStringLiteral("sigue abierto"))); // her shift goes on
        t.messages.messages.removeFirst();
        QVERIFY2(t.messages.messages.value(0).contains(QStringLiteral("El programa estuvo cerrado")),
                 qPrintable(t.messages.messages.join(u'\n')));
        testing::press(s.desk, 0);
        QCOMPARE(readOnlyRows(db, "SELECT Tiempo, Importe FROM Alquiler"), QStringList{"00:01:00|2.0"});
    }

    // A row no rental of the program can have left is named, moved aside with its values as they
    // were, journaled, and never comes back; the good row beside it restores and closes. (What
    // each value may be: tst_station_math.)
    void rowsThatCannotComeBack_data() {
        QTest::addColumn<QString>("values"); // a second row of PuestosAbiertos, as SQL values
        QTest::addColumn<QString>("why");
        const QString opening = QStringLiteral("'2026-12-05T14:00:00Z'");
        const auto contador = [&](const QString &puesto, const QString &minutos, const QString &pesos) {
            return QStringLiteral("%1, 'Contador', 'Ana', %2, %3, %4, NULL, NULL, NULL, NULL, NULL, NULL")
                .arg(puesto, opening, minutos, pesos);
        };
        QTest::newRow("second row for a station") << contador("2", "30", "10") << "ya tiene otro alquiler";
        QTest::newRow("open for years")
            << "1, 'Contador', 'Ana', '2019-01-01T00:00:00Z', 30, 10, NULL, NULL, NULL, NULL, NULL, NULL"
            << "más de un año";
    }

    void rowsThatCannotComeBack() {
        QFETCH(QString, values);
        QFETCH(QString, why);
        testing::TestPlatform t;
        t.clock.now = QDateTime(QDate(2026, 12, 5), QTime(14, 5), Qt::UTC).toLocalTime();
        const QString db = t.databasePath();
        const QByteArray rows =
            "INSERT INTO PuestosAbiertos (Puesto, Modo, Usuario, Apertura, Minutos, Pesos, Bloques, Fin, Arranque, "
            "ArranqueMs, Transcurrido, Visto) VALUES (2, 'Contador', 'Ana', '2026-12-05T14:00:00Z', 30, "
            "10, NULL, NULL, NULL, NULL, NULL, NULL);"
            "INSERT INTO PuestosAbiertos (Puesto, Modo, Usuario, Apertura, Minutos, Pesos, Bloques, Fin, Arranque, "
            "ArranqueMs, Transcurrido, Visto) VALUES (" +
            values.toUtf8() + ")";
        QCOMPARE(execRaw(db, rows.constData()), SQLITE_OK);
        const QStringList before = readOnlyRows(
            db, "SELECT Puesto, Modo, Usuario, Apertura, Minutos, Pesos, Bloques, Fin, Arranque, ArranqueMs, "
                "Transcurrido, Visto FROM PuestosAbiertos WHERE rowid = 2");
        {
            Start s(t);
            QCOMPARE(t.messages.messages, QStringList()); // said once someone has signed in
            s.signIn();
            const QString said = t.messages.messages.join(u'\n');
            QVERIFY2(said.contains(QStringLiteral("Se recuperó 1 puesto en curso: Puesto 2 (Contador")) &&
                         said.contains(QStringLiteral("(Puesto=") + values.section(u',', 0, 0)) && said.contains(why) &&
                         said.contains(QStringLiteral("PuestosApartados")),
                     qPrintable(said));
            // As it was, with why and when.
            QCOMPARE(readOnlyRows(db, "SELECT Puesto, Modo, Usuario, Apertura, Minutos, Pesos, Bloques, Fin, Arranque, "
                                      "ArranqueMs, Transcurrido, Visto FROM PuestosApartados"),
                     before);
            const QStringList aside = readOnlyRows(db, "SELECT Motivo, Apartado FROM PuestosApartados");
            QVERIFY2(aside.size() == 1 && aside[0].contains(why) && aside[0].endsWith(u"|2026-12-05T14:05:00Z"),
                     qPrintable(aside.join(u'\n')));
            QCOMPARE(readOnlyRows(db, "SELECT count(*) FROM PuestosAbiertos"), QStringList{"1"});
            const QStringList journaled = testing::journal(db, QStringLiteral("Usuario, Evento, Puesto, Detalle"))
                                              .filter(QStringLiteral("|Puesto apartado|"));
            QVERIFY2(journaled.size() == 1 && journaled[0].startsWith(u"|Puesto apartado|") &&
                         journaled[0].contains(QStringLiteral("Apertura=") +
                                               values.section(QStringLiteral(", "), 3, 3).remove(u'\'')) &&
                         journaled[0].contains(QStringLiteral("; Motivo=")) && journaled[0].contains(why),
                     qPrintable(journaled.join(u'\n')));
        }
        t.messages.messages.clear();
        t.clock.advance(60);
        Start s(t);
        s.signIn();
        QVERIFY(t.messages.messages.value(0).contains(QStringLiteral("sigue abierto"))); // her shift goes on
        t.messages.messages.removeFirst();
        QCOMPARE(t.messages.messages.size(), 1);
        QVERIFY2(!t.messages.messages[0].contains(QStringLiteral("Puesto=")), qPrintable(t.messages.messages[0]));
        QCOMPARE(readOnlyRows(db, "SELECT count(*) FROM PuestosApartados"), QStringList{"1"});
        testing::press(s.desk, 1);
        QCOMPARE(t.messages.messages.size(), 1); // closed: nothing refused
        QCOMPARE(readOnlyRows(db, "SELECT Puesto, Importe FROM Alquiler"), QStringList{"2|10.0"});
    }
};

int main(int argc, char **argv) {
    if (argc >= 3 && QByteArray(argv[1]) == "--writer")
        return runWriter(argc, argv);
    QApplication app(argc, argv);
    RestoreTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_restore.moc"
