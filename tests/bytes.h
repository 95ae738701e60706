// Whole files and the byte fields in them, for the test programs and the fuzz targets alike (no
// test framework needed).
#pragma once

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace ovrix::test {
using Buf = std::vector<uint8_t>;

inline Buf ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline void WriteFile(const std::string& path, const Buf& b) {
  std::ofstream(path, std::ios::binary).write((const char*)b.data(), std::streamsize(b.size()));
}
// "" when the file holds exactly `want`, else where it first differs.
inline std::string FileDiff(const std::string& path, const Buf& want) {
  const Buf got = ReadFile(path);
  size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  if (i == got.size() && i == want.size()) return "";
  using std::to_string;
  return "size " + to_string(got.size()) + " not " + to_string(want.size()) + " at " + to_string(i);
}
inline int64_t FileSize(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? -1 : int64_t(size);
}
// A new directory `base`-<number>; "" when none can be made.
inline std::string MakeTempDir(const std::string& base) {
  std::error_code ec;
  for (unsigned n = std::random_device{}(), tries = 0; tries < 100; ++n, ++tries)
    if (const std::string d = base + "-" + std::to_string(n); std::filesystem::create_directory(d, ec)) return d;
  return "";
}
// Sets an environment variable; a null value removes it.
inline void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value != nullptr ? value : "");
#else
  value != nullptr ? setenv(name, value, 1) : unsetenv(name);
#endif
}
inline bool FileExists(const std::string& path) { return FileSize(path) >= 0; }

// Integer and double fields of n bytes at `at`, little- or big-endian.
inline uint64_t Get(const Buf& b, size_t at, int n, bool big) {
  uint64_t v = 0;
  for (int i = 0; i < n; ++i) v |= uint64_t{b.at(at + size_t(i))} << 8 * (big ? n - 1 - i : i);
  return v;
}
inline void Put(Buf& b, size_t at, uint64_t v, int n, bool big) {
  for (int i = 0; i < n; ++i) b.at(at + size_t(i)) = uint8_t(v >> 8 * (big ? n - 1 - i : i));
}
inline int32_t BE32(const Buf& b, size_t at) { return int32_t(Get(b, at, 4, true)); }
inline int32_t LE32(const Buf& b, size_t at) { return int32_t(Get(b, at, 4, false)); }
inline double LEDouble(const Buf& b, size_t at) { return std::bit_cast<double>(Get(b, at, 8, 0)); }
inline void PutBE32(Buf& b, size_t at, int32_t v) { Put(b, at, uint32_t(v), 4, true); }
inline void PutLE32(Buf& b, size_t at, int32_t v) { Put(b, at, uint32_t(v), 4, false); }
inline void PutLEDouble(Buf& b, size_t i, double d) { Put(b, i, std::bit_cast<uint64_t>(d), 8, 0); }

// File fields appended in order: big- and little-endian 32-bit integers, little-endian doubles.
class Bytes {
 public:
  Bytes& BE(int32_t v) { return Add(uint32_t(v), 4, true); }
  Bytes& LE(int32_t v) { return Add(uint32_t(v), 4, false); }
  Bytes& D(double v) { return Add(std::bit_cast<uint64_t>(v), 8, false); }
  Bytes& Raw(const Buf& v) { return b_.insert(b_.end(), v.begin(), v.end()), *this; }
  const Buf& bytes() const { return b_; }

 private:
  Bytes& Add(uint64_t v, int n, bool big) {
    b_.resize(b_.size() + size_t(n));
    Put(b_, b_.size() - size_t(n), v, n, big);
    return *this;
  }
  Buf b_;
};

}  // namespace ovrix::test
