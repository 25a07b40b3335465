#include "ui/formLudomat2.h"

#include "accounts/AccountService.h"
#include "accounts/Session.h"
#include "data/Database.h"
#include "stations/StationBoard.h"
#include "ui/DisplayBox.h"
#include "ui/JournalCheck.h"
#include "ui/formCaja.h"
#include "ui/formUsuario.h"
#include "ui/frmTarifa.h"

#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <utility>

namespace {

constexpr int kRowTop = 600;
constexpr int kRowPitch = 840;
const QColor kDarkBlue(0, 0, 192);

const char *const kFrameNames[stations::kStations] = {"Frame5", "Frame1", "Frame2", "Frame3", "Frame4"};

QFont boldFont(const QFont &base) {
    QFont f = base;
    f.setBold(true);
    return f;
}

} // namespace

formLudomat2::formLudomat2(sys::Platform &platform)
    : ui::Form(platform, QStringLiteral("Zidorodiz Ludomat para Cyber-Café"), QSize(8745, 5235), QSize(569, 416), 1),
      session_(new accounts::Session(this)),
      accounts_(new accounts::AccountService(platform.databasePath(), platform.clock, *session_, this)),
      board_(new stations::StationBoard(platform.clock, *session_, this)) {
    setObjectName(QStringLiteral("formLudomat2"));

    Label8 = new QLabel(QStringLiteral("Usuario:"), this);
    place(Label8, 3240, 120, 1095, 255);
    lblUsuario = new QLabel(QStringLiteral("Usuario"), this);
    lblUsuario->setObjectName(QStringLiteral("lblUsuario"));
    lblUsuario->setAutoFillBackground(true);
    QPalette white = lblUsuario->palette();
    white.setColor(QPalette::Window, Qt::white);
    lblUsuario->setPalette(white);
    place(lblUsuario, 4440, 120, 2175, 255);

    for (int i = 0; i < stations::kStations; ++i) {
        buildStationRow(i);
    }
    buildBottomBand();
    setTabOrder();
    connectHandlers();
    connectBoard();

    // The tick runs from the window's creation to the end of the program.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &formLudomat2::Timer1_Timer);
    Timer1->start();

    refreshTimer = new QTimer(this);
    refreshTimer->setObjectName(QStringLiteral("refreshTimer"));
    refreshTimer->setInterval(60 * 1000);
    connect(refreshTimer, &QTimer::timeout, board_, &stations::StationBoard::refreshOpenRows);
    refreshTimer->start();
}

// The accounts window lives no longer than the window it signs in to.
formLudomat2::~formLudomat2() {
    delete usuarioWindow;
}

