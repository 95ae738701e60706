// ovrix check: every consistency rule of a pair (.shp/.shx) and its table (.dbf), read from the
// files' bytes (not through the library, which refuses what a checker has to describe). Each
// finding has a stable code, a place (file, byte offset, record) and a sentence; the exit status
// is 0 clean, 1 findings, 2 a file that cannot be read at all.
//
// Decisions a reader of the output should know:
// - A record's box, Z range and M range must hold its values, not equal their extent. M values
//   below -1e38 are "no data" and ignored. The M block is optional in every M and Z type, and an
//   M-type record may carry the Z layout (a Z block, then the M block), as some writers do.
// - The file header's box holds every point; its Z range every height (Z types); its M range
//   every measure (M and Z types). A Z or M range of 0 to 0, or an M range with a "no data"
//   end, in the header or a record, is how some writers say they keep none: not compared.
// - The .shx header must match the .shp's type and box; its Z and M ranges are not compared (the
//   library writes zeros there).
// - Polygon rings are closed when the first and last vertex have the same x and y.
// - A .dbf may end with or without the end-of-file byte 0x1A right behind the last record; any
//   other byte there, or any byte after the 0x1A, is a finding.
#include <nlohmann/json.hpp>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common.h"
#include "shapefile_scan.h"

namespace ovrix {

namespace {

using nlohmann::ordered_json;
using namespace scan;

// Findings of one code in one file listed before a line "and N more".
constexpr int64_t kShownPerCode = 20;

struct Finding {
  std::string file;
  int64_t offset, record;  // record 0: none
  std::string code, text;
};

// Every finding of a run, the first kShownPerCode of each code in each file kept for the output
// and the rest counted.
class Report {
 public:
  void Add(const std::string& file, int64_t offset, int64_t record, const char* code,
           std::string text) {
    if (++counts_[{file, code}] <= kShownPerCode)
      shown_.push_back({file, offset, record, code, std::move(text)});
  }
  // A file that cannot be checked at all: exit status 2.
  void Unreadable(const std::string& file, const char* code, std::string text) {
    unreadable_ = true;
    Add(file, 0, 0, code, std::move(text));
  }
  int Status() const { return unreadable_ ? kUnreadable : shown_.empty() ? kClean : kFindings; }
  void Checked(const std::string& file) { files_.push_back(file); }

  void PrintText(bool summary) const {
    for (const Finding& f : shown_) {
      std::cout << f.file << ":" << f.offset << ": ";
      if (f.record > 0) std::cout << "record " << f.record << ": ";
      std::cout << f.code << ": " << f.text << "\n";
    }
    int64_t total = 0;
    for (const auto& [where, n] : counts_) {
      total += n;
      if (n > kShownPerCode)
        std::cout << where.first << ": " << where.second << ": and " << n - kShownPerCode
                  << " more\n";
    }
    if (summary)
      std::cout << "checked " << files_.size() << (files_.size() == 1 ? " file: " : " files: ")
                << (total ? std::to_string(total) + (total == 1 ? " finding" : " findings")
                          : std::string("clean"))
                << "\n";
  }
  void PrintJson() const {
    ordered_json findings = ordered_json::array(), more = ordered_json::array();
    for (const Finding& f : shown_)
      findings.push_back({{"file", f.file},
                          {"offset", f.offset},
                          {"record", f.record > 0 ? ordered_json(f.record) : ordered_json()},
                          {"code", f.code},
                          {"message", f.text}});
    for (const auto& [where, n] : counts_)
      if (n > kShownPerCode)
        more.push_back(
            {{"file", where.first}, {"code", where.second}, {"count", n - kShownPerCode}});
    const ordered_json doc = {
        {"files", files_}, {"status", Status()}, {"findings", findings}, {"more", more}};
    std::cout << doc.dump(2) << "\n";
  }

