#pragma once

#include "data/Recordset.h"
#include "stations/StationTypes.h"

#include <QDateTime>
#include <QStringList>
#include <optional>

// The open stations kept in PuestosAbiertos, so a running rental outlives whatever stops the
// program, and bringing them back at start-up as if the program had never stopped.
namespace stations {

// An instant as PuestosAbiertos keeps it: ISO 8601 in UTC, to the second ("2026-12-05T17:05:09Z").
QString instantText(const QDateTime &instant);
// Reads such an instant (any ISO 8601 offset); nullopt when it is not one.
std::optional<QDateTime> readInstant(const QString &text);

// One row of PuestosAbiertos, read and checked.
struct OpenRow {
    int puesto = 0; // 1 to 5
    StationMode mode = StationMode::Contador;
    QString usuario;
    QString apertura; // as stored: the row's key together with the station
    QDateTime openedUtc;
    Rate rate;
    int blocks = 0; // Prepago only
};

struct RowCheck {
    std::optional<OpenRow> row;
    QString label;   // how the row is named in a message
    QString problem; // why it cannot be restored, when it cannot
};
// Checks the current row of a PuestosAbiertos result set.
RowCheck checkOpenRow(const data::Recordset &rows);

// The instant a prepaid time bought at opened ends.
QDateTime prepaidEnd(const QDateTime &openedUtc, const Rate &rate, int blocks);

// A station brought back from its row, stepped on to nowMs as if the program had never
// stopped, at the rate it opened with. An opening instant after nowUtc (the clock was set back)
// restarts its count at 0.
struct Restored {
    Station station;
    bool ended = false;     // a prepaid time that ran out meanwhile
    bool restarted = false; // its stored opening lay in the future
};
Restored restoreStation(const OpenRow &row, const QDateTime &nowUtc, qint64 nowMs);

// What the one message after start-up says of a restored station, e.g. "Puesto 1 (Contador,
// desde 14:05)" or "Puesto 3 (Prepago, quedan 0:25)"; an opening on another day than today
// carries its date ("desde el 01/12 10:00"). openedLocal is its opening in local time.
QString restoredLabel(const Restored &r, int puesto, const QDateTime &openedLocal, const QDate &today);
// The whole message: the stations back, the rows skipped and, when the file cannot be written,
// why the stations cannot be closed yet. Empty when there is nothing to say.
QString restoreMessage(const QStringList &restored, const QStringList &skipped, const QString &cannotWrite);

} // namespace stations
