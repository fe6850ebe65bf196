// The one road from the Qt-free layers to whatever shows things to a person.
//
// The Qt shell implements it over real windows; HeadlessUi serves --exec and
// the simulator (message boxes go to standard error); tests install a
// recording implementation. Every layer reaches the current one through
// GetUi(), so nothing below the shell includes a window header.
#pragma once

#include <optional>
#include <string>

namespace nvx {

enum class MsgIcon { None, Critical, Exclamation, Information, Question };

class Ui {
 public:
  virtual ~Ui() = default;

  // --- the main window (frmWheel) and its controls ---
  // Message line lblMsg: both do nothing while the main window is not loaded.
  virtual void ShowMsg(const std::string& text) = 0;
  virtual std::string MsgText() const = 0;
  // Command box cboCommand text; nothing while the main window is not loaded.
  virtual void SetCmdText(const std::string& text) = 0;
  virtual std::string CmdText() const = 0;
  // Refresh the caption of wheel n's panel (1 = "F", 2 = "B").
  virtual void FiltCaption(int wheel) = 0;
  // Is a window of this name ("frmWheel", "frmInterp", ...) loaded.
  virtual bool IsFormLoaded(const std::string& name) const = 0;
  // Create the main window hidden (runs its loading), show, hide, unload.
  virtual void LoadMainWindow() = 0;
  virtual void ShowMainWindow() = 0;
  virtual void HideMainWindow() = 0;
  virtual void UnloadMainWindow() = 0;

  // --- the interpreter window ---
  virtual void ShowInterpMessage(const std::string& text) = 0;

  // --- general ---
  virtual void MessageBox(const std::string& text, const std::string& title, MsgIcon icon) = 0;
  // nullopt when the user cancels.
  virtual std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                              const std::string& initial) = 0;
  // Let the window system process pending events once (clicks, D-Bus calls,
  // timers); nested commands may run inside.
  virtual void ProcessEvents() = 0;
  virtual void Beep() = 0;
};

// A Ui without windows: the main window never loads, message boxes are written
// to standard error as their text, input boxes are cancelled, and events are
// whatever the installed event hook does (nothing by default).
class HeadlessUi : public Ui {
 public:
  void ShowMsg(const std::string&) override {}
  std::string MsgText() const override { return {}; }
  void SetCmdText(const std::string&) override {}
  std::string CmdText() const override { return {}; }
  void FiltCaption(int) override {}
  bool IsFormLoaded(const std::string&) const override { return false; }
  void LoadMainWindow() override {}
  void ShowMainWindow() override {}
  void HideMainWindow() override {}
  void UnloadMainWindow() override {}
  void ShowInterpMessage(const std::string&) override {}
  void MessageBox(const std::string& text, const std::string& title, MsgIcon icon) override;
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
  void ProcessEvents() override {}
  void Beep() override {}
};

// The current Ui; a HeadlessUi until SetUi installs another. SetUi(nullptr)
// goes back to the headless one. The caller keeps ownership.
Ui& GetUi();
void SetUi(Ui* ui);

// Short forms used across the layers.
inline void ProcessEvents() { GetUi().ProcessEvents(); }
inline void MsgBox(const std::string& text, const std::string& title = "Norvantix",
                   MsgIcon icon = MsgIcon::None) {
  GetUi().MessageBox(text, title, icon);
}

}  // namespace nvx
