// The MultiPoint family (MultiPoint, MultiPointM, MultiPointZ) on the shared
// record engine: a record is a set of points without parts. The family adds
// one rule of its own, which the MultiPatch family shares: what an object
// without points writes.
#pragma once

#include <cstdint>

#include "records/multi_record.h"

namespace ovrix {

//                                            type              parts  types  Z      M      hasMeasures  after append
inline constexpr MultiVariant kMultiPoint = {SHP_MULTIPOINT, false, false, false, false, 0, false};
inline constexpr MultiVariant kMultiPointM = {SHP_MULTIPOINTM, false, false, false, true, 0, false};
inline constexpr MultiVariant kMultiPointZ = {SHP_MULTIPOINTZ, false, false, true, true, 0, false};

// Appends the object as MultiRecord_Append does. An object without points
// first takes the empty box (and, with M or Z, empty ranges), so the record
// says plainly that it covers nothing rather than repeat the box of an
// earlier record; the file's box and ranges stay as they were, so that such
// a record can never stretch them.
int32_t MultiPoint_Append(ShpFile* shp, ShpMultiRecord* obj, const MultiVariant& variant, int32_t noMeasures);

}  // namespace ovrix
