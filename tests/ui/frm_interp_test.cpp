// The interpreter window, offscreen, driven as a person
// would: keys, clicks, typing, the buttons and menu entries.
#include "ui/frm_interp.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "core/commands.h"
#include "core/main_model.h"
#include "core/tick.h"
#include "ui_fixture.h"

namespace nvx {
namespace {

using Lines = std::vector<std::string>;

Lines Numbered(int n) {
  Lines l;
  for (int i = 0; i < n; ++i) l.push_back("Call " + std::to_string(i));
  return l;
}

class FrmInterpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* key : {"W1_INSTALLED", "W2_INSTALLED"}) f.app.SetConfig(key, "0");
    f.Start();
    f.ui.ShowMainWindow();
    f.w->move(200, 100);
    f.Find("mnuInterpEdit")->trigger();
    ASSERT_NE(w = FrmInterp::Instance(), nullptr);
  }
  template <typename T = QPushButton>
  T* Child(const char* name) {
    return w->findChild<T*>(name);
  }
  void Click(const char* button) { Child(button)->click(); }
  void Edit(int row, const QString& text) {
    w->RowText(row)->selectAll();
    QTest::keyClicks(w->RowText(row), text);
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(w->RowText(row), &out);
  }
  test::UiFixture f;
  FrmInterp* w = nullptr;
};

