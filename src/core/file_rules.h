// The rules of the file dialog frmFiles that need no window: file name
// patterns, the pattern choices, the file list and directory list contents,
// the listing of "File list to text" with its columns and formats, the
// mounted file systems that serve as drives, and the folder and file
// operations of its menu with their refusals.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nvx {

// A file's modification time in local time.
struct FileTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;
};

struct FileEntry {
  std::string name;
  uint64_t size = 0;
  FileTime time;
};

// --- patterns ---
// A pattern matches a whole file name, without regard to case: '*' is any
// run of characters, '?' any one character. Several patterns may be given
// separated by ';' ("*.PRG;*.TXT"). "*.*" matches every name, also one
// without a dot; likewise "NAME.*" matches "NAME". An empty pattern matches
// every name.
bool MatchPattern(std::string_view name, std::string_view pattern);

// The choices of the pattern box from a pattern list: every blank ends one
// choice ("*.PRG *.*" gives two; two blanks in a row give an empty choice).
std::vector<std::string> SplitPatterns(std::string_view patterns);

// --- texts ---
// Right-aligned in a field: blanks before the text up to the width (in
// characters of the UTF-8 text); a longer text is neither padded nor cut.
std::string PadLeft(std::string_view text, size_t width);
// The length in the form "###,###": digits grouped by thousands with the
// separator; 0 gives the empty text.
std::string GroupedSize(uint64_t size, std::string_view separator = ",");
// "mm-dd-yyyy hh:mmAM/PM", e.g. "03-07-2026 09:05PM", "01-01-2026 12:00AM".
std::string ListingDate(const FileTime& t);
// The general date-time text: "3/7/2026 9:05:04 PM".
std::string GeneralDate(const FileTime& t);
// What the file box shows after a click on an entry: name, blank, general
// date-time, blank, length in bytes.
std::string FileClickText(const FileEntry& e);

// One line of the listing (without line end): the name right-aligned in 30,
// the grouped length in 12, the listing date in 20.
std::string ListingLine(const FileEntry& e, std::string_view separator = ",");
// The whole listing: directory joined with the pattern, CR LF, then for
// every entry CR LF and its line; no line end after the last entry.
std::string FileListing(std::string_view dirText, std::string_view patternText,
                        const std::vector<FileEntry>& entries, std::string_view separator = ",");

// --- paths ---
// dir + "/" + name without a doubled '/' ("/" + "a" is "/a").
std::string JoinPath(std::string_view dir, std::string_view name);
// The parent directory ("/a/b" -> "/a", "/a" -> "/", "/" -> "/"); a
// trailing '/' is ignored.
std::string ParentDir(std::string_view dir);
// The directory made absolute and free of "." and ".." steps and doubled or
// trailing slashes, without following links. Relative paths are taken from
// the current directory.
std::string NormalDir(std::string_view dir);

// --- directory contents ---
// The regular files (links to regular files too) of a directory that match
// the pattern, hidden ones (leading '.') left out, ordered by name without
// regard to case. An unreadable directory gives an empty list.
std::vector<FileEntry> ListFiles(const std::string& dir, std::string_view pattern);
// The subdirectories (links to directories too), hidden ones left out, in
// the same order.
std::vector<std::string> ListSubdirs(const std::string& dir);
// One file's entry; nullopt when the path holds no regular file.
std::optional<FileEntry> StatFile(const std::string& path);
bool IsDirectory(const std::string& path);

// --- drives: the mounted file systems ---
// The mount points of real file systems in /proc/self/mounts text: disk and
// network file systems, and anything mounted from a /dev/ device; kernel
// and memory file systems (proc, sysfs, cgroup, tmpfs, devpts, ...) are left
// out. "/" always comes first; octal escapes ("\040") are decoded; each
// point once, in the order of the text.
std::vector<std::string> RealMountPoints(std::string_view mountsText);
// The mount points of this system (from /proc/self/mounts).
std::vector<std::string> SystemMountPoints();
// The drive of a path: the longest mount point that holds it ("/" when
// none does).
std::string DriveOfPath(std::string_view path, const std::vector<std::string>& mounts);

// --- the menu's operations ---
// Results carry the count of things done and a message per refusal.
struct FileOpResult {
  int count = 0;
  std::vector<std::string> messages;
};

// "Folder": the path of a new directory named by the answer in dir. 0 for an
// empty answer (nothing to do), -1 with a message for a name that is not a
// single directory name ("a/b", ".", "..") or names an existing entry, 1
// with the path otherwise.
int16_t NewFolderPath(const std::string& dir, const std::string& answer, std::string& path,
                      std::string& message);
// Creates one directory: 1, or -1 with a message when it exists already or
// cannot be created.
int16_t CreateFolder(const std::string& path, std::string& message);
// "Delete Folder": removes the directory only when it is empty; every error
// is ignored (true when it was removed). Never removes anything inside it.
bool RemoveEmptyFolder(const std::string& dir);
// "Delete File(s)": deletes dir/name for each name that holds a regular file
// (or a link, which is removed itself). Names that no longer exist are
// skipped silently; a write-protected file (no write permission for its
// owner) or one that cannot be deleted gets a message and stays. Names with
// a '/' are refused.
FileOpResult DeleteFiles(const std::string& dir, const std::vector<std::string>& names);
// "Copy Folder": copies dir with everything in it into destParent under its
// own name. -1 with a message when the target exists, lies inside dir, or
// the copy fails (a partial copy is removed again); 1 on success.
int16_t CopyFolderInto(const std::string& dir, const std::string& destParent, std::string& message);
// "Copy File(s)": copies dir/name into destDir for each name; an existing
// target is not replaced (message), nor is a file copied onto itself.
FileOpResult CopyFilesInto(const std::string& dir, const std::vector<std::string>& names,
                           const std::string& destDir);

}  // namespace nvx
