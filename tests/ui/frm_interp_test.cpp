// The interpreter window and the edit dialog, offscreen, driven as a person
// would: keys, clicks, typing, the buttons and menu entries.
#include "ui/frm_interp.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "core/commands.h"
#include "core/main_model.h"
#include "core/tick.h"
#include "ui/frm_edit.h"
#include "ui_fixture.h"

namespace nvx {
namespace {

using Lines = std::vector<std::string>;

class FrmInterpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    f.app.SetConfig("W1_INSTALLED", "0");
    f.app.SetConfig("W2_INSTALLED", "0");
    f.Start();
    f.ui.ShowMainWindow();
    f.w->move(200, 100);
    f.Find("mnuInterpEdit")->trigger();
    w = FrmInterp::Instance();
    ASSERT_NE(w, nullptr);
  }
  template <typename T = QPushButton>
  T* Child(const char* name) { return w->findChild<T*>(name); }
  void Click(const char* button) { Child(button)->click(); }
  void Edit(int row, const QString& text) {
    w->RowText(row)->selectAll();
    QTest::keyClicks(w->RowText(row), text);
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(w->RowText(row), &out);
  }
  int Top() const { return w->NumberButton(0)->text().toInt(); }
  Lines Numbered(int n) {
    Lines l;
    for (int i = 0; i < n; ++i) l.push_back("Call " + std::to_string(i));
    return l;
  }
  test::UiFixture f;
  FrmInterp* w = nullptr;
};

TEST_F(FrmInterpTest, OpensOnceBesideTheMainWindowAndScrolls) {
  EXPECT_EQ(f.w->x(), 0);
  EXPECT_EQ(w->pos(), QPoint(f.w->frameGeometry().width(), 0));
  EXPECT_EQ(w->windowTitle(), "Program Interpreter");
  f.Find("mnuInterpEdit")->trigger();
  EXPECT_EQ(FrmInterp::Instance(), w);
  EXPECT_EQ(IsFormLoaded("frmInterp"), 1);
  const int rows = w->Rows();
  ASSERT_EQ(rows, VisibleRows());
  SetProgram(Numbered(rows * 5 / 2));
  // Keys while edits are allowed; the menu entries regardless.
  struct Step { int key; const char* entry; bool allowed; int top; };
  const Step steps[] = {
      {Qt::Key_PageDown, nullptr, true, rows},      {Qt::Key_PageDown, nullptr, true, rows * 3 / 2},
      {Qt::Key_PageDown, nullptr, true, rows * 3 / 2}, {Qt::Key_PageUp, nullptr, true, rows / 2},
      {Qt::Key_Down, nullptr, true, rows / 2 + 1},  {Qt::Key_Up, nullptr, true, rows / 2},
      {Qt::Key_Down, nullptr, false, rows / 2},     {0, "mnuLnDn", false, rows / 2 + 1},
      {0, "mnuPgUp", false, 0},                     {0, "mnuLnUp", true, 0},
      {0, "mnuPgDn", true, rows},
  };
  for (const auto& s : steps) {
    EditAllowed() = s.allowed ? 1 : 0;
    if (s.key) QTest::keyClick(w->RowText(1), static_cast<Qt::Key>(s.key));
    else Child<QAction>(s.entry)->trigger();
    EXPECT_EQ(Top(), s.top) << s.key << (s.entry ? s.entry : "");
    EXPECT_EQ(w->RowText(0)->text().toStdString(), "Call " + std::to_string(s.top));
  }
  SetProgram(Numbered(5));
  QTest::keyClick(w->RowText(0), Qt::Key_Down);
  EXPECT_EQ(Top(), 0);
  EXPECT_TRUE(w->NumberButton(5)->text().isEmpty());

  // Opened again, the window shows the program: no empty row over a line.
  w->close();
  test::FlushDeletes();
  EXPECT_EQ(IsFormLoaded("frmInterp"), 0);
  f.Find("mnuInterpEdit")->trigger();
  w = FrmInterp::Instance();
  EXPECT_EQ(w->RowText(2)->text(), "Call 2");
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(w->RowText(2), &out);
  EXPECT_EQ(ProgramLines(), Numbered(5));
  f.ui.UnloadMainWindow();
  test::FlushDeletes();
  EXPECT_EQ(FrmInterp::Instance(), nullptr);
}

