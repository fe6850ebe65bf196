// Shared pieces of the parameter file tests: the recording Ui installed, a
// scratch program directory as the current parameter directory, file helpers.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "params/trapar.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace nvx::test {

class ParamsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = tmp_.path();
    SetParDir(dir_);
    SetParFile("TEST.TXT");
    CurParList().clear();
  }
  void TearDown() override { CurParList().clear(); }
  std::string Path(const std::string& name) const { return tmp_.file(name); }
  void Put(const std::string& name, const std::string& bytes) const { tmp_.writeRaw(name, bytes); }
  std::string Get(const std::string& name) const { return tmp_.read(name); }
  size_t FilesInDir() const {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_)) ++n;
    return n;
  }

  TempDir tmp_;
  std::string dir_;
  RecordingUi ui_;
  ScopedUi scoped_{ui_};
};

inline std::string Text(const ParValue& v) {
  const std::string* s = std::get_if<std::string>(&v);
  return s ? *s : std::string("<number>");
}

}  // namespace nvx::test
