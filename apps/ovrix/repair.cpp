// ovrix repair: a new .shx from the .shp alone, by walking its records from byte 100. Only a
// .shp whose header and every record header are sound gives an index: records numbered 1, 2, 3
// ... back to back up to the end of the file, each with content of at least its shape type. The
// index is written beside the old one first (x.shx.new) and renamed into place only when there
// was none, or with --force, so the old index is never half overwritten. Its header is the .shp's
// with the index's length and zero Z and M ranges, as the library writes an index.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "common.h"
#include "shapefile_scan.h"

namespace ovrix {

namespace {

using namespace scan;
namespace fs = std::filesystem;

// The new index, written through a buffer of large blocks; removed again unless Commit succeeds.
class IndexWriter {
 public:
  explicit IndexWriter(std::string path)
      : path_(std::move(path)), f_(std::fopen(path_.c_str(), "wb")) {}
  ~IndexWriter() {
    if (f_ != nullptr) std::fclose(f_);
    if (!done_) std::remove(path_.c_str());
  }
  bool ok() const { return f_ != nullptr && ok_; }
  void Put(const uint8_t* p, size_t n) {
    buf_.insert(buf_.end(), p, p + n);
    if (buf_.size() >= (1u << 20)) Flush();
  }
  // Writes what is buffered, then `header` over the first 100 bytes, and closes the file.
  bool Commit(const uint8_t* header) {
    Flush();
    ok_ = ok_ && std::fseek(f_, 0, SEEK_SET) == 0 && std::fwrite(header, 1, 100, f_) == 100;
    ok_ = std::fclose(f_) == 0 && ok_;
    f_ = nullptr;
    return done_ = ok_;
  }

