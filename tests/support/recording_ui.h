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

namespace nvx::test {

class RecordingUi : public Ui {
 public:
  struct Box {
    std::string text, title;
    MsgIcon icon;
  };

  // Window state a test can set or read.
  std::set<std::string> loaded;  // names of loaded windows
  bool mainVisible = false;
  std::string msgLine, cmdText, interpMsg;
  std::vector<Box> boxes;
  std::vector<std::string> cmdEchoes;  // every SetCmdText
  std::vector<int> captionRefreshes;
  std::deque<std::optional<std::string>> inputAnswers;
  std::function<void()> onProcessEvents;
  int processEventsCalls = 0;
  int beeps = 0;

  void ShowMsg(const std::string& text) override {
    if (loaded.count("frmWheel")) msgLine = text;
  }
  std::string MsgText() const override { return msgLine; }
  void SetCmdText(const std::string& text) override {
    if (!loaded.count("frmWheel")) return;
    cmdText = text;
    cmdEchoes.push_back(text);
  }
  std::string CmdText() const override { return cmdText; }
  void FiltCaption(int wheel) override { captionRefreshes.push_back(wheel); }
  bool IsFormLoaded(const std::string& name) const override { return loaded.count(name) > 0; }
  void LoadMainWindow() override { loaded.insert("frmWheel"); }
  void ShowMainWindow() override { mainVisible = true; }
  void HideMainWindow() override { mainVisible = false; }
  void UnloadMainWindow() override {
    loaded.erase("frmWheel");
    mainVisible = false;
  }
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
  void Beep() override { ++beeps; }
};

// Installs a Ui for the life of the scope.
class ScopedUi {
 public:
  explicit ScopedUi(Ui& ui) { SetUi(&ui); }
  ~ScopedUi() { SetUi(nullptr); }
  ScopedUi(const ScopedUi&) = delete;
  ScopedUi& operator=(const ScopedUi&) = delete;
};

}  // namespace nvx::test
