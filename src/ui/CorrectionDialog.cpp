#include "ui/CorrectionDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

CorrectionDialog::CorrectionDialog(QWidget *parent, const Fields &fields) : QDialog(parent) {
    setObjectName(QStringLiteral("frmOperacion"));
    setWindowTitle(fields.title);
    auto *form = new QFormLayout;
    about_ = new QLabel(fields.about, this);
    about_->setObjectName(QStringLiteral("lblPuesto"));
    form->addRow(about_);
    QWidget *first = nullptr;
    const auto add = [&](const QString &label, QWidget *field, const char *name) {
        field->setObjectName(QString::fromUtf8(name));
        form->addRow(label, field);
        if (!first) {
            first = field;
        }
    };
    if (!fields.countLabel.isEmpty()) {
        count_ = new QSpinBox(this);
        count_->setRange(1, fields.countMax);
        add(fields.countLabel, count_, "spnCantidad");
    }
    if (!fields.amountLabel.isEmpty()) {
        amount_ = new QLineEdit(this);
        add(fields.amountLabel, amount_, "txtImporte");
    }
    if (!fields.stations.isEmpty()) {
        station_ = new QComboBox(this);
        for (const auto &[index, name] : fields.stations) {
            station_->addItem(name, index);
        }
        add(QStringLiteral("&Al puesto:"), station_, "cboPuesto");
    }
    if (fields.reason) {
        reason_ = new QLineEdit(this);
        reason_->setMaxLength(200);
        add(QStringLiteral("&Motivo:"), reason_, "txtMotivo");
    }
    if (fields.password) {
        password_ = new QLineEdit(this);
        password_->setEchoMode(QLineEdit::Password);
        add(QStringLiteral("Contraseña del a&dministrador:"), password_, "txtContraseña");
    }
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *accept = buttons->addButton(QStringLiteral("&Aceptar"), QDialogButtonBox::AcceptRole);
    accept->setObjectName(QStringLiteral("cmdAceptar"));
    QPushButton *cancel = buttons->addButton(QStringLiteral("&Cancelar"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancelar"));
    accept->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CorrectionDialog::submitted);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(320);
    (first ? first : accept)->setFocus();
}

int CorrectionDialog::count() const {
    return count_ ? count_->value() : 0;
}

QString CorrectionDialog::amount() const {
    return amount_ ? amount_->text() : QString();
}

int CorrectionDialog::station() const {
    return station_ && station_->currentIndex() >= 0 ? station_->currentData().toInt() : -1;
}

QString CorrectionDialog::reason() const {
    return reason_ ? reason_->text() : QString();
}

QString CorrectionDialog::password() const {
    return password_ ? password_->text() : QString();
}

void CorrectionDialog::clearPassword() {
    if (password_) {
        password_->clear();
        password_->setFocus();
    }
}