 private:
  void Flush() {
    if (f_ != nullptr && !buf_.empty())
      ok_ = ok_ && std::fwrite(buf_.data(), 1, buf_.size(), f_) == buf_.size();
    buf_.clear();
  }
  std::string path_;
  std::FILE* f_;
  std::vector<uint8_t> buf_;
  bool ok_ = true, done_ = false;
};

// Why the .shp header cannot stand for an index, or "": the first of check's header faults.
std::string HeaderProblem(const Header& h, int64_t size) {
  if (TypeOf(h.type).family == Family::kNone)
    return Fmt("shape type %d is not a shape type of a file", h.type);
  const std::vector<HeaderFault> faults = HeaderFaults(h, size);
  return faults.empty() ? "" : faults[0].text;
}

// Writes the index entries of the records to `out`; why it cannot, or "".
std::string WalkRecords(FileBytes& shp, IndexWriter& out, int64_t* records, bool quiet,
                        const std::string& name) {
  Progress progress("reading " + name, shp.size(), quiet);
  int64_t pos = kHeaderBytes, n = 0;
  while (pos < shp.size()) {
    progress.Step(pos);
    if (shp.size() - pos < 8)
      return Fmt("%" PRId64 " bytes after record %" PRId64 " at byte %" PRId64
                 ", too few for a record header",
                 shp.size() - pos, n, pos);
    const uint8_t* h = shp.At(pos, 8);
    if (h == nullptr) return "the file cannot be read";
    ++n;
    if (BE32(h) != n)
      return Fmt("record %" PRId64 " at byte %" PRId64 ": the header holds the number %d", n, pos,
                 BE32(h));
    const int32_t words = BE32(h + 4);
    if (words < 2 || 2 * int64_t(words) > shp.size() - pos - 8)
      return Fmt("record %" PRId64 " at byte %" PRId64 ": content length %d words does not fit"
                 " the file", n, pos, words);
    if (pos / 2 > INT32_MAX)
      return Fmt("record %" PRId64 " lies past what an index can address", n);
    uint8_t e[8];
    PutBE32(e, int32_t(pos / 2)), PutBE32(e + 4, words);
    out.Put(e, 8);
    pos += 8 + 2 * int64_t(words);
  }
  *records = n;
  return "";
}

// True when both files hold the same bytes.
bool SameBytes(const std::string& a, const std::string& b) {
  FileBytes x, y;
  if (!x.Open(a) || !y.Open(b) || x.size() != y.size()) return false;
  for (int64_t off = 0; off < x.size(); off += int64_t(1) << 20) {
    const int64_t n = std::min(x.size() - off, int64_t(1) << 20);
    const uint8_t *p = x.At(off, n), *q = y.At(off, n);
    if (p == nullptr || q == nullptr || std::memcmp(p, q, size_t(n)) != 0) return false;
  }
  return true;
}

int Repair(const std::string& file, bool force, bool quiet) {
  const std::string base = BaseOf(file), shpPath = Beside(base, ".shp");
  FileBytes shp;
  if (shpPath.empty() || !shp.Open(shpPath)) {
    std::cerr << "ovrix: " << base << ".shp: cannot be opened\n";
    return kUnreadable;
  }
  const uint8_t* hp = shp.At(0, kHeaderBytes);
  if (hp == nullptr) {
    std::cerr << "ovrix: " << shpPath << ": too short for the 100-byte header\n";
    return kUnreadable;
  }
  uint8_t header[kHeaderBytes];
  std::memcpy(header, hp, sizeof header);
  if (const std::string why = HeaderProblem(ReadHeader(header), shp.size()); !why.empty()) {
    std::cerr << "ovrix: " << shpPath << ": " << why << ": no index written\n";
    return kFindings;
  }
  // The index is named like the one it replaces, else in the case of the .shp's extension.
  std::string shxPath = Beside(base, ".shx");
  const bool old = !shxPath.empty();
  if (!old) shxPath = base + (shpPath.substr(shpPath.size() - 4) == ".SHP" ? ".SHX" : ".shx");
  const std::string newPath = shxPath + ".new";
  int64_t records = 0;
  {
    IndexWriter out(newPath);
    if (!out.ok()) {
      std::cerr << "ovrix: " << newPath << ": cannot be created\n";
      return kUnreadable;
    }
    // The .shp's header with the index's length; Z and M ranges zero, as the library's are.
    uint8_t h[kHeaderBytes];
    std::memcpy(h, header, sizeof h);
    std::memset(h + 68, 0, 32);
    out.Put(h, sizeof h);  // its length is known after the walk: Commit writes it again
    if (const std::string why = WalkRecords(shp, out, &records, quiet, shpPath); !why.empty()) {
      std::cerr << "ovrix: " << shpPath << ": " << why << ": no index written\n";
      return kFindings;
    }
    if (records > (INT32_MAX - 50) / 4) {
      std::cerr << "ovrix: " << shpPath << ": too many records for an index\n";
      return kFindings;
    }
    PutBE32(h + 24, int32_t(50 + 4 * records));
    if (!out.Commit(h)) {
      std::cerr << "ovrix: " << newPath << ": cannot be written\n";
      return kUnreadable;
    }
  }
  std::error_code ec;
  if (old && SameBytes(newPath, shxPath)) {
    fs::remove(newPath, ec);
    std::cout << shxPath << ": already the index of " << shpPath << " (" << records
              << " records)\n";
    return kClean;
  }
  if (old && !force) {
    std::cerr << "ovrix: " << shxPath << " exists: the new index is " << newPath
              << "; --force replaces the old one with it\n";
    return kFindings;
  }
  fs::rename(newPath, shxPath, ec);
  if (ec) {
    std::cerr << "ovrix: " << shxPath << ": cannot be replaced: " << ec.message() << "\n";
    return kUnreadable;
  }
  std::cout << shxPath << ": " << (old ? "replaced" : "written") << ", " << records
            << " records of " << shpPath << "\n";
  return kClean;
}

}  // namespace

void AddRepair(CLI::App& app, int& status) {
  struct Options {
    std::string file;
    bool force = false, quiet = false;
  };
  auto o = std::make_shared<Options>();
  CLI::App* repair = app.add_subcommand("repair", "a new .shx from the records of the .shp");
  repair->footer("Writes X.shx.new first; renames it to X.shx when there is none, or over it with "
                 "--force.\nExit status: 0 repaired (or the index was already right); 1 refused "
                 "(a record header unsound) or X.shx.new left beside X.shx; 2 unreadable.");
  repair->add_option("FILE", o->file, "the base name or a file of the pair")->required();
  repair->add_flag("--force", o->force, "replace an existing .shx");
  repair->add_flag("--quiet", o->quiet, "no progress");
  repair->callback([o, &status] { status = Repair(o->file, o->force, o->quiet); });
}

}  // namespace ovrix
