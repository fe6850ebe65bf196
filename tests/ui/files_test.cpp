// The file dialog: results, patterns, the listing, folder and file
// operations, text windows and the layout.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "input.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "ui/frm_files.h"
#include "ui/text_window.h"

namespace nvx {
namespace {

namespace fs = std::filesystem;
using test::RecordingUi;
using test::ScopedUi;
using test::TempDir;

void SetTime(const std::string& path, int y, int mo, int d, int h, int mi) {
  struct tm tmv {};
  tmv.tm_year = y - 1900;
  tmv.tm_mon = mo - 1;
  tmv.tm_mday = d;
  tmv.tm_hour = h;
  tmv.tm_min = mi;
  tmv.tm_isdst = -1;
  const time_t t = mktime(&tmv);
  struct timeval tv[2] = {{t, 0}, {t, 0}};
  ASSERT_EQ(utimes(path.c_str(), tv), 0);
}

class FilesUiTest : public ::testing::Test {
 protected:
  void SetUp() override { QLocale::setDefault(QLocale::c()); }
  void TearDown() override {
    std::vector<QPointer<TextWindow>> open;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* t = qobject_cast<TextWindow*>(w)) open.emplace_back(t);
    for (const auto& t : open) delete t.data();
  }
  std::string Dir() const {
    std::string d = tmp_.path();
    d.pop_back();
    return d;
  }
  void Prepare(FrmFiles& f, const std::string& filter = "", const std::string& patt = "*.PRG *.*") {
    // A modal run that the test failed to end is ended here, so that a
    // failure never hangs the run.
    QTimer::singleShot(10000, &f, [&f] {
      if (f.isVisible()) {
        ADD_FAILURE() << "dialog still open";
        f.CancelClick();
      }
    });
    f.SetStartDir(Dir());
    f.SetFilter(filter);
    f.SetPatterns(patt);
    f.SetTitle("Pick one");
    f.confirm = [this](const std::string& text, const std::string& title) {
      questions_.push_back(title + "|" + text);
      return answerOk_;
    };
  }
  void Open(FrmFiles& f, const std::string& filter = "") {
    Prepare(f, filter);
    f.Load();
  }
  template <typename T>
  T* Child(FrmFiles& f, const char* name) {
    return f.findChild<T*>(QString::fromLatin1(name));
  }
  int Row(FrmFiles& f, const std::string& name) {
    const auto files = f.ListedFiles();
    for (size_t i = 0; i < files.size(); ++i)
      if (files[i] == name) return static_cast<int>(i);
    return -1;
  }
  void Select(FrmFiles& f, const std::vector<std::string>& names) {
    auto* list = Child<QListWidget>(f, "File1");
    list->clearSelection();
    for (const auto& n : names) list->item(Row(f, n))->setSelected(true);
  }

