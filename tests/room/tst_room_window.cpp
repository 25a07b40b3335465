#include "SqliteFile.h"
#include "TestSupport.h"
#include "data/Database.h"
#include "data/Statements.h"
#include "room/Room.h"
#include "room/RoomSave.h"
#include "ui/RoomSettingsDialog.h"

#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using testing::control;

namespace {

const stations::Rate kTarifa{30, 1000};
const QString kSaved = QStringLiteral("Los cambios del salón se aplicarán la próxima vez que se inicie el programa.");

} // namespace

class TestRoomWindow final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        t_ = std::make_unique<testing::TestPlatform>();
        db_ = data::Database::open(t_->databasePath());
    }
    void cleanup() {
        delete window_;
        db_.reset();
        t_.reset();
    }

    // A station added (the lowest free number, "Puesto N"), renamed, of a new type with an
    // afternoon price: stored as typed, the window closed.
    void addRenameAndSave() {
        open({});
        auto *puestos = control<QTableWidget>(window_, "tblPuestos");
        auto *consolas = control<QTableWidget>(window_, "tblConsolas");
        puestos->setCurrentCell(1, 1);
        control<QPushButton>(window_, "cmdQuitarPuesto")->click();
        for (int i = 0; i < 2; ++i)
            control<QPushButton>(window_, "cmdAgregarPuesto")->click();
        QCOMPARE(puestos->item(1, 1)->text() + puestos->item(5, 1)->text(), QStringLiteral("Puesto 2Puesto 6"));
        puestos->item(5, 1)->setText(QStringLiteral("PS5 Sala"));

        control<QPushButton>(window_, "cmdAgregarConsola")->click();
        consolas->item(1, 0)->setText(QStringLiteral("PS5"));
        consolas->item(1, 2)->setText(QStringLiteral("25.50"));
        control<QComboBox>(puestos, "cboTipo_6")->setCurrentIndex(1);
        control<QPushButton>(window_, "cmdAgregarPeriodo")->click();
        auto *periodos = control<QTableWidget>(window_, "tblPeriodos");
        periodos->item(0, 0)->setText(QStringLiteral("Tarde"));
        periodos->item(0, 4)->setText(QStringLiteral("20"));
        // Back to the first type and again: the period typed is kept with its type.
        consolas->setCurrentCell(0, 0);
        QCOMPARE(periodos->rowCount(), 0);
        consolas->setCurrentCell(1, 0);
        QCOMPARE(periodos->item(0, 0)->text(), QStringLiteral("Tarde"));

        control<QPushButton>(window_, "cmdGuardar")->click();
        QCOMPARE(t_->messages.messages, QStringList{kSaved});
        QTRY_VERIFY(!window_);
        const room::Room stored = room::readRoom(*db_, kTarifa);
        QCOMPARE(stored.stations.size(), size_t(6));
        QCOMPARE(stored.stations[5], (room::StationEntry{6, QStringLiteral("PS5 Sala"), QStringLiteral("PS5")}));
        const pricing::Terms &ps5 = stored.types[1].terms;
        QCOMPARE(ps5.cents, qint64(2550));
        QVERIFY(ps5.periods.size() == 1 && ps5.periods[0].days == pricing::kMondayToFriday &&
                ps5.periods[0].startMinute == 14 * 60 && ps5.periods[0].cents == 2000);
    }

    // Refused input and refused saves are said, and everything typed stays; nothing is stored.
    void refusalsKeepWhatWasTyped_data() {
        QTest::addColumn<int>("what");
        QTest::addColumn<QString>("said");
        QTest::newRow("running station") << 0 << "No se puede quitar el puesto «Puesto 3»: tiene un alquiler en curso.";
        QTest::newRow("same name") << 1 << "Hay dos puestos con el nombre «Puesto 1».";
        QTest::newRow("bad minutes") << 2
                                     << "Consola «Consola 2», Minutos: no se acepta «0». Debe ser un número entero "
                                        "de 1 a 1365.";
        QTest::newRow("bad days") << 3
                                  << "Consola «Consola», período «Período 1», Días: no se acepta «L-Q». "
                                     "Escriba las letras L M X J V S D separadas por comas, o un rango como L-V.";
        QTest::newRow("file refuses") << 4 << "No se puede quitar el puesto «Puesto 2»: tiene un alquiler en curso.";
        QTest::newRow("type in use") << 5 << "No se puede quitar la consola «Consola 2»: la usa el puesto «Puesto 1».";
    }
    void refusalsKeepWhatWasTyped() {
        QFETCH(int, what);
        QFETCH(QString, said);
        // Station 2 runs in the file, unknown to the window: only the save can tell.
        db_->execute(statements::puestoAbiertoInsert(2, true, QStringLiteral("Ana"),
                                                     QStringLiteral("2026-12-05T17:00:00Z"), 30, QStringLiteral("10"),
                                                     0, {}, {}, 0));
        open({3});
        auto *puestos = control<QTableWidget>(window_, "tblPuestos");
        auto *consolas = control<QTableWidget>(window_, "tblConsolas");
        const QStringList entries = readOnlyRows(t_->databasePath(), "SELECT COUNT(*) FROM Registro");
        switch (what) {
        case 0: // refused by the window
        case 4: // let go by the window, refused by the save
            puestos->setCurrentCell(what == 0 ? 2 : 1, 1);
            control<QPushButton>(window_, "cmdQuitarPuesto")->click();
            QCOMPARE(puestos->rowCount(), what == 0 ? 5 : 4);
            break;
        case 1:
            puestos->item(3, 1)->setText(QStringLiteral("Puesto 1"));
            break;
        case 2:
            control<QPushButton>(window_, "cmdAgregarConsola")->click();
            consolas->item(1, 1)->setText(QStringLiteral("0"));
            break;
        case 3:
            control<QPushButton>(window_, "cmdAgregarPeriodo")->click();
            control<QTableWidget>(window_, "tblPeriodos")->item(0, 1)->setText(QStringLiteral("L-Q"));
            break;
        case 5:
            control<QPushButton>(window_, "cmdAgregarConsola")->click();
            control<QComboBox>(puestos, "cboTipo_1")->setCurrentIndex(1);
            consolas->setCurrentCell(1, 0);
            control<QPushButton>(window_, "cmdQuitarConsola")->click();
            QCOMPARE(consolas->rowCount(), 2);
            break;
        }
        if (what != 0 && what != 5)
            control<QPushButton>(window_, "cmdGuardar")->click();
        QCOMPARE(t_->messages.messages, QStringList{said});
        QVERIFY(window_ && !window_->isUnloading());
        QVERIFY(what != 4 || puestos->rowCount() == 4); // what was typed stays after the file refused
        QCOMPARE(
            readOnlyRows(t_->databasePath(), "SELECT COUNT(*) FROM Puestos UNION ALL SELECT COUNT(*) FROM Registro"),
            QStringList{"0"} + entries);
    }

private:
    void open(std::vector<int> running) {
        const room::Room before = room::readRoom(*db_, kTarifa);
        window_ =
            new RoomSettingsDialog(t_->platform, before, std::move(running), [this, before](const room::Room &after) {
                return room::saveRoom(*db_, before, after, QStringLiteral("Admin"), t_->clock.now);
            });
        window_->showForm();
    }

    std::unique_ptr<testing::TestPlatform> t_;
    std::unique_ptr<data::Database> db_;
    QPointer<RoomSettingsDialog> window_;
};

QTEST_MAIN(TestRoomWindow)
#include "tst_room_window.moc"
