#include "shape/io.h"

#include <algorithm>

namespace ovrix {

// Through a small scratch run, so that large runs need no allocation; the
// big-endian fields (record headers, index entries) come in runs of 2 to 7.
int32_t Io_WriteSwapped32(File* f, const int32_t* buf, int32_t n) {
  int32_t scratch[16];
  for (int32_t i = 0; i < n;) {
    const int32_t run = std::min<int32_t>(n - i, 16);
    std::copy(buf + i, buf + i + run, scratch);
    Io_SwapRun32(scratch, run);
    if (!io_detail::Write(f, scratch, 4, run)) return 0;
    i += run;
  }
  return n < 0 ? 0 : 1;
}

int32_t Io_WriteSwappedDoubles(File* f, const double* buf, int32_t n) {
  double scratch[64];
  for (int32_t i = 0; i < n;) {
    const int32_t run = std::min<int32_t>(n - i, 64);
    std::copy(buf + i, buf + i + run, scratch);
    Io_SwapRun64(scratch, run);
    if (!io_detail::Write(f, scratch, 8, run)) return 0;
    i += run;
  }
  return n < 0 ? 0 : 1;
}

}  // namespace ovrix
