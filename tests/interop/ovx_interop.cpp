// ovx_interop: our side of the interoperability tests. It drives the library
// only through its public C interface and talks to the Python drivers in
// plain text (record descriptions in) and JSON numbers (dumps out), so that
// the same checks run against a sanitizer build, which Python cannot load.
//
//   ovx_interop write BASE SPEC          new pair BASE.shp/.shx from the records in SPEC
//   ovx_interop append BASE SPEC         the records in SPEC appended in mode 2
//   ovx_interop dump BASE                every record of BASE read back, as JSON
//   ovx_interop copy SRC DST             SRC copied record by record into a new pair DST
//   ovx_interop dbf-write PATH SPEC      new table from the fields and rows in SPEC
//   ovx_interop dbf-append PATH SPEC     rows in SPEC appended to an existing table
//   ovx_interop dbf-dump PATH            fields and every row, as JSON
//   ovx_interop fat BASE N               BASE.dbf made by Shp_CreateShpFAT, with ids 1..N
//
// Record description (one item per line; blank lines and '#' lines ignored):
//   shape TYPE [NOMEASURES]   the file's shape type; NOMEASURES (0 or 1) for M/Z types
//   rec [NOMEASURES]          starts a record; its own NOMEASURES overrides the file's
//   part [PARTTYPE]           starts a part (MultiPatch: of that part type)
//   pt X Y M Z                a vertex (values the type lacks are ignored)
// Table description:
//   field NAME TYPECODE WIDTH DECIMALS
//   row                       starts a row
//   val FIELDNO TEXT...       the rest of the line is the value (may be empty)
//   del                       marks the current row deleted once the rows are in
//
// Exit status: 0 done, 1 the library refused something (message on stderr),
// 2 bad usage.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ovrix32.h"

namespace {

struct Pt {
  double x = 0, y = 0, m = 0, z = 0;
};

struct Part {
  int32_t type = 0;
  std::vector<Pt> pts;
};

struct Record {
  int noMeasures = -1;  // -1: the file's choice
  std::vector<Part> parts;
};

struct Spec {
  int32_t shapeType = 0;
  int noMeasures = 0;
  std::vector<Record> records;
};

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "ovx_interop: %s\n", what.c_str());
  std::exit(1);
}

