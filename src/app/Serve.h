#pragma once

#include <QString>

namespace app {

// `ludomat --serve`: the owner's view in a process of its own, started by the program (see
// webview::ViewServer). What the command line gave, as typed.
struct ServeArguments {
    QString dataDir;     // --data-dir; empty: the program's choice
    QString port;        // --port: 0 takes a free one
    QString bind;        // --bind; empty: every address
    QString certificate; // --certificate and --key together; both empty: the program's own
    QString key;
};

// Runs the view on the application object that exists by now, until SIGTERM (or SIGINT, SIGHUP)
// or the end of the process that started it. Once listening it prints one line on standard
// output, `LISTO <port> <fingerprint>`; what stands in the way goes to standard error in Spanish,
// status 1 (2 for arguments that make no sense). Nothing it prints holds a token, a code or a
// request.
int serve(const ServeArguments &arguments);

} // namespace app
