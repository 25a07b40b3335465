#pragma once

#include <QColor>

class QLineEdit;

// The station's display-only boxes: disabled from the start yet readable, bold, in their
// own colours. Their background is the one colour the last-minute flashing reads back.
namespace stations {

void styleDisplayBox(QLineEdit *box, const QColor &textColor);
void setBoxBackground(QLineEdit *box, const QColor &color);
QColor boxBackground(const QLineEdit *box);

} // namespace stations
