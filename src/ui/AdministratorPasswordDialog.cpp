#include "ui/AdministratorPasswordDialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

AdministratorPasswordDialog::AdministratorPasswordDialog(QWidget *parent, const QString &why,
                                                         std::function<bool(const QString &)> check)
    : QDialog(parent), check_(std::move(check)) {
    setObjectName(QStringLiteral("AdministratorPasswordDialog"));
    setWindowTitle(QStringLiteral("Contraseña del administrador"));
    setAttribute(Qt::WA_DeleteOnClose);

    lblMotivo = new QLabel(why);
    lblMotivo->setObjectName(QStringLiteral("lblMotivo"));
    lblMotivo->setWordWrap(true);
    txtContrasena = new QLineEdit(this);
    txtContrasena->setObjectName(QStringLiteral("txtContraseña"));
    txtContrasena->setEchoMode(QLineEdit::Password);
    txtContrasena->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    cmdAceptar = new QPushButton(QStringLiteral("&Aceptar"));
    cmdAceptar->setObjectName(QStringLiteral("cmdAceptar"));
    cmdAceptar->setDefault(true); // Enter in the box presses it
    cmdCancelar = new QPushButton(QStringLiteral("&Cancelar"));
    cmdCancelar->setObjectName(QStringLiteral("cmdCancelar"));

    auto *box = new QFormLayout;
    box->addRow(QStringLiteral("Contraseña del administrador"), txtContrasena);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdAceptar);
    buttons->addWidget(cmdCancelar);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblMotivo);
    layout->addLayout(box);
    layout->addLayout(buttons);
    setMinimumWidth(360);
    setFixedHeight(sizeHint().height());
    txtContrasena->setFocus(Qt::OtherFocusReason);

    connect(cmdAceptar, &QPushButton::clicked, this, &AdministratorPasswordDialog::cmdAceptar_Click);
    connect(cmdCancelar, &QPushButton::clicked, this, &QDialog::reject);
}

void AdministratorPasswordDialog::cmdAceptar_Click() {
    // A refusal is shown in a box of its own, during which this dialog may go with its window.
    const QPointer<AdministratorPasswordDialog> self(this);
    const auto check = check_;
    const bool right = check(txtContrasena->text());
    if (!self) {
        return;
    }
    if (right) {
        accept();
        return;
    }
    txtContrasena->clear();
    txtContrasena->setFocus();
}
