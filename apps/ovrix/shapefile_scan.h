// Raw reading of shapefile and dBASE bytes for `ovrix check` and `ovrix repair`, which must see
// what the library refuses: a file read through a window of large blocks (no system call per
// record), the byte-order decoders, the shape types and the 100-byte main/index header.
#ifndef OVRIX_APP_SHAPEFILE_SCAN_H
#define OVRIX_APP_SHAPEFILE_SCAN_H

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common.h"
#include "platform/byte_order.h"

namespace ovrix::scan {

// A file read through one window of at least `block` bytes. At(off, n) hands out n contiguous
// bytes at off, or null when they lie outside the file or cannot be read; the pointer stays valid
// until the next call. Reads happen only when the bytes asked for leave the window, so walking a
// file front to back costs one read per block.
class FileBytes {
 public:
  explicit FileBytes(int64_t block = int64_t(1) << 17) : block_(block) {}
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes() {
    if (fd_ >= 0) close(fd_);
  }
  bool Open(const std::string& path) {
    fd_ = open(path.c_str(), O_RDONLY);
    const off_t end = fd_ < 0 ? -1 : lseek(fd_, 0, SEEK_END);
    size_ = int64_t(end);
    return end >= 0;
  }
  int64_t size() const { return size_; }
  const uint8_t* At(int64_t off, int64_t n) {
    if (off >= start_ && n >= 0 && n <= have_ - (off - start_)) return buf_.data() + (off - start_);
    return Fill(off, n);
  }

 private:
  // Out of line, so that At stays small enough to be inlined in every loop.
  [[gnu::noinline]] const uint8_t* Fill(int64_t off, int64_t n) {
    if (off < 0 || n < 0 || off > size_ || n > size_ - off) return nullptr;
    const int64_t want = std::min(std::max(n, block_), size_ - off);
    if (int64_t(buf_.size()) < want) buf_.resize(size_t(want));
    have_ = 0, start_ = off;
    while (have_ < want) {
      const ssize_t got = pread(fd_, buf_.data() + have_, size_t(want - have_), off_t(off + have_));
      if (got <= 0) return have_ = 0, nullptr;  // the file shrank under us, or a read error
      have_ += got;
    }
    return buf_.data();
  }
  int fd_ = -1;
  int64_t size_ = -1, block_, start_ = 0, have_ = 0;
  std::vector<uint8_t> buf_;
};

// Byte order through the library's own decoders (header-only), so that it is handled in one place.
inline const char* Chars(const uint8_t* p) { return reinterpret_cast<const char*>(p); }
inline int32_t BE32(const uint8_t* p) { return Io_GetBE32(Chars(p)); }
inline int32_t LE32(const uint8_t* p) { return Io_GetLE32(Chars(p)); }
inline uint16_t LE16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline double LEDouble(const uint8_t* p) { return Io_GetLEDouble(Chars(p)); }
inline void PutBE32(uint8_t* p, int32_t v) { Io_PutBE32(reinterpret_cast<char*>(p), v); }

// What a shape type's records hold.
enum class Family { kNone, kPoint, kMultiPoint, kPoly, kMultiPatch };
struct ShapeType {
  Family family = Family::kNone;               // kNone: not a known type (0 "null" included)
  bool polygon = false, z = false, m = false;  // m: measures may follow (the M and Z types)
};
inline ShapeType TypeOf(int32_t t) {
  switch (t) {
    case 1: return {Family::kPoint};
    case 11: return {Family::kPoint, false, true, true};
    case 21: return {Family::kPoint, false, false, true};
    case 8: return {Family::kMultiPoint};
    case 18: return {Family::kMultiPoint, false, true, true};
    case 28: return {Family::kMultiPoint, false, false, true};
    case 3: return {Family::kPoly};
    case 13: return {Family::kPoly, false, true, true};
    case 23: return {Family::kPoly, false, false, true};
    case 5: return {Family::kPoly, true};
    case 15: return {Family::kPoly, true, true, true};
    case 25: return {Family::kPoly, true, false, true};
    case 31: return {Family::kMultiPatch, false, true, true};
    default: return {};
  }
}

constexpr int32_t kFileCode = 9994, kVersion = 1000;
constexpr int64_t kHeaderBytes = 100;

// The 100-byte header of a .shp or .shx.
struct Header {
  int32_t code, lengthWords, version, type;
  double box[4], z[2], m[2];  // xmin, ymin, xmax, ymax; min, max
};
inline Header ReadHeader(const uint8_t* p) {
  Header h{BE32(p), BE32(p + 24), LE32(p + 28), LE32(p + 32), {}, {}, {}};
  for (int i = 0; i < 4; ++i) h.box[i] = LEDouble(p + 36 + 8 * i);
  for (int i = 0; i < 2; ++i) h.z[i] = LEDouble(p + 68 + 8 * i), h.m[i] = LEDouble(p + 84 + 8 * i);
  return h;
}

// Measures below -1e38 stand for "no data".
inline bool NoData(double m) { return m < -1e38; }

// What keeps a .shp or .shx header from describing its file: the end of a finding's code (after
// "shp-" or "shx-"), the byte offset of the field and a sentence.
struct HeaderFault {
  const char* code;
  int64_t offset;
  std::string text;
};
inline std::vector<HeaderFault> HeaderFaults(const Header& h, int64_t size) {
  std::vector<HeaderFault> faults;
  if (h.code != kFileCode) faults.push_back({"file-code", 0, Fmt("file code %d, not 9994", h.code)});
  if (h.version != kVersion) faults.push_back({"version", 28, Fmt("version %d, not 1000", h.version)});
  if (2 * int64_t(h.lengthWords) != size)
    faults.push_back({"file-length", 24,
                      Fmt("the header gives %d words (%" PRId64 " bytes); the file has %" PRId64
                          " bytes", h.lengthWords, 2 * int64_t(h.lengthWords), size)});
  return faults;
}

}  // namespace ovrix::scan

#endif
