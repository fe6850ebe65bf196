// The parameter list editor: grid geometry, the edit box, the key-cell rule,
// writing back and a missing file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
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
    const QRect vp = g->viewport()->rect();
    for (int r = 0; r < g->rowCount(); ++r) {
      const QRect rr = g->visualRect(g->model()->index(r, 0));
      if (vp.contains(rr)) ++n;
    }
    return n;
  }

  void Click(FrmParList& f, int row, int column) {
    QTableWidget* g = f.Grid();
    const QRect r = g->visualRect(g->model()->index(row, column));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
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

  void ShowActive(FrmParList& f) { ASSERT_TRUE(test::ShowActive(&f)); }

  TempDir tmp_;
  RecordingUi ui_;
  ScopedUi scoped_{ui_};
};

TEST_F(ParListUiTest, ThreeEntriesAllVisible) {
  UseFile(Entries(3));
  FrmParList f;
  f.SetShowPar(-1, -1);
  f.Load();
  QTableWidget* g = f.Grid();
  ASSERT_EQ(g->objectName(), "fgrPar");
  EXPECT_EQ(f.windowTitle().toStdString(), tmp_.file("P.TXT"));
  EXPECT_EQ(g->rowCount(), 3);
  EXPECT_EQ(g->columnCount(), 2);
  EXPECT_EQ(g->horizontalHeaderItem(0)->text(), "Parameter");
  EXPECT_EQ(g->horizontalHeaderItem(1)->text(), "Value");
  EXPECT_EQ(g->horizontalHeaderItem(0)->textAlignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
  EXPECT_EQ(g->horizontalHeaderItem(1)->textAlignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  EXPECT_EQ(g->item(2, 1)->textAlignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  EXPECT_EQ(g->columnWidth(0), 147);
  EXPECT_EQ(g->columnWidth(1), 93);
  EXPECT_EQ(g->rowHeight(0), 17);
  EXPECT_EQ(g->horizontalHeader()->height(), 17);
  EXPECT_EQ(g->width(), 247);          // 3700 twips
  EXPECT_EQ(g->height(), 4 * 17 + 7);  // 4 rows of 260 twips + 100
  EXPECT_EQ(f.Layout().visibleRows, 4);
  EXPECT_EQ(g->item(0, 0)->text(), "KEY0");
  EXPECT_EQ(g->item(2, 1)->text(), "20");
  EXPECT_EQ(g->currentRow(), 0);
  EXPECT_EQ(g->currentColumn(), 1);
  ShowActive(f);
  EXPECT_FALSE(g->verticalScrollBar()->isVisible());
  EXPECT_EQ(FullyVisibleRows(g), 3);
  EXPECT_EQ(f.width(), 247 + 16);
  EXPECT_EQ(f.height(), 75 + 16);
  // Centred on the screen.
  const QRect avail = f.screen()->availableGeometry();
  EXPECT_NEAR(f.x() - avail.x(), (avail.width() - f.width()) / 2, 1);
  EXPECT_NEAR(f.y() - avail.y(), (avail.height() - f.height()) / 2, 1);
  f.close();
}

TEST_F(ParListUiTest, FortyEntriesShowThirtyOneRows) {
  UseFile(Entries(40));
  FrmParList f;
  f.SetShowPar(-1, -1);
  f.Load();
  QTableWidget* g = f.Grid();
  EXPECT_EQ(g->rowCount(), 40);
  EXPECT_EQ(f.Layout().rows, 41);
  EXPECT_EQ(f.Layout().visibleRows, 31);
  EXPECT_EQ(g->width(), 263);  // 3940 twips
  EXPECT_EQ(g->height(), 31 * 17 + 7);
  ShowActive(f);
  EXPECT_TRUE(g->verticalScrollBar()->isVisible());
  EXPECT_EQ(FullyVisibleRows(g), 30);  // plus the heading row: 31
  // Both columns fit beside the scroll bar.
  EXPECT_GE(g->viewport()->width(), 147 + 93);
  f.close();
}

TEST_F(ParListUiTest, PositionRequestIsHonoured) {
  UseFile(Entries(1));
  FrmParList f;
  f.SetShowPar(1500, 3000);
  f.Load();
  const QRect avail = f.screen()->availableGeometry();
  EXPECT_EQ(f.x() - avail.x(), 200);
  EXPECT_EQ(f.y() - avail.y(), 100);
  f.done(0);
}

TEST_F(ParListUiTest, EditWithEnterIsWritten) {
  UseFile(Entries(3));
  FrmParList f;
  f.Load();
  ShowActive(f);
  Click(f, 1, 1);
  QLineEdit* field = f.Field();
  ASSERT_EQ(field->objectName(), "txtField");
  ASSERT_TRUE(field->isVisible());
  EXPECT_EQ(field->text(), "10");
  EXPECT_EQ(field->geometry(), f.Grid()->visualItemRect(f.Grid()->item(1, 1)));
  Type(f, "777", Qt::Key_Return);
  EXPECT_FALSE(field->isVisible());
  EXPECT_EQ(f.Grid()->item(1, 1)->text(), "777");
  EXPECT_TRUE(f.isVisible());  // Enter does not close the editor
  f.close();
  EXPECT_TRUE(f.Unloaded());
  EXPECT_EQ(f.WriteResult(), 1);
  EXPECT_EQ(tmp_.read("P.TXT"), "\"KEY0\",0\r\n\"KEY1\",777\r\n\"KEY2\",20\r\n");
}

TEST_F(ParListUiTest, EditWithoutEnterIsDropped) {
  UseFile(Entries(3));
  FrmParList f;
  f.Load();
  ShowActive(f);
  Click(f, 2, 1);
  QLineEdit* field = f.Field();
  ASSERT_TRUE(field->isVisible());
  Type(f, "999");
  // The focus moves elsewhere: the edit box goes away, its text with it.
  f.Grid()->setFocus();
  QApplication::processEvents();
  EXPECT_FALSE(field->isVisible());
  EXPECT_EQ(f.Grid()->item(2, 1)->text(), "20");
  // An open edit at closing time is dropped as well.
  Click(f, 0, 1);
  ASSERT_TRUE(field->isVisible());
  Type(f, "555");
  f.close();
  EXPECT_EQ(tmp_.read("P.TXT"), Entries(3));
}

TEST_F(ParListUiTest, EscapeLeavesTheEditNotTheWindow) {
  UseFile(Entries(2));
  FrmParList f;
  f.Load();
  ShowActive(f);
  Click(f, 0, 1);
  Type(f, "1", Qt::Key_Escape);
  EXPECT_FALSE(f.Field()->isVisible());
  EXPECT_TRUE(f.isVisible());
  EXPECT_EQ(f.Grid()->item(0, 1)->text(), "0");
  f.close();
}

TEST_F(ParListUiTest, ChangedKeyCellKeepsTheEntry) {
  UseFile(Entries(3));
  FrmParList f;
  f.Load();
  ShowActive(f);
  Click(f, 1, 0);
  ASSERT_TRUE(f.Field()->isVisible());
  EXPECT_EQ(f.Field()->text(), "KEY1");
  Type(f, "OTHER", Qt::Key_Return);
  EXPECT_EQ(f.Grid()->item(1, 0)->text(), "OTHER");
  Click(f, 1, 1);
  Type(f, "123", Qt::Key_Enter);
  Click(f, 2, 1);
  Type(f, "5", Qt::Key_Return);
  f.close();
  EXPECT_EQ(tmp_.read("P.TXT"), "\"KEY0\",0\r\n\"KEY1\",10\r\n\"KEY2\",5\r\n");
}

TEST_F(ParListUiTest, UnchangedRewriteNormalisesTheFile) {
  UseFile("  \"A\" ,  1 , a remark\r\nxy\r\n\"B\",two words,x,y\n\"C\",3");
  FrmParList f;
  f.Load();
  EXPECT_EQ(f.Grid()->rowCount(), 3);
  f.done(0);
  EXPECT_EQ(tmp_.read("P.TXT"), "\"A\",1\r\n\"B\",two words\r\n\"C\",3\r\n");
}

TEST_F(ParListUiTest, MissingFileOpensEmptyAndWritesNothing) {
  UseFile(Entries(5), "OTHER.TXT");
  ASSERT_EQ(ReadCurPar(), 1);
  SetParFile("NONE.TXT");
  FrmParList f;
  f.Load();
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "File " + tmp_.file("NONE.TXT") + " does not exist");
  EXPECT_EQ(f.Grid()->rowCount(), 0);
  EXPECT_EQ(f.Grid()->height(), 17 + 7);  // the heading row only
  f.done(0);
  EXPECT_EQ(f.WriteResult(), 0);
  EXPECT_FALSE(std::filesystem::exists(tmp_.file("NONE.TXT")));
  EXPECT_EQ(tmp_.read("OTHER.TXT"), Entries(5));
}

TEST_F(ParListUiTest, EmptyListShowsHeadingOnly) {
  UseFile("", "E.TXT");
  FrmParList f;
  f.Load();
  EXPECT_EQ(f.Grid()->rowCount(), 0);
  EXPECT_EQ(f.Layout().visibleRows, 1);
  f.done(0);
  EXPECT_EQ(f.WriteResult(), 1);
}

TEST_F(ParListUiTest, ModalShowWritesBackWhenClosed) {
  UseFile(Entries(2));
  FrmParList f;
  f.SetShowPar(-1, -1);
  bool wasModal = false;
  QTimer::singleShot(0, &f, [&] {
    wasModal = f.isModal() && f.isVisible();
    f.Grid()->item(0, 1)->setText("4");  // as if edited and confirmed
    f.close();
  });
  f.Show();
  EXPECT_TRUE(wasModal);
  EXPECT_EQ(tmp_.read("P.TXT"), "\"KEY0\",4\r\n\"KEY1\",10\r\n");
}

}  // namespace
}  // namespace nvx

