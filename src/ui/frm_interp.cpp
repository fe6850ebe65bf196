#include "ui/frm_interp.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <functional>
#include <utility>

#include "base/ui.h"
#include "ui/frm_files.h"
#include "ui/qt_ui.h"

namespace nvx {

namespace {

QPointer<FrmInterp> g_window;

constexpr int kMargin = 8;
constexpr int kRowsAreaHeight = 480;  // the design's space between row 0 and lblMess
constexpr int kTextWidth = 380;
constexpr int kButtonWidth = 84;

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A colour value (blue in the high byte) as a style sheet colour.
QString Css(int32_t v) { return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF).name(); }

void SetColour(QWidget* w, int32_t colour) {
  if (w->property("nvxColour").toInt() == colour) return;
  w->setProperty("nvxColour", colour);
  w->setStyleSheet(QStringLiteral("background-color: %1;").arg(Css(colour)));
}

int VbKeyCode(int qtKey) {
  switch (qtKey) {
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_Up: return 38;
    case Qt::Key_Down: return 40;
    default: return 0;
  }
}

}  // namespace

FrmInterp* FrmInterp::Instance() { return g_window.data(); }

FrmInterp* FrmInterp::ShowBeside(QWidget* mainWindow) {
  if (mainWindow) mainWindow->move(0, mainWindow->y());
  if (FrmInterp* w = Instance()) {
    w->show();
    w->raise();
    w->activateWindow();
    return w;
  }
  auto* w = new FrmInterp;
  w->SetShowPar(0, mainWindow ? mainWindow->frameGeometry().width() : 0);
  w->Show();
  return w;
}

FrmInterp::FrmInterp(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmInterp");
  setAttribute(Qt::WA_DeleteOnClose);
  g_window = this;

  auto* c = new QWidget(this);
  setCentralWidget(c);
  const int rowH = QLineEdit().sizeHint().height();
  const int nmbW = fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16;
  const int textX = kMargin + nmbW + 4;

  auto* head = new QLabel("Command", c);
  head->setObjectName("lblNameCmd");
  head->setGeometry(textX, kMargin, 120, rowH);
  optRun_ = new QRadioButton("Run", c);
  optRun_->setObjectName("optRun");
  optRun_->setAttribute(Qt::WA_TransparentForMouseEvents);
  optRun_->setFocusPolicy(Qt::NoFocus);
  optRun_->setGeometry(textX + kTextWidth - 170, kMargin, 70, rowH);
  lblTime_ = new QLabel("time", c);
  lblTime_->setObjectName("lblTime");
  lblTime_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblTime_->setGeometry(textX + kTextWidth - 90, kMargin, 90, rowH);

  const int row0 = kMargin + rowH + 4;
  lblMess_ = new QLabel(c);
  lblMess_->setObjectName("lblMess");
  lblMess_->setFrameShape(QFrame::StyledPanel);
  lblMess_->setFrameShadow(QFrame::Sunken);
  lblMess_->setTextFormat(Qt::PlainText);
  const int messTop = row0 + kRowsAreaHeight + 4;
  const int buttonsX = textX + kTextWidth + 10;
  lblMess_->setGeometry(kMargin, messTop, buttonsX + kButtonWidth - kMargin, rowH);

  const int rows = VisibleRowsFor(row0, rowH, messTop);
  for (int r = 0; r < rows; ++r) {
    auto* b = new QPushButton(c);
    b->setObjectName("cmdNmb");
    b->setProperty("index", r);
    b->setFocusPolicy(Qt::NoFocus);
    b->setGeometry(kMargin, row0 + r * rowH, nmbW, rowH);
    auto* t = new QLineEdit(c);
    t->setObjectName("txtCmd");
    t->setProperty("index", r);
    t->setGeometry(textX, row0 + r * rowH, kTextWidth, rowH);
    t->installEventFilter(this);
    connect(b, &QPushButton::clicked, this, [r] { ClickRow(static_cast<int16_t>(r)); });
    connect(t, &QLineEdit::textEdited, this,
            [r](const QString& s) { TypeRowText(static_cast<int16_t>(r), s.toStdString()); });
    nmb_.push_back(b);
    txt_.push_back(t);
  }

  auto button = [&](const char* text, const char* name, int slot, std::function<void()> action) {
    auto* b = new QPushButton(text, c);
    b->setObjectName(name);
    b->setGeometry(buttonsX, row0 + slot * (rowH + 6), kButtonWidth, rowH + 2);
    connect(b, &QPushButton::clicked, this, [action = std::move(action)] { action(); });
    return b;
  };
  editing_ = {button("Rea&d", "cmdRead", 0, [this] { ReadClick(); }),
              button("&Write", "cmdWrite", 1, [this] { WriteClick(); }),
              button("&Insert", "cmdInsert", 3, InsertLine),
              button("&Delete", "cmdDelete", 4, DeleteLine),
              button("&Run", "cmdRun", 6, StartRun),
              button("S&tep", "cmdStep", 7, StepOnce),
              button("&Over", "cmdOver", 9, StartOver)};
  button("&Stop", "cmdStop", 8, StopRun);

  BuildMenus();
  setFixedSize(buttonsX + kButtonWidth + kMargin,
               messTop + rowH + kMargin + menuBar()->sizeHint().height());

  dialogs.choose = [this](const std::string& startDir, const std::string& filter,
                          const std::string& patterns, const std::string& title, std::string& dir,
                          std::string& file) {
    FrmFiles::Choose(this, startDir, filter, patterns, title, dir, file);
  };
  dialogs.confirm = [this](const std::string& text, const std::string& title) {
    QString t = Q(text);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return QMessageBox::question(this, Q(title), t, QMessageBox::Ok | QMessageBox::Cancel) ==
           QMessageBox::Ok;
  };
  if (auto* ui = dynamic_cast<QtUi*>(&GetUi())) {
    ui->SetInterpMessageSink([this](const std::string& text) { lblMess_->setText(Q(text)); });
  }
  SetInterpViewHook([this](InterpChange what) { Render(what); });
  LoadInterpWindow(static_cast<int16_t>(rows));
  Render(InterpChange::Rows);
  Render(InterpChange::Time);
  Render(InterpChange::Caption);
}

