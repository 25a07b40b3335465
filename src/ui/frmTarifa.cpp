#include "ui/frmTarifa.h"

#include "accounts/AccountService.h"
#include "data/NumberText.h"
#include "rate/RateService.h"
#include "stations/StationMath.h"
#include "ui/AdministratorPasswordDialog.h"
#include "ui/FittedText.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int kRow1 = 120;
constexpr int kRow2 = 1080;
constexpr int kRow3 = 2160;
constexpr int kLabelRow1 = 240;
constexpr int kLabelRow2 = 1200;
constexpr int kInForceRow = 2700;

// "30 minutos por $ 10,00": the regional decimal comma, two decimals, no grouping.
QString rateText(qint64 minutes, double pesos) {
    return numtext::minutesText(minutes) + QStringLiteral(" por $ ") + numtext::amountText(pesos);
}

} // namespace

frmTarifa::frmTarifa(sys::Platform &platform, rate::RateService &rates, accounts::AccountService &accounts,
                     stations::Rate inForce)
    : ui::Form(platform, QStringLiteral("Cambio de Tarifa"), QSize(5025, 3555), QSize(335, 237), 5), rates_(rates),
      accounts_(accounts), inForce_(inForce) {
    setObjectName(QStringLiteral("frmTarifa"));

    auto label = [this](int index, const QString &text, int left, int top, int width) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QStringLiteral("Label1_%1").arg(index));
        l->setAttribute(Qt::WA_TranslucentBackground);
        place(l, left, top, width, 255);
        Label1[static_cast<size_t>(index)] = l;
    };
    auto box = [this](const char *name, int left, int top, int width) {
        auto *b = new QLineEdit(QStringLiteral("0"), this);
        b->setObjectName(QString::fromLatin1(name));
        place(b, left, top, width, 375);
        return b;
    };
    auto button = [this](const char *name, const QString &caption, int left) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        place(b, left, kRow3, 2175, 375);
        return b;
    };

    label(0, QStringLiteral("Tarifa Actual"), 360, kLabelRow1, 1455);
    label(1, QStringLiteral("$"), 1920, kLabelRow1, 195);
    txtPesos1 = box("txtPesos1", 2160, kRow1, 615);
    label(2, QStringLiteral("Minutos"), 3120, kLabelRow1, 855);
    txtMinutos1 = box("txtMinutos1", 4080, kRow1, 495);
    label(3, QStringLiteral("Nueva Tarifa"), 240, kLabelRow2, 1575);
    label(4, QStringLiteral("$"), 1920, kLabelRow2, 195);
    txtPesos2 = box("txtPesos2", 2160, kRow2, 615);
    label(5, QStringLiteral("Minutos"), 3120, kLabelRow2, 855);
    txtMinutos2 = box("txtMinutos2", 4080, kRow2, 495);
    txtPesos2->setText(QStringLiteral("1"));
    txtMinutos2->setText(QStringLiteral("1"));
    cmdGuardar = button("cmdGuardar", QStringLiteral("&Guardar cambios"), 120);
    cmdSalir = button("cmdSalir", QStringLiteral("&Salir"), 2640);
    // Below the rows, in the window's free band: no control moves for it.
    lblEnUso = new QLabel(this);
    lblEnUso->setObjectName(QStringLiteral("lblEnUso"));
    lblEnUso->setAttribute(Qt::WA_TranslucentBackground);
    lblEnUso->setWordWrap(true);
    place(lblEnUso, 120, kInForceRow, 4695, 600);
    lblEnUso->hide();

    // The current rate is shown, never read back: it cannot be typed into, and the cursor
    // starts in the new rate.
    for (QLineEdit *current : {txtPesos1, txtMinutos1}) {
        current->setReadOnly(true);
        current->setFocusPolicy(Qt::NoFocus);
    }
    tabChain({txtPesos1, txtMinutos1, txtPesos2, txtMinutos2, cmdGuardar, cmdSalir});
    txtPesos2->setFocus(Qt::OtherFocusReason);

    connect(cmdGuardar, &QPushButton::clicked, this, &frmTarifa::cmdGuardar_Click);
    connect(cmdSalir, &QPushButton::clicked, this, &frmTarifa::cmdSalir_Click);
}

frmTarifa::~frmTarifa() = default;

void frmTarifa::Form_Load() {
    const rate::RateService::Current stored = rates_.current();
    if (!stored.problem.isEmpty()) {
        platform().messages.showMessage(this, stored.problem);
        return;
    }
    const QVariant &pesos = stored.pesos;
    const QVariant &minutos = stored.minutes;
    ui::setFittedText(txtPesos1, pesos.isNull() ? QString() : numtext::toText(pesos.toDouble()));
    ui::setFittedText(txtMinutos1, minutos.isNull() ? QString() : numtext::toText(minutos.toDouble()));
    // A rate saved in this run is stored but not charged until the next start: row 1 alone would
    // say otherwise. The stored amount is charged to the cent, as the room took it at the start.
    if (minutos.isNull() || pesos.isNull() || minutos.toDouble() != inForce_.Minutos ||
        stations::centsOf(pesos.toDouble()) != inForce_.cents) {
        lblEnUso->setText(QStringLiteral("En uso hasta reiniciar: ") +
                          rateText(inForce_.Minutos, stations::pesosOf(inForce_.cents)));
        lblEnUso->show();
    }
}

void frmTarifa::cmdGuardar_Click() {
    if (isUnloading()) {
        return;
    }
    if (passwordDialog_) {
        passwordDialog_->raise();
        passwordDialog_->activateWindow();
        return;
    }
    const rate::RateCheck check = rate::checkNewRate(txtMinutos2->text(), txtPesos2->text());
    if (!check.rate) {
        platform().messages.showMessage(this, check.problem);
        return;
    }
    // Only the administrator changes the price: asked here, checked before anything is stored.
    auto *dialog = new AdministratorPasswordDialog(
        this,
        QStringLiteral("Para guardar la nueva tarifa (%1) escriba la contraseña del administrador.")
            .arg(rateText(check.rate->minutes, check.rate->pesos)),
        [this](const QString &typed) {
            const accounts::AdministratorCheck said = accounts_.checkAdministratorPassword(typed);
            if (said.verdict == accounts::AdministratorCheck::Verdict::Right) {
                return true;
            }
            platform().messages.showMessage(this, said.refusal);
            return false;
        });
    passwordDialog_ = dialog;
    connect(dialog, &QDialog::accepted, this, [this, rate = *check.rate] { store(rate); });
    dialog->open();
}

void frmTarifa::store(const rate::NewRate &rate) {
    if (isUnloading()) {
        return;
    }
    if (const rate::RateService::Result result = rates_.store(rate); !result.stored) {
        platform().messages.showMessage(this, result.problem);
        return;
    }
    platform().messages.showMessage(
        this, QStringLiteral("Se guardó la tarifa: %1. ").arg(rateText(rate.minutes, rate.pesos)) +
                  QStringLiteral("Para que los cambios en la tarifa surtan efecto debe cerrar y volver a abrir el "
                                 "Programa."));
    unload();
}

void frmTarifa::cmdSalir_Click() {
    unload();
}

bool frmTarifa::queryClose() {
    cmdSalir_Click();
    return true;
}
