#include "ui/frm_wheel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "base/numbers.h"
#include "base/settings.h"
#include "joystick/joystick.h"
#include "base/ui.h"
#include "comm/comm.h"
#include "core/app.h"
#include "core/commands.h"
#include "core/speed_test.h"
#include "core/wheel_view.h"
#include "params/trapar.h"
#include "ui/frm_files.h"
#include "ui/text_window.h"
#include "ui/widgets.h"
#include "wheels/wheels.h"

#include "interp/interp.h"

namespace nvx {

namespace tick_detail {
// Stands in for the interpreter's PeriodicTick until interp/interp.h declares
// it; a declared nvx::PeriodicTick() is the better match and wins.
template <int = 0>
void PeriodicTick() {}
}  // namespace tick_detail

namespace {

constexpr int kTickIntervalMs = 50;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A filter entry's caption with its digit as the keyboard accelerator for
// filters 1 to 9 ("Filter &3").
QString FilterEntryText(const std::string& caption, int index) {
  QString t = Q(caption);
  if (index < 9) t.insert(t.size() - 1, QLatin1Char('&'));
  return t;
}

}  // namespace

// --- lifetime guard -------------------------------------------------------

FrmWheel::HandlerScope::HandlerScope(FrmWheel* w) : w_(w) { ++w->handlerDepth_; }

FrmWheel::HandlerScope::~HandlerScope() {
  if (!w_) return;
  if (--w_->handlerDepth_ == 0 && w_->deletePending_) {
    w_->deletePending_ = false;
    w_->deleteLater();
  }
}

// --- construction and loading ---------------------------------------------

FrmWheel::FrmWheel(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmWheel");
  setWindowTitle("Norvantix");

  auto* central = new QWidget(this);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(10, 8, 10, 8);
  outer->setSpacing(8);

  auto* panelsRow = new QHBoxLayout;
  panelsRow->setSpacing(10);
  panelsRow->addWidget(BuildPanel(1));
  panelsRow->addWidget(BuildPanel(2));
  outer->addLayout(panelsRow, 1);

  auto* cmdRow = new QHBoxLayout;
  cmdRow->setSpacing(6);
  cboCommand_ = new QComboBox(central);
  cboCommand_->setObjectName("cboCommand");
  cboCommand_->setEditable(true);
  cboCommand_->setInsertPolicy(QComboBox::NoInsert);
  cboCommand_->setCompleter(nullptr);
  cboCommand_->setMaxVisibleItems(15);
  cboCommand_->setToolTip("Type system command");
  cboCommand_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  cboCommand_->setMinimumContentsLength(16);
  cboCommand_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  // The combo box is its line edit's focus proxy, so keys and focus changes
  // reach the combo box itself: Enter and the caret rule are handled there.
  // The box has the focus when the window first opens.
  cboCommand_->installEventFilter(this);
  cboCommand_->setFocus(Qt::OtherFocusReason);
  cmdExecute_ = new QPushButton("E&xecute", central);
  cmdExecute_->setObjectName("cmdExecute");
  cmdExecute_->setToolTip("Execute command in the box");
  cmdRow->addWidget(cboCommand_, 1);
  cmdRow->addWidget(cmdExecute_);
  outer->addLayout(cmdRow);

  auto* lineRow = new QHBoxLayout;
  lineRow->setSpacing(6);
  lblTime_ = new QLabel("Time", central);
  lblTime_->setObjectName("lblTime");
  lblTime_->setFrameShape(QFrame::StyledPanel);
  lblTime_->setFrameShadow(QFrame::Sunken);
  lblTime_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblTime_->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral(" 0000000 ")));
  lblTime_->setToolTip("Duration of the last command line in milliseconds");
  lblMsg_ = new ClickLabel(central);
  lblMsg_->setObjectName("lblMsg");
  lblMsg_->setFrameShape(QFrame::StyledPanel);
  lblMsg_->setFrameShadow(QFrame::Sunken);
  lblMsg_->setWordWrap(true);
  lblMsg_->setTextFormat(Qt::PlainText);
  lblMsg_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // Two lines high whatever it shows: a longer text is cut short in the
  // line and shown whole in its tooltip, so the panels keep their size.
  lblMsg_->setFixedHeight(fontMetrics().lineSpacing() * 2 + 6);
  lblMsg_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  lblMsg_->setTextInteractionFlags(Qt::NoTextInteraction);
  lineRow->addWidget(lblTime_);
  lineRow->addWidget(lblMsg_, 1);
  outer->addLayout(lineRow);
  setCentralWidget(central);

  BuildMenus();

  connect(cmdExecute_, &QPushButton::clicked, this, [this] { ExecuteClick(); });
  connect(lblMsg_, &ClickLabel::pressed, this, [this] { ShowMessage(""); });

  resize(480, 400);

  // Loading: the wheel menus, their filter entries, the current filters.
  ShowWheelMenus();
  for (int w = 1; w <= 2; ++w) {
    LoadFiltMenu(w);
    CurFilter(w) = 0;
    if (WheelOnline(w) == 1) ReadCurFilter(w);
    WheelCaption(w);
    CheckFiltMenu(w);
  }
  MainWinLoaded() = 1;

  tick_ = new QTimer(this);
  tick_->setInterval(kTickIntervalMs);
  connect(tick_, &QTimer::timeout, this, &FrmWheel::Tick);
  tick_->start();
}

