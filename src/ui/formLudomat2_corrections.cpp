// The corrections a running station's menu offers: blocks added and courtesy time on a prepaid
// rental, a discount on a Contador one, a move to an idle station and a cancellation. Any
// operator adds blocks and moves; courtesy, discounts and cancellations take a reason and the
// administrator's password, checked through the same throttle as every password, as does the
// room's setting that turns the checkout off.
#include "ui/formLudomat2.h"

#include "accounts/AccountService.h"
#include "data/NumberText.h"
#include "rate/RateInput.h"
#include "stations/StationBoard.h"
#include "stations/StationMath.h"
#include "stations/StationModel.h"
#include "ui/AdministratorPasswordDialog.h"
#include "ui/CorrectionDialog.h"

namespace {

QString clockText(const stations::Station &s) {
    return stations::clockText(s.hours, s.minutes, s.seconds);
}

QString money(qint64 cents) {
    return QStringLiteral("$ ") + numtext::amountText(cents);
}

} // namespace

void formLudomat2::askCorrection(int index, Correction kind) {
    const stations::Station &s = board_.station(index);
    if (!s.running || board_.isExpiring(index)) {
        return;
    }
    if ((kind == Correction::AddBlocks || kind == Correction::Cancel) && saleCheck_ && !saleCheck_()) {
        return;
    }
    const QString name = board_.setup(index).name;
    const bool contador = s.mode == stations::StationMode::Contador;
    CorrectionDialog::Fields f;
    f.about = contador ? QStringLiteral("%1 (Contador): %2, %3").arg(name, clockText(s), money(s.cents))
                       : QStringLiteral("%1 (Prepago): quedan %2").arg(name, clockText(s));
    if (contador && s.discountCents > 0) {
        f.about += QStringLiteral(", descuento ya hecho %1").arg(money(s.discountCents));
    }
    f.reason = f.password = kind == Correction::Courtesy || kind == Correction::Discount || kind == Correction::Cancel;
    switch (kind) {
    case Correction::AddBlocks:
        f.title = QStringLiteral("Agregar bloques ") + stationPhrase(index, QStringLiteral("a"));
        f.about += QStringLiteral("\nCada bloque: %1 minutos por %2.").arg(s.rate.Minutos).arg(money(s.rate.cents));
        f.countLabel = QStringLiteral("&Bloques:");
        f.countMax = stations::kMaxBlocks;
        break;
    case Correction::Courtesy:
        f.title = QStringLiteral("Tiempo de cortesía ") + stationPhrase(index, QStringLiteral("en"));
        f.countLabel = QStringLiteral("M&inutos:");
        f.countMax = stations::kMaxCourtesyMinutes;
        break;
    case Correction::Discount:
        f.title = QStringLiteral("Descuento ") + stationPhrase(index, QStringLiteral("en"));
        f.amountLabel = QStringLiteral("&Importe a descontar:");
        break;
    case Correction::Cancel:
        f.title = QStringLiteral("Anular el alquiler ") + stationPhrase(index, QStringLiteral("de"));
        f.about += contador ? QStringLiteral("\nSe cierra sin cobrar nada.")
                            : QStringLiteral("\nSe devuelven %1 (lo pagado).")
                                  .arg(money(stations::blockAmount(s.rate.cents, s.blocks)));
        break;
    case Correction::Move:
        f.title = QStringLiteral("Mover ") + stationPhrase(index, {});
        for (int other = 0; other < board_.count(); ++other) {
            if (!board_.station(other).running && !board_.isExpiring(other)) {
                f.stations.append({other, board_.setup(other).name});
            }
        }
        if (f.stations.isEmpty()) {
            platform().messages.showMessage(
                this, QStringLiteral("No hay ningún puesto libre al que mover %1.").arg(stationPhrase(index, {})));
            return;
        }
        break;
    }
    auto *dialog = new CorrectionDialog(this, f);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &CorrectionDialog::submitted, this,
            [this, dialog, kind, target = stations::Target{index, s.openedUtc}] {
                submitCorrection(dialog, target, kind);
            });
    connect(dialog, &QDialog::finished, this, [this] { activateWindow(); });
    dialog->open();
}

