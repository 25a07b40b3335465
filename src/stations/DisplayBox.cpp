#include "stations/DisplayBox.h"

#include <QLineEdit>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionFrame>

namespace stations {

namespace {
constexpr const char *kNaturalSize = "ludomatNaturalPointSize";
constexpr const char *kInitialBackground = "ludomatInitialBackground";
constexpr int kSmallestPixels = 3;
constexpr const char *kRoom = "ludomatTextRoom";
constexpr const char *kShrunk = "ludomatShrunk";
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

namespace {

// The box's own font when the text fits; else the largest size, condensed down to half its
// width if need be, at which it fits: a taller narrow digit reads better than a tiny one.
QFont fittedFont(const QFont &natural, const QString &text, int room) {
    if (QFontMetrics(natural).horizontalAdvance(text) <= room) {
        return natural;
    }
    QFont font = natural;
    for (int pixels = QFontInfo(natural).pixelSize(); pixels >= kSmallestPixels; --pixels) {
        font.setPixelSize(pixels);
        for (int stretch = 100; stretch >= 50; stretch -= 5) {
            font.setStretch(stretch);
            if (QFontMetrics(font).horizontalAdvance(text) <= room) {
                return font;
            }
        }
    }
    return font;
}

} // namespace

void setDisplayText(QLineEdit *box, const QString &text) {
    if (box->text() == text) {
        return;
    }
    // The common case, every tick: the box keeps its own font and the text fits it.
    bool roomKnown = false;
    const int room = box->property(kRoom).toInt(&roomKnown);
    if (roomKnown && !box->property(kShrunk).toBool() && box->fontMetrics().horizontalAdvance(text) <= room) {
        box->setText(text);
        return;
    }
    QFont natural = box->font();
    natural.setStretch(QFont::AnyStretch);
    natural.setPointSizeF(box->property(kNaturalSize).toDouble());
    const int fresh = textRoom(box);
    box->setProperty(kRoom, fresh);
    const QFont font = fittedFont(natural, text, fresh);
    if (box->font() != font) {
        box->setFont(font);
    }
    box->setProperty(kShrunk, font != natural);
    box->setText(text);
    box->setCursorPosition(0);
}

} // namespace stations
