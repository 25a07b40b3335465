// Ludomat: a rate meter for a room that rents game consoles by time.
//
// Architecture, from the bottom up (each folder one layer; the link targets keep the core free
// of widgets):
//  - platform/  the system's pieces behind small interfaces: the clocks, where the books are,
//               the one-program lock and the second start; Platform is the seam a window is
//               written against (clock, messages, alarm, the program's end, the file chooser);
//               Background is the one way work leaves the user-interface thread;
//  - data/      the database handle over SQLite (statements arrive in the Jet dialect and are
//               translated, every literal bound), the statement texts, the journal, the copies;
//  - stations/  the room as a service: StationBoard owns the stations (plain records stepped by
//               the monotonic clock, money in whole cents), the store handle their records go
//               through and the rate in force. Its commands write each change with its journal
//               entry in one transaction before the station changes; it signals a station
//               changed, a prepaid time ended, a write failed and what start-up restored;
//  - accounts/  Session (who is signed in, with which rights); AccountService, the accounts of
//               the books: every password checked through the file's one throttle, every change
//               written with its journal entry, the sign-in made in the session; the password and
//               name rules;
//  - shifts/    the operator's shift: ShiftService opens it with a float, takes cash in and out and
//               closes it with a count of the drawer, each with its journal entries in one
//               transaction on the board's handle, and signals shiftClosed with what its slip needs;
//  - cash_close/  the cash-close run and its exports; rate/  the rate's input and RateService,
//               whose command stores a new rate with its journal entry and signals rateStored;
//  - printing/  slips and receipts for a thermal printer: a Document laid out and encoded as
//               ESC/POS, the printer's settings, and PrintService, which sends its queue one job
//               after another in the background and says once when the printer is down;
//  - webview/   the owner's view: a read-only page served over HTTPS by `ludomat --serve`, a
//               process of its own with a read-only handle on the books (the counter never waits
//               for it), its paired devices in vista.db; here also its settings and ViewProcess,
//               the supervisor that runs that process, restarts it after a crash and ends it;
//  - report/    the printed report (painting only, for the command line's PDF too), a slip as PDF;
//  - ui/        the windows: they show the services, call their commands and connect to their
//               signals, and say what the operator asks for; none knows another. Also the real
//               message boxes, alarm and file chooser behind the platform's seam;
//  - app/       main, the start-up, the command line and the Desk, where the program is put
//               together.
// The Desk owns the services (Session, AccountService, StationBoard, RateService, ShiftService,
// PrintService) and every window: the main window for the whole run; the accounts window, the cash
// close, the rate window, the room's and the printer's from when they are asked for until they are
// left; the owner's view's window likewise, and the ViewProcess for the whole run (started at
// start-up when the view was left on); the board's sales become receipts there; the journal and
// chart windows as the cash close's children. Who signals whom: the main window's buttons ask the Desk for a change
// of user, the cash close, the rate window or the end; the accounts window signs in through
// AccountService (into the Session) and then says signedIn, and the Desk gives the main window
// back its input, or says exitRequested and the Desk ends the program; the cash close asks for
// its journal and charts, says it was left, or that a copy was put back (the Desk then asks for a
// sign-in); the board's and the session's signals update the main window; the rate window
// stores through RateService and checks the administrator through AccountService. While the
// accounts window or the cash close is open the Desk keeps the main window disabled; the rate
// window leaves it usable.
// The stations, the tick and the windows run on the user-interface thread; the copies of the
// books, the restore, the journal's checks, the cash-close run and the start's journal entry
// (written while the first windows are built) are jobs in the background
// (sys::runInBackground): each works on values and a connection of its own and reports once, in
// a callback on the window that asked, which meanwhile disables what must wait. No event loop
// waits for a job; a window that goes cancels its job (a copy is never cut: it is waited for).
// Nothing waits on the user-interface thread for long: a busy file is reported at once and a
// message about a station never holds the tick.
#include "app/Startup.h"

int main(int argc, char *argv[]) {
    return app::runProgram(argc, argv);
}
