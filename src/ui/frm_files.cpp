#include "ui/frm_files.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStyle>
#include <QVBoxLayout>

#include "base/ui.h"
#include "core/parlist_view.h"
#include "ui/text_window.h"

namespace nvx {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

constexpr int kPathRole = Qt::UserRole + 1;

// The layout in twips: two columns with their controls, from the inner size.
struct FilesGeometry {
  QRect drive, dir, dirText, filter, files, fileText;
};

FilesGeometry FilesLayout(int widthTwips, int heightTwips, int boxTwips) {
  const int c = (widthTwips - 140) / 2;
  const int listH = heightTwips - 840;
  const int left = 40;
  const int right = c + 100;
  FilesGeometry g;
  g.drive = QRect(left, 0, c, boxTwips);
  g.dir = QRect(left, 400, c, listH);
  g.dirText = QRect(left, heightTwips - 400, c, boxTwips);
  g.filter = QRect(right, 0, c, boxTwips);
  g.files = QRect(right, 400, c, listH);
  g.fileText = QRect(right, heightTwips - 400, c, boxTwips);
  return g;
}

QRect ToPixels(const QRect& twips) {
  const int w = std::max(0, TwipsToPixels(twips.width()));
  const int h = std::max(0, TwipsToPixels(twips.height()));
  return QRect(TwipsToPixels(twips.x()), TwipsToPixels(twips.y()), w, h);
}

}  // namespace

FrmFiles::FrmFiles(QWidget* parent) : QDialog(parent) {
  setObjectName("frmFiles");
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setSizeGripEnabled(true);

  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  menu_ = new QMenuBar(this);
  menu_->setObjectName("menuBar");
  layout->setMenuBar(menu_);
  client_ = new QWidget(this);
  client_->setObjectName("client");
  layout->addWidget(client_);
  client_->installEventFilter(this);

  Drive1_ = new QComboBox(client_);
  Drive1_->setObjectName("Drive1");
  Dir1_ = new QListWidget(client_);
  Dir1_->setObjectName("Dir1");
  txtDir_ = new QLineEdit(client_);
  txtDir_->setObjectName("txtDir");
  cboFilter_ = new QComboBox(client_);
  cboFilter_->setObjectName("cboFilter");
  cboFilter_->setEditable(true);
  cboFilter_->setInsertPolicy(QComboBox::NoInsert);
  File1_ = new QListWidget(client_);
  File1_->setObjectName("File1");
  File1_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  txtFile_ = new QLineEdit(client_);
  txtFile_->setObjectName("txtFile");
  for (QWidget* w :
       std::initializer_list<QWidget*>{Drive1_, Dir1_, txtDir_, cboFilter_, File1_, txtFile_})
    w->setFont(fixed);
  Dir1_->setIconSize(QSize(16, 16));

  BuildMenu();

  connect(Drive1_, &QComboBox::activated, this, [this](int index) {
    if (filling_ || index < 0) return;
    SetDrive(S(Drive1_->itemText(index)));
  });
  connect(Dir1_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    if (!filling_ && item) SetDir(S(item->data(kPathRole).toString()));
  });
  connect(txtDir_, &QLineEdit::returnPressed, this, [this] {
    // A typed directory is taken when it exists; otherwise the box goes back.
    const std::string typed = S(txtDir_->text());
    if (IsDirectory(typed)) SetDir(typed);
    else txtDir_->setText(Q(dir_));
  });
  connect(cboFilter_, &QComboBox::editTextChanged, this, [this](const QString& text) {
    if (!filling_) SetPattern(S(text));
  });
  connect(File1_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    if (!filling_ && item) ClickFile(File1_->row(item));
  });
  connect(File1_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!filling_ && row >= 0) ClickFile(row);
  });
  connect(File1_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    if (!filling_ && item) DoubleClickFile(File1_->row(item));
  });
  connect(txtFile_, &QLineEdit::textEdited, this,
          [this](const QString& text) { resFile_ = S(text); });

  resize(640, 420);
}

