// The interpreter window frmInterp without pixels: its numbered rows, which
// line the first row shows, the selected row, the enabled controls, the Run
// option, the time label and the caption, and the rules of scrolling,
// inserting, deleting and storing edits. The Qt window renders this model
// and forwards clicks, keys and typing to it; a run uses the same rows with
// or without a window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nvx {

// Row colours: plain rows, and the selected row's number button and text.
constexpr int32_t kRowColour = 12632256;
constexpr int32_t kSelectedNumberColour = 8421504;
constexpr int32_t kSelectedTextColour = 14737632;

// The rows until a window sets its own number.
constexpr int16_t kDefaultVisibleRows = 20;

struct InterpRow {
  std::string number;  // cmdNmb's caption: the line number, "" for an empty row
  std::string text;    // txtCmd's text (what was typed stays until stored or redrawn)
  int32_t numberColour = kRowColour;
  int32_t textColour = kRowColour;
};

struct InterpWindowState {
  std::vector<InterpRow> rows = std::vector<InterpRow>(kDefaultVisibleRows);
  int16_t topLine = 0;  // TopLine: the line row 0 shows
  int16_t selectedRow = 0;
  // The editing controls: the menus "&Edit", "&File", "&View", the entries
  // "&Run", "Ste&p", "Start &Over" and the buttons Delete, Insert, Over,
  // Step, Run, Read and Write. Stop is always enabled.
  bool controlsEnabled = true;
  bool runOption = false;  // optRun
  std::string time = "time";
  std::string caption = "Program Interpreter";
};

InterpWindowState& InterpWin();
int16_t& TopLine();
int16_t VisibleRows();

// What changed, for the window to render again.
enum class InterpChange { Rows, Controls, Time, Caption };
void SetInterpViewHook(std::function<void(InterpChange)> hook);

// The rows that fit between the first row and the message line (at least
// the first row itself).
int16_t VisibleRowsFor(int rowTop, int rowHeight, int messageTop);
// The window's loading: its number of rows, then the program shown from
// TopLine, so that no row of a window opened again is empty over a program
// line; edits are allowed unless a program runs or steps.
void LoadInterpWindow(int16_t visibleRows);

void ClearRows();
void RedrawRows(int32_t firstLine, int32_t firstRow, int32_t count);
void RedrawAll();  // RedrawRows(TopLine, 0, VisibleRows)
void ScrollRows(int32_t delta);
// Keys 33 (Page Up), 34 (Page Down), 38 (Up) and 40 (Down) scroll while
// edits are allowed; true when the key is one of them.
bool RowKey(int keyCode);
void FormatProgram();
void InsertLine();
void DeleteLine();
// Typing into a row's text box: the row shows the text, nothing is stored.
void TypeRowText(int16_t row, const std::string& text);
// The row's text box lost the focus: its text becomes the program line the
// row shows, while edits are allowed and that line is not the last one.
void StoreRowEdit(int16_t row);
// A click on a row's number button or text box.
void ClickRow(int16_t row);

// Notifies the view (used by the run and the control words).
void InterpChanged(InterpChange what);

}  // namespace nvx
