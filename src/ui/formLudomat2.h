#pragma once

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
class AccountService;
class Session;
} // namespace accounts
namespace stations {
class StationBoard;
}

// The main window: the room's view, and the way to the other windows. It shows the station
// board, calls its commands from the handlers and shows what it signals; the label shows who
// the session says is signed in. Controls keep the names the station logic has always used;
// they are public so the other windows (and the tests) reach them as they would on the form.
class formLudomat2 final : public ui::Form {
    Q_OBJECT
public:
    explicit formLudomat2(sys::Platform &platform);
    ~formLudomat2() override;

    // Start-up. False when the program cannot run (the reason has been shown).
    bool Form_Load();

    void cmdUsuario_Click();
    void cmdCierreCaja_Click();
    void cmdTarifa_Click();
    void cmdSalir_Click();
    // The program's end in the journal through the board's handle (StationBoard::noteProgramEnd);
    // false when there is no open handle or the file refused it (the caller may try another way).
    bool noteProgramEnd();

    // Station logic.
    void cmdPuesto_Click(int index);
    void Timer1_Timer();
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
    // Keeps the open stations' time in the file once a minute.
    QTimer *refreshTimer = nullptr;

    // Who is signed in, and the room; both live as long as the window.
    accounts::Session &session() const { return *session_; }
    stations::StationBoard &board() const { return *board_; }
    // The accounts of these books, for every window that checks a password, for the whole run.
    accounts::AccountService &accountService() const { return *accounts_; }

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
    void connectBoard();

    // Shows station index as the board has it: caption, options, scroll bar, boxes, colours.
    void showStation(int index);
    void showUser();
    void announceEnd(int index);
    void moveFocus(QWidget *target);
    // What start-up has to say waits for the first sign-in: until then the accounts window is
    // the only one that takes keys, so a password typed at once never goes into a message.
    void afterSignIn(std::function<void()> say);

    accounts::Session *session_ = nullptr;
    accounts::AccountService *accounts_ = nullptr;
    stations::StationBoard *board_ = nullptr;
    bool signedIn_ = false;
    QList<std::function<void()>> afterSignIn_;
};