FrmFiles::~FrmFiles() { ReleaseTextWindows(); }

void FrmFiles::BuildMenu() {
  auto add = [this](QMenu* m, const char* name, const QString& caption, void (FrmFiles::*fn)()) {
    QAction* a = m->addAction(caption);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, [this, fn] { (this->*fn)(); });
    return a;
  };
  QMenu* mNew = menu_->addMenu(QStringLiteral("New"));
  mNew->setObjectName("mnuNew");
  add(mNew, "mnuNewDir", QStringLiteral("Folder"), &FrmFiles::NewFolderClick);
  add(mNew, "mnuNewTF", QStringLiteral("Text file"), &FrmFiles::NewTextFileClick);
  QMenu* mCopy = menu_->addMenu(QStringLiteral("Copy"));
  mCopy->setObjectName("mnuCopy");
  add(mCopy, "mnuCopyDir", QStringLiteral("Copy Folder"), &FrmFiles::CopyFolderClick);
  add(mCopy, "mnuCopyFile", QStringLiteral("Copy File(s)"), &FrmFiles::CopyFilesClick);
  QMenu* mDel = menu_->addMenu(QStringLiteral("Delete"));
  mDel->setObjectName("mnuDelete");
  add(mDel, "mnuDelDir", QStringLiteral("Delete Folder"), &FrmFiles::DeleteFolderClick);
  add(mDel, "mnuDelFile", QStringLiteral("Delete File(s)"), &FrmFiles::DeleteFilesClick);
  QMenu* mView = menu_->addMenu(QStringLiteral("View"));
  mView->setObjectName("mnuView");
  add(mView, "mnuViewTex", QStringLiteral("View as text"), &FrmFiles::ViewAsTextClick);
  add(mView, "mnuFListToTex", QStringLiteral("File list to text"), &FrmFiles::FileListToTextClick);
  QAction* done = menu_->addAction(QStringLiteral("             Done"));
  done->setObjectName("mnuDone");
  connect(done, &QAction::triggered, this, [this] { DoneClick(); });
  QAction* cancel = menu_->addAction(QStringLiteral("Cancel"));
  cancel->setObjectName("mnuCancel");
  connect(cancel, &QAction::triggered, this, [this] { CancelClick(); });
}

// --- the caller's side ----------------------------------------------------

void FrmFiles::SetStartDir(const std::string& stdir) { startDir_ = stdir; }
void FrmFiles::SetTitle(const std::string& stit) { title_ = stit; }
void FrmFiles::SetFilter(const std::string& sfilt) { filter_ = sfilt; }
void FrmFiles::SetPatterns(const std::string& patt) { patterns_ = patt; }

void FrmFiles::Load() {
  loaded_ = true;
  unloaded_ = false;
  resDir_.clear();
  resFile_.clear();
  setWindowTitle(title_.empty() ? QStringLiteral("File Dialog") : Q(title_));

  RefreshDrives();

  if (filter_.empty()) filter_ = "*.*";
  filling_ = true;
  cboFilter_->clear();
  for (const std::string& p : SplitPatterns(patterns_)) cboFilter_->addItem(Q(p));
  cboFilter_->setCurrentIndex(-1);
  cboFilter_->setEditText(Q(filter_));
  txtFile_->clear();
  filling_ = false;

  // An empty start directory shows the current directory; one that does not
  // exist (any more) its nearest existing parent.
  std::string start = NormalDir(startDir_);
  while (!IsDirectory(start) && start != "/") start = ParentDir(start);
  dir_.clear();
  SetDir(start);
}

int FrmFiles::Show() {
  Load();
  return exec();
}