 private:
  std::vector<Finding> shown_;
  std::map<std::pair<std::string, std::string>, int64_t> counts_;
  std::vector<std::string> files_;
  bool unreadable_ = false;
};

// Smallest and largest of the values seen (NaN is never taken in).
struct Extent {
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  void Add(double v) {
    lo = v < lo ? v : lo, hi = v > hi ? v : hi;  // minsd/maxsd, no branch
  }
  void Merge(const Extent& e) {  // an empty e (lo +inf, hi -inf) changes nothing
    lo = e.lo < lo ? e.lo : lo, hi = e.hi > hi ? e.hi : hi;
  }
  bool Empty() const { return lo > hi; }
  bool Within(double min, double max) const { return Empty() || (min <= lo && hi <= max); }
};

std::string TooShort(int64_t size, int64_t header) {
  return Fmt("%" PRId64 " bytes, too short for the %" PRId64 "-byte header", size, header);
}

// Writers that keep no Z or M range write 0 to 0, or "no data" for M (pyshp does both, in the
// file header of point files and in the records it copies): such a range is not compared.
bool NoRange(double lo, double hi, bool isZ) {
  return (lo == 0 && hi == 0) || (!isZ && (NoData(lo) || NoData(hi)));
}

// The pair: both headers, the walk through the records, every index entry and every record.
class PairCheck {
 public:
  PairCheck(Report& r, bool quiet) : r_(r), quiet_(quiet) {}

  // The number of records of the pair (the index's count, else the walk's), -1 when unknown.
  int64_t Run(const std::string& shpPath, const std::string& shxPath, const std::string& base) {
    shpName_ = shpPath, shxName_ = shxPath;
    r_.Checked(shpPath);
    if (!shp_.Open(shpPath) || !probe_.Open(shpPath))
      return r_.Unreadable(shpPath, "file-unreadable", "cannot be opened"), -1;
    size_ = shp_.size();
    if (size_ < kHeaderBytes)
      return r_.Unreadable(shpPath, "file-too-short", TooShort(size_, kHeaderBytes)), -1;
    const uint8_t* hp = shp_.At(0, kHeaderBytes);
    if (hp == nullptr) return r_.Unreadable(shpPath, "file-unreadable", "cannot be read"), -1;
    h_ = ReadHeader(hp);
    type_ = TypeOf(h_.type);
    CheckHeader(shpPath, "shp", h_, size_);
    if (type_.family == Family::kNone)
      r_.Add(shpPath, 32, 0, "shp-type",
             Fmt("shape type %d: not one of the 13 types of a shape file", h_.type));
    OpenIndex(base);
    Walk();
    CheckFileRanges();
    if (entries_ >= 0 && walkDone_ && records_ != entries_)
      r_.Add(
          shxName_, 24, 0, "count-mismatch",
          Fmt("%" PRId64 " index entries for %" PRId64 " records in the .shp", entries_, records_));
    return entries_ >= 0 ? entries_ : walkDone_ ? records_ : -1;
  }

 private:
  void CheckHeader(const std::string& file, const char* kind, const Header& h, int64_t size) {
    for (const HeaderFault& f : HeaderFaults(h, size))
      r_.Add(file, f.offset, 0, (std::string(kind) + "-" + f.code).c_str(), f.text);
  }

  void OpenIndex(const std::string& base) {
    if (shxName_.empty()) {
      r_.Add(shpName_, 0, 0, "shx-missing",
             Fmt("no %s.shx beside it; `ovrix repair` rebuilds one", base.c_str()));
      return;
    }
    r_.Checked(shxName_);
    if (!shx_.Open(shxName_)) return r_.Unreadable(shxName_, "file-unreadable", "cannot be opened");
    const int64_t size = shx_.size();
    if (size < kHeaderBytes)
      return r_.Unreadable(shxName_, "file-too-short", TooShort(size, kHeaderBytes));
    const uint8_t* p = shx_.At(0, kHeaderBytes);
    if (p == nullptr) return r_.Unreadable(shxName_, "file-unreadable", "cannot be read");
    const Header x = ReadHeader(p);
    CheckHeader(shxName_, "shx", x, size);
    if (x.type != h_.type)
      r_.Add(shxName_, 32, 0, "shx-type", Fmt("shape type %d; the .shp has %d", x.type, h_.type));
    const uint8_t* s = shp_.At(36, 32);
    if (s != nullptr && !std::equal(s, s + 32, p + 36))
      r_.Add(
          shxName_, 36, 0, "shx-box",
          Fmt("box (%.15g, %.15g, %.15g, %.15g); the .shp has (%.15g, %.15g, %.15g, %.15g)",
              x.box[0], x.box[1], x.box[2], x.box[3], h_.box[0], h_.box[1], h_.box[2], h_.box[3]));
    if ((size - kHeaderBytes) % 8 != 0)
      r_.Add(shxName_, kHeaderBytes, 0, "shx-size",
             Fmt("%" PRId64 " bytes: not 100 plus 8 per entry (%" PRId64 " bytes left over)", size,
                 (size - kHeaderBytes) % 8));
    entries_ = (size - kHeaderBytes) / 8;
  }

