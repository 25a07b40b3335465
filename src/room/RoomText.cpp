#include "room/RoomText.h"

#include <QRegularExpression>
#include <QStringList>

namespace room {

namespace {

constexpr char16_t kLetters[] = u"LMXJVSD";

// 0 for Monday ... 6 for Sunday; -1 for anything else.
int dayOf(const QString &letter) {
    if (letter.size() != 1) {
        return -1;
    }
    for (int d = 0; d < 7; ++d) {
        if (letter.at(0).toUpper() == QChar(kLetters[d])) {
            return d;
        }
    }
    return -1;
}

} // namespace

std::optional<pricing::Weekdays> readDays(const QString &text) {
    QString plain = text;
    plain.remove(QRegularExpression(QStringLiteral("\\s")));
    if (plain.isEmpty()) {
        return std::nullopt;
    }
    unsigned days = 0;
    for (const QString &item : plain.split(QLatin1Char(','))) {
        const QStringList ends = item.split(QLatin1Char('-'));
        if (ends.size() > 2) {
            return std::nullopt;
        }
        const int from = dayOf(ends.front());
        const int to = dayOf(ends.back());
        if (from < 0 || to < 0) {
            return std::nullopt;
        }
        for (int d = from;; d = (d + 1) % 7) {
            days |= 1u << d;
            if (d == to) {
                break;
            }
        }
    }
    return static_cast<pricing::Weekdays>(days);
}

QString daysText(pricing::Weekdays days) {
    if ((days & pricing::kEveryDay) == pricing::kEveryDay) {
        return QStringLiteral("L-D");
    }
    QStringList items;
    for (int d = 0; d < 7;) {
        if (!(days & (1u << d))) {
            ++d;
            continue;
        }
        int end = d;
        while (end + 1 < 7 && (days & (1u << (end + 1)))) {
            ++end;
        }
        if (end - d >= 2) {
            items << QString(QChar(kLetters[d])) + QLatin1Char('-') + QChar(kLetters[end]);
        } else {
            for (int e = d; e <= end; ++e) {
                items << QString(QChar(kLetters[e]));
            }
        }
        d = end + 1;
    }
    return items.join(QLatin1Char(','));
}

std::optional<int> readClock(const QString &text) {
    static const QRegularExpression clock(QStringLiteral("^([0-9]{1,2}):([0-5][0-9])$"));
    const QRegularExpressionMatch match = clock.match(text.trimmed());
    if (!match.hasMatch() || match.captured(1).toInt() > 23) {
        return std::nullopt;
    }
    return match.captured(1).toInt() * 60 + match.captured(2).toInt();
}

QString clockText(int minute) {
    return QStringLiteral("%1:%2").arg(minute / 60, 2, 10, QChar(u'0')).arg(minute % 60, 2, 10, QChar(u'0'));
}

} // namespace room
