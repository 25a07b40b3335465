// "Restaurar copia…" of the cash close: refused while a station runs and without the
// administrator's password, and once done the copy's rate in force and a new sign-in; the list of
// copies with what each holds.
#include "CashCloseFixtures.h"
#include "SqliteFile.h"
#include "TestSupport.h"
#include "accounts/Session.h"
#include "data/Backup.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "stations/StationBoard.h"
#include "ui/RestoreCopyDialog.h"
#include "ui/formCaja.h"
#include "ui/formLudomat2.h"
#include "ui/formUsuario.h"

#include <QtTest>
#include <QtWidgets>

namespace {

const QDateTime kCopyMade(QDate(2026, 12, 1), QTime(22, 0));

void rent(const QString &path, const QDate &day) {
    fixtures::record(path, {{1, QStringLiteral("Ana"), day, QTime(10, 0), QStringLiteral("10")}});
}

// A new rate stored and journaled as the rate window does.
void storeRate(const QString &path, int minutes, int pesos) {
    auto db = data::Database::open(path);
    data::runInTransaction(*db, [&] {
        const data::Recordset before = db->openRecordset(statements::tarifaEditorSelect());
        db->execute(statements::tarifaUpdate(QString::number(minutes), QString::number(pesos)));
        journal::append(*db, QDateTime(QDate(2026, 12, 1), QTime(12, 0)), QStringLiteral("Admin"),
                        journal::event::kRateChanged, 0,
                        QStringLiteral("Antes: %1 minutos por %2; ahora: %3 minutos por %4")
                            .arg(before.field(QStringLiteral("Minutos")).toString(),
                                 numtext::engineNumber(before.field(QStringLiteral("Pesos")).toDouble()))
                            .arg(minutes)
                            .arg(pesos));
    });
}

} // namespace

class RestoreWindowTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void restoreButton() {
        testing::Shop shop;
        const QString books = shop.t.databasePath();
        // The copy has its own rate; the books then change theirs again (in force from the next start).
        rent(books, QDate(2026, 12, 1));
        storeRate(books, 45, 15);
        QString copy;
        QCOMPARE(data::automaticBackup(*data::Database::open(books), shop.t.platform.where.backups(), kCopyMade, &copy),
                 QString());
        storeRate(books, 60, 20);
        rent(books, QDate(2026, 12, 4));
        testing::signIn(*shop.desk, QStringLiteral("Ana"));
        QTest::mouseClick(testing::control<QPushButton>(shop.main, "cmdCierreCaja"), Qt::LeftButton);
        QPointer<formCaja> caja = shop.desk->cashCloseWindow();
        auto *restaurar = testing::control<QPushButton>(caja, "cmdRestaurar");
        QVERIFY(restaurar->isVisible() && restaurar->text() == u"Res&taurar copia…");
        shop.t.files.answer = copy;

        // A station running (opened by the room: the main window takes no input meanwhile): refused
        // before anything is asked.
        QVERIFY(shop.board().open(2, stations::StationMode::Contador, 1));
        QTest::mouseClick(restaurar, Qt::LeftButton);
        QCOMPARE(shop.said().last(), QStringLiteral("No se puede restaurar una copia con puestos en curso (Puesto 3). "
                                                    "Ciérrelos y vuelva a intentarlo."));
        QVERIFY(!testing::answerAdministrator(caja, QStringLiteral("admin")));
        QVERIFY(shop.board().close(2));
        const int rentalsBefore = readOnlyRows(books, "SELECT count(*) FROM Alquiler").value(0).toInt();

        // A wrong password: said, counted by the sign-in's throttle, asked again, nothing chosen.
        QTest::mouseClick(restaurar, Qt::LeftButton);
        QVERIFY(testing::answerAdministrator(caja, QStringLiteral("nada")));
        QCOMPARE(shop.said().last(), QStringLiteral("La contraseña del administrador es incorrecta."));
        QVERIFY(shop.t.files.asked.isEmpty());
        QCOMPARE(readOnlyRows(books, "SELECT Fallos FROM Intentos WHERE Usuario = 'Admin'"), QStringList{"1"});
        QCOMPARE(readOnlyRows(books, "SELECT count(*) FROM Alquiler").value(0).toInt(), rentalsBefore);

