#include "ui/NewPasswordDialog.h"

#include "accounts/PasswordPolicy.h"
#include "platform/Platform.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit *passwordBox(QWidget *parent, const char *name) {
    auto *box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    return box;
}

} // namespace

NewPasswordDialog::NewPasswordDialog(QWidget *parent, sys::MessagePresenter &messages, QString account,
                                     bool firstSignIn, std::function<bool(const QString &)> store)
    : QDialog(parent), messages_(messages), account_(std::move(account)), store_(std::move(store)) {
    setObjectName(QStringLiteral("NewPasswordDialog"));
    setWindowTitle(QStringLiteral("Cambiar Contraseña"));
    setAttribute(Qt::WA_DeleteOnClose);

    lblPrimerIngreso =
        new QLabel(QStringLiteral("Es el primer ingreso con la contraseña de fábrica: elija una contraseña nueva."));
    lblPrimerIngreso->setObjectName(QStringLiteral("lblPrimerIngreso"));
    lblPrimerIngreso->setWordWrap(true);
    lblPrimerIngreso->setVisible(firstSignIn);
    lblCuenta = new QLabel(QStringLiteral("Cuenta: ") + account_);
    lblCuenta->setObjectName(QStringLiteral("lblCuenta"));
    txtNueva = passwordBox(this, "txtNueva");
    txtRepetida = passwordBox(this, "txtRepetida");
    cmdAceptar = new QPushButton(QStringLiteral("&Aceptar"));
    cmdAceptar->setObjectName(QStringLiteral("cmdAceptar"));
    cmdAceptar->setDefault(true); // Enter in either box presses it
    cmdCancelar = new QPushButton(QStringLiteral("&Cancelar"));
    cmdCancelar->setObjectName(QStringLiteral("cmdCancelar"));

    boxes_ = new QFormLayout;
    boxes_->addRow(QStringLiteral("Nueva contraseña"), txtNueva);
    boxes_->addRow(QStringLiteral("Repita la nueva contraseña"), txtRepetida);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdAceptar);
    buttons->addWidget(cmdCancelar);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblPrimerIngreso);
    layout->addWidget(lblCuenta);
    layout->addLayout(boxes_);
    layout->addLayout(buttons);
    setMinimumWidth(360);
    setFixedHeight(sizeHint().height());

    connect(cmdAceptar, &QPushButton::clicked, this, &NewPasswordDialog::cmdAceptar_Click);
    connect(cmdCancelar, &QPushButton::clicked, this, &QDialog::reject);
}

void NewPasswordDialog::askRepetitionOf(const QString &first) {
    repetitionOnly_ = true;
    setWindowTitle(QStringLiteral("Confirmar Contraseña"));
    lblCuenta->setText(QStringLiteral("Cuenta nueva: ") + account_);
    txtNueva->setText(first);
    boxes_->setRowVisible(txtNueva, false);
    if (auto *label = qobject_cast<QLabel *>(boxes_->labelForField(txtRepetida))) {
        label->setText(QStringLiteral("Repita la contraseña"));
    }
    setFixedHeight(sizeHint().height());
    txtRepetida->setFocus();
}

void NewPasswordDialog::cmdAceptar_Click() {
    const QString problem = accounts::newPasswordProblem(account_, txtNueva->text(), txtRepetida->text());
    if (!problem.isEmpty()) {
        messages_.showMessage(this, problem);
        repetitionOnly_ ? reject() : emptyBoxes();
        return;
    }
    if (store_(txtNueva->text())) {
        accept();
        return;
    }
    storeRefused_ = true;
    repetitionOnly_ ? reject() : emptyBoxes();
}

void NewPasswordDialog::emptyBoxes() {
    txtNueva->clear();
    txtRepetida->clear();
    txtNueva->setFocus();
}
