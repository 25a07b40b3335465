// Ludomat: a rate meter for a room that rents game consoles by time.
//
// Architecture, from the bottom up:
//  - data/      the database handle over SQLite (statements arrive in the Jet dialect and are
//               translated, every literal bound) and the builders of every statement text;
//  - stations/  the main window formLudomat2: five stations, the one-second tick, opening and
//               closing rentals. A station is a plain record stepped by the monotonic clock
//               (StationModel.h), kept in the file while open and restored at start-up;
//  - accounts/, cash_close/, rate/  the other three windows;
//  - ui/        the thin layer over Qt the windows are written against: forms placed in twips,
//               message boxes, pictures, and injectable clock, folder, presenter and alarm.
// Everything runs on the one user-interface thread; nothing waits on it for long: a busy file
// is reported at once and a message about a station never holds the tick.
#include "stations/Startup.h"

int main(int argc, char *argv[]) {
    return stations::runProgram(argc, argv);
}
