#include "ui/frmArqueo.h"

#include "accounts/AccountService.h"
#include "accounts/Session.h"
#include "data/NumberText.h"
#include "shifts/ShiftService.h"
#include "ui/AdministratorPasswordDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int kRowTwips = 420;
constexpr int kFirstRow = 840;

QString money(qint64 cents) {
    return QStringLiteral("$ ") + numtext::amountText(cents);
}

QLabel *label(QWidget *parent, const QString &name, const QString &text) {
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setAttribute(Qt::WA_TranslucentBackground);
    return l;
}

} // namespace

frmArqueo::frmArqueo(sys::Platform &platform, shifts::ShiftService &shifts, accounts::AccountService &accounts,
                     const accounts::Session &session, const shifts::ShiftRecord &shift, bool unclosed)
    : ui::Form(platform, QStringLiteral("Arqueo de caja"),
               QSize(6240, kFirstRow + kRowTwips * int(shifts.denominations().size()) + 2400), QSize(416, 300), 12),
      shifts_(shifts), accounts_(accounts), session_(session), numero_(shift.numero),
      denominations_(shifts.denominations()) {
    setObjectName(QStringLiteral("frmArqueo"));
    const QString opened = shift.apertura.toString(QStringLiteral("dd/MM/yyyy HH:mm"));
    lblTurno = label(this, QStringLiteral("lblTurno"),
                     unclosed ? QStringLiteral("El turno %1 de %2, abierto el %3, no se cerró. Cuente la caja para "
                                               "cerrarlo.")
                                    .arg(shift.numero)
                                    .arg(shift.usuario, opened)
                              : QStringLiteral("Turno %1 de %2, abierto el %3. Cuente la caja: cuántos hay de cada "
                                               "billete y moneda.")
                                    .arg(shift.numero)
                                    .arg(shift.usuario, opened));
    lblTurno->setWordWrap(true);
    place(lblTurno, 240, 120, 5760, 660);

    QList<QWidget *> order;
    int top = kFirstRow;
    for (const qint64 cents : denominations_) {
        QLabel *name = label(this, QStringLiteral("lblBillete_%1").arg(cents), money(cents));
        name->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        place(name, 240, top, 1800, 375);
        auto *box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("txtCantidad_%1").arg(cents));
        box->setPlaceholderText(QStringLiteral("0"));
        box->setAlignment(Qt::AlignRight);
        place(box, 2160, top, 1200, 375);
        connect(box, &QLineEdit::textChanged, this, &frmArqueo::showTotal);
        ui::onKeyDown(box, [this](int key, Qt::KeyboardModifiers) {
            if (!ui::isEnterKey(key) || cmdCerrarTurno->isHidden()) {
                return false;
            }
            cmdCerrarTurno->click();
            return true;
        });
        boxes_.insert(cents, box);
        order << box;
        top += kRowTwips;
    }
    lblTotal = label(this, QStringLiteral("lblTotal"), {});
    place(lblTotal, 240, top + 60, 5760, 375);
    lblEsperado = label(this, QStringLiteral("lblEsperado"), {});
    place(lblEsperado, 240, top + 480, 2760, 375);
    lblDiferencia = label(this, QStringLiteral("lblDiferencia"), {});
    place(lblDiferencia, 3120, top + 480, 2880, 375);
    txtNota = new QLineEdit(this);
    txtNota->setObjectName(QStringLiteral("txtNota"));
    txtNota->setPlaceholderText(QStringLiteral("Nota del administrador"));
    txtNota->setMaxLength(500);
    place(txtNota, 240, top + 960, 4080, 375);
    cmdNota = button(this, "cmdNota", QStringLiteral("Guardar &nota"), 4440, top + 940, 1560, 415);
    const int buttons = top + 1560;
    cmdCerrarTurno = button(this, "cmdCerrarTurno", QStringLiteral("Cerrar &turno"), 240, buttons, 1800, 435);
    cmdSinArqueo = button(this, "cmdSinArqueo", QStringLiteral("Cerrar sin &arqueo"), 2160, buttons, 1920, 435);
    cmdCancelar = button(this, "cmdCancelar", QStringLiteral("&Cancelar"), 4200, buttons, 1800, 435);
    cmdRecontar = button(this, "cmdRecontar", QStringLiteral("&Recontar"), 240, buttons, 1800, 435);
    cmdContinuar = button(this, "cmdContinuar", QStringLiteral("C&ontinuar"), 4200, buttons, 1800, 435);
    cmdSinArqueo->setVisible(unclosed);
    for (QWidget *w :
         {static_cast<QWidget *>(lblEsperado), static_cast<QWidget *>(lblDiferencia), static_cast<QWidget *>(txtNota),
          static_cast<QWidget *>(cmdNota), static_cast<QWidget *>(cmdRecontar), static_cast<QWidget *>(cmdContinuar)}) {
        w->hide();
    }
    tabChain(order << cmdCerrarTurno << cmdSinArqueo << cmdCancelar << txtNota << cmdNota << cmdRecontar
                   << cmdContinuar);
    connect(cmdCerrarTurno, &QPushButton::clicked, this, &frmArqueo::cmdCerrarTurno_Click);
    connect(cmdSinArqueo, &QPushButton::clicked, this, &frmArqueo::cmdSinArqueo_Click);
    connect(cmdNota, &QPushButton::clicked, this, &frmArqueo::cmdNota_Click);
    connect(cmdRecontar, &QPushButton::clicked, this, &frmArqueo::cmdRecontar_Click);
    connect(cmdCancelar, &QPushButton::clicked, this, [this] {
        unload();
        Q_EMIT cancelled();
    });
    connect(cmdContinuar, &QPushButton::clicked, this, [this] {
        unload();
        Q_EMIT finished();
    });
    showTotal();
    if (!order.isEmpty()) {
        setFocusProxy(order.first());
    }
}

