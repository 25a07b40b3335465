#pragma once

#include "room/Room.h"

#include <QDateTime>
#include <QString>
#include <vector>

namespace data {
class Database;
}

namespace room {

// The stations with a rental running, by number, as the file says (PuestosAbiertos).
std::vector<int> runningStations(data::Database &db);

// Stores `after` in place of `before` in one transaction with one journal entry "Configuración
// del salón" naming what changed, by `administrator`. Refused, with nothing stored, when after
// fails checkRoom, when a station that runs is removed or given another type, or when a type
// still used by a station or a running rental is removed. Returns the refusal, or the failing
// write's message, in Spanish; empty when stored.
QString saveRoom(data::Database &db, const Room &before, const Room &after, const QString &administrator,
                 const QDateTime &now);

// What changed, short, for the journal: "Puestos=6; Agregado=Puesto 6 (PS5); Consolas=2".
QString changeText(const Room &before, const Room &after);

} // namespace room