void formLudomat2::buildStationRow(int i) {
    const int top = kRowTop + kRowPitch * i;
    const QString n = QString::number(i);

    auto *frame = new QGroupBox(this);
    frame->setObjectName(QString::fromLatin1(kFrameNames[i]));
    frame->setFlat(false);
    place(frame, 240, top - 120, 1395, 600);
    frames[static_cast<size_t>(i)] = frame;

    auto makeOption = [&](int index, const QString &caption, int y) {
        auto *opt = new QRadioButton(caption, frame);
        opt->setObjectName(QStringLiteral("optModo_%1").arg(index));
        QFont font = boldFont(opt->font());
        font.setPointSizeF(qMin(font.pointSizeF(), 8.0)); // "Contador" fits the option's 80 pixels
        opt->setFont(font);
        QPalette pal = opt->palette();
        pal.setColor(QPalette::WindowText, kDarkBlue);
        pal.setColor(QPalette::ButtonText, kDarkBlue);
        opt->setPalette(pal);
        place(opt, 120, y, 1200, 195);
        optModo[static_cast<size_t>(index)] = opt;
    };
    makeOption(2 * i + 1, QStringLiteral("Contador"), 120);
    makeOption(2 * i, QStringLiteral("Prepago"), 360);
    optModo[static_cast<size_t>(2 * i + 1)]->setChecked(true);

    auto *vs = new QScrollBar(Qt::Vertical, this);
    vs->setObjectName(QStringLiteral("vsTiempo_") + n);
    // A plain vertical scroll bar: its lower arrow, the Down key and the wheel turned down raise
    // the block count. (Inverting only the appearance would leave the arrows and keys as they are.)
    vs->setRange(1, stations::kMaxBlocks);
    vs->setSingleStep(1);
    vs->setPageStep(1);
    vs->setValue(1);
    vs->setEnabled(false);
    vs->setFocusPolicy(Qt::StrongFocus); // Tab reaches it, in the listed order
    place(vs, 1680, top, 855, 495);
    vsTiempo[static_cast<size_t>(i)] = vs;

    auto *tiempo = new QLabel(QStringLiteral("Tiempo"), this);
    tiempo->setObjectName(QStringLiteral("Label7_") + n);
    place(tiempo, 2640, top + 120, 855, 255);
    Label7[static_cast<size_t>(i)] = tiempo;

    auto makeBox = [&](const QString &name, int left, int width) {
        auto *box = new QLineEdit(QStringLiteral("0"), this);
        box->setObjectName(name + n);
        stations::styleDisplayBox(box, kDarkBlue);
        place(box, left, top, width, 420);
        return box;
    };
    auto makeColon = [&](int element, int left) {
        auto *colon = new QLabel(QStringLiteral(":"), this);
        colon->setObjectName(QStringLiteral("Label6_%1").arg(element));
        colon->setAlignment(Qt::AlignCenter);
        place(colon, left, top, 135, 375);
        Label6[static_cast<size_t>(element)] = colon;
    };
    txtHora[static_cast<size_t>(i)] = makeBox(QStringLiteral("txtHora_"), 3480, 450);
    makeColon(2 * i, 3960);
    txtMinuto[static_cast<size_t>(i)] = makeBox(QStringLiteral("txtMinuto_"), 4080, 450);
    makeColon(2 * i + 1, 4560);
    txtSegundo[static_cast<size_t>(i)] = makeBox(QStringLiteral("txtSegundo_"), 4680, 450);
    if (i == 0) {
        stations::setInitialBackground(txtSegundo[0], Qt::white);
    }

    auto *dollar = new QLabel(QStringLiteral("$"), this);
    dollar->setObjectName(QStringLiteral("Label%1").arg(i + 1));
    dollar->setAutoFillBackground(true);
    QPalette white = dollar->palette();
    white.setColor(QPalette::Window, Qt::white);
    dollar->setPalette(white);
    place(dollar, 5370, top + 120, 135, 255);
    dollarLabels[static_cast<size_t>(i)] = dollar;

    txtPesos[static_cast<size_t>(i)] = makeBox(QStringLiteral("txtPesos_"), 5520, 735);

    auto *button = new QPushButton(idleCaption(i), this);
    button->setObjectName(QStringLiteral("cmdPuesto_") + n);
    place(button, 6360, top, 2200, 400);
    cmdPuesto[static_cast<size_t>(i)] = button;
}

void formLudomat2::buildBottomBand() {
    auto make = [this](const char *name, const QString &caption, int left, int width) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(QString::fromLatin1(name));
        place(button, left, 4680, width, 375);
        return button;
    };
    cmdCierreCaja = make("cmdCierreCaja", QStringLiteral("&Cierre de Caja"), 120, 1815);
    cmdTarifa = make("cmdTarifa", QStringLiteral("Cambiar &Tarifa"), 2040, 1815);
    cmdUsuario = make("cmdUsuario", QStringLiteral("C&ambiar de Usuario"), 3960, 2415);
    cmdSalir = make("cmdSalir", QStringLiteral("&Salir"), 6600, 1695);
}

void formLudomat2::setTabOrder() {
    QList<QWidget *> order;
    for (size_t i = 0; i < stations::kStations; ++i) {
        order << optModo[2 * i + 1] << optModo[2 * i] << vsTiempo[i] << cmdPuesto[i];
    }
    tabChain(order << cmdCierreCaja << cmdTarifa << cmdUsuario << cmdSalir);
}

void formLudomat2::connectHandlers() {
    connect(cmdUsuario, &QPushButton::clicked, this, &formLudomat2::cmdUsuario_Click);
    connect(cmdCierreCaja, &QPushButton::clicked, this, &formLudomat2::cmdCierreCaja_Click);
    connect(cmdTarifa, &QPushButton::clicked, this, &formLudomat2::cmdTarifa_Click);
    connect(cmdSalir, &QPushButton::clicked, this, &formLudomat2::cmdSalir_Click);
    for (int i = 0; i < stations::kStations; ++i) {
        const auto s = static_cast<size_t>(i);
        connect(cmdPuesto[s], &QPushButton::clicked, this, [this, i] { cmdPuesto_Click(i); });
        connect(vsTiempo[s], &QScrollBar::valueChanged, this, [this, i] { vsTiempo_Change(i); });
        ui::onKeyDown(vsTiempo[s], [this, i](int key, Qt::KeyboardModifiers m) { return vsTiempo_KeyDown(i, key, m); });
    }
    for (int index = 0; index < 2 * stations::kStations; ++index) {
        auto *opt = optModo[static_cast<size_t>(index)];
        connect(opt, &QRadioButton::toggled, this, [this, index](bool on) {
            if (on) {
                optModo_Click(index);
            }
        });
        ui::onKeyDown(opt, [this, index](int key, Qt::KeyboardModifiers m) { return optModo_KeyDown(index, key, m); });
    }
}

