#include "printing/EscPos.h"

#include <QHash>
#include <QStringList>
#include <array>

namespace printing {

namespace {

// The upper half of PC850, byte 0x80 onwards, as Unicode.
constexpr std::array<char16_t, 128> kPc850High{
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C,
    0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, 0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6,
    0x00A7, 0x00F7, 0x00B8, 0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};

const QHash<char32_t, char> &pc850Bytes() {
    static const QHash<char32_t, char> bytes = [] {
        QHash<char32_t, char> map;
        for (size_t i = 0; i < kPc850High.size(); ++i) {
            map.insert(kPc850High[i], static_cast<char>(0x80 + i));
        }
        return map;
    }();
    return bytes;
}

bool inCodePage(char32_t c) {
    return (c >= 0x20 && c < 0x7F) || pc850Bytes().contains(c);
}

// What stands for a character the code page lacks, or empty.
QString plainEquivalent(char32_t c) {
    switch (c) {
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2013:
    case 0x2014:
    case 0x2015:
    case 0x2212:
        return QStringLiteral("-");
    case 0x2018:
    case 0x2019:
    case 0x201A:
    case 0x2032:
        return QStringLiteral("'");
    case 0x201C:
    case 0x201D:
    case 0x201E:
        return QStringLiteral("\"");
    case 0x2026:
        return QStringLiteral("...");
    case 0x20AC:
        return QStringLiteral("EUR");
    case 0x2022:
        return QStringLiteral("*");
    default:
        break;
    }
    // A letter with a mark the code page lacks: its base letter ("ő" as "o").
    const QString decomposed = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_D);
    if (!decomposed.isEmpty() && decomposed != QString::fromUcs4(&c, 1) && inCodePage(decomposed.at(0).unicode())) {
        return decomposed.left(1);
    }
    return {};
}

// Words at spaces, each line at most width; a word longer than a line is cut.
QStringList wrap(const QString &text, int width) {
    QStringList lines;
    QString line;
    for (QString word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        while (word.size() > width) {
            if (!line.isEmpty()) {
                lines << line;
                line.clear();
            }
            lines << word.left(width);
            word = word.mid(width);
        }
        if (word.isEmpty()) {
            continue;
        }
        if (line.isEmpty()) {
            line = word;
        } else if (line.size() + 1 + word.size() <= width) {
            line += QLatin1Char(' ') + word;
        } else {
            lines << line;
            line = word;
        }
    }
    if (!line.isEmpty()) {
        lines << line;
    }
    return lines;
}

QString centred(const QString &text, int width) {
    return QString(std::max<qsizetype>(0, (width - text.size()) / 2), QLatin1Char(' ')) + text;
}

} // namespace

int columnsFor(int widthMm) {
    return widthMm == 58 ? 32 : 48;
}

QString printable(const QString &text) {
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
            out += QLatin1Char(' ');
        } else if (inCodePage(c)) {
            out += QString::fromUcs4(&c, 1);
        } else if (const QString plain = plainEquivalent(c); !plain.isEmpty()) {
            out += plain;
        } else {
            out += QLatin1Char('?');
        }
    }
    return out;
}

QVector<LaidLine> layout(const Document &document, int columns) {
    columns = std::max(columns, 2);
    QVector<LaidLine> laid;
    for (const Line &line : document.lines) {
        if (line.style == Line::Style::Rule) {
            laid.push_back({QString(columns, QLatin1Char('-')), line.style});
            continue;
        }
        // A title's letters are twice as wide: half as many fit.
        const int width = line.style == Line::Style::Title ? columns / 2 : columns;
        const QString right = printable(line.right).trimmed();
        QStringList rows = wrap(printable(line.left), width);
        const bool centre = right.isEmpty() && (line.style == Line::Style::Centre || line.style == Line::Style::Title);
        if (centre) {
            for (QString &row : rows) {
                row = centred(row, width);
            }
        }
        if (right.size() > width) {
            rows += wrap(right, width); // wider than the paper: nothing else can be done
        } else if (!right.isEmpty()) {
            if (!rows.isEmpty() && rows.last().size() + 1 + right.size() <= width) {
                rows.last() = rows.last().leftJustified(width - right.size()) + right;
            } else {
                rows << right.rightJustified(width);
            }
        }
        if (rows.isEmpty()) {
            rows << QString();
        }
        for (const QString &row : rows) {
            laid.push_back({row, line.style});
        }
    }
    return laid;
}

QByteArray encodePc850(const QString &printableText) {
    QByteArray out;
    out.reserve(printableText.size());
    for (const char32_t c : printableText.toUcs4()) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            out += pc850Bytes().value(c, '?');
        }
    }
    return out;
}

QByteArray escPos(const Document &document, int widthMm) {
    const auto bytes = [](std::initializer_list<int> values) {
        QByteArray out;
        for (const int v : values) {
            out += static_cast<char>(v);
        }
        return out;
    };
    QByteArray out = bytes({0x1B, '@', 0x1B, 't', 2});
    if (document.openDrawer) {
        // Pin 2, 50 ms on and 500 ms off: what drawers of this kind take.
        out += bytes({0x1B, 'p', 0, 25, 250});
    }
    for (const LaidLine &line : layout(document, columnsFor(widthMm))) {
        const QByteArray text = encodePc850(line.text) + '\n';
        switch (line.style) {
        case Line::Style::Bold:
            out += bytes({0x1B, 'E', 1}) + text + bytes({0x1B, 'E', 0});
            break;
        case Line::Style::Title:
            out += bytes({0x1D, '!', 0x11}) + text + bytes({0x1D, '!', 0});
            break;
        default:
            out += text;
            break;
        }
    }
    if (document.cut) {
        // The last line past the cutter, then a partial cut.
        out += bytes({0x1B, 'd', 4, 0x1D, 'V', 1});
    }
    return out;
}

} // namespace printing
