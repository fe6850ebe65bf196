// The main window on a desktop (an X server with a window manager): keys and
// clicks as the window system delivers them, text windows on a small screen,
// a long reply in the message line.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QToolTip>
#include <QWindow>

#include "comm/comm.h"
#include "ui/frm_files.h"
#include "ui/text_window.h"
#include "ui_fixture.h"

namespace nvx {
namespace {

constexpr sim::ControllerKind kIm = sim::ControllerKind::kIM483I;

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(f.Start(), 1);
    f.ui.ShowMainWindow();
    ASSERT_TRUE(test::ShowActive(f.w));
    box = f.Find<QComboBox>("cboCommand");
  }
  test::UiFixture f{&kIm};
  QComboBox* box = nullptr;
};

// Into the box as the window opens, by a click near its start or by a Tab;
// a key typed goes to the end of the line, and Return or keypad Enter runs
// the line once.
enum class Into { kOpened, kClick, kTab };
class EnterTest : public DesktopTest,
                  public ::testing::WithParamInterface<std::tuple<Into, Qt::Key>> {};

TEST_P(EnterTest, TypedLineRunsOnce) {
  const auto [into, key] = GetParam();
  box->setEditText("F   ");
  if (into != Into::kOpened) f.Find<QPushButton>("cmdExecute")->setFocus();
  if (into == Into::kClick) test::Click(box->lineEdit(), QPoint(4, box->lineEdit()->height() / 2));
  if (into == Into::kTab) test::Key(Qt::Key_Backtab);
  ASSERT_EQ(QApplication::focusWidget(), box);
  QApplication::processEvents();
  test::Keys("1");
  test::Key(key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
  EXPECT_EQ(f.w->History(), (std::vector<std::string>{"F   1"}));
  EXPECT_EQ(f.w->CommandText(), "F 1");  // the wheel command's echo
  EXPECT_EQ(f.w->MessageText(), "OK  ; ");
}

INSTANTIATE_TEST_SUITE_P(Ways, EnterTest,
                         ::testing::Values(std::tuple(Into::kOpened, Qt::Key_Return),
                                           std::tuple(Into::kOpened, Qt::Key_Enter),
                                           std::tuple(Into::kClick, Qt::Key_Return),
                                           std::tuple(Into::kTab, Qt::Key_Enter)));

// Text windows open inside the screen's free area, moved left when there is
// no room beside the window they belong to, read-only; the command
// description is wide enough for its lines or wraps them. The error log and
// the file listing go on the clipboard, too; an empty log opens nothing, and
// a missing command description is said in a box.
TEST_F(DesktopTest, TextWindowsFitTheScreen) {
  const QRect avail = f.w->screen()->availableGeometry();
  FrmFiles files;
  files.SetStartDir(f.app.dir.path());
  files.SetPatterns("*.TXT *.*");
  files.Load();
  for (QWidget* w : {static_cast<QWidget*>(f.w), static_cast<QWidget*>(&files)}) {
    w->move(avail.right() - w->frameGeometry().width() - 20, avail.top() + 40);
    ASSERT_TRUE(test::ShowActive(w));
  }
  CommLog("Port TimeOut");
  const struct {
    std::function<void()> open;
    std::string text;  // as read or put on the clipboard
    bool clipboard;
  } opens[] = {{[&] { f.w->ErrorLogClick(); }, CommErrLogText(), true},
               {[&] { f.w->CommandsClick(); }, f.app.dir.read("ZR_COMMANDS.TXT"), false},
               {[&] { files.FileListToTextClick(); }, files.ListingText(), true}};
  for (const auto& o : opens) {
    const auto before = QApplication::topLevelWidgets();
    o.open();
    TextWindow* tw = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* x = qobject_cast<TextWindow*>(t); x && !before.contains(t)) tw = x;
    ASSERT_NE(tw, nullptr);
    SCOPED_TRACE(tw->windowTitle().toStdString());
    const QString text = QString::fromStdString(o.text);
    if (o.clipboard) { EXPECT_EQ(QGuiApplication::clipboard()->text(), text); }
    EXPECT_EQ(tw->Text(), QString(text).replace("\r\n", "\n"));
    // Once the window manager has framed it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return tw->windowHandle()->frameMargins().top() > 0; }));
    EXPECT_TRUE(avail.contains(tw->windowHandle()->frameGeometry()));
    auto* edit = tw->findChild<QPlainTextEdit*>();
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_TRUE(edit->lineWrapMode() != QPlainTextEdit::NoWrap ||
                edit->horizontalScrollBar()->maximum() == 0);
    tw->close();
  }
  files.CancelClick();

  CommInit();  // empties the log
  QGuiApplication::clipboard()->setText("keep me");
  f.w->ErrorLogClick();
  EXPECT_EQ(test::Shown(), nullptr);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "keep me");
  std::remove(f.app.dir.file("ZR_COMMANDS.TXT").c_str());
  f.w->CommandsClick();
  ASSERT_EQ(f.ui.boxes.size(), 1u);
  EXPECT_EQ(f.ui.boxes[0].text, "File " + f.app.dir.file("ZR_COMMANDS.TXT") + " does not exist");
}

// 150 joined replies keep the message line and the wheel panels at their
// heights; the line shows the start, its tooltip the whole reply.
TEST_F(DesktopTest, LongReplyKeepsTheHeights) {
  auto* msg = f.Find<QLabel>("lblMsg");
  auto heights = [&] {
    std::vector<int> h{msg->height()};
    for (QGroupBox* p : f.w->findChildren<QGroupBox*>("fraWheel")) h.push_back(p->height());
    return h;
  };
  const std::vector<int> before = heights();
  QString line, reply;
  for (int i = 0; i < 150; ++i) line += "Ver;", reply += "4.0 ; ";
  test::Keys(line);
  test::Key(Qt::Key_Return);
  QApplication::processEvents();
  ASSERT_EQ(f.w->MessageText(), reply.toStdString());
  EXPECT_EQ(heights(), before);
  QHelpEvent tip(QEvent::ToolTip, msg->rect().center(), msg->mapToGlobal(msg->rect().center()));
  QApplication::sendEvent(msg, &tip);
  EXPECT_EQ(QToolTip::text(), reply);
}

}  // namespace
}  // namespace nvx