bool FrmFiles::Choose(QWidget* parent, const std::string& startDir, const std::string& filter,
                      const std::string& patterns, const std::string& title, std::string& dir,
                      std::string& file) {
  FrmFiles dlg(parent);
  dlg.SetStartDir(startDir);
  dlg.SetFilter(filter);
  dlg.SetPatterns(patterns);
  dlg.SetTitle(title);
  dlg.Show();
  dir = dlg.GetResDir();
  file = dlg.GetResFile();
  return !dir.empty() && !file.empty();
}

// --- navigation -----------------------------------------------------------

void FrmFiles::RefreshDrives() {
  mounts_ = SystemMountPoints();
  filling_ = true;
  Drive1_->clear();
  for (const std::string& m : mounts_) Drive1_->addItem(Q(m));
  filling_ = false;
}

void FrmFiles::SetDrive(const std::string& mountPoint) {
  // A drive that cannot be read leaves the directory list where it was.
  if (IsDirectory(mountPoint)) {
    SetDir(mountPoint);
  } else {
    filling_ = true;
    Drive1_->setCurrentIndex(Drive1_->findText(Q(drive_)));
    filling_ = false;
  }
}

void FrmFiles::SetDir(const std::string& dir) {
  const std::string d = NormalDir(dir);
  if (!IsDirectory(d)) return;
  dir_ = d;
  resDir_ = d;
  drive_ = DriveOfPath(d, mounts_);
  filling_ = true;
  Drive1_->setCurrentIndex(Drive1_->findText(Q(drive_)));
  filling_ = false;
  RefreshDirList();
  RefreshFiles();
  txtDir_->setText(Q(d));
}

void FrmFiles::RefreshDirList() {
  filling_ = true;
  Dir1_->clear();
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  // The path from the root down to the current directory, then its
  // subdirectories one step further in.
  std::vector<std::string> chain;
  for (std::string p = dir_;; p = ParentDir(p)) {
    chain.insert(chain.begin(), p);
    if (p == "/") break;
  }
  int depth = 0;
  QListWidgetItem* current = nullptr;
  for (const std::string& p : chain) {
    const std::string name = p == "/" ? "/" : p.substr(p.rfind('/') + 1);
    auto* item = new QListWidgetItem(open, QString(depth * 2, QLatin1Char(' ')) + Q(name));
    item->setData(kPathRole, Q(p));
    Dir1_->addItem(item);
    current = item;
    ++depth;
  }
  for (const std::string& sub : ListSubdirs(dir_)) {
    auto* item = new QListWidgetItem(closed, QString(depth * 2, QLatin1Char(' ')) + Q(sub));
    item->setData(kPathRole, Q(JoinPath(dir_, sub)));
    Dir1_->addItem(item);
  }
  if (current) Dir1_->setCurrentItem(current);
  filling_ = false;
}

void FrmFiles::RefreshFiles() {
  files_ = ListFiles(dir_, CurrentPattern());
  filling_ = true;
  File1_->clear();
  for (const FileEntry& e : files_) File1_->addItem(Q(e.name));
  File1_->setCurrentRow(-1);
  filling_ = false;
}

std::string FrmFiles::CurrentPattern() const { return S(cboFilter_->currentText()); }

void FrmFiles::SetPattern(const std::string& pattern) {
  if (S(cboFilter_->currentText()) != pattern) {
    filling_ = true;
    cboFilter_->setEditText(Q(pattern));
    filling_ = false;
  }
  if (!dir_.empty()) RefreshFiles();
}

std::vector<std::string> FrmFiles::ListedFiles() const {
  std::vector<std::string> out;
  for (int i = 0; i < File1_->count(); ++i) out.push_back(S(File1_->item(i)->text()));
  return out;
}

std::vector<std::string> FrmFiles::PatternChoices() const {
  std::vector<std::string> out;
  for (int i = 0; i < cboFilter_->count(); ++i) out.push_back(S(cboFilter_->itemText(i)));
  return out;
}

std::vector<std::string> FrmFiles::SelectedFiles() const {
  std::vector<std::string> out;
  for (int i = 0; i < File1_->count(); ++i)
    if (File1_->item(i)->isSelected()) out.push_back(S(File1_->item(i)->text()));
  return out;
}

