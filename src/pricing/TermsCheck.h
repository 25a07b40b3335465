#pragma once

#include "pricing/Pricing.h"

#include <QString>

namespace pricing {

// The first thing wrong with a type's terms, in Spanish and naming it, or an empty text when
// they can be used: the block's minutes, every price and the surcharge in range, the tolerance
// below the block, the minimum from 1 to 24, each period with a day, times of day inside the
// day, an end other than its start, and no two periods covering the same minute of the week
// (midnight crossings and Sunday into Monday included).
QString checkTerms(const Terms &terms);

} // namespace pricing
