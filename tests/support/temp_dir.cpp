#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace nvx::test {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "nvx-test-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void TempDir::write(const std::string& name, const std::string& text) const {
  std::string crlf;
  for (char c : text) {
    if (c == '\n') crlf += "\r\n";
    else crlf += c;
  }
  writeRaw(name, crlf);
}

void TempDir::writeRaw(const std::string& name, const std::string& bytes) const {
  std::ofstream f(path_ + name, std::ios::binary | std::ios::trunc);
  f << bytes;
}

std::string TempDir::read(const std::string& name) const {
  std::ifstream f(path_ + name, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void TempDir::copyFrom(const std::string& dir) const {
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    if (e.is_regular_file()) {
      std::filesystem::copy_file(e.path(), path_ + e.path().filename().string(),
                                 std::filesystem::copy_options::overwrite_existing);
    }
  }
}

}  // namespace nvx::test