  TempDir tmp_;
  RecordingUi ui_;
  ScopedUi scoped_{ui_};
  std::vector<std::string> questions_;
  bool answerOk_ = true;
};

TEST_F(FilesUiTest, LoadSetsCaptionPatternChoicesAndLists) {
  tmp_.writeRaw("A.PRG", "");
  tmp_.writeRaw("b.prg", "x");
  tmp_.writeRaw("C.TXT", "");
  fs::create_directory(tmp_.file("sub"));
  FrmFiles f;
  Open(f, "*.TXT");
  EXPECT_EQ(f.windowTitle(), "Pick one");
  EXPECT_EQ(f.PatternChoices(), (std::vector<std::string>{"*.PRG", "*.*"}));
  EXPECT_EQ(f.CurrentPattern(), "*.TXT");  // from SetFilter, not among the choices
  EXPECT_EQ(f.ListedFiles(), (std::vector<std::string>{"C.TXT"}));
  EXPECT_EQ(Child<QLineEdit>(f, "txtDir")->text().toStdString(), Dir());
  EXPECT_EQ(f.GetResDir(), Dir());
  EXPECT_EQ(f.GetResFile(), "");
  // The directory list: the path down to here, then "sub".
  auto* dirs = Child<QListWidget>(f, "Dir1");
  ASSERT_GE(dirs->count(), 2);
  EXPECT_EQ(dirs->item(dirs->count() - 1)->text().trimmed(), "sub");
  EXPECT_EQ(dirs->item(0)->text(), "/");
  // The drive selector offers the root and shows the drive of the directory.
  auto* drives = Child<QComboBox>(f, "Drive1");
  EXPECT_EQ(drives->itemText(0), "/");
  EXPECT_EQ(drives->currentText().toStdString(), DriveOfPath(Dir(), SystemMountPoints()));

  // Choosing a pattern applies it at once; typing one too.
  auto* filter = Child<QComboBox>(f, "cboFilter");
  filter->setCurrentIndex(0);
  EXPECT_EQ(f.ListedFiles(), (std::vector<std::string>{"A.PRG", "b.prg"}));
  filter->setEditText("*.*");
  EXPECT_EQ(f.ListedFiles(), (std::vector<std::string>{"A.PRG", "b.prg", "C.TXT"}));
  ASSERT_TRUE(test::ShowActive(&f));
  filter->setFocus();
  filter->lineEdit()->selectAll();
  test::Keys("?.TXT");
  EXPECT_EQ(f.ListedFiles(), (std::vector<std::string>{"C.TXT"}));
  f.DoneClick();
}

TEST_F(FilesUiTest, DefaultsForEmptyTitleAndFilter) {
  tmp_.writeRaw("x", "");
  FrmFiles f;
  f.SetStartDir(Dir());
  f.Load();
  EXPECT_EQ(f.windowTitle(), "File Dialog");
  EXPECT_EQ(f.CurrentPattern(), "*.*");
  EXPECT_EQ(f.PatternChoices(), (std::vector<std::string>{""}));
  EXPECT_EQ(f.ListedFiles(), (std::vector<std::string>{"x"}));
  f.DoneClick();
}

TEST_F(FilesUiTest, DoneWithoutFileGivesDirectoryOnly) {
  FrmFiles f;
  Prepare(f);
  QTimer::singleShot(0, &f, [&] { f.findChild<QAction*>("mnuDone")->trigger(); });
  f.Show();
  EXPECT_FALSE(f.isVisible());
  EXPECT_EQ(f.GetResDir(), Dir());
  EXPECT_EQ(f.GetResFile(), "");
}

TEST_F(FilesUiTest, CancelClearsBoth) {
  tmp_.writeRaw("A.PRG", "");
  FrmFiles f;
  Prepare(f);
  QTimer::singleShot(0, &f, [&] {
    f.ClickFile(0);
    f.findChild<QAction*>("mnuCancel")->trigger();
  });
  f.Show();
  EXPECT_EQ(f.GetResDir(), "");
  EXPECT_EQ(f.GetResFile(), "");
}

TEST_F(FilesUiTest, DoubleClickChoosesAndCloses) {
  tmp_.writeRaw("A.PRG", "");
  tmp_.writeRaw("B.PRG", "");
  FrmFiles f;
  Prepare(f, "*.PRG");
  QTimer::singleShot(0, &f, [&] {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    auto* list = Child<QListWidget>(f, "File1");
    // The list's double-click signal, as a double-click on the entry gives it.
    emit list->itemDoubleClicked(list->item(1));
  });
  EXPECT_EQ(f.Show(), QDialog::Accepted);
  EXPECT_FALSE(f.isVisible());
  EXPECT_EQ(f.GetResDir(), Dir());
  EXPECT_EQ(f.GetResFile(), "B.PRG");
  EXPECT_EQ(Child<QLineEdit>(f, "txtFile")->text(), "B.PRG");
}

TEST_F(FilesUiTest, ClickShowsDetailsAndTypedNameWins) {
  tmp_.writeRaw("A.PRG", "12345");
  SetTime(tmp_.file("A.PRG"), 2024, 2, 29, 15, 7);
  FrmFiles f;
  Open(f, "*.PRG");
  ASSERT_TRUE(test::ShowActive(&f));
  auto* list = Child<QListWidget>(f, "File1");
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                    list->visualItemRect(list->item(0)).center());
  auto* txt = Child<QLineEdit>(f, "txtFile");
  EXPECT_EQ(txt->text(), "A.PRG 2/29/2024 3:07:00 PM 5");
  EXPECT_EQ(f.GetResFile(), "A.PRG");
  txt->setFocus();
  txt->selectAll();
  test::Keys("NEW.PRG");
  EXPECT_EQ(f.GetResFile(), "NEW.PRG");
  f.close();  // the close box behaves like "Done"
  EXPECT_EQ(f.GetResDir(), Dir());
  EXPECT_EQ(f.GetResFile(), "NEW.PRG");
}