FrmWheel::~FrmWheel() {
  // A window freed without unloading still follows the closing rules.
  if (!unloaded_) {
    unloaded_ = true;
    MainWindowUnloading();
    MainWindowUnloaded();
    if (onUnloaded) onUnloaded();
  }
}

QWidget* FrmWheel::BuildPanel(int wheel) {
  Panel& p = P(wheel);
  p.frame = new QGroupBox(Q(WheelPanelCaption(wheel)));
  p.frame->setObjectName("fraWheel");
  p.frame->setProperty("index", wheel - 1);
  p.frame->setToolTip("Filter wheel control");
  auto* lay = new QVBoxLayout(p.frame);
  lay->setContentsMargins(8, 6, 8, 8);
  lay->setSpacing(6);
  p.dial = new WheelDial(p.frame);
  p.dial->setObjectName(wheel == 1 ? "dialF" : "dialB");
  p.button = new WheelButton(p.frame);
  p.button->setObjectName("cmdWheel");
  p.button->setProperty("index", wheel - 1);
  p.button->setText("?");
  QFont bf = p.button->font();
  bf.setBold(true);
  bf.setPointSizeF(bf.pointSizeF() * 1.3);
  p.button->setFont(bf);
  p.button->setMinimumHeight(p.button->fontMetrics().height() + 14);
  lay->addWidget(p.dial, 1);
  lay->addWidget(p.button);
  const int index = wheel - 1;
  connect(p.button, &QPushButton::clicked, this, [this, index] { WheelButtonClick(index); });
  connect(p.button, &WheelButton::rightPressed, this, [this, index] { WheelButtonClick(index); });
  return p.frame;
}

void FrmWheel::BuildMenus() {
  QMenuBar* bar = menuBar();

  auto named = [](QAction* a, const char* name) {
    a->setObjectName(name);
    return a;
  };

  QMenu* conf = bar->addMenu("&Config.");
  conf->setObjectName("mnuConf");
  conf->menuAction()->setObjectName("mnuConf");
  connect(named(conf->addAction("&Configuration"), "mnuConfig"), &QAction::triggered, this,
          [this] { ConfigurationClick(); });
  QMenu* joy = conf->addMenu("&Joystick");
  joy->setObjectName("mnuJoy");
  joy->menuAction()->setObjectName("mnuJoy");
  connect(named(joy->addAction("&On?"), "mnuJoyOn"), &QAction::triggered, this,
          [this] { JoyOnClick(); });
  named(joy->addAction("&Calibrate"), "mnuJoyCalib");
  named(joy->addAction("&Assigned Commands"), "mnuJoyAssgnCmd");
  connect(named(joy->addAction("&Toggle Axes"), "mnuTogAxes"), &QAction::triggered, this,
          [this] { ToggleAxesClick(); });
  connect(named(joy->addAction("&Param."), "mnuJoyPar"), &QAction::triggered, this,
          [this] { JoyParClick(); });
  connect(named(conf->addAction("&Error Log"), "mnuErrLogComm"), &QAction::triggered, this,
          [this] { ErrorLogClick(); });
  QAction* quit = named(conf->addAction("&Quit"), "mnuQuit");
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(quit, &QAction::triggered, this, [this] { QuitClick(); });

  BuildWheelMenu(1);
  BuildWheelMenu(2);

  QMenu* interp = bar->addMenu("&Interp.");
  interp->setObjectName("mnuInterp");
  interp->menuAction()->setObjectName("mnuInterp");
  connect(named(interp->addAction("&Commands"), "mnuInterpCmds"), &QAction::triggered, this,
          [this] { CommandsClick(); });
  named(interp->addAction("&Interpreter"), "mnuInterpEdit");
}

