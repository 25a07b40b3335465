// The stations of the main window: what the board holds, shown in each row's controls, and
// the handlers that ask the board for what the operator did. The rows are shown with their
// handlers held back, so showing a station never runs a handler again.
#include "ui/formLudomat2.h"

#include "accounts/Session.h"
#include "data/NumberText.h"
#include "stations/StationBoard.h"
#include "stations/StationMath.h"
#include "ui/CheckoutDialog.h"
#include "ui/DisplayBox.h"
#include "ui/Module1.h"

#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>

namespace {

using stations::StationMode;

size_t at(int index) {
    return static_cast<size_t>(index);
}

QString capitalised(QString text) {
    if (!text.isEmpty()) {
        text[0] = text[0].toUpper();
    }
    return text;
}

} // namespace

void formLudomat2::connectBoard() {
    connect(&board_, &stations::StationBoard::stationChanged, this, &formLudomat2::showStation);
    connect(&board_, &stations::StationBoard::prepaidEnded, this, &formLudomat2::announceEnd);
    connect(&board_, &stations::StationBoard::writeFailed, this,
            [this](int, const QString &message) { platform().messages.showMessage(this, message); });
    // What start-up brought back is said after the first sign-in, the end of a prepaid time
    // that ran out meanwhile after it.
    connect(&board_, &stations::StationBoard::restored, this, [this](const QString &message, const QList<int> &ended) {
        if (!message.isEmpty()) {
            afterSignIn([this, message] { platform().messages.postMessage(this, message, {}); });
        }
        for (int index : ended) {
            afterSignIn([this, index] { announceEnd(index); });
        }
    });
    connect(&session_, &accounts::Session::changed, this, &formLudomat2::showUser);
}

void formLudomat2::showUser() {
    lblUsuario->setText(session_.isSignedIn() ? session_.user() : QStringLiteral("Usuario"));
}

void formLudomat2::moveFocus(QWidget *target) {
    // A prepaid time may end while the accounts or cash-close window holds the main window
    // disabled; no focus moves into a window that takes no input.
    if (isEnabled()) {
        target->setFocus(Qt::OtherFocusReason);
    }
}

void formLudomat2::showStation(int index) {
    const auto i = at(index);
    const stations::Station &s = board_.station(index);
    showCaption(index, s.running);
    {
        const QSignalBlocker holdPrepago(optModo[2 * i]);
        const QSignalBlocker holdContador(optModo[2 * i + 1]);
        optModo[2 * i]->setEnabled(!s.running);
        optModo[2 * i + 1]->setEnabled(!s.running);
        optModo[2 * i + (s.mode == StationMode::Contador ? 1 : 0)]->setChecked(true);
        const QSignalBlocker holdBlocks(vsTiempo[i]);
        vsTiempo[i]->setEnabled(!s.running && s.mode == StationMode::Prepago);
        vsTiempo[i]->setValue(s.blocks);
        if (QSpinBox *mandos = spnMandos[i]) {
            // While it runs: the controllers its rental has, not to be changed.
            const QSignalBlocker holdMandos(mandos);
            mandos->setEnabled(!s.running);
            mandos->setValue(s.controllers);
        }
    }
    ShownNumbers &shown = shown_[i];
    if (shown.hours != s.hours) {
        stations::setDisplayText(txtHora[i], numtext::toText(static_cast<double>(s.hours)));
        shown.hours = s.hours;
    }
    if (shown.minutes != s.minutes) {
        stations::setDisplayText(txtMinuto[i], numtext::toText(static_cast<double>(s.minutes)));
        shown.minutes = s.minutes;
    }
    stations::setDisplayText(txtSegundo[i], QString::number(s.seconds));
    if (shown.cents != s.cents) {
        stations::setDisplayText(txtPesos[i], numtext::toText(stations::pesosOf(s.cents)));
        shown.cents = s.cents;
    }
    if (shown.flash == s.flash && shown.paused == s.paused()) {
        return;
    }
    shown.flash = s.flash;
    shown.paused = s.paused();
    const QColor colour = s.flash == stations::Flash::Red     ? QColor(255, 0, 0)
                          : s.flash == stations::Flash::White ? QColor(255, 255, 255)
                                                              : QColor();
    // A paused station's digits are dimmed; its caption stays.
    const QColor digits = s.paused() ? QColor(128, 128, 160) : digitsColour();
    for (QLineEdit *box : {txtHora[i], txtMinuto[i], txtSegundo[i], txtPesos[i]}) {
        if (stations::boxTextColor(box) != digits) {
            stations::setBoxTextColor(box, digits);
        }
    }
    for (QLineEdit *box : {txtHora[i], txtMinuto[i], txtSegundo[i]}) {
        const QColor wanted = colour.isValid() ? colour : stations::initialBackground(box);
        if (stations::boxBackground(box) != wanted) {
            stations::setBoxBackground(box, wanted);
        }
    }
}