TEST_F(FilesUiTest, UnloadClearsTheCallersSettings) {
  tmp_.writeRaw("A.PRG", "");
  tmp_.writeRaw("B.TXT", "");
  FrmFiles f;
  Open(f, "*.PRG");
  f.DoneClick();
  f.Load();  // shown again without setting anything
  EXPECT_EQ(f.windowTitle(), "File Dialog");
  EXPECT_EQ(f.CurrentPattern(), "*.*");
  EXPECT_EQ(f.GetResFile(), "");
  f.DoneClick();
}

TEST_F(FilesUiTest, ChooseHelper) {
  tmp_.writeRaw("ZR_PARW1_B.TXT", "");
  tmp_.writeRaw("OTHER.TXT", "");
  std::string dir, file;
  QTimer::singleShot(0, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* d = qobject_cast<FrmFiles*>(w); d && d->isVisible()) {
        EXPECT_EQ(d->ListedFiles(), (std::vector<std::string>{"ZR_PARW1_B.TXT"}));
        d->DoubleClickFile(0);
      }
    }
  });
  EXPECT_TRUE(FrmFiles::Choose(nullptr, Dir(), "ZR_PARW1*.TXT", "*.TXT *.*",
                               "Select a parameter file to load", dir, file));
  EXPECT_EQ(dir, Dir());
  EXPECT_EQ(file, "ZR_PARW1_B.TXT");
}

TEST_F(FilesUiTest, ListingOfOneEmptyFile) {
  tmp_.writeRaw("EMPTY.PRG", "");
  SetTime(tmp_.file("EMPTY.PRG"), 2026, 12, 6, 20, 52);
  FrmFiles f;
  Open(f, "*.PRG");
  const std::string expected = Dir() + "/*.PRG\r\n\r\n" + std::string(21, ' ') + "EMPTY.PRG" +
                               std::string(12, ' ') + "  12-06-2026 08:52PM";
  EXPECT_EQ(f.ListingText(), expected);
  f.FileListToTextClick();
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), expected);
  const auto texts = f.TextWindows();
  ASSERT_EQ(texts.size(), 1u);
  QString shown = QString::fromStdString(expected);
  shown.replace("\r\n", "\n");
  EXPECT_EQ(texts[0]->Text(), shown);
  f.DoneClick();
  // The text window outlives the dialog.
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts[0]->parent(), nullptr);
  EXPECT_TRUE(texts[0]->isVisible());
}

TEST_F(FilesUiTest, ListingOfLargerFiles) {
  tmp_.writeRaw("a.dat", std::string(1234, 'x'));
  tmp_.writeRaw("b.dat", std::string(1234567, 'y'));
  tmp_.writeRaw("c.dat", "abc");
  SetTime(tmp_.file("a.dat"), 2001, 1, 2, 0, 5);
  SetTime(tmp_.file("b.dat"), 2019, 10, 31, 12, 0);
  SetTime(tmp_.file("c.dat"), 2022, 7, 4, 9, 30);
  FrmFiles f;
  Open(f, "*.dat");
  const std::string pad(25, ' ');
  const std::string expected = Dir() + "/*.dat\r\n" + "\r\n" + pad + "a.dat" + "       1,234" +
                               "  01-02-2001 12:05AM" + "\r\n" + pad + "b.dat" + "   1,234,567" +
                               "  10-31-2019 12:00PM" + "\r\n" + pad + "c.dat" + "           3" +
                               "  07-04-2022 09:30AM";
  EXPECT_EQ(f.ListingText(), expected);
  f.DoneClick();
}

