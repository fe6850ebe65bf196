// Programs run by the tick: repeat passes and nesting, "Stop", errors that
// stop a run, "End" indented or missing, stepping, ticks requested inside a
// tick, the elapsed time, and the fetched line brought into view.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/commands.h"
#include "core/main_model.h"
#include "core/tick.h"
#include "interp/interp.h"
#include "interp/interp_view.h"
#include "support/app_fixture.h"

namespace nvx {
namespace {

using Lines = std::vector<std::string>;

TEST(ProgramRun, LinesRunHowTheRunEndsTheTimeAndTheLineInView) {
  test::AppFixture app;
  for (const char* key : {"W1_INSTALLED", "W2_INSTALLED"}) app.SetConfig(key, "0");
  app.Start();
  Lines ran, msgs;
  SetInterpMessageSink([&](const std::string& text) { msgs.push_back(text); });
  SetTickHooks(
      {nullptr, [&](const std::string& line, const std::string&) { ran.push_back(line); }});
  // Every tick is asked for again while the line's events run: it runs no line.
  app.ui.onProcessEvents = [] { PeriodicTick(); };
  auto runToIdle = [] {
    for (int i = 0; i < 1000 && RunState() != 0; ++i) PeriodicTick();
  };
  const std::string R2 = "Repeat 2 Times", R21 = "Repeat 2 Times : Rep.# 1", F = "PROGRAM FINISHED",
                    S = "PROGRAM STOPPED";
  // click: the row clicked after StartOver (-1 none); step: StepOnce, not StartRun; resumes: how
  // often StopRun and StartRun follow the end; msg: an interpreter message shown on the way.
  struct Case {
    Lines program;
    int16_t click;
    bool step;
    int resumes;
    Lines ran;
    std::string status, box;
    const char* msg;
  };
  // clang-format off
  const Case cases[] = {
      {{R2, "Ver", "Endrepeat", "End"}, -1, false, 0,
       {R2, "Ver", "Endrepeat", R21, "Ver", "Endrepeat"}, F, "End", nullptr},
      {{"Ver", "Call x"}, -1, false, 0, {"Ver", "Call x"}, F, "Call x", nullptr},
      {{"Ver", "Call x"}, -1, false, 1, {"Ver", "Call x", "Call x"}, F, "Call x", nullptr},
      {{"Repeat 1 Times", "    End", "Endrepeat", "End"}, -1, false, 0,
       {"Repeat 1 Times", "    End", "Endrepeat"}, F, "End", nullptr},
      {{"Ver", "ver", "Call y", "End"}, -1, false, 0, {"Ver", "ver"}, S, "Call y", nullptr},
      {{"Ver", "Stop", "Call a", "End"}, -1, false, 0, {"Ver", "Stop"}, "PROGRAM PAUSED", "Call a",
       nullptr},
      {{"Ver", "Stop", "Call a", "End"}, -1, false, 1, {"Ver", "Stop", "Call a"}, F, "End", nullptr},
      {{R2, "Ver", "Endrepeat", "Call z"}, 1, false, 0, {"Ver", "Endrepeat"}, S, "Call z",
       " SYNTAX ERROR"},
      {{"Ver;Repeat 2 Times", "Ver"}, -1, false, 0, {"Ver;Repeat 2 Times"}, S, "Ver",
       " SYNTAX ERROR"},
      {{"Repeat 0 Times", "Ver", "Endrepeat"}, -1, false, 0, {"Repeat 0 Times", "Ver", "Endrepeat"},
       F, "Endrepeat", nullptr},
      {{R2, R2, "Ver", "Endrepeat", "Endrepeat"}, -1, false, 0,
       {R2, R2, "Ver", "Endrepeat", R21, "Ver", "Endrepeat", "Endrepeat", R21, R2, "Ver",
        "Endrepeat", R21, "Ver", "Endrepeat", "Endrepeat"}, F, "Endrepeat", nullptr},
      {{"Repeat 3 Times : Rep.# 1", "Ver", "Endrepeat"}, -1, false, 0,
       {"Repeat 3 Times : Rep.# 1", "Ver", "Endrepeat", "Repeat 3 Times : Rep.# 2", "Ver",
        "Endrepeat"}, F, "Endrepeat", nullptr},
      {{"Repeat x Times", "Ver"}, -1, false, 0, {"Repeat x Times"}, S, "Ver",
       " SYNTAX ERROR:x ? Times"},
      {{"Ver", "Call b", "End"}, -1, true, 0, {"Ver"}, "", "Call b", nullptr},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program[0] + " ... " + c.program.back() + (c.step ? " step" : ""));
    ResetInterpreter();
    ran.clear();
    msgs.clear();
    SetProgram(c.program);
    StartOver();
    if (c.click >= 0) ClickRow(c.click);
    c.step ? StepOnce() : StartRun();
    runToIdle();
    for (int i = 0; i < c.resumes; ++i) {
      StopRun();
      EXPECT_EQ(msgs.back(), "PROGRAM INTERRUPTED");
      StartRun();
      runToIdle();
    }
    EXPECT_EQ(ran, c.ran);
    EXPECT_EQ(RunState() + TickBusy(), 0);
    EXPECT_EQ(EditAllowed(), 1);
    EXPECT_EQ(RunStatus() + "|" + MainWin().CmdText(), c.status + "|" + c.box);
    EXPECT_TRUE(!c.msg || std::find(msgs.begin(), msgs.end(), c.msg) != msgs.end());
    // The last message is the status, but a pause shows none.
    EXPECT_EQ(msgs.empty() ? "" : msgs.back(),
              c.status == "PROGRAM PAUSED" ? "PROGRAM (RE)STARTED" : c.status);
    // A finished block is plain again; a failed line is left as it was.
    EXPECT_TRUE(c.status != F || ProgramLines()[0].find("Rep.#") == std::string::npos);
    EXPECT_TRUE(c.status != S || ProgramLines()[0] == c.program[0]);
    EXPECT_EQ(InterpWin().controlsEnabled, c.status != "PROGRAM PAUSED");
    EXPECT_FALSE(InterpWin().runOption);
  }
  SetTickHooks({});
  SetInterpMessageSink(nullptr);

