// Runs of file fields between a caller's buffer and a stream. Each call moves
// n values with one stream call and returns 1 when all n were transferred,
// else 0; n = 0 transfers nothing and returns 1. This is the one place where
// the byte order of shape files is handled: 32-bit integers exist in both
// orders, doubles are always little-endian.
#pragma once

#include <cstdint>
#include <cstdio>

namespace ovrix {

int32_t Io_SwapBytes32(int32_t value);

// After a short read the buffer keeps the raw bytes the read delivered.
int32_t Io_ReadInt32BE(std::FILE* stream, int32_t* buf, int32_t n);
int32_t Io_ReadInt32LE(std::FILE* stream, int32_t* buf, int32_t n);
// The big-endian write converts in place and restores the caller's values
// afterwards, whatever the outcome; the buffer must be writable.
int32_t Io_WriteInt32BE(std::FILE* stream, int32_t* buf, int32_t n);
int32_t Io_WriteInt32LE(std::FILE* stream, const int32_t* buf, int32_t n);
int32_t Io_ReadDoubles(std::FILE* stream, double* buf, int32_t n);
int32_t Io_WriteDoubles(std::FILE* stream, const double* buf, int32_t n);

// Converts n little-endian file values in place to native order and back (a
// no-op on little-endian hosts). Readers that take a run of raw bytes in one
// call (a whole record, say) use these to decode it.
void Io_FromLE32(int32_t* buf, int32_t n);
void Io_FromLEDoubles(double* buf, int32_t n);

}  // namespace ovrix