// The dialogs behind the main window's entries: "Read Par. File" through the
// program's own file dialog, then "Parameters" through the editor.
#include "ui/frm_files.h"
#include "ui/ui_fixture.h"

namespace nvx {
namespace {

template <typename T>
T* OpenDialog() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<T*>(w); d && d->isVisible()) return d;
  return nullptr;
}

TEST(DialogWiringTest, ReadParFileThroughFileDialogAndEditor) {
  const auto kind = sim::ControllerKind::kIM483I;
  test::UiFixture f(&kind);
  ASSERT_EQ(f.Start(), 1);
  std::string par = f.app.dir.read("ZR_PARW1.TXT");
  const size_t at = par.find("\"W1FILTPOSITIONS\",6");
  ASSERT_NE(at, std::string::npos);
  par.replace(at, 19, "\"W1FILTPOSITIONS\",7");
  f.app.dir.writeRaw("ZR_PARW1_SEVEN.TXT", par);
  f.w->parListEditor = [&] { FrmParList::EditCurrentFile(f.w); };

  std::vector<std::string> offered;
  std::string editorTitle;
  // The file dialog: choose the copy; then the editor: change the count to 8
  // and close it.
  QTimer::singleShot(0, [&] {
    FrmFiles* d = OpenDialog<FrmFiles>();
    ASSERT_NE(d, nullptr);
    offered = d->ListedFiles();
    const auto files = d->ListedFiles();
    for (size_t i = 0; i < files.size(); ++i)
      if (files[i] == "ZR_PARW1_SEVEN.TXT") d->DoubleClickFile(static_cast<int>(i));
    if (d->isVisible()) d->CancelClick();
    QTimer::singleShot(0, [&] {
      FrmParList* e = OpenDialog<FrmParList>();
      ASSERT_NE(e, nullptr);
      editorTitle = e->windowTitle().toStdString();
      QTableWidget* g = e->Grid();
      for (int r = 0; r < g->rowCount(); ++r)
        if (g->item(r, 0)->text() == "W1FILTPOSITIONS") g->item(r, 1)->setText("8");
      e->close();
    });
  });
  f.w->ReadParFileClick(1);
  EXPECT_EQ(offered, (std::vector<std::string>{"ZR_PARW1.TXT", "ZR_PARW1_SEVEN.TXT"}));
  EXPECT_EQ(editorTitle, f.app.dir.file("ZR_PARW1.TXT"));
  EXPECT_NE(f.app.dir.read("ZR_PARW1.TXT").find("\"W1FILTPOSITIONS\",8\r\n"), std::string::npos);
  EXPECT_EQ(f.w->MessageText(), "F On");
  EXPECT_EQ(f.FilterCaptions(1).size(), 8u);

  // Cancelled in the file dialog: nothing copied, no editor.
  QTimer::singleShot(0, [&] {
    if (FrmFiles* d = OpenDialog<FrmFiles>()) d->CancelClick();
  });
  f.w->ReadParFileClick(1);
  EXPECT_EQ(f.w->MessageText(), "Parameter file not read");
}

}  // namespace
}  // namespace nvx
