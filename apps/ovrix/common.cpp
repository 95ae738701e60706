#include "common.h"

#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <filesystem>

#include "ovrix32.h"

namespace ovrix {

namespace fs = std::filesystem;

std::string BaseOf(const std::string& file) {
  const fs::path p(file);
  std::string ext = p.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* known : {".shp", ".shx", ".dbf", ".prj", ".cpg", ".sbn", ".sbx", ".qix"})
    if (ext == known) return (p.parent_path() / p.stem()).string();
  return file;
}

std::string Beside(const std::string& base, const std::string& ext) {
  std::string upper = ext;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const std::string& e : {ext, upper})
    if (std::error_code ec; fs::is_regular_file(base + e, ec)) return base + e;
  return "";
}

int64_t SizeOf(const std::string& path) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  return ec ? -1 : static_cast<int64_t>(size);
}

namespace {
const char* FieldTypeName(int32_t type) {
  switch (type) {
    case DB_CHARACTER: return "character";
    case DB_NUMERIC: return "numeric";
    case DB_LOGICAL: return "logical";
    case DB_DATE: return "date";
    case DB_FLOAT: return "float";
    case DB_MEMO: return "memo";
    default: return "other";
  }
}
}  // namespace

nlohmann::ordered_json TableFields(DbTable* t) {
  nlohmann::ordered_json fields = nlohmann::ordered_json::array();
  char name[16] = {};
  for (int32_t f = 1; f <= Db_GetNumFields(t); ++f) {
    Db_GetFieldName(t, f, name);
    fields.push_back({{"name", name}, {"type", FieldTypeName(Db_GetFieldType(t, f))},
                      {"width", Db_GetFieldWidth(t, f)}, {"decimals", Db_GetFieldDecimals(t, f)}});
  }
  return fields;
}

nlohmann::ordered_json PairHeader(ShpFile* shp, int32_t records) {
  char type[32] = {};
  Shp_GetTypeAsString(shp, type);
  Bbox b{};
  double zmin = 0, zmax = 0, mmin = 0, mmax = 0;
  Shp_GetBoundingBox(shp, &b);
  Shp_GetZCoordRange(shp, &zmin, &zmax);
  Shp_GetMeasureRange(shp, &mmin, &mmax);
  return {{"type", type},          {"type_code", Shp_GetType(shp)}, {"records", records},
          {"box", {b.xmin, b.ymin, b.xmax, b.ymax}}, {"z_range", {zmin, zmax}},
          {"m_range", {mmin, mmax}}};
}

std::string Fmt(const char* fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

namespace {
int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

Progress::Progress(std::string what, int64_t total, bool quiet)
    : what_(std::move(what)), total_(total), shown_(!quiet && isatty(STDERR_FILENO)), lastNs_(NowNs()) {}

Progress::~Progress() {
  if (drawn_) std::fprintf(stderr, "\r\033[K"), std::fflush(stderr);
}

void Progress::Draw(int64_t done) {
  // Look at the clock only every 4096 steps, and draw at most five times a second.
  next_ = done + 4096;
  const int64_t now = NowNs();
  if (now - lastNs_ < 200000000) return;
  lastNs_ = now, drawn_ = true;
  const int percent = total_ > 0 ? static_cast<int>(done * 100 / total_) : 0;
  std::fprintf(stderr, "\r%s: %lld of %lld (%d%%)", what_.c_str(), static_cast<long long>(done),
               static_cast<long long>(total_), percent);
  std::fflush(stderr);
}

}  // namespace ovrix