void FrmWheel::BuildWheelMenu(int wheel) {
  Panel& p = P(wheel);
  const bool f = wheel == 1;
  p.menu = menuBar()->addMenu(f ? "&F-i" : "&B-j");
  p.menu->setObjectName(f ? "mnuF" : "mnuB");
  p.menu->menuAction()->setObjectName(f ? "mnuF" : "mnuB");
  p.sep1 = p.menu->addSeparator();
  p.sep1->setObjectName(f ? "mnuFSep1" : "mnuBSep1");
  AddFilterEntry(wheel, 0, "Filter 1");

  auto add = [&](const char* text, const char* name, void (FrmWheel::*handler)(int)) {
    QAction* a = p.menu->addAction(text);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, [this, wheel, handler] { (this->*handler)(wheel); });
    return a;
  };
  add("&Next Filter", f ? "mnuFNext" : "mnuBNext", &FrmWheel::NextFilterClick);
  add("&Previous Filter", f ? "mnuFPrev" : "mnuBPrev", &FrmWheel::PrevFilterClick);
  p.menu->addSeparator()->setObjectName(f ? "mnuFSep2" : "mnuBSep2");
  add("&Home", f ? "mnuFHome" : "mnuBHome", &FrmWheel::HomeClick);
  add("P&arameters", f ? "mnuFPar" : "mnuBPar", &FrmWheel::ParametersClick);
  p.menu->addSeparator()->setObjectName(f ? "mnuFSep3" : "mnuBSep3");
  add("&Read Par. File", f ? "mnuFReadPar" : "mnuBReadPar", &FrmWheel::ReadParFileClick);
  add("&Speed Test", f ? "mnuSpeedTestF" : "mnuSpeedTestB", &FrmWheel::SpeedTestClick);

  connect(p.menu, &QMenu::aboutToShow, this, [this, wheel] {
    if (!popupFromButton_) WheelMenuOpened(wheel);
  });
}

QAction* FrmWheel::AddFilterEntry(int wheel, int index, const std::string& caption) {
  Panel& p = P(wheel);
  auto* a = new QAction(FilterEntryText(caption, index), p.menu);
  a->setObjectName(wheel == 1 ? "mnuFFilt" : "mnuBFilt");
  a->setProperty("index", index);
  a->setCheckable(true);
  p.menu->insertAction(p.sep1, a);
  connect(a, &QAction::triggered, this, [this, wheel, a](bool checked) {
    // The check marks follow CurFilter only; undo the automatic toggle.
    SetCheckedSilently(a, !checked);
    FilterEntryClick(wheel, a->property("index").toInt());
  });
  p.filters.push_back(a);
  return a;
}

void FrmWheel::SetCheckedSilently(QAction* a, bool on) {
  const bool old = a->blockSignals(true);
  a->setChecked(on);
  a->blockSignals(old);
}

// --- the filter entries ---------------------------------------------------

void FrmWheel::LoadFiltMenu(int wheel) {
  const int16_t n = SelectWheel(static_cast<int16_t>(wheel));
  // Rebuilt from the present count, whatever entries an earlier count left.
  UnloadFiltMenu(wheel);
  const std::vector<std::string> captions = FilterEntryCaptions(n);
  for (size_t i = 1; i < captions.size(); ++i)
    AddFilterEntry(wheel, static_cast<int>(i), captions[i]);
}

void FrmWheel::UnloadFiltMenu(int wheel) {
  SelectWheel(static_cast<int16_t>(wheel));
  Panel& p = P(wheel);
  while (p.filters.size() > 1) {
    QAction* a = p.filters.back();
    p.filters.pop_back();
    p.menu->removeAction(a);
    a->deleteLater();
  }
}

