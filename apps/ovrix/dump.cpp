// ovrix dump: the records of a pair (geometry) and of the table beside it (attributes), record by
// record, as text, JSON, GeoJSON or CSV. Output is written while the records are read, through
// one large buffer, so that a dump of millions of records needs memory for one record only.
#include <nlohmann/json.hpp>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common.h"
#include "ovrix32.h"
#include "shapefile_scan.h"

namespace ovrix {

namespace {

using nlohmann::ordered_json;
using Multi = ShpMultiRecord;

bool HasZ(int32_t t) { return scan::TypeOf(t).z; }
bool HasM(int32_t t) { return scan::TypeOf(t).m; }
// A measure that holds no value: "no data", or a NaN.
bool NoData(double m) { return std::isnan(m) || scan::NoData(m); }

// ---------------------------------------------------------------------------------------------
// Reading

// One record's geometry as the library hands it out: the stored part starts (and, for
// multipatches, part types) and per vertex x, y, z and m (z 0 and m NO_DATA where the type or
// the record has none).
struct Geom {
  bool present = false;   // false: a null record, a refused one, or none in the pair
  bool measured = false;  // at least one m is a value
  std::vector<int32_t> starts, types;
  std::vector<double> x, y, z, m;

  void Clear() {
    present = measured = false;
    starts.clear(), types.clear(), x.clear(), y.clear(), z.clear(), m.clear();
  }
  void Add(const ShpCoordZ& c) {
    x.push_back(c.x), y.push_back(c.y), z.push_back(c.z), m.push_back(c.m);
    measured = measured || !NoData(c.m);
  }
  int32_t Size() const { return static_cast<int32_t>(x.size()); }
  // The vertices [first, end) of part p (from 0). Starts are stored unchecked, so they are
  // clamped to the vertices there are, and a part whose successor starts before it is empty.
  std::pair<int32_t, int32_t> Part(size_t p) const {
    const auto at = [&](size_t k) {
      return k < starts.size() ? std::clamp(starts[k], int32_t{0}, Size()) : Size();
    };
    const int32_t first = at(p);
    return {first, std::max(first, at(p + 1))};
  }
};

ShpCoordZ Widen(const ShpCoord& c) { return {c.x, c.y, NO_DATA, 0}; }
ShpCoordZ Widen(const ShpCoordM& c) { return {c.x, c.y, c.m, 0}; }
ShpCoordZ Widen(const ShpCoordZ& c) { return c; }

// The functions of one multi-coordinate family, its coordinate getter widened to ShpCoordZ.
struct Family {
  Multi*(OVRIX32_CALL* create)();
  int32_t(OVRIX32_CALL* destroy)(Multi*);
  int32_t(OVRIX32_CALL* read)(ShpFile*, int32_t, Multi*);
  int32_t(OVRIX32_CALL* numParts)(Multi*);  // null for multipoints: one part
  int32_t(OVRIX32_CALL* partOffset)(Multi*, int32_t);
  int32_t(OVRIX32_CALL* numCoords)(Multi*);
  int32_t (*get)(Multi*, ShpCoordZ*, int32_t);
};

template <class C, int32_t(OVRIX32_CALL* Get)(Multi*, C*, int32_t)>
int32_t GetWide(Multi* o, ShpCoordZ* out, int32_t k) {
  C c{};
  const int32_t ok = Get(o, &c, k);
  *out = Widen(c);
  return ok;
}

Multi* OVRIX32_CALL NewPatch() { return Shp_MultiPatchCreate(SHP_PART_TRIANGLE_STRIP); }

#define OVRIX_FAMILY(F, C, P, O)                                                          \
  Family {                                                                                \
    Shp_##F##Create, Shp_##F##Destroy, Shp_##F##Read, P, O, Shp_##F##GetNumCoords,        \
        GetWide<C, Shp_##F##GetCoord>                                                     \
  }
#define OVRIX_PARTED(F, C) OVRIX_FAMILY(F, C, Shp_##F##GetNumParts, Shp_##F##GetPartOffset)

const Family* FamilyOf(int32_t type) {
  static const Family mp = OVRIX_FAMILY(MultiPoint, ShpCoord, nullptr, nullptr);
  static const Family mpm = OVRIX_FAMILY(MultiPointM, ShpCoordM, nullptr, nullptr);
  static const Family mpz = OVRIX_FAMILY(MultiPointZ, ShpCoordZ, nullptr, nullptr);
  static const Family l = OVRIX_PARTED(Line, ShpCoord), lm = OVRIX_PARTED(LineM, ShpCoordM);
  static const Family lz = OVRIX_PARTED(LineZ, ShpCoordZ), p = OVRIX_PARTED(Polygon, ShpCoord);
  static const Family pm = OVRIX_PARTED(PolygonM, ShpCoordM);
  static const Family pz = OVRIX_PARTED(PolygonZ, ShpCoordZ);
  static const Family patch = {NewPatch, Shp_MultiPatchDestroy, Shp_MultiPatchRead,
                               Shp_MultiPatchGetNumParts, Shp_MultiPatchGetPartOffset,
                               Shp_MultiPatchGetNumCoords,
                               GetWide<ShpCoordZ, Shp_MultiPatchGetCoord>};
  switch (type) {
    case SHP_MULTIPOINT: return &mp;
    case SHP_MULTIPOINTM: return &mpm;
    case SHP_MULTIPOINTZ: return &mpz;
    case SHP_POLYLINE: return &l;
    case SHP_POLYLINEM: return &lm;
    case SHP_POLYLINEZ: return &lz;
    case SHP_POLYGON: return &p;
    case SHP_POLYGONM: return &pm;
    case SHP_POLYGONZ: return &pz;
    case SHP_MULTIPATCH: return &patch;
    default: return nullptr;
  }
}
#undef OVRIX_PARTED
#undef OVRIX_FAMILY

// A pair open for reading, with one record object of its family.
class Pair {
 public:
  explicit Pair(const std::string& base) : base_(base), shp_(Shp_Create()) {
    std::vector<char> name(base.begin(), base.end());
    name.push_back('\0');
    if (shp_ == nullptr || Shp_Open(shp_, name.data(), SHP_OPEN_READ) != 1) return;
    type_ = Shp_GetType(shp_);
    // The count comes from the index header's length, which may promise more entries than the
    // index holds: only the entries there are can be records.
    count_ = static_cast<int32_t>(std::clamp<int64_t>(Shp_GetNumShapes(shp_), 0, Entries()));
    char typeName[32] = {};
    Shp_GetTypeAsString(shp_, typeName);
    typeName_ = typeName;
    family_ = FamilyOf(type_);
    if (family_ != nullptr) multi_ = family_->create();
    readPoint_ = type_ == SHP_POINT    ? Shp_PointRead
                 : type_ == SHP_POINTM ? Shp_PointMRead
                 : type_ == SHP_POINTZ ? Shp_PointZRead
                                       : nullptr;
    if (readPoint_ != nullptr) point_ = Shp_PointZCreate();
    ok_ = multi_ != nullptr || point_ != nullptr || family_ == nullptr;
  }
  ~Pair() {
    if (multi_ != nullptr) family_->destroy(multi_);
    Shp_PointZDestroy(point_);
    Shp_Destroy(shp_);
  }
  Pair(const Pair&) = delete;
  Pair& operator=(const Pair&) = delete;

