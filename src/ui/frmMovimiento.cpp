#include "ui/frmMovimiento.h"

#include "accounts/Session.h"
#include "data/NumberText.h"
#include "platform/Platform.h"
#include "shifts/ShiftService.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmMovimiento::frmMovimiento(QWidget *parent, sys::Platform &platform, shifts::ShiftService &shifts,
                             const accounts::Session &session, shifts::MovementKind kind)
    : QDialog(parent), platform_(platform), shifts_(shifts), session_(session) {
    setObjectName(QStringLiteral("frmMovimiento"));
    setWindowTitle(QStringLiteral("Movimiento de caja"));
    auto *form = new QFormLayout;
    lblTurno = new QLabel(this);
    lblTurno->setObjectName(QStringLiteral("lblTurno"));
    if (const auto open = shifts.current().shift) {
        lblTurno->setText(QStringLiteral("Turno %1 de %2").arg(open->numero).arg(open->usuario));
    }
    form->addRow(lblTurno);
    cboTipo = new QComboBox(this);
    cboTipo->setObjectName(QStringLiteral("cboTipo"));
    for (const shifts::MovementKind k :
         {shifts::MovementKind::Retiro, shifts::MovementKind::Gasto, shifts::MovementKind::Ingreso}) {
        cboTipo->addItem(shifts::movementText(k), int(k));
    }
    cboTipo->setCurrentIndex(cboTipo->findData(int(kind)));
    form->addRow(QStringLiteral("&Tipo:"), cboTipo);
    txtImporte = new QLineEdit(this);
    txtImporte->setObjectName(QStringLiteral("txtImporte"));
    form->addRow(QStringLiteral("&Importe: $"), txtImporte);
    txtMotivo = new QLineEdit(this);
    txtMotivo->setObjectName(QStringLiteral("txtMotivo"));
    txtMotivo->setMaxLength(200);
    // Room for a reason as it is usually written, and for the window's title.
    txtMotivo->setMinimumWidth(txtMotivo->fontMetrics().averageCharWidth() * 36);
    form->addRow(QStringLiteral("&Motivo:"), txtMotivo);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *accept = buttons->addButton(QStringLiteral("&Aceptar"), QDialogButtonBox::AcceptRole);
    accept->setObjectName(QStringLiteral("cmdAceptar"));
    QPushButton *cancel = buttons->addButton(QStringLiteral("&Cancelar"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancelar"));
    accept->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &frmMovimiento::cmdAceptar_Click);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    txtImporte->setFocus();
}

void frmMovimiento::cmdAceptar_Click() {
    const auto kind = static_cast<shifts::MovementKind>(cboTipo->currentData().toInt());
    const shifts::AmountCheck amount = shifts::checkMovementAmount(txtImporte->text());
    if (!amount.problem.isEmpty()) {
        platform_.messages.showMessage(this, amount.problem);
        txtImporte->setFocus();
        return;
    }
    if (kind == shifts::MovementKind::Gasto && txtMotivo->text().trimmed().isEmpty()) {
        platform_.messages.showMessage(this, QStringLiteral("Escriba en qué se gastó: un gasto sin motivo no se "
                                                            "registra."));
        txtMotivo->setFocus();
        return;
    }
    if (kind == shifts::MovementKind::Retiro) {
        const auto open = shifts_.current().shift;
        if (open && amount.cents > open->expectedCents) {
            const int answer = platform_.messages.ask(
                this,
                QStringLiteral("El retiro ($ %1) es mayor que el efectivo que debería haber en la caja ($ %2). "
                               "¿Registrarlo igual?")
                    .arg(numtext::amountText(amount.cents), numtext::amountText(open->expectedCents)),
                {QStringLiteral("Registrar el retiro"), QStringLiteral("Corregir")});
            if (answer != 0) {
                return;
            }
        }
    }
    const shifts::ShiftService::Result done =
        shifts_.addMovement(kind, amount.cents, txtMotivo->text(), session_.user());
    if (!done.ok) {
        platform_.messages.showMessage(this, done.problem);
        return;
    }
    accept();
}
