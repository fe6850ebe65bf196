#include "core/main_model.h"

#include <algorithm>

#include "base/settings.h"
#include "base/ui.h"
#include "comm/comm.h"
#include "core/app.h"
#include "core/commands.h"
#include "core/speed_test.h"
#include "core/wheel_actions.h"
#include "core/wheel_view.h"
#include "joystick/joystick.h"
#include "params/trapar.h"
#include "wheels/wheels.h"

namespace nvx {

namespace {

const char* const kInitialTimeText = "Time";

// The message line as the serial link and the layers below the core see it.
class MsgLine : public StatusLabel {
 public:
  explicit MsgLine(MainModel& m) : m_(m) {}
  std::string Text() const override { return m_.Msg(); }
  void SetText(const std::string& text) override { m_.ShowMsg(text); }

 private:
  MainModel& m_;
};

// Keeps the panels in step with what the wheel operations do, whoever asked
// for it: the drawn wheels follow every move and reading, the captions every
// joystick step.
class WheelFollower : public WheelObserver {
 public:
  explicit WheelFollower(MainModel& m) : m_(m) {}
  void MoveCommanded(int16_t w, int16_t f) override { m_.WheelMoved(w, f); }
  void Homed(int16_t w, int16_t r) override { m_.WheelHomed(w, r); }
  void FilterRead(int16_t w, int16_t f) override { m_.WheelRead(w, f); }
  void JoyStepped(int16_t w) override {
    if (m_.IsLoaded()) m_.WheelCaption(w);
  }