void FrmWheel::CheckFiltMenu(int wheel) {
  const int16_t n = SelectWheel(static_cast<int16_t>(wheel));
  Panel& p = P(wheel);
  const int checked = CheckedFilterEntry(n, CurFilter(wheel));
  const int upto = std::min<int>(n, static_cast<int>(p.filters.size()));
  for (int i = 0; i < upto; ++i) SetCheckedSilently(p.filters[static_cast<size_t>(i)], i == checked);
}

void FrmWheel::ReadCurFilter(int wheel) {
  // Selected again here: a nested command may have selected the other wheel
  // while this one waited.
  SelectWheel(static_cast<int16_t>(wheel));
  int16_t k = CurFilter(wheel);
  if (GetFilter(k) == 1) CurFilter(wheel) = k;
}

QMenu* FrmWheel::WheelMenu(int wheel) const { return P(wheel).menu; }

std::vector<QAction*> FrmWheel::FilterEntries(int wheel) const { return P(wheel).filters; }

// --- captions and lines ---------------------------------------------------

void FrmWheel::WheelCaption(int wheel) {
  if (wheel != 1 && wheel != 2) return;
  Panel& p = P(wheel);
  p.menu->setTitle("&" + Q(WheelMenuCaption(wheel, CurFilter(wheel))));
  p.button->setText(Q(WheelButtonCaption(CurFilter(wheel))));
  p.dial->SetState(WheelPar(wheel).filterCount, CurFilter(wheel));
}

void FrmWheel::FCaption() { WheelCaption(1); }
void FrmWheel::BCaption() { WheelCaption(2); }

void FrmWheel::FiltCaption() {
  const int16_t w = GetSelWheel();
  if (w == 1) FCaption();
  else if (w == 2) BCaption();
}

void FrmWheel::ShowWheelMenus() {
  P(1).menu->menuAction()->setVisible(AppSettings().WheelInstalled[1] == 1);
  P(2).menu->menuAction()->setVisible(AppSettings().WheelInstalled[2] == 1);
}

void FrmWheel::ShowMessage(const std::string& text) { lblMsg_->setText(Q(text)); }
std::string FrmWheel::MessageText() const { return lblMsg_->text().toStdString(); }

void FrmWheel::SetCommandText(const std::string& text) { cboCommand_->setEditText(Q(text)); }
std::string FrmWheel::CommandText() const { return cboCommand_->currentText().toStdString(); }

std::vector<std::string> FrmWheel::History() const {
  std::vector<std::string> h;
  h.reserve(static_cast<size_t>(cboCommand_->count()));
  for (int i = 0; i < cboCommand_->count(); ++i) h.push_back(cboCommand_->itemText(i).toStdString());
  return h;
}

std::string FrmWheel::TimeText() const { return lblTime_->text().toStdString(); }
void FrmWheel::SetTimeText(const std::string& text) { lblTime_->setText(Q(text)); }

void FrmWheel::RememberCmdInHist() {
  std::vector<std::string> h = History();
  const QString text = cboCommand_->currentText();
  const int cursor = cboCommand_->lineEdit()->cursorPosition();
  RememberInHistory(h, text.toStdString(), HistLimit());
  const bool old = cboCommand_->blockSignals(true);
  cboCommand_->clear();
  QStringList items;
  items.reserve(static_cast<qsizetype>(h.size()));
  for (const auto& s : h) items << Q(s);
  cboCommand_->addItems(items);
  cboCommand_->setCurrentIndex(-1);
  cboCommand_->setEditText(text);
  cboCommand_->lineEdit()->setCursorPosition(cursor);
  cboCommand_->blockSignals(old);
}

// --- the command box ------------------------------------------------------

void FrmWheel::ExecuteClick() {
  HandlerScope scope(this);
  ShowMessage("");
  lblTime_->setText("");
  GetUi().ProcessEvents();
  const uint32_t t0 = TimeMs();
  RememberCmdInHist();
  const std::string reply = ExecCmdLine(CommandText());
  if (unloaded_) return;
  ShowMessage(reply);
  lblTime_->setText(Q(TimeLineText(TimeMs() - t0)));
}

