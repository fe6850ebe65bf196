// The parameter list editor: grid geometry, the edit box, writing back and a
// missing file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <filesystem>

#include "input.h"
#include "params/trapar.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "ui/frm_parlist.h"

namespace nvx {
namespace {

using test::RecordingUi;
using test::ScopedUi;
using test::TempDir;

std::string Entries(int n) {
  std::string text;
  for (int i = 0; i < n; ++i)
    text += "\"KEY" + std::to_string(i) + "\"," + std::to_string(i * 10) + "\r\n";
  return text;
}

class ParListUiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetParDir(tmp_.path());
    CurParList().clear();
  }
  void TearDown() override { CurParList().clear(); }

  // Rows fully visible in the grid's viewport.
  static int FullyVisibleRows(QTableWidget* g) {
    int n = 0;
    for (int r = 0; r < g->rowCount(); ++r)
      n += g->viewport()->rect().contains(g->visualRect(g->model()->index(r, 0)));
    return n;
  }

  static void Click(FrmParList& f, int row, int column) {
    QTableWidget* g = f.Grid();
    test::Click(g->viewport(), g->visualRect(g->model()->index(row, column)).center());
  }

  // Replaces the edit box's text, then presses the key (none for 0), typed
  // into the focus widget.
  static void Type(FrmParList& f, const char* text, int key = 0) {
    ASSERT_EQ(QApplication::focusWidget(), f.Field());
    f.Field()->selectAll();
    test::Keys(text);
    if (key) test::Key(static_cast<Qt::Key>(key));
  }

  // Writes the file and makes it the current parameter file.
  void UseFile(const std::string& bytes, const std::string& name = "P.TXT") {
    tmp_.writeRaw(name, bytes);
    SetParFile(name);
  }

  TempDir tmp_;
  RecordingUi ui_;
  ScopedUi scoped_{ui_};
};

// The grid holds the entries (a missing file opens empty, with a box) and
// is as large as its visible rows; more than 30 entries scroll. Then its
// headings, columns and place; edits typed into the edit box over a clicked
// cell: Return or keypad Enter confirms, Escape or leaving the box drops the
// edit, and so does closing; a changed key cell keeps its entry.
TEST_F(ParListUiTest, GridFitsTheEntriesAndTakesEdits) {
  const struct {
    bool missing;
    int entries, rows, visible, width;
    bool scroll;
    int fullyVisible, written;
  } cases[] = {{false, 3, 4, 4, 247, false, 3, 1},     // 3700 twips
               {false, 40, 41, 31, 263, true, 30, 1},  // 3940 twips; the heading row: 31
               {true, 0, 1, 1, 247, false, 0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entries);
    UseFile(Entries(c.missing ? 5 : c.entries), c.missing ? "OTHER.TXT" : "P.TXT");
    if (c.missing) {
      ASSERT_EQ(ReadCurPar(), 1);  // another file's entries are in the list
      SetParFile("NONE.TXT");
    }
    FrmParList f;
    f.SetShowPar(-1, -1);
    f.Load();
    QTableWidget* g = f.Grid();
    // Rows of 260 twips, the grid 100 twips more.
    EXPECT_EQ(
        (std::vector{g->rowCount(), f.Layout().rows, f.Layout().visibleRows, g->width(),
                     g->height(), f.width()}),
        (std::vector{c.entries, c.rows, c.visible, c.width, c.visible * 17 + 7, c.width + 16}));
    ASSERT_TRUE(test::ShowActive(&f));
    EXPECT_EQ(g->verticalScrollBar()->isVisible(), c.scroll);
    EXPECT_EQ(FullyVisibleRows(g), c.fullyVisible);
    EXPECT_GE(g->viewport()->width(), 147 + 93);  // both columns fit beside the scroll bar
    f.done(0);
    EXPECT_EQ(f.WriteResult(), c.written);
  }
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "File " + tmp_.file("NONE.TXT") + " does not exist");
  EXPECT_FALSE(std::filesystem::exists(tmp_.file("NONE.TXT")));
  EXPECT_EQ(tmp_.read("OTHER.TXT"), Entries(5));

  UseFile(Entries(3));
  FrmParList f;
  f.SetShowPar(1500, 3000);
  f.Load();
  QTableWidget* g = f.Grid();
  ASSERT_EQ(g->objectName(), "fgrPar");
  EXPECT_EQ(f.windowTitle().toStdString(), tmp_.file("P.TXT"));
  EXPECT_EQ(g->columnCount(), 2);
  const auto head = [&](int c) { return g->horizontalHeaderItem(c); };
  EXPECT_EQ(head(0)->text() + "|" + head(1)->text(), "Parameter|Value");
  const auto align = [](const QTableWidgetItem* i) {
    return int(i->textAlignment() & Qt::AlignHorizontal_Mask);
  };
  EXPECT_EQ((std::vector{align(head(0)), align(head(1)), align(g->item(2, 1))}),
            (std::vector<int>{Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight}));
  EXPECT_EQ((std::vector{g->columnWidth(0), g->columnWidth(1), g->rowHeight(0),
                         g->horizontalHeader()->height()}),
            (std::vector{147, 93, 17, 17}));
  EXPECT_EQ(g->item(0, 0)->text() + g->item(2, 1)->text(), "KEY020");
  EXPECT_EQ(g->currentRow() * 10 + g->currentColumn(), 1);  // row 0, column 1
  const QRect avail = f.screen()->availableGeometry();
  EXPECT_EQ(f.pos() - avail.topLeft(), QPoint(200, 100));
  ASSERT_TRUE(test::ShowActive(&f));
  const struct {
    int row, column;
    const char *shown, *typed;
    int key;  // 0: the focus moves elsewhere
    const char* cell;
  } steps[] = {
      {1, 1, "10", "777", Qt::Key_Return, "777"}, {2, 1, "20", "999", 0, "20"},
      {0, 1, "0", "1", Qt::Key_Escape, "0"},      {1, 0, "KEY1", "OTHER", Qt::Key_Return, "OTHER"},
      {1, 1, "777", "123", Qt::Key_Enter, "123"}, {2, 1, "20", "5", Qt::Key_Return, "5"}};
  QLineEdit* field = f.Field();
  ASSERT_EQ(field->objectName(), "txtField");
  for (const auto& s : steps) {
    SCOPED_TRACE(s.typed);
    Click(f, s.row, s.column);
    ASSERT_TRUE(field->isVisible());
    EXPECT_EQ(field->text(), s.shown);
    EXPECT_EQ(field->geometry(), g->visualItemRect(g->item(s.row, s.column)));
    Type(f, s.typed, s.key);
    if (!s.key) g->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(field->isVisible());
    EXPECT_EQ(g->item(s.row, s.column)->text(), s.cell);
    EXPECT_TRUE(f.isVisible());  // neither Enter nor Escape closes the editor
  }
  Click(f, 0, 1);
  Type(f, "555");
  f.close();
  EXPECT_TRUE(f.Unloaded());
  EXPECT_EQ(f.WriteResult(), 1);
  EXPECT_EQ(tmp_.read("P.TXT"), "\"KEY0\",0\r\n\"KEY1\",10\r\n\"KEY2\",5\r\n");
}

}  // namespace
}  // namespace nvx