// The menus of the rows and of the room ----------------------------------------------------

int formLudomat2::rowOf(const QWidget *control) const {
    for (int i = 0; i < rowCount(); ++i) {
        const QList<QWidget *> row = rowWidgets(i); // the options are in the frame
        for (const QWidget *w = control; w && w != this; w = w->parentWidget()) {
            if (row.contains(w)) {
                return i;
            }
        }
    }
    return -1;
}

int formLudomat2::rowAt(QPoint point) const {
    // Disabled controls (the display boxes) take no events: the window finds their row by place.
    for (int i = 0; i < rowCount(); ++i) {
        const auto s = at(i);
        QRect band = frames[s]->geometry();
        band.setRight(cmdPuesto[s]->geometry().right());
        if (band.contains(point)) {
            return i;
        }
    }
    return -1;
}

void formLudomat2::contextMenuEvent(QContextMenuEvent *event) {
    const int row = event->reason() == QContextMenuEvent::Mouse ? rowAt(event->pos()) : rowOf(focusWidget());
    showMenu(row, event->globalPos());
}

void formLudomat2::showMenu(int row, QPoint globalPos) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("mnuPuesto"));
    if (row >= 0) {
        const stations::Station &s = board_.station(row);
        if (!s.running || board_.isExpiring(row)) {
            return; // an idle station offers nothing
        }
        if (s.paused()) {
            connect(menu.addAction(QStringLiteral("&Reanudar")), &QAction::triggered, this,
                    [this, row] { board_.resume(row); });
        } else {
            connect(menu.addAction(QStringLiteral("&Pausar")), &QAction::triggered, this,
                    [this, row] { board_.pause(row); });
        }
        const auto add = [&](const QString &caption, Correction kind) {
            connect(menu.addAction(caption), &QAction::triggered, this,
                    [this, row, kind] { askCorrection(row, kind); });
        };
        if (s.mode == StationMode::Prepago) {
            add(QStringLiteral("&Agregar bloques…"), Correction::AddBlocks);
            add(QStringLiteral("Tiempo de &cortesía…"), Correction::Courtesy);
        } else {
            add(QStringLiteral("&Descuento…"), Correction::Discount);
        }
        add(QStringLiteral("&Mover a otro puesto…"), Correction::Move);
        menu.addSeparator();
        add(QStringLiteral("A&nular…"), Correction::Cancel);
    } else {
        connect(menu.addAction(QStringLiteral("Pausar &todos")), &QAction::triggered, &board_,
                &stations::StationBoard::pauseAll);
        connect(menu.addAction(QStringLiteral("Reanudar t&odos")), &QAction::triggered, &board_,
                &stations::StationBoard::resumeAll);
        menu.addSeparator();
        for (const auto &[caption, kind] :
             {std::pair{QStringLiteral("Reti&ro de caja…\tF6"), shifts::MovementKind::Retiro},
              std::pair{QStringLiteral("&Gasto…\tF7"), shifts::MovementKind::Gasto},
              std::pair{QStringLiteral("&Ingreso de cambio…\tF8"), shifts::MovementKind::Ingreso}}) {
            connect(menu.addAction(caption), &QAction::triggered, this,
                    [this, kind] { Q_EMIT cashMovementAsked(kind); });
        }
        menu.addSeparator();
        QAction *checkout = menu.addAction(QStringLiteral("Mostrar el &cobro al cerrar un puesto"));
        checkout->setCheckable(true);
        checkout->setChecked(board_.confirmsCheckout());
        connect(checkout, &QAction::triggered, this, &formLudomat2::askCheckoutSetting);
        connect(menu.addAction(QStringLiteral("Configuración del &salón…")), &QAction::triggered, this,
                &formLudomat2::askRoomSettings);
        connect(menu.addAction(QStringLiteral("&Impresora…")), &QAction::triggered, this,
                &formLudomat2::askPrinterSettings);
        connect(menu.addAction(QStringLiteral("&Vista del dueño…")), &QAction::triggered, this,
                &formLudomat2::askViewSettings);
    }
    menu.exec(globalPos);
}

