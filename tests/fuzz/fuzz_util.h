// Helpers shared by the fuzz targets: a private scratch directory, a reader
// that turns fuzz input into values, hard checks, and a watch on how much
// memory the library allocates while it reads a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ovrix::fuzz {

// Aborts with a message when `cond` is false: a fuzz target reports a wrong
// result the same way as a crash, so that libFuzzer keeps the input.
#define FUZZ_CHECK(cond) ::ovrix::fuzz::Check((cond), #cond, __FILE__, __LINE__)
void Check(bool cond, const char* what, const char* file, int line);

// A scratch directory for this process, removed at exit. It is also made the
// library's temporary directory, so placeholder files land in it.
const std::string& ScratchDir();
std::string ScratchPath(const std::string& name);
void WriteBytes(const std::string& path, const uint8_t* data, size_t size);
std::vector<uint8_t> ReadBytes(const std::string& path);

// Consumes the fuzz input front to back; past the end every value is 0.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return pos_ >= size_; }
  size_t Remaining() const { return pos_ < size_ ? size_ - pos_ : 0; }
  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  int32_t I32() { return static_cast<int32_t>(U32()); }
  double Double();  // any bit pattern, NaNs included
  // A short run of bytes taken from the front.
  std::vector<uint8_t> Bytes(size_t n);

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Measures the growth of the process's heap while it is alive (only in
// builds with AddressSanitizer, which keeps the count; elsewhere it measures
// nothing). A file of n bytes can describe at most n bytes of values, so a
// reader that allocates far more than that trusts a count it should not.
class HeapWatch {
 public:
  HeapWatch();
  ~HeapWatch();
  // Highest heap size seen minus the size at construction.
  size_t PeakGrowth() const;
  static bool Available();
};

// Upper bound for the memory a reader may need for a file of `bytes` bytes:
// generous per byte, plus the fixed cost of the record objects' arrays.
inline size_t AllowedGrowth(size_t bytes) { return 64 * bytes + (8u << 20); }

}  // namespace ovrix::fuzz
