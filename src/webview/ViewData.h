#pragma once

#include "data/Journal.h"
#include "stations/OpenStations.h"

#include <QDate>
#include <QDateTime>
#include <QJsonObject>

namespace data {
class Database;
}

// What the owner's view shows, read from the books through the view's own read-only handle and
// written as the JSON its page and /api/... give. Money in whole cents ("importe") beside the
// text the program writes it as ("texto": "1500,50"); times local, ISO 8601 to the second.
// Each throws data::DbError when the file cannot be read.
namespace webview {

// The room now: every station of the room (as the counter shows them, from Puestos and
// PuestosAbiertos), each with its name, type, mode, operator, time run or left, amount so far
// and whether it is paused, stepped on to `now` exactly as a restart would bring it back.
QJsonObject roomNow(data::Database &db, const stations::ClockReading &now);

// Today from 00:00 to nowLocal: the same total the cash close gives for that period, by station
// and by operator, the rentals' count, and the shifts open at any moment of it (the open one
// with its totals so far) with their differences.
QJsonObject today(data::Database &db, const QDateTime &nowLocal);

// The takings of each of the `count` days up to and including `last` (oldest first), a day with
// nothing recorded as 0.
QJsonObject days(data::Database &db, const QDate &last, int count);

// The journal as last verified: entries, the last entry's hash, whether the chain verifies and
// when it was checked.
QJsonObject journalState(const journal::Verification &verification, const QDateTime &checkedLocal);

} // namespace webview
