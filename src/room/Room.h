#pragma once

#include "pricing/Pricing.h"
#include "stations/StationTypes.h"

#include <QString>
#include <vector>

namespace data {
class Database;
}

// The room as the owner configured it: its stations (Puestos) and console types (Consolas, with
// their periods in Periodos). Read once at start-up; the first type takes its block and price
// from Tarifa.
namespace room {

struct ConsoleType {
    QString name;
    pricing::Terms terms;
};

struct StationEntry {
    int number = 0; // 1..stations::kMaxStations, the number its records carry
    QString name;
    QString type; // a ConsoleType's name
    friend bool operator==(const StationEntry &, const StationEntry &) = default;
};

struct Room {
    std::vector<StationEntry> stations;
    std::vector<ConsoleType> types; // the first one's minutes and price are Tarifa's
};

// The delivered room: "Puesto 1" ... "Puesto 5" of one type "Consola" at the given rate, no rules.
Room defaultRoom(const stations::Rate &tarifa);

// The room stored in the file, or the delivered one when Puestos is empty or missing; the
// first type's minutes and price are tarifa's. Throws data::DbError when the file cannot be
// read, or when what it holds is no room (checkRoom's text says why).
Room readRoom(data::Database &db, const stations::Rate &tarifa);

// The board's stations: ordered by number, each with its type's position and terms.
std::vector<stations::StationSetup> stationSetups(const Room &room);

// The first thing wrong with a room, in Spanish and naming it; empty when it can be used.
QString checkRoom(const Room &room);

// Whether two types charge alike: block, prices, rules and periods (names included).
bool sameTerms(const pricing::Terms &a, const pricing::Terms &b);

// Where a station's name and a type's name are compared: trimmed, regardless of case.
bool sameName(const QString &a, const QString &b);

} // namespace room
