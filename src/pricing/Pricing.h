#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <vector>

// What a console type charges: its block, its base price, its periods of the week with their own
// prices, and its rules (minimum blocks, tolerance, extra controllers). Pure arithmetic on whole
// cents; the instants are local wall time.
namespace pricing {

// Days of the week as bits: bit (d - 1) for Qt's day d, Monday = 1 ... Sunday = 7.
using Weekdays = quint8;
constexpr Weekdays dayBit(int qtDay) {
    return static_cast<Weekdays>(1u << (qtDay - 1));
}
constexpr Weekdays kMondayToFriday = 0x1f;
constexpr Weekdays kEveryDay = 0x7f;

constexpr int kMinutesPerDay = 24 * 60;

// A period of the week with its own price per block. It starts at `startMinute` (minutes since
// midnight) on each of its days and ends at `endMinute`, not included. An end before its start
// crosses midnight: the hours after midnight belong to the day the period started on, and
// Sunday's run on into Monday. An end equal to its start is refused (it could mean nothing or
// the whole day).
struct Period {
    QString name; // shown in the breakdown, "Tarde L-V"
    Weekdays days = 0;
    int startMinute = 0; // 0..1439
    int endMinute = 0;   // 0..1439
    qint64 cents = 0;    // price per block
};

// A console type's terms. The defaults with Tarifa's minutes and price charge exactly what a
// station always has: every started block, the first at the opening.
struct Terms {
    int minutes = 60;      // per block, 1..1365
    qint64 cents = 0;      // base price per block, outside every period
    int minimumBlocks = 1; // charged at least, 1..24
    // A new block is charged only once the rental has run this many minutes into it
    // (0..minutes - 1): at 60-minute blocks and 10 minutes, 69 minutes pay one block, 70 two.
    int toleranceMinutes = 0;
    qint64 controllerCents = 0; // per block, for each controller after the first
    std::vector<Period> periods;
};

constexpr int kMaxControllers = 4;
constexpr int kMaxMinimumBlocks = 24;
constexpr int kMaxBlockMinutes = 1365;
// Every price per block (base, period, surcharge) stays below a thousand million pesos.
constexpr qint64 kMaxCents = 100'000'000'000;

// Where the periods rule in the week, in minutes from Monday 00:00 (a week is 10080): one span
// per day of each period, a span that runs past Sunday's midnight split in two; sorted by start.
constexpr int kMinutesPerWeek = 7 * kMinutesPerDay;
struct WeekSpan {
    int from = 0;
    int to = 0; // not included
    int period = 0;
};
std::vector<WeekSpan> weekSpans(const Terms &terms);

// The blocks paid at one price.
struct PriceLine {
    int period = -1; // index into Terms::periods; -1 for the base price
    qint64 blocks = 0;
    qint64 cents = 0; // price per block, surcharge not included
    friend bool operator==(const PriceLine &, const PriceLine &) = default;
};

// What a rental costs and why: the lines in the order their first block came.
struct Price {
    qint64 cents = 0; // the total, surcharges included
    qint64 blocks = 0;
    std::vector<PriceLine> lines;
    bool minimumApplied = false; // the minimum raised the count of blocks
    int minimumBlocks = 1;
    int toleranceMinutes = 0; // 0 for a prepaid sale
    int controllers = 1;
    qint64 surchargeCents = 0; // per block, for all the extra controllers together
};

// The blocks a Contador rental has paid after running `elapsedSeconds` (pauses left out):
// block k + 1 once elapsed >= k * minutes * 60 + tolerance * 60, never below the minimum. The
// first block is paid at second 0.
qint64 contadorBlocks(const Terms &terms, qint64 elapsedSeconds);

// A Contador rental opened at `opened` that has run `elapsedSeconds`: each block at the price in
// force when it starts (block k at opened + (k - 1) * minutes of real time, read in local time),
// the minimum's blocks at the opening's price. Controllers are taken as 1..4.
Price contadorPrice(const Terms &terms, const QDateTime &opened, qint64 elapsedSeconds, int controllers);

// A prepaid sale of `blocks` blocks (at least the minimum) at the price in force when sold.
Price prepagoPrice(const Terms &terms, const QDateTime &sold, int blocks, int controllers);

// The price per block in force at an instant, surcharge not included. Terms are meant to have
// passed checkTerms: of two overlapping periods the one starting later in the week rules.
qint64 priceAt(const Terms &terms, const QDateTime &when);

// The breakdown in one line for the journal: the lines as "<blocks> a <price> (<period>)", the
// base price named "base", amounts always with a comma and two decimals, whatever the machine's
// locale; then, only where they differ from the plain terms, the minimum, the tolerance and the
// controllers: "Bloques: 2 a 10,00 (base), 1 a 8,00 (Tarde L-V); mínimo 3; tolerancia 10 min;
// 2 mandos (+1,00 por bloque)". A period without a name is "período N", N counted from 1.
QString breakdownText(const Terms &terms, const Price &price);

} // namespace pricing
