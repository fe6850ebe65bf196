// A started program with the real main window: the start-up runs in a
// temporary program directory (optionally with simulated controllers on a
// pseudo-terminal) under a QtUi whose message and input boxes are recorded
// and answered from a queue instead of being shown.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "input.h"
#include "support/app_fixture.h"
#include "ui/frm_wheel.h"
#include "ui/qt_ui.h"
#include "ui/text_window.h"
#include "ui/widgets.h"

namespace nvx::test {

class TestQtUi : public QtUi {
 public:
  struct Box {
    std::string text, title;
    MsgIcon icon;
  };
  std::vector<Box> boxes;
  std::vector<std::string> prompts;
  std::deque<std::optional<std::string>> answers;

  void MessageBox(const std::string& text, const std::string& title, MsgIcon icon) override {
    boxes.push_back({text, title, icon});
  }
  // Runs after each round of events (inside waits, too).
  std::function<void()> duringEvents;
  void ProcessEvents() override {
    QtUi::ProcessEvents();
    if (duringEvents) duringEvents();
  }
  // The loaded main window's message line; empty without one.
  std::string MsgText() const { return MainWindow() ? MainWindow()->MessageText() : ""; }
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string&) override {
    prompts.push_back(title + "|" + prompt);
    if (answers.empty()) return std::nullopt;
    auto a = answers.front();
    answers.pop_front();
    return a;
  }
};

// Deletes what deleteLater left.
inline void FlushDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}

// The window of type T on show (a text window unless given), if any.
template <typename T = TextWindow>
T* Shown() {
  for (QWidget* t : QApplication::topLevelWidgets())
    if (auto* x = qobject_cast<T*>(t); x && x->isVisible()) return x;
  return nullptr;
}

// Caption without the accelerator marks.
inline std::string Plain(const QString& caption) {
  QString t = caption;
  t.remove(QLatin1Char('&'));
  return t.toStdString();
}

class UiFixture {
 public:
  explicit UiFixture(const sim::ControllerKind* kind = nullptr, sim::SimOptions options = {})
      : app(kind, options) {
    app.SetConfig("PORTTIMEOUT", "300");
    app.SetConfig("MOVETIMEOUT", "5");
    SetUi(&ui);
  }
  ~UiFixture() {
    if (ui.MainWindow()) ui.UnloadMainWindow();
    FlushDeletes();
    SetUi(nullptr);
  }
  UiFixture(const UiFixture&) = delete;
  UiFixture& operator=(const UiFixture&) = delete;

  int16_t Start() {
    const int16_t r = app.Start();
    w = ui.MainWindow();
    return r;
  }

  // Writes wheel `wheel`'s parameter file with n filters instead of 6, as
  // `name` (its own file when empty); returns the text.
  std::string WriteFilterCount(int wheel, int n, const std::string& name = "") {
    const std::string own = "ZR_PARW" + std::to_string(wheel) + ".TXT";
    const std::string key = "\"W" + std::to_string(wheel) + "FILTPOSITIONS\",";
    std::string par = app.dir.read(own);
    par.replace(par.find(key + "6") + key.size(), 1, std::to_string(n));
    app.dir.writeRaw(name.empty() ? own : name, par);
    return par;
  }

  template <typename T = QAction>
  T* Find(const char* name) const {
    return w->findChild<T*>(QString::fromLatin1(name));
  }

  // The drawn wheel: its number of filter marks and its centre text.
  std::string Dial(int wheel) const {
    const auto* d = w->findChild<WheelDial*>(wheel == 1 ? "dialF" : "dialB");
    return std::to_string(d->Drawing().marks.size()) + " " + d->Drawing().centreText;
  }
  // The checked filter entry: -1 for none, -2 for more than one.
  int CheckedEntry(int wheel) const {
    const auto entries = w->FilterEntries(wheel);
    int found = -1, n = 0;
    for (size_t i = 0; i < entries.size(); ++i)
      if (entries[i]->isChecked()) found = n++ ? -2 : static_cast<int>(i);
    return found;
  }

  AppFixture app;
  TestQtUi ui;
  FrmWheel* w = nullptr;
};

inline constexpr sim::ControllerKind kIm = sim::ControllerKind::kIM483I;

// A menu's (or the menu bar's) entries joined by '|': their object names, or
// their captions with "-" for a separator.
inline std::string Entries(const QWidget* m, bool names) {
  std::string out;
  for (QAction* a : m->actions())
    out += (out.empty() ? "" : "|") + (names              ? a->objectName().toStdString()
                                       : a->isSeparator() ? std::string("-")
                                                          : Plain(a->text()));
  return out;
}

// A started program with simulated controllers (both wheels online), or
// without them (the port does not open).
template <bool kOnline>
class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(f.Start(), kOnline ? 1 : -1);
    ASSERT_NE(f.w, nullptr);
  }
  std::string Title(int wheel) const { return Plain(f.w->WheelMenu(wheel)->title()); }
  std::string Button(int wheel) const {
    for (auto* b : f.w->findChildren<QPushButton*>("cmdWheel"))
      if (b->property("index").toInt() == wheel - 1) return b->text().toStdString();
    return "";
  }
  UiFixture f{kOnline ? &kIm : nullptr};
};
using FrmWheelTest = Window<true>;
using FrmWheelOfflineTest = Window<false>;

// The started window on a desktop (an X server with a window manager), shown
// and made active: keys and clicks as the window system delivers them.
class DesktopTest : public FrmWheelTest {
 protected:
  void SetUp() override {
    FrmWheelTest::SetUp();
    if (HasFatalFailure()) return;
    f.ui.ShowMainWindow();
    ASSERT_TRUE(test::ShowActive(f.w));
    box = f.Find<QComboBox>("cboCommand");
  }
  QComboBox* box = nullptr;
};

}  // namespace nvx::test