  // Records back to back from byte 100, each checked; index entry n checked beside record n.
  void Walk() {
    Progress progress("checking " + shpName_, entries_ > 0 ? entries_ : 0, quiet_);
    int64_t pos = kHeaderBytes, n = 0;
    while (pos < size_) {
      if (size_ - pos < 8) {
        r_.Add(shpName_, pos, 0, "shp-trailing-bytes",
               Fmt("%" PRId64 " bytes after the last record, too few for a record header",
                   size_ - pos));
        break;
      }
      const uint8_t* h = shp_.At(pos, 8);
      if (h == nullptr) return r_.Unreadable(shpName_, "file-unreadable", "cannot be read");
      const int32_t number = BE32(h), words = BE32(h + 4);
      if (number != n + 1) {
        if (entries_ >= 0 && n >= entries_) {
          r_.Add(shpName_, pos, 0, "shp-trailing-bytes",
                 Fmt("%" PRId64 " bytes after record %" PRId64 ", the last the index counts, "
                     "hold no record %" PRId64, size_ - pos, n, n + 1));
          break;
        }
        r_.Add(shpName_, pos, n + 1, "shp-record-number",
               Fmt("the record header holds the number %d", number));
      }
      const int64_t bytes = 2 * int64_t(words);
      if (words < 0 || bytes > size_ - pos - 8) {
        r_.Add(shpName_, pos + 4, n + 1, "shp-record-cut",
               Fmt("content length %d words runs past the end of the file (%" PRId64 " bytes)",
                   words, size_));
        break;
      }
      ++n;
      if (!Record(pos, n, bytes)) return;
      if (n <= entries_) Entry(n, pos, words);
      pos += 8 + bytes;
      progress.Step(n);
    }
    walkDone_ = pos >= size_;
    records_ = n, walkEnd_ = pos;
    for (int64_t k = n + 1; k <= entries_; ++k) {
      Entry(k, -1, 0);
      progress.Step(k);
    }
  }

  // Index entry k; `pos` and `words` are where the walk found record k (pos -1: it did not).
  void Entry(int64_t k, int64_t pos, int32_t words) {
    const int64_t at = kHeaderBytes + 8 * (k - 1);
    const uint8_t* e = shx_.At(at, 8);
    if (e == nullptr) return r_.Unreadable(shxName_, "file-unreadable", "cannot be read");
    const int32_t offWords = BE32(e), lenWords = BE32(e + 4);
    const int64_t off = 2 * int64_t(offWords);
    if (pos >= 0 && off == pos) {
      if (lenWords != words)
        r_.Add(shxName_, at + 4, k, "shx-length-wrong",
               Fmt("content length %d words; the record's header has %d", lenWords, words));
      return;
    }
    if (off < kHeaderBytes || off > size_ - 8) {
      r_.Add(shxName_, at, k, "shx-offset-outside",
             Fmt("offset %d words (byte %" PRId64 ") is outside the records of the .shp "
                 "(bytes 100 to %" PRId64 ")", offWords, off, size_));
      return;
    }
    const uint8_t* h = probe_.At(off, 8);
    if (h == nullptr) return r_.Unreadable(shpName_, "file-unreadable", "cannot be read");
    const int32_t number = BE32(h), words2 = BE32(h + 4);
    if (pos >= 0 || number != k) {
      r_.Add(shxName_, at, k, "shx-offset-wrong",
             pos >= 0
                 ? Fmt("offset byte %" PRId64 ", but record %" PRId64 " starts at byte %" PRId64,
                       off, k, pos)
                 : Fmt("offset byte %" PRId64 ", where the record header holds the number %d", off,
                       number));
      return;
    }
    if (lenWords != words2) {
      r_.Add(shxName_, at + 4, k, "shx-length-wrong",
             Fmt("content length %d words; the record's header has %d", lenWords, words2));
      return;
    }
    // A sound entry past where the walk stopped: its record is checked through the index.
    const int64_t bytes = 2 * int64_t(words2);
    if (off >= walkEnd_ && words2 >= 0 && bytes <= size_ - off - 8) Record(off, k, bytes, &probe_);
  }

