// The program with windows: Qt application, single instance, start-up, the
// main window and the event loop.
#pragma once

#include <string>

namespace nvx {

// Runs the program with windows until the main window is unloaded and no
// automation client holds the program. 3 when another instance runs.
int RunGui(int& argc, char** argv, const std::string& programDir, bool automation);

}  // namespace nvx
