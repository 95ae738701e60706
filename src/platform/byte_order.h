// The one place where byte order is handled. Files store 32-bit integers in
// either order and doubles little-endian; the host may be of either order.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace ovrix {

constexpr bool kLittleHost = std::endian::native == std::endian::little;

inline int32_t Io_SwapBytes32(int32_t value) {
  return static_cast<int32_t>(__builtin_bswap32(static_cast<uint32_t>(value)));
}

inline void Io_SwapRun32(int32_t* buf, int32_t n) {
  for (int32_t i = 0; i < n; ++i) buf[i] = Io_SwapBytes32(buf[i]);
}

inline void Io_SwapRun64(double* buf, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    uint64_t bits;
    std::memcpy(&bits, &buf[i], 8);
    bits = __builtin_bswap64(bits);
    std::memcpy(&buf[i], &bits, 8);
  }
}

// Converts n little-endian (or big-endian) file values in place to native
// order and back.
inline void Io_FromLE32(int32_t* buf, int32_t n) {
  if constexpr (!kLittleHost) Io_SwapRun32(buf, n);
  (void)buf, (void)n;
}
inline void Io_FromBE32(int32_t* buf, int32_t n) {
  if constexpr (kLittleHost) Io_SwapRun32(buf, n);
  (void)buf, (void)n;
}
inline void Io_FromLEDoubles(double* buf, int32_t n) {
  if constexpr (!kLittleHost) Io_SwapRun64(buf, n);
  (void)buf, (void)n;
}

// Single fields stored into (or taken from) file bytes at `p`.
inline void Io_PutLE32(char* p, int32_t v) {
  if constexpr (!kLittleHost) v = Io_SwapBytes32(v);
  std::memcpy(p, &v, 4);
}
inline void Io_PutBE32(char* p, int32_t v) {
  if constexpr (kLittleHost) v = Io_SwapBytes32(v);
  std::memcpy(p, &v, 4);
}
inline void Io_PutLEDouble(char* p, double v) {
  if constexpr (!kLittleHost) Io_SwapRun64(&v, 1);
  std::memcpy(p, &v, 8);
}
inline int32_t Io_GetLE32(const char* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return kLittleHost ? v : Io_SwapBytes32(v);
}
inline int32_t Io_GetBE32(const char* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return kLittleHost ? Io_SwapBytes32(v) : v;
}
inline double Io_GetLEDouble(const char* p) {
  double v;
  std::memcpy(&v, p, 8);
  if constexpr (!kLittleHost) Io_SwapRun64(&v, 1);
  return v;
}

}  // namespace ovrix
