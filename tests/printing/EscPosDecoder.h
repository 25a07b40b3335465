#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// What a printer of the ESC/POS family makes of a job, read independently of the encoder: the
// commands in order ("init", "codepage 2", "drawer 0 25 250", "bold 1", "size 17", "line",
// "feed 4", "cut 1", "status 4") and the printed lines with the style they were printed in, the
// text read through ICU's IBM-850 table. Anything a printer would print as garbage (a stray
// control byte, an unknown escape) goes to problems.
namespace testing {

struct PrintedLine {
    QString text;
    bool bold = false;
    bool big = false; // double width and height
};

struct Decoded {
    QStringList commands;
    QVector<PrintedLine> lines;
    QStringList problems;
    QStringList texts() const;
};

Decoded decodeEscPos(const QByteArray &bytes);

} // namespace testing
