#include "core/file_rules.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace nvx {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(FilePatternTest, Matching) {
  struct Case {
    const char* name;
    const char* pattern;
    bool match;
  };
  // clang-format off
  const Case cases[] = {
      {"PROG.PRG", "*.PRG", true}, {"prog.prg", "*.PRG", true},  // without regard to case
      {"PROG.PRGX", "*.PRG", false}, {"PROG.TXT", "*.PRG", false},
      {"README", "*.*", true}, {"a.b.c", "*.*", true},  // "*.*" takes names without a dot
      {"ZR_PARW1.TXT", "ZR_PARW1*.TXT", true}, {"ZR_PARW1_OLD.TXT", "ZR_PARW1*.TXT", true},
      {"ZR_PARW2.TXT", "ZR_PARW1*.TXT", false}, {"A1.TXT", "A?.TXT", true},
      {"A12.TXT", "A?.TXT", false}, {"X.TXT", "*.PRG;*.TXT", true}, {"X.DAT", "*.PRG; *.TXT", false},
      {"X.TXT", "*.PRG; *.TXT", true}, {"NAME", "NAME.*", true}, {"NAMES", "NAME.*", false},
      {"anything", "", true}, {"abc", "a*b*c", true}, {"abxc", "a*b*c", true},
      {"acb", "a*b*c", false}, {"", "*", true},
      {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*c", false},
  };
  // clang-format on
  for (const Case& c : cases)
    EXPECT_EQ(MatchPattern(c.name, c.pattern), c.match) << c.name << " ~ " << c.pattern;
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitPatterns("*.PRG *.*"), (V{"*.PRG", "*.*"}));
  EXPECT_EQ(SplitPatterns("a  b"), (V{"a", "", "b"}));
  EXPECT_EQ(SplitPatterns("a "), (V{"a", ""}));
  EXPECT_EQ(SplitPatterns(""), (V{""}));
}

