#pragma once

#include <optional>

namespace stations {

// Jobs asked for on the command line, done without a window or a display:
//   ludomat --verify-journal [--data-dir DIR]
// Returns the exit status when the command line asked for one of them (or was wrong), nothing
// for a normal start. It decides before any application object exists and makes only a
// QCoreApplication, so it runs where there is no display at all.
std::optional<int> runCommandLine(int argc, char *argv[]);

} // namespace stations
