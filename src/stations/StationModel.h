#pragma once

#include "stations/StationMath.h"
#include "stations/StationTypes.h"

// The station logic on the plain Station record: modes, the prepaid split, opening, closing and
// the one-second step, with the block charge and the last-minute flashing that each change of
// the minutes and of the seconds brings. The main window calls these from its handlers and then
// shows the record; nothing here knows a widget.
namespace stations {

// The amount of a number of blocks at a price per block, both in whole cents.
qint64 blockAmount(qint64 cents, qint64 blocks);

// Terms that charge exactly as a bare rate does: every started block at one price, one
// controller. A rental under other terms is priced by the pricing rules and journals its
// breakdown.
bool plainTerms(const pricing::Terms &terms, int controllers);
// The plain terms of a rate.
pricing::Terms termsOf(const Rate &rate);

// Choosing "Contador": money, hours and minutes cleared, the seconds left as they are.
void chooseContador(Station &s);
// Choosing "Prepago": one block, shown as 0 hours and the rate's minutes, at the rate's price.
void choosePrepago(Station &s, const Rate &rate);
// The scroll bar at `blocks`: the prepaid split of that many blocks and their price.
void setBlocks(Station &s, int blocks, const Rate &rate);

// Opens the station at the rate in force: a Contador rental starts at 0:0:0 with its first
// block paid (or, under its terms s.terms, the blocks and price they charge at the opening); a
// prepaid one counts down from the time bought. nowMs is the monotonic clock.
void openStation(Station &s, const Rate &rate, qint64 nowMs, const QString &openedUtc);
// Closes it: idle, "Contador", every box 0.
void closeStation(Station &s);

// The prepaid time of an open Prepago station, in seconds: its blocks and its courtesy minutes.
qint64 boughtSeconds(const Station &s);
// A prepaid station's boxes as its blocks and courtesy minutes make them at its opening, then
// moved on to nowMs: how an extended rental counts down, the same whether it was extended while
// the program ran or brought back after. False when that time has already ended.
bool recountPrepaid(Station &s, qint64 nowMs);

// One second of an open station, exactly as one tick moves it: the count up or down, the
// block charge on the change of the minutes, the flashing on the change of the seconds.
// Returns true when the station was found at 0:0:0 in Prepago: its prepaid time has ended.
bool stepSecond(Station &s);

struct CatchUp {
    qint64 steps = 0;
    bool ended = false;
};
// Moves an open station on to the seconds it has run since it opened (paused time left out), one step per
// second in order, so late or missing ticks change nothing of what it shows or charges. Stops
// at the end of a prepaid time.
CatchUp catchUp(Station &s, qint64 nowMs);

} // namespace stations
