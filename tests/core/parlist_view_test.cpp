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

TEST(ParListLayoutTest, TwipsToPixelsRoundsToNearest) {
  struct Case {
    int twips, px;
  } cases[] = {{0, 0}, {7, 0}, {8, 1}, {15, 1}, {100, 7}, {240, 16}, {260, 17},
               {1400, 93}, {2200, 147}, {3700, 247}, {-15, -1}, {-8, -1}};
  for (const Case& c : cases) EXPECT_EQ(TwipsToPixels(c.twips), c.px) << c.twips;
}

TEST(ParListLayoutTest, GridForEntryCounts) {
  struct Case {
    int n, rows, visible;
    bool scroll;
    int widthTwips, heightTwips;
  } cases[] = {
      {0, 1, 1, false, 3700, 360},        // heading row only
      {3, 4, 4, false, 3700, 1140},
      {29, 30, 30, false, 3700, 7900},
      {30, 31, 31, false, 3700, 8160},    // the last count without a scroll bar
      {31, 32, 31, true, 3940, 8160},
      {40, 41, 31, true, 3940, 8160},
      {-5, 1, 1, false, 3700, 360},
  };
  for (const Case& c : cases) {
    const ParGridLayout g = ParListLayout(c.n);
    EXPECT_EQ(g.rows, c.rows) << c.n;
    EXPECT_EQ(g.visibleRows, c.visible) << c.n;
    EXPECT_EQ(g.scrollBar, c.scroll) << c.n;
    EXPECT_EQ(g.widthTwips, c.widthTwips) << c.n;
    EXPECT_EQ(g.heightTwips, c.heightTwips) << c.n;
    // The pixel grid holds exactly the visible rows plus the border room.
    EXPECT_EQ(g.heightPx, g.rowPx * g.visibleRows + 7) << c.n;
    EXPECT_EQ(g.widthPx, 147 + 93 + 7 + (c.scroll ? 16 : 0)) << c.n;
  }
  const ParGridLayout g = ParListLayout(3);
  EXPECT_EQ(g.keyColPx, 147);
  EXPECT_EQ(g.valueColPx, 93);
  EXPECT_EQ(g.rowPx, 17);
  EXPECT_EQ(g.marginPx, 8);
}

TEST(ParListLayoutTest, WindowPosition) {
  struct Case {
    int16_t ftop, fleft;
    int top, left;
  } cases[] = {
      {-1, -1, (768 - 200) / 2, (1024 - 301) / 2},
      {-1, 300, (768 - 200) / 2, (1024 - 301) / 2},  // either negative centres
      {300, -1, (768 - 200) / 2, (1024 - 301) / 2},
      {0, 0, 0, 0},
      {1500, 3000, 100, 200},                        // twips to pixels
  };
  for (const Case& c : cases) {
    const ParWindowPos p = ParListWindowPos(c.ftop, c.fleft, 1024, 768, 301, 200);
    EXPECT_EQ(p.top, c.top) << c.ftop << "," << c.fleft;
    EXPECT_EQ(p.left, c.left) << c.ftop << "," << c.fleft;
  }
}

TEST(ParListRowsTest, KeysAndValueTexts) {
  ParamList list{{"MPORT", std::string("1")},
                 {"NAME", std::string("a b")},
                 {"SPEED", 500.0},
                 {"HALF", 0.5},
                 {"NEG", -12.0}};
  const auto rows = ParListRows(list);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0].key, "MPORT");
  EXPECT_EQ(rows[0].value, "1");
  EXPECT_EQ(rows[1].value, "a b");
  EXPECT_EQ(rows[2].value, "500");
  EXPECT_EQ(rows[3].value, ".5");
  EXPECT_EQ(rows[4].value, "-12");
  EXPECT_TRUE(ParListRows({}).empty());
}

class ParListSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetParDir(tmp_.path());
    CurParList().clear();
  }
  void TearDown() override { CurParList().clear(); }

  TempDir tmp_;
  RecordingUi ui_;
  ScopedUi scoped_{ui_};
};

TEST_F(ParListSessionTest, OpenAndCloseWithoutChangeRewritesTheFile) {
  tmp_.writeRaw("P.TXT",
                "  \"A\" , 1 ,remark\r\nxx\r\n\"B\",two words\n\"C\",3,x,y\r\n");
  SetParFile("P.TXT");
  ASSERT_TRUE(ParListOpen());
  const auto rows = ParListRows(CurParList());
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(ParListClose(rows, true), 1);
  EXPECT_EQ(tmp_.read("P.TXT"), "\"A\",1\r\n\"B\",two words\r\n\"C\",3\r\n");
}

