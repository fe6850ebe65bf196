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
#include <set>
#include <tuple>

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
  tm local{};
  std::tie(local.tm_year, local.tm_mon, local.tm_mday, local.tm_hour, local.tm_min) =
      std::tuple(y - 1900, mo - 1, d, h, mi);
  local.tm_isdst = -1;
  const timeval tv[2] = {{mktime(&local), 0}, {mktime(&local), 0}};
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
  template <typename T>
  T* Child(FrmFiles& f, const char* name) {
    return f.findChild<T*>(QString::fromLatin1(name));
  }
  void Select(FrmFiles& f, const std::set<std::string>& names) {
    const auto files = f.ListedFiles();
    for (size_t i = 0; i < files.size(); ++i)
      Child<QListWidget>(f, "File1")->item(int(i))->setSelected(names.count(files[i]) > 0);
  }

  TempDir tmp_;
  RecordingUi ui_;
  ScopedUi scoped_{ui_};
  std::vector<std::string> questions_;
  bool answerOk_ = true;
};

// Loading sets the caption, the patterns and the lists; the controls and the
// menu bar; a click on a file shows its details, and a name typed over them
// is the result. Shown modally, the dialog ends by its menu entries or a
// double-click on a file, with the folder and the file chosen.
TEST_F(FilesUiTest, LoadListsAndAClickOrATypedNameChooses) {
  tmp_.writeRaw("A.PRG", "");
  tmp_.writeRaw("b.prg", "x");
  tmp_.writeRaw("C.TXT", "12345");
  SetTime(tmp_.file("C.TXT"), 2024, 2, 29, 15, 7);
  fs::create_directory(tmp_.file("sub"));
  FrmFiles f;
  Prepare(f, "*.TXT");
  f.Load();
  EXPECT_EQ(f.windowTitle(), "Pick one");
  EXPECT_EQ(f.PatternChoices(), (std::vector<std::string>{"*.PRG", "*.*"}));
  EXPECT_EQ(f.CurrentPattern(),
            "*.TXT");  // from SetFilter, not among the choices
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
  // The controls follow the size.
  f.resize(600, 400);
  QApplication::processEvents();
  auto* client = f.findChild<QWidget*>("client");
  const int wT = client->width() * 15, hT = client->height() * 15;
  const int c = (wT - 140) / 2;
  auto px = [](int twips) { return (twips * 2 + 15) / 30; };
  const struct {
    const char* name;
    int x, y, h;  // h 0: not looked at
  } cases[] = {{"Drive1", 40, 0, 0},
               {"Dir1", 40, 400, hT - 840},
               {"txtDir", 40, hT - 400, 0},
               {"cboFilter", c + 100, 0, 0},
               {"File1", c + 100, 400, hT - 840},
               {"txtFile", c + 100, hT - 400, 0}};
  for (const auto& k : cases) {
    QWidget* w = f.findChild<QWidget*>(k.name);
    ASSERT_NE(w, nullptr) << k.name;
    EXPECT_EQ(w->geometry().topLeft(), QPoint(px(k.x), px(k.y))) << k.name;
    EXPECT_EQ(w->width(), px(c)) << k.name;
    if (k.h) { EXPECT_EQ(w->height(), px(k.h)) << k.name; }
  }
  std::string top;
  for (QAction* a : f.findChild<QMenuBar*>()->actions()) top += a->text().toStdString() + "|";
  EXPECT_EQ(top, "New|Copy|Delete|View|             Done|Cancel|");
  filter->setFocus();
  filter->lineEdit()->selectAll();
  test::Keys("?.TXT");
  EXPECT_EQ(f.ListedFiles(), (std::vector<std::string>{"C.TXT"}));
  auto* list = Child<QListWidget>(f, "File1");
  test::Click(list->viewport(), list->visualItemRect(list->item(0)).center());
  auto* txt = Child<QLineEdit>(f, "txtFile");
  EXPECT_EQ(txt->text(), "C.TXT 2/29/2024 3:07:00 PM 5");
  EXPECT_EQ(f.GetResFile(), "C.TXT");
  txt->setFocus();
  txt->selectAll();
  test::Keys("NEW.PRG");
  f.close();  // the close box behaves like "Done"
  EXPECT_EQ(f.GetResDir() + "|" + f.GetResFile(), Dir() + "|NEW.PRG");
  // Shown again without setting anything: the caller's settings went with
  // the unloading.
  f.Load();
  EXPECT_EQ(f.windowTitle(), "File Dialog");
  EXPECT_EQ(f.CurrentPattern(), "*.*");
  EXPECT_EQ(f.PatternChoices(), (std::vector<std::string>{""}));
  EXPECT_EQ(f.GetResFile(), "");
  f.DoneClick();

  const struct {
    const char* end;  // a menu entry, or "" for a double-click on b.prg
    int result;
    bool dir;
    const char* file;
  } ends[] = {{"mnuDone", QDialog::Accepted, true, ""},
              {"mnuCancel", QDialog::Rejected, false, ""},
              {"", QDialog::Accepted, true, "b.prg"}};
  for (const auto& e : ends) {
    SCOPED_TRACE(e.end);
    Prepare(f, "*.PRG");
    QTimer::singleShot(0, &f, [&] {
      ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
      if (*e.end) {
        if (!e.dir) f.ClickFile(0);
        f.findChild<QAction*>(e.end)->trigger();
      } else {
        // The list's double-click signal, as a double-click on the entry gives
        // it.
        emit list->itemDoubleClicked(list->item(1));
      }
    });
    EXPECT_EQ(f.Show(), e.result);
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.GetResDir(), e.dir ? Dir() : "");
    EXPECT_EQ(f.GetResFile(), e.file);
    if (*e.file) { EXPECT_EQ(Child<QLineEdit>(f, "txtFile")->text(), e.file); }
  }
}