TEST_F(FilesUiTest, NewFolderAsksConfirmsAndEnters) {
  FrmFiles f;
  Open(f);
  ui_.inputAnswers = {std::string("fresh")};
  f.findChild<QAction*>("mnuNewDir")->trigger();
  EXPECT_EQ(questions_, (std::vector<std::string>{"Creating...|" + tmp_.file("fresh")}));
  EXPECT_TRUE(fs::is_directory(tmp_.file("fresh")));
  EXPECT_EQ(f.CurrentDir(), tmp_.file("fresh"));
  EXPECT_EQ(f.GetResDir(), tmp_.file("fresh"));
  EXPECT_EQ(Child<QLineEdit>(f, "txtDir")->text().toStdString(), tmp_.file("fresh"));

  // An existing folder: a message and no change.
  f.SetDir(Dir());
  ui_.inputAnswers = {std::string("fresh")};
  f.NewFolderClick();
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "Folder " + tmp_.file("fresh") + " already exists");
  EXPECT_EQ(f.CurrentDir(), Dir());

  // Cancelled at the question, empty answer, cancelled input: nothing.
  answerOk_ = false;
  ui_.inputAnswers = {std::string("never")};
  f.NewFolderClick();
  EXPECT_FALSE(fs::exists(tmp_.file("never")));
  ui_.inputAnswers = {std::string("")};
  f.NewFolderClick();
  ui_.inputAnswers = {std::nullopt};
  f.NewFolderClick();
  EXPECT_EQ(questions_.size(), 2u);
  EXPECT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(f.CurrentDir(), Dir());
  f.DoneClick();
}

TEST_F(FilesUiTest, DeleteFolderRemovesOnlyEmptyOnesAndMovesUp) {
  fs::create_directories(tmp_.file("full"));
  tmp_.writeRaw("full/f", "data");
  fs::create_directories(tmp_.file("empty"));
  FrmFiles f;
  Prepare(f);
  f.SetStartDir(tmp_.file("full"));
  f.Load();
  f.findChild<QAction*>("mnuDelDir")->trigger();
  EXPECT_EQ(questions_.back(), "Deleting...|Delete " + tmp_.file("full") + " ?");
  EXPECT_TRUE(fs::exists(tmp_.file("full/f")));
  EXPECT_EQ(f.CurrentDir(), Dir());

  f.SetDir(tmp_.file("empty"));
  answerOk_ = false;
  f.DeleteFolderClick();
  EXPECT_TRUE(fs::exists(tmp_.file("empty")));
  EXPECT_EQ(f.CurrentDir(), tmp_.file("empty"));
  answerOk_ = true;
  f.DeleteFolderClick();
  EXPECT_FALSE(fs::exists(tmp_.file("empty")));
  EXPECT_EQ(f.CurrentDir(), Dir());
  f.DoneClick();
}

TEST_F(FilesUiTest, DeleteSelectedFiles) {
  tmp_.writeRaw("a.txt", "1");
  tmp_.writeRaw("b.txt", "2");
  tmp_.writeRaw("c.txt", "3");
  tmp_.writeRaw("ro.txt", "4");
  ASSERT_EQ(chmod(tmp_.file("ro.txt").c_str(), 0444), 0);
  FrmFiles f;
  Open(f, "*.txt");
  Select(f, {"a.txt", "c.txt", "ro.txt"});
  f.findChild<QAction*>("mnuDelFile")->trigger();
  EXPECT_EQ(questions_.back(), "Deleting...|Delete selected files?");
  EXPECT_EQ(f.ListedFiles(), (std::vector<std::string>{"b.txt", "ro.txt"}));
  EXPECT_FALSE(fs::exists(tmp_.file("a.txt")));
  EXPECT_FALSE(fs::exists(tmp_.file("c.txt")));
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "File " + tmp_.file("ro.txt") + " is write-protected");

  // Cancel deletes nothing.
  answerOk_ = false;
  Select(f, {"b.txt"});
  f.DeleteFilesClick();
  EXPECT_TRUE(fs::exists(tmp_.file("b.txt")));
  f.DoneClick();
}

