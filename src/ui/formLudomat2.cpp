#include "ui/formLudomat2.h"

#include "stations/StationBoard.h"
#include "ui/DisplayBox.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
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

formLudomat2::formLudomat2(sys::Platform &platform, accounts::Session &session, accounts::AccountService &accounts,
                           stations::StationBoard &board)
    : ui::Form(platform, QStringLiteral("Zidorodiz Ludomat para Cyber-Café"), QSize(8745, 5235), QSize(569, 416), 1),
      session_(session), accounts_(accounts), board_(board) {
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
    connect(refreshTimer, &QTimer::timeout, &board_, &stations::StationBoard::refreshOpenRows);
    refreshTimer->start();
}

formLudomat2::~formLudomat2() = default;

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
    // The keyboard's menu: Shift+F10 as well as the menu key, on the row that has the focus; and
    // the room's pause for a power cut.
    connect(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this), &QShortcut::activated, this, [this] {
        QWidget *at = focusWidget() ? focusWidget() : this;
        showMenu(rowOf(at), at->mapToGlobal(at->rect().center()));
    });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), this), &QShortcut::activated, &board_,
            &stations::StationBoard::pauseAll);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R), this), &QShortcut::activated, &board_,
            &stations::StationBoard::resumeAll);
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

QColor formLudomat2::digitsColour() {
    return kDarkBlue;
}

QString formLudomat2::idleCaption(int index) {
    return QStringLiteral("Habilitar Puesto &%1").arg(index + 1);
}

QString formLudomat2::runningCaption(int index) {
    return QStringLiteral("Cerrar Puesto &%1").arg(index + 1);
}

void formLudomat2::cmdUsuario_Click() {
    Q_EMIT changeOfUserAsked();
}

void formLudomat2::cmdCierreCaja_Click() {
    Q_EMIT cashCloseAsked();
}

void formLudomat2::cmdTarifa_Click() {
    Q_EMIT rateAsked();
}

void formLudomat2::cmdSalir_Click() {
    Q_EMIT exitAsked();
}

bool formLudomat2::queryClose() {
    // Whoever composes the program decides (an account being added holds it) and ends it.
    cmdSalir_Click();
    return false;
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
    // The window that holds this one disabled must come back when this one is activated, even if
    // it was minimised or hidden: the operator can never be left without a way on.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !isEnabled()) {
        Q_EMIT activatedWhileDisabled();
    }
}
