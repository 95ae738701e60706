// One table of every record family of the interface, so that the fuzz targets
// and the hardening tests can drive any shape type through the same code: a
// family entry wraps the exported functions of one variant (Shp_Point...,
// Shp_LineM..., ...) behind uniform signatures, and a RecordImage holds
// everything a record object reports through its getters.
//
// Header-only: used by the fuzz targets (tests/fuzz) and by the GoogleTest
// programs in tests/.
//
// Every record family of the interface is listed in Families() below; the
// fuzzers, the allocation-failure sweeps, the I/O fault and the limits tests
// run over that list.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ovrix32.h"

namespace ovrix::hardening {

// One point as the interface can report it; values a variant lacks are 0.
struct Vertex {
  double x = 0, y = 0, m = 0, z = 0;
};

enum class Kind { Point, MultiPoint, Line, Polygon, MultiPatch };

// Everything a record object reports.
struct RecordImage {
  int32_t numParts = 0;
  std::vector<int32_t> partStarts;  // GetPartOffset 1..numParts
  std::vector<int32_t> partTypes;   // MultiPatch only
  std::vector<Vertex> points;       // GetCoord 1..numCoords
  Bbox box{};
  double mmin = 0, mmax = 0, zmin = 0, zmax = 0;
};

struct Family {
  const char* name;
  int32_t shapeType;  // the file type this variant reads and writes
  Kind kind;
  int dims;           // 2 plain, 3 M, 4 Z (MultiPatch: 4)
  void* (*create)(int32_t firstPartType);
  int32_t (*destroy)(void* obj);
  int32_t (*read)(ShpFile* shp, int32_t n, void* obj);
  int32_t (*append)(ShpFile* shp, void* obj, int32_t noMeasures);
  int32_t (*appendCoord)(void* obj, const Vertex& v);
  int32_t (*newPart)(void* obj, int32_t partType);  // null: the family has no parts
  int32_t (*getCoord)(void* obj, int32_t n, Vertex* out);
  int32_t (*numCoords)(void* obj);
  int32_t (*numParts)(void* obj);                   // null: no parts
  int32_t (*partOffset)(void* obj, int32_t part);   // null: no parts
  int32_t (*typeInPart)(void* obj, int32_t part);   // null: not MultiPatch
  int32_t (*getBox)(void* obj, Bbox* box);          // null: Point family
  int32_t (*measureRange)(void* obj, double* mn, double* mx);  // null: no M
  int32_t (*zRange)(void* obj, double* mn, double* mx);        // null: no Z
  int32_t (*getId)(void* obj);
  void (*setId)(void* obj, int32_t id);
};

inline void ToCoord(const Vertex& v, ShpCoord* c) { *c = {v.x, v.y}; }
inline void ToCoord(const Vertex& v, ShpCoordM* c) { *c = {v.x, v.y, v.m}; }
inline void ToCoord(const Vertex& v, ShpCoordZ* c) { *c = {v.x, v.y, v.m, v.z}; }
inline Vertex FromCoord(const ShpCoord& c) { return {c.x, c.y, 0, 0}; }
inline Vertex FromCoord(const ShpCoordM& c) { return {c.x, c.y, c.m, 0}; }
inline Vertex FromCoord(const ShpCoordZ& c) { return {c.x, c.y, c.m, c.z}; }

// --- Point family: one coordinate, no parts, Append without noMeasures. ---
#define OVRIX_FAMILY_POINT(V, OBJ, COORD, TYPE, DIMS)                                       \
  Family {                                                                                 \
    #V, TYPE, Kind::Point, DIMS, [](int32_t) -> void* { return Shp_##V##Create(); },       \
        [](void* o) { return Shp_##V##Destroy(static_cast<OBJ*>(o)); },                    \
        [](ShpFile* f, int32_t n, void* o) { return Shp_##V##Read(f, n, static_cast<OBJ*>(o)); }, \
        [](ShpFile* f, void* o, int32_t) { return Shp_##V##Append(f, static_cast<OBJ*>(o)); }, \
        [](void* o, const Vertex& v) {                                                     \
          COORD c;                                                                         \
          ToCoord(v, &c);                                                                  \
          return Shp_##V##AppendCoord(static_cast<OBJ*>(o), &c);                           \
        },                                                                                 \
        nullptr,                                                                           \
        [](void* o, int32_t n, Vertex* out) -> int32_t {                                   \
          if (n != 1) return 0;                                                            \
          COORD c;                                                                         \
          std::memset(&c, 0, sizeof c);                                                    \
          int32_t r = Shp_##V##GetCoord(static_cast<OBJ*>(o), &c);                         \
          *out = FromCoord(c);                                                             \
          return r;                                                                        \
        },                                                                                 \
        [](void*) -> int32_t { return 1; }, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, \
        [](void* o) { return Shp_##V##GetId(static_cast<OBJ*>(o)); },                      \
        [](void* o, int32_t id) { Shp_##V##SetId(static_cast<OBJ*>(o), id); }              \
  }

// --- Multi-coordinate families: the slots that differ between variants are
// filled by the small macros below, named as arguments of
// OVRIX_FAMILY_MULTI. ---
#define OVRIX_F_CREATE(V, OBJ) [](int32_t) -> void* { return Shp_##V##Create(); }
#define OVRIX_F_CREATE_TYPED(V, OBJ) [](int32_t t) -> void* { return Shp_##V##Create(t); }
#define OVRIX_F_APPEND(V, OBJ) [](ShpFile* f, void* o, int32_t) { return Shp_##V##Append(f, static_cast<OBJ*>(o)); }
#define OVRIX_F_APPEND_NOM(V, OBJ) \
  [](ShpFile* f, void* o, int32_t nm) { return Shp_##V##Append(f, static_cast<OBJ*>(o), nm); }
#define OVRIX_F_NEWPART(V, OBJ) [](void* o, int32_t) { return Shp_##V##NewPart(static_cast<OBJ*>(o)); }
#define OVRIX_F_NEWPART_TYPED(V, OBJ) [](void* o, int32_t t) { return Shp_##V##NewPart(static_cast<OBJ*>(o), t); }
#define OVRIX_F_PARTS(V, OBJ)                                                  \
  [](void* o) { return Shp_##V##GetNumParts(static_cast<OBJ*>(o)); },          \
      [](void* o, int32_t p) { return Shp_##V##GetPartOffset(static_cast<OBJ*>(o), p); }
#define OVRIX_F_TYPEINPART(V, OBJ) [](void* o, int32_t p) { return Shp_##V##GetTypeInPart(static_cast<OBJ*>(o), p); }
#define OVRIX_F_MRANGE(V, OBJ) \
  [](void* o, double* a, double* b) { return Shp_##V##GetMeasureRange(static_cast<OBJ*>(o), a, b); }
#define OVRIX_F_ZRANGE(V, OBJ) \
  [](void* o, double* a, double* b) { return Shp_##V##GetZCoordRange(static_cast<OBJ*>(o), a, b); }
#define OVRIX_F_NONE(V, OBJ) nullptr
#define OVRIX_F_NONE2(V, OBJ) nullptr, nullptr

#define OVRIX_FAMILY_MULTI(V, OBJ, COORD, TYPE, KIND, DIMS, CREATE, APPEND, NEWPART, PARTS, TYPEINPART, MRANGE, \
                           ZRANGE)                                                                            \
  Family {                                                                                                    \
    #V, TYPE, KIND, DIMS, CREATE(V, OBJ), [](void* o) { return Shp_##V##Destroy(static_cast<OBJ*>(o)); },     \
        [](ShpFile* f, int32_t n, void* o) { return Shp_##V##Read(f, n, static_cast<OBJ*>(o)); },              \
        APPEND(V, OBJ),                                                                                       \
        [](void* o, const Vertex& v) {                                                                        \
          COORD c;                                                                                            \
          ToCoord(v, &c);                                                                                     \
          return Shp_##V##AppendCoord(static_cast<OBJ*>(o), &c);                                              \
        },                                                                                                    \
        NEWPART(V, OBJ),                                                                                      \
        [](void* o, int32_t n, Vertex* out) -> int32_t {                                                      \
          COORD c;                                                                                            \
          std::memset(&c, 0, sizeof c);                                                                       \
          int32_t r = Shp_##V##GetCoord(static_cast<OBJ*>(o), &c, n);                                         \
          if (r == 1) *out = FromCoord(c);                                                                    \
          return r;                                                                                           \
        },                                                                                                    \
        [](void* o) { return Shp_##V##GetNumCoords(static_cast<OBJ*>(o)); }, PARTS(V, OBJ), TYPEINPART(V, OBJ), \
        [](void* o, Bbox* b) { return Shp_##V##GetBoundingBox(static_cast<OBJ*>(o), b); }, MRANGE(V, OBJ),     \
        ZRANGE(V, OBJ), [](void* o) { return Shp_##V##GetId(static_cast<OBJ*>(o)); },                          \
        [](void* o, int32_t id) { Shp_##V##SetId(static_cast<OBJ*>(o), id); }                                 \
  }

// The families known to this build, in a fixed order.
inline const std::vector<Family>& Families() {
  static const std::vector<Family> all = {
      OVRIX_FAMILY_POINT(Point, ShpPoint, ShpCoord, SHP_POINT, 2),
      OVRIX_FAMILY_POINT(PointM, ShpPointM, ShpCoordM, SHP_POINTM, 3),
      OVRIX_FAMILY_POINT(PointZ, ShpPointZ, ShpCoordZ, SHP_POINTZ, 4),
      OVRIX_FAMILY_MULTI(Line, ShpLine, ShpCoord, SHP_POLYLINE, Kind::Line, 2, OVRIX_F_CREATE, OVRIX_F_APPEND,
                         OVRIX_F_NEWPART, OVRIX_F_PARTS, OVRIX_F_NONE, OVRIX_F_NONE, OVRIX_F_NONE),
      OVRIX_FAMILY_MULTI(LineM, ShpLineM, ShpCoordM, SHP_POLYLINEM, Kind::Line, 3, OVRIX_F_CREATE, OVRIX_F_APPEND_NOM,
                         OVRIX_F_NEWPART, OVRIX_F_PARTS, OVRIX_F_NONE, OVRIX_F_MRANGE, OVRIX_F_NONE),
      OVRIX_FAMILY_MULTI(LineZ, ShpLineZ, ShpCoordZ, SHP_POLYLINEZ, Kind::Line, 4, OVRIX_F_CREATE, OVRIX_F_APPEND_NOM,
                         OVRIX_F_NEWPART, OVRIX_F_PARTS, OVRIX_F_NONE, OVRIX_F_MRANGE, OVRIX_F_ZRANGE),
      OVRIX_FAMILY_MULTI(Polygon, ShpPolygon, ShpCoord, SHP_POLYGON, Kind::Polygon, 2, OVRIX_F_CREATE, OVRIX_F_APPEND,
                         OVRIX_F_NEWPART, OVRIX_F_PARTS, OVRIX_F_NONE, OVRIX_F_NONE, OVRIX_F_NONE),
      OVRIX_FAMILY_MULTI(PolygonM, ShpPolygonM, ShpCoordM, SHP_POLYGONM, Kind::Polygon, 3, OVRIX_F_CREATE,
                         OVRIX_F_APPEND_NOM, OVRIX_F_NEWPART, OVRIX_F_PARTS, OVRIX_F_NONE, OVRIX_F_MRANGE, OVRIX_F_NONE),
      OVRIX_FAMILY_MULTI(PolygonZ, ShpPolygonZ, ShpCoordZ, SHP_POLYGONZ, Kind::Polygon, 4, OVRIX_F_CREATE,
                         OVRIX_F_APPEND_NOM, OVRIX_F_NEWPART, OVRIX_F_PARTS, OVRIX_F_NONE, OVRIX_F_MRANGE,
                         OVRIX_F_ZRANGE),
      OVRIX_FAMILY_MULTI(MultiPoint, ShpMultiPoint, ShpCoord, SHP_MULTIPOINT, Kind::MultiPoint, 2, OVRIX_F_CREATE,
                         OVRIX_F_APPEND, OVRIX_F_NONE, OVRIX_F_NONE2, OVRIX_F_NONE, OVRIX_F_NONE, OVRIX_F_NONE),
      OVRIX_FAMILY_MULTI(MultiPointM, ShpMultiPointM, ShpCoordM, SHP_MULTIPOINTM, Kind::MultiPoint, 3, OVRIX_F_CREATE,
                         OVRIX_F_APPEND_NOM, OVRIX_F_NONE, OVRIX_F_NONE2, OVRIX_F_NONE, OVRIX_F_MRANGE, OVRIX_F_NONE),
      OVRIX_FAMILY_MULTI(MultiPointZ, ShpMultiPointZ, ShpCoordZ, SHP_MULTIPOINTZ, Kind::MultiPoint, 4, OVRIX_F_CREATE,
                         OVRIX_F_APPEND_NOM, OVRIX_F_NONE, OVRIX_F_NONE2, OVRIX_F_NONE, OVRIX_F_MRANGE, OVRIX_F_ZRANGE),
      OVRIX_FAMILY_MULTI(MultiPatch, ShpMultiPatch, ShpCoordZ, SHP_MULTIPATCH, Kind::MultiPatch, 4,
                         OVRIX_F_CREATE_TYPED, OVRIX_F_APPEND_NOM, OVRIX_F_NEWPART_TYPED, OVRIX_F_PARTS,
                         OVRIX_F_TYPEINPART, OVRIX_F_MRANGE, OVRIX_F_ZRANGE),
      // New families go at the end, so that saved fuzz inputs keep naming
      // the same families.
  };
  return all;
}

// The family whose variant reads and writes files of `shapeType`, or null.
inline const Family* FamilyForType(int32_t shapeType) {
  for (const Family& f : Families())
    if (f.shapeType == shapeType) return &f;
  return nullptr;
}

// Collects what the object reports through the family's getters.
inline RecordImage Capture(const Family& f, void* obj) {
  RecordImage img;
  const int32_t n = f.numCoords(obj);
  for (int32_t i = 1; i <= n; ++i) {
    Vertex v;
    if (f.getCoord(obj, i, &v) == 0) break;
    img.points.push_back(v);
  }
  if (f.numParts != nullptr) {
    img.numParts = f.numParts(obj);
    for (int32_t p = 1; p <= img.numParts; ++p) {
      img.partStarts.push_back(f.partOffset(obj, p));
      if (f.typeInPart != nullptr) img.partTypes.push_back(f.typeInPart(obj, p));
    }
  }
  if (f.getBox != nullptr) f.getBox(obj, &img.box);
  if (f.measureRange != nullptr) f.measureRange(obj, &img.mmin, &img.mmax);
  if (f.zRange != nullptr) f.zRange(obj, &img.zmin, &img.zmax);
  return img;
}

// A writable copy of a name, for the functions that take char* (Shp_Open and
// Shp_New may cut the caller's string).
inline std::vector<char> WritableName(const std::string& s) {
  std::vector<char> v(s.begin(), s.end());
  v.push_back('\0');
  return v;
}

// Appends `records` records of `points` points each (a few distinct values
// per point) to an open pair; returns how many appends succeeded.
inline int AppendSampleRecords(const Family& f, ShpFile* shp, int records, int points = 3) {
  void* obj = f.create(2);
  int ok = 0;
  for (int r = 0; r < records; ++r) {
    for (int i = 0; i < points; ++i) f.appendCoord(obj, Vertex{1.0 * r, 1.0 * i, 2.0 * i, 3.0 * r});
    ok += f.append(shp, obj, 0);
  }
  f.destroy(obj);
  return ok;
}

// Creates the pair `base` of `f`'s type holding such records; true when it
// was created and every record appended.
inline bool WriteSamplePair(const Family& f, const std::string& base, int records, int points = 3) {
  std::vector<char> name = WritableName(base);
  ShpFile* shp = Shp_Create();
  const bool ok = Shp_New(shp, name.data(), f.shapeType) == 1 && AppendSampleRecords(f, shp, records, points) == records;
  Shp_Destroy(shp);
  return ok;
}

// MultiPatch part types 2 to 5 are rings; parts of other types are never
// closed.
inline bool IsRing(int32_t partType) { return partType >= 2 && partType <= 5; }

// Equal as ring closing compares: neither less nor greater (a NaN equals
// anything).
inline bool SameValue(double a, double b) { return !(a < b) && !(a > b); }

// Whether a ring's last point repeats its first, in the values the variant has.
inline bool RingClosed(const Vertex& first, const Vertex& last, int dims) {
  return SameValue(first.x, last.x) && SameValue(first.y, last.y) && (dims < 3 || SameValue(first.m, last.m)) &&
         (dims < 4 || SameValue(first.z, last.z));
}

// Values compared bit for bit, so that NaNs and signed zeros count.
inline bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline bool SamePoints(const std::vector<Vertex>& a, const std::vector<Vertex>& b, int dims) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!SameBits(a[i].x, b[i].x) || !SameBits(a[i].y, b[i].y)) return false;
    if (dims >= 3 && !SameBits(a[i].m, b[i].m)) return false;
    if (dims >= 4 && !SameBits(a[i].z, b[i].z)) return false;
  }
  return true;
}

}  // namespace ovrix::hardening
