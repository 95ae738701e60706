#include "records/point.h"

#include "platform/mem.h"
#include "shape/io.h"
#include "shape/shape_types.h"
#include "shape/shpfile.h"

namespace ovrix {
namespace {

constexpr int32_t kRecordHeaderBytes = 8;

// The fixed record size of a point type; 0 for any other type.
int32_t PointRecordBytes(int32_t shapeType) {
  const ShapeType* type = ShapeType_Find(shapeType);
  return type != nullptr ? type->recordBytes : 0;
}

}  // namespace

ShpPointRecord* Point_Create() {
  return static_cast<ShpPointRecord*>(Mem_Alloc(sizeof(ShpPointRecord), MEM_HEAP));
}

int32_t Point_Destroy(ShpPointRecord* point) {
  if (point == nullptr) return 0;
  Mem_Free(point, MEM_HEAP);
  return 1;
}

int32_t Point_Read(ShpFile* shp, int32_t n, ShpPointRecord* point, int32_t ownType) {
  const int32_t fileRecordBytes = PointRecordBytes(shp->shapeType);
  if (shp->shapeType != ownType || fileRecordBytes == 0 || !ShpRead_Ready(shp) || n < 1) return 0;
  // Point records have a fixed size, so record n is found by computation.
  const int64_t offset = kHeaderBytes + (static_cast<int64_t>(n) - 1) * fileRecordBytes;
  platform::File* s = shp->shpStream;
  if (offset > 0x7fffffff || !platform::File_Seek(s, offset)) return 0;
  // Record number and content length (big-endian), then the record's type.
  int32_t head[3];
  if (platform::File_Read(s, head, sizeof head) != sizeof head) return 0;
  Io_FromLE32(&head[2], 1);
  // The record's own type decides which values follow.
  const int32_t recordType = head[2];
  const int32_t recordBytes = PointRecordBytes(recordType);
  if (recordBytes == 0) return 0;
  const int32_t count = (recordBytes - kRecordHeaderBytes - 4) / 8;
  double v[4];
  if (!Io_ReadDoubles(s, v, count)) return 0;
  point->x = v[0];
  point->y = v[1];
  if (recordType == SHP_POINTM) point->m = v[2];
  if (recordType == SHP_POINTZ) {
    point->z = v[2];
    point->m = v[3];
  }
  return 1;
}

int32_t Point_Append(ShpFile* shp, ShpPointRecord* point) {
  // The file's type decides what is written, whichever variant was called.
  const int32_t recordBytes = PointRecordBytes(shp->shapeType);
  if (!ShpAppend_Begin(shp, recordBytes != 0)) return 0;
  const int32_t n = shp->recordCount + 1;
  const int64_t offset = kHeaderBytes + (static_cast<int64_t>(n) - 1) * recordBytes;
  const int32_t contentBytes = recordBytes - kRecordHeaderBytes;
  ShpAppend_StartRecord(shp, static_cast<int32_t>(offset), contentBytes);
  Io_WriteInt32LE(shp->shpStream, &shp->shapeType, 1);
  const double values[4] = {point->x, point->y, shp->shapeType == SHP_POINTZ ? point->z : point->m, point->m};
  Io_WriteDoubles(shp->shpStream, values, (contentBytes - 4) / 8);
  if (n == 1) {
    Bbox_Set(&shp->bbox, point->x, point->y, point->x, point->y);
    Bbox_Set(&shp->mzBox, point->m, point->z, point->m, point->z);
  } else {
    const BboxPoint xy = {point->x, point->y};
    const BboxPoint mz = {point->m, point->z};
    Bbox_Extend(&shp->bbox, &xy);
    Bbox_Extend(&shp->mzBox, &mz);
  }
  return 1;
}

}  // namespace ovrix
