// Ludomat: a rate meter for a room that rents game consoles by time.
//
// Architecture, from the bottom up:
//  - data/      the database handle over SQLite (statements arrive in the Jet dialect and are
//               translated, every literal bound) and the builders of every statement text;
//  - stations/  the main window formLudomat2: five stations, the one-second tick, opening and
//               closing rentals; its arithmetic lives apart, testable without widgets;
//  - accounts/, cash_close/, rate/  the other three windows;
//  - ui/        the thin layer over Qt the windows are written against: forms placed in twips,
//               message boxes, pictures, and injectable clock, folder, presenter and alarm.
// Everything runs on the one user-interface thread; writing a control from code runs its
// change handler at once through Qt's synchronous signals, and the station logic relies on it.
#include "stations/Startup.h"

int main(int argc, char *argv[]) {
    return stations::runProgram(argc, argv);
}
