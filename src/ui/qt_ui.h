// The Ui of the Qt shell: the main window frmWheel and its controls, Qt
// message and input boxes, and the Qt event loop.
#pragma once

#include <QPointer>
#include <functional>
#include <memory>

#include "base/ui.h"
#include "comm/comm.h"

namespace nvx {

class FrmWheel;

class QtUi : public Ui {
 public:
  QtUi();
  ~QtUi() override;
  QtUi(const QtUi&) = delete;
  QtUi& operator=(const QtUi&) = delete;

  void ShowMsg(const std::string& text) override;
  std::string MsgText() const override;
  void SetCmdText(const std::string& text) override;
  std::string CmdText() const override;
  void FiltCaption(int wheel) override;
  bool IsFormLoaded(const std::string& name) const override;
  void LoadMainWindow() override;
  void ShowMainWindow() override;
  void HideMainWindow() override;
  void UnloadMainWindow() override;
  void ShowInterpMessage(const std::string& text) override;
  void MessageBox(const std::string& text, const std::string& title, MsgIcon icon) override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& initial) override;
  void ProcessEvents() override;
  void Beep() override;

  // The loaded main window, or nullptr.
  FrmWheel* MainWindow() const;
  // The message line as the serial link sees it (valid for the QtUi's life;
  // empty and inert while no main window is loaded).
  StatusLabel* MessageLineLabel();

  // The interpreter window registers where its message line is.
  void SetInterpMessageSink(std::function<void(const std::string&)> sink);
  // Called after the main window has unloaded.
  void SetMainWindowUnloadedHook(std::function<void()> hook);
  // Called with each newly loaded main window (to plug in dialogs).
  void SetMainWindowLoadedHook(std::function<void(FrmWheel&)> hook);

 private:
  class MsgLine;
  class CloseWatcher;
  QPointer<FrmWheel> frm_;
  std::unique_ptr<MsgLine> msgLine_;
  std::unique_ptr<CloseWatcher> closeWatcher_;
  std::function<void(const std::string&)> interpSink_;
  std::function<void()> unloadedHook_;
  std::function<void(FrmWheel&)> loadedHook_;
};

}  // namespace nvx
