// Helpers shared by the test programs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ovrix::test {

// A fresh directory per test, removed afterwards. It is also made the
// library's temporary directory (TMPDIR) for the test, so placeholder files
// land in it.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Path of `name` inside the directory.
  std::string Path(const std::string& name) const;
  std::string dir_;

 private:
  std::string savedTmpdir_;
  bool hadTmpdir_ = false;
};

std::vector<uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);
int64_t FileSize(const std::string& path);

int32_t BE32(const std::vector<uint8_t>& b, size_t at);
int32_t LE32(const std::vector<uint8_t>& b, size_t at);
double LEDouble(const std::vector<uint8_t>& b, size_t at);
void PutBE32(std::vector<uint8_t>& b, size_t at, int32_t v);
void PutLE32(std::vector<uint8_t>& b, size_t at, int32_t v);
void PutLEDouble(std::vector<uint8_t>& b, size_t at, double v);

}  // namespace ovrix::test
