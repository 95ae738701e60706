// The MultiPatch family on the shared record engine: parts that each carry a
// part type, points with x, y, z and optional m. What is particular to it:
// ring parts (types 2 to 5) are closed when they are finished, and ring
// parts must follow the rules of ring sequences (an inner ring only behind
// an outer ring that has points or another inner ring; a ring only behind a
// first ring that has points or another ring).
#pragma once

#include <cstdint>

#include "records/multi_record.h"

namespace ovrix {

//                                            type            parts  types  Z     M     hasMeasures  after append
inline constexpr MultiVariant kMultiPatch = {SHP_MULTIPATCH, true, true, true, true, 1, true};

// New empty object whose first part has type `firstPartType` (not checked),
// or null when memory runs out.
ShpMultiRecord* MultiPatch_Create(int32_t firstPartType);
// Stores the type of part 1; 1.
int32_t MultiPatch_SetFirstPartType(ShpMultiRecord* obj, int32_t type);
// Type of part `number` (from 1), bounded by the storage of the type list
// (not by numParts); PART_INVALID outside it.
int32_t MultiPatch_GetTypeInPart(const ShpMultiRecord* obj, int32_t number);
// Closes the current part when it is a ring (see MultiRecord_CloseRing);
// parts of other types are left alone. 0 when memory runs out for the
// closing point.
int32_t MultiPatch_CloseRing(ShpMultiRecord* obj);
// Starts a part of type `type` behind the current one, which is closed
// first when it is a ring. An empty current part takes the new type instead
// (no part is added). 0, nothing changed, for a type the ring rules refuse
// or an object without a current part (a record of 0 parts read); 0 when
// memory runs out, for the closing point (no part started) or the new part.
int32_t MultiPatch_NewPart(ShpMultiRecord* obj, int32_t type);
// Closes the last part when it is a ring, drops it when it is empty (both
// also when the append is then refused), and appends the object as
// MultiPoint_Append does. A closing point for which memory runs out refuses
// the append (0, nothing written) rather than write an open ring.
int32_t MultiPatch_Append(ShpFile* shp, ShpMultiRecord* obj, int32_t noMeasures);

}  // namespace ovrix