bool FrmWheel::eventFilter(QObject* watched, QEvent* event) {
  // The window system delivers keys and focus changes to the combo box, the
  // focus widget; it hands them on to its line edit by a direct call that no
  // filter of the line edit sees.
  if (event->type() == QEvent::KeyPress && cboCommand_ && watched == cboCommand_) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
        (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      // Enter runs Execute, and only that.
      ExecuteClick();
      return true;
    }
  }
  if (event->type() == QEvent::FocusIn && cboCommand_ && watched == cboCommand_) {
    // After the line edit has placed the caret (a click, a Tab that selects
    // all), put it after the last character with nothing selected.
    QPointer<QLineEdit> le = cboCommand_->lineEdit();
    QTimer::singleShot(0, this, [le] {
      if (!le) return;
      le->deselect();
      le->end(false);
    });
  }
  return QMainWindow::eventFilter(watched, event);
}

// --- the frame's menu entries ---------------------------------------------

void FrmWheel::EditConfigFile() {
  SetParFile("ZR_CONFIG.TXT");
  if (parListEditor) parListEditor();
}

void FrmWheel::EditWheelParFile(int wheel) {
  SetParFile(WheelParFileName(wheel));
  if (parListEditor) parListEditor();
}

void FrmWheel::JoyOnClick() {
  HandlerScope scope(this);
  int16_t& on = AppSettings().JoyOn;
  on = on == 1 ? 0 : (JoyCentred() == 1 ? 1 : 0);
}

void FrmWheel::ToggleAxesClick() {
  // The same as the command "Joy ToggleAxes".
  HandlerScope scope(this);
  JoyAxes() = static_cast<int16_t>(1 - JoyAxes());
}

void FrmWheel::JoyParClick() {
  HandlerScope scope(this);
  SetParFile("ZR_JOY.TXT");
  if (parListEditor) parListEditor();
  ReadJoyPar();
}

void FrmWheel::ConfigurationClick() {
  HandlerScope scope(this);
  EditConfigFile();
  GetUi().ProcessEvents();
  ReadConfig();
  CommClosePort();
  CommOpenPort(AppSettings().PortNumber);
  SetPortTimeout(AppSettings().PortTimeout);
  InitDevices();
  if (!unloaded_) ShowWheelMenus();
}

void FrmWheel::ErrorLogClick() {
  const std::string log = CommErrLogText();
  if (log.empty()) return;
  QString text = Q(log);
  QGuiApplication::clipboard()->setText(text);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  TextWindow::Open("Error Log - Norvantix", text, this);
}

void FrmWheel::CommandsClick() {
  const std::string path = ProgramDir() + "ZR_COMMANDS.TXT";
  QString text;
  if (!ReadTextForView(Q(path), text)) {
    GetUi().MessageBox("File " + path + " does not exist", "Norvantix", MsgIcon::Exclamation);
    return;
  }
  TextWindow::Open("ZR_COMMANDS.TXT - Norvantix", text, this);
}

void FrmWheel::QuitClick() { Unload(); }

// --- the wheel menus and buttons ------------------------------------------

void FrmWheel::WheelMenuOpened(int wheel) {
  HandlerScope scope(this);
  SelectWheel(static_cast<int16_t>(wheel));
  ReadCurFilter(wheel);
  CheckFiltMenu(wheel);
}

void FrmWheel::FilterEntryClick(int wheel, int index) {
  HandlerScope scope(this);
  if (WheelOnline(wheel) == 0) return;
  const auto filter = static_cast<int16_t>(index + 1);
  SelectWheel(static_cast<int16_t>(wheel));
  GoToFilter(filter);
  if (unloaded_) return;
  CurFilter(wheel) = filter;
  WheelCaption(wheel);
  ShowMessage(WheelFilterMsg(wheel, CurFilter(wheel)));
  CheckFiltMenu(wheel);
}

void FrmWheel::NextFilterClick(int wheel) {
  HandlerScope scope(this);
  SelectWheel(static_cast<int16_t>(wheel));
  DevNextFilter();
  if (unloaded_) return;
  WheelCaption(wheel);
  ShowMessage(WheelFilterMsg(wheel, CurFilter(wheel)));
}

void FrmWheel::PrevFilterClick(int wheel) {
  HandlerScope scope(this);
  SelectWheel(static_cast<int16_t>(wheel));
  DevPrevFilter();
  if (unloaded_) return;
  WheelCaption(wheel);
  ShowMessage(WheelFilterMsg(wheel, CurFilter(wheel)));
}

