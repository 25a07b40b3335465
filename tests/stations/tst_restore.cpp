// Open stations outlive the process: a program with two stations open is killed with SIGKILL,
// and the next start brings them back as if it had never stopped, at the rate they opened with.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "accounts/formUsuario.h"
#include "stations/formLudomat2.h"

#include <QtTest>
#include <QtWidgets>
#include <csignal>
#include <cstdio>

namespace {

// The killed program: Ana opens station 1 (Contador) and station 3 (Prepago, two blocks of the
// delivered 30 minutes for 10) at 14:05:09, then waits.
int runWriter(int argc, char **argv) {
    QApplication app(argc, argv);
    testing::TestPlatform t(QString::fromLocal8Bit(argv[2]));
    formLudomat2 w(t.platform);
    if (!w.Form_Load())
        return 2;
    w.lblUsuario->setText(QStringLiteral("Ana"));
    w.setEnabled(true);
    w.cmdPuesto_Click(0);
    w.optModo[4]->setChecked(true);
    w.vsTiempo[2]->setValue(2);
    w.cmdPuesto_Click(2);
    std::printf("open\n");
    std::fflush(stdout);
    return QApplication::exec();
}

QString shown(const formLudomat2 &w, size_t i) {
    return w.txtHora[i]->text() + u':' + w.txtMinuto[i]->text() + u':' + w.txtSegundo[i]->text() + u' ' +
           w.txtPesos[i]->text();
}

} // namespace

class RestoreTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void restoredAfterKill_data() {
        QTest::addColumn<int>("downSeconds");
        QTest::addColumn<QString>("station1");
        QTest::addColumn<QString>("station3");
        QTest::addColumn<QStringList>("said");
        QTest::newRow("at the second block")
            << 1800 << "0:30:0 20"
            << "0:30:0 20"
            << QStringList{"Se recuperaron 2 puestos en curso: Puesto 1 (Contador, desde 14:05), "
                           "Puesto 3 (Prepago, quedan 0:30)."};
        // The rate was changed to 10 minutes for 1 while the program was down.
        QTest::newRow("past the prepaid end, rate changed")
            << 3601 << "1:0:1 30"
            << "0:0:0 0"
            << QStringList{"Se recuperaron 2 puestos en curso: Puesto 1 (Contador, desde 14:05), Puesto 3 (Prepago, "
                           "terminado mientras el programa estaba cerrado).",
                           "Finalizó el tiempo del prepago en el Puesto 3."};
        QTest::newRow("clock set back") << -600 << "0:0:0 10"
                                        << "1:0:0 20" << QStringList{"empezó de nuevo en 0"};
    }

    void restoredAfterKill() {
        QFETCH(int, downSeconds);
        QFETCH(QString, station1);
        QFETCH(QString, station3);
        QFETCH(QStringList, said);
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
        // What no restore may bring back: an unknown station, an unreadable opening.
        QCOMPARE(
            execRaw(
                db,
                "INSERT INTO PuestosAbiertos VALUES (9, 'Contador', 'Ana', '2026-12-05T17:00:00Z', 30, 10, NULL, NULL);"
                "INSERT INTO PuestosAbiertos VALUES (4, 'Contador', 'Ana', 'ayer', 30, 10, NULL, NULL)"),
            SQLITE_OK);

        testing::TestPlatform again(first.folder.path());
        again.clock.advance(downSeconds);
        formLudomat2 w(again.platform);
        QVERIFY(w.Form_Load());
        w.Timer1->stop();
        const QStringList &messages = again.messages.messages;
        // One message names what came back and what was left in the table.
        QVERIFY2(messages.size() == said.size(), qPrintable(messages.join(u'\n')));
        QVERIFY2(messages[0].contains(said[0]), qPrintable(messages[0]));
        QVERIFY(messages[0].contains(QStringLiteral("Puesto=9")) &&
                messages[0].contains(QStringLiteral("Apertura=ayer")));
        QCOMPARE(messages.mid(1), said.mid(1));
        QCOMPARE(shown(w, 0), station1);
        QCOMPARE(shown(w, 2), station3);
        QCOMPARE(w.station[2].running, said.size() == 1);
        QCOMPARE(again.alarm.played.size(), said.size() - 1);
        QCOMPARE(testing::tableRows(db, "Alquiler").size(), 1); // the prepaid opening: a restore records nothing
        QCOMPARE(testing::tableRows(db, "Registro").filter("|Puesto recuperado|").size(), 2);
        QCOMPARE(testing::tableRows(db, "PuestosAbiertos").size(), 2 + (said.size() == 1 ? 2 : 1));

        // Closing the restored Contador rental records it and forgets it in one go.
        w.lblUsuario->setText(QStringLiteral("Ana"));
        w.cmdPuesto_Click(0);
        const QStringList rentals = testing::tableRows(db, "Alquiler");
        QCOMPARE(rentals.size(), 2);
        QVERIFY2(rentals.filter("1|Contador|Ana|").size() == 1 &&
                     rentals.filter("1|Contador|Ana|").first().endsWith(u'|' + station1.section(u' ', 1)),
                 qPrintable(rentals.join(u'\n')));
        QCOMPARE(testing::tableRows(db, "PuestosAbiertos").filter(QRegularExpression("^1\\|")).size(), 0);
        delete w.usuarioWindow.data();
    }
};

int main(int argc, char **argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--writer")
        return runWriter(argc, argv);
    QApplication app(argc, argv);
    RestoreTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_restore.moc"
