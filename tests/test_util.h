// Helpers shared by the test programs: a scratch directory per test, and bytes.h.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

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

#ifdef OVRIX_TOOL
#include <sys/wait.h>
// Runs the command-line tool with `args` (shell words): its exit status and standard output.
inline std::pair<int, std::string> Ovrix(const std::string& args) {
  std::string out, cmd = std::string(OVRIX_TOOL) + " " + args + " 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return {-1, ""};
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  const int status = pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}
#endif

}  // namespace ovrix::test
