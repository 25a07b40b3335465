#pragma once

#include "pricing/Pricing.h"

#include <QString>
#include <optional>

// The texts a period is typed and shown as in the room's window.
namespace room {

// Days as letters L M X J V S D (Monday first), separated by commas, with ranges "L-V"; a range
// may wrap the week ("V-L" is Friday to Monday). Case and spaces do not matter. nullopt for
// anything else, or for no day.
std::optional<pricing::Weekdays> readDays(const QString &text);
// The shortest such text: runs of three days or more as ranges, "L-D" for the whole week.
QString daysText(pricing::Weekdays days);

// A time of day "14:00" (or "9:05") as minutes since midnight, 00:00 to 23:59.
std::optional<int> readClock(const QString &text);
QString clockText(int minute);

} // namespace room
