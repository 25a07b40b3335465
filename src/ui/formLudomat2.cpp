#include "ui/formLudomat2.h"

#include "stations/StationBoard.h"
#include "ui/CheckoutDialog.h"
#include "ui/CorrectionDialog.h"
#include "ui/DisplayBox.h"
#include "ui/FittedText.h"
#include "ui/Twips.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>
#include <utility>

namespace {

constexpr int kRowTop = 600;
constexpr int kRowPitch = 840;
// The window and its bottom band as drawn for the delivered five rows; each row more or less
// moves the band and the window's bottom by one pitch.
constexpr int kWidth = 8745;
constexpr int kHeight = 5235;
constexpr int kBandTop = 4680;
const QColor kDarkBlue(0, 0, 192);

// Rows 0 to 4 keep the frames' names they always had; from row 5 on, Frame6 and so on.
QString frameName(int row) {
    static const char *const names[stations::kStations] = {"Frame5", "Frame1", "Frame2", "Frame3", "Frame4"};
    return row < stations::kStations ? QString::fromLatin1(names[row]) : QStringLiteral("Frame%1").arg(row + 1);
}

// The "$" labels are Label1 .. Label5; Label6 onwards name other controls, so later rows have their own.
QString dollarName(int row) {
    return row < stations::kStations ? QStringLiteral("Label%1").arg(row + 1) : QStringLiteral("lblPesos_%1").arg(row);
}

int extraRows(int rows) {
    return (rows - stations::kStations) * kRowPitch;
}

QSize clientSize(int rows) {
    return QSize(kWidth, kHeight + extraRows(rows));
}

const char *const kNaturalFont = "ludomatNaturalFont";

QString withoutAccessKeys(QString text) {
    text.replace(QStringLiteral("&&"), QChar(1));
    text.remove(QLatin1Char('&'));
    return text.replace(QChar(1), QLatin1Char('&'));
}

// A station of the delivered name in its own row has its digit as the caption's access key.
bool digitInCaption(const QString &name, int row) {
    return row < formLudomat2::kAccessKeyRows && name == QStringLiteral("Puesto %1").arg(row + 1);
}

QString caption(const QString &verb, const QString &name, int row) {
    if (digitInCaption(name, row)) {
        return verb + QStringLiteral(" Puesto &%1").arg(row + 1);
    }
    return verb + QLatin1Char(' ') + QString(name).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

QFont boldFont(const QFont &base) {
    QFont f = base;
    f.setBold(true);
    return f;
}

} // namespace

formLudomat2::formLudomat2(sys::Platform &platform, accounts::Session &session, accounts::AccountService &accounts,
                           stations::StationBoard &board)
    : ui::Form(platform, QStringLiteral("Zidorodiz Ludomat para Cyber-Café"), clientSize(board.count()),
               QSize(569, 416), 1),
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