  bool Ok() const { return ok_; }
  int32_t Type() const { return type_; }
  int32_t Count() const { return count_; }
  int32_t Counted() const { return Shp_GetNumShapes(shp_); }  // as the index header says
  const std::string& TypeName() const { return typeName_; }

  ordered_json Header() const { return PairHeader(shp_, count_); }

  // Reads record n into g. False when the library refuses the record and it is not stored as
  // a null shape (g is then empty); a null shape is a record without geometry, not a fault.
  bool Read(int32_t n, Geom& g) {
    g.Clear();
    if (point_ != nullptr) {
      ShpCoordZ c = {0, 0, NO_DATA, 0};
      if (ReadPoint(n, c)) g.starts.push_back(0), g.Add(c), g.present = true;
    } else if (multi_ != nullptr && family_->read(shp_, n, multi_) == 1) {
      const int32_t parts = family_->numParts ? family_->numParts(multi_) : 1;
      for (int32_t p = 1; p <= parts; ++p) {
        g.starts.push_back(family_->partOffset ? family_->partOffset(multi_, p) : 0);
        if (type_ == SHP_MULTIPATCH) g.types.push_back(Shp_MultiPatchGetTypeInPart(multi_, p));
      }
      ShpCoordZ c{};
      for (int32_t k = 1, coords = family_->numCoords(multi_); k <= coords; ++k)
        family_->get(multi_, &c, k), g.Add(c);
      g.present = true;
    }
    return g.present || StoredAsNull(n);
  }

 private:
  // A point record into c (x, y, m "no data", z 0 when called). Every point function takes a
  // point object of any variant: the file's own variant reads, which leaves the values its type
  // lacks as they were set here, and the widest one hands all four out.
  bool ReadPoint(int32_t n, ShpCoordZ& c) {
    Shp_PointZAppendCoord(point_, &c);
    return readPoint_(shp_, n, point_) == 1 && Shp_PointZGetCoord(point_, &c) == 1;
  }

  int64_t Entries() const { return std::max<int64_t>(SizeOf(Beside(base_, ".shx")) - 100, 0) / 8; }

  // Whether record n is stored with the null shape type (0), which every family's read refuses:
  // looked up through its index entry, only for records the library refused.
  bool StoredAsNull(int32_t n) {
    if (!files_) {
      files_ = true;
      shx_.Open(Beside(base_, ".shx")), shpBytes_.Open(Beside(base_, ".shp"));
    }
    const uint8_t* entry = shx_.At(100 + 8 * (int64_t{n} - 1), 8);
    if (entry == nullptr || scan::BE32(entry + 4) < 2) return false;
    const uint8_t* type = shpBytes_.At(2 * int64_t{scan::BE32(entry)} + 8, 4);
    return type != nullptr && scan::LE32(type) == 0;
  }