  // Record n: `bytes` of content at pos + 8. False when the file cannot be read any more.
  bool Record(int64_t pos, int64_t n, int64_t bytes, FileBytes* from = nullptr) {
    const int64_t at = pos + 8;
    if (bytes < 4) {
      r_.Add(shpName_, pos + 4, n, "shp-record-short",
             Fmt("content length %" PRId64 " bytes, too short for a shape type", bytes));
      return true;
    }
    const uint8_t* c = (from ? *from : shp_).At(at, bytes);
    if (c == nullptr) return r_.Unreadable(shpName_, "file-unreadable", "cannot be read"), false;
    const int32_t t = LE32(c);
    if (t == 0) {
      if (bytes != 4)
        r_.Add(shpName_, pos + 4, n, "shp-record-length",
               Fmt("a null record of %" PRId64 " bytes; it has 4, the shape type only", bytes));
      return true;
    }
    if (t != h_.type) {
      r_.Add(shpName_, at, n, "shp-record-type",
             Fmt("shape type %d in a file of type %d", t, h_.type));
      return true;
    }
    if (type_.family == Family::kPoint)
      Point(pos, n, c, bytes);
    else if (type_.family != Family::kNone)
      Multi(pos, n, c, bytes);
    return true;
  }

  // The lengths a record may have: `base` bytes and a number of `block`s behind them, the Z
  // block and the M block. Z types: Z, or Z and M. M types: none, M, or Z and M (the Z layout).
  int FewestBlocks() const { return type_.z ? 1 : 0; }
  int MostBlocks() const { return type_.m ? 2 : 0; }
  bool LengthFits(int64_t bytes, int64_t base, int64_t block, int* blocks) const {
    for (int b = FewestBlocks(); b <= MostBlocks(); ++b)
      if (bytes == base + b * block) return *blocks = b, true;
    return false;
  }
  std::string Lengths(int64_t base, int64_t block) const {
    std::string s;
    for (int b = FewestBlocks(); b <= MostBlocks(); ++b)
      s += (b == FewestBlocks() ? "" : b == MostBlocks() ? " or " : ", ") +
           std::to_string(base + b * block);
    return s;
  }

  void Point(int64_t pos, int64_t n, const uint8_t* c, int64_t bytes) {
    int blocks = 0;
    if (!LengthFits(bytes, 20, 8, &blocks)) {
      r_.Add(shpName_, pos + 4, n, "shp-record-length",
             Fmt("content of %" PRId64 " bytes; a point of this type has %s", bytes,
                 Lengths(20, 8).c_str()));
      return;
    }
    x_.Add(LEDouble(c + 4)), y_.Add(LEDouble(c + 12));
    if (type_.z && blocks >= 1) z_.Add(LEDouble(c + 20));
    if (type_.m && blocks >= (type_.z ? 2 : 1)) {
      const double m = LEDouble(c + 12 + 8 * blocks);
      if (!NoData(m)) m_.Add(m);
    }
  }

