// The host services of the Qt shell (Qt message and input boxes, the Qt
// event loop, the other windows), and the maker of the main window frmWheel,
// which renders the core's main window model.
#pragma once

#include <QPointer>
#include <functional>
#include <memory>

#include "base/ui.h"

namespace nvx {

class FrmWheel;

class QtUi : public Ui {
 public:
  // Makes the main window the model's view from now on.
  QtUi();
  ~QtUi() override;
  QtUi(const QtUi&) = delete;
  QtUi& operator=(const QtUi&) = delete;

  void MessageBox(const std::string& text, const std::string& title, MsgIcon icon) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& initial) override;
  void ProcessEvents() override;
  void Beep() override;
  bool IsWindowLoaded(const std::string& name) const override;
  void ShowInterpMessage(const std::string& text) override;

  // The loaded main window, or nullptr.
  FrmWheel* MainWindow() const;
  // Short forms of the model's "Show" and "Unload".
  void ShowMainWindow();
  void UnloadMainWindow();

  // The interpreter window registers where its message line is.
  void SetInterpMessageSink(std::function<void(const std::string&)> sink);
  // Called after the main window has unloaded.
  void SetMainWindowUnloadedHook(std::function<void()> hook);
  // Called with each newly made main window (to plug in dialogs).
  void SetMainWindowLoadedHook(std::function<void(FrmWheel&)> hook);

 private:
  class CloseWatcher;
  QPointer<FrmWheel> frm_;
  std::unique_ptr<CloseWatcher> closeWatcher_;
  std::function<void(const std::string&)> interpSink_;
  std::function<void()> unloadedHook_;
  std::function<void(FrmWheel&)> loadedHook_;
};

}  // namespace nvx
