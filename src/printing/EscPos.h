#pragma once

#include "printing/Document.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// A Document for a thermal printer of the ESC/POS family: laid out for the paper's width in
// characters of font A, its text in code page PC850 (ESC t 2), which every printer of the family
// carries and which holds the Spanish letters (á é í ó ú ü ñ, their capitals, ¿ ¡).
namespace printing {

// Characters of font A across the paper: 32 on 58 mm, 48 on 80 mm.
int columnsFor(int widthMm);

// A line as it goes on paper: its text already fitted to the width (a Title to half of it, its
// letters being twice as wide), every character one the code page holds.
struct LaidLine {
    QString text;
    Line::Style style = Line::Style::Normal;
};

// The text with every character the code page lacks put as a plain equivalent ("—" as "-", "€"
// as "EUR", "ő" as "o") or '?', and control characters as spaces: what is printed, one byte a
// character.
QString printable(const QString &text);
// Left part wrapped at spaces (a word longer than the line is cut), the right part pushed to the
// right edge of the last line, or of a line of its own when it does not fit beside it: an amount
// is never split.
QVector<LaidLine> layout(const Document &document, int columns);
// A printable text in PC850.
QByteArray encodePc850(const QString &printableText);
// The whole job: ESC @, the code page, the drawer's pulse first when asked, the lines, then a
// feed and a partial cut when the document is cut.
QByteArray escPos(const Document &document, int widthMm);

} // namespace printing