        // The administrator's password, the copy of the copies' folder: put back in the background
        // while the window waits, then said, and the program takes the copy's state.
        QVERIFY(testing::answerAdministrator(caja, QStringLiteral("admin")));
        QCOMPARE(shop.t.files.asked.size(), 1);
        QCOMPARE(shop.t.files.asked[0].start, shop.t.platform.where.backups());
        QVERIFY(caja->isRunning() && !restaurar->isEnabled());
        QTRY_VERIFY(!caja);
        QVERIFY2(shop.said().last().startsWith(QStringLiteral("Se restauró la copia %1. Los libros que había se "
                                                              "guardaron en ")
                                                   .arg(copy)),
                 qPrintable(shop.said().last()));
        QVERIFY(shop.said().last().endsWith(QStringLiteral("vuelva a ingresar.")));
        QCOMPARE(readOnlyRows(books, "SELECT count(*) FROM Alquiler"), QStringList{"1"});
        QCOMPARE(shop.board().rate().Minutos, qint16(45));
        QCOMPARE(shop.board().rate().cents, qint64(1500));
        QVERIFY(shop.desk->accountsWindow() && shop.desk->accountsWindow()->isVisible() && !shop.main->isEnabled());
        const QStringList journal = testing::journal(books, QStringLiteral("Usuario, Evento"));
        QCOMPARE(journal.mid(journal.size() - 2), QStringList({"Admin|Copia restaurada", "Ana|Cambio de usuario"}));
        QVERIFY(testing::journal(books, QStringLiteral("Detalle"))
                    .filter(QStringLiteral("Archivo=") + copy)
                    .first()
                    .endsWith(QStringLiteral("desde el cierre de caja, con Ana ingresado")));
    }

    // The copies newest first, each with its rentals and last rental's date as they are read (on
    // its own row also when "Otro archivo…" adds a file first meanwhile); a file that is not a
    // copy listed as unreadable; "Otro archivo…" adds one and chooses it.
    void listOfCopies() {
        testing::TestPlatform t;
        const QString folder = t.platform.where.backups();
        rent(t.databasePath(), QDate(2026, 11, 30));
        rent(t.databasePath(), QDate(2026, 12, 1));
        QCOMPARE(data::automaticBackup(*data::Database::open(t.databasePath()), folder, kCopyMade), QString());
        QFile text(QDir(folder).filePath(QStringLiteral("ludomat-20261203-080000.mdb")));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("no es una base\n") > 0);
        text.close();
        cash_close::RestoreCopyDialog dialog(nullptr, folder, t.files);
        auto *list = testing::control<QTreeWidget>(&dialog, "lstCopias");
        auto *restaurar = testing::control<QPushButton>(&dialog, "cmdRestaurar");
        QVERIFY(!restaurar->isEnabled());
        QVERIFY(testing::control<QLabel>(&dialog, "lblAviso")->text().contains(u"dejará de estar en los libros"));
        t.files.answer = testing::templateDatabasePath();
        QTest::mouseClick(testing::control<QPushButton>(&dialog, "cmdOtro"), Qt::LeftButton);
        QCOMPARE(dialog.chosen(), QFileInfo(t.files.answer).absoluteFilePath());
        QVERIFY(restaurar->isEnabled());
        QTRY_VERIFY(dialog.described());
        QStringList rows;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *item = list->topLevelItem(i);
            rows << QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}.join(u'|');
        }
        QCOMPARE(rows.mid(1), QStringList({"03/12/2026 08:00:00|no se puede leer||ludomat-20261203-080000.mdb",
                                           "01/12/2026 22:00:00|2|01/12/2026|ludomat-20261201-220000.mdb"}));
        QVERIFY2(rows[0].endsWith(QStringLiteral("|0|ninguno|") + t.files.answer), qPrintable(rows[0]));
    }
};

QTEST_MAIN(RestoreWindowTest)
#include "tst_restore_window.moc"
