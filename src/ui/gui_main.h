// The program with windows: Qt application, single instance, start-up, the
// main window and the event loop.
#pragma once

#include <string>

namespace nvx {

class QtUi;

// Runs the program with windows until the main window is unloaded and no
// automation client holds the program. 3 when another instance runs.
int RunGui(int& argc, char** argv, const std::string& programDir, bool automation);

// The running program's Ui (nullptr outside RunGui).
QtUi* GuiUi();

// Ends the event loop when nothing holds the program any more: no main
// window loaded and no automation object alive. The automation road calls
// it when an object ends.
void QuitGuiIfIdle();

}  // namespace nvx
