#include "app/Desk.h"

#include "data/DbError.h"
#include "data/NumberText.h"
#include "platform/Platform.h"
#include "printing/PrinterSettings.h"
#include "printing/Receipt.h"
#include "room/Room.h"
#include "room/RoomSave.h"
#include "shifts/ShiftSlip.h"
#include "stations/StationBoard.h"
#include "ui/JournalCheck.h"
#include "ui/PrinterSettingsDialog.h"
#include "ui/ReportActions.h"
#include "ui/RoomSettingsDialog.h"
#include "ui/formCaja.h"
#include "ui/formLudomat2.h"
#include "ui/formUsuario.h"
#include "ui/frmArqueo.h"
#include "ui/frmFondo.h"
#include "ui/frmGraficos.h"
#include "ui/frmMovimiento.h"
#include "ui/frmRegistro.h"
#include "ui/frmTarifa.h"
#include "ui/frmVista.h"
#include "webview/ViewSettings.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

namespace app {

namespace {

// A window still going away is not the one to show again.
template <class W> void forgetUnloading(QPointer<W> &window) {
    if (window && window->isUnloading()) {
        window.clear();
    }
}

QString roomFallbackText() {
    return QStringLiteral("\n\nMientras tanto se usan los cinco puestos de siempre, a la tarifa; el administrador "
                          "puede corregir el salón en «Configuración del salón».");
}

} // namespace

Desk::Desk(sys::Platform &platform)
    : platform_(platform), accounts_(platform.databasePath(), platform.clock, session_),
      board_(platform.clock, session_), rates_(platform.databasePath(), platform.clock, session_),
      shifts_(platform.clock, [this] { return board_.store(); }), view_(platform.where.dataFolder),
      main_(std::make_unique<formLudomat2>(platform, session_, accounts_, board_)) {
    connect(main_.get(), &formLudomat2::changeOfUserAsked, this, &Desk::changeUser);
    connect(main_.get(), &formLudomat2::cashCloseAsked, this, &Desk::openCashClose);
    connect(main_.get(), &formLudomat2::rateAsked, this, &Desk::openRate);
    connect(main_.get(), &formLudomat2::roomSettingsAsked, this, &Desk::openRoomSettings);
    connect(main_.get(), &formLudomat2::exitAsked, this, &Desk::exit);
    connect(main_.get(), &formLudomat2::printerSettingsAsked, this, &Desk::openPrinterSettings);
    connect(main_.get(), &formLudomat2::viewSettingsAsked, this, &Desk::openViewSettings);
    connect(&board_, &stations::StationBoard::saleRecorded, this, &Desk::saleRecorded);
    // Said once while the printer stays down, without holding anything: the sale went on.
    connect(&printer_, &printing::PrintService::printerDown, this,
            [this](const QString &message) { platform_.messages.postMessage(main_.get(), message, {}); });
    connect(main_.get(), &formLudomat2::cashMovementAsked, this, &Desk::openMovement);
    // Each close or recount of a shift prints its slip on the room's printer, when there is one.
    connect(&shifts_, &shifts::ShiftService::shiftClosed, this, [this](const shifts::Closing &closing) {
        if (printer_.hasPrinter()) {
            printer_.print(shifts::slipDocument(closing, printer_.settings().shopName));
        }
    });
    main_->setSaleCheck([this] { return shiftForSale(); });
    // The window that holds the main window comes back when the main window is activated, even
    // if it was minimised or hidden: the operator can never be left without a way on.
    connect(main_.get(), &formLudomat2::activatedWhileDisabled, this, [this] {
        if (ui::Form *window = holder()) {
            window->showNormal();
            window->showForm();
        }
    });
}

// Every window goes before the services it shows; the cash close takes its children along.
Desk::~Desk() {
    delete arqueo_.data();
    delete fondo_.data();
    delete accountsWindow_.data();
    delete cashClose_.data();
    delete rate_.data();
    delete room_.data();
    delete printerWindow_.data();
    delete viewWindow_.data();
    main_.reset();
}

formUsuario *Desk::accountsWindow() const {
    return accountsWindow_;
}

formCaja *Desk::cashCloseWindow() const {
    return cashClose_;
}

frmTarifa *Desk::rateWindow() const {
    return rate_;
}

RoomSettingsDialog *Desk::roomWindow() const {
    return room_;
}

PrinterSettingsDialog *Desk::printerWindow() const {
    return printerWindow_;
}

frmVista *Desk::viewWindow() const {
    return viewWindow_;
}

frmRegistro *Desk::journalWindow() const {
    return journal_;
}

frmGraficos *Desk::chartsWindow() const {
    return charts_;
}

frmFondo *Desk::floatWindow() const {
    return fondo_;
}

frmArqueo *Desk::countWindow() const {
    return arqueo_;
}

bool Desk::start() {
    // The accounts window comes first and the main window waits, without input, for a sign-in.
    showAccounts();

    const stations::StationBoard::LoadResult loaded = board_.load(platform_.databasePath());
    if (loaded.result == stations::StationBoard::Loaded::Unreadable && accountsWindow_ &&
        !accountsWindow_->databaseOpen()) {
        return false; // the accounts window has already told the operator
    }
    if (loaded.result != stations::StationBoard::Loaded::Ready) {
        platform_.messages.showMessage(main_.get(), loaded.problem);
        return false;
    }
    // The room (its stations, names, console types and prices) is read once, here: a change
    // made in "Configuración del salón" applies at the next start.
    try {
        board_.setRoom(room::stationSetups(room::readRoom(*board_.store(), board_.rate())));
    } catch (const data::DbError &error) {
        // The stations must count all the same: the delivered room stands in, and the
        // administrator is told why and where to put it right.
        main_->afterSignIn([this, text = error.describe() + roomFallbackText()] {
            platform_.messages.postMessage(main_.get(), text, {});
        });
    }
    try {
        printer_.setSettings(printing::readSettings(*board_.store()));
    } catch (const data::DbError &error) {
        // Everything works without the printer; the administrator is told why it is not used.
        main_->afterSignIn([this, text = QStringLiteral("No se pudo leer la impresora del salón; no se imprime hasta "
                                                        "arreglarlo en «Impresora…».\n\n") +
                                         error.describe()] { platform_.messages.postMessage(main_.get(), text, {}); });
    }
    // The owner's view runs beside the counter, in a process of its own, when it was left on.
    try {
        if (const webview::ViewSettings view = webview::readSettings(*board_.store()); view.enabled) {
            view_.start(view);
        }
    } catch (const data::DbError &error) {
        main_->afterSignIn([this, text = QStringLiteral("No se pudo leer la vista del dueño; queda apagada hasta "
                                                        "arreglarlo en «Vista del dueño…».\n\n") +
                                         error.describe()] { platform_.messages.postMessage(main_.get(), text, {}); });
    }
    board_.restore();

    // The program runs without its alarm, but the operator should know before a prepaid
    // time ends in silence.
    if (!QFileInfo(platform_.alarmPath()).isFile()) {
        main_->afterSignIn(
            [this, text = QStringLiteral("No se encuentra el archivo de alarma %1. El fin de un prepago "
                                         "se avisará solo con el mensaje, sin sonido.")
                              .arg(platform_.alarmPath())] { platform_.messages.postMessage(main_.get(), text, {}); });
    }
    // The journal's check reads the whole file on a thread: it begins once the windows are up.
    QTimer::singleShot(0, main_.get(), [this] { stations::checkJournalInBackground(platform_, main_.get()); });
    return true;
}

void Desk::show() {
    main_->showForm();
    if (accountsWindow_) {
        accountsWindow_->showForm();
    }
}

void Desk::bringToFront() {
    if (main_->isMinimized()) {
        main_->setWindowState(main_->windowState() & ~Qt::WindowMinimized);
    }
    // The accounts window while nobody is signed in, the cash close while it is open, else the
    // main window; a question open above it comes along, last, as the one that takes keys.
    QWidget *target = holder();
    if (!target) {
        target = main_.get();
    }
    for (QWidget *window : {target, QApplication::activeModalWidget()}) {
        if (window) {
            window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
            window->show();
            window->raise();
            window->activateWindow();
        }
    }
}

ui::Form *Desk::holder() const {
    if (arqueo_ && !arqueo_->isUnloading()) {
        return arqueo_;
    }
    if (fondo_ && !fondo_->isUnloading()) {
        return fondo_;
    }
    if (accountsWindow_ && !accountsWindow_->isUnloading()) {
        return accountsWindow_;
    }
    if (cashClose_ && !cashClose_->isUnloading()) {
        return cashClose_;
    }
    return nullptr;
}

void Desk::changeUser() {
    if (arqueo_ && !arqueo_->isUnloading()) {
        return; // the count is under way
    }
    const shifts::ShiftService::Current open = shifts_.current();
    if (board_.store() && session_.isSignedIn() && open.shift) {
        askCount(
            *open.shift, false, [this] { showAccounts(); }, [this] { enterMain(); });
        return;
    }
    showAccounts();
}

void Desk::showAccounts() {
    forgetUnloading(accountsWindow_);
    session_.ownerSeal().forget(); // the administrator's key goes until the next sign-in
    if (board_.store()) {          // a change of user, not the start-up
        // Nobody signed in may act through a window the last operator left open.
        if (rate_) {
            rate_->close();
        }
        if (room_) {
            room_->unload(); // it was opened with the last administrator's password
        }
        if (printerWindow_) {
            printerWindow_->unload();
        }
        if (viewWindow_) {
            viewWindow_->unload();
        }
        board_.noteChangeOfUser();
    }
    if (!accountsWindow_) {
        accountsWindow_ = new formUsuario(platform_, accounts_);
        connect(accountsWindow_, &formUsuario::signedIn, this, &Desk::signedIn);
        connect(accountsWindow_, &formUsuario::exitRequested, this, [this] {
            if (settleOpenStations(accountsWindow_)) {
                endWhenPrinted();
            }
        });
        accountsWindow_->Form_Load();
    }
    accountsWindow_->keepAbove(*main_);
    accountsWindow_->showForm();
    main_->setEnabled(false);
}

void Desk::signedIn() {
    if (accountsWindow_) {
        accountsWindow_->unload();
    }
    startShift();
}

void Desk::startShift() {
    const shifts::ShiftService::Current open = shifts_.current();
    if (!open.problem.isEmpty()) {
        // Without its shifts the room still counts; every write will say what is wrong.
        enterMain();
        platform_.messages.postMessage(main_.get(), open.problem, {});
        return;
    }
    if (!open.shift) {
        askFloat({}, [this] { showAccounts(); });
        return;
    }
    const shifts::ShiftRecord &shift = *open.shift;
    if (shift.usuario == session_.user()) {
        // Its own operator may go on with it, as if the program had never stopped. The question
        // is a window of its own: the main window, and a child of it, take no input yet.
        const int answer = platform_.messages.ask(
            nullptr,
            QStringLiteral("Su turno %1, abierto el %2, sigue abierto.")
                .arg(shift.numero)
                .arg(shift.apertura.toString(QStringLiteral("dd/MM/yyyy HH:mm"))),
            {QStringLiteral("Contar la caja y cerrarlo"), QStringLiteral("Seguir con el turno")});
        if (answer != 0) {
            enterMain();
            return;
        }
        askCount(
            shift, false, [this] { startShift(); }, [this] { startShift(); });
        return;
    }
    // Another operator's shift: counted now, or closed uncounted by the administrator.
    askCount(
        shift, true, [this] { startShift(); }, [this] { showAccounts(); });
}

void Desk::askFloat(const QString &note, std::function<void()> cancelled) {
    forgetUnloading(fondo_);
    if (!fondo_) {
        fondo_ = new frmFondo(platform_, shifts_, session_, note);
        connect(fondo_, &frmFondo::shiftOpened, this, &Desk::enterMain);
        connect(fondo_, &frmFondo::withoutShift, this, &Desk::enterMain);
        connect(fondo_, &frmFondo::cancelled, this, std::move(cancelled));
    }
    fondo_->keepAbove(*main_);
    fondo_->showForm();
    main_->setEnabled(false);
}

void Desk::askCount(const shifts::ShiftRecord &shift, bool unclosed, std::function<void()> done,
                    std::function<void()> cancelled) {
    forgetUnloading(arqueo_);
    if (arqueo_) {
        arqueo_->showForm();
        return;
    }
    arqueo_ = new frmArqueo(platform_, shifts_, accounts_, session_, shift, unclosed);
    connect(arqueo_, &frmArqueo::finished, this, std::move(done));
    connect(arqueo_, &frmArqueo::cancelled, this, std::move(cancelled));
    arqueo_->keepAbove(*main_);
    arqueo_->showForm();
    main_->setEnabled(false);
}

void Desk::enterMain() {
    main_->setEnabled(true);
    main_->activateWindow();
}

bool Desk::shiftForSale() {
    const shifts::ShiftService::Current open = shifts_.current();
    if (open.shift || !open.problem.isEmpty()) {
        return true; // a file that cannot be read is reported by the sale itself
    }
    askFloat(QStringLiteral("Para cobrar hace falta un turno: escriba el efectivo que hay en la caja y vuelva a "
                            "pulsar el puesto."),
             [this] { enterMain(); });
    return false;
}

void Desk::openMovement(shifts::MovementKind kind) {
    const shifts::ShiftService::Current open = shifts_.current();
    if (!open.shift) {
        platform_.messages.showMessage(
            main_.get(),
            open.problem.isEmpty()
                ? QStringLiteral("No hay un turno abierto: el efectivo entra y sale de la caja en un turno.")
                : open.problem);
        return;
    }
    auto *dialog = new frmMovimiento(main_.get(), platform_, shifts_, session_, kind);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::finished, main_.get(), [this] { main_->activateWindow(); });
    dialog->open();
}

