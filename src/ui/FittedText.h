#pragma once

#include <QFont>

class QLineEdit;
class QString;

namespace ui {

// Shows a text the program writes into a box whole: when it is wider than the box at the box's
// own font, the font shrinks (and narrows) until every character fits; nothing scrolls out of
// sight and the box does not move. The box's font when first written is its own.
void setFittedText(QLineEdit *box, const QString &text);
// natural when text fits room pixels at it; else the largest size, condensed down to half its
// width if need be, at which it fits.
QFont fittedFont(const QFont &natural, const QString &text, int room);
// The width the box has for its text, in pixels.
int textRoom(const QLineEdit *box);

} // namespace ui