bool frmArqueo::queryClose() {
    // The close box: before the count is stored it cancels the sign-out; after, it goes on.
    unload();
    if (closed_) {
        Q_EMIT finished();
    } else {
        Q_EMIT cancelled();
    }
    return true;
}

void frmArqueo::showTotal() {
    qint64 total = 0;
    for (auto it = boxes_.cbegin(); it != boxes_.cend(); ++it) {
        const shifts::PiecesCheck n = shifts::checkPieces(it.value()->text(), it.key());
        if (!n.problem.isEmpty()) {
            lblTotal->setText(QStringLiteral("Total contado: revise la cantidad de %1").arg(money(it.key())));
            return;
        }
        total += n.pieces * it.key();
    }
    lblTotal->setText(QStringLiteral("Total contado: %1").arg(money(total)));
}

void frmArqueo::cmdCerrarTurno_Click() {
    shifts::Count count;
    for (const qint64 cents : denominations_) {
        QLineEdit *box = boxes_.value(cents);
        const shifts::PiecesCheck n = shifts::checkPieces(box->text(), cents);
        if (!n.problem.isEmpty()) {
            platform().messages.showMessage(this, n.problem + QStringLiteral("\nNo se guardó nada."));
            box->setFocus();
            box->selectAll();
            return;
        }
        count << shifts::CountLine{cents, n.pieces};
    }
    const shifts::ShiftService::CloseResult done =
        closed_ ? shifts_.recount(numero_, count, session_.user()) : shifts_.close(count, session_.user());
    if (!done.ok) {
        platform().messages.showMessage(this, done.problem);
        return;
    }
    showResult(done.closing.shift);
}

void frmArqueo::cmdSinArqueo_Click() {
    asAdministrator(QStringLiteral("Para cerrar el turno sin contar la caja, escriba la contraseña del administrador."),
                    [this](const QString &administrator) {
                        const shifts::ShiftService::CloseResult done = shifts_.closeUncounted(administrator);
                        if (!done.ok) {
                            platform().messages.showMessage(this, done.problem);
                            return;
                        }
                        showResult(done.closing.shift);
                    });
}

void frmArqueo::showResult(const shifts::ShiftRecord &closed) {
    closed_ = true;
    for (QLineEdit *box : std::as_const(boxes_)) {
        box->setReadOnly(true);
    }
    lblEsperado->setText(QStringLiteral("Esperado: %1").arg(money(closed.expectedCents)));
    if (!closed.differenceCents) {
        lblDiferencia->setText(QStringLiteral("Cerrado sin arqueo"));
    } else if (*closed.differenceCents > 0) {
        lblDiferencia->setText(QStringLiteral("Sobrante: %1").arg(money(*closed.differenceCents)));
    } else if (*closed.differenceCents < 0) {
        lblDiferencia->setText(QStringLiteral("Faltante: %1").arg(money(-*closed.differenceCents)));
    } else {
        lblDiferencia->setText(QStringLiteral("Sin diferencia"));
    }
    for (QWidget *w : {cmdCerrarTurno, cmdSinArqueo, cmdCancelar}) {
        w->hide();
    }
    for (QWidget *w :
         {static_cast<QWidget *>(lblEsperado), static_cast<QWidget *>(lblDiferencia), static_cast<QWidget *>(txtNota),
          static_cast<QWidget *>(cmdNota), static_cast<QWidget *>(cmdContinuar)}) {
        w->show();
    }
    cmdRecontar->setVisible(closed.differenceCents.has_value());
    setFocusProxy(cmdContinuar);
    cmdContinuar->setFocus();
}

void frmArqueo::cmdRecontar_Click() {
    // A new count of its own; the one stored stays as it was.
    for (QLineEdit *box : std::as_const(boxes_)) {
        box->setReadOnly(false);
    }
    cmdRecontar->hide();
    cmdCerrarTurno->setText(QStringLiteral("Guardar re&cuento"));
    cmdCerrarTurno->show();
    if (!denominations_.isEmpty()) {
        boxes_.value(denominations_.first())->setFocus();
    }
}

void frmArqueo::cmdNota_Click() {
    const QString note = txtNota->text();
    if (note.trimmed().isEmpty()) {
        platform().messages.showMessage(this, QStringLiteral("Escriba la nota."));
        return;
    }
    asAdministrator(QStringLiteral("Para anotar el turno, escriba la contraseña del administrador."),
                    [this, note](const QString &administrator) {
                        const shifts::ShiftService::Result done = shifts_.setNote(numero_, note, administrator);
                        platform().messages.showMessage(this,
                                                        done.ok ? QStringLiteral("Nota guardada.") : done.problem);
                    });
}

void frmArqueo::asAdministrator(const QString &why, std::function<void(const QString &administrator)> action) {
    if (session_.isAdministrator()) {
        action(session_.user());
        return;
    }
    auto *dialog = new AdministratorPasswordDialog(this, why, [this, action = std::move(action)](const QString &typed) {
        const accounts::AdministratorCheck said = accounts_.checkAdministratorPassword(typed);
        if (said.verdict != accounts::AdministratorCheck::Verdict::Right) {
            platform().messages.showMessage(this, said.refusal);
            return false;
        }
        action(said.name);
        return true;
    });
    dialog->open();
}