void Desk::openCashClose() {
    forgetUnloading(cashClose_);
    if (!cashClose_) {
        cashClose_ = new formCaja(platform_, session_, board_, accounts_);
        connect(cashClose_, &formCaja::left, this, &Desk::cashCloseLeft);
        // Other books: their shifts are found at the next sign-in.
        connect(cashClose_, &formCaja::copyRestored, this, &Desk::showAccounts);
        connect(cashClose_, &formCaja::journalAsked, this, &Desk::openJournal);
        connect(cashClose_, &formCaja::chartsAsked, this, &Desk::openCharts);
        connect(cashClose_, &formCaja::shiftSlipAsked, this, &Desk::saveShiftSlip);
        cashClose_->Form_Load();
    }
    cashClose_->keepAbove(*main_);
    cashClose_->showForm();
    main_->setEnabled(false);
}

void Desk::cashCloseLeft() {
    main_->setEnabled(true);
    for (ui::Form *window : {static_cast<ui::Form *>(journal_.data()), static_cast<ui::Form *>(charts_.data())}) {
        if (window) {
            window->unload();
        }
    }
}

void Desk::openJournal(const QDateTime &from, const QDateTime &to) {
    forgetUnloading(journal_);
    if (!journal_) {
        journal_ = new frmRegistro(platform_, cashClose_);
        journal_->Form_Load();
    }
    journal_->showPeriod(from, to);
    journal_->showForm();
}

