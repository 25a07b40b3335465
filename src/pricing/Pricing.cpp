#include "pricing/Pricing.h"

#include <QStringList>
#include <algorithm>
#include <cstdlib>

namespace pricing {

namespace {

constexpr qint64 kSecondsPerDay = 86400;
constexpr qint64 kSecondsPerWeek = 7 * kSecondsPerDay;

qint64 floorMod(qint64 a, qint64 b) {
    const qint64 r = a % b;
    return r < 0 ? r + b : r;
}

// Seconds from Monday 00:00 of a local wall time given as seconds since 1970-01-01 00:00
// (a Thursday, day 3 counting Monday as 0).
qint64 weekSecond(qint64 localSeconds) {
    const qint64 day = (localSeconds - floorMod(localSeconds, kSecondsPerDay)) / kSecondsPerDay;
    return floorMod(day + 3, 7) * kSecondsPerDay + floorMod(localSeconds, kSecondsPerDay);
}

// The period ruling a second of the week, -1 for none.
int periodAt(const std::vector<WeekSpan> &spans, qint64 second) {
    const auto after = std::upper_bound(spans.begin(), spans.end(), second,
                                        [](qint64 s, const WeekSpan &span) { return s < span.from * qint64(60); });
    if (after == spans.begin()) {
        return -1;
    }
    const WeekSpan &span = *(after - 1);
    return second < span.to * qint64(60) ? span.period : -1;
}

qint64 priceOf(const Terms &terms, int period) {
    return period < 0 ? terms.cents : terms.periods[static_cast<size_t>(period)].cents;
}

Price started(const Terms &terms, int controllers) {
    Price p;
    p.minimumBlocks = std::max(1, terms.minimumBlocks);
    p.controllers = std::clamp(controllers, 1, kMaxControllers);
    p.surchargeCents = terms.controllerCents * (p.controllers - 1);
    return p;
}

void charge(Price &p, const Terms &terms, int period, qint64 blocks) {
    if (blocks <= 0) {
        return;
    }
    if (p.lines.empty() || p.lines.back().period != period) {
        const auto same = std::find_if(p.lines.begin(), p.lines.end(),
                                       [period](const PriceLine &line) { return line.period == period; });
        if (same == p.lines.end()) {
            p.lines.push_back({period, 0, priceOf(terms, period)});
        } else {
            // Back to a price seen before: keep one line per price, in the order first seen.
            same->blocks += blocks;
            p.blocks += blocks;
            p.cents += (same->cents + p.surchargeCents) * blocks;
            return;
        }
    }
    p.lines.back().blocks += blocks;
    p.blocks += blocks;
    p.cents += (p.lines.back().cents + p.surchargeCents) * blocks;
}

// The blocks whose starts lie `first` .. `last` blocks after the opening, each at its local
// time. The offset from UTC is read at both ends of a run of blocks; where it differs (a clock
// change inside the run) the run is halved until each part has one offset, so a rental pays a
// few conversions, not one per block. (A run shorter than the months between two clock
// changes cannot hide both.)
void chargeRun(Price &p, const Terms &terms, const std::vector<WeekSpan> &spans, const QDateTime &opened,
               qint64 blockSeconds, qint64 first, qint64 last, int firstOffset, int lastOffset) {
    if (firstOffset != lastOffset && last > first) {
        const qint64 mid = first + (last - first) / 2;
        const int midOffset = opened.addSecs(mid * blockSeconds).offsetFromUtc();
        chargeRun(p, terms, spans, opened, blockSeconds, first, mid, firstOffset, midOffset);
        const int nextOffset = opened.addSecs((mid + 1) * blockSeconds).offsetFromUtc();
        chargeRun(p, terms, spans, opened, blockSeconds, mid + 1, last, nextOffset, lastOffset);
        return;
    }
    const qint64 local = opened.toSecsSinceEpoch() + firstOffset;
    for (qint64 k = first; k <= last; ++k) {
        charge(p, terms, periodAt(spans, weekSecond(local + k * blockSeconds)), 1);
    }
}

// The blocks a rental's time has started, tolerance applied, before the minimum.
qint64 startedBlocks(const Terms &terms, qint64 elapsedSeconds) {
    const qint64 past = elapsedSeconds - qint64(terms.toleranceMinutes) * 60;
    return 1 + (past > 0 ? past / (qint64(std::max(1, terms.minutes)) * 60) : 0);
}

QString amount(qint64 cents) {
    const QString text =
        QString::number(std::abs(cents) / 100) + u',' + QString::number(std::abs(cents) % 100).rightJustified(2, u'0');
    return cents < 0 ? u'-' + text : text;
}

} // namespace

std::vector<WeekSpan> weekSpans(const Terms &terms) {
    std::vector<WeekSpan> spans;
    for (size_t i = 0; i < terms.periods.size(); ++i) {
        const Period &period = terms.periods[i];
        const int length = period.endMinute > period.startMinute
                               ? period.endMinute - period.startMinute
                               : period.endMinute + kMinutesPerDay - period.startMinute;
        for (int day = 0; day < 7; ++day) {
            if ((period.days & dayBit(day + 1)) == 0) {
                continue;
            }
            const int from = day * kMinutesPerDay + period.startMinute;
            const int to = from + length;
            const int index = static_cast<int>(i);
            if (to <= kMinutesPerWeek) {
                spans.push_back({from, to, index});
            } else {
                spans.push_back({from, kMinutesPerWeek, index});
                spans.push_back({0, to - kMinutesPerWeek, index});
            }
        }
    }
    std::sort(spans.begin(), spans.end(), [](const WeekSpan &a, const WeekSpan &b) { return a.from < b.from; });
    return spans;
}

qint64 contadorBlocks(const Terms &terms, qint64 elapsedSeconds) {
    return std::max<qint64>(startedBlocks(terms, elapsedSeconds), std::max(1, terms.minimumBlocks));
}

Price contadorPrice(const Terms &terms, const QDateTime &opened, qint64 elapsedSeconds, int controllers) {
    Price p = started(terms, controllers);
    p.toleranceMinutes = terms.toleranceMinutes;
    const qint64 blocks = contadorBlocks(terms, elapsedSeconds);
    p.minimumApplied = startedBlocks(terms, elapsedSeconds) < p.minimumBlocks;
    const std::vector<WeekSpan> spans = weekSpans(terms);
    const int openingOffset = opened.offsetFromUtc();
    // The minimum is charged at the opening, at the opening's price.
    const qint64 atOpening = std::min<qint64>(blocks, p.minimumBlocks);
    charge(p, terms, periodAt(spans, weekSecond(opened.toSecsSinceEpoch() + openingOffset)), atOpening);
    if (blocks > atOpening) {
        const qint64 blockSeconds = qint64(std::max(1, terms.minutes)) * 60;
        const int lastOffset = opened.addSecs((blocks - 1) * blockSeconds).offsetFromUtc();
        const int firstOffset = opened.addSecs(atOpening * blockSeconds).offsetFromUtc();
        chargeRun(p, terms, spans, opened, blockSeconds, atOpening, blocks - 1, firstOffset, lastOffset);
    }
    return p;
}

Price prepagoPrice(const Terms &terms, const QDateTime &sold, int blocks, int controllers) {
    Price p = started(terms, controllers);
    p.minimumApplied = blocks < p.minimumBlocks;
    charge(p, terms, periodAt(weekSpans(terms), weekSecond(sold.toSecsSinceEpoch() + sold.offsetFromUtc())),
           std::max(blocks, p.minimumBlocks));
    return p;
}

qint64 priceAt(const Terms &terms, const QDateTime &when) {
    return priceOf(terms, periodAt(weekSpans(terms), weekSecond(when.toSecsSinceEpoch() + when.offsetFromUtc())));
}

QString breakdownText(const Terms &terms, const Price &price) {
    QStringList lines;
    for (const PriceLine &line : price.lines) {
        QString name = QStringLiteral("base");
        if (line.period >= 0) {
            name = terms.periods[static_cast<size_t>(line.period)].name;
            if (name.isEmpty()) {
                name = QStringLiteral("período %1").arg(line.period + 1);
            }
        }
        lines << QStringLiteral("%1 a %2 (%3)").arg(line.blocks).arg(amount(line.cents), name);
    }
    QString text = QStringLiteral("Bloques: ") + lines.join(QStringLiteral(", "));
    if (price.minimumApplied) {
        text += QStringLiteral("; mínimo %1").arg(price.minimumBlocks);
    }
    if (price.toleranceMinutes > 0) {
        text += QStringLiteral("; tolerancia %1 min").arg(price.toleranceMinutes);
    }
    if (price.controllers > 1) {
        text += QStringLiteral("; %1 mandos (+%2 por bloque)").arg(price.controllers).arg(amount(price.surchargeCents));
    }
    return text;
}

} // namespace pricing
