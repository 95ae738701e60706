// Helpers shared by the test programs: a scratch directory per test, and bytes.h.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "bytes.h"

namespace ovrix::test {

// A fresh directory per test, removed afterwards; it is the library's temporary directory (TMPDIR)
// meanwhile, so placeholder files land in it.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("TMPDIR")) saved_ = old;
    dir_ = std::filesystem::temp_directory_path().string() + "/ovrix32-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir_.data()), nullptr);
    setenv("TMPDIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    saved_ ? setenv("TMPDIR", saved_->c_str(), 1) : unsetenv("TMPDIR");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) const { return std::string(dir_).append("/" + name); }
  std::string dir_;

 private:
  std::optional<std::string> saved_;
};

}  // namespace ovrix::test
