#include "test_util.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace ovrix::test {

void TempDirTest::SetUp() {
  const char* base = std::getenv("OVRIX32_TEST_TMP");
  std::string root = base != nullptr ? base : std::filesystem::temp_directory_path().string();
  std::string pattern = root + "/ovrix32-test-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  ASSERT_NE(mkdtemp(buf.data()), nullptr);
  dir_ = buf.data();
  const char* old = std::getenv("TMPDIR");
  hadTmpdir_ = old != nullptr;
  if (hadTmpdir_) savedTmpdir_ = old;
  setenv("TMPDIR", dir_.c_str(), 1);
}

void TempDirTest::TearDown() {
  if (hadTmpdir_)
    setenv("TMPDIR", savedTmpdir_.c_str(), 1);
  else
    unsetenv("TMPDIR");
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string TempDirTest::Path(const std::string& name) const { return dir_ + "/" + name; }

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

int32_t BE32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int32_t>(uint32_t(b.at(at)) << 24 | uint32_t(b.at(at + 1)) << 16 |
                              uint32_t(b.at(at + 2)) << 8 | uint32_t(b.at(at + 3)));
}

int32_t LE32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int32_t>(uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8 |
                              uint32_t(b.at(at + 2)) << 16 | uint32_t(b.at(at + 3)) << 24);
}

double LEDouble(const std::vector<uint8_t>& b, size_t at) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | b.at(at + static_cast<size_t>(i));
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

void PutBE32(std::vector<uint8_t>& b, size_t at, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) b.at(at + static_cast<size_t>(i)) = static_cast<uint8_t>(u >> (24 - 8 * i));
}

void PutLE32(std::vector<uint8_t>& b, size_t at, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) b.at(at + static_cast<size_t>(i)) = static_cast<uint8_t>(u >> (8 * i));
}

void PutLEDouble(std::vector<uint8_t>& b, size_t at, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  for (int i = 0; i < 8; ++i) b.at(at + static_cast<size_t>(i)) = static_cast<uint8_t>(bits >> (8 * i));
}

}  // namespace ovrix::test
