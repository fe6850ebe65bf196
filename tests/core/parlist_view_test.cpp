#include "core/parlist_view.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "params/trapar.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace nvx {
namespace {

using test::RecordingUi;
using test::ScopedUi;
using test::TempDir;

TEST(ParListLayoutTest, GridForEntryCountsAndWindowPosition) {
  // Twips to pixels, rounded to the nearest.
  const int pixels[][2] = {{0, 0},    {7, 0},     {8, 1},      {15, 1},     {100, 7},  {240, 16},
                           {260, 17}, {1400, 93}, {2200, 147}, {3700, 247}, {-15, -1}, {-8, -1}};
  for (const auto& [twips, px] : pixels) EXPECT_EQ(TwipsToPixels(twips), px) << twips;
  struct Case {
    int n, rows, visible;
    bool scroll;
    int widthTwips, heightTwips;
  };
  // clang-format off
  const Case cases[] = {
      {0, 1, 1, false, 3700, 360},  {-5, 1, 1, false, 3700, 360},  // heading row only
      {3, 4, 4, false, 3700, 1140}, {29, 30, 30, false, 3700, 7900},
      {30, 31, 31, false, 3700, 8160},  // the last count without a scroll bar
      {31, 32, 31, true, 3940, 8160}, {40, 41, 31, true, 3940, 8160},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    const ParGridLayout g = ParListLayout(c.n);
    EXPECT_EQ(std::vector<int>({g.rows, g.visibleRows, g.scrollBar, g.widthTwips, g.heightTwips}),
              std::vector<int>({c.rows, c.visible, c.scroll, c.widthTwips, c.heightTwips}));
    // The pixel grid holds exactly the visible rows plus the border room.
    EXPECT_EQ(g.heightPx, 17 * g.visibleRows + 7);
    EXPECT_EQ(g.widthPx, 147 + 93 + 7 + (c.scroll ? 16 : 0));
    EXPECT_EQ(std::vector<int>({g.keyColPx, g.valueColPx, g.rowPx, g.marginPx}),
              std::vector<int>({147, 93, 17, 8}));
  }
  // A negative top or left centres the window; twips become pixels.
  const int16_t positions[][4] = {
      {-1, -1, 284, 361}, {-1, 300, 284, 361}, {300, -1, 284, 361}, {0, 0, 0, 0}};
  for (const auto& p : positions) {
    const ParWindowPos w = ParListWindowPos(p[0], p[1], 1024, 768, 301, 200);
    EXPECT_EQ(std::make_pair(w.top, w.left), std::make_pair(int{p[2]}, int{p[3]}))
        << p[0] << "," << p[1];
  }
  const ParamList list{{"MPORT", std::string("1")},
                       {"NAME", std::string("a b")},
                       {"SPEED", 500.0},
                       {"HALF", 0.5},
                       {"NEG", -12.0}};
  std::string shown;
  for (const auto& r : ParListRows(list)) shown += r.key + "=" + r.value + ";";
  EXPECT_EQ(shown, "MPORT=1;NAME=a b;SPEED=500;HALF=.5;NEG=-12;");
  EXPECT_TRUE(ParListRows({}).empty());
}

// Edits through the window are the window's tests; these are the rows it cannot give.
TEST(ParListSessionTest, CloseStoresRowsByKeyAFolderOpensEmptyAFailedWriteKeepsTheFile) {
  TempDir tmp;
  RecordingUi ui;
  ScopedUi scoped{ui};
  SetParDir(tmp.path());
  CurParList().clear();
  const std::string ab = "\"A\",1\r\n\"B\",2\r\n";
  struct Case {
    std::string file;
    std::vector<ParRow> rows;
    std::string written;
  };
  const Case cases[] = {
      {ab, {{"A", "5"}, {"b", "77"}}, "\"A\",5\r\n\"B\",2\r\n"},  // keys compare with case
      {ab, {{"A", "5"}}, "\"A\",5\r\n\"B\",2\r\n"},               // fewer rows than entries
      {"short\r\n", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    tmp.writeRaw("P.TXT", c.file);
    SetParFile("P.TXT");
    ASSERT_TRUE(ParListOpen());
    EXPECT_EQ(ParListClose(c.rows, true), 1);
    EXPECT_EQ(tmp.read("P.TXT"), c.written);
  }

  // A missing file is the window's test; a folder in the file's place opens empty too.
  std::filesystem::create_directory(tmp.file("ADIR.TXT"));
  tmp.writeRaw("OTHER.TXT", "\"X\",1\r\n");
  SetParFile("OTHER.TXT");
  ASSERT_EQ(ReadCurPar(), 1);
  SetParFile("ADIR.TXT");
  EXPECT_FALSE(ParListOpen());
  EXPECT_EQ(ParCount(), 0);  // the other file's entries are gone
  EXPECT_EQ(ParListClose(ParListRows(CurParList()), false), 0);
  EXPECT_TRUE(std::filesystem::is_directory(tmp.file("ADIR.TXT")));

  tmp.writeRaw("P.TXT", "\"A\",1\r\n");
  SetParFile("P.TXT");
  ASSERT_TRUE(ParListOpen());
  // The directory goes away under the editor: the write cannot succeed.
  SetParDir(tmp.path() + "gone/");
  SetParFile("P.TXT");
  EXPECT_EQ(ParListClose({{"A", "2"}}, true), -1);
  EXPECT_EQ(tmp.read("P.TXT"), "\"A\",1\r\n");
  CurParList().clear();
}

}  // namespace
}  // namespace nvx
