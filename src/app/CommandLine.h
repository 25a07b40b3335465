#pragma once

#include <QString>
#include <optional>

namespace app {

// Jobs asked for on the command line, done without a window or a display:
//   ludomat --verify-journal [--data-dir DIR]
//   ludomat --backup FILE [--data-dir DIR]
//   ludomat --report --from "YYYY-MM-DD HH:MM" --to "YYYY-MM-DD HH:MM" [--operator NAME]
//           [--csv FILE] [--pdf FILE] [--data-dir DIR]
// Returns the exit status when the command line asked for one of them (or was wrong), nothing
// for a normal start. It decides before any application object exists. Only a PDF needs
// Qt's fonts, and takes them from Qt's own offscreen platform: no display is ever needed.
std::optional<int> runCommandLine(int argc, char *argv[]);

// The data folder asked for with --data-dir DIR, or empty.
QString dataDirArgument(int argc, char *argv[]);

} // namespace app
