#pragma once

#include "accounts/AccountService.h"
#include "accounts/Session.h"
#include "printing/PrintService.h"
#include "rate/RateService.h"
#include "shifts/ShiftService.h"
#include "stations/StationBoard.h"
#include "webview/ViewProcess.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QDateTime;
class formCaja;
class frmArqueo;
class frmFondo;
class formLudomat2;
class formUsuario;
class frmGraficos;
class frmRegistro;
class frmTarifa;
class frmVista;
class PrinterSettingsDialog;
class RoomSettingsDialog;
namespace cash_close {
struct Report;
}
namespace sys {
struct Platform;
}
namespace ui {
class Form;
}

namespace app {

// The shop's front desk, where the program is put together. It owns the services (who is signed
// in, the accounts, the room, the stored rate, the owner's view's process) and every window: the
// main window for the whole run, the others from when they are asked for until they are left (the
// journal and chart windows as children of the cash close). It answers what a window asks for
// (another window, a change of user, the end), and keeps the main window without input while the
// accounts window or the cash close is open. Windows know the services they show, never each other.
class Desk final : public QObject {
    Q_OBJECT
public:
    explicit Desk(sys::Platform &platform);
    ~Desk() override;

    // Start-up: the accounts window first, then the room's books opened and its stations brought
    // back; the main window waits, without input, for a sign-in. False when the program cannot
    // run (the reason has been shown).
    bool start();
    // The main window, then the accounts window above it, its password box ready for the first key.
    void show();
    // A second start was made: the window that takes input comes to the front.
    void bringToFront();

    accounts::Session &session() { return session_; }
    accounts::AccountService &accounts() { return accounts_; }
    stations::StationBoard &board() { return board_; }
    rate::RateService &rates() { return rates_; }
    printing::PrintService &printer() { return printer_; }
    shifts::ShiftService &shifts() { return shifts_; }
    // `ludomat --serve` while the owner's view is on.
    webview::ViewProcess &view() { return view_; }
    formLudomat2 &mainWindow() { return *main_; }
    // The other windows while they are open (or going away), else null.
    formUsuario *accountsWindow() const;
    formCaja *cashCloseWindow() const;
    frmTarifa *rateWindow() const;
    RoomSettingsDialog *roomWindow() const;
    PrinterSettingsDialog *printerWindow() const;
    frmVista *viewWindow() const;
    frmRegistro *journalWindow() const;
    frmGraficos *chartsWindow() const;
    frmFondo *floatWindow() const;
    frmArqueo *countWindow() const;

private:
    // A change of user: the open shift's count first, then the accounts window; a count left
    // undone leaves the operator signed in, the shift open.
    void changeUser();
    // The accounts window, the main window without input until a sign-in.
    void showAccounts();
    // After a sign-in: a shift left open is continued (its own operator) or closed with its count,
    // then the float of a new one.
    void startShift();
    // The float of a new shift; cancelled() runs when the operator leaves it.
    void askFloat(const QString &note, std::function<void()> cancelled);
    // The count of the open shift, then done() (the shift closed) or cancelled() (still open).
    void askCount(const shifts::ShiftRecord &shift, bool unclosed, std::function<void()> done,
                  std::function<void()> cancelled);
    void enterMain();
    // A sale needs an open shift: without one the float is asked first, and false.
    bool shiftForSale();
    void openMovement(shifts::MovementKind kind);
    void endProgram();
    void openCashClose();
    void openRate();
    // "Configuración del salón", once the main window has checked the administrator's password.
    void openRoomSettings(const QString &administrator);
    // "Impresora", likewise.
    void openPrinterSettings(const QString &administrator);
    // "Vista del dueño", likewise.
    void openViewSettings(const QString &administrator);
    // A sale's receipt, and the cash drawer opened, as the room's printer is set.
    void saleRecorded(const stations::Sale &sale);
    // The slip of a closed shift, asked for from the cash close, saved as a PDF.
    void saveShiftSlip(qint64 numero);
    // The program ends once what is on its way to the printer went out or failed.
    void endWhenPrinted();
    void openJournal(const QDateTime &from, const QDateTime &to);
    void openCharts(const cash_close::Report &report);
    void exit();
    // Leaving with stations open asks whether to close and collect them all, leave them counting
    // until the next start, or stay; true when the program may end.
    bool settleOpenStations(QWidget *parent);
    void signedIn();
    void cashCloseLeft();
    // The window that holds the main window without input: the count, the float, the accounts
    // window, else the cash close; null when none is open.
    ui::Form *holder() const;

    sys::Platform &platform_;
    accounts::Session session_;
    accounts::AccountService accounts_;
    stations::StationBoard board_;
    rate::RateService rates_;
    printing::PrintService printer_;
    shifts::ShiftService shifts_;
    webview::ViewProcess view_;
    std::unique_ptr<formLudomat2> main_;
    bool waitingForPrinter_ = false; // the end waits for the printer's last jobs
    QPointer<formUsuario> accountsWindow_;
    QPointer<formCaja> cashClose_;
    QPointer<frmFondo> fondo_;
    QPointer<frmArqueo> arqueo_;
    QPointer<frmTarifa> rate_;
    QPointer<RoomSettingsDialog> room_;
    QPointer<PrinterSettingsDialog> printerWindow_;
    QPointer<frmVista> viewWindow_;
    QPointer<frmRegistro> journal_;
    QPointer<frmGraficos> charts_;
};

} // namespace app