  struct Shown {
    uint32_t ms;
    const char* text;
  };
  const Shown shown[] = {{0, "0"},     {49, "0"},   {50, "0"},       {150, "0.2"},
                         {250, "0.2"}, {1000, "1"}, {12449, "12.4"}, {4294967295u, "4294967.3"}};
  int changes = 0;
  SetInterpViewHook([&](InterpChange w) { changes += w == InterpChange::Time; });
  for (const auto& s : shown) {
    ShowElapsed(s.ms);
    EXPECT_EQ(InterpWin().time, s.text) << s.ms;
  }
  SetInterpViewHook(nullptr);
  EXPECT_EQ(changes, 5);
  EXPECT_EQ(FormatTenths(125, ","), "12,5");

  // Ten lines on three rows: a line above the rows or pages below comes into view.
  struct View {
    int16_t top, next, newTop, row;
  };
  const View views[] = {{5, 2, 2, 0}, {0, 8, 7, 1}, {0, 3, 3, 0}, {7, 9, 7, 2}};
  Lines program;
  for (int i = 0; i < 10; ++i) program.push_back("Call " + std::to_string(i));
  for (const auto& v : views) {
    SetProgram(program);
    LoadInterpWindow(3);
    ScrollRows(v.top);
    NextLine() = v.next;
    EXPECT_EQ(FetchNextLine(), program[static_cast<size_t>(v.next)]);
    EXPECT_EQ(TopLine(), v.newTop);
    EXPECT_EQ(InterpWin().rows[static_cast<size_t>(v.row)].numberColour, kSelectedNumberColour);
    EXPECT_EQ(MainWin().CmdText(), program[static_cast<size_t>(v.next)]);
  }
}

}  // namespace
}  // namespace nvx
