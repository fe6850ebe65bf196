#include "ui/qt_ui.h"

#include <QApplication>
#include <QCoreApplication>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>

#include "comm/comm.h"
#include "core/main_model.h"
#include "ui/frm_wheel.h"

namespace nvx {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Texts of the program use CR LF between lines.
QString BoxText(const std::string& s) {
  QString t = Q(s);
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return t;
}

QMessageBox::Icon BoxIcon(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Question: return QMessageBox::Question;
    case MsgIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

// Notes which windows are closing for good: a window that frees itself on
// closing is no longer loaded once its close went through, although the
// object lives on until the event loop deletes it.
class QtUi::CloseWatcher : public QObject {
 public:
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Close && o->isWidgetType()) {
      auto* w = static_cast<QWidget*>(o);
      if (w->isWindow() && w->testAttribute(Qt::WA_DeleteOnClose))
        w->setProperty("nvxClosing", true);
    }
    return false;
  }
};

QtUi::QtUi() : closeWatcher_(std::make_unique<CloseWatcher>()) {
  if (QCoreApplication* app = QCoreApplication::instance())
    app->installEventFilter(closeWatcher_.get());
  MainWin().SetViewFactory([this]() -> MainView* {
    auto* w = new FrmWheel;
    frm_ = w;
    if (loadedHook_) loadedHook_(*w);
    return w;
  });
  MainWin().SetUnloadedHook([this] {
    if (unloadedHook_) unloadedHook_();
  });
}

QtUi::~QtUi() {
  MainWin().SetViewFactory(nullptr);
  MainWin().SetUnloadedHook(nullptr);
  if (frm_) delete frm_.data();
}

FrmWheel* QtUi::MainWindow() const {
  if (frm_ && !frm_->IsUnloaded() && MainWin().IsLoaded()) return frm_.data();
  return nullptr;
}

void QtUi::ShowMainWindow() { MainWin().Show(); }

void QtUi::UnloadMainWindow() { MainWin().Unload(); }

bool QtUi::IsWindowLoaded(const std::string& name) const {
  if (name == "frmWheel") return MainWindow() != nullptr;
  const QString qname = Q(name);
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->objectName() != qname || qobject_cast<QMenu*>(w)) continue;
    // Closed for good, waiting to be deleted (a refused close leaves it shown).
    if (w->property("nvxClosing").toBool() && !w->isVisible()) continue;
    return true;
  }
  return false;
}

void QtUi::ShowInterpMessage(const std::string& text) {
  if (interpSink_) interpSink_(text);
}

void QtUi::MessageBox(const std::string& text, const std::string& title, MsgIcon icon) {
  QWidget* parent = MainWindow();
  if (parent && !parent->isVisible()) parent = nullptr;
  QMessageBox box(BoxIcon(icon), Q(title), BoxText(text), QMessageBox::Ok, parent);
  box.exec();
}

std::optional<std::string> QtUi::InputBox(const std::string& prompt, const std::string& title,
                                          const std::string& initial) {
  QWidget* parent = MainWindow();
  if (parent && !parent->isVisible()) parent = nullptr;
  QInputDialog dlg(parent);
  dlg.setWindowTitle(Q(title));
  dlg.setLabelText(BoxText(prompt));
  dlg.setTextValue(Q(initial));
  dlg.setInputMode(QInputDialog::TextInput);
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  return dlg.textValue().toStdString();
}

void QtUi::ProcessEvents() {
  // Posted events first: inside a handler that the GLib event dispatcher
  // itself delivered, processEvents() does not deliver events that were
  // already posted when that handler started (a D-Bus call that arrived
  // together with the one now waiting would otherwise wait for it to end).
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();
  CommDeliverEvents();
}

void QtUi::Beep() { QApplication::beep(); }

void QtUi::SetInterpMessageSink(std::function<void(const std::string&)> sink) {
  interpSink_ = std::move(sink);
}

void QtUi::SetMainWindowUnloadedHook(std::function<void()> hook) {
  unloadedHook_ = std::move(hook);
}

void QtUi::SetMainWindowLoadedHook(std::function<void(FrmWheel&)> hook) {
  loadedHook_ = std::move(hook);
}

}  // namespace nvx
