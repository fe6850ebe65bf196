// The rules of the parameter list editor frmParList that need no pixels:
// what each grid row shows, the grid and window sizes (kept in twips, as the
// window's design gives them, and converted at 15 twips to a pixel), which
// cell edits what, and when the file is written back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "params/trapar.h"

namespace nvx {

constexpr int kTwipsPerPixel = 15;
constexpr int kParKeyColTwips = 2200;    // column 0, "Parameter"
constexpr int kParValueColTwips = 1400;  // column 1, "Value"
constexpr int kParRowTwips = 260;        // every row, the heading row too
constexpr int kParGridExtraTwips = 100;  // borders round the cells
constexpr int kParScrollBarTwips = 240;  // room for the vertical scroll bar
constexpr int kParMaxVisibleRows = 31;   // heading row included
constexpr int kParMarginTwips = 120;     // grid left and grid top in the window

// Twips to whole pixels, to the nearest (a half cannot occur at 15 to a pixel).
int TwipsToPixels(int twips);

// The grid's geometry for a list of n entries.
struct ParGridLayout {
  int rows = 1;         // grid rows, heading row included: n + 1
  int visibleRows = 1;  // min(n + 1, 31)
  bool scrollBar = false;
  // In twips, as designed.
  int widthTwips = 0;
  int heightTwips = 0;
  // In pixels: each part converted on its own and then added up, so that the
  // pixel grid holds exactly visibleRows rows of rowPx.
  int keyColPx = 0;
  int valueColPx = 0;
  int rowPx = 0;
  int widthPx = 0;
  int heightPx = 0;
  int marginPx = 0;  // grid left and top
};
ParGridLayout ParListLayout(int n);

// The window position for the request (ftop, fleft) in twips: centred when
// either is negative, else the request converted to pixels. Sizes in pixels.
struct ParWindowPos {
  int top = 0;
  int left = 0;
};
ParWindowPos ParListWindowPos(int16_t ftop, int16_t fleft, int screenWidthPx, int screenHeightPx,
                              int windowWidthPx, int windowHeightPx);

// One grid row below the heading: the key and the value as text.
struct ParRow {
  std::string key;
  std::string value;
};

// The value as a grid cell shows it: text unchanged, numbers in their plain
// form ("500", ".5").
std::string ParCellText(const ParValue& v);

// Rows 1..n of the grid for a list, in list order.
std::vector<ParRow> ParListRows(const ParamList& list);

// Opening the editor: reads the current parameter file. A file that could
// not be read (missing, not a regular file, too large) leaves the current
// list empty instead of holding the last file's entries, and the result says
// that the file must not be written back. True: write back on closing.
bool ParListOpen();

// Closing the editor with the grid's rows (row i holds entry i): every entry
// whose row still shows its key exactly gets the row's value (as text); an
// entry whose key cell was changed keeps its value. Rows beyond the list are
// ignored. Returns the number of entries whose value was stored.
int StoreParListRows(const std::vector<ParRow>& rows);

// Closing: stores the rows and, when writeBack, writes the whole list to the
// current parameter file (atomically). 1 written, 0 nothing written (the
// file could not be read when the editor opened), -1 the write failed.
int16_t ParListClose(const std::vector<ParRow>& rows, bool writeBack);

}  // namespace nvx
