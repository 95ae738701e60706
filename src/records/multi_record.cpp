#include "records/multi_record.h"

#include <algorithm>

#include "platform/mem.h"
#include "records/object_kind.h"
#include "shape/io.h"
#include "shape/shpfile.h"

namespace ovrix {
namespace {

static_assert(sizeof(CoordPair) == 2 * sizeof(double), "a pair is stored as the file stores a point");

constexpr int32_t kInitialParts = 16;

// Byte counts of a record's content, in 64 bits so that hostile counts
// cannot overflow them.
struct RecordLayout {
  int64_t fixedBytes;    // shape type, box, counts
  int64_t baseBytes;     // everything before the measure block
  int64_t measureBytes;  // the measure block, when present
};

RecordLayout Layout(const MultiVariant& v, int64_t parts, int64_t points) {
  RecordLayout l;
  l.fixedBytes = 4 + 32 + (v.hasParts ? 8 : 4);
  const int64_t partBytes = v.hasParts ? parts * 4 * (v.hasPartTypes ? 2 : 1) : 0;
  l.baseBytes = l.fixedBytes + partBytes + 16 * points + (v.hasZ ? 16 + 8 * points : 0);
  l.measureBytes = v.hasM ? 16 + 8 * points : 0;
  return l;
}

// Exact comparison in which a NaN equals anything.
bool SameValue(double a, double b) { return !(a < b) && !(a > b); }

// Back to "no point, one empty part starting at 0"; the id is the caller's.
void Empty(ShpMultiRecord* obj) {
  obj->numCoords = 0;
  obj->numParts = 1;
  obj->nextPart = 1;
  PartArray_Set(obj->partStarts, 0, 0);
}

double* Doubles(CoordPair* run) { return reinterpret_cast<double*>(run); }
const double* Doubles(const CoordPair* run) { return reinterpret_cast<const double*>(run); }

// The first `count` pairs of `array`, chunk by chunk, straight between the
// stream and the chunk memory: one stream call per run of up to 512 points.
bool ReadPairs(platform::File* s, CoordArray* array, int32_t count) {
  for (int32_t i = 0; i < count;) {
    int32_t run = 0;
    CoordPair* at = CoordArray_Run(array, i, &run);
    run = std::min(run, count - i);
    if (at == nullptr || !Io_ReadDoubles(s, Doubles(at), 2 * run)) return false;
    i += run;
  }
  return true;
}

void WritePairs(platform::File* s, const CoordArray* array, int32_t count) {
  for (int32_t i = 0; i < count;) {
    int32_t run = 0;
    const CoordPair* at = CoordArray_Run(array, i, &run);
    run = std::min(run, count - i);
    Io_WriteDoubles(s, Doubles(at), 2 * run);
    i += run;
  }
}

// A block of one double per point (z or m): read a run into scratch, then
// `store` each value into its pair.
template <typename Store>
bool ReadScattered(platform::File* s, CoordArray* array, int32_t count, Store store) {
  double scratch[COORD_CHUNK];
  for (int32_t i = 0; i < count;) {
    int32_t run = 0;
    CoordPair* at = CoordArray_Run(array, i, &run);
    run = std::min(run, count - i);
    if (at == nullptr || !Io_ReadDoubles(s, scratch, run)) return false;
    for (int32_t k = 0; k < run; ++k) store(at[k], scratch[k]);
    i += run;
  }
  return true;
}

// The reverse: gather one double per pair into scratch, write the run.
template <typename Take>
void WriteGathered(platform::File* s, const CoordArray* array, int32_t count, Take take) {
  double scratch[COORD_CHUNK];
  for (int32_t i = 0; i < count;) {
    int32_t run = 0;
    const CoordPair* at = CoordArray_Run(array, i, &run);
    run = std::min(run, count - i);
    for (int32_t k = 0; k < run; ++k) scratch[k] = take(at[k]);
    Io_WriteDoubles(s, scratch, run);
    i += run;
  }
}

// Grows every array the record needs before anything in the object changes,
// so that running out of memory leaves the object as it was.
bool ReserveFor(ShpMultiRecord* obj, const MultiVariant& v, int32_t parts, int32_t points, bool measures) {
  if (v.hasParts && !PartArray_Reserve(obj->partStarts, parts)) return false;
  if (v.hasPartTypes && !PartArray_Reserve(obj->partTypes, parts)) return false;
  if (points == 0) return true;
  if (!CoordArray_Reserve(obj->coords, points - 1)) return false;
  return !(v.hasZ || measures) || CoordArray_Reserve(obj->mzCoords, points - 1);
}

// Part starts, part types, points, Z block, measure block, into the object
// whose counts are already set.
bool ReadBody(platform::File* s, ShpMultiRecord* obj, const MultiVariant& v, int32_t parts, int32_t points,
              bool measures) {
  if (v.hasParts && !Io_ReadInt32LE(s, obj->partStarts->data, parts)) return false;
  if (v.hasPartTypes && !Io_ReadInt32LE(s, obj->partTypes->data, parts)) return false;
  if (!ReadPairs(s, obj->coords, points)) return false;
  double range[2];
  if (v.hasZ) {
    if (!Io_ReadDoubles(s, range, 2)) return false;
    obj->mzBox = {0.0, range[0], 0.0, range[1]};
    if (!ReadScattered(s, obj->mzCoords, points, [](CoordPair& p, double z) { p = {0.0, z}; })) return false;
  }
  if (!v.hasM) return true;
  obj->hasMeasures = measures ? 1 : 0;
  if (!measures) return true;  // an M object keeps its former measures, unreported
  if (!Io_ReadDoubles(s, range, 2)) return false;
  if (v.hasZ) {
    obj->mzBox.xmin = range[0];
    obj->mzBox.xmax = range[1];
    return ReadScattered(s, obj->mzCoords, points, [](CoordPair& p, double m) { p.first = m; });
  }
  obj->mzBox = {range[0], 0.0, range[1], 0.0};
  return ReadScattered(s, obj->mzCoords, points, [](CoordPair& p, double m) { p = {m, 0.0}; });
}

void WriteBody(platform::File* s, const ShpMultiRecord* obj, const MultiVariant& v, int32_t parts, int32_t points,
               bool measures) {
  Io_WriteInt32LE(s, &v.shapeType, 1);
  const double box[4] = {obj->bbox.xmin, obj->bbox.ymin, obj->bbox.xmax, obj->bbox.ymax};
  Io_WriteDoubles(s, box, 4);
  if (v.hasParts) {
    const int32_t counts[2] = {parts, points};
    Io_WriteInt32LE(s, counts, 2);
    Io_WriteInt32LE(s, obj->partStarts->data, parts);
    if (v.hasPartTypes) Io_WriteInt32LE(s, obj->partTypes->data, parts);
  } else {
    Io_WriteInt32LE(s, &points, 1);
  }
  WritePairs(s, obj->coords, points);
  if (v.hasZ) {
    const double range[2] = {obj->mzBox.ymin, obj->mzBox.ymax};
    Io_WriteDoubles(s, range, 2);
    WriteGathered(s, obj->mzCoords, points, [](const CoordPair& p) { return p.second; });
  }
  if (measures) {
    const double range[2] = {obj->mzBox.xmin, obj->mzBox.xmax};
    Io_WriteDoubles(s, range, 2);
    WriteGathered(s, obj->mzCoords, points, [](const CoordPair& p) { return p.first; });
  }
}

// Folds the record's boxes into the file's: x/y always; for Z records the
// height range always and the measure range only when measures were written;
// for M records the measure range only when measures were written, with
// heights of 0.
void FoldBoxes(ShpFile* shp, int32_t r, const ShpMultiRecord* obj, const MultiVariant& v, bool measures) {
  ShpAppend_FoldBox(&shp->bbox, r, obj->bbox);
  if (v.hasZ && !measures) {
    // The file's own measure range stands in for the record's, read afresh
    // for each corner as the widening goes: a real range never moves, and a
    // range never set is still written as none (its minimum stays the empty
    // box's).
    Bbox& box = shp->mzBox;
    if (r == 1) {
      Bbox_Set(&box, box.xmin, obj->mzBox.ymin, box.xmax, obj->mzBox.ymax);
      return;
    }
    const BboxPoint low = {box.xmin, obj->mzBox.ymin};
    Bbox_Extend(&box, &low);
    const BboxPoint high = {box.xmax, obj->mzBox.ymax};
    Bbox_Extend(&box, &high);
  } else if (v.hasZ) {
    ShpAppend_FoldBox(&shp->mzBox, r, obj->mzBox);
  } else if (measures) {
    const Bbox record = r == 1 ? obj->mzBox : Bbox{obj->mzBox.xmin, 0.0, obj->mzBox.xmax, 0.0};
    ShpAppend_FoldBox(&shp->mzBox, r, record);
  }
}

}  // namespace

ShpMultiRecord* MultiRecord_Create(const MultiVariant& v) {
  auto* obj = static_cast<ShpMultiRecord*>(Mem_Alloc(sizeof(ShpMultiRecord), MEM_HEAP));
  if (obj == nullptr) return nullptr;
  bool ok = true;
  if (v.hasParts) ok = (obj->partStarts = PartArray_Create(kInitialParts)) != nullptr;
  if (ok && v.hasPartTypes) ok = (obj->partTypes = PartArray_Create(kInitialParts)) != nullptr;
  if (ok) ok = (obj->coords = CoordArray_Create()) != nullptr;
  if (ok && v.hasM) ok = (obj->mzCoords = CoordArray_Create()) != nullptr;
  if (!ok) {
    MultiRecord_Destroy(obj);
    return nullptr;
  }
  obj->kind = ObjectKind(v.shapeType);
  obj->id = 0;
  Empty(obj);
  obj->bbox = kEmptyBox;
  if (v.hasM) {
    obj->hasMeasures = v.measuresAfterCreate;
    obj->mzBox = kEmptyBox;
  }
  return obj;
}

int32_t MultiRecord_Destroy(ShpMultiRecord* obj) {
  if (obj == nullptr) return 0;
  PartArray_Destroy(obj->partStarts);
  PartArray_Destroy(obj->partTypes);
  CoordArray_Destroy(obj->coords);
  CoordArray_Destroy(obj->mzCoords);
  Mem_Free(obj, MEM_HEAP);
  return 1;
}

int32_t MultiRecord_GetPartOffset(const ShpMultiRecord* obj, int32_t number) {
  if (number < 1) return PART_INVALID;
  return PartArray_Get(obj->partStarts, number - 1, nullptr);
}

int32_t MultiRecord_StartPart(ShpMultiRecord* obj) {
  if (obj->numParts == INT32_MAX || !PartArray_Reserve(obj->partStarts, obj->numParts + 1)) return 0;
  PartArray_Set(obj->partStarts, obj->nextPart, obj->numCoords);
  ++obj->numParts;
  ++obj->nextPart;
  return 1;
}

int32_t MultiRecord_NewPart(ShpMultiRecord* obj) {
  if (PartArray_Get(obj->partStarts, obj->numParts - 1, nullptr) == obj->numCoords) return 1;
  return MultiRecord_StartPart(obj);
}

void MultiRecord_DropEmptyPart(ShpMultiRecord* obj) {
  if (obj->numParts > 0 && PartArray_Get(obj->partStarts, obj->numParts - 1, nullptr) == obj->numCoords) {
    --obj->numParts;
    --obj->nextPart;
  }
}

int32_t MultiRecord_CloseRing(ShpMultiRecord* obj, const MultiVariant& v) {
  if (obj->numParts <= 0) return 1;
  const int64_t first = static_cast<int64_t>(PartArray_Get(obj->partStarts, obj->numParts - 1, nullptr)) + 1;
  if (obj->numCoords < first) {
    --obj->numParts;
    --obj->nextPart;
    return 1;
  }
  // A part start read from a file may lie before the first point; such a
  // part has no first point to repeat.
  MultiVertex a, b;
  if (!MultiRecord_GetCoord(obj, v, static_cast<int32_t>(first), &a) ||
      !MultiRecord_GetCoord(obj, v, obj->numCoords, &b))
    return 1;
  if (SameValue(a.x, b.x) && SameValue(a.y, b.y) && SameValue(a.m, b.m) && SameValue(a.z, b.z)) return 1;
  return MultiRecord_AppendCoord(obj, v, a);
}

int32_t MultiRecord_GetBoundingBox(const ShpMultiRecord* obj, Bbox* box) {
  if (obj == nullptr || box == nullptr) return 0;
  *box = obj->bbox;
  return 1;
}

int32_t MultiRecord_GetMeasureRange(const ShpMultiRecord* obj, double* min, double* max) {
  if (obj == nullptr || min == nullptr || max == nullptr) return 0;
  *min = obj->hasMeasures != 0 ? obj->mzBox.xmin : NO_DATA;
  *max = obj->hasMeasures != 0 ? obj->mzBox.xmax : NO_DATA;
  return 1;
}

int32_t MultiRecord_GetZCoordRange(const ShpMultiRecord* obj, double* min, double* max) {
  if (obj == nullptr || min == nullptr || max == nullptr) return 0;
  *min = obj->mzBox.ymin;
  *max = obj->mzBox.ymax;
  return 1;
}

int32_t MultiRecord_Read(ShpFile* shp, int32_t n, ShpMultiRecord* obj, const MultiVariant& v) {
  if (shp->shapeType != v.shapeType || !ShpRead_Ready(shp) || n < 1 || n > shp->recordCount) return 0;
  int32_t entry[2];
  if (!ShpIndex_ReadEntry(shp, n, entry)) return 0;
  const int64_t offset = entry[0];
  const int64_t length = entry[1];
  if (offset < kHeaderBytes || offset + kRecordHeaderBytes + length > shp->shpFileBytes) return 0;
  platform::File* s = shp->shpStream;
  if (!platform::File_Seek(s, offset)) return 0;
  int32_t header[2];
  if (!Io_ReadInt32BE(s, header, 2) || 2 * static_cast<int64_t>(header[1]) != length || length < 4) return 0;

  obj->id = n;
  int32_t type = 0;
  if (!Io_ReadInt32LE(s, &type, 1) || type != shp->shapeType) return 0;
  double box[4];
  int32_t counts[2] = {1, 0};  // parts, points
  if (length < Layout(v, 0, 0).fixedBytes || !Io_ReadDoubles(s, box, 4) ||
      !(v.hasParts ? Io_ReadInt32LE(s, counts, 2) : Io_ReadInt32LE(s, &counts[1], 1)))
    return 0;
  const int32_t parts = counts[0];
  const int32_t points = counts[1];
  if (parts < 0 || points < 0) return 0;
  const RecordLayout layout = Layout(v, parts, points);
  if (layout.baseBytes > length) return 0;
  const bool measures = v.hasM && length > layout.baseBytes;
  if (measures && layout.baseBytes + layout.measureBytes > length) return 0;
  if (!ReserveFor(obj, v, parts, points, measures)) return 0;

  obj->bbox = {box[0], box[1], box[2], box[3]};
  obj->numParts = v.hasParts ? parts : 1;
  obj->nextPart = obj->numParts;
  obj->numCoords = points;
  if (!ReadBody(s, obj, v, parts, points, measures)) {
    Empty(obj);
    return 0;
  }
  return 1;
}

int32_t MultiRecord_Append(ShpFile* shp, ShpMultiRecord* obj, const MultiVariant& v, int32_t noMeasures) {
  if (shp->shapeType != v.shapeType) return 0;
  const bool measures = v.hasM && noMeasures == 0;
  if (v.hasM) obj->hasMeasures = measures ? 1 : 0;
  if (!ShpAppend_Begin(shp, true)) return 0;
  const int32_t parts = v.hasParts ? obj->numParts : 1;
  const int32_t points = obj->numCoords;
  const RecordLayout layout = Layout(v, parts, points);
  const int64_t length = layout.baseBytes + (measures ? layout.measureBytes : 0);
  const int64_t offset = platform::File_Tell(shp->shpStream);
  if (offset < 0 || offset + kRecordHeaderBytes + length > INT32_MAX) return 0;

  const int32_t r = ShpAppend_StartRecord(shp, static_cast<int32_t>(offset), static_cast<int32_t>(length));
  WriteBody(shp->shpStream, obj, v, parts, points, measures);
  obj->id = 0;
  Empty(obj);
  if (v.hasM && v.measuresAfterAppend) obj->hasMeasures = 1;
  FoldBoxes(shp, r, obj, v, measures);
  return 1;
}

}  // namespace ovrix