FrmInterp::~FrmInterp() { Release(); }

void FrmInterp::closeEvent(QCloseEvent* event) {
  // Closed is unloaded: the next "Interpreter" makes a new window even before
  // this one is deleted.
  Release();
  QMainWindow::closeEvent(event);
}

void FrmInterp::Release() {
  if (g_window != this) return;
  g_window = nullptr;
  // No edit is stored from rows that are going.
  for (QLineEdit* t : txt_) t->removeEventFilter(this);
  SetInterpViewHook(nullptr);
  if (auto* ui = dynamic_cast<QtUi*>(&GetUi())) ui->SetInterpMessageSink(nullptr);
}

void FrmInterp::BuildMenus() {
  auto menu = [this](const char* title, const char* name) {
    QMenu* m = menuBar()->addMenu(title);
    m->setObjectName(name);
    m->menuAction()->setObjectName(name);
    return m;
  };
  auto entry = [this](QMenu* m, const char* text, const char* name, auto handler) {
    QAction* a = m->addAction(text);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  QMenu* file = menu("&File", "mnuFile");
  entry(file, "&Read Program", "mnuRead", [this] { ReadClick(); });
  entry(file, "&Write Program", "mnuWrite", [this] { WriteClick(); });
  entry(file, "&Print", "mnuPrint", [this] { PrintClick(); });
  QMenu* edit = menu("&Edit", "mnuEdit");
  entry(edit, "&Insert Command", "mnuInsert", [] { InsertLine(); });
  entry(edit, "&Delete Command", "mnuDelete", [] { DeleteLine(); });
  edit->addSeparator();
  entry(edit, "&Format Program", "mnuFormatProg", [] { FormatProgram(); });
  QMenu* view = menu("&View", "mnuView");
  entry(view, "Page &Up", "mnuPgUp", [] { ScrollRows(-VisibleRows()); });
  entry(view, "Page &Down", "mnuPgDn", [] { ScrollRows(VisibleRows()); });
  view->addSeparator();
  entry(view, "Line U&p", "mnuLnUp", [] { ScrollRows(-1); });
  entry(view, "Line D&own", "mnuLnDn", [] { ScrollRows(1); });
  QMenu* exe = menu("E&xecute", "mnuExe");
  QAction* run = entry(exe, "&Run", "mnuRun", [] { StartRun(); });
  entry(exe, "&Stop", "mnuStop", [] { StopRun(); });
  QAction* step = entry(exe, "Ste&p", "mnuStep", [] { StepOnce(); });
  QAction* over = entry(exe, "Start &Over", "mnuOver", [] { StartOver(); });
  editingActions_ = {file->menuAction(), edit->menuAction(), view->menuAction(), run, step, over};
}

void FrmInterp::SetShowPar(int ftop, int fleft) {
  ftop_ = ftop;
  fleft_ = fleft;
}

void FrmInterp::Show() {
  if (ftop_ >= 0 && fleft_ >= 0) move(fleft_, ftop_);
  show();
  raise();
  activateWindow();
}

std::string FrmInterp::MessageText() const { return lblMess_->text().toStdString(); }

void FrmInterp::Render(InterpChange what) {
  switch (what) {
    case InterpChange::Rows: RenderRows(); break;
    case InterpChange::Controls: RenderControls(); break;
    case InterpChange::Time: lblTime_->setText(Q(InterpWin().time)); break;
    case InterpChange::Caption: setWindowTitle(Q(InterpWin().caption)); break;
  }
}

void FrmInterp::RenderRows() {
  const auto& rows = InterpWin().rows;
  for (size_t r = 0; r < nmb_.size() && r < rows.size(); ++r) {
    const QString number = Q(rows[r].number);
    if (nmb_[r]->text() != number) nmb_[r]->setText(number);
    const QString text = Q(rows[r].text);
    if (txt_[r]->text() != text) txt_[r]->setText(text);
    SetColour(nmb_[r], rows[r].numberColour);
    SetColour(txt_[r], rows[r].textColour);
  }
}

void FrmInterp::RenderControls() {
  const bool on = InterpWin().controlsEnabled;
  for (QWidget* w : editing_) w->setEnabled(on);
  for (QAction* a : editingActions_) a->setEnabled(on);
  optRun_->setChecked(InterpWin().runOption);
}

int FrmInterp::RowOf(QObject* o) const {
  for (size_t r = 0; r < txt_.size(); ++r)
    if (txt_[r] == o) return static_cast<int>(r);
  return -1;
}

bool FrmInterp::eventFilter(QObject* watched, QEvent* event) {
  const int row = RowOf(watched);
  if (row >= 0) {
    if (event->type() == QEvent::MouseButtonPress) {
      ClickRow(static_cast<int16_t>(row));
    } else if (event->type() == QEvent::FocusOut) {
      StoreRowEdit(static_cast<int16_t>(row));
    } else if (event->type() == QEvent::KeyPress) {
      const int code = VbKeyCode(static_cast<QKeyEvent*>(event)->key());
      if (code != 0 && RowKey(code)) return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void FrmInterp::keyPressEvent(QKeyEvent* event) {
  const int code = VbKeyCode(event->key());
  if (code != 0 && RowKey(code)) return;
  QMainWindow::keyPressEvent(event);
}

void FrmInterp::ReadClick() { ReadProgram(dialogs); }

void FrmInterp::WriteClick() { WriteProgram(dialogs); }

void FrmInterp::PrintClick() {
  QPrinter printer;
  QPrintDialog dlg(&printer, this);
  if (dlg.exec() == QDialog::Accepted) PrintTo(printer);
}

bool FrmInterp::PrintTo(QPrinter& printer) {
  const QPixmap image = grab();
  QPainter p;
  if (!p.begin(&printer)) return false;
  const QRect page = p.viewport();
  const QSize size = image.size().scaled(page.size(), Qt::KeepAspectRatio);
  p.setViewport(page.x(), page.y(), size.width(), size.height());
  p.setWindow(image.rect());
  p.drawPixmap(0, 0, image);
  return p.end();
}

}  // namespace nvx