  std::string base_;
  ShpFile* shp_;
  bool ok_ = false, files_ = false;
  int32_t type_ = 0, count_ = 0;
  std::string typeName_;
  const Family* family_ = nullptr;
  Multi* multi_ = nullptr;
  ShpPointZ* point_ = nullptr;
  int32_t(OVRIX32_CALL* readPoint_)(ShpFile*, int32_t, ShpPointZ*) = nullptr;
  scan::FileBytes shx_{4096}, shpBytes_{4096};
};

struct Field {
  std::string name;
  int32_t type, decimals;
};

// A table open for reading; Load makes a record current and copies its values out.
class Table {
 public:
  explicit Table(const std::string& path) : t_(Db_Create()) {
    ok_ = t_ != nullptr && Db_Open(t_, path.c_str()) == 1;
    if (!ok_) return;
    char name[16] = {};
    for (int32_t f = 1; f <= Db_GetNumFields(t_); ++f) {
      Db_GetFieldName(t_, f, name);
      fields_.push_back({name, Db_GetFieldType(t_, f), Db_GetFieldDecimals(t_, f)});
    }
    values_.resize(fields_.size());
    // The header's record count may promise more records than the file holds (those would read
    // as blanks): only whole records there are count, after the header size (bytes 8-9).
    scan::FileBytes bytes(32);
    const uint8_t* header = bytes.Open(path) ? bytes.At(8, 2) : nullptr;
    const int64_t data = header != nullptr ? bytes.size() - scan::LE16(header) : 0;
    count_ = static_cast<int32_t>(std::clamp<int64_t>(
        Db_GetNumRecs(t_), 0, std::max<int64_t>(data, 0) / (int64_t{Db_GetRecLen(t_)} + 1)));
  }
  ~Table() { Db_Destroy(t_); }
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  bool Ok() const { return ok_; }
  int32_t Count() const { return count_; }
  int32_t Counted() const { return Db_GetNumRecs(t_); }  // as the header says
  const std::vector<Field>& Fields() const { return fields_; }
  const std::vector<std::string>& Values() const { return values_; }
  bool Deleted() const { return deleted_; }

  ordered_json Header() const { return {{"records", Count()}, {"fields", TableFields(t_)}}; }

  // Record n's deletion mark and its values without leading and trailing blanks.
  void Load(int32_t n) {
    Db_GetRec(t_, n);
    deleted_ = Db_IsCurRecDeleted(t_) == 1;
    for (size_t f = 0; f < fields_.size(); ++f) {
      int32_t length = 0;
      const char* v = Db_GetFieldValuePtr(t_, static_cast<int32_t>(f + 1), &length);
      values_[f].assign(v != nullptr ? v : "", v != nullptr ? static_cast<size_t>(length) : 0);
    }
  }