// The listing: the pattern's path, then name, size with thousands
// separators and the time of each file, in CR LF lines; on the clipboard and
// in a text window that outlives the dialog. "New text file" opens an
// editable window; "View as text" the selected file read-only (nothing
// without a selected entry). A new folder is asked for, confirmed and
// entered; an empty folder is deleted after the question and the dialog
// moves up, a full one is kept. Selected files are deleted after the question
// (a write-protected one is said in a box) or copied to a chosen folder; so
// is the folder itself.
TEST_F(FilesUiTest, ListingTextWindowsAndFileOperations) {
  const struct {
    const char* name;
    size_t size;
    int y, mo, d, h, mi;
    std::string size_date;  // the name is right-aligned in 30 columns before it
  } cases[] = {{"EMPTY.PRG", 0, 2026, 12, 6, 20, 52, "              12-06-2026 08:52PM"},
               {"a.dat", 1234, 2001, 1, 2, 0, 5, "       1,234  01-02-2001 12:05AM"},
               {"b.dat", 1234567, 2019, 10, 31, 12, 0, "   1,234,567  10-31-2019 12:00PM"}};
  std::string listing[2] = {Dir() + "/*.PRG\r\n", Dir() + "/*.dat\r\n"};
  for (const auto& c : cases) {
    tmp_.writeRaw(c.name, std::string(c.size, 'x'));
    SetTime(tmp_.file(c.name), c.y, c.mo, c.d, c.h, c.mi);
    listing[c.size > 0] += "\r\n" + std::string(30 - strlen(c.name), ' ') + c.name + c.size_date;
  }
  tmp_.writeRaw("v.txt", "line 1\r\nline 2\r\n");
  FrmFiles f;
  Prepare(f, "*.dat");
  f.Load();
  f.findChild<QAction*>("mnuNewTF")->trigger();
  ASSERT_EQ(f.TextWindows().size(), 1u);
  auto* edit = f.TextWindows()[0]->findChild<QPlainTextEdit*>("txtText");
  EXPECT_FALSE(edit->isReadOnly());
  ASSERT_TRUE(test::ShowActive(f.TextWindows()[0]));
  edit->setFocus();
  test::Keys("hello");
  EXPECT_TRUE(f.TextWindows()[0]->SaveTo(QString::fromStdString(tmp_.file("saved.out"))));
  EXPECT_EQ(tmp_.read("saved.out"), "hello");

  EXPECT_EQ(f.ListingText(), listing[1]);
  f.SetPattern("*.PRG");
  EXPECT_EQ(f.ListingText(), listing[0]);
  f.FileListToTextClick();
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), listing[0]);
  ASSERT_EQ(f.TextWindows().size(), 2u);
  EXPECT_EQ(f.TextWindows()[1]->Text(), QString::fromStdString(listing[0]).replace("\r\n", "\n"));
  f.SetPattern("*.txt");
  f.ViewAsTextClick();  // no current entry
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "No file selected");
  auto* list = Child<QListWidget>(f, "File1");
  // A current entry that is not selected: nothing at all.
  list->setCurrentRow(0);
  list->item(0)->setSelected(false);
  ASSERT_EQ(list->currentRow(), 0);
  f.ViewAsTextClick();
  EXPECT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(f.TextWindows().size(), 2u);
  list->item(0)->setSelected(true);
  f.findChild<QAction*>("mnuViewTex")->trigger();
  const auto texts = f.TextWindows();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[2]->Text(), "line 1\nline 2\n");
  EXPECT_TRUE(texts[2]->findChild<QPlainTextEdit*>("txtText")->isReadOnly());

  fs::create_directories(tmp_.file("src"));
  fs::create_directories(tmp_.file("dest"));
  for (const char* name : {"a", "b", "c", "ro"})
    tmp_.writeRaw(std::string("src/") + name + ".txt", name);
  ASSERT_EQ(chmod(tmp_.file("src/ro.txt").c_str(), 0444), 0);
  std::string dest = tmp_.file("dest");
  f.chooseDir = [&](const std::string&, const std::string&) { return dest; };
  ui_.inputAnswers = {std::string("fresh")};
  f.findChild<QAction*>("mnuNewDir")->trigger();
  EXPECT_EQ(questions_, (std::vector<std::string>{"Creating...|" + tmp_.file("fresh")}));
  EXPECT_TRUE(fs::is_directory(tmp_.file("fresh")));
  EXPECT_EQ(f.CurrentDir() + "|" + f.GetResDir(), tmp_.file("fresh") + "|" + tmp_.file("fresh"));
  // An existing folder: a message and no change.
  f.SetDir(Dir());
  ui_.inputAnswers = {std::string("fresh")};
  f.NewFolderClick();
  EXPECT_EQ(ui_.boxes.back().text, "Folder " + tmp_.file("fresh") + " already exists");
  // Cancelled at the question, empty answer, cancelled input: nothing.
  answerOk_ = false;
  for (auto answer : {std::optional<std::string>("never"), std::optional<std::string>(""),
                      std::optional<std::string>()}) {
    ui_.inputAnswers = {answer};
    f.NewFolderClick();
  }
  EXPECT_FALSE(fs::exists(tmp_.file("never")));
  EXPECT_EQ(questions_.size(), 2u);
  EXPECT_EQ(ui_.boxes.size(), 2u);
  EXPECT_EQ(f.CurrentDir(), Dir());

  // "fresh" is empty: kept when the question is cancelled, then deleted.
  const struct {
    const char* dir;
    bool ok, kept, movedUp;
  } rows[] = {
      {"src", true, true, true}, {"fresh", false, true, false}, {"fresh", true, false, true}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.dir);
    answerOk_ = r.ok;
    f.SetDir(tmp_.file(r.dir));
    f.findChild<QAction*>("mnuDelDir")->trigger();
    EXPECT_EQ(questions_.back(), "Deleting...|Delete " + tmp_.file(r.dir) + " ?");
    EXPECT_EQ(fs::exists(tmp_.file(r.dir)), r.kept);
    EXPECT_EQ(f.CurrentDir(), r.movedUp ? Dir() : tmp_.file(r.dir));
  }

  f.SetDir(tmp_.file("src"));
  Select(f, {"a.txt", "c.txt", "ro.txt"});
  f.findChild<QAction*>("mnuDelFile")->trigger();
  EXPECT_EQ(questions_.back(), "Deleting...|Delete selected files?");
  EXPECT_EQ(f.ListedFiles(), (std::vector<std::string>{"b.txt", "ro.txt"}));
  ASSERT_EQ(ui_.boxes.size(), 3u);
  EXPECT_EQ(ui_.boxes[2].text, "File " + tmp_.file("src/ro.txt") + " is write-protected");
  answerOk_ = false;  // cancel deletes nothing
  Select(f, {"b.txt"});
  f.DeleteFilesClick();
  EXPECT_TRUE(fs::exists(tmp_.file("src/b.txt")));

  f.findChild<QAction*>("mnuCopyFile")->trigger();
  EXPECT_EQ(tmp_.read("dest/b.txt"), "b");
  EXPECT_FALSE(fs::exists(tmp_.file("dest/ro.txt")));
  f.findChild<QAction*>("mnuCopyDir")->trigger();
  EXPECT_EQ(tmp_.read("dest/src/ro.txt"), "ro");
  f.CopyFolderClick();  // again: it exists now
  EXPECT_EQ(ui_.boxes.back().text, "Folder " + tmp_.file("dest/src") + " already exists");
  dest.clear();  // cancelled choice: nothing
  Select(f, {"ro.txt"});
  f.CopyFilesClick();
  EXPECT_FALSE(fs::exists(tmp_.file("dest/ro.txt")));
  f.DoneClick();
  EXPECT_EQ(texts[1]->parent(), nullptr);  // the text window outlives the dialog
  EXPECT_TRUE(texts[1]->isVisible());
}

}  // namespace
}  // namespace nvx
