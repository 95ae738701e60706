#include "records/point.h"

#include "platform/mem.h"
#include "shape/io.h"
#include "shape/shpfile.h"

namespace ovrix {
namespace {
constexpr PointVariant kVariants[] = {
    {SHP_POINT, 28, 20},
    {SHP_POINTM, 36, 28},
    {SHP_POINTZ, 44, 36},
};
}  // namespace

const PointVariant* PointVariant_ForType(int32_t shapeType) {
  for (const PointVariant& v : kVariants)
    if (v.shapeType == shapeType) return &v;
  return nullptr;
}

ShpPointRecord* Point_Create() {
  return static_cast<ShpPointRecord*>(Mem_Alloc(sizeof(ShpPointRecord), MEM_HEAP));
}

int32_t Point_Destroy(ShpPointRecord* point) {
  if (point == nullptr) return 0;
  Mem_Free(point, MEM_HEAP);
  return 1;
}

int32_t Point_Read(ShpFile* shp, int32_t n, ShpPointRecord* point, int32_t ownType) {
  const PointVariant* fileVariant = PointVariant_ForType(shp->shapeType);
  if (shp->shapeType != ownType || fileVariant == nullptr || !ShpRead_Ready(shp) || n < 1) return 0;
  // Point records have a fixed size, so record n is found by computation.
  int64_t offset = kHeaderBytes + (static_cast<int64_t>(n) - 1) * fileVariant->recordBytes;
  if (offset > 0x7fffffff || std::fseek(shp->shpStream, static_cast<long>(offset), SEEK_SET) != 0) return 0;
  int32_t header[2];
  if (!Io_ReadInt32BE(shp->shpStream, header, 2)) return 0;
  int32_t recordType = 0;
  if (!Io_ReadInt32LE(shp->shpStream, &recordType, 1)) return 0;
  // The record's own type decides which values follow.
  const PointVariant* recordVariant = PointVariant_ForType(recordType);
  if (recordVariant == nullptr) return 0;
  const int32_t count = (recordVariant->contentBytes - 4) / 8;
  double v[4];
  if (!Io_ReadDoubles(shp->shpStream, v, count)) return 0;
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
  const PointVariant* variant = PointVariant_ForType(shp->shapeType);
  if (!ShpAppend_Begin(shp, variant != nullptr)) return 0;
  const int32_t n = shp->recordCount + 1;
  const int64_t offset = kHeaderBytes + (static_cast<int64_t>(n) - 1) * variant->recordBytes;
  ShpAppend_StartRecord(shp, static_cast<int32_t>(offset), variant->contentBytes);
  Io_WriteInt32LE(shp->shpStream, &shp->shapeType, 1);
  const double values[4] = {point->x, point->y, variant->shapeType == SHP_POINTZ ? point->z : point->m, point->m};
  Io_WriteDoubles(shp->shpStream, values, (variant->contentBytes - 4) / 8);
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