void FrmWheel::HomeClick(int wheel) {
  HandlerScope scope(this);
  ShowMessage("Homing Filter Wheel ...");
  lblMsg_->repaint();
  CmdBusy() = 1;
  SelectWheel(static_cast<int16_t>(wheel));
  const int16_t r = HomeWheel();
  if (r < 0) {
    GetUi().MessageBox("Home Failed", "Norvantix", MsgIcon::None);
  } else if (!unloaded_) {
    ReadCurFilter(wheel);
    WheelCaption(wheel);
    ShowMessage(WheelFilterMsg(wheel, CurFilter(wheel)));
    CheckFiltMenu(wheel);
  }
  CmdBusy() = 0;
}

void FrmWheel::ParametersClick(int wheel) {
  HandlerScope scope(this);
  UnloadFiltMenu(wheel);
  EditWheelParFile(wheel);
  GetUi().ProcessEvents();
  const auto w = static_cast<int16_t>(wheel);
  WheelOnline(wheel) = InitWheel(w) > 0 ? 1 : 0;
  if (unloaded_) return;
  if (WheelOnline(wheel) == 1) {
    LoadFiltMenu(wheel);
    CurFilter(wheel) = 0;
    ReadCurFilter(wheel);
    WheelCaption(wheel);
    ShowMessage(WheelOnlineMsg(wheel, true));
  } else {
    ShowMessage(WheelOnlineMsg(wheel, false));
  }
}

bool FrmWheel::ChooseWheelParFile(int wheel, std::string& dir, std::string& file) {
  dir.clear();
  file.clear();
  const std::string title = "Select a parameter file to load";
  if (parFileChooser) {
    parFileChooser(ProgramDir(), WheelParFilePattern(wheel), title, dir, file);
  } else {
    FrmFiles::Choose(this, ProgramDir(), WheelParFilePattern(wheel), "*.TXT *.*", title, dir,
                     file);
  }
  return !dir.empty() && !file.empty();
}

void FrmWheel::ReadParFileClick(int wheel) {
  HandlerScope scope(this);
  std::string dir, file, source;
  if (!ChooseWheelParFile(wheel, dir, file)) {
    ShowMessage(kParFileNotRead);
    return;
  }
  if (CopyWheelParFile(wheel, dir, file, ProgramDir(), source) < 1) {
    ShowMessage(kParFileNotRead);
    return;
  }
  ShowMessage(ParFileReadMsg(source));
  ParametersClick(wheel);
}

void FrmWheel::SpeedTestClick(int wheel) {
  HandlerScope scope(this);
  RunSpeedTest(static_cast<int16_t>(wheel));
}

void FrmWheel::WheelButtonClick(int index) {
  if (index < 0 || index > 1) return;
  const int wheel = index + 1;
  if (AppSettings().WheelInstalled[wheel] == 0) return;
  HandlerScope scope(this);
  ReadCurFilter(wheel);
  if (unloaded_) return;
  CheckFiltMenu(wheel);
  WheelButton* b = P(wheel).button;
  const QPoint pos = b->rect().contains(b->mapFromGlobal(QCursor::pos()))
                         ? QCursor::pos()
                         : b->mapToGlobal(b->rect().bottomLeft());
  popupFromButton_ = true;
  P(wheel).menu->popup(pos);
  popupFromButton_ = false;
}

// --- tick and closing -----------------------------------------------------

void FrmWheel::Tick() {
  if (unloaded_) return;
  HandlerScope scope(this);
  // Port events noticed while the program was idle in its event loop.
  CommDeliverEvents();
  using namespace tick_detail;
  PeriodicTick();
}

void FrmWheel::closeEvent(QCloseEvent* event) {
  Unload();
  event->accept();
}

void FrmWheel::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  if (tick_) tick_->stop();
  MainWindowUnloading();
  UnloadFFiltMenu();
  UnloadBFiltMenu();
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w != this && w->objectName() == QLatin1String("frmInterp")) w->close();
  }
  hide();
  MainWindowUnloaded();
  if (onUnloaded) onUnloaded();
  if (handlerDepth_ == 0) {
    deleteLater();
  } else {
    deletePending_ = true;
  }
}

}  // namespace nvx
