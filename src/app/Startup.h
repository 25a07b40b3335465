#pragma once

namespace app {

// Runs a job asked for on the command line, or else creates the application and the main
// window, runs start-up and the event loop.
int runProgram(int argc, char *argv[]);

} // namespace app
