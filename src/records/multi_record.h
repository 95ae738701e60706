// The multi-coordinate record engine: one object layout and one
// implementation of every operation shared by the MultiPoint, Polyline,
// Polygon and MultiPatch families and their M and Z variants. A family
// describes itself with a MultiVariant (shape type, whether the record
// stores parts and part types, whether it carries a Z block and an optional
// measure block) and forwards to the functions below; what differs between
// families (when a ring is closed, which empty part is dropped before an
// append, part-type rules) stays in the family and is built from the
// operations offered here.
//
// Object life: Create -> AppendCoord / NewPart ... -> Append (which writes
// the record and empties the object: no point, one empty part, id 0) -> ...
// -> Destroy; or Read n, which replaces the object's content by record n.
// The arrays only grow; elements past numCoords / numParts keep stale values
// and are never reached through these operations.
//
// Reading (MultiRecord_Read) is strict about the file and trusting about the
// record's values:
//  - Refused with the object unchanged: a file of another shape type, a
//    handle not open for reading, a record number outside 1 ... record count,
//    an index entry that cannot be read, whose offset lies before the first
//    record or whose record runs past the end of the main file, a record
//    header whose content length differs from the index entry's, or a content
//    too short to hold its shape type.
//  - Refused with only `id` set to n: a record whose own shape type differs
//    from the file's (a Null record, say); counts that are negative or that
//    the content length cannot hold (including a measure block that the
//    length announces but cannot hold); memory that runs out while the arrays
//    grow for the record (they are grown before anything else changes, and
//    never beyond what the checked content length can hold).
//  - Refused with the object emptied (id n, no point, one empty part): a
//    read that comes up short in the middle of the record, which can only
//    happen when the file changes or fails under the reader.
//  - Kept as stored: the record number in the record header (not compared),
//    part starts and part types (neither ordered nor bounded), the boxes and
//    ranges (never recomputed). Whether measures are present is decided by
//    the content length alone: present when it exceeds the length without
//    them. Bytes behind the last block are ignored.
//
// Appending (MultiRecord_Append) refuses, without writing, a file of another
// shape type, a handle not open for writing, a failed first positioning, and
// a record whose end would lie beyond the 2 GiB that 32-bit byte offsets can
// address. Once the record number is taken the append completes and returns
// 1; a failed write is not reported (the file's counts, lengths and boxes are
// brought up to date as if it had succeeded).
#pragma once

#include <cstdint>

#include "ovrix32.h"
#include "shape/arrays.h"
#include "shape/shpfile.h"

// The object behind ShpMultiPoint(M/Z), ShpLine(M/Z), ShpPolygon(M/Z) and
// ShpMultiPatch: one zero-filled MEM_HEAP block that owns its arrays.
struct ShpMultiRecord {
  int32_t kind;                   // ObjectKind of the variant that made it (object_kind.h)
  int32_t id;                     // record number: set by Read and SetId, 0 after Create and Append
  int32_t numCoords;              // points held, over all parts
  int32_t numParts;               // parts; 1 after Create and Append
  int32_t hasMeasures;            // M, Z, MultiPatch: measures reported and written
  Bbox bbox;                      // box of x/y
  Bbox mzBox;                     // mmin, zmin, mmax, zmax (x axis = M, y axis = Z)
  ovrix::PartArray* partStarts;   // 0-based index of each part's first point; null without parts
  ovrix::PartArray* partTypes;    // MultiPatch only: each part's type; null elsewhere
  ovrix::CoordArray* coords;      // (x, y) per point
  ovrix::CoordArray* mzCoords;    // (m, 0) in M objects, (m, z) in Z objects; null in plain ones
  int32_t nextPart;               // partStarts slot of the next new part; always == numParts
};