void Desk::openCharts(const cash_close::Report &report) {
    forgetUnloading(charts_);
    if (!charts_) {
        charts_ = new frmGraficos(platform_, cashClose_);
        charts_->Form_Load();
    }
    charts_->showReport(report);
    charts_->showForm();
}

void Desk::openRate() {
    forgetUnloading(rate_);
    if (!rate_) {
        // The rate it charges goes with it: the stored one may have been changed since the start.
        rate_ = new frmTarifa(platform_, rates_, accounts_, board_.rate());
        rate_->Form_Load();
    }
    rate_->showForm(); // the main window stays usable
}

void Desk::openRoomSettings(const QString &administrator) {
    forgetUnloading(room_);
    if (!room_) {
        // What the file holds now, which may differ from the room the stations run with.
        room::Room stored = room::defaultRoom(board_.rate());
        std::vector<int> running;
        try {
            running = room::runningStations(*board_.store());
            stored = room::readRoom(*board_.store(), board_.rate());
        } catch (const data::DbError &error) {
            platform_.messages.showMessage(main_.get(), error.describe() + roomFallbackText());
        }
        room_ = new RoomSettingsDialog(
            platform_, stored, std::move(running),
            [this, stored, administrator](const room::Room &after) {
                return room::saveRoom(*board_.store(), stored, after, administrator, platform_.clock.wallTime());
            },
            RoomSettingsDialog::Denominations{
                shifts_.denominations(), [this, administrator](const QVector<qint64> &cents) {
                    const shifts::ShiftService::Result r = shifts_.setDenominations(cents, administrator);
                    return r.ok ? QString() : r.problem;
                }});
    }
    room_->showForm(); // the main window stays usable
}