    buildBottomBand();
    connectHandlers();
    rebuildRows();
    connectBoard();
    connect(&board_, &stations::StationBoard::roomChanged, this, &formLudomat2::rebuildRows);

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

QList<QWidget *> formLudomat2::rowWidgets(int index) const {
    const auto i = static_cast<size_t>(index);
    // The frame holds the row's two options.
    QList<QWidget *> row{frames[i],         vsTiempo[i],   Label7[i],       txtHora[i],  Label6[2 * i], txtMinuto[i],
                         Label6[2 * i + 1], txtSegundo[i], dollarLabels[i], txtPesos[i], cmdPuesto[i]};
    if (spnMandos[i]) {
        row << spnMandos[i];
    }
    return row;
}

void formLudomat2::rebuildRows() {
    const bool first = cmdPuesto.empty();
    // A checkout or a correction asked about an old row goes with it.
    for (QDialog *question : findChildren<QDialog *>()) {
        if (qobject_cast<CheckoutDialog *>(question) || qobject_cast<CorrectionDialog *>(question)) {
            question->reject();
        }
    }
    for (int i = 0; i < rowCount(); ++i) {
        qDeleteAll(rowWidgets(i));
        delete rowKeys[static_cast<size_t>(i)];
    }
    const auto rows = static_cast<size_t>(board_.count());
    const auto fresh = [](auto &controls, size_t n) { controls.assign(n, nullptr); };
    fresh(frames, rows);
    fresh(optModo, 2 * rows);
    fresh(vsTiempo, rows);
    fresh(Label7, rows);
    fresh(txtHora, rows);
    fresh(Label6, 2 * rows);
    fresh(txtMinuto, rows);
    fresh(txtSegundo, rows);
    fresh(dollarLabels, rows);
    fresh(txtPesos, rows);
    fresh(cmdPuesto, rows);
    fresh(spnMandos, rows);
    fresh(rowKeys, rows);
    shown_.assign(rows, {});
    for (int i = 0; i < board_.count(); ++i) {
        buildStationRow(i);
        connectRow(i);
    }
    placeBottomBand();
    setTabOrder();
    if (first) {
        return; // made with the window, shown with it; the stations are idle
    }
    for (int i = 0; i < rowCount(); ++i) {
        for (QWidget *w : rowWidgets(i)) {
            w->show(); // made after the window: shown once it is
        }
        showStation(i);
    }
    resizeClient(clientSize(rowCount()));
}

void formLudomat2::buildStationRow(int i) {
    const int top = kRowTop + kRowPitch * i;
    const QString n = QString::number(i);

    auto *frame = new QGroupBox(this);
    frame->setObjectName(frameName(i));
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
    dollar->setObjectName(dollarName(i));
    dollar->setAutoFillBackground(true);
    QPalette white = dollar->palette();
    white.setColor(QPalette::Window, Qt::white);
    dollar->setPalette(white);
    place(dollar, 5370, top + 120, 135, 255);
    dollarLabels[static_cast<size_t>(i)] = dollar;

    txtPesos[static_cast<size_t>(i)] = makeBox(QStringLiteral("txtPesos_"), 5520, 735);

    auto *button = new QPushButton(this);
    button->setObjectName(QStringLiteral("cmdPuesto_") + n);
    button->setAutoDefault(true); // as every button of a shown window
    button->setProperty(kNaturalFont, button->font());
    place(button, 6360, top, 2200, 400);
    cmdPuesto[static_cast<size_t>(i)] = button;

    const stations::StationSetup &setup = board_.setup(i);
    if (i < kAccessKeyRows && !digitInCaption(setup.name, i)) {
        // The caption carries no access key: Alt and the row's digit do what one would.
        auto *key = new QShortcut(QKeySequence(Qt::ALT | (Qt::Key_1 + i)), this);
        connect(key, &QShortcut::activated, button, [button] {
            if (button->isEnabled()) {
                button->animateClick(); // as an access key does: no focus moves
            }
        });
        rowKeys[static_cast<size_t>(i)] = key;
    }
    showCaption(i, false);

    // Controllers only where the console charges for more than one: under "Tiempo", where the
    // delivered room has nothing.
    if (setup.terms.controllerCents > 0) {
        auto *mandos = new QSpinBox(this);
        mandos->setObjectName(QStringLiteral("spnMandos_") + n);
        mandos->setRange(1, pricing::kMaxControllers);
        mandos->setToolTip(QStringLiteral("Mandos"));
        mandos->setValue(board_.station(i).controllers);
        place(mandos, 2640, top + 405, 780, 300); // clear of the next row and of the bottom band
        spnMandos[static_cast<size_t>(i)] = mandos;
    }
}

void formLudomat2::showCaption(int index, bool running) {
    QPushButton *button = cmdPuesto[static_cast<size_t>(index)];
    const QString name = board_.setup(index).name;
    const QString text = running ? runningCaption(name, index) : idleCaption(name, index);
    if (button->text() == text) {
        return;
    }
    // A long name shrinks its caption until the whole of it fits the button.
    QStyleOptionButton option;
    option.initFrom(button);
    option.features = QStyleOptionButton::AutoDefaultButton;
    const int room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
    const QFont font = ui::fittedFont(button->property(kNaturalFont).value<QFont>(), withoutAccessKeys(text), room);
    if (button->font() != font) {
        button->setFont(font);
    }
    button->setText(text);
}

void formLudomat2::buildBottomBand() {
    auto make = [this](const char *name, const QString &caption, int left, int width) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(QString::fromLatin1(name));
        place(button, left, kBandTop, width, 375);
        return button;
    };
    cmdCierreCaja = make("cmdCierreCaja", QStringLiteral("&Cierre de Caja"), 120, 1815);
    cmdTarifa = make("cmdTarifa", QStringLiteral("Cambiar &Tarifa"), 2040, 1815);
    cmdUsuario = make("cmdUsuario", QStringLiteral("C&ambiar de Usuario"), 3960, 2415);
    cmdSalir = make("cmdSalir", QStringLiteral("&Salir"), 6600, 1695);
}

