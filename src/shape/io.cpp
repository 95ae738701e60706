#include "shape/io.h"

#include <algorithm>

namespace ovrix {
namespace {

// Through a small scratch run, so that large runs need no allocation; the
// big-endian fields (record headers, index entries) come in runs of 2 to 7.
template <typename T, void (*Swap)(T*, int32_t)>
int32_t WriteSwapped(File* f, const T* buf, int32_t n) {
  constexpr int32_t kRun = 512 / sizeof(T);
  T scratch[kRun];
  for (int32_t i = 0; i < n;) {
    const int32_t run = std::min(n - i, kRun);
    std::copy(buf + i, buf + i + run, scratch);
    Swap(scratch, run);
    if (!io_detail::Write(f, scratch, sizeof(T), run)) return 0;
    i += run;
  }
  return n < 0 ? 0 : 1;
}

}  // namespace

int32_t Io_WriteSwapped32(File* f, const int32_t* buf, int32_t n) {
  return WriteSwapped<int32_t, Io_SwapRun32>(f, buf, n);
}

int32_t Io_WriteSwappedDoubles(File* f, const double* buf, int32_t n) {
  return WriteSwapped<double, Io_SwapRun64>(f, buf, n);
}

}  // namespace ovrix
