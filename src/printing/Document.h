#pragma once

#include <QString>
#include <QVector>

// What a slip or a receipt says, before it is laid out for a printer's width or a page: lines of
// text, each a left part and an optional right part (an amount) pushed to the right edge.
namespace printing {

struct Line {
    enum class Style {
        Normal,
        Bold,
        Title, // large and centred
        Centre,
        Rule, // a line across the width; left and right are ignored
    };
    QString left;
    QString right;
    Style style = Style::Normal;
};

struct Document {
    QVector<Line> lines;
    bool cut = true;         // the paper is cut after the last line
    bool openDrawer = false; // the cash drawer's pulse is sent first
};

} // namespace printing
