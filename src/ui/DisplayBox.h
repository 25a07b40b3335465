#pragma once

#include <QColor>

class QLineEdit;
class QString;

// The station's display-only boxes: disabled from the start yet readable, bold, in their
// own colours. Their background is the one colour the last-minute flashing sets.
namespace stations {

void styleDisplayBox(QLineEdit *box, const QColor &textColor);
void setBoxBackground(QLineEdit *box, const QColor &color);
QColor boxBackground(const QLineEdit *box);
// The background the box was given when it was made.
QColor initialBackground(const QLineEdit *box);
void setInitialBackground(QLineEdit *box, const QColor &color);

// The digits' colour: their own, or dimmed while the station is paused.
void setBoxTextColor(QLineEdit *box, const QColor &color);
QColor boxTextColor(const QLineEdit *box);

// Shows the text whole (ui::setFittedText): every digit in sight at any amount.
void setDisplayText(QLineEdit *box, const QString &text);

} // namespace stations
