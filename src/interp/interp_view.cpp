#include "interp/interp_view.h"

#include <algorithm>
#include <utility>

#include "base/numbers.h"
#include "interp/interp.h"

namespace nvx {

namespace {

InterpWindowState g_win;
std::function<void(InterpChange)> g_viewHook;

int32_t LineCount() { return static_cast<int32_t>(ProgramLines().size()); }

// Rows are written with edits held off, as a person's edit of a row being
// redrawn must not be stored.
class EditsHeld {
 public:
  EditsHeld() : saved_(EditAllowed()) { EditAllowed() = 0; }
  ~EditsHeld() { EditAllowed() = saved_; }
  EditsHeld(const EditsHeld&) = delete;
  EditsHeld& operator=(const EditsHeld&) = delete;

 private:
  int16_t saved_;
};

// The line number a row's caption shows; -1 for an empty row.
int32_t RowLine(int32_t row) {
  if (row < 0 || row >= VisibleRows()) return -1;
  const auto n = TextToInt32(g_win.rows[static_cast<size_t>(row)].number);
  return n && *n >= 0 ? *n : -1;
}

int32_t SelectedLine() { return RowLine(g_win.selectedRow); }

}  // namespace

InterpWindowState& InterpWin() { return g_win; }
int16_t& TopLine() { return g_win.topLine; }
int16_t VisibleRows() { return static_cast<int16_t>(g_win.rows.size()); }

void SetInterpViewHook(std::function<void(InterpChange)> hook) { g_viewHook = std::move(hook); }

void InterpChanged(InterpChange what) {
  if (g_viewHook) g_viewHook(what);
}

int16_t VisibleRowsFor(int rowTop, int rowHeight, int messageTop) {
  if (rowHeight <= 0) return 1;
  const int n = (messageTop - rowTop) / rowHeight;
  return static_cast<int16_t>(std::clamp(n, 1, 1000));
}

void LoadInterpWindow(int16_t visibleRows) {
  g_win.rows.assign(static_cast<size_t>(std::max<int16_t>(visibleRows, 1)), InterpRow{});
  if (g_win.selectedRow >= VisibleRows()) g_win.selectedRow = 0;
  RedrawAll();
  if (RunState() == 0) EditAllowed() = 1;
  InterpChanged(InterpChange::Controls);
}

void ClearRows() {
  {
    EditsHeld held;
    for (InterpRow& r : g_win.rows) {
      r.number.clear();
      r.text.clear();
    }
  }
  InterpChanged(InterpChange::Rows);
}

void RedrawRows(int32_t firstLine, int32_t firstRow, int32_t count) {
  {
    EditsHeld held;
    for (int32_t r = 0; r < count; ++r) {
      const int32_t row = firstRow + r;
      const int32_t line = firstLine + r;
      if (row < 0 || line < 0 || row >= VisibleRows() || line >= LineCount()) break;
      InterpRow& target = g_win.rows[static_cast<size_t>(row)];
      target.number = FormatInt(line);
      target.text = ProgramLines()[static_cast<size_t>(line)];
    }
  }
  InterpChanged(InterpChange::Rows);
}

void RedrawAll() { RedrawRows(g_win.topLine, 0, VisibleRows()); }

void ScrollRows(int32_t delta) {
  int32_t top = g_win.topLine + delta;
  if (top >= LineCount() - VisibleRows()) top = LineCount() - VisibleRows();
  if (top < 0) top = 0;
  if (top == g_win.topLine) return;
  ClearRows();
  g_win.topLine = static_cast<int16_t>(top);
  RedrawAll();
}

bool RowKey(int keyCode) {
  int32_t delta = 0;
  switch (keyCode) {
    case 33: delta = -VisibleRows(); break;
    case 34: delta = VisibleRows(); break;
    case 38: delta = -1; break;
    case 40: delta = 1; break;
    default: return false;
  }
  if (EditAllowed() != 0) ScrollRows(delta);
  return true;
}

void FormatProgram() {
  const std::string msg =
      CheckProgram(ProgramLines()) == 1 ? "Program formatted" : "Program has mistakes";
  g_win.topLine = 0;
  ClearRows();
  RedrawRows(0, 0, 1000);
  EditAllowed() = 1;
  ShowInterpMessage(msg);
}

void InsertLine() {
  const int32_t n = SelectedLine();
  if (n < 0 || n >= LineCount() || LineCount() >= kMaxProgramLines) return;
  ProgramLines().insert(ProgramLines().begin() + n, std::string());
  RedrawAll();
}

void DeleteLine() {
  const int32_t n = SelectedLine();
  if (n < 0 || n >= LineCount() || LineCount() <= 1) return;
  ProgramLines().erase(ProgramLines().begin() + n);
  ClearRows();
  RedrawAll();
}

void TypeRowText(int16_t row, const std::string& text) {
  if (row < 0 || row >= VisibleRows()) return;
  g_win.rows[static_cast<size_t>(row)].text = text;
}

void StoreRowEdit(int16_t row) {
  if (EditAllowed() == 0) return;
  const int32_t line = row + g_win.topLine;
  // A row that shows no line (a window's row not drawn yet) stores nothing.
  if (line >= LineCount() - 1 || RowLine(row) != line) return;
  ProgramLines()[static_cast<size_t>(line)] = g_win.rows[static_cast<size_t>(row)].text;
  NextLine() = static_cast<int16_t>(SelectRow(row) + 1);
}

void ClickRow(int16_t row) { NextLine() = static_cast<int16_t>(SelectRow(row) + 1); }

}  // namespace nvx