void Desk::openPrinterSettings(const QString &administrator) {
    forgetUnloading(printerWindow_);
    if (!printerWindow_) {
        printerWindow_ = new PrinterSettingsDialog(
            platform_, printer_, printer_.settings(), [this, administrator](const printing::PrinterSettings &typed) {
                if (!board_.store()) {
                    return QStringLiteral("La base de datos está cerrada: no se guardó la impresora.");
                }
                QString problem =
                    printing::saveSettings(*board_.store(), typed, administrator, platform_.clock.wallTime());
                if (problem.isEmpty()) {
                    printer_.setSettings(typed);
                }
                return problem;
            });
    }
    printerWindow_->showForm(); // the main window stays usable
}

void Desk::openViewSettings(const QString &administrator) {
    forgetUnloading(viewWindow_);
    if (!viewWindow_) {
        webview::ViewSettings stored;
        try {
            stored = webview::readSettings(*board_.store());
        } catch (const data::DbError &error) {
            platform_.messages.showMessage(main_.get(), error.describe());
            return;
        }
        viewWindow_ = new frmVista(platform_, view_, stored, [this, administrator](const webview::ViewSettings &typed) {
            if (!board_.store()) {
                return QStringLiteral("La base de datos está cerrada: no se guardó la vista del dueño.");
            }
            QString problem = webview::saveSettings(*board_.store(), typed, administrator, platform_.clock.wallTime());
            if (problem.isEmpty()) {
                if (typed.enabled) {
                    view_.start(typed);
                } else {
                    view_.stop();
                }
            }
            return problem;
        });
    }
    viewWindow_->showForm(); // the main window stays usable
}