QString formLudomat2::idleCaption(int index) {
    return QStringLiteral("Habilitar Puesto &%1").arg(index + 1);
}

QString formLudomat2::runningCaption(int index) {
    return QStringLiteral("Cerrar Puesto &%1").arg(index + 1);
}

bool formLudomat2::Form_Load() {
    // The accounts window comes first and the main window waits, disabled, for a sign-in.
    cmdUsuario_Click();

    const stations::StationBoard::LoadResult loaded = board_->load(platform().databasePath());
    if (loaded.result == stations::StationBoard::Loaded::Unreadable && usuarioWindow &&
        !usuarioWindow->databaseOpen()) {
        return false; // the accounts window has already told the operator
    }
    if (loaded.result != stations::StationBoard::Loaded::Ready) {
        platform().messages.showMessage(this, loaded.problem);
        return false;
    }
    board_->restore();

    // The program runs without its alarm, but the operator should know before a prepaid
    // time ends in silence.
    if (!QFileInfo(platform().alarmPath()).isFile()) {
        afterSignIn(
            [this, text = QStringLiteral("No se encuentra el archivo de alarma %1. El fin de un prepago se "
                                         "avisará solo con el mensaje, sin sonido.")
                              .arg(platform().alarmPath())] { platform().messages.postMessage(this, text, {}); });
    }
    stations::checkJournalInBackground(platform(), this);
    return true;
}

void formLudomat2::cmdUsuario_Click() {
    // A window still going away after a sign-in is not the one to show again.
    if (usuarioWindow && usuarioWindow->isUnloading()) {
        usuarioWindow.clear();
    }
    session_->ownerSeal().forget(); // the administrator's key goes until the next sign-in
    if (board_->store()) {          // a change of user, not the start-up
        // Nobody signed in may act through a window the last operator left open.
        if (tarifaWindow) {
            tarifaWindow->cmdSalir_Click();
        }
        board_->noteChangeOfUser();
    }
    const bool fresh = !usuarioWindow;
    formUsuario *accounts = ui::loadForm(usuarioWindow, platform(), *accounts_);
    if (fresh) {
        connect(accounts, &formUsuario::signedIn, this, [this] {
            setEnabled(true);
            activateWindow();
        });
        connect(accounts, &formUsuario::exitRequested, this, [this] { platform().ender.endProgram(); });
    }
    accounts->keepAbove(*this);
    accounts->showForm();
    setEnabled(false);
}

void formLudomat2::cmdCierreCaja_Click() {
    if (!cajaWindow) {
        formCaja *caja = ui::loadForm(cajaWindow, platform(), *session_, *board_, *accounts_);
        connect(caja, &formCaja::left, this, [this] { setEnabled(true); });
        connect(caja, &formCaja::restored, this, &formLudomat2::cmdUsuario_Click);
    }
    formCaja *caja = cajaWindow;
    caja->keepAbove(*this);
    caja->showForm();
    setEnabled(false);
}

void formLudomat2::cmdTarifa_Click() {
    // The rate it charges goes with it: the stored one may have been changed since the start.
    ui::loadForm(tarifaWindow, platform(), *this, board_->rate())->showForm(); // the main window stays usable
}

void formLudomat2::cmdSalir_Click() {
    session_->ownerSeal().forget();
    board_->shutDown();
    platform().ender.endProgram();
}

bool formLudomat2::noteProgramEnd() {
    return board_->noteProgramEnd();
}

bool formLudomat2::queryClose() {
    // While the administrator is adding an account nothing ends the program.
    if (usuarioWindow && !usuarioWindow->isUnloading() && usuarioWindow->mode() == formUsuario::Mode::NewAccount) {
        return false;
    }
    cmdSalir_Click();
    return true;
}

QString formLudomat2::journalUser() const {
    return session_->user();
}

void formLudomat2::afterSignIn(std::function<void()> say) {
    if (signedIn_) {
        say();
    } else {
        afterSignIn_.append(std::move(say));
    }
}

void formLudomat2::changeEvent(QEvent *event) {
    ui::Form::changeEvent(event);
    // The main window is first enabled by a sign-in: what start-up had to say comes now.
    if (event->type() == QEvent::EnabledChange && isEnabled() && !signedIn_) {
        signedIn_ = true;
        const QList<std::function<void()>> held = std::exchange(afterSignIn_, {});
        for (const auto &say : held) {
            say();
        }
    }
    // The window that holds this one disabled comes back when this one is activated, even if
    // it was minimised or hidden: the operator can never be left without a way on.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !isEnabled()) {
        for (ui::Form *holder :
             {static_cast<ui::Form *>(usuarioWindow.data()), static_cast<ui::Form *>(cajaWindow.data())}) {
            if (holder && !holder->isUnloading()) {
                holder->showNormal();
                holder->showForm();
                break;
            }
        }
    }
}