std::vector<std::string> ReadLines(const char* path) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) Fail(std::string("cannot open ") + path);
  std::vector<std::string> lines;
  std::string cur;
  int c;
  while ((c = std::fgetc(f)) != EOF) {
    if (c == '\n') {
      lines.push_back(cur);
      cur.clear();
    } else if (c != '\r') {
      cur.push_back(static_cast<char>(c));
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  std::fclose(f);
  return lines;
}

Spec ParseShapeSpec(const char* path) {
  Spec spec;
  for (const std::string& line : ReadLines(path)) {
    char word[16] = {0};
    if (line.empty() || line[0] == '#' || std::sscanf(line.c_str(), "%15s", word) != 1) continue;
    const char* rest = line.c_str() + std::strlen(word) + (line.size() > std::strlen(word) ? 1 : 0);
    char* end = nullptr;
    if (!std::strcmp(word, "shape")) {
      spec.shapeType = static_cast<int32_t>(std::strtol(rest, &end, 10));
      spec.noMeasures = static_cast<int>(std::strtol(end, nullptr, 10));
    } else if (!std::strcmp(word, "rec")) {
      Record r;
      long nm = std::strtol(rest, &end, 10);
      if (end != rest) r.noMeasures = static_cast<int>(nm);
      spec.records.push_back(r);
    } else if (!std::strcmp(word, "part")) {
      if (spec.records.empty()) Fail("part before rec");
      Part p;
      p.type = static_cast<int32_t>(std::strtol(rest, nullptr, 10));
      spec.records.back().parts.push_back(p);
    } else if (!std::strcmp(word, "pt")) {
      if (spec.records.empty()) Fail("pt before rec");
      Record& r = spec.records.back();
      if (r.parts.empty()) r.parts.emplace_back();
      Pt p;
      const char* s = rest;
      double* out[4] = {&p.x, &p.y, &p.m, &p.z};
      for (double* o : out) {
        *o = std::strtod(s, &end);
        if (end == s) Fail("bad pt line: " + line);
        s = end;
      }
      r.parts.back().pts.push_back(p);
    } else {
      Fail("unknown item: " + line);
    }
  }
  return spec;
}

// ---- JSON output --------------------------------------------------------------

void PutNum(std::string& out, double v) {
  char buf[40];
  if (std::isnan(v)) {
    out += "NaN";
  } else if (std::isinf(v)) {
    out += v > 0 ? "Infinity" : "-Infinity";
  } else {
    std::snprintf(buf, sizeof buf, "%.17g", v);
    out += buf;
  }
}

void PutNums(std::string& out, const std::vector<double>& v) {
  out += '[';
  for (size_t i = 0; i < v.size(); ++i) {
    if (i) out += ',';
    PutNum(out, v[i]);
  }
  out += ']';
}

// Bytes go out one character each (\u00XX above 0x7e), so the reader gets
// the exact bytes back by encoding the string as Latin-1.
[[maybe_unused]] void PutText(std::string& out, const char* s, size_t n) {
  out += '"';
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c > 0x7e) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

void Emit(const std::string& s) {
  std::fwrite(s.data(), 1, s.size(), stdout);
  std::fputc('\n', stdout);
}

// ---- shape types and families ------------------------------------------------

enum class Dim { XY, XYM, XYZM };

Dim DimOf(int32_t t) {
  switch (t) {
    case SHP_POINTZ: case SHP_POLYLINEZ: case SHP_POLYGONZ: case SHP_MULTIPOINTZ: case SHP_MULTIPATCH:
      return Dim::XYZM;
    case SHP_POINTM: case SHP_POLYLINEM: case SHP_POLYGONM: case SHP_MULTIPOINTM:
      return Dim::XYM;
    default:
      return Dim::XY;
  }
}

// Content length in bytes that a record of type t with P parts and N points
// has without its measure block (the copy decides from the index entry
// whether the original carried one).
int64_t ContentWithoutMeasures(int32_t t, int64_t P, int64_t N) {
  switch (t) {
    case SHP_POINTM: return 20;
    case SHP_POINTZ: return 28;
    case SHP_MULTIPOINTM: return 40 + 16 * N;
    case SHP_MULTIPOINTZ: return 56 + 24 * N;
    case SHP_POLYLINEM: case SHP_POLYGONM: return 44 + 4 * P + 16 * N;
    case SHP_POLYLINEZ: case SHP_POLYGONZ: return 60 + 4 * P + 24 * N;
    case SHP_MULTIPATCH: return 60 + 8 * P + 24 * N;
    default: return INT64_MAX;
  }
}

// One record as our interface reports it.
struct ReadBack {
  std::vector<int32_t> starts, types;
  std::vector<Pt> pts;
  Bbox box{};
  double zmin = 0, zmax = 0, mmin = 0, mmax = 0;
  bool hasBox = false;
};

// What the tool needs of a record family, with the variants' different
// signatures hidden behind one set of function pointers.
struct Family {
  const char* name;
  void* (*create)(int32_t firstPartType);
  void (*destroy)(void*);
  int32_t (*read)(ShpFile*, int32_t, void*);
  int32_t (*append)(ShpFile*, void*, int32_t noMeasures);
  int32_t (*appendCoord)(void*, const Pt&);
  // Starts part k (k >= 2) of the given type; null for families without parts.
  int32_t (*newPart)(void*, int32_t type);
  // Sets the type of part 1; null where parts have no type.
  int32_t (*setFirstPartType)(void*, int32_t type);
  // Fills everything but the coordinates.
  void (*describe)(void*, ReadBack&);
  int32_t (*getCoord)(void*, int32_t k, Pt&);
};

// Coordinate structures of each variant.
void ToC(const Pt& p, ShpCoord* c) { Shp_SetCoord(c, p.x, p.y); }
void ToC(const Pt& p, ShpCoordM* c) { Shp_SetCoordM(c, p.x, p.y, p.m); }
void ToC(const Pt& p, ShpCoordZ* c) { Shp_SetCoordZ(c, p.x, p.y, p.z, p.m); }
void FromC(const ShpCoord& c, Pt& p) { p = {c.x, c.y, 0, 0}; }
void FromC(const ShpCoordM& c, Pt& p) { p = {c.x, c.y, c.m, 0}; }
void FromC(const ShpCoordZ& c, Pt& p) { p = {c.x, c.y, c.m, c.z}; }

// The slots that every family fills the same way.
#define OVX_CREATE_DESTROY_READ(V, OBJ)                                                          \
  [](int32_t) -> void* { return Shp_##V##Create(); },                                            \
      [](void* o) { Shp_##V##Destroy(static_cast<OBJ*>(o)); },                                   \
      [](ShpFile* f, int32_t n, void* o) { return Shp_##V##Read(f, n, static_cast<OBJ*>(o)); }
#define OVX_APPEND_COORD(V, OBJ, COORD)                                                          \
  [](void* o, const Pt& p) {                                                                     \
    COORD c;                                                                                     \
    ToC(p, &c);                                                                                  \
    return Shp_##V##AppendCoord(static_cast<OBJ*>(o), &c);                                       \
  }

// Point family: one coordinate per record, no box of its own.
#define OVX_POINT_FAMILY(V, OBJ, COORD)                                                          \
  Family{#V,                                                                                     \
         OVX_CREATE_DESTROY_READ(V, OBJ),                                                        \
         [](ShpFile* f, void* o, int32_t) { return Shp_##V##Append(f, static_cast<OBJ*>(o)); },   \
         OVX_APPEND_COORD(V, OBJ, COORD),                                                        \
         nullptr,                                                                                \
         nullptr,                                                                                \
         [](void*, ReadBack& r) {                                                                \
           r.starts = {0};                                                                       \
           r.pts.resize(1);                                                                      \
         },                                                                                      \
         [](void* o, int32_t, Pt& p) {                                                           \
           COORD c;                                                                              \
           int32_t ok = Shp_##V##GetCoord(static_cast<OBJ*>(o), &c);                             \
           FromC(c, p);                                                                          \
           return ok;                                                                            \
         }}

#define OVX_GETCOORD(V, OBJ, COORD)                                                              \
  [](void* o, int32_t k, Pt& p) {                                                                \
    COORD c;                                                                                     \
    int32_t ok = Shp_##V##GetCoord(static_cast<OBJ*>(o), &c, k);                                 \
    if (ok) FromC(c, p);                                                                         \
    return ok;                                                                                   \
  }

#define OVX_APPEND_PLAIN(V, OBJ) \
  [](ShpFile* f, void* o, int32_t) { return Shp_##V##Append(f, static_cast<OBJ*>(o)); }
#define OVX_APPEND_NM(V, OBJ) \
  [](ShpFile* f, void* o, int32_t nm) { return Shp_##V##Append(f, static_cast<OBJ*>(o), nm); }

// Ranges: the plain variants have none, M variants a measure range, Z both.
#define OVX_RANGES_XY(V, OBJ, r)
#define OVX_RANGES_XYM(V, OBJ, r) Shp_##V##GetMeasureRange(static_cast<OBJ*>(o), &r.mmin, &r.mmax);
#define OVX_RANGES_XYZM(V, OBJ, r)                                      \
  Shp_##V##GetMeasureRange(static_cast<OBJ*>(o), &r.mmin, &r.mmax);     \
  Shp_##V##GetZCoordRange(static_cast<OBJ*>(o), &r.zmin, &r.zmax);

// Parts: Polyline and Polygon records have them, MultiPoint records are one.
#define OVX_NEWPART_PARTED(V, OBJ) [](void* o, int32_t) { return Shp_##V##NewPart(static_cast<OBJ*>(o)); }
#define OVX_NEWPART_SINGLE(V, OBJ) nullptr
#define OVX_STARTS_PARTED(V, OBJ, r)                                    \
  for (int32_t k = 1, np = Shp_##V##GetNumParts(static_cast<OBJ*>(o)); k <= np; ++k) \
    r.starts.push_back(Shp_##V##GetPartOffset(static_cast<OBJ*>(o), k));
#define OVX_STARTS_SINGLE(V, OBJ, r) r.starts = {0};

#define OVX_MULTI_FAMILY(V, OBJ, COORD, APPEND, DIM, PARTS)                                      \
  Family{#V,                                                                                     \
         OVX_CREATE_DESTROY_READ(V, OBJ),                                                        \
         APPEND(V, OBJ),                                                                         \
         OVX_APPEND_COORD(V, OBJ, COORD),                                                        \
         OVX_NEWPART_##PARTS(V, OBJ),                                                            \
         nullptr,                                                                                \
         [](void* o, ReadBack& r) {                                                              \
           OVX_STARTS_##PARTS(V, OBJ, r)                                                         \
           r.pts.resize(static_cast<size_t>(Shp_##V##GetNumCoords(static_cast<OBJ*>(o))));       \
           Shp_##V##GetBoundingBox(static_cast<OBJ*>(o), &r.box);                                \
           r.hasBox = true;                                                                      \
           OVX_RANGES_##DIM(V, OBJ, r)                                                           \
         },                                                                                      \
         OVX_GETCOORD(V, OBJ, COORD)}

// The family that serves a shape type; any other number is bad input.
const Family* FamilyFor(int32_t t) {
  static const Family point = OVX_POINT_FAMILY(Point, ShpPoint, ShpCoord);
  static const Family pointM = OVX_POINT_FAMILY(PointM, ShpPointM, ShpCoordM);
  static const Family pointZ = OVX_POINT_FAMILY(PointZ, ShpPointZ, ShpCoordZ);
  switch (t) {
    case SHP_POINT: return &point;
    case SHP_POINTM: return &pointM;
    case SHP_POINTZ: return &pointZ;
    case SHP_MULTIPOINT: {
      static const Family f = OVX_MULTI_FAMILY(MultiPoint, ShpMultiPoint, ShpCoord, OVX_APPEND_PLAIN, XY, SINGLE);
      return &f;
    }
    case SHP_MULTIPOINTM: {
      static const Family f = OVX_MULTI_FAMILY(MultiPointM, ShpMultiPointM, ShpCoordM, OVX_APPEND_NM, XYM, SINGLE);
      return &f;
    }
    case SHP_MULTIPOINTZ: {
      static const Family f = OVX_MULTI_FAMILY(MultiPointZ, ShpMultiPointZ, ShpCoordZ, OVX_APPEND_NM, XYZM, SINGLE);
      return &f;
    }
    case SHP_POLYLINE: {
      static const Family f = OVX_MULTI_FAMILY(Line, ShpLine, ShpCoord, OVX_APPEND_PLAIN, XY, PARTED);
      return &f;
    }
    case SHP_POLYLINEM: {
      static const Family f = OVX_MULTI_FAMILY(LineM, ShpLineM, ShpCoordM, OVX_APPEND_NM, XYM, PARTED);
      return &f;
    }
    case SHP_POLYLINEZ: {
      static const Family f = OVX_MULTI_FAMILY(LineZ, ShpLineZ, ShpCoordZ, OVX_APPEND_NM, XYZM, PARTED);
      return &f;
    }
    case SHP_POLYGON: {
      static const Family f = OVX_MULTI_FAMILY(Polygon, ShpPolygon, ShpCoord, OVX_APPEND_PLAIN, XY, PARTED);
      return &f;
    }
    case SHP_POLYGONM: {
      static const Family f = OVX_MULTI_FAMILY(PolygonM, ShpPolygonM, ShpCoordM, OVX_APPEND_NM, XYM, PARTED);
      return &f;
    }
    case SHP_POLYGONZ: {
      static const Family f = OVX_MULTI_FAMILY(PolygonZ, ShpPolygonZ, ShpCoordZ, OVX_APPEND_NM, XYZM, PARTED);
      return &f;
    }
    case SHP_MULTIPATCH: {
      static const Family f{
          "MultiPatch",
          [](int32_t t0) -> void* { return Shp_MultiPatchCreate(t0); },
          [](void* o) { Shp_MultiPatchDestroy(static_cast<ShpMultiPatch*>(o)); },
          [](ShpFile* f, int32_t n, void* o) { return Shp_MultiPatchRead(f, n, static_cast<ShpMultiPatch*>(o)); },
          [](ShpFile* f, void* o, int32_t nm) { return Shp_MultiPatchAppend(f, static_cast<ShpMultiPatch*>(o), nm); },
          [](void* o, const Pt& p) {
            ShpCoordZ c;
            ToC(p, &c);
            return Shp_MultiPatchAppendCoord(static_cast<ShpMultiPatch*>(o), &c);
          },
          [](void* o, int32_t type) { return Shp_MultiPatchNewPart(static_cast<ShpMultiPatch*>(o), type); },
          [](void* o, int32_t type) { return Shp_MultiPatchSetFirstPartType(static_cast<ShpMultiPatch*>(o), type); },
          [](void* o, ReadBack& r) {
            auto* mp = static_cast<ShpMultiPatch*>(o);
            int32_t np = Shp_MultiPatchGetNumParts(mp);
            for (int32_t k = 1; k <= np; ++k) {
              r.starts.push_back(Shp_MultiPatchGetPartOffset(mp, k));
              r.types.push_back(Shp_MultiPatchGetTypeInPart(mp, k));
            }
            r.pts.resize(static_cast<size_t>(Shp_MultiPatchGetNumCoords(mp)));
            Shp_MultiPatchGetBoundingBox(mp, &r.box);
            r.hasBox = true;
            Shp_MultiPatchGetMeasureRange(mp, &r.mmin, &r.mmax);
            Shp_MultiPatchGetZCoordRange(mp, &r.zmin, &r.zmax);
          },
          OVX_GETCOORD(MultiPatch, ShpMultiPatch, ShpCoordZ)};
      return &f;
    }
    default:
      Fail("no record family for shape type " + std::to_string(t));
  }
}

// An owned record object of a family.
class Object {
 public:
  Object(const Family* f, int32_t firstPartType) : f_(f), o_(f->create(firstPartType)) {
    if (!o_) Fail("record object could not be created");
  }
  ~Object() { f_->destroy(o_); }
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  void* get() const { return o_; }

 private:
  const Family* f_;
  void* o_;
};

// An owned shape-file handle.
class Handle {
 public:
  Handle() : h_(Shp_Create()) {
    if (!h_) Fail("Shp_Create failed");
  }
  ~Handle() { Shp_Destroy(h_); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ShpFile* get() const { return h_; }

 private:
  ShpFile* h_;
};

std::string Mutable(const char* s) { return std::string(s); }

// Fills the object with one record of the description and appends it.
void AppendRecord(const Family* f, ShpFile* shp, void* obj, const Record& r, int fileNoMeasures) {
  if (f->setFirstPartType) f->setFirstPartType(obj, r.parts.empty() ? 0 : r.parts[0].type);
  for (size_t k = 0; k < r.parts.size(); ++k) {
    if (k > 0) {
      if (!f->newPart) Fail("parts given for a family without parts");
      if (!f->newPart(obj, r.parts[k].type)) Fail("NewPart refused");
    }
    for (const Pt& p : r.parts[k].pts)
      if (!f->appendCoord(obj, p)) Fail("AppendCoord refused");
  }
  int nm = r.noMeasures >= 0 ? r.noMeasures : fileNoMeasures;
  if (!f->append(shp, obj, nm)) Fail("Append refused");
}

void AppendAll(const Family* f, ShpFile* shp, const Spec& spec) {
  int32_t firstType = spec.records.empty() || spec.records[0].parts.empty() ? 0 : spec.records[0].parts[0].type;
  for (const Record& r : spec.records) {
    // Point objects hold one coordinate; a fresh one per record keeps
    // records independent for every family alike.
    Object obj(f, firstType);
    AppendRecord(f, shp, obj.get(), r, spec.noMeasures);
  }
}

int CmdWrite(const char* base, const char* specPath) {
  Spec spec = ParseShapeSpec(specPath);
  const Family* f = FamilyFor(spec.shapeType);
  Handle h;
  std::string b = Mutable(base);
  if (!Shp_New(h.get(), b.data(), spec.shapeType)) Fail("Shp_New refused");
  AppendAll(f, h.get(), spec);
  if (!Shp_Close(h.get())) Fail("Shp_Close refused");
  return 0;
}

int CmdAppend(const char* base, const char* specPath) {
  Spec spec = ParseShapeSpec(specPath);
  Handle h;
  std::string b = Mutable(base);
  if (!Shp_Open(h.get(), b.data(), 2)) Fail("Shp_Open in mode 2 refused");
  if (Shp_GetType(h.get()) != spec.shapeType) Fail("file type differs from the description");
  const Family* f = FamilyFor(spec.shapeType);
  AppendAll(f, h.get(), spec);
  if (!Shp_Close(h.get())) Fail("Shp_Close refused");
  return 0;
}

void PutBox(std::string& out, const Bbox& b) { PutNums(out, {b.xmin, b.ymin, b.xmax, b.ymax}); }

int CmdDump(const char* base) {
  Handle h;
  std::string b = Mutable(base);
  if (!Shp_Open(h.get(), b.data(), 3)) Fail(std::string("Shp_Open refused ") + base);
  int32_t type = Shp_GetType(h.get());
  const Family* f = FamilyFor(type);
  Dim dim = DimOf(type);
  std::string out;
  char buf[64];
  Bbox box;
  Shp_GetBoundingBox(h.get(), &box);
  double zr[2], mr[2];
  Shp_GetZCoordRange(h.get(), &zr[0], &zr[1]);
  Shp_GetMeasureRange(h.get(), &mr[0], &mr[1]);
  int32_t n = Shp_GetNumShapes(h.get());
  std::snprintf(buf, sizeof buf, "{\"type\":%d,\"version\":%d,\"numShapes\":%d,\"bbox\":", type,
                Shp_GetVersion(h.get()), n);
  out += buf;
  PutBox(out, box);
  out += ",\"zrange\":";
  PutNums(out, {zr[0], zr[1]});
  out += ",\"mrange\":";
  PutNums(out, {mr[0], mr[1]});
  out += ",\"records\":[";
  Object obj(f, 0);
  for (int32_t k = 1; k <= n; ++k) {
    if (k > 1) out += ',';
    if (!f->read(h.get(), k, obj.get())) {
      out += "null";  // refused, e.g. a null shape inside a typed file
      continue;
    }
    ReadBack r;
    f->describe(obj.get(), r);
    for (size_t i = 0; i < r.pts.size(); ++i)
      if (!f->getCoord(obj.get(), static_cast<int32_t>(i + 1), r.pts[i])) Fail("GetCoord refused");
    out += "{\"parts\":[";
    for (size_t i = 0; i < r.starts.size(); ++i) {
      if (i) out += ',';
      out += std::to_string(r.starts[i]);
    }
    out += "],\"partTypes\":[";
    for (size_t i = 0; i < r.types.size(); ++i) {
      if (i) out += ',';
      out += std::to_string(r.types[i]);
    }
    out += ']';
    std::vector<double> xs, ys, ms, zs;
    for (const Pt& p : r.pts) {
      xs.push_back(p.x);
      ys.push_back(p.y);
      ms.push_back(p.m);
      zs.push_back(p.z);
    }
    out += ",\"x\":";
    PutNums(out, xs);
    out += ",\"y\":";
    PutNums(out, ys);
    if (dim != Dim::XY) {
      out += ",\"m\":";
      PutNums(out, ms);
    }
    if (dim == Dim::XYZM) {
      out += ",\"z\":";
      PutNums(out, zs);
    }
    if (r.hasBox) {
      out += ",\"bbox\":";
      PutBox(out, r.box);
      if (dim != Dim::XY) {
        out += ",\"mrange\":";
        PutNums(out, {r.mmin, r.mmax});
      }
      if (dim == Dim::XYZM) {
        out += ",\"zrange\":";
        PutNums(out, {r.zmin, r.zmax});
      }
    }
    out += '}';
  }
  out += "]}";
  Emit(out);
  return 0;
}

// Content length in bytes of record n, straight from the index file.
int64_t IndexedContentBytes(const std::string& shx, int32_t n) {
  std::FILE* f = std::fopen(shx.c_str(), "rb");
  if (!f) Fail("cannot open " + shx);
  unsigned char e[8];
  bool ok = std::fseek(f, 100 + 8L * (n - 1), SEEK_SET) == 0 && std::fread(e, 1, 8, f) == 8;
  std::fclose(f);
  if (!ok) Fail("short index file " + shx);
  return 2 * ((int64_t{e[4]} << 24) | (e[5] << 16) | (e[6] << 8) | e[7]);
}

int CmdCopy(const char* src, const char* dst) {
  Handle in, out;
  std::string s = Mutable(src), d = Mutable(dst);
  if (!Shp_Open(in.get(), s.data(), 3)) Fail(std::string("Shp_Open refused ") + src);
  int32_t type = Shp_GetType(in.get());
  const Family* f = FamilyFor(type);
  if (!Shp_New(out.get(), d.data(), type)) Fail("Shp_New refused");
  Object obj(f, 0);
  int32_t n = Shp_GetNumShapes(in.get());
  for (int32_t k = 1; k <= n; ++k) {
    if (!f->read(in.get(), k, obj.get())) Fail("Read refused record " + std::to_string(k));
    ReadBack r;
    f->describe(obj.get(), r);
    // The measure block goes out when the original record had one.
    int32_t nm = IndexedContentBytes(s + ".shx", k) <=
                 ContentWithoutMeasures(type, static_cast<int64_t>(r.starts.size()), static_cast<int64_t>(r.pts.size()));
    if (!f->append(out.get(), obj.get(), nm)) Fail("Append refused record " + std::to_string(k));
  }
  Shp_Close(out.get());
  return 0;
}

// ---- tables --------------------------------------------------------------------

struct FieldSpec {
  std::string name;
  int32_t type = 0, width = 0, decimals = 0;
};
struct RowSpec {
  std::vector<std::pair<int32_t, std::string>> values;
  bool deleted = false;
};
struct TableSpec {
  std::vector<FieldSpec> fields;
  std::vector<RowSpec> rows;
};

TableSpec ParseTableSpec(const char* path) {
  TableSpec spec;
  for (const std::string& line : ReadLines(path)) {
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("field ", 0) == 0) {
      FieldSpec fs;
      char name[64];
      if (std::sscanf(line.c_str() + 6, "%63s %d %d %d", name, &fs.type, &fs.width, &fs.decimals) != 4)
        Fail("bad field line: " + line);
      fs.name = name;
      spec.fields.push_back(fs);
    } else if (line == "row") {
      spec.rows.emplace_back();
    } else if (line == "del") {
      if (spec.rows.empty()) Fail("del before row");
      spec.rows.back().deleted = true;
    } else if (line.rfind("val ", 0) == 0) {
      if (spec.rows.empty()) Fail("val before row");
      char* end = nullptr;
      const char* s = line.c_str() + 4;
      int32_t i = static_cast<int32_t>(std::strtol(s, &end, 10));
      std::string text = *end == ' ' ? std::string(end + 1) : std::string(end);
      spec.rows.back().values.emplace_back(i, text);
    } else {
      Fail("unknown item: " + line);
    }
  }
  return spec;
}

class Table {
 public:
  Table() : t_(Db_Create()) {
    if (!t_) Fail("Db_Create failed");
  }
  ~Table() { Db_Destroy(t_); }
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  DbTable* get() const { return t_; }

 private:
  DbTable* t_;
};

// Appends the rows, then marks the deleted ones (their numbers start after
// the `before` rows that the table already had).
void AppendRows(DbTable* t, const TableSpec& spec, int32_t before) {
  if (!Db_AddRecBegin(t)) Fail("Db_AddRecBegin refused");
  for (const RowSpec& row : spec.rows) {
    for (const auto& [i, text] : row.values) {
      std::string v = text;
      if (!Db_RecSetField(t, i, v.data())) Fail("Db_RecSetField refused field " + std::to_string(i));
    }
    if (!Db_AddRec(t)) Fail("Db_AddRec refused");
  }
  if (!Db_AddRecEnd(t)) Fail("Db_AddRecEnd refused");
  for (size_t k = 0; k < spec.rows.size(); ++k) {
    if (!spec.rows[k].deleted) continue;
    if (!Db_GotoRec(t, before + static_cast<int32_t>(k) + 1) || !Db_CurRecDelete(t)) Fail("delete refused");
  }
}

int CmdDbfWrite(const char* path, const char* specPath) {
  TableSpec spec = ParseTableSpec(specPath);
  Table t;
  std::string p = Mutable(path);
  if (!Db_NewBeginDef(t.get(), p.data())) Fail("Db_NewBeginDef refused");
  for (FieldSpec& fs : spec.fields)
    if (!Db_NewAddField(t.get(), fs.name.data(), fs.type, fs.width, fs.decimals)) Fail("Db_NewAddField refused " + fs.name);
  if (!Db_NewEndDef(t.get())) Fail("Db_NewEndDef refused");
  AppendRows(t.get(), spec, 0);
  Db_Close(t.get());
  return 0;
}

int CmdDbfAppend(const char* path, const char* specPath) {
  TableSpec spec = ParseTableSpec(specPath);
  Table t;
  std::string p = Mutable(path);
  if (!Db_Open(t.get(), p.data())) Fail("Db_Open refused");
  AppendRows(t.get(), spec, Db_GetNumRecs(t.get()));
  Db_Close(t.get());
  return 0;
}

int CmdDbfDump(const char* path) {
  Table t;
  std::string p = Mutable(path);
  if (!Db_Open(t.get(), p.data())) Fail(std::string("Db_Open refused ") + path);
  DbTable* tb = t.get();
  int32_t nf = Db_GetNumFields(tb), nr = Db_GetNumRecs(tb);
  std::string out = "{\"numRecs\":" + std::to_string(nr) + ",\"fields\":[";
  char name[300];
  for (int32_t i = 1; i <= nf; ++i) {
    if (i > 1) out += ',';
    int32_t len = Db_GetFieldName(tb, i, name);
    out += "{\"name\":";
    PutText(out, name, static_cast<size_t>(len));
    out += ",\"type\":" + std::to_string(Db_GetFieldType(tb, i)) +
           ",\"width\":" + std::to_string(Db_GetFieldWidth(tb, i)) +
           ",\"decimals\":" + std::to_string(Db_GetFieldDecimals(tb, i)) + "}";
  }
  out += "],\"records\":[";
  char value[300];
  for (int32_t k = 1; k <= nr; ++k) {
    if (k > 1) out += ',';
    if (!Db_GetRec(tb, k)) Fail("Db_GetRec refused " + std::to_string(k));
    out += "{\"deleted\":" + std::to_string(Db_IsCurRecDeleted(tb)) + ",\"values\":[";
    for (int32_t i = 1; i <= nf; ++i) {
      if (i > 1) out += ',';
      int32_t len = Db_GetFieldValue(tb, i, value);
      if (len == 0)
        out += "null";  // blank
      else
        PutText(out, value, static_cast<size_t>(len));
    }
    out += "]}";
  }
  out += "]}";
  Emit(out);
  return 0;
}

// The table that goes with a new shape file: one numeric field "id", one row
// per shape.
int CmdFat(const char* base, int32_t n) {
  Table t;
  if (!Shp_CreateShpFAT(base, t.get())) Fail("Shp_CreateShpFAT refused");
  if (!Db_AddRecBegin(t.get())) Fail("Db_AddRecBegin refused");
  for (int32_t k = 1; k <= n; ++k) {
    std::string id = std::to_string(k);
    if (!Db_RecSetField(t.get(), 1, id.data()) || !Db_AddRec(t.get())) Fail("row refused");
  }
  if (!Db_AddRecEnd(t.get())) Fail("Db_AddRecEnd refused");
  Db_Close(t.get());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "write" && argc == 4) return CmdWrite(argv[2], argv[3]);
  if (cmd == "append" && argc == 4) return CmdAppend(argv[2], argv[3]);
  if (cmd == "dump" && argc == 3) return CmdDump(argv[2]);
  if (cmd == "copy" && argc == 4) return CmdCopy(argv[2], argv[3]);
  if (cmd == "dbf-write" && argc == 4) return CmdDbfWrite(argv[2], argv[3]);
  if (cmd == "dbf-append" && argc == 4) return CmdDbfAppend(argv[2], argv[3]);
  if (cmd == "dbf-dump" && argc == 3) return CmdDbfDump(argv[2]);
  if (cmd == "fat" && argc == 4) return CmdFat(argv[2], static_cast<int32_t>(std::atoi(argv[3])));
  std::fprintf(stderr, "usage: see the comment at the top of ovx_interop.cpp\n");
  return 2;
}
