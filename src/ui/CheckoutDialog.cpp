#include "ui/CheckoutDialog.h"

#include "data/NumberText.h"
#include "stations/StationMath.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *value(QWidget *parent, const char *name, const QString &text) {
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

CheckoutDialog::CheckoutDialog(QWidget *parent, const stations::Checkout &quote, const QString &name)
    : QDialog(parent), quote_(quote) {
    setObjectName(QStringLiteral("frmCobro"));
    setWindowTitle(QStringLiteral("Cerrar ") + name);
    const bool contador = quote.mode == stations::StationMode::Contador;
    // A delivered name shows its number alone after "Puesto:".
    const QString shown = name.startsWith(QStringLiteral("Puesto ")) ? name.mid(7) : name;

    auto *form = new QFormLayout;
    form->addRow(
        QStringLiteral("Puesto:"),
        value(this, "lblPuesto",
              QStringLiteral("%1 (%2)").arg(shown, contador ? QStringLiteral("Contador") : QStringLiteral("Prepago"))));
    form->addRow(contador ? QStringLiteral("Tiempo:") : QStringLiteral("Quedan:"),
                 value(this, "lblTiempo", stations::clockText(quote.hours, quote.minutes, quote.seconds)));
    form->addRow(contador ? QStringLiteral("Bloques:") : QStringLiteral("Bloques comprados:"),
                 value(this, "lblBloques", QString::number(quote.blocks)));
    QLabel *amount =
        value(this, "lblImporte",
              contador ? QStringLiteral("$ %1").arg(numtext::amountText(quote.cents))
                       : QStringLiteral("nada (pagado al habilitarlo: $ %1)").arg(numtext::amountText(quote.cents)));
    QFont big = amount->font();
    big.setBold(true);
    if (contador) {
        big.setPointSizeF(big.pointSizeF() * 1.5);
    }
    amount->setFont(big);
    if (quote.discountCents > 0) {
        form->addRow(QStringLiteral("Descuento:"),
                     value(this, "lblDescuento", QStringLiteral("$ %1").arg(numtext::amountText(quote.discountCents))));
    }
    form->addRow(QStringLiteral("A cobrar:"), amount);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *cobrar = buttons->addButton(QStringLiteral("&Cobrar"), QDialogButtonBox::AcceptRole);
    cobrar->setObjectName(QStringLiteral("cmdCobrar"));
    QPushButton *seguir = buttons->addButton(QStringLiteral("&Seguir"), QDialogButtonBox::RejectRole);
    seguir->setObjectName(QStringLiteral("cmdSeguir"));
    cobrar->setDefault(true); // Enter records; Esc (reject) lets the rental go on
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(280); // room for the title, "Cerrar Puesto N"
    cobrar->setFocus();
}
