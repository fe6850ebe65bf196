// The command language end to end: start-up in a temporary program directory
// with the simulated controllers on a pseudo-terminal.
#include <gtest/gtest.h>

#include <utility>

#include "base/settings.h"
#include "comm/comm.h"
#include "core/app.h"
#include "core/commands.h"
#include "core/main_model.h"
#include "joystick/joystick.h"
#include "support/app_fixture.h"
#include "wheels/wheels.h"

namespace nvx {
namespace {

using test::AppFixture;

class Commands : public ::testing::TestWithParam<sim::ControllerKind> {
 protected:
  void SetUp() override {
    kind_ = GetParam();
    app_ = std::make_unique<AppFixture>(&kind_);
    app_->dir.write("ZR_SYMCONST.TXT", "\"RED\",3\n\"SLOW\",40.5\n\"HUGE\",1e12\n\"TEXT\",abc\n");
    ASSERT_EQ(app_->Start(), 1) << CommErrLogText();
    ASSERT_EQ(WheelOnline(1), 1);
    ASSERT_EQ(WheelOnline(2), 1);
  }
  sim::ControllerKind kind_{};
  std::unique_ptr<AppFixture> app_;
};

// One start-up: the counts, lines run in order (the words, then wheel moves from home), nested
// commands, the joystick words, a controller's raw text and, last, a wheel gone offline.
TEST_P(Commands, RepliesInTurnThenAnOfflineWheel) {
  // Start-up ran the joystick start command ("Ver") once.
  EXPECT_EQ(ExecCmd("CommandCount"), " 2");
  EXPECT_EQ(ExecCmdLine("Wait"), "1 ; ");
  const int32_t before = CommandCount();
  EXPECT_EQ(ExecCmdLine("B 3;Wait"), "OK  ; OK  ; ");
  EXPECT_EQ(CommandCount(), before + 3);  // B 3, Wait and the B Wait it issues
  EXPECT_EQ(LastWheel(), "B");
  EXPECT_EQ(ExecCmd("F"), "Error Missing Argument ");
  EXPECT_EQ(LastWheel(), "F");

  struct Case {
    const char* line;
    const char* reply;
  };
  // clang-format off
  const Case cases[] = {
      {"Ver", "4.0 ; "}, {"Ver 2", "4.0 ; "}, {"ver", "Error Unknown command ; "}, {"", ""},
      {"   ", ""}, {";F 1", ""}, {"F 1;;B 2", "OK  ; "}, {"F 1; ;B 2", "OK  ;  ; OK  ; "},
      {"F 1;B 2", "OK  ; OK  ; "}, {"F", "Error Missing Argument  ; "},
      {"F   ", "Error Missing Argument  ; "}, {"F Foo", "Error  ; "}, {"F red", "Error  ; "},
      {"F 40000", "Error  ; "}, {"F 1e300", "Error  ; "}, {"F HUGE", "Error  ; "},
      {"F TEXT", "Error  ; "}, {"Delay", "Error Missing Argument  ; "},
      {"Delay x", "Error Not a Number ; "}, {"Delay TEXT", "Error Not a Number ; "},
      {"Delay 1e12", "Error  ; "}, {"Delay -5", "-5 ; "}, {"Delay RED", " 3 ; "},
      {"Delay SLOW", " 40.5 ; "}, {"Joy", "Error Missing Argument  ; "}, {"Joy on", "Error  ; "},
      {"Joy WZ", "OK  ; "}, {"! hello", " ; "}, {"!hello", "Error Unknown command ; "},
      {"Stop", "OK  ; "}, {"End", "OK  ; "}, {"Call anything at all", "OK  ; "},
      {"Endrepeat", "Error  ; "}, {"Repeat 2 Times", "Error  ; "},  // no program line is current
      {"Show;Hide", "OK  ; OK  ; "}, {"F Home;B Home", "OK  ; OK  ; "}, {"F ??;B ?", "F 1 ; 1 ; "},
      {"F 3;F Wait;F ??", "OK  ; OK  ; F 3 ; "}, {"B RED;Wait;B ?", "OK  ; OK  ; 3 ; "},
      {"F 2.5;F Wait;F ?", "OK  ; OK  ; 2 ; "}, {"F 3.5;F Wait;F ?", "OK  ; OK  ; 4 ; "},
      {"F Next;F Wait;F ?", "OK  ; OK  ; 5 ; "}, {"F Prev;F Prev;F Wait;F ?", "OK  ; OK  ; OK  ; 3 ; "},
      {"F Home now;F ??", "OK  ; F 1 ; "},  // arguments after a complete command are ignored
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(ExecCmdLine(c.line), c.reply);
  }
  // The command box shows the echo of the last wheel command.
  EXPECT_EQ(app_->ui.cmdText + "|" + app_->ui.msgLine, "F ??|F 1");

  // A command nested on the other wheel during a wait or a homing.
  // clang-format off
  const struct { const char *before, *line, *reply, *nested, *nestedReply, *after; } nests[] = {
      {"F Home;B Home", "F 3;F Wait;F ?", "OK  ; OK  ; 3 ; ", "B 4;B Wait;B ?", "OK  ; OK  ; 4 ; ",
       "3 ; 4 ; "},
      // The homed wheel's own reading, not the other wheel's, and its caption.
      {"F 3;F Wait;B 2;B Wait", "F Home", "OK  ; ", "B 4;B Wait", "OK  ; OK  ; ", "1 ; 4 ; "},
  };
  // clang-format on
  for (const auto& c : nests) {
    SCOPED_TRACE(c.line);
    ExecCmdLine(c.before);
    std::string nestedReply;
    bool nested = false;
    app_->ui.onProcessEvents = [&] {
      if (!std::exchange(nested, true)) nestedReply = ExecCmdLine(c.nested);
    };
    app_->ui.captionRefreshes.clear();
    EXPECT_EQ(ExecCmdLine(c.line), c.reply);
    app_->ui.onProcessEvents = nullptr;
    EXPECT_EQ(nestedReply, c.nestedReply);
    ASSERT_FALSE(app_->ui.captionRefreshes.empty());
    EXPECT_EQ(app_->ui.captionRefreshes.back(), 1);
    EXPECT_EQ(std::to_string(CurFilter(1)) + " ; " + std::to_string(CurFilter(2)) + " ; ", c.after);
    EXPECT_EQ(ExecCmdLine("F ?;B ?"), c.after);
  }

  AppSettings().JoyOn = 0;
  JoyAxes() = 0;
  EXPECT_EQ(ExecCmdLine("Joy On;Joy ToggleAxes"), "OK  ; OK  ; ");
  EXPECT_EQ(AppSettings().JoyOn, JoyCentred() == 1 ? 1 : 0);
  EXPECT_EQ(JoyAxes(), 1);
  EXPECT_EQ(ExecCmdLine("Joy XY;Joy Off"), "OK  ; OK  ; ");
  EXPECT_EQ(JoyAxes(), 0);
  EXPECT_EQ(AppSettings().JoyOn, 0);
  EXPECT_EQ(app_->ui.cmdText, "Joy Off");
  app_->ui.loaded.insert("frmInterp");
  EXPECT_EQ(ExecCmd("! hello there"), "");
  EXPECT_EQ(app_->ui.interpMsg, "hello there");
  EXPECT_EQ(ExecCmd("nonsense"), "Error Unknown command");
  EXPECT_EQ(app_->ui.msgLine, "Error Unknown command");

  const bool im = kind_ == sim::ControllerKind::kIM483I;
  const std::string reply = ExecCmd(im ? "CON 1Z" : "CON /1?0");
  EXPECT_EQ(reply.find("Error "), std::string::npos) << reply;
  EXPECT_FALSE(reply.empty());
  if (im) { EXPECT_EQ(reply.rfind("1Z", 0), 0u) << reply; }
  // No unit answers at address 7: the exchange times out, the reply is an
  // error and the log has the command.
  SetPortTimeout(100);
  const std::string bad = ExecCmd(im ? "CON 7Z" : "CON /7?0");
  EXPECT_EQ(bad, "Error ");
  EXPECT_NE(CommErrLogText().find(im ? "CON 7Z\\" : "CON /7?0\\"), std::string::npos);
  EXPECT_EQ(app_->ui.cmdText, im ? "CON 7Z" : "CON /7?0");

  // An offline wheel answers "Off".
  WheelOnline(2) = 0;
  EXPECT_EQ(ExecCmdLine("B 2;B;B ??;F 1"), "Off  ; Off  ; Off  ; OK  ; ");
  EXPECT_EQ(LastWheel(), "F");
  EXPECT_EQ(ExecCmdLine("B"), "Off  ; ");
  EXPECT_EQ(LastWheel(), "B");
}

TEST_P(Commands, StartUpWithoutWindowsOrWithAnUnknownControllerType) {
  // Started again without a view, as the windowless modes start, on wheels
  // that stand at filters 3 and 5.
  ASSERT_EQ(ExecCmdLine("F 3;B 5;F Wait;B Wait"), "OK  ; OK  ; OK  ; OK  ; ");
  ResetProgramState();
  MainWin().SetViewFactory(nullptr);
  ASSERT_EQ(app_->Start(), 1);
  EXPECT_EQ(IsFormLoaded("frmWheel"), 1);
  EXPECT_FALSE(MainWin().IsVisible());
  EXPECT_EQ(MainWin().Panel(1).caption, 3);
  EXPECT_EQ(ExecCmdLine("F Next;F Wait;F ?;B ?;Show"), "OK  ; OK  ; 4 ; 5 ; OK  ; ");
  EXPECT_TRUE(MainWin().IsVisible());
  EXPECT_EQ(MainWin().Msg(), "5");
  EXPECT_EQ(ExecCmdLine("Unload;F ?"), "OK  ; Error  ; ");
  EXPECT_EQ(CommIsLoaded(), 0);

  // An unknown controller type (the names are upper case): nothing goes on the line.
  ResetProgramState();
  app_->SetConfig("CONTRTYPE", "im483i");
  EXPECT_EQ(app_->Start(), -1);  // the wheels cannot be read
  app_->sim->ClearRequests();
  EXPECT_EQ(ExecCmdLine("CON 1Z;F 1"), " ; Off  ; ");
  EXPECT_TRUE(app_->sim->Requests().empty());
}

INSTANTIATE_TEST_SUITE_P(BothControllers, Commands,
                         ::testing::Values(sim::ControllerKind::kIM483I,
                                           sim::ControllerKind::kEZHR17),
                         [](const ::testing::TestParamInfo<sim::ControllerKind>& p) {
                           return std::string(sim::ControllerKindName(p.param));
                         });

// The words and numbers of a command line.
TEST(TextHelpers, SplitFirstWordSplitAtAndIsNumOrConst) {
  struct Case {
    const char* in;
    bool at;  // SplitAt ";" instead of SplitFirstWord
    const char* piece;
    const char* rest;
    int len;
  };
  // clang-format off
  const Case cases[] = {
      {"F Home", false, "F", "Home", 1}, {"  F   Home  now ", false, "F", "Home  now", 1},
      {"Ver", false, "Ver", "", 3}, {"", false, "", "", 0}, {"    ", false, "", "", 0},
      {"\tF 1", false, "\tF", "1", 2}, {"CommandCount", false, "CommandCount", "", 12},
      {"F 1;B 2", true, "F 1", "B 2", 3}, {"F 1", true, "F 1", "", 3}, {";F 1", true, "", "F 1", 0},
      {"F 1;", true, "F 1", "", 3}, {"", true, "", "", 0}, {" ; ", true, " ", " ", 1},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    std::string text = c.in, piece = "junk";
    EXPECT_EQ(c.at ? SplitAt(text, piece, ";") : SplitFirstWord(text, piece), c.len);
    EXPECT_EQ(piece, c.piece);
    EXPECT_EQ(text, c.rest);
  }

  // Numbers, and constants put in their place.
  ResetCommandState();
  SymConst() = {{"RED", std::string("3")},  {"BIG", std::string("1e9")},
                {"NEG", std::string("-2")}, {"BAD", std::string("abc")},
                {"RED", std::string("9")},  {"HALF", 0.5}};
  struct Num {
    const char* in;
    bool ok;
    const char* out;
  };
  // clang-format off
  const Num nums[] = {
      {"3", true, "3"}, {"2.5", true, "2.5"}, {" 7 ", true, " 7 "}, {"RED", true, " 3"},
      {"red", false, "red"}, {"NEG", true, "-2"}, {"BIG", true, " 1000000000"},
      {"BAD", false, "BAD"}, {"HALF", true, " .5"}, {"GREEN", false, "GREEN"}, {"", false, ""},
  };
  // clang-format on
  for (const auto& c : nums) {
    SCOPED_TRACE(c.in);
    std::string w = c.in;
    EXPECT_EQ(IsNumOrConst(w), c.ok);
    EXPECT_EQ(w, c.out);
  }
  ResetCommandState();
}

}  // namespace
}  // namespace nvx