void formLudomat2::submitCorrection(CorrectionDialog *dialog, const stations::Target &target, Correction kind) {
    const auto refuse = [this, dialog](const QString &why) { platform().messages.showMessage(dialog, why); };
    qint64 cents = 0;
    if (kind == Correction::Discount) {
        const std::optional<double> pesos = rate::readPesos(dialog->amount());
        if (!pesos || *pesos >= rate::kMaxPesos) {
            refuse(QStringLiteral("El importe a descontar («%1») no es válido. ").arg(dialog->amount()) +
                   rate::acceptedForms());
            return;
        }
        cents = stations::centsOf(*pesos);
    }
    stations::Approval approval;
    if (kind == Correction::Courtesy || kind == Correction::Discount || kind == Correction::Cancel) {
        // Nothing else left to refuse before a password is tried: a wrong one counts.
        if (dialog->reason().trimmed().isEmpty()) {
            refuse(QStringLiteral("Escriba el motivo."));
            return;
        }
        const accounts::AdministratorCheck said = accounts_.checkAdministratorPassword(dialog->password());
        if (said.verdict != accounts::AdministratorCheck::Verdict::Right) {
            refuse(said.refusal);
            dialog->clearPassword();
            return;
        }
        approval = {said.name, dialog->reason()};
    }
    stations::Change change;
    switch (kind) {
    case Correction::AddBlocks:
        change = board_.addBlocks(target, dialog->count());
        break;
    case Correction::Courtesy:
        change = board_.giveCourtesy(target, dialog->count(), approval);
        break;
    case Correction::Discount:
        change = board_.giveDiscount(target, cents, approval);
        break;
    case Correction::Cancel:
        change = board_.cancel(target, approval);
        break;
    case Correction::Move:
        change = board_.move(target, dialog->station());
        break;
    }
    if (!change.refusal.isEmpty()) {
        refuse(change.refusal);
        const stations::Station &now = board_.station(target.index);
        if (now.running && now.openedUtc == target.openedUtc && !board_.isExpiring(target.index)) {
            return; // the rental is still there: the operator may put it right
        }
    }
    // Done, or the file refused it and said so, or the rental is gone: nothing more to ask.
    change.done ? dialog->accept() : dialog->reject();
}

void formLudomat2::askAdministrator(const QString &why, std::function<void(const QString &administrator)> then) {
    auto *dialog = new AdministratorPasswordDialog(this, why, [this, then = std::move(then)](const QString &typed) {
        const accounts::AdministratorCheck said = accounts_.checkAdministratorPassword(typed);
        if (said.verdict != accounts::AdministratorCheck::Verdict::Right) {
            platform().messages.showMessage(this, said.refusal);
            return false;
        }
        then(said.name);
        return true;
    });
    connect(dialog, &QDialog::finished, this, [this] { activateWindow(); });
    dialog->open();
}

void formLudomat2::askCheckoutSetting() {
    const bool on = !board_.confirmsCheckout();
    askAdministrator(on ? QStringLiteral("Para que cerrar un puesto muestre otra vez el cobro, escriba la contraseña "
                                         "del administrador.")
                        : QStringLiteral("Para que cerrar un puesto lo cierre al instante, sin mostrar el cobro, "
                                         "escriba la contraseña del administrador."),
                     [this, on](const QString &administrator) { board_.setConfirmsCheckout(on, administrator); });
}

void formLudomat2::askPrinterSettings() {
    askAdministrator(QStringLiteral("Para cambiar la impresora de recibos, escriba la contraseña del administrador."),
                     [this](const QString &administrator) { Q_EMIT printerSettingsAsked(administrator); });
}

void formLudomat2::askViewSettings() {
    askAdministrator(QStringLiteral("Para cambiar la vista del dueño desde el teléfono, escriba la contraseña del "
                                    "administrador."),
                     [this](const QString &administrator) { Q_EMIT viewSettingsAsked(administrator); });
}

void formLudomat2::askRoomSettings() {
    askAdministrator(QStringLiteral("Para cambiar los puestos, las consolas o sus precios, escriba la contraseña del "
                                    "administrador."),
                     [this](const QString &administrator) { Q_EMIT roomSettingsAsked(administrator); });
}