TEST_F(FilesUiTest, ViewAsText) {
  tmp_.writeRaw("v.txt", "line 1\r\nline 2\r\n");
  FrmFiles f;
  Open(f, "*.txt");
  f.ViewAsTextClick();  // no current entry
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "No file selected");
  EXPECT_TRUE(f.TextWindows().empty());
  auto* list = Child<QListWidget>(f, "File1");
  // A current entry that is not selected: nothing at all.
  list->setCurrentRow(0);
  list->item(0)->setSelected(false);
  ASSERT_EQ(list->currentRow(), 0);
  f.ViewAsTextClick();
  EXPECT_EQ(ui_.boxes.size(), 1u);
  EXPECT_TRUE(f.TextWindows().empty());
  list->item(0)->setSelected(true);
  f.findChild<QAction*>("mnuViewTex")->trigger();
  ASSERT_EQ(f.TextWindows().size(), 1u);
  EXPECT_EQ(f.TextWindows()[0]->Text(), "line 1\nline 2\n");
  f.DoneClick();
}

TEST_F(FilesUiTest, NewTextFileOpensAnEditableWindow) {
  FrmFiles f;
  Open(f);
  f.findChild<QAction*>("mnuNewTF")->trigger();
  ASSERT_EQ(f.TextWindows().size(), 1u);
  auto* edit = f.TextWindows()[0]->findChild<QPlainTextEdit*>("txtText");
  ASSERT_NE(edit, nullptr);
  EXPECT_FALSE(edit->isReadOnly());
  ASSERT_TRUE(test::ShowActive(f.TextWindows()[0]));
  edit->setFocus();
  test::Keys("hello");
  EXPECT_TRUE(f.TextWindows()[0]->SaveTo(QString::fromStdString(tmp_.file("saved.txt"))));
  EXPECT_EQ(tmp_.read("saved.txt"), "hello");
  f.DoneClick();
}

TEST_F(FilesUiTest, CopyFolderAndFiles) {
  fs::create_directories(tmp_.file("src"));
  tmp_.writeRaw("src/one.txt", "1");
  tmp_.writeRaw("src/two.txt", "2");
  fs::create_directories(tmp_.file("dest"));
  FrmFiles f;
  Prepare(f, "*.txt");
  f.SetStartDir(tmp_.file("src"));
  std::string answer = tmp_.file("dest");
  f.chooseDir = [&](const std::string&, const std::string&) { return answer; };
  f.Load();
  f.findChild<QAction*>("mnuCopyDir")->trigger();
  EXPECT_EQ(tmp_.read("dest/src/one.txt"), "1");
  f.CopyFolderClick();  // again: it exists now
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "Folder " + tmp_.file("dest/src") + " already exists");

  Select(f, {"two.txt"});
  f.findChild<QAction*>("mnuCopyFile")->trigger();
  EXPECT_EQ(tmp_.read("dest/two.txt"), "2");
  EXPECT_FALSE(fs::exists(tmp_.file("dest/one.txt")));
  answer.clear();  // cancelled choice: nothing
  Select(f, {"one.txt"});
  f.CopyFilesClick();
  EXPECT_FALSE(fs::exists(tmp_.file("dest/one.txt")));
  f.DoneClick();
}

