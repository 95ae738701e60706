// The Polyline family (Polyline, PolylineM, PolylineZ) on the shared record
// engine, and the Polygon family built on it: a Polygon object is a Polyline
// object, and only starting a part and appending differ (rings are closed).
#pragma once

#include <cstdint>

#include "records/multi_record.h"

namespace ovrix {

//                                      type            parts  types  Z      M      hasMeasures  after append
inline constexpr MultiVariant kLine = {SHP_POLYLINE, true, false, false, false, 0, false};
inline constexpr MultiVariant kLineM = {SHP_POLYLINEM, true, false, false, true, 1, false};
inline constexpr MultiVariant kLineZ = {SHP_POLYLINEZ, true, false, true, true, 1, false};
inline constexpr MultiVariant kPolygon = {SHP_POLYGON, true, false, false, false, 0, true};
inline constexpr MultiVariant kPolygonM = {SHP_POLYGONM, true, false, false, true, 1, true};
inline constexpr MultiVariant kPolygonZ = {SHP_POLYGONZ, true, false, true, true, 1, true};

// Starts a new part unless the current one is still empty.
int32_t Line_NewPart(ShpMultiRecord* obj, const MultiVariant& variant);
// Drops an empty last part (also when the append is then refused) and
// appends the object.
int32_t Line_Append(ShpFile* shp, ShpMultiRecord* obj, const MultiVariant& variant, int32_t noMeasures);

// Closes the current ring (dropping it when empty), then starts a new part.
// 0, with no part started, when memory runs out for the closing vertex or
// for the part list; a later call retries.
int32_t Polygon_NewPart(ShpMultiRecord* obj, const MultiVariant& variant);
// Closes the last ring (dropping it when empty; also when the append is then
// refused) and appends the object. A closing vertex for which memory runs
// out refuses the append (0, nothing written) rather than write an open ring.
int32_t Polygon_Append(ShpFile* shp, ShpMultiRecord* obj, const MultiVariant& variant, int32_t noMeasures);

}  // namespace ovrix