 private:
  MainModel& m_;
};

// The box of a parameter or text file that could not be written (the current
// parameter file).
void ReportNotWritten() {
  MsgBox("File " + GetParPath() + " could not be written", "Norvantix", MsgIcon::Exclamation);
}

}  // namespace

MainModel& MainWin() {
  static MainModel model;
  return model;
}

namespace {
StatusLabel& ModelMsgLine() {
  static MsgLine line(MainWin());
  return line;
}
}  // namespace

void MainModel::Wire() {
  static WheelFollower follower(*this);
  SetMainMessageSink([this](const std::string& text) { ShowMsg(text); });
  SetWheelObserver(&follower);
}

MainModel::MainModel() = default;

void MainModel::SetViewFactory(std::function<MainView*()> factory) {
  factory_ = std::move(factory);
}
void MainModel::SetUnloadedHook(std::function<void()> hook) { unloadedHook_ = std::move(hook); }

bool MainModel::IsLoaded() const { return MainWinLoaded() != 0; }

void MainModel::ShowMsg(const std::string& text) {
  if (!IsLoaded()) return;
  msg_ = text;
  Tell([](MainView& v) { v.MsgChanged(); });
}

void MainModel::SetTimeText(const std::string& text) {
  if (!IsLoaded()) return;
  time_ = text;
  Tell([](MainView& v) { v.TimeChanged(); });
}

void MainModel::SetCmdText(const std::string& text) {
  if (!IsLoaded()) return;
  cmdText_ = text;
  Tell([](MainView& v) { v.CmdTextChanged(); });
}

// --- loading, showing, unloading -----------------------------------------

void MainModel::Load() {
  if (IsLoaded()) return;
  Wire();
  msg_.clear();
  time_ = kInitialTimeText;
  cmdText_.clear();
  history_.clear();
  visible_ = false;
  busy_ = 0;
  for (auto& p : panels_) p = WheelPanelState{};
  view_ = factory_ ? factory_() : nullptr;

  // The loading: the wheel menus, their filter entries, the current filters.
  ShowWheelMenus();
  for (int w = 1; w <= 2; ++w) {
    LoadFiltMenu(w);
    CurFilter(w) = 0;
    if (WheelOnline(w) == 1) ReadBackFilter(static_cast<int16_t>(w));
    WheelCaption(w);
    CheckFiltMenu(w);
    DrawWheel(w);
  }
  Tell([](MainView& v) { v.CalibCheckChanged(); });
  MainWinLoaded() = 1;
  SetCommStatusLabel(&ModelMsgLine());
}

void MainModel::Show() {
  if (!IsLoaded()) Load();
  visible_ = true;
  Tell([](MainView& v) { v.VisibilityChanged(); });
}

void MainModel::Hide() {
  if (!IsLoaded()) return;
  visible_ = false;
  Tell([](MainView& v) { v.VisibilityChanged(); });
}

void MainModel::Unload() {
  if (!IsLoaded()) return;
  MainWindowUnloading();
  UnloadFiltMenu(1);
  UnloadFiltMenu(2);
  visible_ = false;
  busy_ = 0;
  MainView* v = view_;
  view_ = nullptr;
  // The view closes the interpreter window and hides before the window
  // counts as unloaded.
  if (v) v->Unloaded();
  MainWindowUnloaded();
  SetCommStatusLabel(nullptr);
  if (unloadedHook_) unloadedHook_();
}

void MainModel::Reset() {
  if (view_) {
    MainView* v = view_;
    view_ = nullptr;
    v->Unloaded();
  }
  MainWinLoaded() = 0;
  visible_ = false;
  busy_ = 0;
  msg_.clear();
  time_.clear();
  cmdText_.clear();
  history_.clear();
  for (auto& p : panels_) p = WheelPanelState{};
}

// --- the window's parts ----------------------------------------------------

void MainModel::ShowWheelMenus() {
  P(1).menuShown = AppSettings().WheelInstalled[1] == 1;
  P(2).menuShown = AppSettings().WheelInstalled[2] == 1;
  Tell([](MainView& v) { v.WheelMenusChanged(); });
}

void MainModel::LoadFiltMenu(int wheel) {
  const int16_t n = SelectWheel(static_cast<int16_t>(wheel));
  // Rebuilt from the present count, whatever entries an earlier count left.
  std::vector<bool>& checks = P(wheel).checks;
  checks.resize(1);
  checks.resize(static_cast<size_t>(FilterEntryCount(n)), false);
  Tell([wheel](MainView& v) { v.FilterEntriesChanged(wheel); });
}

void MainModel::UnloadFiltMenu(int wheel) {
  SelectWheel(static_cast<int16_t>(wheel));
  P(wheel).checks.resize(1);
  Tell([wheel](MainView& v) { v.FilterEntriesChanged(wheel); });
}

void MainModel::CheckFiltMenu(int wheel) {
  const int16_t n = SelectWheel(static_cast<int16_t>(wheel));
  std::vector<bool>& checks = P(wheel).checks;
  // Entries beyond the count keep their mark.
  const int checked = CheckedFilterEntry(n, CurFilter(wheel));
  const int upto = std::min<int>(n, static_cast<int>(checks.size()));
  for (int i = 0; i < upto; ++i) checks[static_cast<size_t>(i)] = i == checked;
  Tell([wheel](MainView& v) { v.ChecksChanged(wheel); });
}

void MainModel::WheelCaption(int wheel) {
  if (wheel != 1 && wheel != 2) return;
  P(wheel).caption = CurFilter(wheel);
  Tell([wheel](MainView& v) { v.CaptionChanged(wheel); });
}

void MainModel::DrawWheel(int wheel) {
  if (wheel != 1 && wheel != 2) return;
  WheelPanelState& p = P(wheel);
  const bool online = WheelOnline(wheel) == 1;
  p.drawnCount = online ? WheelPar(wheel).filterCount : 0;
  p.drawnFilter = online ? CurFilter(wheel) : 0;
  Tell([wheel](MainView& v) { v.DrawingChanged(wheel); });
}

void MainModel::WheelMoved(int wheel, int16_t filter) {
  if (wheel != 1 && wheel != 2) return;
  WheelPanelState& p = P(wheel);
  p.drawnCount = WheelOnline(wheel) == 1 ? WheelPar(wheel).filterCount : 0;
  p.drawnFilter = filter;
  Tell([wheel](MainView& v) { v.DrawingChanged(wheel); });
}

void MainModel::WheelRead(int wheel, int16_t filter) { WheelMoved(wheel, filter); }

void MainModel::WheelHomed(int wheel, int16_t result) {
  if (wheel != 1 && wheel != 2) return;
  if (result >= 0) {
    // Homed: filter 1 stands in the beam until the reading says more.
    WheelMoved(wheel, 1);
    return;
  }
  P(wheel).drawnCount = 0;
  P(wheel).drawnFilter = 0;
  Tell([wheel](MainView& v) { v.DrawingChanged(wheel); });
}

void MainModel::FiltCaption() {
  const int16_t w = GetSelWheel();
  if (w == 1 || w == 2) WheelCaption(w);
}

void MainModel::RememberCmdInHist() {
  if (!IsLoaded()) return;
  RememberInHistory(history_, cmdText_, HistLimit());
  Tell([](MainView& v) { v.HistoryChanged(); });
}

std::string MainModel::RunTimedLine(bool fromBox, const std::string& line) {
  if (!IsLoaded()) return {};
  ShowMsg("");
  SetTimeText("");
  BusyScope busy(*this);
  GetUi().ProcessEvents();
  const uint32_t t0 = TimeMs();
  if (fromBox) {
    RememberCmdInHist();
  } else {
    SetCmdText(line);
  }
  // The line may unload the window (or load a new one): the lines then go
  // to whichever window is loaded at the end, if any.
  const std::string reply = ExecCmdLine(fromBox ? cmdText_ : line);
  ShowMsg(reply);
  SetTimeText(TimeLineText(TimeMs() - t0));
  return reply;
}

// --- handlers --------------------------------------------------------------

void MainModel::ConfigurationClick() {
  SetParFile("ZR_CONFIG.TXT");
  Tell([](MainView& v) { v.EditCurrentParFile(); });
  GetUi().ProcessEvents();
  ReadConfig();
  CommClosePort();
  CommOpenPort(AppSettings().PortNumber);
  SetPortTimeout(AppSettings().PortTimeout);
  InitDevices();
  if (!IsLoaded()) return;
  ShowWheelMenus();
  DrawWheel(1);
  DrawWheel(2);
}

void MainModel::JoyOnClick() {
  int16_t& on = AppSettings().JoyOn;
  on = on == 1 ? 0 : (JoyCentred() == 1 ? 1 : 0);
}

bool MainModel::CalibChecked() const { return JoyCalibrating() != 0; }

void MainModel::JoyCalibClick() {
  if (JoyCalibrating() == 0) {
    CalibStart();
    JoyCalibrating() = 1;
  } else {
    if (CalibValid() < 1) {
      ReadJoyPar();
      ShowMsg("Not calibrated. Using old par.");
    } else {
      // The new calibration is in use either way; a file that cannot be
      // written is said, or the next start would quietly bring the old one.
      if (WriteJoyPar() != 1) ReportNotWritten();
      ShowMsg("Calibrated");
    }
    JoyCalibrating() = 0;
  }
  Tell([](MainView& v) { v.CalibCheckChanged(); });
}

void MainModel::JoyAssgnCmdClick() {
  std::optional<std::string> text;
  Tell([&text](MainView& v) { text = v.EditText(JoinLines(JoyCommands())); });
  if (!text) {
    ShowMsg("Joystick commands not assigned");
    return;
  }
  TextFieldList old = std::move(JoyCommands());
  JoyCommands() = SplitLines(*text);
  if (SaveJoyCmds() != 1) {
    // Nothing changes when the file cannot be written: reading back the old
    // file would undo the edit without a word.
    JoyCommands() = std::move(old);
    ReportNotWritten();
    ShowMsg("Joystick commands not assigned");
    return;
  }
  LoadJoyCmds();
  ShowMsg("Joystick commands assigned");
}

void MainModel::ToggleAxesClick() {
  // The same as the command "Joy ToggleAxes".
  JoyAxes() = static_cast<int16_t>(1 - JoyAxes());
}

void MainModel::JoyParClick() {
  SetParFile("ZR_JOY.TXT");
  Tell([](MainView& v) { v.EditCurrentParFile(); });
  ReadJoyPar();
}

void MainModel::WheelMenuOpened(int wheel) {
  ReadBackFilter(static_cast<int16_t>(wheel));
  if (IsLoaded()) CheckFiltMenu(wheel);
}

void MainModel::FilterEntryClick(int wheel, int index) {
  if (WheelOnline(wheel) == 0) return;
  BusyScope busy(*this);
  const auto w = static_cast<int16_t>(wheel);
  GoToFilterAndRecord(w, static_cast<int16_t>(index + 1), true);
  if (!IsLoaded()) return;
  WheelCaption(wheel);
  ShowMsg(WheelFilterMsg(wheel, CurFilter(wheel)));
  CheckFiltMenu(wheel);
}

void MainModel::NextFilterClick(int wheel) {
  BusyScope busy(*this);
  StepFilter(static_cast<int16_t>(wheel), true);
  if (!IsLoaded()) return;
  WheelCaption(wheel);
  ShowMsg(WheelFilterMsg(wheel, CurFilter(wheel)));
}

void MainModel::PrevFilterClick(int wheel) {
  BusyScope busy(*this);
  StepFilter(static_cast<int16_t>(wheel), false);
  if (!IsLoaded()) return;
  WheelCaption(wheel);
  ShowMsg(WheelFilterMsg(wheel, CurFilter(wheel)));
}

void MainModel::HomeClick(int wheel) {
  ShowMsg("Homing Filter Wheel ...");
  BusyScope busy(*this);
  CmdBusy() = 1;
  int16_t read = 0;
  const int16_t r = HomeAndReadBack(static_cast<int16_t>(wheel), read);
  if (r < 0) {
    GetUi().MessageBox("Home Failed", "Norvantix", MsgIcon::None);
  } else if (IsLoaded()) {
    WheelCaption(wheel);
    ShowMsg(WheelFilterMsg(wheel, CurFilter(wheel)));
    CheckFiltMenu(wheel);
  }
  CmdBusy() = 0;
}

void MainModel::ParametersClick(int wheel) {
  UnloadFiltMenu(wheel);
  SetParFile(WheelParFileName(wheel));
  Tell([](MainView& v) { v.EditCurrentParFile(); });
  GetUi().ProcessEvents();
  const auto w = static_cast<int16_t>(wheel);
  WheelOnline(wheel) = InitWheel(w) > 0 ? 1 : 0;
  if (!IsLoaded()) return;
  if (WheelOnline(wheel) == 1) {
    LoadFiltMenu(wheel);
    CurFilter(wheel) = 0;
    ReadBackFilter(w);
    WheelCaption(wheel);
    ShowMsg(WheelOnlineMsg(wheel, true));
  } else {
    ShowMsg(WheelOnlineMsg(wheel, false));
  }
  DrawWheel(wheel);
}

void MainModel::ReadParFileClick(int wheel) {
  std::string dir, file, source;
  if (view_) {
    view_->ChooseFile(ProgramDir(), WheelParFilePattern(wheel), "Select a parameter file to load",
                      dir, file);
  }
  if (dir.empty() || file.empty()) {
    ShowMsg(kParFileNotRead);
    return;
  }
  if (CopyWheelParFile(wheel, dir, file, ProgramDir(), source) < 1) {
    ShowMsg(kParFileNotRead);
    return;
  }
  ShowMsg(ParFileReadMsg(source));
  ParametersClick(wheel);
}

void MainModel::SpeedTestClick(int wheel) { RunSpeedTest(static_cast<int16_t>(wheel)); }

bool MainModel::WheelButtonClick(int index) {
  if (index < 0 || index > 1) return false;
  const int wheel = index + 1;
  if (AppSettings().WheelInstalled[wheel] == 0) return false;
  ReadBackFilter(static_cast<int16_t>(wheel));
  if (!IsLoaded()) return false;
  CheckFiltMenu(wheel);
  return true;
}

// --- busy ------------------------------------------------------------------

MainModel::BusyScope::BusyScope(MainModel& m) : m_(m) {
  if (m_.busy_++ == 0) m_.Tell([](MainView& v) { v.BusyChanged(); });
}

MainModel::BusyScope::~BusyScope() {
  if (m_.busy_ > 0 && --m_.busy_ == 0) m_.Tell([](MainView& v) { v.BusyChanged(); });
}

}  // namespace nvx
