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

#include "base/settings.h"
#include "base/ui.h"
#include "comm/comm.h"
#include "core/main_model.h"
#include "core/tick.h"
#include "core/wheel_view.h"
#include "ui/frm_edit.h"
#include "ui/frm_files.h"
#include "ui/frm_interp.h"
#include "ui/text_window.h"
#include "ui/widgets.h"

namespace nvx {

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
  connect(lblMsg_, &ClickLabel::pressed, this, [] { MainWin().MsgClicked(); });
  // What a person types or picks from the history is the model's box text.
  connect(cboCommand_, &QComboBox::editTextChanged, this,
          [](const QString& t) { MainWin().TypeCmdText(t.toStdString()); });

  resize(480, 400);

  tick_ = new QTimer(this);
  tick_->setInterval(kTickIntervalMs);
  connect(tick_, &QTimer::timeout, this, &FrmWheel::Tick);
  tick_->start();
}

FrmWheel::~FrmWheel() {
  // A window freed without unloading still follows the closing rules.
  destroying_ = true;
  if (!unloaded_ && MainWin().View() == this) MainWin().Unload();
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
  QAction* calib = named(joy->addAction("&Calibrate"), "mnuJoyCalib");
  calib->setCheckable(true);
  connect(calib, &QAction::triggered, this, [this, calib](bool checked) {
    // The check mark follows the model only; undo the automatic toggle.
    SetCheckedSilently(calib, !checked);
    JoyCalibClick();
  });
  connect(named(joy->addAction("&Assigned Commands"), "mnuJoyAssgnCmd"), &QAction::triggered, this,
          [this] { JoyAssgnCmdClick(); });
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
  connect(named(interp->addAction("&Interpreter"), "mnuInterpEdit"), &QAction::triggered, this,
          [this] { FrmInterp::ShowBeside(this); });
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

// --- the view ------------------------------------------------------------

void FrmWheel::FilterEntriesChanged(int wheel) {
  Panel& p = P(wheel);
  const size_t want = MainWin().Panel(wheel).checks.size();
  while (p.filters.size() > std::max<size_t>(want, 1)) {
    QAction* a = p.filters.back();
    p.filters.pop_back();
    p.menu->removeAction(a);
    a->deleteLater();
  }
  const std::vector<std::string> captions = FilterEntryCaptions(static_cast<int16_t>(want));
  for (size_t i = p.filters.size(); i < want && i < captions.size(); ++i)
    AddFilterEntry(wheel, static_cast<int>(i), captions[i]);
  ChecksChanged(wheel);
}

void FrmWheel::ChecksChanged(int wheel) {
  Panel& p = P(wheel);
  const std::vector<bool>& checks = MainWin().Panel(wheel).checks;
  for (size_t i = 0; i < p.filters.size() && i < checks.size(); ++i)
    SetCheckedSilently(p.filters[i], checks[i]);
}

void FrmWheel::CaptionChanged(int wheel) {
  Panel& p = P(wheel);
  const int16_t f = MainWin().Panel(wheel).caption;
  p.menu->setTitle("&" + Q(WheelMenuCaption(wheel, f)));
  p.button->setText(Q(WheelButtonCaption(f)));
}

void FrmWheel::DrawingChanged(int wheel) {
  const WheelPanelState& s = MainWin().Panel(wheel);
  P(wheel).dial->SetState(s.drawnCount, s.drawnFilter);
}

void FrmWheel::WheelMenusChanged() {
  for (int w = 1; w <= 2; ++w) P(w).menu->menuAction()->setVisible(MainWin().Panel(w).menuShown);
}

QMenu* FrmWheel::WheelMenu(int wheel) const { return P(wheel).menu; }

std::vector<QAction*> FrmWheel::FilterEntries(int wheel) const { return P(wheel).filters; }

void FrmWheel::MsgChanged() { lblMsg_->setText(Q(MainWin().Msg())); }
std::string FrmWheel::MessageText() const { return lblMsg_->text().toStdString(); }

void FrmWheel::CmdTextChanged() {
  const QString t = Q(MainWin().CmdText());
  if (cboCommand_->currentText() != t) cboCommand_->setEditText(t);
}
std::string FrmWheel::CommandText() const { return cboCommand_->currentText().toStdString(); }

std::vector<std::string> FrmWheel::History() const {
  std::vector<std::string> h;
  h.reserve(static_cast<size_t>(cboCommand_->count()));
  for (int i = 0; i < cboCommand_->count(); ++i)
    h.push_back(cboCommand_->itemText(i).toStdString());
  return h;
}

void FrmWheel::HistoryChanged() {
  const QString text = cboCommand_->currentText();
  const int cursor = cboCommand_->lineEdit()->cursorPosition();
  const bool old = cboCommand_->blockSignals(true);
  cboCommand_->clear();
  QStringList items;
  const std::vector<std::string>& h = MainWin().History();
  items.reserve(static_cast<qsizetype>(h.size()));
  for (const auto& e : h) items << Q(e);
  cboCommand_->addItems(items);
  cboCommand_->setCurrentIndex(-1);
  cboCommand_->setEditText(text);
  cboCommand_->lineEdit()->setCursorPosition(cursor);
  cboCommand_->blockSignals(old);
}

std::string FrmWheel::TimeText() const { return lblTime_->text().toStdString(); }
void FrmWheel::TimeChanged() { lblTime_->setText(Q(MainWin().TimeText())); }

void FrmWheel::VisibilityChanged() {
  if (MainWin().IsVisible()) {
    show();
    raise();
    activateWindow();
  } else {
    hide();
  }
}

void FrmWheel::BusyChanged() {
  if (MainWin().IsBusy()) {
    setCursor(Qt::WaitCursor);
    // Shown before the wait begins, which runs no paint events of its own
    // until it lets events run.
    lblMsg_->repaint();
  } else {
    unsetCursor();
  }
}

void FrmWheel::CalibCheckChanged() {
  if (auto* a = findChild<QAction*>(QStringLiteral("mnuJoyCalib")))
    SetCheckedSilently(a, MainWin().CalibChecked());
}

std::optional<std::string> FrmWheel::EditText(const std::string& text) {
  FrmEdit dlg(this);
  dlg.SetText(text);
  dlg.Show();
  if (dlg.GetAccept() != 1) return std::nullopt;
  return dlg.GetTextRes();
}

void FrmWheel::EditCurrentParFile() {
  if (parListEditor) parListEditor();
}

void FrmWheel::ChooseFile(const std::string& startDir, const std::string& pattern,
                          const std::string& title, std::string& dir, std::string& file) {
  dir.clear();
  file.clear();
  if (parFileChooser) {
    parFileChooser(startDir, pattern, title, dir, file);
  } else {
    FrmFiles::Choose(this, startDir, pattern, "*.TXT *.*", title, dir, file);
  }
}

// --- the command box ------------------------------------------------------

void FrmWheel::ExecuteClick() {
  HandlerScope scope(this);
  MainWin().ExecuteClick();
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

void FrmWheel::JoyOnClick() {
  HandlerScope scope(this);
  MainWin().JoyOnClick();
}

void FrmWheel::JoyCalibClick() {
  HandlerScope scope(this);
  MainWin().JoyCalibClick();
}

void FrmWheel::JoyAssgnCmdClick() {
  HandlerScope scope(this);
  MainWin().JoyAssgnCmdClick();
}

void FrmWheel::ToggleAxesClick() {
  HandlerScope scope(this);
  MainWin().ToggleAxesClick();
}

void FrmWheel::JoyParClick() {
  HandlerScope scope(this);
  MainWin().JoyParClick();
}

void FrmWheel::ConfigurationClick() {
  HandlerScope scope(this);
  MainWin().ConfigurationClick();
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
  MainWin().WheelMenuOpened(wheel);
}

void FrmWheel::FilterEntryClick(int wheel, int index) {
  HandlerScope scope(this);
  MainWin().FilterEntryClick(wheel, index);
}

void FrmWheel::NextFilterClick(int wheel) {
  HandlerScope scope(this);
  MainWin().NextFilterClick(wheel);
}

void FrmWheel::PrevFilterClick(int wheel) {
  HandlerScope scope(this);
  MainWin().PrevFilterClick(wheel);
}

void FrmWheel::HomeClick(int wheel) {
  HandlerScope scope(this);
  MainWin().HomeClick(wheel);
}

void FrmWheel::ParametersClick(int wheel) {
  HandlerScope scope(this);
  MainWin().ParametersClick(wheel);
}

void FrmWheel::ReadParFileClick(int wheel) {
  HandlerScope scope(this);
  MainWin().ReadParFileClick(wheel);
}

void FrmWheel::SpeedTestClick(int wheel) {
  HandlerScope scope(this);
  MainWin().SpeedTestClick(wheel);
}

void FrmWheel::WheelButtonClick(int index) {
  HandlerScope scope(this);
  if (!MainWin().WheelButtonClick(index) || unloaded_) return;
  const int wheel = index + 1;
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
  PeriodicTick();
}

void FrmWheel::closeEvent(QCloseEvent* event) {
  Unload();
  event->accept();
}

void FrmWheel::Unload() {
  if (unloaded_) return;
  HandlerScope scope(this);
  if (MainWin().View() == this) MainWin().Unload();
  else Unloaded();
}

void FrmWheel::Unloaded() {
  if (unloaded_) return;
  unloaded_ = true;
  if (tick_) tick_->stop();
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w != this && w->objectName() == QLatin1String("frmInterp")) w->close();
  }
  hide();
  if (destroying_) return;
  if (handlerDepth_ == 0) {
    deleteLater();
  } else {
    deletePending_ = true;
  }
}

}  // namespace nvx
