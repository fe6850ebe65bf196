// Programs run by the tick: repeat passes and nesting, "Stop", errors that
// stop a run, "End" indented or missing, stepping, the elapsed time, a tick
// requested inside a tick, and the line fetched into view.
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

class ProgramRun : public ::testing::Test {
 protected:
  void SetUp() override {
    app_.SetConfig("W1_INSTALLED", "0");
    app_.SetConfig("W2_INSTALLED", "0");
    app_.Start();
    SetInterpMessageSink([this](const std::string& text) { msgs_.push_back(text); });
    TickHooks hooks;
    hooks.lineRun = [this](const std::string& line, const std::string&) { ran_.push_back(line); };
    SetTickHooks(hooks);
  }
  void TearDown() override {
    SetTickHooks({});
    SetInterpMessageSink(nullptr);
  }
  void RunToIdle() {
    for (int i = 0; i < 1000 && RunState() != 0; ++i) PeriodicTick();
  }
  test::AppFixture app_;
  Lines ran_, msgs_;
};

TEST_F(ProgramRun, LinesRunAndHowTheRunEnds) {
  const std::string R2 = "Repeat 2 Times", R21 = "Repeat 2 Times : Rep.# 1";
  struct Case {
    Lines program;
    int16_t click;  // the row clicked after StartOver, -1 none
    bool step;      // StepOnce instead of StartRun
    int resumes;    // StopRun and StartRun again after the run ended
    Lines ran;
    const char* status;
    const char* box;
    const char* msg;  // an interpreter message shown on the way
  };
  const Case cases[] = {
      {{R2, "Ver", "Endrepeat", "End"}, -1, false, 0,
       {R2, "Ver", "Endrepeat", R21, "Ver", "Endrepeat"}, "PROGRAM FINISHED", "End", nullptr},
      {{"Ver", "Call x"}, -1, false, 0, {"Ver", "Call x"}, "PROGRAM FINISHED", "Call x", nullptr},
      {{"Ver", "Call x"}, -1, false, 1, {"Ver", "Call x", "Call x"}, "PROGRAM FINISHED", "Call x", nullptr},
      {{"Repeat 1 Times", "    End", "Endrepeat", "End"}, -1, false, 0,
       {"Repeat 1 Times", "    End", "Endrepeat"}, "PROGRAM FINISHED", "End", nullptr},
      {{"Ver", "ver", "Call y", "End"}, -1, false, 0, {"Ver", "ver"}, "PROGRAM STOPPED", "Call y", nullptr},
      {{"Ver", "Stop", "Call a", "End"}, -1, false, 0, {"Ver", "Stop"}, "PROGRAM PAUSED", "Call a",
       nullptr},
      {{"Ver", "Stop", "Call a", "End"}, -1, false, 1, {"Ver", "Stop", "Call a"}, "PROGRAM FINISHED",
       "End", nullptr},
      {{R2, "Ver", "Endrepeat", "Call z"}, 1, false, 0, {"Ver", "Endrepeat"}, "PROGRAM STOPPED",
       "Call z", " SYNTAX ERROR"},
      {{"Repeat 0 Times", "Ver", "Endrepeat"}, -1, false, 0, {"Repeat 0 Times", "Ver", "Endrepeat"},
       "PROGRAM FINISHED", "Endrepeat", nullptr},
      {{R2, R2, "Ver", "Endrepeat", "Endrepeat"}, -1, false, 0,
       {R2, R2, "Ver", "Endrepeat", R21, "Ver", "Endrepeat", "Endrepeat", R21, R2, "Ver", "Endrepeat",
        R21, "Ver", "Endrepeat", "Endrepeat"}, "PROGRAM FINISHED", "Endrepeat", nullptr},
      {{"Repeat 3 Times : Rep.# 1", "Ver", "Endrepeat"}, -1, false, 0,
       {"Repeat 3 Times : Rep.# 1", "Ver", "Endrepeat", "Repeat 3 Times : Rep.# 2", "Ver", "Endrepeat"},
       "PROGRAM FINISHED", "Endrepeat", nullptr},
      {{"Repeat x Times", "Ver"}, -1, false, 0, {"Repeat x Times"}, "PROGRAM STOPPED", "Ver",
       " SYNTAX ERROR:x ? Times"},
      {{"Ver", "Call b", "End"}, -1, true, 0, {"Ver"}, "", "Call b", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program[0] + " ... " + c.program.back() + (c.step ? " step" : ""));
    ResetInterpreter();
    RunStatus().clear();
    ran_.clear();
    msgs_.clear();
    SetProgram(c.program);
    StartOver();
    if (c.click >= 0) ClickRow(c.click);
    if (c.step) StepOnce();
    else StartRun();
    RunToIdle();
    for (int i = 0; i < c.resumes; ++i) {
      StopRun();
      EXPECT_EQ(msgs_.back(), "PROGRAM INTERRUPTED");
      StartRun();
      RunToIdle();
    }
    EXPECT_EQ(ran_, c.ran);
    EXPECT_EQ(RunState(), 0);
    EXPECT_EQ(EditAllowed(), 1);
    EXPECT_EQ(RunStatus(), c.status);
    EXPECT_EQ(MainWin().CmdText(), c.box);
    if (c.msg) {
      EXPECT_NE(std::find(msgs_.begin(), msgs_.end(), c.msg), msgs_.end());
    }
    // The last message is the status, but a pause shows none.
    const std::string last = msgs_.empty() ? "" : msgs_.back(), status = c.status;
    EXPECT_EQ(last, status == "PROGRAM PAUSED" ? "PROGRAM (RE)STARTED" : status);
    // Finished blocks are plain again; controls back unless a "Stop" paused.
    if (std::string(c.status) == "PROGRAM FINISHED") {
      EXPECT_EQ(ProgramLines()[0].find("Rep.#"), std::string::npos);
      EXPECT_TRUE(InterpWin().controlsEnabled);
    }
    EXPECT_FALSE(InterpWin().runOption);
  }
}

