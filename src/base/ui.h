// The host services every front end of the program provides to the Qt-free
// layers: message and input boxes, letting pending events run, a beep, and
// the windows other than the main window (the interpreter window).
//
// The main window itself is not part of this: its state and rules live in
// the core's model (core/main_model.h), which an optional view renders.
// The Qt shell implements these services over real windows; HeadlessUi serves
// the windowless modes and the simulator (message boxes go to standard
// error); tests install a recording implementation. Every layer reaches the
// current one through GetUi(), so nothing below the shell includes a window
// header.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace nvx {

enum class MsgIcon { None, Critical, Exclamation, Information, Question };

class Ui {
 public:
  virtual ~Ui() = default;

  virtual void MessageBox(const std::string& text, const std::string& title, MsgIcon icon) = 0;
  // nullopt when the user cancels.
  virtual std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                              const std::string& initial) = 0;
  // Let the window system process pending events once (clicks, D-Bus calls,
  // timers); nested commands may run inside.
  virtual void ProcessEvents() = 0;
  virtual void Beep() = 0;

  // Windows other than the main window: is one of this name ("frmInterp",
  // ...) loaded, and the interpreter window's message line. A front end
  // without windows has none.
  virtual bool IsWindowLoaded(const std::string& /*name*/) const { return false; }
  virtual void ShowInterpMessage(const std::string& /*text*/) {}
};

// Host services without windows: message boxes are written to standard error
// as their text, input boxes are cancelled, and there are no events to run.
class HeadlessUi : public Ui {
 public:
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

// The main window's message line for the layers below the core (the
// joystick's calibration readings): the core installs the sink; without one
// the text goes nowhere.
void SetMainMessageSink(std::function<void(const std::string&)> sink);
void ShowMainMessage(const std::string& text);

// Short forms used across the layers.
inline void ProcessEvents() { GetUi().ProcessEvents(); }
inline void MsgBox(const std::string& text, const std::string& title = "Norvantix",
                   MsgIcon icon = MsgIcon::None) {
  GetUi().MessageBox(text, title, icon);
}

}  // namespace nvx