// Opened once beside the main window, scrolled by keys and entries; then
// lines edited, clicked, run, read, written and printed; it goes with the
// main window.
TEST_F(FrmInterpTest, OpensScrollsEditsRunsAndGoes) {
  EXPECT_EQ(w->pos(), QPoint(f.w->frameGeometry().width(), 0));
  EXPECT_EQ(f.w->x(), 0);
  f.Find("mnuInterpEdit")->trigger();
  EXPECT_EQ(FrmInterp::Instance(), w);
  const int rows = w->Rows();
  SetProgram(Numbered(rows * 5 / 2));
  // Keys while edits are allowed; the menu entries regardless.
  const struct {
    int key;
    const char* entry;
    bool allowed;
    int top;
  } steps[] = {{Qt::Key_PageDown, nullptr, true, rows},
               {Qt::Key_PageDown, nullptr, true, rows * 3 / 2},
               {Qt::Key_PageDown, nullptr, true, rows * 3 / 2},
               {Qt::Key_PageUp, nullptr, true, rows / 2},
               {Qt::Key_Down, nullptr, true, rows / 2 + 1},
               {Qt::Key_Up, nullptr, true, rows / 2},
               {Qt::Key_Down, nullptr, false, rows / 2},
               {0, "mnuLnDn", false, rows / 2 + 1},
               {0, "mnuPgUp", false, 0},
               {0, "mnuLnUp", true, 0},
               {0, "mnuPgDn", true, rows}};
  for (const auto& s : steps) {
    EditAllowed() = s.allowed ? 1 : 0;
    s.key ? QTest::keyClick(w->RowText(1), static_cast<Qt::Key>(s.key))
          : Child<QAction>(s.entry)->trigger();
    EXPECT_EQ(w->RowText(0)->text().toStdString(), "Call " + std::to_string(s.top)) << s.key;
  }
  EXPECT_EQ(IsFormLoaded("frmInterp") * 10 + IsFormLoaded("frminterp"), 10);  // names exact
  // Opened again, the window shows the program: no empty row over a line.
  w->close();  // not deleted yet: the entry still makes a new window
  EXPECT_EQ(IsFormLoaded("frmInterp"), 0);
  f.Find("mnuInterpEdit")->trigger();
  ASSERT_NE(FrmInterp::Instance(), w);
  w = FrmInterp::Instance();
  EXPECT_EQ(w->RowText(0)->text().toStdString(), "Call " + std::to_string(rows));
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(w->RowText(0), &out);
  EXPECT_EQ(ProgramLines(), Numbered(rows * 5 / 2));

  SetProgram({"End"});
  Edit(0, "F 1");
  EXPECT_EQ(ProgramLines(), Lines{"End"});  // the last line is not edited
  Click("cmdInsert");
  Edit(0, "F 1");
  EXPECT_EQ(ProgramLines(), (Lines{"F 1", "End"}));
  SetProgram(Numbered(10));
  QTest::mouseClick(w->NumberButton(3), Qt::LeftButton);
  Child<QAction>("mnuDelete")->trigger();
  EXPECT_EQ(ProgramLines().size(), 9u);
  EXPECT_EQ(w->RowText(3)->text(), "Call 4");

  SetProgram(Numbered(3 * w->Rows()));
  ScrollRows(10);
  QTest::mouseClick(w->NumberButton(2), Qt::LeftButton);
  EXPECT_EQ(MainWin().CmdText() + " " + std::to_string(NextLine()), "Call 12 13");
  EXPECT_NE(w->NumberButton(2)->styleSheet().indexOf("#808080"), -1);
  QTest::mouseClick(w->RowText(4), Qt::LeftButton);
  EXPECT_EQ(MainWin().CmdText(), "Call 14");
  EXPECT_NE(w->NumberButton(2)->styleSheet().indexOf("#c0c0c0"), -1);

  Click("cmdRun");
  EXPECT_TRUE(Child<QRadioButton>("optRun")->isChecked());
  for (const char* off :
       {"cmdRead", "cmdWrite", "cmdInsert", "cmdDelete", "cmdRun", "cmdStep", "cmdOver"})
    EXPECT_FALSE(Child(off)->isEnabled()) << off;
  EXPECT_FALSE(Child<QAction>("mnuEdit")->isEnabled());
  Edit(4, "B 2");
  EXPECT_EQ(ProgramLines()[14], "Call 14");
  Click("cmdStop");
  EXPECT_EQ(w->MessageText(), "PROGRAM INTERRUPTED");
  EXPECT_TRUE(Child("cmdRead")->isEnabled());

  test::TempDir dir;
  w->dialogs.choose = [&](auto&, auto&, auto&, auto&, std::string& d, std::string& n) {
    d = dir.path();
    n = "R.PRG";
  };
  SetProgram({"Repeat 2 Times", "Ver", "Endrepeat", "End"});
  Click("cmdWrite");
  EXPECT_EQ(w->windowTitle().toStdString(), "Program " + dir.file("R.PRG"));
  SetProgram({"End"});
  Child<QAction>("mnuRead")->trigger();
  EXPECT_EQ(w->MessageText(), "Program read");
  EXPECT_EQ(w->RowText(1)->text(), "    Ver");

  Click("cmdOver");
  Click("cmdRun");
  Lines shown;
  for (int i = 0; i < 20 && RunState() != 0; ++i) {
    PeriodicTick();
    shown.push_back(w->RowText(0)->text().toStdString());
  }
  const std::string p1 = "Repeat 2 Times : Rep.# 1", p2 = "Repeat 2 Times : Rep.# 2";
  EXPECT_EQ(shown, (Lines{p1, p1, p1, p2, p2, "Repeat 2 Times"}));
  EXPECT_EQ(w->MessageText(), "PROGRAM FINISHED");
  EXPECT_FALSE(Child<QRadioButton>("optRun")->isChecked());
  EXPECT_NE(Child<QLabel>("lblTime")->text(), "time");

  QPrinter printer;
  printer.setOutputFileName(QString::fromStdString(dir.file("p.pdf")));  // PDF
  EXPECT_TRUE(w->PrintTo(printer));
  EXPECT_GT(QFileInfo(QString::fromStdString(dir.file("p.pdf"))).size(), 1000);

  // It goes with the main window.
  QPointer<FrmInterp> guard = w;
  f.ui.UnloadMainWindow();
  EXPECT_FALSE(IsFormLoaded("frmInterp"));
  test::FlushDeletes();
  EXPECT_TRUE(guard.isNull());
  EXPECT_EQ(FrmInterp::Instance(), nullptr);
}

}  // namespace
}  // namespace nvx