TEST(FileTextTest, SizesDatesPaddingAndTheListing) {
  // clang-format off
  const std::pair<uint64_t, const char*> sizes[] = {{0, ""}, {999, "999"}, {1000, "1,000"},
      {123456, "123,456"}, {1234567, "1,234,567"},
      {18446744073709551615ull, "18,446,744,073,709,551,615"}};
  const struct { FileTime t; const char *listing, *general; } dates[] = {
      {{2026, 3, 7, 21, 5, 4}, "03-07-2026 09:05PM", "3/7/2026 9:05:04 PM"},
      {{2026, 1, 1, 0, 0, 0}, "01-01-2026 12:00AM", "1/1/2026 12:00:00 AM"},
      {{1999, 12, 31, 12, 59, 59}, "12-31-1999 12:59PM", "12/31/1999 12:59:59 PM"}};
  // Widths count characters, not bytes of the UTF-8 text.
  const std::pair<std::string, std::string> pads[] = {{"ab", "   ab"}, {"abcde", "abcde"},
      {"abcdef", "abcdef"}, {"", "     "}, {"Gr\xC3\xB6\xC3\x9F", " Gr\xC3\xB6\xC3\x9F"},
      {"a\xE2\x80\xAFz", "  a\xE2\x80\xAFz"},
      {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"}};
  // clang-format on
  for (const auto& [size, text] : sizes) EXPECT_EQ(GroupedSize(size), text) << size;
  EXPECT_EQ(GroupedSize(1234567, "."), "1.234.567");
  for (const auto& d : dates)
    EXPECT_EQ(ListingDate(d.t) + "|" + GeneralDate(d.t), std::string(d.listing) + "|" + d.general);
  for (const auto& [in, out] : pads) EXPECT_EQ(PadLeft(in, 5), out) << in;

  // The listing's columns, with long names and non-ASCII text.
  const std::string longName(35, 'n');
  const std::vector<FileEntry> entries{
      {"B.DAT", 1234567, {2001, 2, 3, 4, 5, 6}},
      {longName, 999, {2020, 11, 12, 13, 14, 15}},
  };
  const std::string expected = std::string("/x/*.*\r\n") + "\r\n" + std::string(25, ' ') + "B.DAT" +
                               "   1,234,567" + "  02-03-2001 04:05AM" + "\r\n" + longName +
                               "         999" + "  11-12-2020 01:14PM";
  EXPECT_EQ(FileListing("/x/", "*.*", entries), expected);
  EXPECT_EQ(FileListing("/", "*.*", {}), "/*.*\r\n");
  // A name with two two-byte characters and a three-byte group separator:
  // every column still ends at 30, 42 and 62 characters.
  const FileEntry e{"\xC3\xA4\xC3\xB6.TXT", 1234567, {2026, 1, 2, 3, 4, 5}};
  const std::string nnbsp = "\xE2\x80\xAF";
  EXPECT_EQ(ListingLine(e, nnbsp), std::string(24, ' ') + "\xC3\xA4\xC3\xB6.TXT   1" + nnbsp +
                                       "234" + nnbsp + "567  01-02-2026 03:04AM");
}

TEST(FilePathTest, JoinParentNormalMountPointsAndDrives) {
  // clang-format off
  const std::pair<std::string, const char*> rows[] = {
      {JoinPath("/a", "b"), "/a/b"}, {JoinPath("/a/", "b"), "/a/b"}, {JoinPath("/", "b"), "/b"},
      {JoinPath("", "b"), "/b"}, {ParentDir("/a/b"), "/a"}, {ParentDir("/a/b/"), "/a"},
      {ParentDir("/a"), "/"}, {ParentDir("/"), "/"}, {NormalDir("/a/./b/../c/"), "/a/c"},
      {NormalDir("//"), "/"}, {NormalDir("/.."), "/"}};
  // clang-format on
  for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(rows[i].first, rows[i].second) << i;

  // The real file systems' mount points, and the drive of a path.
  const std::string mounts =
      "overlay / overlay rw,relatime 0 0\nproc /proc proc rw 0 0\ntmpfs /dev tmpfs rw 0 0\n"
      "devpts /dev/pts devpts rw 0 0\nsysfs /sys sysfs ro 0 0\n"
      "cgroup /sys/fs/cgroup cgroup2 ro 0 0\n/dev/vda1 /work ext4 rw 0 0\n"
      "/dev/sdb1 /media/usb\\040stick vfat rw 0 0\nserver:/export /mnt/nfs nfs4 rw 0 0\n"
      "tmpfs /run tmpfs rw 0 0\n/dev/vda1 /work ext4 rw 0 0\ngarbage\n\n"
      "/dev/sdc1 relative ext4 rw 0 0\n";
  EXPECT_EQ(RealMountPoints(mounts),
            (std::vector<std::string>{"/", "/work", "/media/usb stick", "/mnt/nfs"}));
  EXPECT_EQ(RealMountPoints(""), (std::vector<std::string>{"/"}));
  const auto sys = SystemMountPoints();
  ASSERT_FALSE(sys.empty());
  EXPECT_EQ(sys[0], "/");
  const std::vector<std::string> points{"/", "/work", "/work/main", "/mnt"};
  const std::pair<const char*, const char*> drives[] = {{"/work/main/src", "/work/main"},
                                                        {"/work/other", "/work"},
                                                        {"/workshop", "/"},
                                                        {"/mnt", "/mnt"}};
  for (const auto& [path, drive] : drives) EXPECT_EQ(DriveOfPath(path, points), drive) << path;
}

// One program directory in turn: listing, new folders, deleting, copying.
TEST(FileOpsTest, ListCreateDeleteAndCopy) {
  TempDir tmp;
  std::string dir = tmp.path();
  dir.pop_back();  // the dialogs give a directory without its '/'
  tmp.writeRaw("b.PRG", "x");
  tmp.writeRaw("A.prg", "");
  tmp.writeRaw("c.txt", "1234");
  tmp.writeRaw(".hidden.PRG", "");
  fs::create_directory(tmp.file("Sub"));
  fs::create_directory(tmp.file("another"));
  fs::create_directory(tmp.file(".git"));
  fs::create_symlink(tmp.file("c.txt"), tmp.file("link.txt"));
  fs::create_symlink(tmp.file("nowhere"), tmp.file("broken.txt"));

  const auto prg = ListFiles(dir, "*.PRG");
  ASSERT_EQ(prg.size(), 2u);
  EXPECT_EQ(prg[0].name, "A.prg");
  EXPECT_EQ(prg[1].name, "b.PRG");
  EXPECT_EQ(prg[1].size, 1u);

  const auto all = ListFiles(dir, "*.*");
  std::vector<std::string> names;
  for (const auto& e : all) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"A.prg", "b.PRG", "c.txt", "link.txt"}));
  EXPECT_EQ(all[3].size, 4u);

  EXPECT_EQ(ListSubdirs(dir), (std::vector<std::string>{"another", "Sub"}));
  EXPECT_TRUE(ListFiles(tmp.file("none"), "*.*").empty());
  EXPECT_TRUE(ListSubdirs(tmp.file("none")).empty());
  EXPECT_FALSE(StatFile(dir).has_value());  // a folder is no file

  tmp.writeRaw("f", "");
  fs::create_directory(tmp.file("d"));
  // A message "@..." names the program directory first.
  const std::tuple<const char*, int16_t, const char*> cases[] = {
      {"", 0, ""},
      {"new", 1, ""},
      {"d", -1, "Folder @d already exists"},
      {"f", -1, "A file named @f already exists"},
      {"a/b", -1, "a/b is not a valid folder name"},
      {"..", -1, ".. is not a valid folder name"},
      {".", -1, ". is not a valid folder name"},
  };
  for (const auto& [answer, result, message] : cases) {
    std::string path, msg, m = message;
    if (m.find('@') != std::string::npos) m.replace(m.find('@'), 1, tmp.path());
    EXPECT_EQ(NewFolderPath(dir, answer, path, msg), result) << answer;
    EXPECT_EQ(msg, m);
    EXPECT_EQ(path, result == 1 ? tmp.file(answer) : "") << answer;
  }
  std::string msg;
  EXPECT_EQ(CreateFolder(tmp.file("new"), msg), 1);
  EXPECT_TRUE(fs::is_directory(tmp.file("new")));
  EXPECT_EQ(CreateFolder(tmp.file("new"), msg), -1);
  EXPECT_EQ(msg, "Folder " + tmp.file("new") + " already exists");
  EXPECT_EQ(CreateFolder(tmp.file("no/such/x"), msg), -1);
  EXPECT_EQ(msg, "Folder " + tmp.file("no/such/x") + " could not be created");

  tmp.writeRaw("a", "1");
  tmp.writeRaw("b", "2");
  tmp.writeRaw("ro", "3");
  ASSERT_EQ(chmod(tmp.file("ro").c_str(), 0444), 0);
  const FileOpResult deleted = DeleteFiles(dir, {"a", "gone", "ro", "d", "../x", "b"});
  EXPECT_EQ(deleted.count, 2);
  EXPECT_EQ(deleted.messages,
            (std::vector<std::string>{"File " + tmp.file("ro") + " is write-protected",
                                      tmp.file("d") + " is a folder, not a file",
                                      "../x is not a file name"}));
  EXPECT_FALSE(fs::exists(tmp.file("a")));
  EXPECT_FALSE(fs::exists(tmp.file("b")));
  EXPECT_TRUE(fs::exists(tmp.file("ro")));
  EXPECT_TRUE(fs::exists(tmp.file("d")));
  EXPECT_EQ(DeleteFiles(dir, {}).count, 0);
  // Folders: only empty ones go.
  tmp.writeRaw("d/x", "data");
  EXPECT_FALSE(RemoveEmptyFolder(tmp.file("d")));
  EXPECT_TRUE(fs::exists(tmp.file("d/x")));
  fs::remove(tmp.file("d/x"));
  EXPECT_TRUE(RemoveEmptyFolder(tmp.file("d")));
  EXPECT_FALSE(fs::exists(tmp.file("d")));
  for (const std::string& path : {tmp.file("d"), std::string("/"), std::string()})
    EXPECT_FALSE(RemoveEmptyFolder(path)) << path;

  fs::create_directories(tmp.file("src/sub"));
  tmp.writeRaw("src/sub/f", "abc");
  fs::create_directory(tmp.file("dest"));
  EXPECT_EQ(CopyFolderInto(tmp.file("src"), tmp.file("dest"), msg), 1) << msg;
  EXPECT_EQ(tmp.read("dest/src/sub/f"), "abc");
  EXPECT_TRUE(fs::exists(tmp.file("src/sub/f")));

  EXPECT_EQ(CopyFolderInto(tmp.file("src"), tmp.file("dest"), msg), -1);
  EXPECT_EQ(msg, "Folder " + tmp.file("dest/src") + " already exists");

  EXPECT_EQ(CopyFolderInto(tmp.file("src"), tmp.file("src/sub"), msg), -1);
  EXPECT_EQ(msg, "Folder " + tmp.file("src") + " cannot be copied into itself");
  EXPECT_FALSE(fs::exists(tmp.file("src/sub/src")));

  EXPECT_EQ(CopyFolderInto(tmp.file("src"), tmp.file("none"), msg), -1);
  EXPECT_EQ(msg, "Folder " + tmp.file("none") + " does not exist");
  EXPECT_EQ(CopyFolderInto("/", tmp.file("dest"), msg), -1);

  // Files: an existing target stays as it was.
  tmp.writeRaw("a", "1");
  tmp.writeRaw("b", "2");
  tmp.writeRaw("dest/b", "old");
  const FileOpResult copied = CopyFilesInto(dir, {"a", "b", "gone"}, tmp.file("dest"));
  EXPECT_EQ(copied.count, 1);
  EXPECT_EQ(copied.messages,
            (std::vector<std::string>{"File " + tmp.file("dest/b") + " already exists"}));
  EXPECT_EQ(tmp.read("dest/a"), "1");
  EXPECT_EQ(tmp.read("dest/b"), "old");
  // Onto itself: the target exists, nothing changes.
  const FileOpResult self = CopyFilesInto(dir, {"a"}, dir);
  EXPECT_EQ(self.count, 0);
  EXPECT_EQ(tmp.read("a"), "1");
  EXPECT_EQ(CopyFilesInto(dir, {"a"}, tmp.file("none")).messages.size(), 1u);
}

}  // namespace
}  // namespace nvx
