// A temporary directory removed with everything in it at the end of scope.
#pragma once

#include <string>

namespace nvx::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // With a trailing '/'.
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + name; }
  // Writes text with each '\n' turned into CR LF.
  void write(const std::string& name, const std::string& text) const;
  void writeRaw(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  // Copies every file of another directory (not recursive).
  void copyFrom(const std::string& dir) const;

 private:
  std::string path_;
};

}  // namespace nvx::test