void Desk::saleRecorded(const stations::Sale &sale) {
    const printing::PrinterSettings &settings = printer_.settings();
    // Nothing to take from the drawer for a sale of nothing.
    const bool drawer = settings.drawer && sale.cents > 0;
    if (settings.receipts) {
        printing::Document document = printing::receipt(settings.shopName, sale);
        document.openDrawer = drawer;
        printer_.print(document);
    } else if (drawer) {
        printer_.print(printing::drawerOnly());
    }
}

void Desk::exit() {
    // While the administrator is adding an account nothing ends the program.
    if (accountsWindow_ && !accountsWindow_->isUnloading() &&
        accountsWindow_->mode() == formUsuario::Mode::NewAccount) {
        return;
    }
    if (arqueo_ && !arqueo_->isUnloading()) {
        arqueo_->showForm(); // the count is under way: it ends first
        return;
    }
    if (!settleOpenStations(holder() ? static_cast<QWidget *>(holder()) : main_.get())) {
        return;
    }
    // The operator signs out: the shift closes with its count, after the stations are settled.
    const shifts::ShiftService::Current open = shifts_.current();
    if (session_.isSignedIn() && open.shift && main_->isEnabled()) {
        askCount(
            *open.shift, false, [this] { endProgram(); }, [this] { enterMain(); });
        return;
    }
    endProgram();
}