void FrmFiles::ClickFile(int index) {
  if (index < 0 || index >= File1_->count()) return;
  const std::string name = S(File1_->item(index)->text());
  resFile_ = name;
  auto e = StatFile(JoinPath(dir_, name));
  if (!e && static_cast<size_t>(index) < files_.size()) e = files_[static_cast<size_t>(index)];
  txtFile_->setText(e ? Q(FileClickText(*e)) : Q(name));
}

void FrmFiles::DoubleClickFile(int index) {
  if (index < 0 || index >= File1_->count()) return;
  resFile_ = S(File1_->item(index)->text());
  txtFile_->setText(Q(resFile_));
  DoneClick();
}

// --- the menu -------------------------------------------------------------

bool FrmFiles::Confirm(const std::string& text, const std::string& title) {
  if (confirm) return confirm(text, title);
  return QMessageBox::question(this, Q(title), Q(text), QMessageBox::Ok | QMessageBox::Cancel,
                               QMessageBox::Ok) == QMessageBox::Ok;
}

void FrmFiles::Message(const std::string& text) {
  GetUi().MessageBox(text, "File Dialog", MsgIcon::Exclamation);
}

TextWindow* FrmFiles::OpenText(const QString& title, const QString& text, bool editable) {
  // A window of the dialog's own while the dialog is up (a modal dialog
  // blocks every other window); it is handed over to the desktop when the
  // dialog closes.
  auto* w = new TextWindow(title, text, this);
  w->setAttribute(Qt::WA_DeleteOnClose);
  if (editable) {
    if (auto* edit = w->findChild<QPlainTextEdit*>(QStringLiteral("txtText")))
      edit->setReadOnly(false);
  }
  w->PlaceNear(this);
  w->show();
  w->raise();
  w->activateWindow();
  texts_.emplace_back(w);
  return w;
}

std::vector<TextWindow*> FrmFiles::TextWindows() const {
  std::vector<TextWindow*> out;
  for (const auto& p : texts_)
    if (p) out.push_back(p.data());
  return out;
}

void FrmFiles::ReleaseTextWindows() {
  for (const auto& p : texts_) {
    if (!p) continue;
    TextWindow* w = p.data();
    const QPoint pos = w->pos();
    const bool shown = w->isVisible();
    w->setParent(nullptr, w->windowFlags());
    w->move(pos);
    if (shown) w->show();
  }
  texts_.clear();
}

void FrmFiles::NewFolderClick() {
  const std::optional<std::string> answer =
      GetUi().InputBox("Type new directory name.\nCurrent Path:\n" + dir_, "New Directory", "");
  if (!answer || answer->empty()) return;
  std::string path, msg;
  if (NewFolderPath(dir_, *answer, path, msg) < 1) {
    Message(msg);
    return;
  }
  if (!Confirm(path, "Creating...")) return;
  if (CreateFolder(path, msg) < 1) {
    Message(msg);
    return;
  }
  SetDir(path);
}

void FrmFiles::NewTextFileClick() {
  OpenText(QStringLiteral("Untitled - Norvantix"), QString(), true);
}

void FrmFiles::CopyFolderClick() {
  const std::string title = "Copy Folder " + dir_ + " into";
  const std::string dest =
      chooseDir ? chooseDir(title, ParentDir(dir_))
                : S(QFileDialog::getExistingDirectory(this, Q(title), Q(ParentDir(dir_))));
  if (dest.empty()) return;
  std::string msg;
  if (CopyFolderInto(dir_, dest, msg) < 1) {
    Message(msg);
    return;
  }
  RefreshDirList();
}

