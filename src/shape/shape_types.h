// The shape types: one table holds what the library knows about each type,
// so that no other file keeps its own list.
#pragma once

#include <array>
#include <cstdint>

#include "ovrix32.h"

namespace ovrix {

struct ShapeType {
  int32_t code;
  const char* name;
  bool hasZ;             // heights, and the Z range in the main header
  bool hasM;             // measures, and the M range in the main header
  int32_t recordBytes;   // records of a fixed size (the points): header and content; 0 otherwise
};

namespace shape_types_detail {
inline constexpr ShapeType kTypes[] = {
    {SHP_NULL, "None", false, false, 0},
    {SHP_POINT, "Point", false, false, 28},
    {SHP_POLYLINE, "Polyline", false, false, 0},
    {SHP_POLYGON, "Polygon", false, false, 0},
    {SHP_MULTIPOINT, "MultiPoint", false, false, 0},
    {SHP_POINTZ, "PointZ", true, true, 44},
    {SHP_POLYLINEZ, "PolylineZ", true, true, 0},
    {SHP_POLYGONZ, "PolygonZ", true, true, 0},
    {SHP_MULTIPOINTZ, "MultiPointZ", true, true, 0},
    {SHP_POINTM, "PointM", false, true, 36},
    {SHP_POLYLINEM, "PolylineM", false, true, 0},
    {SHP_POLYGONM, "PolygonM", false, true, 0},
    {SHP_MULTIPOINTM, "MultiPointM", false, true, 0},
    {SHP_MULTIPATCH, "MultiPatch", true, true, 0},
};

// Every code is below 32: the table is also indexed by code.
inline constexpr int32_t kCodes = 32;
inline constexpr auto kByCode = [] {
  std::array<const ShapeType*, kCodes> byCode{};
  for (const ShapeType& t : kTypes) byCode[static_cast<std::size_t>(t.code)] = &t;
  return byCode;
}();

}  // namespace shape_types_detail

// The entry for `code`, or null for a code that names no type (Null, which
// has an entry, is not a type a file can be created with: see ShpType_IsValid).
inline const ShapeType* ShapeType_Find(int32_t code) {
  using namespace shape_types_detail;
  return code >= 0 && code < kCodes ? kByCode[static_cast<std::size_t>(code)] : nullptr;
}

}  // namespace ovrix
