#include "records/point.h"

#include "records/object_kind.h"


#include "platform/mem.h"
#include "shape/io.h"
#include "shape/shape_types.h"
#include "shape/shpfile.h"

namespace ovrix {
namespace {

// The fixed record size of a point type; 0 for any other type.
int32_t PointRecordBytes(int32_t shapeType) {
  const ShapeType* type = ShapeType_Find(shapeType);
  return type != nullptr ? type->recordBytes : 0;
}

}  // namespace

ShpPointRecord* Point_Create(int32_t shapeType) {
  auto* point = static_cast<ShpPointRecord*>(Mem_Alloc(sizeof(ShpPointRecord), MEM_HEAP));
  if (point != nullptr) point->kind = ObjectKind(shapeType);
  return point;
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
  // Record number and content length (big-endian), then the record's type,
  // which decides which values follow. Both parts are decoded in the file's
  // window when it holds them, else from a copy.
  char local[44];
  const char* head = platform::File_ReadView(s, 12, local);
  if (head == nullptr) return 0;
  const int32_t recordType = Io_GetLE32(head + 8);
  const int32_t recordBytes = PointRecordBytes(recordType);
  if (recordBytes == 0) return 0;
  const std::size_t valueBytes = static_cast<std::size_t>(recordBytes - 12);
  const char* values = platform::File_ReadView(s, valueBytes, local + 12);
  if (values == nullptr) return 0;
  // Straight from the bytes into the object (a copy through an array would
  // stall on its stores).
  point->x = Io_GetLEDouble(values);
  point->y = Io_GetLEDouble(values + 8);
  if (recordType == SHP_POINTM) point->m = Io_GetLEDouble(values + 16);
  if (recordType == SHP_POINTZ) {
    point->z = Io_GetLEDouble(values + 16);
    point->m = Io_GetLEDouble(values + 24);
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
  ShpAppend_BookRecord(shp, static_cast<int32_t>(offset), contentBytes);
  // The whole record in one transfer, stored straight into the file's
  // window when it has room: number and length (big-endian), the type, then
  // x, y and z or m, and m.
  char local[44];
  char* rec = platform::File_WriteRoom(shp->shpStream, static_cast<std::size_t>(recordBytes), local);
  Io_PutBE32(rec, n);
  Io_PutBE32(rec + 4, contentBytes / 2);
  Io_PutLE32(rec + 8, shp->shapeType);
  Io_PutLEDouble(rec + 12, point->x);
  Io_PutLEDouble(rec + 20, point->y);
  if (recordBytes > 28) Io_PutLEDouble(rec + 28, shp->shapeType == SHP_POINTZ ? point->z : point->m);
  if (recordBytes > 36) Io_PutLEDouble(rec + 36, point->m);
  platform::File_WriteRoomDone(shp->shpStream, rec, local, static_cast<std::size_t>(recordBytes));
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
