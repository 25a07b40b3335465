#pragma once

#include "stations/StationTypes.h"
#include "ui/Form.h"

#include <QList>
#include <array>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTimer;
class CorrectionDialog;
namespace accounts {
class AccountService;
class Session;
} // namespace accounts
namespace stations {
class StationBoard;
struct Checkout;
struct Target;
} // namespace stations

// The main window: the room's view. It shows the station board, calls its commands from the
// station handlers and shows what it signals; the label shows who the session says is signed in.
// The buttons of the bottom band ask for the other windows and for the end, which whoever
// composes the program answers. Its controls keep the names the station logic has always used,
// as object names.
class formLudomat2 final : public ui::Form {
    Q_OBJECT
public:
    // accounts checks the administrator's password that corrections ask for.
    formLudomat2(sys::Platform &platform, accounts::Session &session, accounts::AccountService &accounts,
                 stations::StationBoard &board);
    ~formLudomat2() override;

    // Holds what start-up has to say until the window first takes input (the first sign-in):
    // until then the accounts window is the only one that takes keys, so a password typed at once
    // never goes into a message.
    void afterSignIn(std::function<void()> say);

    static QString idleCaption(int index);
    static QString runningCaption(int index);

Q_SIGNALS:
    void changeOfUserAsked();
    void cashCloseAsked();
    void rateAsked();
    // "&Salir", or the title bar's close box: the window itself never closes.
    void exitAsked();
    // Activated while it takes no input: the window that holds it should come back.
    void activatedWhileDisabled();

protected:
    bool queryClose() override;
    void changeEvent(QEvent *event) override;
    // The menu of the station whose row the pointer or the focus is on (its operations while it
    // runs), or else the room's: pause or resume every station.
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void buildStationRow(int index);
    void buildBottomBand();
    void setTabOrder();
    void connectHandlers();
    void connectBoard();

    void cmdUsuario_Click();
    void cmdCierreCaja_Click();
    void cmdTarifa_Click();
    void cmdSalir_Click();

    // Station logic.
    void cmdPuesto_Click(int index);
    // The checkout's "&Cobrar": records what it showed.
    void collect(const stations::Checkout &quote);
    void Timer1_Timer();
    void optModo_Click(int index);
    bool optModo_KeyDown(int index, int key, Qt::KeyboardModifiers shift);
    void vsTiempo_Change(int index);
    bool vsTiempo_KeyDown(int index, int key, Qt::KeyboardModifiers shift);

    // Shows station index as the board has it: caption, options, scroll bar, boxes, colours.
    void showStation(int index);
    void showUser();
    void announceEnd(int index);
    void moveFocus(QWidget *target);
    // The row a control belongs to, or a point of the window falls in; -1 for none.
    int rowOf(const QWidget *control) const;
    int rowAt(QPoint point) const;
    void showMenu(int row, QPoint globalPos);
    // The corrections of a running station's menu, each asked for in its own small window.
    enum class Correction { AddBlocks, Courtesy, Discount, Cancel, Move };
    void askCorrection(int index, Correction kind);
    void submitCorrection(CorrectionDialog *dialog, const stations::Target &target, Correction kind);
    // The room's setting: the checkout on closing a station, or the close at once.
    void askCheckoutSetting();
    static QColor digitsColour();

    accounts::Session &session_;
    accounts::AccountService &accounts_;
    stations::StationBoard &board_;
    bool signedIn_ = false;
    QList<std::function<void()>> afterSignIn_;

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
};
