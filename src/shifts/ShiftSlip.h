#pragma once

#include "printing/Document.h"
#include "shifts/ShiftService.h"

namespace shifts {

// A shift's slip, for the counter's printer or a page: the shop's name (when given), the shift,
// its money, each denomination counted, the note, and the journal entry that recorded it, which
// `ludomat --verify-journal` checks against the file.
printing::Document slipDocument(const Closing &closing, const QString &shopName = {});

} // namespace shifts
