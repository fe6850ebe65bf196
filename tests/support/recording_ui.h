// A Ui for tests: remembers what a person would have seen and answers input
// boxes from a queue. Install with ScopedUi.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/ui.h"
#include "core/main_model.h"

namespace nvx::test {

class RecordingUi : public Ui, public MainView {
 public:
  struct Box {
    std::string text, title;
    MsgIcon icon;
  };

  // Windows other than the main window that count as loaded.
  std::set<std::string> loaded;
  // The main window as its view last showed it.
  bool mainVisible = false;
  std::string msgLine, cmdText, interpMsg;
  std::vector<Box> boxes;
  std::vector<int> captionRefreshes;
  std::deque<std::optional<std::string>> inputAnswers;
  std::function<void()> onProcessEvents;
  int processEventsCalls = 0;

  void MsgChanged() override { msgLine = MainWin().Msg(); }
  void CmdTextChanged() override { cmdText = MainWin().CmdText(); }
  void CaptionChanged(int wheel) override { captionRefreshes.push_back(wheel); }
  void VisibilityChanged() override { mainVisible = MainWin().IsVisible(); }
  void Unloaded() override { mainVisible = false; }

  // The main window's loading without a start-up (wheels offline, nothing
  // on the line), with the records of the loading itself forgotten.
  void LoadMainWindow() {
    MainWin().Load();
    captionRefreshes.clear();
  }

  bool IsWindowLoaded(const std::string& name) const override { return loaded.count(name) > 0; }
  void ShowInterpMessage(const std::string& text) override { interpMsg = text; }
  void MessageBox(const std::string& text, const std::string& title, MsgIcon icon) override {
    boxes.push_back({text, title, icon});
  }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    if (inputAnswers.empty()) return std::nullopt;
    auto a = inputAnswers.front();
    inputAnswers.pop_front();
    return a;
  }
  void ProcessEvents() override {
    ++processEventsCalls;
    if (onProcessEvents) {
      // A hook runs once per call and may itself process events.
      auto hook = onProcessEvents;
      hook();
    }
  }
  void Beep() override {}
};

// Installs a Ui for the life of the scope.
// A RecordingUi also becomes the main window's view at every loading.
class ScopedUi {
 public:
  explicit ScopedUi(Ui& ui) : view_(dynamic_cast<MainView*>(&ui)) {
    SetUi(&ui);
    if (view_) MainWin().SetViewFactory([v = view_] { return v; });
  }
  ~ScopedUi() {
    if (view_) {
      MainWin().SetViewFactory(nullptr);
      if (MainWin().View() == view_) MainWin().Reset();
    }
    SetUi(nullptr);
  }
  ScopedUi(const ScopedUi&) = delete;
  ScopedUi& operator=(const ScopedUi&) = delete;

 private:
  MainView* view_;
};

}  // namespace nvx::test
