#pragma once

namespace stations {

// Creates the application and the main window, runs start-up and the event loop.
int runProgram(int argc, char *argv[]);

} // namespace stations
