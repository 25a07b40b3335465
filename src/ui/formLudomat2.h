#pragma once

#include "shifts/Shift.h"
#include "stations/StationTypes.h"
#include "ui/Form.h"

#include <QList>
#include <functional>
#include <optional>
#include <vector>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QShortcut;
class QSpinBox;
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

    // Asked before anything that takes or pays out money (a station opened, a Contador closed,
    // blocks added, a cancellation): false stops it, the one who answered having said why.
    void setSaleCheck(std::function<bool()> check) { saleCheck_ = std::move(check); }

    // A station's button: "Habilitar Puesto &1" / "Cerrar Puesto &1" for a station named
    // "Puesto 1" in the first nine rows (its digit the access key), else the name as it is,
    // ampersands shown as such ("Habilitar PS5 Sala").
    static QString idleCaption(const QString &name, int row);
    static QString runningCaption(const QString &name, int row);
    // Rows 0 to 8 are reached with Alt and their digit.
    static constexpr int kAccessKeyRows = 9;

Q_SIGNALS:
    void changeOfUserAsked();
    void cashCloseAsked();
    void rateAsked();
    // Cash put in or taken out of the drawer (the room's menu, F6 to F8).
    void cashMovementAsked(shifts::MovementKind kind);
    // "Configuración del salón", the administrator's password checked: who typed it.
    void roomSettingsAsked(const QString &administrator);
    void printerSettingsAsked(const QString &administrator);
    // "Vista del dueño", likewise.
    void viewSettingsAsked(const QString &administrator);
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
    // The rows of the board's room, made anew: the old ones go, the bottom band and the
    // window's height follow the count, and every row is shown as the board has it.
    void rebuildRows();
    void buildStationRow(int index);
    void connectRow(int index);
    // The row's controls that are the window's own children.
    QList<QWidget *> rowWidgets(int index) const;
    void buildBottomBand();
    void placeBottomBand();
    void setTabOrder();
    void connectHandlers();
    int rowCount() const { return static_cast<int>(cmdPuesto.size()); }
    // How a message names the station after a preposition ("en", "a", "de", or none): a
    // delivered name with its article ("en el Puesto 1", "al Puesto 1", "el Puesto 1"), any
    // other as it is ("en PS5 Sala", "a PS5 Sala").
    QString stationPhrase(int index, const QString &preposition) const;
    // Sets the button's caption, fitted to its width, and its Alt+digit key for a station whose
    // caption carries none.
    void showCaption(int index, bool running);
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
    void spnMandos_Change(int index);
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
    // The administrator's password, then `then` with the administrator's name.
    void askAdministrator(const QString &why, std::function<void(const QString &administrator)> then);
    void askCheckoutSetting();
    void askRoomSettings();
    void askPrinterSettings();
    void askViewSettings();
    static QColor digitsColour();

    accounts::Session &session_;
    accounts::AccountService &accounts_;
    stations::StationBoard &board_;
    bool signedIn_ = false;
    QList<std::function<void()>> afterSignIn_;
    std::function<bool()> saleCheck_;

    // Controls.
    QLabel *Label8 = nullptr;
    QLabel *lblUsuario = nullptr;
    // One element a row, as many as the room's stations (optModo and Label6: two a row).
    std::vector<QGroupBox *> frames; // Frame5, Frame1 .. Frame4, then Frame6 on
    std::vector<QRadioButton *> optModo;
    std::vector<QScrollBar *> vsTiempo;
    std::vector<QLabel *> Label7;
    std::vector<QLineEdit *> txtHora;
    std::vector<QLabel *> Label6;
    std::vector<QLineEdit *> txtMinuto;
    std::vector<QLineEdit *> txtSegundo;
    std::vector<QLabel *> dollarLabels; // Label1 .. Label5, then lblPesos_5 on
    std::vector<QLineEdit *> txtPesos;
    std::vector<QPushButton *> cmdPuesto;
    // Only for a station whose console charges for extra controllers; else null.
    std::vector<QSpinBox *> spnMandos;
    // Alt+digit for a row whose caption has no access key of its own; else null.
    std::vector<QShortcut *> rowKeys;
    // What each row's boxes show, so a tick writes out only what changed (the locale's number
    // text and the boxes' colours were most of a row's cost).
    struct ShownNumbers {
        std::optional<qint64> hours, minutes, cents;
        std::optional<stations::Flash> flash;
        std::optional<bool> paused;
    };
    std::vector<ShownNumbers> shown_;
    QPushButton *cmdCierreCaja = nullptr;
    QPushButton *cmdTarifa = nullptr;
    QPushButton *cmdUsuario = nullptr;
    QPushButton *cmdSalir = nullptr;
    QTimer *Timer1 = nullptr;
    // Keeps the open stations' time in the file once a minute.
    QTimer *refreshTimer = nullptr;
};