  void Multi(int64_t pos, int64_t n, const uint8_t* c, int64_t bytes) {
    const bool multipoint = type_.family == Family::kMultiPoint;
    const bool patch = type_.family == Family::kMultiPatch;
    const int64_t fixed = multipoint ? 40 : 44, at = pos + 8;
    if (bytes < fixed) {
      r_.Add(shpName_, pos + 4, n, "shp-record-short",
             Fmt("content of %" PRId64 " bytes, too short for the %" PRId64
                 " bytes of type, box and counts", bytes, fixed));
      return;
    }
    const int32_t parts = multipoint ? 0 : LE32(c + 36), points = LE32(c + (multipoint ? 36 : 40));
    if (parts < 0 || points < 0) {
      r_.Add(shpName_, at + (parts < 0 ? 36 : fixed - 4), n, "shp-count-negative",
             Fmt("%d parts and %d points", parts, points));
      return;
    }
    const int64_t partBytes = int64_t(parts) * (patch ? 8 : 4), block = 16 + 8 * int64_t(points);
    const int64_t xyAt = fixed + partBytes, base = xyAt + 16 * int64_t(points);
    int blocks = 0;
    if (!LengthFits(bytes, base, block, &blocks)) {
      r_.Add(shpName_, pos + 4, n, "shp-record-length",
             Fmt("content of %" PRId64 " bytes; %d parts and %d points take %s", bytes, parts,
                 points, Lengths(base, block).c_str()));
      return;
    }
    const bool startsOk = multipoint || PartStarts(at, n, c, parts, points);
    if (patch)
      for (int32_t i = 0; i < parts; ++i)
        if (const int32_t pt = LE32(c + 44 + 4 * (parts + int64_t(i))); pt < 0 || pt > 5) {
          r_.Add(shpName_, at + 44 + 4 * (parts + int64_t(i)), n, "shp-part-type",
                 Fmt("part %d has the part type %d, not 0 to 5", i + 1, pt));
          break;
        }
    // The points' extent is taken in locals (registers, no branch per point) and compared with
    // the box once; the first point outside it is looked for only when there is one.
    const double box[4] = {LEDouble(c + 4), LEDouble(c + 12), LEDouble(c + 20), LEDouble(c + 28)};
    Extent px, py;
    bool nan = false;
    for (int32_t i = 0; i < points; ++i) {
      const uint8_t* p = c + xyAt + 16 * int64_t(i);
      const double x = LEDouble(p), y = LEDouble(p + 8);
      px.Add(x), py.Add(y), nan |= std::isnan(x) | std::isnan(y);
    }
    x_.Merge(px), y_.Merge(py);
    if (nan || !px.Within(box[0], box[2]) || !py.Within(box[1], box[3]))
      for (int32_t i = 0; i < points; ++i) {
        const uint8_t* p = c + xyAt + 16 * int64_t(i);
        const double x = LEDouble(p), y = LEDouble(p + 8);
        if (!(box[0] <= x && x <= box[2] && box[1] <= y && y <= box[3])) {
          r_.Add(shpName_, at + 4, n, "shp-box",
                 Fmt("the box (%.15g, %.15g, %.15g, %.15g) does not hold point %d (%.15g, %.15g)",
                     box[0], box[1], box[2], box[3], i + 1, x, y));
          break;
        }
      }
    // The blocks behind the points: Z then M; an M type without the Z layout has M only.
    for (int b = 0; b < blocks; ++b) {
      const bool isZ = (type_.z || blocks == 2) && b == 0;
      Range(at + base + b * block, n, c + base + b * block, points, isZ);
    }
    if (type_.polygon && startsOk) Rings(at, n, c, parts, points, xyAt);
  }

  bool PartStarts(int64_t at, int64_t n, const uint8_t* c, int32_t parts, int32_t points) {
    if (parts == 0 && points > 0) {
      r_.Add(shpName_, at + 36, n, "shp-part-start", Fmt("%d points in no part", points));
      return false;
    }
    for (int32_t i = 0; i < parts; ++i) {
      const int32_t s = LE32(c + 44 + 4 * int64_t(i)),
                    prev = i ? LE32(c + 40 + 4 * int64_t(i)) : -1;
      const char* why = i == 0 && s != 0 ? "not 0"
                        : s <= prev      ? "not after the previous part's"
                        : s >= points    ? "not below the point count"
                                         : nullptr;
      if (why != nullptr) {
        r_.Add(shpName_, at + 44 + 4 * int64_t(i), n, "shp-part-start",
               Fmt("part %d starts at point %d: %s", i + 1, s, why));
        return false;
      }
    }
    return true;
  }

  // A Z or M block at `c` (file offset `at`): its range, then one value per point.
  void Range(int64_t at, int64_t n, const uint8_t* c, int32_t points, bool isZ) {
    // As for the box: the values' extent in locals, the first value outside looked for after.
    const double lo = LEDouble(c), hi = LEDouble(c + 8);
    Extent e;
    bool nan = false;
    for (int32_t i = 0; i < points; ++i) {
      const double v = LEDouble(c + 16 + 8 * int64_t(i));
      if (isZ || !NoData(v)) e.Add(v), nan |= std::isnan(v);
    }
    (isZ ? z_ : m_).Merge(e);
    if (NoRange(lo, hi, isZ) || (!nan && e.Within(lo, hi))) return;
    for (int32_t i = 0; i < points; ++i) {
      const double v = LEDouble(c + 16 + 8 * int64_t(i));
      if ((isZ || !NoData(v)) && !(lo <= v && v <= hi)) {
        r_.Add(shpName_, at, n, isZ ? "shp-z-range" : "shp-m-range",
               Fmt("the %s range %.15g to %.15g does not hold point %d's value %.15g",
                   isZ ? "Z" : "M", lo, hi, i + 1, v));
        return;
      }
    }
  }

