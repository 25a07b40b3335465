#pragma once

#include "data/Recordset.h"
#include "stations/StationTypes.h"

#include <QDateTime>
#include <QStringList>
#include <memory>
#include <optional>

// The open stations kept in PuestosAbiertos, so a running rental outlives whatever stops the
// program, and bringing them back at start-up as if the program had never stopped.
namespace stations {

// An instant as PuestosAbiertos keeps it: ISO 8601 in UTC, to the second ("2026-12-05T17:05:09Z").
QString instantText(const QDateTime &instant);
// Reads such an instant (any ISO 8601 offset); nullopt when it is not one.
std::optional<QDateTime> readInstant(const QString &text);

// A rental's terms as PuestosAbiertos keeps them (Condiciones): compact JSON with its version,
// {"v":1,"m":60,"c":1000,"min":1,"tol":0,"mando":0,"per":[{"n":"Tarde","d":31,"de":840,"a":1020,"c":800}]}.
QString termsText(const pricing::Terms &terms);
// Reads such a text back; nullopt when it is not one, or its terms are not usable ones.
std::optional<pricing::Terms> readTerms(const QString &text);

// No station stays open longer than this: a row that says otherwise is not a rental.
constexpr qint64 kMaxOpenSeconds = 366LL * 24 * 3600;

// One row of PuestosAbiertos, read and checked.
struct OpenRow {
    qint64 fila = 0; // the row's rowid
    int puesto = 0;  // 1 to kMaxStations
    StationMode mode = StationMode::Contador;
    QString usuario;
    QString apertura; // as stored: the row's key together with the station
    QDateTime openedUtc;
    Rate rate;
    int blocks = 0;             // Prepago only: bought, added blocks included
    qint64 courtesyMinutes = 0; // Prepago only
    qint64 discountCents = 0;   // Contador only
    // What it opened with: the console type's name (may be empty), the controllers and the terms
    // (a row written before they were kept: plain terms of its rate, one controller), and for a
    // prepaid one all it was paid (-1 when not kept: its blocks at its rate).
    QString consola;
    int controllers = 1;
    std::shared_ptr<const pricing::Terms> terms;
    qint64 paidCents = -1;
    // Its time as last kept: the boot and that boot's clock at the opening (empty in a row
    // written before they were kept, or on a machine that names no boot), the whole seconds
    // known to have passed, and the wall instant they were seen at (the opening when never kept).
    QString boot;
    qint64 bootMs = 0;
    bool timeKept = false;
    qint64 knownSeconds = 0;
    QDateTime seenUtc;
    // Its pauses: the time spent paused before the current pause, and the time it had run when
    // the current pause began (-1: it runs).
    qint64 pauseMs = 0;
    qint64 pausedRunMs = -1;
};

struct RowCheck {
    std::optional<OpenRow> row;
    qint64 fila = 0;
    int puesto = 0;  // the station it names, when it names one from 1 to kMaxStations
    QString label;   // how the row is named in a message
    QString detail;  // how the journal names it: Puesto, Modo, Usuario and Apertura as stored
    QString problem; // why it cannot be restored, when it cannot
};
// Checks the current row of a PuestosAbiertos result set: every value within what the program
// itself writes (the rate editor's limits, stations 1 to kMaxStations, instants it can read,
// terms it can use).
RowCheck checkOpenRow(const data::Recordset &rows);

// The instant a prepaid time bought at opened ends.
QDateTime prepaidEnd(const QDateTime &openedUtc, const Rate &rate, int blocks);

// The clocks at a start: the wall clock, the boot clock and the boot it counts from.
struct ClockReading {
    QDateTime wallUtc;
    qint64 bootMs = 0;
    QString boot;
};

// How long an open station has run, from its row and the clocks at a start. In the boot it
// opened in, exactly the boot clock's difference, whatever the wall clock did. After a reboot,
// the wall clock's difference since the opening or, when smaller, the time known plus the wall
// time since it was last seen; never less than the time known, so a wall clock earlier than
// the last one seen adds nothing.
struct Elapsed {
    qint64 ms = 0;
    bool sameBoot = false;
    bool wallBehind = false; // another boot, and a wall clock earlier than the last one seen
    // The time counted beyond what was known, that is while the program was down; -1 when the
    // row kept no time of its own.
    qint64 downSeconds = -1;
    QString problem; // a time no rental can have run
};
Elapsed elapsedAtStart(const OpenRow &row, const ClockReading &now);

// A station brought back from its row, stepped on to nowMs as if the program had never stopped,
// at the rate it opened with, elapsedMs after its opening.
struct Restored {
    Station station;
    bool ended = false; // a prepaid time that ran out meanwhile
};
Restored restoreStation(const OpenRow &row, qint64 elapsedMs, qint64 nowMs);

// A span of time as the messages give it: "59 min", "1 h 5 min".
QString spanText(qint64 minutes);

// What the one message after start-up says of a restored station, e.g. "Puesto 1 (Contador,
// desde 14:05)" or "Puesto 3 (Prepago, quedan 25 min)"; an opening on another day than today
// carries its date ("desde el 01/12 10:00"). openedLocal is its opening in local time.
// name is the station's, as its row shows it ("Puesto 1", "PS5 Sala").
QString restoredLabel(const Restored &r, const QString &name, const QDateTime &openedLocal, const QDate &today);
// What the message says of the time the program was down, from the restored stations' times.
QString downtimeText(const QList<Elapsed> &restored);

struct RestoreReport {
    QStringList restored;  // restoredLabel of each
    QString downtime;      // downtimeText
    QStringList rejected;  // each row that cannot be restored: its label and why
    bool setAside = false; // those rows went to PuestosApartados; else they stay as they were
    QString cannotWrite;   // why the file cannot be written, when it cannot
};
// The one message after start-up; empty when there is nothing to say.
QString restoreMessage(const RestoreReport &report);

} // namespace stations