TEST_F(FrmInterpTest, EditInsertDeleteAndClicks) {
  SetProgram({"End"});
  Edit(0, "F 1");
  EXPECT_EQ(ProgramLines(), Lines{"End"});  // the last line is not edited
  Click("cmdInsert");
  EXPECT_EQ(ProgramLines(), (Lines{"", "End"}));
  Edit(0, "F 1");
  EXPECT_EQ(ProgramLines(), (Lines{"F 1", "End"}));
  EXPECT_EQ(MainWin().CmdText(), "F 1");
  EXPECT_EQ(NextLine(), 1);

  SetProgram(Numbered(10));
  QTest::mouseClick(w->NumberButton(3), Qt::LeftButton);
  Child<QAction>("mnuDelete")->trigger();
  EXPECT_EQ(ProgramLines().size(), 9u);
  EXPECT_EQ(ProgramLines()[3], "Call 4");
  EXPECT_EQ(w->RowText(3)->text(), "Call 4");

  SetProgram(Numbered(3 * w->Rows()));
  ScrollRows(10);
  QTest::mouseClick(w->NumberButton(2), Qt::LeftButton);
  EXPECT_EQ(MainWin().CmdText(), "Call 12");
  EXPECT_EQ(NextLine(), 13);
  EXPECT_NE(w->NumberButton(2)->styleSheet().indexOf("#808080"), -1);
  EXPECT_NE(w->RowText(2)->styleSheet().indexOf("#e0e0e0"), -1);
  QTest::mouseClick(w->RowText(4), Qt::LeftButton);
  EXPECT_EQ(MainWin().CmdText(), "Call 14");
  EXPECT_NE(w->NumberButton(2)->styleSheet().indexOf("#c0c0c0"), -1);

  // A continuous run: the editing controls are off and typing is not stored.
  Click("cmdRun");
  EXPECT_TRUE(Child<QRadioButton>("optRun")->isChecked());
  for (const char* off : {"cmdRead", "cmdWrite", "cmdInsert", "cmdDelete", "cmdRun", "cmdStep", "cmdOver"})
    EXPECT_FALSE(Child(off)->isEnabled()) << off;
  EXPECT_FALSE(Child<QAction>("mnuEdit")->isEnabled());
  EXPECT_TRUE(Child("cmdStop")->isEnabled());
  Edit(4, "B 2");
  EXPECT_EQ(ProgramLines()[14], "Call 14");
  Click("cmdStop");
  EXPECT_EQ(w->MessageText(), "PROGRAM INTERRUPTED");
  EXPECT_TRUE(Child("cmdRead")->isEnabled());
}

TEST_F(FrmInterpTest, ReadWriteRunAndPrint) {
  test::TempDir dir;
  std::string file = "R.PRG";
  w->dialogs.choose = [&](const std::string&, const std::string&, const std::string&,
                          const std::string&, std::string& d, std::string& n) {
    d = dir.path();
    n = file;
  };
  SetProgram({"Repeat 2 Times", "Ver", "Endrepeat", "End"});
  Click("cmdWrite");
  EXPECT_EQ(w->MessageText(), "Program written");
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
  EXPECT_EQ(shown, (Lines{"Repeat 2 Times : Rep.# 1", "Repeat 2 Times : Rep.# 1", "Repeat 2 Times : Rep.# 1",
                          "Repeat 2 Times : Rep.# 2", "Repeat 2 Times : Rep.# 2", "Repeat 2 Times"}));
  EXPECT_EQ(w->MessageText(), "PROGRAM FINISHED");
  EXPECT_FALSE(Child<QRadioButton>("optRun")->isChecked());
  EXPECT_NE(Child<QLabel>("lblTime")->text(), "time");

  QPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(dir.file("p.pdf")));
  EXPECT_TRUE(w->PrintTo(printer));
  EXPECT_GT(QFileInfo(QString::fromStdString(dir.file("p.pdf"))).size(), 1000);
}

TEST(FrmEditTest, DoneCancelAndTheCloseBox) {
  struct Case { const char* button; int16_t accept; const char* result; };
  const Case cases[] = {{"cmdDone", 1, "a\r\nb c\r\nd"}, {"cmdCancel", 0, ""}, {nullptr, 0, ""}};
  for (const auto& c : cases) {
    FrmEdit dlg;
    dlg.SetText("a\r\nb c");
    QTimer::singleShot(0, &dlg, [&] {
      auto* t = dlg.findChild<QPlainTextEdit*>("txtText");
      t->moveCursor(QTextCursor::End);
      QTest::keyClick(t, Qt::Key_Return);
      QTest::keyClicks(t, "d");
      if (c.button) QTest::mouseClick(dlg.findChild<QPushButton*>(c.button), Qt::LeftButton);
      else dlg.close();
    });
    dlg.Show();
    EXPECT_EQ(dlg.GetAccept(), c.accept);
    EXPECT_EQ(dlg.GetTextRes(), c.result);
    EXPECT_EQ(dlg.windowTitle(), "Edit");
  }
}

}  // namespace
}  // namespace nvx