  void Rings(int64_t at, int64_t n, const uint8_t* c, int32_t parts, int32_t points, int64_t xyAt) {
    for (int32_t i = 0; i < parts; ++i) {
      const int32_t first = LE32(c + 44 + 4 * int64_t(i));
      const int32_t end = i + 1 < parts ? LE32(c + 48 + 4 * int64_t(i)) : points;
      const uint8_t *a = c + xyAt + 16 * int64_t(first), *z = c + xyAt + 16 * (int64_t(end) - 1);
      if (end - first < 4)
        r_.Add(shpName_, at + xyAt + 16 * int64_t(first), n, "shp-ring-short",
               Fmt("ring %d has %d points; a ring has at least 4", i + 1, end - first));
      else if (LEDouble(a) != LEDouble(z) || LEDouble(a + 8) != LEDouble(z + 8))
        r_.Add(shpName_, at + xyAt + 16 * (int64_t(end) - 1), n, "shp-ring-open",
               Fmt("ring %d ends at (%.15g, %.15g), not at its first point (%.15g, %.15g)", i + 1,
                   LEDouble(z), LEDouble(z + 8), LEDouble(a), LEDouble(a + 8)));
    }
  }

  void CheckFileRanges() {
    if (!x_.Within(h_.box[0], h_.box[2]) || !y_.Within(h_.box[1], h_.box[3]))
      r_.Add(shpName_, 36, 0, "shp-file-box",
             Fmt("the header's box (%.15g, %.15g, %.15g, %.15g) does not hold every point; they "
                 "span (%.15g, %.15g, %.15g, %.15g)",
                 h_.box[0], h_.box[1], h_.box[2], h_.box[3], x_.lo, y_.lo, x_.hi, y_.hi));
    if (type_.z && !NoRange(h_.z[0], h_.z[1], true) && !z_.Within(h_.z[0], h_.z[1]))
      r_.Add(shpName_, 68, 0, "shp-file-z-range",
             Fmt("the header's Z range %.15g to %.15g does not hold every height; they span "
                 "%.15g to %.15g",
                 h_.z[0], h_.z[1], z_.lo, z_.hi));
    if (type_.m && !NoRange(h_.m[0], h_.m[1], false) && !m_.Within(h_.m[0], h_.m[1]))
      r_.Add(shpName_, 84, 0, "shp-file-m-range",
             Fmt("the header's M range %.15g to %.15g does not hold every measure; they span "
                 "%.15g to %.15g",
                 h_.m[0], h_.m[1], m_.lo, m_.hi));
  }

