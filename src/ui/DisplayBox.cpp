#include "ui/DisplayBox.h"

#include "ui/FittedText.h"

#include <QLineEdit>
#include <QPalette>

namespace stations {

namespace {

constexpr const char *kInitialBackground = "ludomatInitialBackground";

// A box looks the same enabled or not, active or not.
void setBoxColor(QLineEdit *box, QPalette::ColorRole role, const QColor &color) {
    QPalette pal = box->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, role, color);
    }
    box->setPalette(pal);
}

} // namespace

void styleDisplayBox(QLineEdit *box, const QColor &textColor) {
    QFont font = box->font();
    font.setPointSize(12);
    font.setBold(true);
    box->setFont(font);
    box->setEnabled(false);
    box->setFocusPolicy(Qt::NoFocus);
    box->setAlignment(Qt::AlignCenter);
    box->setTextMargins(0, 0, 0, 0);
    setBoxTextColor(box, textColor);
    setInitialBackground(box, box->palette().color(QPalette::Active, QPalette::Base));
}

void setBoxTextColor(QLineEdit *box, const QColor &color) {
    setBoxColor(box, QPalette::Text, color);
}

QColor boxTextColor(const QLineEdit *box) {
    return box->palette().color(QPalette::Disabled, QPalette::Text);
}

void setBoxBackground(QLineEdit *box, const QColor &color) {
    setBoxColor(box, QPalette::Base, color);
}

QColor boxBackground(const QLineEdit *box) {
    return box->palette().color(QPalette::Disabled, QPalette::Base);
}

QColor initialBackground(const QLineEdit *box) {
    return box->property(kInitialBackground).value<QColor>();
}

void setInitialBackground(QLineEdit *box, const QColor &color) {
    box->setProperty(kInitialBackground, color);
    setBoxBackground(box, color);
}

void setDisplayText(QLineEdit *box, const QString &text) {
    ui::setFittedText(box, text);
}

} // namespace stations
