#include "shape/io.h"

#include <bit>
#include <cstring>

namespace ovrix {
namespace {

constexpr bool kLittleHost = std::endian::native == std::endian::little;

uint64_t Swap64(uint64_t v) { return __builtin_bswap64(v); }

void SwapRun32(int32_t* buf, int32_t n) {
  for (int32_t i = 0; i < n; ++i) buf[i] = Io_SwapBytes32(buf[i]);
}

[[maybe_unused]] void SwapRun64(double* buf, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    uint64_t bits;
    std::memcpy(&bits, &buf[i], 8);
    bits = Swap64(bits);
    std::memcpy(&buf[i], &bits, 8);
  }
}

int32_t Read(std::FILE* s, void* buf, std::size_t size, int32_t n) {
  if (n <= 0) return n == 0 ? 1 : 0;
  return std::fread(buf, size, static_cast<std::size_t>(n), s) == static_cast<std::size_t>(n) ? 1 : 0;
}

int32_t Write(std::FILE* s, const void* buf, std::size_t size, int32_t n) {
  if (n <= 0) return n == 0 ? 1 : 0;
  return std::fwrite(buf, size, static_cast<std::size_t>(n), s) == static_cast<std::size_t>(n) ? 1 : 0;
}

}  // namespace

int32_t Io_SwapBytes32(int32_t value) {
  return static_cast<int32_t>(__builtin_bswap32(static_cast<uint32_t>(value)));
}

void Io_FromLE32(int32_t* buf, int32_t n) {
  if constexpr (!kLittleHost) SwapRun32(buf, n);
  (void)buf;
  (void)n;
}

void Io_FromLEDoubles(double* buf, int32_t n) {
  if constexpr (!kLittleHost) SwapRun64(buf, n);
  (void)buf;
  (void)n;
}

int32_t Io_ReadInt32BE(std::FILE* stream, int32_t* buf, int32_t n) {
  if (!Read(stream, buf, 4, n)) return 0;
  if constexpr (kLittleHost) SwapRun32(buf, n);
  return 1;
}

int32_t Io_ReadInt32LE(std::FILE* stream, int32_t* buf, int32_t n) {
  if (!Read(stream, buf, 4, n)) return 0;
  if constexpr (!kLittleHost) SwapRun32(buf, n);
  return 1;
}

int32_t Io_WriteInt32BE(std::FILE* stream, int32_t* buf, int32_t n) {
  if constexpr (kLittleHost) SwapRun32(buf, n);
  int32_t ok = Write(stream, buf, 4, n);
  if constexpr (kLittleHost) SwapRun32(buf, n);
  return ok;
}

int32_t Io_WriteInt32LE(std::FILE* stream, const int32_t* buf, int32_t n) {
  if constexpr (kLittleHost) {
    return Write(stream, buf, 4, n);
  } else {
    int32_t* mut = const_cast<int32_t*>(buf);
    SwapRun32(mut, n);
    int32_t ok = Write(stream, buf, 4, n);
    SwapRun32(mut, n);
    return ok;
  }
}

int32_t Io_ReadDoubles(std::FILE* stream, double* buf, int32_t n) {
  if (!Read(stream, buf, 8, n)) return 0;
  if constexpr (!kLittleHost) SwapRun64(buf, n);
  return 1;
}

int32_t Io_WriteDoubles(std::FILE* stream, const double* buf, int32_t n) {
  if constexpr (kLittleHost) {
    return Write(stream, buf, 8, n);
  } else {
    double* mut = const_cast<double*>(buf);
    SwapRun64(mut, n);
    int32_t ok = Write(stream, buf, 8, n);
    SwapRun64(mut, n);
    return ok;
  }
}

}  // namespace ovrix