void formLudomat2::placeBottomBand() {
    const int top = kBandTop + extraRows(rowCount());
    for (QPushButton *button : {cmdCierreCaja, cmdTarifa, cmdUsuario, cmdSalir}) {
        button->move(button->x(), ui::tw(top));
    }
}

void formLudomat2::setTabOrder() {
    QList<QWidget *> order;
    for (size_t i = 0; i < cmdPuesto.size(); ++i) {
        order << optModo[2 * i + 1] << optModo[2 * i] << vsTiempo[i];
        if (spnMandos[i]) {
            order << spnMandos[i];
        }
        order << cmdPuesto[i];
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
    // Cash in and out of the drawer.
    for (const auto &[key, kind] :
         {std::pair{Qt::Key_F6, shifts::MovementKind::Retiro}, std::pair{Qt::Key_F7, shifts::MovementKind::Gasto},
          std::pair{Qt::Key_F8, shifts::MovementKind::Ingreso}}) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this,
                [this, kind] { Q_EMIT cashMovementAsked(kind); });
    }
    connect(cmdUsuario, &QPushButton::clicked, this, &formLudomat2::cmdUsuario_Click);
    connect(cmdCierreCaja, &QPushButton::clicked, this, &formLudomat2::cmdCierreCaja_Click);
    connect(cmdTarifa, &QPushButton::clicked, this, &formLudomat2::cmdTarifa_Click);
    connect(cmdSalir, &QPushButton::clicked, this, &formLudomat2::cmdSalir_Click);
}

void formLudomat2::connectRow(int i) {
    const auto s = static_cast<size_t>(i);
    connect(cmdPuesto[s], &QPushButton::clicked, this, [this, i] { cmdPuesto_Click(i); });
    connect(vsTiempo[s], &QScrollBar::valueChanged, this, [this, i] { vsTiempo_Change(i); });
    ui::onKeyDown(vsTiempo[s], [this, i](int key, Qt::KeyboardModifiers m) { return vsTiempo_KeyDown(i, key, m); });
    if (QSpinBox *mandos = spnMandos[s]) {
        connect(mandos, &QSpinBox::valueChanged, this, [this, i] { spnMandos_Change(i); });
    }
    for (const int index : {2 * i, 2 * i + 1}) {
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

QString formLudomat2::idleCaption(const QString &name, int row) {
    return caption(QStringLiteral("Habilitar"), name, row);
}

QString formLudomat2::runningCaption(const QString &name, int row) {
    return caption(QStringLiteral("Cerrar"), name, row);
}

QString formLudomat2::stationPhrase(int index, const QString &preposition) const {
    const QString name = board_.setup(index).name;
    static const QRegularExpression delivered(QStringLiteral("^Puesto \\d+$"));
    if (!delivered.match(name).hasMatch()) {
        return preposition.isEmpty() ? name : preposition + QLatin1Char(' ') + name;
    }
    if (preposition == QLatin1String("a")) {
        return QStringLiteral("al ") + name;
    }
    if (preposition == QLatin1String("de")) {
        return QStringLiteral("del ") + name;
    }
    return (preposition.isEmpty() ? QString() : preposition + QLatin1Char(' ')) + QStringLiteral("el ") + name;
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
