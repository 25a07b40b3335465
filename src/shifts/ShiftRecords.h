#pragma once

#include "shifts/Shift.h"

namespace data {
class Database;
}

// Reading the shifts back from the books (tables Turnos, MovimientosCaja, Alquiler). Each throws
// DbError.
namespace shifts {

// Turnos.Apertura and Cierre: local, "yyyy-MM-ddTHH:mm:ss".
QString shiftTimeText(const QDateTime &local);

// The shift open now, with its totals so far and what its drawer should hold; nullopt when none.
std::optional<ShiftRecord> openShift(data::Database &db);
// A shift's totals: its float, its sales (an open one's up to the last row recorded) and the
// cash moved by hand.
Totals totalsOf(data::Database &db, const ShiftRecord &shift);
// The shift of that number, as readShifts gives it; nullopt when there is none.
std::optional<ShiftRecord> shiftNumbered(data::Database &db, qint64 numero);
// The shifts opened from `from` to `to` (local, both included), oldest first; an open one with
// its totals so far and its expected cash, nothing counted.
QVector<ShiftRecord> readShifts(data::Database &db, const QDateTime &from, const QDateTime &to);
// The shifts that were open at any moment from `from` to `to` (local, both included), oldest
// first: opened by `to` and not closed before `from`. A shift marked without a count and no
// close time counts from its opening only.
QVector<ShiftRecord> shiftsDuring(data::Database &db, const QDateTime &from, const QDateTime &to);
// What the last closed shift left in the drawer: its count, else (closed uncounted) what it
// should have held; nullopt before the first shift.
std::optional<qint64> lastDrawerCents(data::Database &db);

} // namespace shifts