TEST_F(FilesUiTest, LayoutFollowsTheSize) {
  FrmFiles f;
  Open(f);
  f.resize(600, 400);
  f.show();
  QApplication::processEvents();
  auto* client = f.findChild<QWidget*>("client");
  const int wT = client->width() * 15, hT = client->height() * 15;
  const int c = (wT - 140) / 2;
  auto px = [](int twips) { return (twips * 2 + 15) / 30; };
  struct Case {
    const char* name;
    int x, y;
  } cases[] = {{"Drive1", 40, 0},         {"Dir1", 40, 400},       {"txtDir", 40, hT - 400},
               {"cboFilter", c + 100, 0}, {"File1", c + 100, 400}, {"txtFile", c + 100, hT - 400}};
  for (const Case& k : cases) {
    QWidget* w = f.findChild<QWidget*>(k.name);
    ASSERT_NE(w, nullptr) << k.name;
    EXPECT_EQ(w->x(), px(k.x)) << k.name;
    EXPECT_EQ(w->y(), px(k.y)) << k.name;
    EXPECT_EQ(w->width(), px(c)) << k.name;
  }
  EXPECT_EQ(Child<QListWidget>(f, "Dir1")->height(), px(hT - 840));
  EXPECT_EQ(Child<QListWidget>(f, "File1")->height(), px(hT - 840));
  // The menu bar's entries.
  auto* bar = f.findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  std::vector<std::string> top;
  for (QAction* a : bar->actions()) top.push_back(a->text().toStdString());
  EXPECT_EQ(top, (std::vector<std::string>{"New", "Copy", "Delete", "View", "             Done",
                                           "Cancel"}));
  f.close();
}

}  // namespace
}  // namespace nvx

// Pictures of the parameter list editor (with an open edit box) and the file
// dialog, to $NVX_SCREENSHOT_DIR when set (scripts/screenshots.sh).
#include <QDir>
#include <QImage>
#include <QTableWidget>

#include "params/trapar.h"
#include "ui/frm_parlist.h"

namespace nvx {
namespace {

void SaveShot(QWidget* w, const QString& dir, const char* name) {
  const QImage img = w->grab().toImage();
  ASSERT_FALSE(img.isNull());
  EXPECT_GT(img.width(), 100);
  EXPECT_GT(img.height(), 50);
  EXPECT_TRUE(img.save(dir + QLatin1Char('/') + QLatin1String(name)));
}

TEST(Screenshots, ParListEditorAndFileDialog) {
  TempDir tmp;
  RecordingUi ui;
  ScopedUi scoped(ui);
  QString dir = qEnvironmentVariable("NVX_SCREENSHOT_DIR");
  if (dir.isEmpty()) dir = QString::fromStdString(tmp.path() + "shots");
  QDir().mkpath(dir);

  tmp.write("ZR_PARW1.TXT",
            "\"W1CONTR\",1\n\"W1ADDRESS\",1\n\"W1FILTPOSITIONS\",6\n\"W1STEPSPERREV\",3200\n"
            "\"W1OFFSET\",12\n\"W1SPEED\",500\n\"W1ACCEL\",2000\n\"W1HOMESPEED\",200\n");
  SetParDir(tmp.path());
  SetParFile("ZR_PARW1.TXT");
  {
    FrmParList f;
    f.SetShowPar(-1, -1);
    f.Load();
    f.show();
    f.activateWindow();
    QApplication::processEvents();
    f.EditCell(5, 1);
    QApplication::processEvents();
    SaveShot(&f, dir, "parlist_editor.png");
    f.done(0);
  }
  CurParList().clear();

  std::filesystem::create_directories(tmp.file("programs/old"));
  std::filesystem::create_directories(tmp.file("programs/tests"));
  tmp.write("programs/FOCUS.PRG", std::string(1834, 'x'));
  tmp.write("programs/NIGHT_SEQUENCE.PRG", std::string(23456, 'x'));
  tmp.write("programs/FLATS.PRG", "");
  tmp.write("programs/notes.txt", "x");
  FrmFiles files;
  files.SetStartDir(tmp.file("programs"));
  files.SetFilter("*.PRG");
  files.SetPatterns("*.PRG *.*");
  files.SetTitle("Select a program file");
  files.Load();
  files.resize(620, 380);
  files.show();
  QApplication::processEvents();
  files.ClickFile(1);
  QApplication::processEvents();
  SaveShot(&files, dir, "file_dialog.png");
  files.FileListToTextClick();
  QApplication::processEvents();
  ASSERT_EQ(files.TextWindows().size(), 1u);
  TextWindow* listing = files.TextWindows()[0];
  listing->resize(660, 200);
  SaveShot(listing, dir, "file_list_text.png");
  files.DoneClick();
  delete listing;
}

}  // namespace
}  // namespace nvx