  Report& r_;
  bool quiet_;
  std::string shpName_, shxName_;
  FileBytes shp_, probe_{int64_t(1) << 16}, shx_;
  int64_t size_ = 0, entries_ = -1, records_ = 0, walkEnd_ = 0;
  bool walkDone_ = false;
  Header h_{};
  ShapeType type_;
  Extent x_, y_, z_, m_;
};

bool KnownVersion(uint8_t v) { return v == 0x03 || v == 0x04 || v == 0x83 || v == 0x8B; }

// Width and decimals a field of `type` may have; null when they fit.
const char* FieldSizeProblem(char type, int width, int decimals) {
  switch (type) {
    case 'C':
      return width < 1 || width > 254 ? "a character field is 1 to 254 wide"
             : decimals               ? "a character field has no decimals"
                                      : nullptr;
    case 'N':
    case 'F':
      return width < 1                          ? "a number field is at least 1 wide"
             : decimals && decimals > width - 2 ? "decimals leave no room for a digit and the point"
                                                : nullptr;
    case 'L': return width != 1 || decimals ? "a logical field is 1 wide, no decimals" : nullptr;
    case 'D': return width != 8 || decimals ? "a date field is 8 wide, no decimals" : nullptr;
    case 'M': return width != 10 || decimals ? "a memo field is 10 wide, no decimals" : nullptr;
    default: return nullptr;
  }
}

// The table: header, field descriptors, sizes, end-of-file byte and deletion flags. Its record
// count, or -1 when the file cannot be read.
int64_t CheckTable(const std::string& path, Report& r, bool quiet) {
  r.Checked(path);
  FileBytes f;
  if (!f.Open(path)) return r.Unreadable(path, "file-unreadable", "cannot be opened"), -1;
  const int64_t size = f.size();
  if (size < 32)
    return r.Unreadable(path, "file-too-short", TooShort(size, 32)), -1;
  const uint8_t* h = f.At(0, 32);
  if (h == nullptr) return r.Unreadable(path, "file-unreadable", "cannot be read"), -1;
  const uint8_t version = h[0];
  const int64_t count = uint32_t(LE32(h + 4)), headerSize = LE16(h + 8), recordSize = LE16(h + 10);
  if (!KnownVersion(version))
    r.Add(
        path, 0, 0, "dbf-version",
        Fmt("version byte 0x%02X, not a dBASE III or IV table (0x03, 0x04, 0x83, 0x8B)", version));
  // Where the walk below finds no terminator before the end of the file, a header size that puts
  // one after whole descriptors names the damage when that byte is not 0x0D.
  auto noEnd = [&](int64_t at, const std::string& why) {
    const bool placed = headerSize > 32 && (headerSize - 1) % 32 == 0 && headerSize <= size;
    const uint8_t* t = placed ? f.At(headerSize - 1, 1) : nullptr;
    if (t != nullptr && *t != 0x0D)
      r.Add(path, headerSize - 1, 0, "dbf-terminator",
            Fmt("byte 0x%02X where the header size %" PRId64 " puts the descriptors' end 0x0D", *t,
                headerSize));
    else
      r.Add(path, at, 0, "dbf-header-cut", why);
  };
  // The descriptors, up to their terminator 0x0D (within a header size of 16 bits).
  int64_t pos = 32, widths = 0, terminator = -1;
  for (int field = 1;; ++field, pos += 32) {
    const uint8_t* d = f.At(pos, std::min<int64_t>(32, size - pos));
    if (pos >= size || d == nullptr) {
      noEnd(pos, Fmt("the file ends at byte %" PRId64 ", inside the field descriptors", size));
      break;
    }
    if (d[0] == 0x0D) {
      terminator = pos;
      break;
    }
    if (pos + 32 > 0xFFFF) {
      r.Add(path, pos, 0, "dbf-terminator", "no 0x0D after the field descriptors");
      break;
    }
    if (size - pos < 32) {
      noEnd(pos, Fmt("the file ends at byte %" PRId64 ", inside field descriptor %d", size, field));
      break;
    }
    const uint8_t* end = std::find(d, d + 11, 0);
    const bool ascii = std::all_of(d, end, [](uint8_t ch) { return ch > 0x20 && ch < 0x7F; });
    if (end == d + 11 || end == d || !ascii)
      r.Add(path, pos, 0, "dbf-field-name",
            Fmt("field %d: the name is %s", field,
                end == d + 11 ? "not ended by a NUL within 11 bytes"
                : end == d    ? "empty"
                              : "not printable ASCII without spaces"));
    const char type = char(d[11]);
    if (std::string("CNFLDM").find(type) == std::string::npos)
      r.Add(path, pos + 11, 0, "dbf-field-type",
            Fmt("field %d: type byte 0x%02X, not C, N, F, L, D or M", field, d[11]));
    else if (const char* why = FieldSizeProblem(type, d[16], d[17]))
      r.Add(path, pos + 16, 0, "dbf-field-width",
            Fmt("field %d (%c): width %d, decimals %d: %s", field, type, d[16], d[17], why));
    widths += d[16];
  }
  const bool sound = terminator >= 0 && headerSize == terminator + 1 && recordSize == 1 + widths;
  if (terminator >= 0 && headerSize != terminator + 1)
    r.Add(path, 8, 0, "dbf-header-size",
          Fmt("header size %" PRId64 "; the %" PRId64 " field descriptors and the 0x0D end at %"
              PRId64, headerSize, (terminator - 32) / 32, terminator + 1));
  if (terminator >= 0 && recordSize != 1 + widths)
    r.Add(path, 10, 0, "dbf-record-size",
          Fmt("record size %" PRId64 "; the deletion flag and the fields take %" PRId64, recordSize,
              1 + widths));
  const int64_t end = headerSize + count * recordSize;
  if (end > size) {
    r.Add(path, 4, 0, "dbf-records-cut",
          Fmt("%" PRId64 " records of %" PRId64 " bytes from byte %" PRId64 " end at byte %"
              PRId64 "; the file has %" PRId64, count, recordSize, headerSize, end, size));
  } else if (end < size) {
    const uint8_t* b = f.At(end, 1);
    if (b != nullptr && *b != 0x1A)
      r.Add(path, end, 0, "dbf-eof-byte",
            Fmt("byte 0x%02X after the last record, not the end-of-file byte 0x1A (%" PRId64
                " bytes follow the records)", *b, size - end));
    else if (end + 1 < size)
      r.Add(path, end + 1, 0, "dbf-trailing-bytes",
            Fmt("%" PRId64 " bytes after the end-of-file byte", size - end - 1));
  }
  if (sound) {
    Progress progress("checking " + path, count, quiet);
    for (int64_t i = 0; i < count && headerSize + i * recordSize < size; ++i) {
      const uint8_t* flag = f.At(headerSize + i * recordSize, 1);
      if (flag == nullptr) return r.Unreadable(path, "file-unreadable", "cannot be read"), -1;
      if (*flag != ' ' && *flag != '*')
        r.Add(path, headerSize + i * recordSize, i + 1, "dbf-deletion-flag",
              Fmt("deletion flag 0x%02X, not ' ' or '*'", *flag));
      progress.Step(i + 1);
    }
  }
  return count;
}

// A spatial index beside the pair that is older than the .shp no longer describes it.
void CheckSideIndexes(const std::string& base, const std::string& shp, Report& r) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const auto shpTime = fs::last_write_time(shp, ec);
  if (ec) return;
  for (const char* ext : {".sbn", ".sbx", ".qix"}) {
    const std::string side = Beside(base, ext);
    if (side.empty()) continue;
    const auto t = fs::last_write_time(side, ec);
    if (!ec && t < shpTime)
      r.Add(side, 0, 0, "stale-index", "older than the .shp: it may not match the shapes");
  }
}

void CheckBase(const std::string& arg, Report& r, bool quiet) {
  const std::string base = BaseOf(arg);
  const std::string shp = Beside(base, ".shp"), shx = Beside(base, ".shx"),
                    dbf = Beside(base, ".dbf");
  if (shp.empty() && shx.empty() && dbf.empty())
    return r.Unreadable(arg, "file-missing", "no .shp, .shx or .dbf of this name");
  int64_t pairCount = -1;
  if (!shp.empty()) {
    pairCount = PairCheck(r, quiet).Run(shp, shx, base);
    CheckSideIndexes(base, shp, r);
  } else if (!shx.empty()) {
    r.Checked(shx);
    r.Unreadable(shx, "shp-missing", "no .shp beside this .shx");
  }
  if (dbf.empty()) return;
  const int64_t records = CheckTable(dbf, r, quiet);
  if (records >= 0 && pairCount >= 0 && records != pairCount)
    r.Add(dbf, 4, 0, "count-mismatch",
          Fmt("%" PRId64 " records for %" PRId64 " shapes in the pair", records, pairCount));
}

}  // namespace

void AddCheck(CLI::App& app, int& status) {
  struct Options {
    std::vector<std::string> files;
    bool json = false, quiet = false;
  };
  auto o = std::make_shared<Options>();
  CLI::App* check = app.add_subcommand("check", "every consistency rule of the pair and the table");
  check->footer("Each finding: FILE:OFFSET: record N: CODE: sentence (codes in ovrix(1)).\n"
                "Exit status: 0 clean; 1 findings; 2 a file missing, unreadable or too short.");
  check->add_option("FILE", o->files, "base names or files of the pairs and tables")->required();
  check->add_flag("--json", o->json, "one JSON document: the files checked and the findings");
  check->add_flag("--quiet", o->quiet, "no progress and no summary line");
  check->callback([o, &status] {
    Report r;
    std::set<std::string> bases;  // x.shp x.shx x.dbf (as from x.*) name one base: checked once
    for (const std::string& f : o->files)
      if (bases.insert(BaseOf(f)).second) CheckBase(f, r, o->quiet);
    if (o->json)
      r.PrintJson();
    else
      r.PrintText(!o->quiet);
    status = r.Status();
  });
}

}  // namespace ovrix
