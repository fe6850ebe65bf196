// The main window on a desktop (an X server with a window manager): keys and
// clicks as the window system delivers them, text windows on a small screen,
// a long reply in the message line.
#define QTEST_QPA_MOUSE_HANDLING  // clicks go through the window, as a person's do
#include <gtest/gtest.h>

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
#include "wheels/wheels.h"

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

// Enter and keypad Enter from the box run its line once.
class EnterTest : public DesktopTest, public ::testing::WithParamInterface<Qt::Key> {};

TEST_P(EnterTest, RunsTheLineOnce) {
  ASSERT_EQ(QApplication::focusWidget(), box);  // where the window opens
  test::Keys("F   1");
  test::Key(GetParam(), GetParam() == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
  EXPECT_EQ(f.w->History(), (std::vector<std::string>{"F   1"}));
  EXPECT_EQ(f.w->CommandText(), "F 1");  // the wheel command's echo
  EXPECT_EQ(f.w->MessageText(), "OK  ; ");
  EXPECT_EQ(CurFilter(1), 1);
}

INSTANTIATE_TEST_SUITE_P(Keys, EnterTest, ::testing::Values(Qt::Key_Return, Qt::Key_Enter));

// A click into the box (near its start) or a Tab into it: typing adds to the
// end of the line.
class CaretTest : public DesktopTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CaretTest, TypingAddsToTheEnd) {
  box->setEditText("F Home");
  f.Find<QPushButton>("cmdExecute")->setFocus();
  if (GetParam()) {
    QTest::mouseClick(box->lineEdit(), Qt::LeftButton, {}, QPoint(4, box->lineEdit()->height() / 2));
  } else {
    test::Key(Qt::Key_Backtab);
  }
  ASSERT_EQ(QApplication::focusWidget(), box);
  QApplication::processEvents();
  test::Keys("3");
  EXPECT_EQ(f.w->CommandText(), "F Home3");
}

INSTANTIATE_TEST_SUITE_P(ClickOrTab, CaretTest, ::testing::Bool());

// Text windows open inside the screen's free area, moved left when there is
// no room beside the window they belong to; the command description is wide
// enough for its lines or wraps them.
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
  const std::function<void()> opens[] = {[&] { f.w->ErrorLogClick(); },
                                         [&] { f.w->CommandsClick(); },
                                         [&] { files.FileListToTextClick(); }};
  for (const auto& open : opens) {
    const auto before = QApplication::topLevelWidgets();
    open();
    TextWindow* tw = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets())
      if (auto* x = qobject_cast<TextWindow*>(t); x && !before.contains(t)) tw = x;
    ASSERT_NE(tw, nullptr);
    // Once the window manager has framed it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return tw->windowHandle()->frameMargins().top() > 0; }));
    EXPECT_TRUE(avail.contains(tw->windowHandle()->frameGeometry()))
        << tw->windowTitle().toStdString();
    auto* edit = tw->findChild<QPlainTextEdit*>();
    EXPECT_TRUE(edit->lineWrapMode() != QPlainTextEdit::NoWrap ||
                edit->horizontalScrollBar()->maximum() == 0)
        << tw->windowTitle().toStdString();
    tw->close();
  }
  files.CancelClick();
}

// 150 joined replies keep the message line and the wheel panels at their
// heights; the line shows the start, its tooltip the whole reply.
TEST_F(DesktopTest, LongReplyKeepsTheHeights) {
  auto* msg = f.Find<QLabel>("lblMsg");
  const auto panels = f.w->findChildren<QGroupBox*>("fraWheel");
  auto heights = [&] {
    std::vector<int> h{msg->height()};
    for (QGroupBox* p : panels) h.push_back(p->height());
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
