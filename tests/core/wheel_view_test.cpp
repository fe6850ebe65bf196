#include "core/wheel_view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace nvx {
namespace {

TEST(WheelViewTest, CaptionsMessagesAndFilterEntries) {
  // clang-format off
  const struct { int wheel; int16_t cur; const char *menu, *button, *msg; } cases[] = {
      {1, 0, "F-?", "?", "F 0"}, {1, 3, "F-3", "3", "F 3"}, {1, 12, "F-12", "12", "F 12"},
      {2, 0, "B-?", "?", "B 0"}, {2, 1, "B-1", "1", "B 1"}, {1, -1, "F-?", "?", "F-1"},
      {2, 32767, "B-32767", "32767", "B 32767"}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.wheel) + "/" + std::to_string(c.cur));
    EXPECT_EQ(WheelMenuCaption(c.wheel, c.cur), c.menu);
    EXPECT_EQ(WheelButtonCaption(c.cur), c.button);
    EXPECT_EQ(WheelFilterMsg(c.wheel, c.cur), c.msg);
  }
  EXPECT_EQ(WheelPanelCaption(1) + WheelPanelCaption(2), "F-FilterB-Filter");
  EXPECT_EQ(WheelOnlineMsg(1, true) + WheelOnlineMsg(2, false), "F OnB Off");
  EXPECT_EQ(WheelLetter(3), "");
  EXPECT_EQ(TimeLineText(0) + TimeLineText(4294967295u), " 0 4294967295");

  // The filter menu's entries for a count.
  // clang-format off
  const struct { int16_t count; size_t entries; const char* last; } entries[] = {
      {-5, 1, "Filter 1"}, {0, 1, "Filter 1"}, {1, 1, "Filter 1"}, {2, 2, "Filter 2"},
      {6, 6, "Filter 6"}, {8, 8, "Filter 8"}, {12, 12, "Filter 12"}, {32767, 3200, "Filter 3200"}};
  // clang-format on
  for (const auto& c : entries) {
    SCOPED_TRACE(c.count);
    const auto e = FilterEntryCaptions(c.count);
    ASSERT_EQ(e.size(), c.entries);
    EXPECT_EQ(static_cast<int>(e.size()), FilterEntryCount(c.count));
    EXPECT_EQ(e.front(), "Filter 1");
    EXPECT_EQ(e.back(), c.last);
  }
  // The checked entry of count/cur, -1 for none.
  const int16_t checks[][3] = {{6, 0, -1}, {6, 1, 0}, {6, 6, 5},   {6, 7, -1},
                               {0, 1, -1}, {1, 1, 0}, {8, -3, -1}, {8, 8, 7}};
  for (const auto& [count, cur, checked] : checks)
    EXPECT_EQ(CheckedFilterEntry(count, cur), checked) << count << "/" << cur;
}

TEST(WheelViewTest, HistoryNewestFirstWithinTheLimit) {
  using V = std::vector<std::string>;
  V h;
  for (int i = 1; i <= 31; ++i) RememberInHistory(h, "cmd " + std::to_string(i), 30);
  ASSERT_EQ(h.size(), 30u);
  EXPECT_EQ(h.front() + "|" + h.back(), "cmd 31|cmd 2");
  h = {"a", "b", "c", "d"};
  RememberInHistory(h, "x", 3);  // already over the limit: trimmed to it
  RememberInHistory(h, "x", 3);  // repeated and empty lines are kept
  RememberInHistory(h, "", 3);
  EXPECT_EQ(h, (V{"", "x", "x"}));
  RememberInHistory(h, "y", 0);  // a limit below 1 still keeps the newest line
  EXPECT_EQ(h, (V{"y"}));
}

TEST(WheelViewTest, DrawingPlacesFiltersRoundTheCircle) {
  const WheelDrawing d = MakeWheelDrawing(4, 2);
  ASSERT_EQ(d.marks.size(), 4u);
  // Filter 2 is in the beam at the top; 3 follows clockwise, 1 precedes.
  EXPECT_EQ(std::vector<double>({d.marks[1].angleDeg, d.marks[2].angleDeg, d.marks[0].angleDeg}),
            std::vector<double>({0, 90, 270}));
  EXPECT_TRUE(!d.marks[0].current && d.marks[1].current && d.marks[1].labelled && d.known);
  EXPECT_EQ(d.centreText, "2");
  // Unknown and odd states; an unknown filter turns the wheel as filter 1 does.
  const WheelDrawing unknown = MakeWheelDrawing(8, 0);
  EXPECT_EQ(std::vector<double>({unknown.marks[0].angleDeg, unknown.marks[2].angleDeg}),
            std::vector<double>({0, 90}));
  EXPECT_EQ(unknown.centreText, "?");
  EXPECT_FALSE(unknown.known);
  for (const auto& m : unknown.marks) EXPECT_FALSE(m.current);
  const WheelDrawing noCount = MakeWheelDrawing(0, 3);
  EXPECT_TRUE(noCount.marks.empty() && !noCount.known);
  EXPECT_EQ(noCount.centreText, "3");  // what the button shows
  const WheelDrawing many = MakeWheelDrawing(1000, 999);
  EXPECT_LE(many.marks.size(), static_cast<size_t>(kMaxDrawnMarks) + 1);
  EXPECT_TRUE(many.marks.back().current && !many.marks.front().labelled);
  EXPECT_EQ(many.marks.back().number, 999);
  EXPECT_EQ(many.marks.back().angleDeg, 0);
}

TEST(WheelViewTest, CopyParFile) {
  test::TempDir program, other;
  const std::string w1 = "\"W1FILTPOSITIONS\",6\r\n", five = "\"W1FILTPOSITIONS\",5\r\n";
  std::string dir = other.path();
  dir.pop_back();  // the dialog gives the directory without its '/'
  other.writeRaw("ZR_PARW1.TXT", "someone else's");
  other.writeRaw("SLOW.TXT", five);
  struct Case {
    std::string dir, file;
    int16_t result;
    std::string after;  // the program's ZR_PARW1.TXT
  };
  const Case cases[] = {
      {program.path(), "ZR_PARW1.TXT", 2, w1},  // onto itself: kept
      {program.path(), "MISSING.TXT", -1, w1},
      {program.path(), "", 0, w1},
      {"", "X.TXT", 0, w1},
      {"/", "tmp", -1, w1},  // a directory is not a file to copy
      {dir, "SLOW.TXT", 1, five},
      // The other folder's own wheel file is a file like any other there.
      {other.path(), "ZR_PARW1.TXT", 1, "someone else's"},
  };
  program.writeRaw("ZR_PARW1.TXT", w1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dir + c.file);
    std::string source;
    EXPECT_EQ(CopyWheelParFile(1, c.dir, c.file, program.path(), source), c.result);
    EXPECT_EQ(program.read("ZR_PARW1.TXT"), c.after);
    const std::string path = c.dir + (c.dir.ends_with('/') ? "" : "/") + c.file;
    if (c.result > 0) { EXPECT_EQ(source, path); }
  }
  EXPECT_EQ(other.read("ZR_PARW1.TXT"), "someone else's");
  EXPECT_EQ(other.read("SLOW.TXT"), five);
  EXPECT_EQ(WheelParFileName(2), "ZR_PARW2.TXT");
  EXPECT_EQ(ParFileReadMsg("/x/ZR_PARW1_OLD.TXT"), "Parameter file /x/ZR_PARW1_OLD.TXT read");
}

}  // namespace
}  // namespace nvx
