#pragma once

#include "pricing/Pricing.h"

#include <QString>
#include <QtGlobal>
#include <memory>
#include <vector>

namespace stations {

// How a station is, or will next be, rented: one boolean, true meaning Contador.
enum class StationMode : bool { Prepago = false, Contador = true };

// The price of time, read once at start-up: Minutos for the price of one block (Pesos), the
// price kept in whole cents so no amount ever carries a binary residue.
struct Rate {
    qint16 Minutos = 0;
    qint64 cents = 0;
    friend bool operator==(const Rate &, const Rate &) = default;
};

// The background of a station's three time boxes: the system's colour until the last minute
// of a prepaid time first turns them red, then whichever colour the flashing left.
enum class Flash { Unset, Red, White };

// One station: what its boxes show and the rental it runs. The window shows it; the station
// logic (StationModel.h) changes it.
struct Station {
    qint16 blockMinutes = 0; // minute changes since the last block charge of a Contador rental
    bool running = false;
    StationMode mode = StationMode::Contador;

    // What the boxes show.
    qint64 hours = 0;
    qint64 minutes = 0; // a prepaid time may start with 60 or more
    int seconds = 0;
    qint64 cents = 0; // the amount, in whole cents (Prepago: all paid for it, blocks added included)
    Flash flash = Flash::Unset;
    int blocks = 1; // the scroll bar's value

    // The rental, while running.
    Rate rate;                // the rate in force when it opened
    qint64 openedAtMs = 0;    // on the monotonic clock
    QString openedUtc;        // the instant it opened, as stored (ISO 8601, UTC)
    qint64 secondsDone = 0;   // one-second steps applied since it opened
    qint64 blocksCharged = 0; // Contador: blocks paid so far, the first at the opening
    // Paused time is never counted: the time spent paused before the current pause, and the
    // instant the current pause began (-1 while it runs), both on the monotonic clock.
    qint64 pausedMs = 0;
    qint64 pausedAtMs = -1;
    bool paused() const { return pausedAtMs >= 0; }
    // Prepago: free minutes given on top of the blocks bought. Contador: the amount to take off
    // at the close.
    qint64 courtesyMinutes = 0;
    qint64 discountCents = 0;
    // Controllers in use: chosen while idle, kept by the rental (1 to pricing::kMaxControllers).
    int controllers = 1;
    // The terms the rental opened with, shared by every copy of it (the tick copies stations);
    // null while idle, and then the rate's plain terms.
    std::shared_ptr<const pricing::Terms> terms;

    friend bool operator==(const Station &, const Station &) = default;
};

// The room as delivered has five stations; a room may have from one to kMaxStations.
constexpr int kStations = 5;
constexpr int kMaxStations = 20;

// One station of the room as read at start-up: the number its records carry (1 to
// kMaxStations), the name its row shows, its console type and that type's terms. The first
// type (typeIndex 0) takes its block and price from Tarifa, so its terms' minutes and cents
// are those of the board's rate.
struct StationSetup {
    int number = 0;
    QString name;
    QString type;
    int typeIndex = 0;
    pricing::Terms terms;
};
// The room as delivered: "Puesto 1" ... "Puesto 5", one type, no rules.
std::vector<StationSetup> defaultRoom();
constexpr int kMaxBlocks = 24;
// A prepaid rental may be extended up to this many blocks in all, and given up to this many
// free minutes at a time.
constexpr int kMaxBoughtBlocks = 10 * kMaxBlocks;
constexpr int kMaxCourtesyMinutes = 120;
// 24 blocks of this many minutes still fit a 16-bit signed count.
constexpr int kMaxRateMinutes = 32767 / kMaxBlocks; // 1365
// A block's price stays below this, with at most two decimals.
constexpr double kMaxRatePesos = 1e9;

} // namespace stations
