// Every record family of the interface behind one uniform table, so that the unit tests, the fuzz
// targets and the interop driver drive any shape type through the same code. A Family wraps the
// exported functions of one variant (Shp_Point..., Shp_LineM..., ...); a RecordImage holds
// everything a record object reports through its getters. Header-only, public interface only.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ovrix32.h"

namespace ovrix::hardening {

// The empty box, as the library reports it and stores it in the headers of a file without records.
constexpr Bbox kEmpty = {9.9e300, 9.9e300, -9.9e300, -9.9e300};

// One point as the interface can report it; values a variant lacks are 0.
struct Vertex {
  double x = 0, y = 0, m = 0, z = 0;
};

enum class Kind { Point, MultiPoint, Line, Polygon, MultiPatch };

// Everything a record object reports: GetPartOffset and (MultiPatch) GetTypeInPart of parts
// 1..numParts, GetCoord of points 1..numCoords, the box and the ranges.
struct RecordImage {
  int32_t numParts = 0;
  std::vector<int32_t> partStarts, partTypes;
  std::vector<Vertex> points;
  Bbox box{};
  double mmin = 0, mmax = 0, zmin = 0, zmax = 0;
};

// The functions of one variant behind uniform signatures; null where the variant has none.
struct Family {
  const char* name;
  int32_t shapeType;  // the file type this variant reads and writes
  Kind kind;
  int dims;  // 2 plain, 3 M, 4 Z (MultiPatch: 4)
  void* (*create)(int32_t firstPartType);
  int32_t (*destroy)(void* obj);
  int32_t (*read)(ShpFile* shp, int32_t n, void* obj);
  int32_t (*append)(ShpFile* shp, void* obj, int32_t noMeasures);
  int32_t (*appendCoord)(void* obj, const Vertex& v);
  int32_t (*newPart)(void* obj, int32_t partType);
  int32_t (*getCoord)(void* obj, int32_t n, Vertex* out);
  int32_t (*numCoords)(void* obj), (*numParts)(void* obj), (*partOffset)(void* obj, int32_t part);
  int32_t (*typeInPart)(void* obj, int32_t part), (*getBox)(void* obj, Bbox* box);
  int32_t (*measureRange)(void*, double* lo, double* hi), (*zRange)(void*, double* lo, double* hi);
  int32_t (*getId)(void* obj);
  void (*setId)(void* obj, int32_t id);
};

// The coordinate structures hold x, y (m, z) in the order of Vertex.
template <class C> void ToCoord(const Vertex& v, C* c) { std::memcpy(c, &v, sizeof *c); }
template <class C> Vertex FromCoord(C c) { Vertex v; return memcpy((void*)&v, &c, sizeof c), v; }

template <class O>
O* As(void* o) { return static_cast<O*>(o); }
#define OVX_L As<ShpLine>(o)

// One variant V with objects O and coordinates C. GETC is the GetCoord call (a point object has
// no point number); the trailing slots are numCoords, numParts, partOffset, typeInPart, getBox,
// measureRange and zRange.
#define OVX_FAM(V, O, C, TYPE, KIND, DIMS, CREATE, APPEND, GETC, NEWPART, ...) \
  Family{#V, TYPE, KIND, DIMS, CREATE, [](void* o) { return Shp_##V##Destroy(As<O>(o)); }, \
         [](ShpFile* f, int32_t n, void* o) { return Shp_##V##Read(f, n, As<O>(o)); }, APPEND, \
         [](void* o, const Vertex& v) { C c; return ToCoord(v, &c), Shp_##V##AppendCoord(As<O>(o), &c); }, \
         NEWPART, [](void* o, int32_t n, Vertex* out) -> int32_t { \
           C c{}; \
           const int32_t r = GETC; \
           if (r == 1) *out = FromCoord(c); \
           return r; \
         }, \
         __VA_ARGS__, [](void* o) { return Shp_##V##GetId(As<O>(o)); }, \
         [](void* o, int32_t id) { Shp_##V##SetId(As<O>(o), id); }}
#define OVX_CREATE(V) [](int32_t) -> void* { return Shp_##V##Create(); }
#define OVX_POINT(V, C, TYPE, DIMS) \
  OVX_FAM(V, ShpPoint, C, TYPE, Kind::Point, DIMS, OVX_CREATE(V), \
          [](ShpFile* f, void* o, int32_t) { return Shp_##V##Append(f, As<ShpPoint>(o)); }, \
          n == 1 ? Shp_##V##GetCoord(As<ShpPoint>(o), &c) : 0, nullptr, \
          [](void*) -> int32_t { return 1; }, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr)
#define OVX_MULTI(V, C, TYPE, KIND, DIMS, CREATE, APPEND, NEWPART, ...) \
  OVX_FAM(V, ShpLine, C, TYPE, KIND, DIMS, CREATE, APPEND, Shp_##V##GetCoord(OVX_L, &c, n), NEWPART, \
          [](void* o) { return Shp_##V##GetNumCoords(OVX_L); }, __VA_ARGS__)
#define OVX_APPEND(V) [](ShpFile* f, void* o, int32_t) { return Shp_##V##Append(f, OVX_L); }
#define OVX_APPNM(V) [](ShpFile* f, void* o, int32_t nm) { return Shp_##V##Append(f, OVX_L, nm); }
#define OVX_PARTS(V) [](void* o) { return Shp_##V##GetNumParts(OVX_L); }, \
                     [](void* o, int32_t p) { return Shp_##V##GetPartOffset(OVX_L, p); }
#define OVX_BOX(V) [](void* o, Bbox* b) { return Shp_##V##GetBoundingBox(OVX_L, b); }
#define OVX_MR(V) [](void* o, double* a, double* b) { return Shp_##V##GetMeasureRange(OVX_L, a, b); }
#define OVX_ZR(V) [](void* o, double* a, double* b) { return Shp_##V##GetZCoordRange(OVX_L, a, b); }
#define OVX_LINES(V, C, TYPE, KIND, DIMS, APPEND, ...) \
  OVX_MULTI(V, C, TYPE, KIND, DIMS, OVX_CREATE(V), APPEND(V), \
            [](void* o, int32_t) { return Shp_##V##NewPart(OVX_L); }, OVX_PARTS(V), nullptr, OVX_BOX(V), \
            __VA_ARGS__)
#define OVX_MPOINTS(V, C, TYPE, DIMS, APPEND, ...) \
  OVX_MULTI(V, C, TYPE, Kind::MultiPoint, DIMS, OVX_CREATE(V), APPEND(V), nullptr, nullptr, nullptr, \
            nullptr, OVX_BOX(V), __VA_ARGS__)

// The families in a fixed order (saved fuzz inputs name them by position: add new ones last).
inline const std::vector<Family>& Families() {
  static const std::vector<Family> all = {
      OVX_POINT(Point, ShpCoord, SHP_POINT, 2),
      OVX_POINT(PointM, ShpCoordM, SHP_POINTM, 3),
      OVX_POINT(PointZ, ShpCoordZ, SHP_POINTZ, 4),
      OVX_LINES(Line, ShpCoord, SHP_POLYLINE, Kind::Line, 2, OVX_APPEND, nullptr, nullptr),
      OVX_LINES(LineM, ShpCoordM, SHP_POLYLINEM, Kind::Line, 3, OVX_APPNM, OVX_MR(LineM), nullptr),
      OVX_LINES(LineZ, ShpCoordZ, SHP_POLYLINEZ, Kind::Line, 4, OVX_APPNM, OVX_MR(LineZ),
                OVX_ZR(LineZ)),
      OVX_LINES(Polygon, ShpCoord, SHP_POLYGON, Kind::Polygon, 2, OVX_APPEND, nullptr, nullptr),
      OVX_LINES(PolygonM, ShpCoordM, SHP_POLYGONM, Kind::Polygon, 3, OVX_APPNM, OVX_MR(PolygonM),
                nullptr),
      OVX_LINES(PolygonZ, ShpCoordZ, SHP_POLYGONZ, Kind::Polygon, 4, OVX_APPNM, OVX_MR(PolygonZ),
                OVX_ZR(PolygonZ)),
      OVX_MPOINTS(MultiPoint, ShpCoord, SHP_MULTIPOINT, 2, OVX_APPEND, nullptr, nullptr),
      OVX_MPOINTS(MultiPointM, ShpCoordM, SHP_MULTIPOINTM, 3, OVX_APPNM, OVX_MR(MultiPointM),
                  nullptr),
      OVX_MPOINTS(MultiPointZ, ShpCoordZ, SHP_MULTIPOINTZ, 4, OVX_APPNM, OVX_MR(MultiPointZ),
                  OVX_ZR(MultiPointZ)),
      OVX_MULTI(MultiPatch, ShpCoordZ, SHP_MULTIPATCH, Kind::MultiPatch, 4,
                [](int32_t t) -> void* { return Shp_MultiPatchCreate(t); }, OVX_APPNM(MultiPatch),
                [](void* o, int32_t t) { return Shp_MultiPatchNewPart(OVX_L, t); }, OVX_PARTS(MultiPatch),
                [](void* o, int32_t p) { return Shp_MultiPatchGetTypeInPart(OVX_L, p); },
                OVX_BOX(MultiPatch),
                OVX_MR(MultiPatch), OVX_ZR(MultiPatch)),
  };
  return all;
}

// The family whose variant reads and writes files of `shapeType`, or null.
inline const Family* FamilyForType(int32_t shapeType) {
  for (const Family& f : Families())
    if (f.shapeType == shapeType) return &f;
  return nullptr;
}

// What the object reports through the family's getters.
inline RecordImage Capture(const Family& f, void* obj) {
  RecordImage img;
  Vertex v;
  for (int32_t i = 1; i <= f.numCoords(obj) && f.getCoord(obj, i, &v); ++i) img.points.push_back(v);
  for (int32_t p = 1, n = img.numParts = f.numParts ? f.numParts(obj) : 0; p <= n; ++p) {
    img.partStarts.push_back(f.partOffset(obj, p));
    if (f.typeInPart) img.partTypes.push_back(f.typeInPart(obj, p));
  }
  if (f.getBox) f.getBox(obj, &img.box);
  if (f.measureRange) f.measureRange(obj, &img.mmin, &img.mmax);
  if (f.zRange) f.zRange(obj, &img.zmin, &img.zmax);
  return img;
}

// A writable copy of a name, for the functions that take char* (they may cut the caller's string).
inline std::vector<char> WritableName(const std::string& s) { return {s.data(), s.data() + s.size() + 1}; }

// Creates the pair `base` of `f`'s type with `records` records of `points` points each (distinct
// values per point); true when every record went in.
inline bool WriteSamplePair(const Family& f, const std::string& base, int records, int points = 3) {
  std::vector<char> name = WritableName(base);
  ShpFile* shp = Shp_Create();
  void* obj = f.create(2);
  int ok = Shp_New(shp, name.data(), f.shapeType);
  for (int r = 0; r < records; ++r) {
    for (int i = 0; i < points; ++i) f.appendCoord(obj, Vertex{1.0 * r, 1.0 * i, 2.0 * i, 3.0 * r});
    ok += f.append(shp, obj, 0);
  }
  f.destroy(obj), Shp_Destroy(shp);
  return ok == records + 1;
}

// MultiPatch part types 2 to 5 are rings; parts of other types are never closed.
inline bool IsRing(int32_t partType) { return partType >= 2 && partType <= 5; }
// Whether a ring's last point repeats its first in the values the variant has, compared as ring
// closing compares: neither less nor greater (a NaN equals anything).
inline bool RingClosed(const Vertex& a, const Vertex& b, int dims) {
  auto eq = [](double u, double v) { return !(u < v) && !(u > v); };
  return eq(a.x, b.x) && eq(a.y, b.y) && (dims < 3 || eq(a.m, b.m)) && (dims < 4 || eq(a.z, b.z));
}
// Points compared bit for bit in the values the variant has, so that NaNs and signed zeros count.
inline bool SamePoints(const std::vector<Vertex>& a, const std::vector<Vertex>& b, int dims) {
  bool same = a.size() == b.size();
  for (size_t i = 0; same && i < a.size(); ++i)
    same = !std::memcmp(&a[i], &b[i], sizeof(double) * (dims == 2 ? 2 : dims == 3 ? 3 : 4));
  return same;
}
// Whole images alike: points, parts, and (with `boxes`) the box and both ranges.
inline bool SameImage(const Family& f, const RecordImage& a, const RecordImage& b, bool boxes) {
  return SamePoints(a.points, b.points, f.dims) && a.numParts == b.numParts &&
         a.partStarts == b.partStarts && a.partTypes == b.partTypes &&
         (!boxes || !std::memcmp(&a.box, &b.box, sizeof(Bbox) + 4 * sizeof(double)));
}

}  // namespace ovrix::hardening
