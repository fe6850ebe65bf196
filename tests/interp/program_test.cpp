// Programs: the check that indents blocks, the form written to a file, and
// reading and writing through the window's dialogs.
#include <gtest/gtest.h>

#include "base/settings.h"
#include "interp/interp.h"
#include "interp/interp_view.h"
#include "support/app_fixture.h"

namespace nvx {
namespace {

using Lines = std::vector<std::string>;

struct Fixture {
  Fixture() { test::ResetProgramState(); ui.loaded = {"frmInterp"}; }
  ~Fixture() { test::ResetProgramState(); }
  test::RecordingUi ui;
  test::ScopedUi scoped{ui};
};

TEST(Program, CheckIndentsBlocksAndFindsUnbalancedOnes) {
  struct Case { Lines in, out; int16_t result; };
  const Case cases[] = {
      {{"Repeat 3 Times", "F Home", "Endrepeat", "End"},
       {"Repeat 3 Times", "    F Home", "Endrepeat", "End"}, 1},
      {{"Endrepeat", "  F 1"}, {"Endrepeat", "  F 1"}, -1},
      {{" Repeat 2 Times", "Repeat 3 Times", "F 1 ", "Endrepeat"},
       {"Repeat 2 Times", "    Repeat 3 Times", "        F 1", "    Endrepeat"}, -1},
      {{"  repeat 2 Times", "F 1", "Repeat3", "B 1", "  "}, {"repeat 2 Times", "F 1", "Repeat3", "B 1", "  "}, 1},
      {{"Repeat 2 Times", "Repeat 3 Times", "F 1", "Endrepeat", "", "Endrepeat"},
       {"Repeat 2 Times", "    Repeat 3 Times", "        F 1", "    Endrepeat", "", "Endrepeat"}, 1},
      {{"Repeat 2 Times", "  F 1", "Endrepeat", "  Endrepeat", "  B 1"},
       {"Repeat 2 Times", "    F 1", "Endrepeat", "  Endrepeat", "  B 1"}, -1},
  };
  for (const auto& c : cases) {
    Lines lines = c.in;
    EXPECT_EQ(CheckProgram(lines), c.result) << c.in[0];
    EXPECT_EQ(lines, c.out) << c.in[0];
  }
}

TEST(Program, WrittenFormAndTheRepeatWithoutCount) {
  Fixture f;
  struct Case { Lines in, out; const char* box; };
  const Case cases[] = {
      {{"    Repeat 5 Times : Rep.# 2", "    F 1", "  ", "Repeat 2.5 Times", "End"},
       {"Repeat 5 Times", "    F 1", "", "Repeat 2 Times", "End"}, nullptr},
      {{"F 1", "x", "y", "Repeat Times"}, {}, "Error in Command # 3\r\nRepeat Times"},
      {{"Repeat 40000 Times"}, {}, "Error in Command # 0\r\nRepeat 40000 Times"},
  };
  for (const auto& c : cases) {
    f.ui.boxes.clear();
    Lines out;
    EXPECT_EQ(ProgramForFile(c.in, out), c.box ? -1 : 1);
    if (c.box) {
      ASSERT_EQ(f.ui.boxes.size(), 1u);
      EXPECT_EQ(f.ui.boxes[0].text, c.box);
      EXPECT_EQ(f.ui.boxes[0].title, "Norvantix");
    } else {
      EXPECT_EQ(out, c.out);
      EXPECT_TRUE(f.ui.boxes.empty());
    }
  }
}

TEST(Program, ReadAndWriteThroughTheDialogs) {
  Fixture f;
  test::TempDir dir;
  ProgramDir() = dir.path();
  EXPECT_EQ(ProgramLines(), Lines{"End"});
  std::string chosen;
  std::vector<std::string> asked;
  bool overwrite = false;
  ProgramFileDialogs d;
  d.choose = [&](const std::string& start, const std::string& filter, const std::string& patterns,
                 const std::string& title, std::string& outDir, std::string& file) {
    asked.push_back(start + "|" + filter + "|" + patterns + "|" + title);
    outDir = chosen.empty() ? "" : dir.path();
    file = chosen;
  };
  d.confirm = [&](const std::string& text, const std::string& title) {
    asked.push_back(title + "|" + text);
    return overwrite;
  };
  dir.write("A.PRG", "Repeat 3 Times\nF Home\nEndrepeat\nF 1,B 2\nEnd\n");
  dir.write("BAD.PRG", "Endrepeat\nF 1\n");
  dir.write("EMPTY.PRG", "");
  struct Step { bool write; std::string file; bool ok; const char* msg; };
  const Step steps[] = {
      {false, "", false, "Program not read"},
      {false, "NONE.PRG", false, "Program not read"},
      {false, "EMPTY.PRG", false, "Program not read"},
      {false, "A.PRG", false, "Program read"},
      {true, "", false, "Program not written"},
      {true, "A.PRG", false, "Program not written"},
      {true, "A.PRG", true, "Program written"},
      {true, "B.PRG", false, "Program written"},
      {false, "BAD.PRG", false, "Program has mistakes"},
  };
  for (const auto& s : steps) {
    chosen = s.file;
    overwrite = s.ok;
    if (s.write) WriteProgram(d);
    else ReadProgram(d);
    EXPECT_EQ(f.ui.interpMsg, s.msg) << s.file;
    if (s.file == "A.PRG" && !s.write) {
      EXPECT_EQ(ProgramLines(), (Lines{"Repeat 3 Times", "    F Home", "Endrepeat", "F 1", "B 2", "End"}));
      ProgramLines()[0] = "Repeat 3 Times : Rep.# 2";
    }
  }
  EXPECT_EQ(asked[0], dir.path() + "|*.PRG|*.PRG *.*|Select a Program (*.PRG) to Load");
  EXPECT_EQ(asked[4], dir.path() + "|*.PRG|*.PRG *.*|Give a Name to the Program (*.PRG)");
  EXPECT_EQ(asked[6], "File overwrite|File " + dir.file("A.PRG") + " exists.\r\nOverwrite?");
  EXPECT_EQ(f.ui.boxes.at(0).text, "File " + dir.file("NONE.PRG") + " does not exist");
  const std::string written = "Repeat 3 Times\r\n    F Home\r\nEndrepeat\r\nF 1\r\nB 2\r\nEnd\r\n";
  EXPECT_EQ(dir.read("A.PRG"), written);
  EXPECT_EQ(dir.read("B.PRG"), written);
  EXPECT_EQ(ProgramLines(), (Lines{"Endrepeat", "F 1"}));
  EXPECT_EQ(InterpWin().caption, "Program " + dir.file("BAD.PRG"));
  EXPECT_EQ(InterpWin().rows[1].text, "F 1");
  EXPECT_EQ(EditAllowed(), 1);
}

}  // namespace
}  // namespace nvx
