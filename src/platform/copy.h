// Copies of file fields and values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ovrix {

void CopyBytesLarge(void* to, const void* from, std::size_t n);

// Copies n bytes between buffers that do not overlap. Fields and values are
// small (4 to 64 bytes, mostly) and are copied in 8-byte steps: a compiler
// that can bound such a size may otherwise pick a string instruction that is
// slow to start.
inline void CopyBytes(void* to, const void* from, std::size_t n) {
  auto* d = static_cast<char*>(to);
  const auto* s = static_cast<const char*>(from);
  if (n > 64) {
    CopyBytesLarge(d, s, n);
  } else if (n >= 8) {
    for (std::size_t i = 0; i + 8 < n; i += 8) std::memcpy(d + i, s + i, 8);
    std::memcpy(d + n - 8, s + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(d, s, 4);
    std::memcpy(d + n - 4, s + n - 4, 4);
  } else {
    for (std::size_t i = 0; i < n; ++i) d[i] = s[i];
  }
}

// Sets n bytes to `c`, in 8-byte steps as CopyBytes copies.
void FillBytesLarge(void* to, char c, std::size_t n);
inline void FillBytes(void* to, char c, std::size_t n) {
  auto* d = static_cast<char*>(to);
  if (n > 64) {
    FillBytesLarge(d, c, n);
  } else if (n >= 8) {
    const uint64_t word = 0x0101010101010101ull * static_cast<unsigned char>(c);
    for (std::size_t i = 0; i + 8 < n; i += 8) std::memcpy(d + i, &word, 8);
    std::memcpy(d + n - 8, &word, 8);
  } else {
    for (std::size_t i = 0; i < n; ++i) d[i] = c;
  }
}

}  // namespace ovrix
