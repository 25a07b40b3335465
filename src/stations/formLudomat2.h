#pragma once

#include "data/Database.h"
#include "data/Seal.h"
#include "stations/StationTypes.h"
#include "ui/Form.h"

#include <QPointer>
#include <array>
#include <functional>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTimer;
class formUsuario;
class formCaja;
class frmTarifa;
namespace accounts {
class SignInThrottle;
}

// The main window: five stations, the one-second tick, and the way to the other windows.
// Controls keep the names the station logic has always used; they are public so the other
// windows (and the tests) reach them as they would on the form.
class formLudomat2 final : public ui::Form {
    Q_OBJECT
public:
    explicit formLudomat2(ui::Platform &platform);
    ~formLudomat2() override;

    // Start-up. False when the program cannot run (the reason has been shown).
    bool Form_Load();

    void cmdUsuario_Click();
    void cmdCierreCaja_Click();
    void cmdTarifa_Click();
    void cmdSalir_Click();
    // Notes the program's end in the journal through this window's handle, once, in one
    // transaction with the open stations' time, and copies the -wal back into the file; false when
    // there is no open handle or the file refused it (the caller may try another way).
    bool noteProgramEnd();

    // Station logic.
    void cmdPuesto_Click(int index);
    void Timer1_Timer();
    // Keeps each open station's time in its row (the boot clock, the seconds passed and the wall
    // instant seen), all in one transaction, once a minute; a failure is tried again the next.
    void refreshOpenRows();
    void optModo_Click(int index);
    bool optModo_KeyDown(int index, int key, Qt::KeyboardModifiers shift);
    void vsTiempo_Change(int index);
    bool vsTiempo_KeyDown(int index, int key, Qt::KeyboardModifiers shift);

    // Controls.
    QLabel *Label8 = nullptr;
    QLabel *lblUsuario = nullptr;
    std::array<QGroupBox *, stations::kStations> frames{}; // Frame5, Frame1 .. Frame4
    std::array<QRadioButton *, 2 * stations::kStations> optModo{};
    std::array<QScrollBar *, stations::kStations> vsTiempo{};
    std::array<QLabel *, stations::kStations> Label7{};
    std::array<QLineEdit *, stations::kStations> txtHora{};
    std::array<QLabel *, 2 * stations::kStations> Label6{};
    std::array<QLineEdit *, stations::kStations> txtMinuto{};
    std::array<QLineEdit *, stations::kStations> txtSegundo{};
    std::array<QLabel *, stations::kStations> dollarLabels{}; // Label1 .. Label5
    std::array<QLineEdit *, stations::kStations> txtPesos{};
    std::array<QPushButton *, stations::kStations> cmdPuesto{};
    QPushButton *cmdCierreCaja = nullptr;
    QPushButton *cmdTarifa = nullptr;
    QPushButton *cmdUsuario = nullptr;
    QPushButton *cmdSalir = nullptr;
    QTimer *Timer1 = nullptr;
    QTimer *refreshTimer = nullptr;

    // Window-wide state.
    std::unique_ptr<data::Database> database;
    data::Recordset rateRecordset;
    QString sqlText;
    // The five stations; the boxes show them.
    std::array<stations::Station, stations::kStations> station{};
    // A station whose end-of-prepaid message is open: the tick leaves it alone until then.
    std::array<bool, stations::kStations> expiring{};
    stations::Rate rate;
    // The owner's key while the administrator is signed in.
    seal::OwnerSeal ownerSeal;
    // The wrong passwords of this file's accounts, for every window that checks one, for the whole run.
    std::shared_ptr<accounts::SignInThrottle> signInThrottle;

    // The other windows, while loaded.
    QPointer<formUsuario> usuarioWindow;
    QPointer<formCaja> cajaWindow;
    QPointer<frmTarifa> tarifaWindow;

    // Who the journal names for what happens now: the signed-in operator, nobody before the
    // first sign-in.
    QString journalUser() const;

    static QString idleCaption(int index);
    static QString runningCaption(int index);

protected:
    bool queryClose() override;
    void changeEvent(QEvent *event) override;

private:
    void buildStationRow(int index);
    void buildBottomBand();
    void setTabOrder();
    void connectHandlers();
    void fail(const QString &text);

    // Station steps shared by the button and the tick.
    void showStation(int index);
    struct Rental {
        QString sql;
        QString detail; // its values, for the journal
    };
    Rental rentalRecord(int index, bool contador);
    struct JournalNote {
        QString evento;
        int puesto = 0;
        QString detalle;
    };
    // Runs the writes and their journal entries in one transaction; on failure says so and
    // returns false, and nothing of it is written.
    bool persist(int index, const QStringList &writes, const QList<JournalNote> &notes, const QString &failure);
    // Writes and journal entries nothing else depends on, together, when the file lets them;
    // false when nothing was written.
    bool journalBestEffort(const QStringList &writes, const QList<JournalNote> &notes);
    // The open stations' rows with the time seen now.
    QStringList openRowWrites() const;
    void resetStation(int index);
    void lockStation(int index);
    void unlockToContador(int index);
    void endPrepaid(int index);
    void markEnded(int index);
    void announceEnd(int index);
    void removeEndedRows();
    void restoreStations();
    void moveFocus(QWidget *target);
    // What start-up has to say waits for the first sign-in: until then the accounts window is
    // the only one that takes keys, so a password typed at once never goes into a message.
    void afterSignIn(std::function<void()> say);

    bool endNoted_ = false;
    // The stored opening of a prepaid time that ended, whose row still has to go.
    std::array<QString, stations::kStations> endedRows{};
    bool signedIn_ = false;
    QList<std::function<void()>> afterSignIn_;
};