void FrmFiles::CopyFilesClick() {
  const std::vector<std::string> names = SelectedFiles();
  if (names.empty()) {
    Message("No file selected");
    return;
  }
  const std::string title = "Copy File(s) into";
  const std::string dest = chooseDir
                               ? chooseDir(title, dir_)
                               : S(QFileDialog::getExistingDirectory(this, Q(title), Q(dir_)));
  if (dest.empty()) return;
  const FileOpResult r = CopyFilesInto(dir_, names, dest);
  std::string text;
  for (const std::string& m : r.messages) text += (text.empty() ? "" : "\n") + m;
  if (!text.empty()) Message(text);
  if (r.count > 0 && NormalDir(dest) == dir_) RefreshFiles();
}

void FrmFiles::DeleteFolderClick() {
  if (!Confirm("Delete " + dir_ + " ?", "Deleting...")) return;
  const std::string parent = ParentDir(dir_);
  RemoveEmptyFolder(dir_);  // a folder that is not empty stays
  SetDir(parent);
}

void FrmFiles::DeleteFilesClick() {
  if (!Confirm("Delete selected files?", "Deleting...")) return;
  const FileOpResult r = DeleteFiles(resDir_.empty() ? dir_ : resDir_, SelectedFiles());
  std::string text;
  for (const std::string& m : r.messages) text += (text.empty() ? "" : "\n") + m;
  if (!text.empty()) Message(text);
  if (r.count > 0) RefreshFiles();
}

void FrmFiles::ViewAsTextClick() {
  QListWidgetItem* item = File1_->currentItem();
  if (!item) {
    Message("No file selected");
    return;
  }
  if (!item->isSelected()) return;  // a current entry that is not selected: nothing
  const std::string path = JoinPath(resDir_.empty() ? dir_ : resDir_, S(item->text()));
  QString text;
  if (!StatFile(path) || !ReadTextForView(Q(path), text)) {
    Message("File " + path + " cannot be read");
    return;
  }
  OpenText(Q(path) + QStringLiteral(" - Norvantix"), text, false);
}

std::string FrmFiles::ListingText() const {
  const std::string sep = S(QLocale().groupSeparator());
  return FileListing(S(txtDir_->text()), S(cboFilter_->currentText()), files_,
                     sep.empty() ? "," : sep);
}

void FrmFiles::FileListToTextClick() {
  const QString listing = Q(ListingText());
  QApplication::clipboard()->setText(listing);
  QString shown = listing;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  OpenText(QStringLiteral("File list - Norvantix"), shown, false);
}

void FrmFiles::DoneClick() { done(QDialog::Accepted); }

void FrmFiles::CancelClick() {
  resDir_.clear();
  resFile_.clear();
  done(QDialog::Rejected);
}

void FrmFiles::Unload() {
  if (!loaded_ || unloaded_) return;
  unloaded_ = true;
  startDir_.clear();
  title_.clear();
  filter_.clear();
  patterns_.clear();
  ReleaseTextWindows();
}

void FrmFiles::done(int r) {
  // The close box comes here as a rejection too: it behaves like "Done".
  Unload();
  QDialog::done(r);
}

// --- layout ---------------------------------------------------------------

void FrmFiles::PlaceControls() {
  const int boxTwips =
      std::max(Drive1_->sizeHint().height(), txtDir_->sizeHint().height()) * kTwipsPerPixel;
  const FilesGeometry g =
      FilesLayout(client_->width() * kTwipsPerPixel, client_->height() * kTwipsPerPixel,
                  std::min(boxTwips, 400 - 40));
  Drive1_->setGeometry(ToPixels(g.drive));
  Dir1_->setGeometry(ToPixels(g.dir));
  txtDir_->setGeometry(ToPixels(g.dirText));
  cboFilter_->setGeometry(ToPixels(g.filter));
  File1_->setGeometry(ToPixels(g.files));
  txtFile_->setGeometry(ToPixels(g.fileText));
}

bool FrmFiles::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_ && event->type() == QEvent::Resize) PlaceControls();
  return QDialog::eventFilter(watched, event);
}

}  // namespace nvx