TEST_F(ProgramRun, ControlWordsWithoutACurrentLineTouchNothing) {
  const Lines program{"F 1", "Repeat 2 Times", "Endrepeat", "End"};
  SetProgram(program);
  for (int next : {0, 1, 9}) {
    NextLine() = static_cast<int16_t>(next);
    EXPECT_EQ(ExecCmdLine("Repeat 3 Times"), "Error  ; ");
    EXPECT_EQ(ExecCmdLine("Endrepeat"), "Error  ; ");
    EXPECT_EQ(ProgramLines(), program);
  }
}

TEST_F(ProgramRun, ATickInsideATickRunsNoLine) {
  SetProgram({"Ver", "Ver", "Ver"});
  StartOver();
  StartRun();
  app_.ui.onProcessEvents = [] { PeriodicTick(); };
  for (size_t i = 1; i <= 3; ++i) {
    PeriodicTick();
    EXPECT_EQ(ran_.size(), i);
  }
  EXPECT_EQ(RunState(), 0);
  EXPECT_EQ(TickBusy(), 0);
}

TEST_F(ProgramRun, ElapsedTenthsChangeTheLabelOnlyWhenTheyChange) {
  struct Case { uint32_t ms; const char* shown; };
  const Case cases[] = {{0, "0"}, {49, "0"}, {50, "0"}, {150, "0.2"}, {250, "0.2"},
                        {1000, "1"}, {12449, "12.4"}, {4294967295u, "4294967.3"}};
  int changes = 0;
  SetInterpViewHook([&](InterpChange w) { changes += w == InterpChange::Time; });
  for (const auto& c : cases) {
    ShowElapsed(c.ms);
    EXPECT_EQ(InterpWin().time, c.shown) << c.ms;
  }
  SetInterpViewHook(nullptr);
  EXPECT_EQ(changes, 5);
  EXPECT_EQ(FormatTenths(125, ","), "12,5");
}

TEST_F(ProgramRun, TheFetchedLineIsBroughtIntoView) {
  struct Case { int16_t top, next, newTop, row; };
  const Case cases[] = {{5, 2, 2, 0}, {0, 8, 7, 1}, {0, 3, 3, 0}, {0, 1, 0, 1}, {7, 9, 7, 2}};
  Lines program;
  for (int i = 0; i < 10; ++i) program.push_back("Call " + std::to_string(i));
  for (const auto& c : cases) {
    SetProgram(program);
    LoadInterpWindow(3);
    TopLine() = c.top;
    RedrawAll();
    NextLine() = c.next;
    EXPECT_EQ(FetchNextLine(), program[static_cast<size_t>(c.next)]);
    EXPECT_EQ(TopLine(), c.newTop);
    EXPECT_EQ(InterpWin().selectedRow, c.row);
    EXPECT_EQ(InterpWin().rows[static_cast<size_t>(c.row)].numberColour, kSelectedNumberColour);
    EXPECT_EQ(MainWin().CmdText(), program[static_cast<size_t>(c.next)]);
  }
}

}  // namespace
}  // namespace nvx