TEST_F(ParListSessionTest, ChangedValueIsStoredAndWritten) {
  tmp_.writeRaw("P.TXT", "\"A\",1\r\n\"B\",2\r\n");
  SetParFile("P.TXT");
  ASSERT_TRUE(ParListOpen());
  auto rows = ParListRows(CurParList());
  rows[1].value = "42";
  EXPECT_EQ(StoreParListRows(rows), 2);
  EXPECT_EQ(ParListClose(rows, true), 1);
  EXPECT_EQ(tmp_.read("P.TXT"), "\"A\",1\r\n\"B\",42\r\n");
}

TEST_F(ParListSessionTest, ChangedKeyCellKeepsKeyAndValue) {
  tmp_.writeRaw("P.TXT", "\"A\",1\r\n\"B\",2\r\n");
  SetParFile("P.TXT");
  ASSERT_TRUE(ParListOpen());
  auto rows = ParListRows(CurParList());
  rows[0].key = "AX";
  rows[0].value = "99";
  rows[1].key = "b";  // case counts: not the key any more
  rows[1].value = "77";
  EXPECT_EQ(StoreParListRows(rows), 0);
  EXPECT_EQ(ParListClose(rows, true), 1);
  EXPECT_EQ(tmp_.read("P.TXT"), "\"A\",1\r\n\"B\",2\r\n");
}

TEST_F(ParListSessionTest, FewerRowsThanEntriesStoresOnlyThoseRows) {
  tmp_.writeRaw("P.TXT", "\"A\",1\r\n\"B\",2\r\n");
  SetParFile("P.TXT");
  ASSERT_TRUE(ParListOpen());
  std::vector<ParRow> rows{{"A", "5"}};
  EXPECT_EQ(StoreParListRows(rows), 1);
  EXPECT_EQ(ParListClose(rows, true), 1);
  EXPECT_EQ(tmp_.read("P.TXT"), "\"A\",5\r\n\"B\",2\r\n");
}

TEST_F(ParListSessionTest, MissingFileOpensEmptyAndWritesNothing) {
  tmp_.writeRaw("OTHER.TXT", "\"X\",1\r\n");
  SetParFile("OTHER.TXT");
  ASSERT_EQ(ReadCurPar(), 1);
  ASSERT_EQ(ParCount(), 1);  // another file's entries are in the list

  SetParFile("MISSING.TXT");
  EXPECT_FALSE(ParListOpen());
  EXPECT_EQ(ParCount(), 0);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "File " + tmp_.file("MISSING.TXT") + " does not exist");
  EXPECT_EQ(ParListClose(ParListRows(CurParList()), false), 0);
  EXPECT_FALSE(std::filesystem::exists(tmp_.file("MISSING.TXT")));
}

TEST_F(ParListSessionTest, UnreadablePathIsNotOverwritten) {
  std::filesystem::create_directory(tmp_.file("ADIR.TXT"));
  tmp_.writeRaw("OTHER.TXT", "\"X\",1\r\n");
  SetParFile("OTHER.TXT");
  ASSERT_EQ(ReadCurPar(), 1);
  SetParFile("ADIR.TXT");
  EXPECT_FALSE(ParListOpen());
  EXPECT_EQ(ParCount(), 0);
  EXPECT_EQ(ParListClose({}, false), 0);
  EXPECT_TRUE(std::filesystem::is_directory(tmp_.file("ADIR.TXT")));
}

TEST_F(ParListSessionTest, EmptyFileGivesEmptyListAndIsRewritten) {
  tmp_.writeRaw("E.TXT", "short\r\n");
  SetParFile("E.TXT");
  ASSERT_TRUE(ParListOpen());
  EXPECT_EQ(ParCount(), 0);
  EXPECT_EQ(ParListClose({}, true), 1);
  EXPECT_EQ(tmp_.read("E.TXT"), "");
}

TEST_F(ParListSessionTest, FailedWriteReportsAndKeepsOldFile) {
  tmp_.writeRaw("P.TXT", "\"A\",1\r\n");
  SetParFile("P.TXT");
  ASSERT_TRUE(ParListOpen());
  // The directory goes away under the editor: the write cannot succeed.
  SetParDir(tmp_.path() + "gone/");
  SetParFile("P.TXT");
  EXPECT_EQ(ParListClose({{"A", "2"}}, true), -1);
  EXPECT_EQ(tmp_.read("P.TXT"), "\"A\",1\r\n");
}

}  // namespace
}  // namespace nvx
