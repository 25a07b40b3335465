#include "ui/FittedText.h"

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace ui {

namespace {
constexpr const char *kNaturalFont = "ludomatNaturalFont";
constexpr int kSmallestPixels = 3;
constexpr const char *kRoom = "ludomatTextRoom";
constexpr const char *kShrunk = "ludomatShrunk";
} // namespace

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

// A taller narrow digit reads better than a tiny one: the width goes before the size.
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

void setFittedText(QLineEdit *box, const QString &text) {
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
    if (!box->property(kNaturalFont).isValid()) {
        box->setProperty(kNaturalFont, box->font());
    }
    const QFont natural = box->property(kNaturalFont).value<QFont>();
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

} // namespace ui
