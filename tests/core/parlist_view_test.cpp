#include "core/parlist_view.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

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
  } cases[] = {{0, 0},    {7, 0},     {8, 1},      {15, 1},     {100, 7},  {240, 16},
               {260, 17}, {1400, 93}, {2200, 147}, {3700, 247}, {-15, -1}, {-8, -1}};
  for (const Case& c : cases) EXPECT_EQ(TwipsToPixels(c.twips), c.px) << c.twips;
}

TEST(ParListLayoutTest, GridForEntryCounts) {
  struct Case {
    int n, rows, visible;
    bool scroll;
    int widthTwips, heightTwips;
  } cases[] = {
      {0, 1, 1, false, 3700, 360},  // heading row only
      {3, 4, 4, false, 3700, 1140},    {29, 30, 30, false, 3700, 7900},
      {30, 31, 31, false, 3700, 8160},  // the last count without a scroll bar
      {31, 32, 31, true, 3940, 8160},  {40, 41, 31, true, 3940, 8160},
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
      {1500, 3000, 100, 200},  // twips to pixels
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

TEST_F(ParListSessionTest, CloseStoresRowsByKeyAndRewritesTheFile) {
  const std::string ab = "\"A\",1\r\n\"B\",2\r\n";
  struct Case {
    const char* name;
    std::string file;
    std::function<void(std::vector<ParRow>&)> edit;  // on the rows as opened
    int stored;                                      // -1: closed without storing first
    std::string written;
  } cases[] = {
      {"unchanged", "  \"A\" , 1 ,remark\r\nxx\r\n\"B\",two words\n\"C\",3,x,y\r\n",
       [](auto& r) { ASSERT_EQ(r.size(), 3u); }, -1, "\"A\",1\r\n\"B\",two words\r\n\"C\",3\r\n"},
      {"value", ab, [](auto& r) { r[1].value = "42"; }, 2, "\"A\",1\r\n\"B\",42\r\n"},
      // A changed key cell keeps key and value; case counts.
      {"key", ab,
       [](auto& r) {
         r = {{"AX", "99"}, {"b", "77"}};
       },
       0, ab},
      {"fewer rows", ab,
       [](auto& r) {
         r = {{"A", "5"}};
       },
       1, "\"A\",5\r\n\"B\",2\r\n"},
      {"no entries", "short\r\n", [](auto& r) { EXPECT_TRUE(r.empty()); }, -1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tmp_.writeRaw("P.TXT", c.file);
    SetParFile("P.TXT");
    ASSERT_TRUE(ParListOpen());
    auto rows = ParListRows(CurParList());
    c.edit(rows);
    if (c.stored >= 0) { EXPECT_EQ(StoreParListRows(rows), c.stored); }
    EXPECT_EQ(ParListClose(rows, true), 1);
    EXPECT_EQ(tmp_.read("P.TXT"), c.written);
  }
}

TEST_F(ParListSessionTest, UnreadableFileOpensEmptyAndWritesNothing) {
  std::filesystem::create_directory(tmp_.file("ADIR.TXT"));
  tmp_.writeRaw("OTHER.TXT", "\"X\",1\r\n");
  for (const std::string name : {"MISSING.TXT", "ADIR.TXT"}) {
    SetParFile("OTHER.TXT");
    ASSERT_EQ(ReadCurPar(), 1);
    ASSERT_EQ(ParCount(), 1);  // another file's entries are in the list
    SetParFile(name);
    EXPECT_FALSE(ParListOpen()) << name;
    EXPECT_EQ(ParCount(), 0) << name;
    EXPECT_EQ(ParListClose(ParListRows(CurParList()), false), 0) << name;
    if (name == "MISSING.TXT") {
      ASSERT_EQ(ui_.boxes.size(), 1u);
      EXPECT_EQ(ui_.boxes[0].text, "File " + tmp_.file(name) + " does not exist");
    }
  }
  EXPECT_FALSE(std::filesystem::exists(tmp_.file("MISSING.TXT")));
  EXPECT_TRUE(std::filesystem::is_directory(tmp_.file("ADIR.TXT")));
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
