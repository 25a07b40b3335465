#pragma once

#include <QString>
#include <optional>

namespace app {

// Jobs asked for on the command line, done without a window or a display (`ludomat --help`
// lists them): --verify-journal, --backup FILE, --restore COPY, --report with its period and
// files, --serve with its port (the owner's view, Serve.h), --help and --version, each with
// [--data-dir DIR].
// Returns the exit status when the command line asked for one of them (or was wrong: status 2),
// nothing for a normal start. It decides before any application object exists, so a normal start
// pays for no parsing object of its own. Only a PDF needs Qt's fonts, and takes them from Qt's own
// offscreen platform: no display is ever needed.
std::optional<int> runCommandLine(int argc, char *argv[]);

// The data folder asked for: --data-dir DIR, else LUDOMAT_DATA_DIR (sys::askedDataFolder); empty
// when neither.
QString dataDirArgument(int argc, char *argv[]);

} // namespace app
