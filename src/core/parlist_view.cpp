#include "core/parlist_view.h"

#include <algorithm>
#include <variant>

#include "base/numbers.h"

namespace nvx {

int TwipsToPixels(int twips) {
  if (twips >= 0) return (twips * 2 + kTwipsPerPixel) / (2 * kTwipsPerPixel);
  return -((-twips * 2 + kTwipsPerPixel) / (2 * kTwipsPerPixel));
}

ParGridLayout ParListLayout(int n) {
  ParGridLayout g;
  if (n < 0) n = 0;
  g.rows = n + 1;
  g.visibleRows = std::min(g.rows, kParMaxVisibleRows);
  g.scrollBar = g.rows > g.visibleRows;
  g.widthTwips = kParKeyColTwips + kParValueColTwips + kParGridExtraTwips +
                 (g.scrollBar ? kParScrollBarTwips : 0);
  g.heightTwips = kParRowTwips * g.visibleRows + kParGridExtraTwips;

  g.keyColPx = TwipsToPixels(kParKeyColTwips);
  g.valueColPx = TwipsToPixels(kParValueColTwips);
  g.rowPx = TwipsToPixels(kParRowTwips);
  const int extraPx = TwipsToPixels(kParGridExtraTwips);
  g.widthPx =
      g.keyColPx + g.valueColPx + extraPx + (g.scrollBar ? TwipsToPixels(kParScrollBarTwips) : 0);
  g.heightPx = g.rowPx * g.visibleRows + extraPx;
  g.marginPx = TwipsToPixels(kParMarginTwips);
  return g;
}

ParWindowPos ParListWindowPos(int16_t ftop, int16_t fleft, int screenWidthPx, int screenHeightPx,
                              int windowWidthPx, int windowHeightPx) {
  ParWindowPos p;
  if (ftop < 0 || fleft < 0) {
    p.top = (screenHeightPx - windowHeightPx) / 2;
    p.left = (screenWidthPx - windowWidthPx) / 2;
  } else {
    p.top = TwipsToPixels(ftop);
    p.left = TwipsToPixels(fleft);
  }
  return p;
}

std::string ParCellText(const ParValue& v) {
  if (const double* d = std::get_if<double>(&v)) return FormatNumber(*d);
  return std::get<std::string>(v);
}

std::vector<ParRow> ParListRows(const ParamList& list) {
  std::vector<ParRow> rows;
  rows.reserve(list.size());
  for (const ParEntry& e : list) rows.push_back({e.key, ParCellText(e.value)});
  return rows;
}

bool ParListOpen() {
  if (ReadCurPar() == 1) return true;
  CurParList().clear();
  return false;
}

int StoreParListRows(const std::vector<ParRow>& rows) {
  int stored = 0;
  const int16_t n = ParCount();
  for (int16_t i = 0; i < n; ++i) {
    std::string key;
    ParValue value;
    if (GetParAt(i, key, value) == -1) break;
    const auto row = static_cast<size_t>(i);
    if (row >= rows.size()) break;
    if (rows[row].key != key) continue;
    if (SetParAt(i, ParValue(rows[row].value)) == -1) break;
    ++stored;
  }
  return stored;
}

int16_t ParListClose(const std::vector<ParRow>& rows, bool writeBack) {
  StoreParListRows(rows);
  if (!writeBack) return 0;
  return WriteCurPar() == 1 ? 1 : -1;
}

}  // namespace nvx
