// Programs: the check that indents blocks, and reading and writing (the
// written form) through the window's dialogs.
#include <gtest/gtest.h>

#include "base/settings.h"
#include "interp/interp.h"
#include "interp/interp_view.h"
#include "support/app_fixture.h"

namespace nvx {
namespace {

using Lines = std::vector<std::string>;

TEST(Program, CheckIndentsBlocksAndFindsUnbalancedOnes) {
  struct Case {
    Lines in, out;
    int16_t result;
  };
  // clang-format off
  const Case cases[] = {
      {{"Repeat 3 Times", "F Home", "Endrepeat", "End"},
       {"Repeat 3 Times", "    F Home", "Endrepeat", "End"}, 1},
      {{"Endrepeat", "  F 1"}, {"Endrepeat", "  F 1"}, -1},
      {{" Repeat 2 Times", "Repeat 3 Times", "F 1 ", "Endrepeat"},
       {"Repeat 2 Times", "    Repeat 3 Times", "        F 1", "    Endrepeat"}, -1},
      {{"  repeat 2 Times", "F 1", "Repeat3", "B 1", "  "},
       {"repeat 2 Times", "F 1", "Repeat3", "B 1", "  "}, 1},
      {{"Repeat 2 Times", "Repeat 3 Times", "F 1", "Endrepeat", "", "Endrepeat"},
       {"Repeat 2 Times", "    Repeat 3 Times", "        F 1", "    Endrepeat", "", "Endrepeat"}, 1},
      {{"Repeat 2 Times", "  F 1", "Endrepeat", "  Endrepeat", "  B 1"},
       {"Repeat 2 Times", "    F 1", "Endrepeat", "  Endrepeat", "  B 1"}, -1},
  };
  // clang-format on
  for (Case c : cases) {
    EXPECT_EQ(CheckProgram(c.in), c.result) << c.out[0];
    EXPECT_EQ(c.in, c.out);
  }
}

TEST(Program, ReadAndWriteThroughTheDialogs) {
  test::ResetProgramState();
  test::RecordingUi ui;
  test::ScopedUi scoped{ui};
  ui.loaded = {"frmInterp"};
  test::TempDir dir;
  ProgramDir() = dir.path();
  EXPECT_EQ(ProgramLines(), Lines{"End"});
  std::string chosen;
  Lines asked;
  bool overwrite = false;
  ProgramFileDialogs d;
  d.choose = [&](auto& start, auto& filter, auto& patterns, auto& title, auto& outDir, auto& file) {
    asked.push_back(start + "|" + filter + "|" + patterns + "|" + title);
    outDir = chosen.empty() ? "" : dir.path();
    file = chosen;
  };
  d.confirm = [&](auto& text, auto& title) {
    return asked.push_back(title + "|" + text), overwrite;
  };
  dir.write("A.PRG", "Repeat 3 Times\nF Home\nEndrepeat\n  F 1,B 2\nEnd\n");
  dir.write("BAD.PRG", "Endrepeat\nF 1\n");
  dir.write("EMPTY.PRG", "");
  ProgramLines()[0] = "Repeat Times";
  WriteProgram(d);  // no count: the line is named, nothing is written
  EXPECT_EQ(ui.boxes.at(0).text, "Error in Command # 0\r\nRepeat Times");
  // clang-format off
  const struct { bool write; std::string file; bool ok; const char* msg; } steps[] = {
      {false, "", false, "Program not read"}, {false, "NONE.PRG", false, "Program not read"},
      {false, "EMPTY.PRG", false, "Program not read"}, {false, "A.PRG", false, "Program read"},
      {true, "", false, "Program not written"}, {true, "A.PRG", false, "Program not written"},
      {true, "A.PRG", true, "Program written"}, {true, "B.PRG", false, "Program written"},
      {false, "BAD.PRG", false, "Program has mistakes"}};
  // clang-format on
  for (const auto& s : steps) {
    chosen = s.file;
    overwrite = s.ok;
    s.write ? WriteProgram(d) : ReadProgram(d);
    EXPECT_EQ(ui.interpMsg, s.msg) << s.file;
    if (s.file == "A.PRG" && !s.write) {
      EXPECT_EQ(ProgramLines(),
                (Lines{"Repeat 3 Times", "    F Home", "Endrepeat", "F 1", "B 2", "End"}));
      ProgramLines()[0] = "Repeat 3 Times : Rep.# 2";
    }
  }
  EXPECT_EQ(ui.boxes.at(1).text, "File " + dir.file("NONE.PRG") + " does not exist");
  EXPECT_EQ(asked[0], dir.path() + "|*.PRG|*.PRG *.*|Select a Program (*.PRG) to Load");
  EXPECT_EQ(asked[4], dir.path() + "|*.PRG|*.PRG *.*|Give a Name to the Program (*.PRG)");
  EXPECT_EQ(asked[6], "File overwrite|File " + dir.file("A.PRG") + " exists.\r\nOverwrite?");
  const std::string written = "Repeat 3 Times\r\n    F Home\r\nEndrepeat\r\nF 1\r\nB 2\r\nEnd\r\n";
  EXPECT_EQ(dir.read("A.PRG") + dir.read("B.PRG"), written + written);
  EXPECT_EQ(ProgramLines(), (Lines{"Endrepeat", "F 1"}));
  EXPECT_EQ(InterpWin().caption, "Program " + dir.file("BAD.PRG"));
}

}  // namespace
}  // namespace nvx
