#include "data/BackupRetention.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cstdlib>

namespace data {

namespace {
constexpr int kNewest = 30;
constexpr int kDays = 30;
constexpr int kMonths = 12;
constexpr qint64 kStartGapMs = 10 * 60 * 1000;

int monthIndex(const QDate &date) {
    return date.year() * 12 + date.month() - 1;
}
} // namespace

CopyName parseCopyName(const QString &name) {
    static const QRegularExpression pattern(QStringLiteral("^ludomat-(\\d{8}-\\d{6})(?:-(\\d{1,6}))?\\.mdb$"));
    const QRegularExpressionMatch match = pattern.match(name);
    if (!match.hasMatch()) {
        return {};
    }
    CopyName out{QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd-HHmmss")), 1};
    if (match.hasCaptured(2)) {
        out.number = match.captured(2).toInt();
    }
    if (out.number < 1) {
        out.when = {};
    }
    return out;
}

QStringList copiesToRemove(const QStringList &names, const QDateTime &now) {
    struct Copy {
        CopyName parsed;
        QString name;
    };
    QList<Copy> copies;
    for (const QString &name : names) {
        if (const CopyName parsed = parseCopyName(name); parsed.when.isValid()) {
            copies.append({parsed, name});
        }
    }
    // Newest first: by instant, then by number within the second (the names' text order puts
    // "-2" before the first copy of its second).
    std::sort(copies.begin(), copies.end(), [](const Copy &a, const Copy &b) {
        return a.parsed.when != b.parsed.when ? a.parsed.when > b.parsed.when : a.parsed.number > b.parsed.number;
    });
    const QDate today = now.date();
    QSet<QDate> days;
    QSet<int> months;
    QStringList out;
    for (qsizetype i = 0; i < copies.size(); ++i) {
        const QDate day = copies[i].parsed.when.date();
        // The first copy met of a day or a month is its newest.
        const bool newestOfDay = day.daysTo(today) < kDays && !days.contains(day);
        const bool newestOfMonth = monthIndex(today) - monthIndex(day) < kMonths && !months.contains(monthIndex(day));
        days.insert(day);
        months.insert(monthIndex(day));
        if (i >= kNewest && !newestOfDay && !newestOfMonth) {
            out << copies[i].name;
        }
    }
    return out;
}

bool startCopyDue(const QStringList &names, const QDateTime &now) {
    return std::none_of(names.cbegin(), names.cend(), [&now](const QString &name) {
        const CopyName parsed = parseCopyName(name);
        return parsed.when.isValid() && std::llabs(parsed.when.msecsTo(now)) < kStartGapMs;
    });
}

} // namespace data
