// The Point family: Point, PointM and PointZ share one object layout, one
// reader and one appender; a variant description says what differs.
#pragma once

#include <cstdint>

#include "ovrix32.h"

// The object behind ShpPoint, ShpPointM and ShpPointZ. In memory m comes
// before z, as in ShpCoordZ; the file stores z before m.
struct ShpPointRecord {
  int32_t id;
  double x;
  double y;
  double m;
  double z;
};

namespace ovrix {

struct PointVariant {
  int32_t shapeType;     // SHP_POINT, SHP_POINTM or SHP_POINTZ
  int32_t recordBytes;   // whole record: header + content
  int32_t contentBytes;
};

// The variant a shape type stands for, or null for a non-point type.
const PointVariant* PointVariant_ForType(int32_t shapeType);

ShpPointRecord* Point_Create();
int32_t Point_Destroy(ShpPointRecord* point);
// Reads record n of a point file of type `ownType` into the object.
int32_t Point_Read(ShpFile* shp, int32_t n, ShpPointRecord* point, int32_t ownType);
int32_t Point_Append(ShpFile* shp, ShpPointRecord* point);

}  // namespace ovrix