void Desk::endProgram() {
    session_.ownerSeal().forget();
    view_.stop(); // it would end with the program anyway; asked first, it ends cleanly
    board_.shutDown();
    endWhenPrinted();
}

void Desk::endWhenPrinted() {
    if (printer_.pending() == 0) {
        platform_.ender.endProgram();
        return;
    }
    // The shift's slip of a "&Salir", or the receipts of stations closed on the way out, go out
    // first, for 15 seconds at most: a printer that is down fails each job only after its timeouts.
    main_->setEnabled(false);
    if (!waitingForPrinter_) {
        waitingForPrinter_ = true;
        const auto end = [this](bool anyway) {
            if (waitingForPrinter_ && (anyway || printer_.pending() == 0)) {
                waitingForPrinter_ = false;
                platform_.ender.endProgram();
            }
        };
        connect(
            &printer_, &printing::PrintService::printed, this, [end] { end(false); }, Qt::QueuedConnection);
        connect(
            &printer_, &printing::PrintService::failed, this, [end] { end(false); }, Qt::QueuedConnection);
        QTimer::singleShot(15000, this, [end] { end(true); });
    }
}

void Desk::saveShiftSlip(qint64 numero) {
    std::optional<shifts::Closing> closing;
    try {
        closing = shifts::storedClosing(*board_.store(), numero);
    } catch (const data::DbError &error) {
        platform_.messages.showMessage(cashClose_, error.describe());
        return;
    }
    if (!closing) {
        platform_.messages.showMessage(cashClose_,
                                       QStringLiteral("El turno %1 no está cerrado con arqueo.").arg(numero));
        return;
    }
    const printing::PrinterSettings &settings = printer_.settings();
    cash_close::exportShiftSlip(cashClose_, platform_, shifts::slipDocument(*closing, settings.shopName),
                                settings.widthMm, numero);
}

bool Desk::settleOpenStations(QWidget *parent) {
    QList<int> running;
    for (int i = 0; i < board_.count(); ++i) {
        if (board_.station(i).running && !board_.isExpiring(i)) {
            running << i;
        }
    }
    // Before the first sign-in nobody could be booked for a close: stations brought back keep
    // counting, as they came.
    if (running.isEmpty() || session_.user().isEmpty()) {
        return true;
    }
    const int n = int(running.size());
    if (main_->isEnabled() && !shifts_.current().shift) {
        // The administrator entered without a shift: nothing is collected outside one.
        return platform_.messages.ask(parent,
                                      (n == 1 ? QStringLiteral("Hay 1 puesto en curso.")
                                              : QStringLiteral("Hay %1 puestos en curso.").arg(n)) +
                                          QStringLiteral(" Sin un turno abierto no se cobran."),
                                      {QStringLiteral("Dejar en curso"), QStringLiteral("Cancelar")}) == 0;
    }
    const int answer = platform_.messages.ask(
        parent, n == 1 ? QStringLiteral("Hay 1 puesto en curso.") : QStringLiteral("Hay %1 puestos en curso.").arg(n),
        {QStringLiteral("Cerrar y cobrar todos"), QStringLiteral("Dejar en curso"), QStringLiteral("Cancelar")});
    if (answer != 0) {
        return answer == 1;
    }
    // Each closed as its checkout records it; the operator is told what to collect.
    QStringList collect;
    qint64 total = 0;
    for (const int i : running) {
        const std::optional<stations::Checkout> quote = board_.quoteClose(i);
        if (quote && !board_.close(*quote)) {
            return false; // the board has said why; the program stays, the station as it was
        }
        if (quote && quote->mode == stations::StationMode::Contador) {
            collect << QStringLiteral("%1: $ %2").arg(board_.setup(i).name, numtext::amountText(quote->cents));
            total += quote->cents;
        }
    }
    if (!collect.isEmpty()) {
        platform_.messages.showMessage(
            parent, QStringLiteral("A cobrar:\n%1\nTotal: $ %2").arg(collect.join(u'\n'), numtext::amountText(total)));
    }
    return true;
}

} // namespace app
