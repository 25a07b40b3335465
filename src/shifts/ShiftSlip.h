#pragma once

#include "printing/Document.h"
#include "shifts/ShiftService.h"

namespace data {
class Database;
}

namespace shifts {

// A closed shift's slip again, from the books: the shift as stored, its last count and the
// journal entry that recorded that count (the close's, or the recount's). nullopt for a shift
// that is not closed with a count. Throws DbError.
std::optional<Closing> storedClosing(data::Database &db, qint64 numero);

// A shift's slip, for the counter's printer or a page: the shop's name (when given), the shift,
// its money, each denomination counted, the note, and the journal entry that recorded it, which
// `ludomat --verify-journal` checks against the file.
printing::Document slipDocument(const Closing &closing, const QString &shopName = {});

} // namespace shifts
