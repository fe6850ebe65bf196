// The program's own file dialog frmFiles: drive selector Drive1 (the mounted
// file systems), directory list Dir1, txtDir, file list File1 with the
// pattern of cboFilter, txtFile, and a menu of small file operations. The
// caller sets the start directory, title, pattern and pattern list, shows the
// dialog modally and then reads the chosen directory and file name.
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

#include "core/file_rules.h"

class QAction;
class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenuBar;

namespace nvx {

class TextWindow;

class FrmFiles : public QDialog {
  Q_OBJECT
 public:
  explicit FrmFiles(QWidget* parent = nullptr);
  ~FrmFiles() override;

  // --- set by the caller before showing; cleared when the window unloads ---
  void SetStartDir(const std::string& stdir);
  void SetTitle(const std::string& stit);
  void SetFilter(const std::string& sfilt);
  void SetPatterns(const std::string& patt);
  // --- read by the caller afterwards ---
  std::string GetResDir() const { return resDir_; }
  std::string GetResFile() const { return resFile_; }

  // Loading (results cleared, caption, drive, pattern and its choices, the
  // start directory). Show = Load and run modally until closed.
  void Load();
  int Show();

  // The one-call form the callers use: true when both a directory and a
  // file name were chosen.
  static bool Choose(QWidget* parent, const std::string& startDir, const std::string& filter,
                     const std::string& patterns, const std::string& title, std::string& dir,
                     std::string& file);

  // --- navigation (what the controls do) ---
  void SetDrive(const std::string& mountPoint);
  void SetDir(const std::string& dir);  // Dir1's path; refreshes
  std::string CurrentDir() const { return dir_; }
  std::string CurrentPattern() const;
  void SetPattern(const std::string& pattern);  // as typed into cboFilter
  std::vector<std::string> ListedFiles() const;
  std::vector<std::string> PatternChoices() const;
  std::vector<std::string> SelectedFiles() const;
  void ClickFile(int index);        // a click on an entry of File1
  void DoubleClickFile(int index);  // a double-click: choose and close

  // --- the menu ---
  void NewFolderClick();
  void NewTextFileClick();
  void CopyFolderClick();
  void CopyFilesClick();
  void DeleteFolderClick();
  void DeleteFilesClick();
  void ViewAsTextClick();
  void FileListToTextClick();
  void DoneClick();
  void CancelClick();

  // The listing of "File list to text" for what the dialog shows now.
  std::string ListingText() const;

  // Questions with OK and Cancel (true for OK): a Qt message box unless a
  // test answers them.
  std::function<bool(const std::string& text, const std::string& title)> confirm;
  // The directory to copy into (empty: cancelled): a Qt directory chooser
  // unless a test answers.
  std::function<std::string(const std::string& title, const std::string& start)> chooseDir;
  // The text windows this dialog opened that are still open.
  std::vector<TextWindow*> TextWindows() const;

 public slots:
  void done(int r) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenu();
  void RefreshDrives();
  void RefreshDirList();
  void RefreshFiles();
  void PlaceControls();
  void Unload();
  void ReleaseTextWindows();
  bool Confirm(const std::string& text, const std::string& title);
  void Message(const std::string& text);
  TextWindow* OpenText(const QString& title, const QString& text, bool editable);

  QMenuBar* menu_ = nullptr;
  QWidget* client_ = nullptr;
  QComboBox* Drive1_ = nullptr;
  QListWidget* Dir1_ = nullptr;
  QLineEdit* txtDir_ = nullptr;
  QListWidget* File1_ = nullptr;
  QLineEdit* txtFile_ = nullptr;
  QComboBox* cboFilter_ = nullptr;

  std::string startDir_, title_, filter_, patterns_;
  std::string resDir_, resFile_;
  std::string dir_;
  std::string drive_;
  std::vector<std::string> mounts_;
  std::vector<FileEntry> files_;
  std::vector<QPointer<TextWindow>> texts_;
  bool loaded_ = false;
  bool unloaded_ = false;
  bool filling_ = false;
};

}  // namespace nvx
