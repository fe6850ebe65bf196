// The run state and the steps of a run that the window's buttons and the
// tick take.
#include <clocale>
#include <utility>

#include "base/numbers.h"
#include "base/ui.h"
#include "comm/comm.h"
#include "interp/interp.h"
#include "interp/interp_view.h"

namespace nvx {

namespace {

int16_t g_runState = 0;
int16_t g_nextLine = 0;
int16_t g_editAllowed = 0;
uint32_t g_runStart = 0;
// Below every real reading, so that the first one is shown.
int32_t g_lastTenths = -1;
std::string g_runStatus;
std::function<void(const std::string&)> g_cmdBoxSink;
std::function<void(const std::string&)> g_messageSink;

void SetControls(bool enabled, bool runOption) {
  InterpWin().controlsEnabled = enabled;
  InterpWin().runOption = runOption;
  InterpChanged(InterpChange::Controls);
}

}  // namespace

int16_t& RunState() { return g_runState; }
int16_t& NextLine() { return g_nextLine; }
int16_t& EditAllowed() { return g_editAllowed; }
uint32_t& RunStart() { return g_runStart; }
int32_t& LastTenths() { return g_lastTenths; }
std::string& RunStatus() { return g_runStatus; }

void SetCommandBoxSink(std::function<void(const std::string&)> sink) {
  g_cmdBoxSink = std::move(sink);
}
void SetInterpMessageSink(std::function<void(const std::string&)> sink) {
  g_messageSink = std::move(sink);
}

void ShowInterpMessage(const std::string& text) {
  if (GetUi().IsWindowLoaded("frmInterp")) {
    GetUi().ShowInterpMessage(text);
  } else if (g_messageSink) {
    g_messageSink(text);
  }
}

void StartRun() {
  g_runState = 1;
  g_editAllowed = 0;
  SetControls(false, true);
  g_runStart = TimeMs();
  g_runStatus = "PROGRAM (RE)STARTED";
  ShowInterpMessage(g_runStatus);
}

void StepOnce() {
  g_runState = 2;
  g_editAllowed = 0;
  SetControls(InterpWin().controlsEnabled, false);
}

void StopRun() {
  g_runState = 0;
  g_editAllowed = 1;
  SetControls(true, false);
  g_runStatus = "PROGRAM INTERRUPTED";
  ShowInterpMessage(g_runStatus);
}

void EndRun(const std::string& status) {
  g_runState = 0;
  SetControls(true, false);
  g_runStatus = status;
  ShowInterpMessage(status);
}

void StartOver() {
  if (TopLine() > 0) {
    ClearRows();
    TopLine() = 0;
    RedrawRows(0, 0, VisibleRows());
  }
  g_nextLine = 0;
  FetchNextLine();
}

std::string FetchNextLine() {
  const auto count = static_cast<int32_t>(ProgramLines().size());
  if (g_nextLine >= count || g_nextLine < 0) return "End";
  std::string line = ProgramLines()[static_cast<size_t>(g_nextLine)];
  const int32_t rows = VisibleRows();
  int32_t top = TopLine();
  if (g_nextLine - top >= rows) {
    // Below the last row: a page on, not past the end.
    top += rows;
    if (top >= count - rows) top = count - rows;
  }
  // Still out of view (the rows were scrolled away during a step): the line
  // is brought into view, the first row when it lies above.
  if (g_nextLine < top) top = g_nextLine;
  if (g_nextLine - top >= rows) top = count - rows;
  if (top < 0) top = 0;
  if (top != TopLine()) {
    TopLine() = static_cast<int16_t>(top);
    ClearRows();
    RedrawAll();
  }
  SelectRow(static_cast<int16_t>(g_nextLine - top));
  ++g_nextLine;
  return line;
}

int16_t SelectRow(int16_t row) {
  InterpWindowState& w = InterpWin();
  if (row < 0 || row >= VisibleRows()) return -1;
  if (w.selectedRow >= 0 && w.selectedRow < VisibleRows()) {
    InterpRow& old = w.rows[static_cast<size_t>(w.selectedRow)];
    old.numberColour = kRowColour;
    old.textColour = kRowColour;
  }
  InterpRow& r = w.rows[static_cast<size_t>(row)];
  r.numberColour = kSelectedNumberColour;
  r.textColour = kSelectedTextColour;
  w.selectedRow = row;
  InterpChanged(InterpChange::Rows);
  const auto index = TextToInt16(r.number);
  if (!index || *index < 0 || *index >= static_cast<int32_t>(ProgramLines().size())) return -1;
  if (g_cmdBoxSink) g_cmdBoxSink(ProgramLines()[static_cast<size_t>(*index)]);
  return *index;
}

std::string FormatTenths(int32_t tenths, const std::string& separator) {
  std::string t = FormatInt(tenths / 10);
  if (tenths % 10 != 0) t += separator + FormatInt(tenths % 10);
  return t;
}

void ShowElapsed(uint32_t ms) {
  const auto tenths = static_cast<int32_t>(RoundHalfEven(ms / 100.0));
  if (tenths == g_lastTenths) return;
  const char* point = std::localeconv()->decimal_point;
  InterpWin().time = FormatTenths(tenths, point && *point ? point : ".");
  g_lastTenths = tenths;
  InterpChanged(InterpChange::Time);
}

void ResetInterpreter() {
  g_runState = 0;
  g_nextLine = 0;
  g_editAllowed = 0;
  g_runStart = 0;
  g_lastTenths = -1;
  g_runStatus.clear();
  InterpWin() = InterpWindowState{};
  ProgramPath().clear();
  SetProgram({"End"});
}

}  // namespace nvx