// Modes and prepaid time ------------------------------------------------------------------

void formLudomat2::optModo_Click(int index) {
    const int i = index / 2;
    const bool prepago = index % 2 == 0;
    if (!board_.chooseMode(i, prepago ? StationMode::Prepago : StationMode::Contador)) {
        showStation(i); // a running station keeps its mode
        return;
    }
    moveFocus(prepago ? static_cast<QWidget *>(vsTiempo[at(i)]) : cmdPuesto[at(i)]);
}

bool formLudomat2::optModo_KeyDown(int index, int key, Qt::KeyboardModifiers) {
    if (!ui::isEnterKey(key)) {
        return false; // arrows keep moving between the two options
    }
    const int i = index / 2;
    moveFocus(index % 2 == 0 ? static_cast<QWidget *>(vsTiempo[at(i)]) : cmdPuesto[at(i)]);
    return true;
}

bool formLudomat2::vsTiempo_KeyDown(int index, int key, Qt::KeyboardModifiers) {
    if (!ui::isEnterKey(key)) {
        return false; // arrows keep stepping the block count
    }
    moveFocus(cmdPuesto[at(index)]);
    return true;
}

void formLudomat2::vsTiempo_Change(int index) {
    if (!board_.setBlocks(index, vsTiempo[at(index)]->value())) {
        showStation(index);
    }
}

void formLudomat2::spnMandos_Change(int index) {
    if (!board_.setControllers(index, spnMandos[at(index)]->value())) {
        showStation(index);
    }
}

// Opening and closing ---------------------------------------------------------------------

void formLudomat2::cmdPuesto_Click(int index) {
    if (board_.isExpiring(index)) {
        return; // its end-of-prepaid message is still open; the reset follows its dismissal
    }
    const stations::Station &s = board_.station(index);
    if ((!s.running || s.mode == StationMode::Contador) && saleCheck_ && !saleCheck_()) {
        return;
    }
    if (!s.running) {
        board_.open(index, s.mode, s.blocks);
        return;
    }
    if (!board_.confirmsCheckout()) {
        board_.close(index); // the room closes at once, the amount as it stands
        return;
    }
    // What the close records is taken now, at the press, and shown; the rental runs on until the
    // operator collects it, or goes on untouched with "&Seguir".
    if (const std::optional<stations::Checkout> quote = board_.quoteClose(index)) {
        auto *checkout = new CheckoutDialog(this, *quote, board_.setup(index).name);
        checkout->setAttribute(Qt::WA_DeleteOnClose);
        connect(checkout, &QDialog::accepted, this, [this, q = *quote] { collect(q); });
        // The keys come back here, also where no window manager hands them back.
        connect(checkout, &QDialog::finished, this, [this] { activateWindow(); });
        checkout->open();
    }
}

void formLudomat2::collect(const stations::Checkout &quote) {
    if (board_.close(quote)) {
        if (quote.mode == StationMode::Prepago) {
            moveFocus(cmdPuesto[at(quote.index)]); // back to Contador: the choice of Contador's focus
        }
        return;
    }
    const stations::Station &now = board_.station(quote.index);
    if (!now.running || now.openedUtc != quote.openedUtc || board_.isExpiring(quote.index)) {
        // A refused write has said so already; this is a rental that ended while the checkout was open.
        platform().messages.showMessage(this, QStringLiteral("%1 ya no estaba en curso: no se registró nada.")
                                                  .arg(capitalised(stationPhrase(quote.index, {}))));
    }
}

// The tick --------------------------------------------------------------------------------

void formLudomat2::Timer1_Timer() {
    board_.tick();
}

void formLudomat2::announceEnd(int index) {
    // The message waits for the operator while ticks go on; the station's reset follows the
    // dismissal.
    Module1::SoundAlarm(platform());
    platform().messages.postMessage(
        this, QStringLiteral("Finalizó el tiempo del prepago %1.").arg(stationPhrase(index, QStringLiteral("en"))),
        [this, index] {
            board_.acknowledgeEnd(index);
            if (index < rowCount()) { // the room may have been made anew meanwhile
                moveFocus(cmdPuesto[at(index)]);
            }
        });
}
