#pragma once

class QLineEdit;
class QString;

namespace ui {

// Shows a text the program writes into a box whole: when it is wider than the box at the box's
// own font, the font shrinks (and narrows) until every character fits; nothing scrolls out of
// sight and the box does not move. The box's font when first written is its own.
void setFittedText(QLineEdit *box, const QString &text);
// The width the box has for its text, in pixels.
int textRoom(const QLineEdit *box);

} // namespace ui
