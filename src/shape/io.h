// Runs of file fields between a caller's buffer and a file. Each call moves
// n values with one transfer and returns 1 when all n were transferred, else
// 0; n = 0 transfers nothing and returns 1. 32-bit integers exist in both
// orders, doubles are always little-endian (byte_order.h converts).
#pragma once

#include <cstdint>

#include "platform/byte_order.h"
#include "platform/file.h"

namespace ovrix {

using platform::File;

namespace io_detail {
inline int32_t Read(File* f, void* buf, std::size_t size, int32_t n) {
  if (n <= 0) return n == 0 ? 1 : 0;
  const std::size_t bytes = size * static_cast<std::size_t>(n);
  return platform::File_Read(f, buf, bytes) == bytes ? 1 : 0;
}
inline int32_t Write(File* f, const void* buf, std::size_t size, int32_t n) {
  if (n <= 0) return n == 0 ? 1 : 0;
  return platform::File_Write(f, buf, size * static_cast<std::size_t>(n)) ? 1 : 0;
}
}  // namespace io_detail

// After a short read the buffer keeps the raw bytes the read delivered.
inline int32_t Io_ReadInt32BE(File* f, int32_t* buf, int32_t n) {
  if (!io_detail::Read(f, buf, 4, n)) return 0;
  Io_FromBE32(buf, n);
  return 1;
}
inline int32_t Io_ReadInt32LE(File* f, int32_t* buf, int32_t n) {
  if (!io_detail::Read(f, buf, 4, n)) return 0;
  Io_FromLE32(buf, n);
  return 1;
}
inline int32_t Io_ReadDoubles(File* f, double* buf, int32_t n) {
  if (!io_detail::Read(f, buf, 8, n)) return 0;
  Io_FromLEDoubles(buf, n);
  return 1;
}

// Writers convert a copy when the host's order differs, so the caller's
// values are never touched.
int32_t Io_WriteSwapped32(File* f, const int32_t* buf, int32_t n);
int32_t Io_WriteSwappedDoubles(File* f, const double* buf, int32_t n);

inline int32_t Io_WriteInt32BE(File* f, const int32_t* buf, int32_t n) {
  if constexpr (kLittleHost) return Io_WriteSwapped32(f, buf, n);
  return io_detail::Write(f, buf, 4, n);
}
inline int32_t Io_WriteInt32LE(File* f, const int32_t* buf, int32_t n) {
  if constexpr (!kLittleHost) return Io_WriteSwapped32(f, buf, n);
  return io_detail::Write(f, buf, 4, n);
}
inline int32_t Io_WriteDoubles(File* f, const double* buf, int32_t n) {
  if constexpr (!kLittleHost) return Io_WriteSwappedDoubles(f, buf, n);
  return io_detail::Write(f, buf, 8, n);
}

}  // namespace ovrix