namespace ovrix {

// What distinguishes one record type from another.
struct MultiVariant {
  int32_t shapeType;          // the file and record type this variant reads and writes
  bool hasParts;              // record stores P and the part starts (all but MultiPoint)
  bool hasPartTypes;          // record stores the part types behind the starts (MultiPatch)
  bool hasZ;                  // a Z block always follows the points (Z variants, MultiPatch)
  bool hasM;                  // an optional measure block closes the record (M and Z variants)
  int32_t measuresAfterCreate;  // hasMeasures of a new object (M/Z variants)
  bool measuresAfterAppend;   // a successful Append sets hasMeasures back to 1
};

// One point as the interface structures carry it; the plain variant uses x
// and y only, the M variant x, y and m.
struct MultiVertex {
  double x;
  double y;
  double m;
  double z;
};

// --- object --------------------------------------------------------------------
// New empty object (one empty part starting at 0, empty boxes where the
// variant keeps them), or null when memory runs out (nothing stays allocated).
// A MultiPatch's first part type is 0 until the family sets it.
ShpMultiRecord* MultiRecord_Create(const MultiVariant& variant);
// Releases the object and its arrays; 0 for null, else 1.
int32_t MultiRecord_Destroy(ShpMultiRecord* obj);

// --- points ----------------------------------------------------------------------
// Stores the point behind the last one (into the current part) and widens the
// boxes (the first point replaces them). M variants store (m, 0), Z variants
// (m, z). 0 when memory runs out; the object is then unchanged.
inline int32_t MultiRecord_AppendCoord(ShpMultiRecord* obj, const MultiVariant& variant, const MultiVertex& v);
// Point `number` (from 1) into *out: x, y, and for M/Z m (NO_DATA when the
// object holds no measures), for Z also z. 0 and *out untouched for a number
// outside 1 ... numCoords.
inline int32_t MultiRecord_GetCoord(const ShpMultiRecord* obj, const MultiVariant& variant, int32_t number,
                                    MultiVertex* out);

// --- parts -----------------------------------------------------------------------
// Start of the part `number` (from 1), bounded by the part array's capacity
// (not by numParts); PART_INVALID outside it or without parts.
int32_t MultiRecord_GetPartOffset(const ShpMultiRecord* obj, int32_t number);
// Opens a new part at the current point count, unconditionally. 0 when the
// part array cannot grow (the object is then unchanged).
int32_t MultiRecord_StartPart(ShpMultiRecord* obj);
// Opens a new part unless the current one holds no point yet (then 1 and
// nothing changes): a new part is never started behind an empty one.
int32_t MultiRecord_NewPart(ShpMultiRecord* obj);
// Drops the last part when it starts exactly at the point count (holds no
// point). An object without any point thus goes out with no part at all.
void MultiRecord_DropEmptyPart(ShpMultiRecord* obj);
// Closes the last part as a ring: drops it when it starts at or beyond the
// point count; otherwise, when its last point differs from its first in x, y,
// m or z as GetCoord reports them (a NaN differs from nothing), appends a copy
// of the first point. Returns what that AppendCoord returned, 1 when nothing
// had to be appended.
int32_t MultiRecord_CloseRing(ShpMultiRecord* obj, const MultiVariant& variant);

// --- boxes ---------------------------------------------------------------------
// Each returns 1, or 0 for a null object or null output (outputs untouched).
int32_t MultiRecord_GetBoundingBox(const ShpMultiRecord* obj, Bbox* box);
// (mmin, mmax), or NO_DATA twice when the object holds no measures.
int32_t MultiRecord_GetMeasureRange(const ShpMultiRecord* obj, double* min, double* max);
// (zmin, zmax), whatever hasMeasures says.
int32_t MultiRecord_GetZCoordRange(const ShpMultiRecord* obj, double* min, double* max);

// --- file ------------------------------------------------------------------------
// Reads record n (from 1) of `shp` into the object (see the top of this file
// for what is refused and how the object is left). 1 read, 0 refused.
int32_t MultiRecord_Read(ShpFile* shp, int32_t n, ShpMultiRecord* obj, const MultiVariant& variant);
// Appends the object as the next record of `shp` and empties it. For M and Z
// variants `noMeasures` nonzero leaves out the measure block; hasMeasures is
// set from it right after the type check, so also by an Append that the
// stream checks then refuse. Whatever the family does to the last part
// before writing (dropping it, closing a ring) it does before this call.
// 1 appended, 0 refused.
int32_t MultiRecord_Append(ShpFile* shp, ShpMultiRecord* obj, const MultiVariant& variant, int32_t noMeasures);

}  // namespace ovrix

namespace ovrix {

// The interface's coordinate structures to and from MultiVertex; values the
// structure lacks are 0 going in and left out coming back.
// The per-point operations are inline: hosts call them once per vertex.
inline int32_t MultiRecord_AppendCoord(ShpMultiRecord* obj, const MultiVariant& variant, const MultiVertex& v) {
  const int32_t i = obj->numCoords;
  const CoordPair xy = {v.x, v.y};
  const CoordPair mz = {v.m, variant.hasZ ? v.z : 0.0};
  if (!CoordArray_Put(obj->coords, i, xy)) return 0;
  if (variant.hasM && !CoordArray_Put(obj->mzCoords, i, mz)) return 0;
  obj->numCoords = i + 1;
  if (i == 0) {
    Bbox_Set(&obj->bbox, xy.first, xy.second, xy.first, xy.second);
    if (variant.hasM) Bbox_Set(&obj->mzBox, mz.first, mz.second, mz.first, mz.second);
    return 1;
  }
  const BboxPoint p = {xy.first, xy.second};
  Bbox_Extend(&obj->bbox, &p);
  if (variant.hasM) {
    const BboxPoint q = {mz.first, mz.second};
    Bbox_Extend(&obj->mzBox, &q);
  }
  return 1;
}

inline int32_t MultiRecord_GetCoord(const ShpMultiRecord* obj, const MultiVariant& variant, int32_t number,
                                    MultiVertex* out) {
  if (number < 1 || number > obj->numCoords) return 0;
  CoordPair xy;
  if (!CoordArray_Take(obj->coords, number - 1, &xy)) return 0;
  MultiVertex vertex = {xy.first, xy.second, 0.0, 0.0};
  if (variant.hasM) {
    CoordPair mz;
    if (!CoordArray_Take(obj->mzCoords, number - 1, &mz)) return 0;
    vertex.m = obj->hasMeasures != 0 ? mz.first : NO_DATA;
    if (variant.hasZ) vertex.z = mz.second;
  }
  *out = vertex;
  return 1;
}

// The host's fields are read one by one (through a volatile view, which
// keeps the compiler from merging two into one wider load): hosts store them
// one by one, and a load that spans two fresh stores waits for both.
inline MultiVertex MultiVertex_From(const ShpCoord& c) {
  const volatile ShpCoord& v = c;
  return {v.x, v.y, 0.0, 0.0};
}
inline MultiVertex MultiVertex_From(const ShpCoordM& c) {
  const volatile ShpCoordM& v = c;
  return {v.x, v.y, v.m, 0.0};
}
inline MultiVertex MultiVertex_From(const ShpCoordZ& c) {
  const volatile ShpCoordZ& v = c;
  return {v.x, v.y, v.m, v.z};
}
inline void MultiVertex_To(const MultiVertex& v, ShpCoord* c) { *c = {v.x, v.y}; }
inline void MultiVertex_To(const MultiVertex& v, ShpCoordM* c) { *c = {v.x, v.y, v.m}; }
inline void MultiVertex_To(const MultiVertex& v, ShpCoordZ* c) { *c = {v.x, v.y, v.m, v.z}; }

}  // namespace ovrix
