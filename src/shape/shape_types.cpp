#include "shape/shape_types.h"

#include <array>

#include "ovrix32.h"

namespace ovrix {
namespace {
constexpr ShapeType kTypes[] = {
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
constexpr int32_t kCodes = 32;
constexpr auto kByCode = [] {
  std::array<const ShapeType*, kCodes> byCode{};
  for (const ShapeType& t : kTypes) byCode[static_cast<std::size_t>(t.code)] = &t;
  return byCode;
}();

}  // namespace

const ShapeType* ShapeType_Find(int32_t code) {
  return code >= 0 && code < kCodes ? kByCode[static_cast<std::size_t>(code)] : nullptr;
}

}  // namespace ovrix
