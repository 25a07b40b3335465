// Ludomat: a rate meter for a room that rents game consoles by time.
//
// Architecture, from the bottom up:
//  - data/      the database handle over SQLite (statements arrive in the Jet dialect and are
//               translated, every literal bound) and the builders of every statement text;
//  - stations/  the room as a service without widgets: StationBoard owns the five stations
//               (plain records stepped by the monotonic clock, StationModel.h, money in whole
//               cents), the store handle their records go through and the rate in force. Its
//               commands (open, close, tick, acknowledge an end, restore, the minute's refresh)
//               write each change with its journal entry in one transaction before the station
//               changes; it signals a station changed, a prepaid time ended, a write failed and
//               what start-up restored. Open stations are kept in the file and restored at start.
//               Beside it the main window formLudomat2, a view: it shows the board, calls its
//               commands from its handlers and drives the tick with its QTimer;
//  - accounts/  Session (who is signed in, and whether as the administrator; every window asks
//               it, the main window's label only shows it), the password and name rules, the
//               sign-in throttle, and the accounts window, which signs in through the Session;
//  - cash_close/, rate/  the cash-close and rate windows;
//  - ui/        the thin layer over Qt the windows are written against: forms placed in twips,
//               message boxes, pictures, and injectable clock, folder, presenter and alarm.
// The main window owns the Session and the StationBoard for the whole run. The stations, the
// tick and the windows run on the user-interface thread; the copies of the books, the journal's
// checks and the cash-close run work on threads of their own. Nothing waits on the user-interface
// thread for long: a busy file is reported at once and a message about a station never holds the
// tick.
#include "stations/Startup.h"

int main(int argc, char *argv[]) {
    return stations::runProgram(argc, argv);
}