 private:
  DbTable* t_;
  bool ok_ = false, deleted_ = false;
  int32_t count_ = 0;
  std::vector<Field> fields_;
  std::vector<std::string> values_;
};

// ---------------------------------------------------------------------------------------------
// Values

// Text as UTF-8: valid UTF-8 stays as it is, anything else is taken as Latin-1 (the usual code
// page of old tables), so that JSON output is always valid.
std::string Utf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t len = 0;  // of the sequence that c starts; 0: not a first byte
    if (c < 0x80) len = 1;
    else if ((c >> 5) == 6) len = 2;
    else if ((c >> 4) == 14) len = 3;
    else if ((c >> 3) == 30) len = 4;
    if (len == 0 || i + len > s.size()) break;
    size_t k = 1;
    while (k < len && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80) ++k;
    if (k < len) break;
    i += len;
  }
  if (i == s.size()) return s;
  std::string out;
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// A field's value as JSON: null when blank; numbers for numeric and float fields whose text is a
// number (integers as integers in numeric fields without decimals), null for the asterisks that
// some writers fill them with; true, false or null for logicals; dates as text, null for zeros;
// text otherwise.
ordered_json Typed(const Field& field, const std::string& v) {
  const int32_t type = field.type;
  const bool numeric = type == DB_NUMERIC || type == DB_FLOAT;
  if (v.empty() || (numeric && v.find_first_not_of('*') == std::string::npos) ||
      (type == DB_DATE && v.find_first_not_of('0') == std::string::npos))
    return nullptr;
  if (type == DB_LOGICAL) {
    if (std::string_view("TtYy").find(v[0]) != std::string_view::npos) return true;
    if (std::string_view("FfNn").find(v[0]) != std::string_view::npos) return false;
    return nullptr;
  }
  if (numeric && v.find_first_not_of("0123456789+-.eE") == std::string::npos) {
    const char* begin = v.data() + (v.size() > 1 && v[0] == '+');
    const char* end = v.data() + v.size();
    int64_t i = 0;
    const auto whole = std::from_chars(begin, end, i);
    if (type == DB_NUMERIC && field.decimals == 0 && whole.ec == std::errc() && whole.ptr == end)
      return i;
    double d = 0;
    auto r = std::from_chars(begin, end, d);
    if (r.ec == std::errc() && r.ptr == end && std::isfinite(d)) return d;
  }
  return Utf8(v);
}

ordered_json Attributes(const Table& t) {
  ordered_json a = ordered_json::object();
  for (size_t f = 0; f < t.Fields().size(); ++f)
    a[Utf8(t.Fields()[f].name)] = Typed(t.Fields()[f], t.Values()[f]);
  return a;
}

std::string Dumped(const ordered_json& j) {
  return j.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

// Standard output through one large buffer.
class Out {
 public:
  ~Out() { Flush(); }
  Out& operator<<(std::string_view s) {
    buf_.append(s);
    if (buf_.size() >= (1u << 20)) Flush();
    return *this;
  }
  Out& operator<<(char c) {
    buf_ += c;
    return *this;
  }
  Out& operator<<(int64_t i) {
    char b[24];
    return *this << std::string_view(b, static_cast<size_t>(std::to_chars(b, b + 24, i).ptr - b));
  }
  // The shortest text that reads back as the same double ("nan", "inf" as they are).
  Out& Num(double d) {
    char b[32];
    return *this << std::string_view(b, static_cast<size_t>(std::to_chars(b, b + 32, d).ptr - b));
  }
  // A JSON number: non-finite values, which JSON cannot hold, as null.
  Out& JsonNum(double d) { return std::isfinite(d) ? Num(d) : *this << "null"; }
  bool Flush() {
    if (!buf_.empty() && std::fwrite(buf_.data(), 1, buf_.size(), stdout) != buf_.size())
      failed_ = true;
    buf_.clear();
    return !failed_ && std::fflush(stdout) == 0;
  }

 private:
  std::string buf_;
  bool failed_ = false;
};

// ---------------------------------------------------------------------------------------------
// Geometry organised as GeoJSON and WKT want it

using Ring = std::vector<int32_t>;  // vertex indexes into a Geom; a closed ring repeats its first

struct Shape {
  enum Kind { kPoint, kMultiPoint, kLines, kPolygons } kind = kPoint;
  std::vector<Ring> lines;                  // points and multipoints: one list
  std::vector<std::vector<Ring>> polygons;  // each: the exterior ring, then its holes
  bool Empty() const {
    return kind == kPolygons ? polygons.empty() : lines.empty() || lines[0].empty();
  }
};

double Area2(const Geom& g, const Ring& r) {  // twice the signed area: > 0 counterclockwise
  double a = 0;
  for (size_t i = 0; i + 1 < r.size(); ++i)
    a += g.x[r[i]] * g.y[r[i + 1]] - g.x[r[i + 1]] * g.y[r[i]];
  return a;
}

bool Inside(const Geom& g, const Ring& r, double px, double py) {  // crossings of a ray to +x
  bool in = false;
  for (size_t i = 0; i + 1 < r.size(); ++i) {
    const double x1 = g.x[r[i]], y1 = g.y[r[i]], x2 = g.x[r[i + 1]], y2 = g.y[r[i + 1]];
    if ((y1 > py) != (y2 > py) && px < x1 + (py - y1) * (x2 - x1) / (y2 - y1)) in = !in;
  }
  return in;
}

void Orient(const Geom& g, Ring& r, bool counterclockwise) {
  const double a = Area2(g, r);
  if (a != 0 && (a > 0) != counterclockwise) std::reverse(r.begin(), r.end());
}

// The vertex indexes first ... end - 1.
Ring Run(int32_t first, int32_t end) {
  Ring r(static_cast<size_t>(std::max(end - first, 0)));
  for (size_t k = 0; k < r.size(); ++k) r[k] = first + static_cast<int32_t>(k);
  return r;
}

// Vertices [first, end) as a ring closed by repeating its first vertex where it is not.
Ring Closed(const Geom& g, int32_t first, int32_t end) {
  Ring r = Run(first, end);
  const int32_t l = end - 1;
  if (!r.empty() && (g.x[first] != g.x[l] || g.y[first] != g.y[l] || g.z[first] != g.z[l]))
    r.push_back(first);
  return r;
}

// Shapefile polygons: outer rings run clockwise, holes counterclockwise. Each hole goes to the
// smallest outer ring that contains its first vertex; a hole inside none stands as a polygon of
// its own. Exteriors then run counterclockwise and holes clockwise, as GeoJSON has them.
void Organise(const Geom& g, std::vector<Ring>& rings, std::vector<std::vector<Ring>>& out) {
  std::vector<Ring> holes;
  std::vector<double> area;
  std::vector<Bbox> box;
  for (Ring& r : rings) {
    if (const double a = Area2(g, r); a > 0) {
      holes.push_back(std::move(r));
    } else {
      Bbox b = {g.x[r[0]], g.y[r[0]], g.x[r[0]], g.y[r[0]]};
      for (const int32_t i : r)
        b = {std::min(b.xmin, g.x[i]), std::min(b.ymin, g.y[i]), std::max(b.xmax, g.x[i]),
             std::max(b.ymax, g.y[i])};
      out.push_back({std::move(r)}), area.push_back(-a), box.push_back(b);
    }
  }
  const size_t outers = out.size();
  for (Ring& h : holes) {
    const double px = g.x[h[0]], py = g.y[h[0]];
    size_t best = outers;
    for (size_t o = 0; o < outers; ++o)
      if (px >= box[o].xmin && px <= box[o].xmax && py >= box[o].ymin && py <= box[o].ymax &&
          (best == outers || area[o] < area[best]) && Inside(g, out[o][0], px, py))
        best = o;
    if (best == outers) out.push_back({std::move(h)});
    else out[best].push_back(std::move(h));
  }
  for (auto& p : out)
    for (size_t k = 0; k < p.size(); ++k) Orient(g, p[k], k == 0);
}

// Multipatch parts as polygons: each triangle of a strip or fan, and each outer (first) ring
// with the inner rings (rings) behind it. Parts of unknown types are left out.
void Patches(const Geom& g, std::vector<std::vector<Ring>>& out) {
  bool open = false;  // the last polygon takes inner rings
  for (size_t p = 0; p < g.starts.size(); ++p) {
    const auto [first, end] = g.Part(p);
    const int32_t type = p < g.types.size() ? g.types[p] : -1;
    if (type == SHP_PART_TRIANGLE_STRIP || type == SHP_PART_TRIANGLE_FAN) {
      for (int32_t i = first; i + 2 < end; ++i) {
        Ring t = type == SHP_PART_TRIANGLE_STRIP ? Ring{i, i + 1, i + 2, i}
                                                 : Ring{first, i + 1, i + 2, first};
        Orient(g, t, true);
        out.push_back({std::move(t)});
      }
      open = false;
    } else if (type >= SHP_PART_OUTER_RING && type <= SHP_PART_RING && end > first) {
      Ring r = Closed(g, first, end);
      const bool inner = type == SHP_PART_INNER_RING || type == SHP_PART_RING;
      Orient(g, r, !(inner && open));
      if (inner && open) out.back().push_back(std::move(r));
      else out.push_back({std::move(r)}), open = true;
    }
  }
}

void Organise(int32_t type, const Geom& g, Shape& s) {
  s.lines.clear(), s.polygons.clear();
  const bool polygon = type == SHP_POLYGON || type == SHP_POLYGONM || type == SHP_POLYGONZ;
  if (type == SHP_MULTIPATCH) {
    s.kind = Shape::kPolygons;
    Patches(g, s.polygons);
  } else if (polygon || type == SHP_POLYLINE || type == SHP_POLYLINEM || type == SHP_POLYLINEZ) {
    s.kind = polygon ? Shape::kPolygons : Shape::kLines;
    for (size_t p = 0; p < g.starts.size(); ++p)
      if (const auto [first, end] = g.Part(p); end > first)
        s.lines.push_back(polygon ? Closed(g, first, end) : Run(first, end));
    if (polygon) Organise(g, s.lines, s.polygons), s.lines.clear();
  } else {
    s.kind = g.starts.empty() || type == SHP_POINT || type == SHP_POINTM || type == SHP_POINTZ
                 ? Shape::kPoint
                 : Shape::kMultiPoint;
    s.lines.push_back(Run(0, g.Size()));
  }
}

const char* GeoJsonType(const Shape& s) {
  switch (s.kind) {
    case Shape::kPoint: return "Point";
    case Shape::kMultiPoint: return "MultiPoint";
    case Shape::kLines: return s.lines.size() == 1 ? "LineString" : "MultiLineString";
    default: return s.polygons.size() == 1 ? "Polygon" : "MultiPolygon";
  }
}

// The coordinates of a shape in GeoJSON's nesting, each vertex written by `leaf`.
template <class Leaf>
void Nested(Out& o, const Shape& s, Leaf leaf) {
  const auto list = [&](const Ring& r) {
    o << '[';
    for (size_t i = 0; i < r.size(); ++i) (i ? o << ',' : o), leaf(r[i]);
    o << ']';
  };
  const auto lists = [&](const std::vector<Ring>& rs) {
    o << '[';
    for (size_t i = 0; i < rs.size(); ++i) (i ? o << ',' : o), list(rs[i]);
    o << ']';
  };
  if (s.kind == Shape::kPoint) return leaf(s.lines[0][0]);
  if (s.kind == Shape::kMultiPoint || (s.kind == Shape::kLines && s.lines.size() == 1))
    return list(s.lines[0]);
  if (s.kind == Shape::kLines) return lists(s.lines);
  if (s.polygons.size() == 1) return lists(s.polygons[0]);
  o << '[';
  for (size_t i = 0; i < s.polygons.size(); ++i) (i ? o << ',' : o), lists(s.polygons[i]);
  o << ']';
}

// The shape as WKT, with Z for the types that have it and M when the record has measures
// ("no data" measures of such a record as NaN).
void Wkt(Out& o, int32_t type, const Geom& g, const Shape& s) {
  static const char* const kNames[] = {"POINT", "MULTIPOINT", "LINESTRING", "POLYGON"};
  const bool z = HasZ(type), m = g.measured;
  const bool multi = s.kind == Shape::kLines ? s.lines.size() != 1
                     : s.kind == Shape::kPolygons ? s.polygons.size() != 1
                                                  : false;
  o << (multi && s.kind != Shape::kMultiPoint ? "MULTI" : "") << kNames[s.kind]
    << (z ? (m ? " ZM" : " Z") : (m ? " M" : ""));
  if (s.Empty()) return void(o << " EMPTY");
  const auto vertex = [&](int32_t i) {
    o.Num(g.x[i]) << ' ';
    o.Num(g.y[i]);
    if (z) o << ' ', o.Num(g.z[i]);
    if (m) o << ' ', o.Num(NoData(g.m[i]) ? NAN : g.m[i]);
  };
  const auto list = [&](const Ring& r, bool each) {
    o << '(';
    for (size_t i = 0; i < r.size(); ++i)
      o << (i ? ", " : "") << (each ? "(" : ""), vertex(r[i]), o << (each ? ")" : "");
    o << ')';
  };
  const auto lists = [&](const std::vector<Ring>& rs) {
    o << '(';
    for (size_t i = 0; i < rs.size(); ++i) o << (i ? ", " : ""), list(rs[i], false);
    o << ')';
  };
  o << ' ';
  if (s.kind == Shape::kPoint || s.kind == Shape::kMultiPoint)
    return list(s.lines[0], s.kind == Shape::kMultiPoint);
  if (s.kind == Shape::kLines) return multi ? lists(s.lines) : list(s.lines[0], false);
  if (!multi) return lists(s.polygons[0]);
  o << '(';
  for (size_t i = 0; i < s.polygons.size(); ++i) o << (i ? ", " : ""), lists(s.polygons[i]);
  o << ')';
}

// ---------------------------------------------------------------------------------------------
// Writers

// What a writer is handed per record: the geometry (null without a pair) and the table's
// current record (null without a table or past its last record).
struct Record {
  int32_t n;
  const Geom* geom;
  const Table* row;
};

class Writer {
 public:
  Writer(Out& o, const std::string& base, const Pair* pair, const Table* table)
      : o_(o), base_(base), pair_(pair), table_(table), type_(pair ? pair->Type() : 0) {}
  virtual ~Writer() = default;
  virtual void Begin() {}
  virtual void Write(const Record& r) = 0;
  virtual void End() {}

 protected:
  Out& o_;
  std::string base_;
  const Pair* pair_;
  const Table* table_;
  int32_t type_;
  Shape shape_;
};

const char* PartTypeName(int32_t t) {
  static const char* const kNames[] = {"triangle strip", "triangle fan", "outer ring",
                                       "inner ring",     "first ring",   "ring"};
  return t >= 0 && t <= 5 ? kNames[t] : "part type";
}

class TextWriter : public Writer {
 public:
  using Writer::Writer;
  void Begin() override {
    o_ << "# " << base_;
    if (pair_) {
      o_ << ": " << pair_->TypeName() << " pair of " << int64_t{pair_->Count()} << " records (x y"
         << (HasZ(type_) ? " z" : "") << (HasM(type_) ? " m" : "") << ")";
    }
    if (table_) {
      o_ << (pair_ ? "; " : ": ") << "table of " << int64_t{table_->Count()} << " records, "
         << int64_t(table_->Fields().size()) << " fields";
    }
    o_ << '\n';
  }
  void Write(const Record& r) override {
    o_ << "record " << int64_t{r.n} << (r.row && r.row->Deleted() ? " (deleted)" : "") << ':';
    const Geom* g = r.geom;
    const bool point = scan::TypeOf(type_).family == scan::Family::kPoint;
    if (g && !g->present) o_ << " null";
    if (g && g->present) {
      o_ << ' ' << pair_->TypeName();
      if (point && g->Size() == 1) o_ << ' ', Vertex(*g, 0);
      const auto count = [&](size_t k, const char* what) {
        o_ << ", " << static_cast<int64_t>(k) << ' ' << what << (k == 1 ? "" : "s");
      };
      if (!point && FamilyOf(type_)->numParts) count(g->starts.size(), "part");
      if (!point) count(g->x.size(), "point");
    }
    o_ << '\n';
    if (g && g->present && !point) {
      const bool parted = FamilyOf(type_)->numParts != nullptr;
      for (size_t p = 0; p < g->starts.size(); ++p) {
        const auto [first, end] = g->Part(p);
        if (parted) o_ << "  part " << int64_t(p + 1);
        if (parted && p < g->types.size()) o_ << " (" << PartTypeName(g->types[p]) << ' '
                                              << int64_t{g->types[p]} << ')';
        if (parted) o_ << ", start " << int64_t{g->starts[p]} << ":\n";
        for (int32_t i = first; i < end; ++i) o_ << "    ", Vertex(*g, i), o_ << '\n';
      }
    }
    if (r.row)
      for (size_t f = 0; f < table_->Fields().size(); ++f)
        o_ << "  " << table_->Fields()[f].name << " =" << (r.row->Values()[f].empty() ? "" : " ")
           << r.row->Values()[f] << '\n';
  }

 private:
  void Vertex(const Geom& g, int32_t i) {
    o_.Num(g.x[i]) << ' ';
    o_.Num(g.y[i]);
    if (HasZ(type_)) o_ << ' ', o_.Num(g.z[i]);
    if (HasM(type_) && NoData(g.m[i])) o_ << " -";
    else if (HasM(type_)) o_ << ' ', o_.Num(g.m[i]);
  }
};

class JsonWriter : public Writer {
 public:
  using Writer::Writer;
  void Begin() override {
    ordered_json head = {{"base", Utf8(base_)}};
    if (pair_) head["shapes"] = pair_->Header();
    if (table_) head["table"] = table_->Header();
    std::string s = Dumped(head);
    s.pop_back();  // the object stays open for the records
    o_ << s << ",\"records\":[";
  }
  void Write(const Record& r) override {
    ordered_json j = {{"record", r.n}};
    if (table_) j["deleted"] = r.row != nullptr && r.row->Deleted();
    if (r.geom) j["geometry"] = r.geom->present ? Geometry(*r.geom) : ordered_json();
    if (table_) j["attributes"] = r.row ? Attributes(*r.row) : ordered_json();
    o_ << (first_ ? "\n" : ",\n") << Dumped(j);
    first_ = false;
  }
  void End() override { o_ << "\n]}\n"; }

 private:
  ordered_json Geometry(const Geom& g) const {
    ordered_json j = {{"type", pair_->TypeName()}};
    if (FamilyOf(type_) && FamilyOf(type_)->numParts) j["parts"] = g.starts;
    if (type_ == SHP_MULTIPATCH) j["part_types"] = g.types;
    ordered_json xy = ordered_json::array(), z = ordered_json::array(), m = ordered_json::array();
    for (int32_t i = 0; i < g.Size(); ++i) {
      xy.push_back({g.x[i], g.y[i]});
      if (HasZ(type_)) z.push_back(g.z[i]);
      if (HasM(type_)) m.push_back(NoData(g.m[i]) ? ordered_json() : ordered_json(g.m[i]));
    }
    j["coordinates"] = std::move(xy);
    if (HasZ(type_)) j["z"] = std::move(z);
    if (HasM(type_)) j["m"] = std::move(m);
    return j;
  }
  bool first_ = true;
};

class GeoJsonWriter : public Writer {
 public:
  using Writer::Writer;
  void Begin() override { o_ << "{\"type\":\"FeatureCollection\",\"features\":["; }
  void Write(const Record& r) override {
    ordered_json props = {{"record", r.n}};
    if (r.row) props.update(Attributes(*r.row));
    if (r.row && r.row->Deleted()) props["deleted"] = true;
    std::string p = Dumped(props);
    p.pop_back();  // measures may follow
    o_ << (first_ ? "\n" : ",\n") << "{\"type\":\"Feature\",\"properties\":" << p;
    first_ = false;
    const Geom* g = r.geom;
    if (g && g->present) Organise(type_, *g, shape_);
    if (!g || !g->present || shape_.Empty()) return void(o_ << "},\"geometry\":null}");
    if (HasM(type_) && (g->measured || !HasZ(type_))) {
      o_ << ",\"measures\":";
      Nested(o_, shape_, [&](int32_t i) { o_.JsonNum(NoData(g->m[i]) ? NAN : g->m[i]); });
    }
    o_ << "},\"geometry\":{\"type\":\"" << GeoJsonType(shape_) << "\",\"coordinates\":";
    const bool z = HasZ(type_);
    Nested(o_, shape_, [&](int32_t i) {
      o_ << '[';
      o_.JsonNum(g->x[i]) << ',';
      o_.JsonNum(g->y[i]);
      if (z) o_ << ',', o_.JsonNum(g->z[i]);
      o_ << ']';
    });
    o_ << "}}";
  }
  void End() override { o_ << "\n]}\n"; }

 private:
  bool first_ = true;
};

class CsvWriter : public Writer {
 public:
  using Writer::Writer;
  void Begin() override {
    o_ << "record";
    if (table_) o_ << ",deleted";
    if (pair_) o_ << ",geometry";
    if (table_)
      for (const Field& f : table_->Fields()) o_ << ',', Cell(f.name);
    o_ << '\n';
  }
  void Write(const Record& r) override {
    o_ << int64_t{r.n};
    if (table_) o_ << (r.row && r.row->Deleted() ? ",true" : ",false");
    if (r.geom) {
      o_ << ',';
      if (r.geom->present) {
        Organise(type_, *r.geom, shape_);
        o_ << '"';
        Wkt(o_, type_, *r.geom, shape_);
        o_ << '"';
      }
    }
    if (table_)
      for (size_t f = 0; f < table_->Fields().size(); ++f)
        o_ << ',', Cell(r.row ? r.row->Values()[f] : std::string());
    o_ << '\n';
  }

 private:
  // RFC 4180: a value with a comma, a quote or a line break is quoted, its quotes doubled.
  void Cell(const std::string& v) {
    if (v.find_first_of(",\"\r\n") == std::string::npos) return void(o_ << v);
    o_ << '"';
    for (const char c : v) o_ << (c == '"' ? std::string_view("\"\"") : std::string_view(&c, 1));
    o_ << '"';
  }
};

// ---------------------------------------------------------------------------------------------
// The subcommand

std::unique_ptr<Writer> NewWriter(const std::string& format, Out& out, const std::string& base,
                                  const Pair* pair, const Table* table) {
  if (format == "json") return std::make_unique<JsonWriter>(out, base, pair, table);
  if (format == "geojson") return std::make_unique<GeoJsonWriter>(out, base, pair, table);
  if (format == "csv") return std::make_unique<CsvWriter>(out, base, pair, table);
  return std::make_unique<TextWriter>(out, base, pair, table);
}

struct Options {
  std::string file, records, format = "text";
  bool quiet = false;
};

// "A-B", "A" or "A-" (to the end), 1-based and inclusive; what is wrong with it, or "".
std::string ParseRange(const std::string& s, int32_t total, int32_t& first, int32_t& last) {
  const auto number = [](std::string_view t, int32_t& v) {
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    return !t.empty() && r.ec == std::errc() && r.ptr == t.data() + t.size();
  };
  const size_t dash = s.find('-');
  const std::string_view b = dash == std::string::npos ? "" : std::string_view(s).substr(dash + 1);
  last = total;
  if (!number(std::string_view(s).substr(0, dash), first) || (!b.empty() && !number(b, last)))
    return "not a range: give A-B, A alone or A- (from A to the last record)";
  if (dash == std::string::npos) last = first;
  if (first < 1 || first > last || last > total)
    return "out of range: there are " + std::to_string(total) + " records";
  return "";
}

int Dump(const Options& o) {
  const std::string base = BaseOf(o.file);
  const std::string shp = Beside(base, ".shp"), dbf = Beside(base, ".dbf");
  if (shp.empty() && dbf.empty()) {
    std::cerr << "ovrix: " << o.file << ": no .shp or .dbf\n";
    return kUnreadable;
  }
  std::unique_ptr<Pair> pair;
  std::unique_ptr<Table> table;
  if (!shp.empty() && !(pair = std::make_unique<Pair>(base))->Ok()) {
    std::cerr << "ovrix: " << shp << ": the pair does not open\n";
    return kUnreadable;
  }
  if (!dbf.empty() && !(table = std::make_unique<Table>(dbf))->Ok()) {
    std::cerr << "ovrix: " << dbf << ": the table does not open\n";
    return kUnreadable;
  }
  const int32_t shapes = pair ? pair->Count() : 0, rows = table ? table->Count() : 0;
  const int32_t total = std::max(shapes, rows);
  int status = kClean;
  if (pair && shapes != pair->Counted())
    std::cerr << "ovrix: " << shp << ": the index counts " << pair->Counted()
              << " records but holds " << shapes << "; dumping those\n", status = kFindings;
  if (table && rows != table->Counted())
    std::cerr << "ovrix: " << dbf << ": the header counts " << table->Counted()
              << " records but the file holds " << rows << "; dumping those\n",
        status = kFindings;
  if (pair && table && shapes != rows)
    std::cerr << "ovrix: " << base << ": the pair has " << shapes << " records, the table "
              << rows << "\n", status = kFindings;
  int32_t first = 1, last = total;
  if (const std::string bad = o.records.empty() ? "" : ParseRange(o.records, total, first, last);
      !bad.empty()) {
    std::cerr << "ovrix: --records " << o.records << ": " << bad << "\n";
    return kUnreadable;
  }

  Out out;
  const std::unique_ptr<Writer> w = NewWriter(o.format, out, base, pair.get(), table.get());

  int64_t refused = 0;
  Geom geom;
  // On a terminal the dump shows its own progress.
  Progress progress("dump", int64_t{last} - first + 1, o.quiet || isatty(STDOUT_FILENO));
  w->Begin();
  for (int32_t n = first; n >= first && n <= last; ++n) {  // n >= first: no overflow at the end
    geom.Clear();
    if (pair && n <= shapes && !pair->Read(n, geom)) {
      if (++refused <= 20)
        std::cerr << "ovrix: " << shp << ": record " << n
                  << ": the library refuses to read it; dumped without geometry\n";
      status = kFindings;
    }
    if (table && n <= rows) table->Load(n);
    w->Write({n, pair ? &geom : nullptr, table && n <= rows ? table.get() : nullptr});
    progress.Step(int64_t{n} - first + 1);
  }
  w->End();
  if (refused > 20)
    std::cerr << "ovrix: " << shp << ": " << refused << " records refused in all\n";
  if (!out.Flush()) {
    std::cerr << "ovrix: writing the dump failed\n";
    return kUnreadable;
  }
  return status;
}

}  // namespace

void AddDump(CLI::App& app, int& status) {
  auto o = std::make_shared<Options>();
  CLI::App* dump = app.add_subcommand("dump", "geometry and attributes, record by record");
  dump->add_option("FILE", o->file, "base name or file of the pair and table")->required();
  dump->add_option("--records", o->records,
                   "the records A-B (1-based, inclusive), A alone, or A- to the last");
  dump->add_option("--format", o->format,
                   "text (default), json (one document), geojson (a FeatureCollection) or csv "
                   "(geometry as WKT)")
      ->check(CLI::IsMember({"text", "json", "geojson", "csv"}));
  dump->add_flag("--quiet", o->quiet, "no progress on standard error");
  dump->footer(
      "Exit status: 0 done; 1 damage seen (a record the library refuses, dumped without "
      "geometry; record counts that the files do not hold or that differ between pair and "
      "table); 2 files that do not open or a bad argument.\n");
  dump->callback([o, &status] { status = Dump(*o); });
}

}  // namespace ovrix
