#include "stations/DisplayBox.h"

#include <QLineEdit>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionFrame>

namespace stations {

namespace {
constexpr const char *kNaturalSize = "ludomatNaturalPointSize";
constexpr const char *kInitialBackground = "ludomatInitialBackground";
constexpr double kSmallestPoint = 4.0;
} // namespace

void styleDisplayBox(QLineEdit *box, const QColor &textColor) {
    QFont font = box->font();
    font.setPointSize(12);
    font.setBold(true);
    box->setFont(font);
    box->setProperty(kNaturalSize, font.pointSizeF());
    box->setEnabled(false);
    box->setFocusPolicy(Qt::NoFocus);
    box->setAlignment(Qt::AlignCenter);
    box->setTextMargins(0, 0, 0, 0);
    QPalette pal = box->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Text, textColor);
    }
    box->setPalette(pal);
    setInitialBackground(box, box->palette().color(QPalette::Active, QPalette::Base));
}

void setBoxBackground(QLineEdit *box, const QColor &color) {
    QPalette pal = box->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, color);
    }
    box->setPalette(pal);
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

int textRoom(const QLineEdit *box) {
    // What QLineEdit draws in: its contents rectangle less the style's frame and the two
    // pixels of margin it keeps on each side.
    QStyleOptionFrame option;
    option.initFrom(box);
    option.rect = box->contentsRect();
    option.lineWidth = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, box) : 0;
    const QRect inner = box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box);
    const QMargins margins = box->textMargins();
    return inner.width() - margins.left() - margins.right() - 2 * 2;
}

void setDisplayText(QLineEdit *box, const QString &text) {
    if (box->text() == text) {
        return;
    }
    QFont font = box->font();
    const double natural = box->property(kNaturalSize).toDouble();
    double size = natural > 0 ? natural : font.pointSizeF();
    font.setPointSizeF(size);
    const int room = textRoom(box);
    while (size > kSmallestPoint && QFontMetrics(font).horizontalAdvance(text) > room) {
        size -= 0.5;
        font.setPointSizeF(size);
    }
    if (box->font() != font) {
        box->setFont(font);
    }
    box->setText(text);
    box->setCursorPosition(0);
}

} // namespace stations
