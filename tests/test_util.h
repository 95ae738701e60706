// Helpers shared by the test programs: a scratch directory per test, and bytes.h.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "bytes.h"
#include "platform/platform.h"

namespace ovrix::test {

// A fresh directory per test, removed afterwards; it is the library's temporary directory (TMPDIR)
// meanwhile, so placeholder files land in it.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("TMPDIR")) saved_ = old;
    dir_ = MakeTempDir(std::filesystem::temp_directory_path().string() + "/ovrix32-test");
    ASSERT_NE(dir_, "");
    SetEnv("TMPDIR", dir_.c_str());
    // Placeholders go to the platform's temporary directory (C:\TEMP\ on Windows): it must exist.
    std::error_code ec;
    std::filesystem::create_directories(platform::TempDirectory(), ec);
  }
  void TearDown() override {
    SetEnv("TMPDIR", saved_ ? saved_->c_str() : nullptr);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) const { return std::string(dir_).append("/" + name); }
  std::string dir_;

 private:
  std::optional<std::string> saved_;
};

}  // namespace ovrix::test
