// The Point family: Point, PointM and PointZ share one object layout, one
// reader and one appender; the shape-type table gives each type's record size.
#pragma once

#include <cstdint>

#include "ovrix32.h"

// The object behind ShpPoint, ShpPointM and ShpPointZ. In memory m comes
// before z, as in ShpCoordZ; the file stores z before m.
struct ShpPointRecord {
  int32_t kind;  // ObjectKind of the variant that made it (object_kind.h)
  int32_t id;
  double x;
  double y;
  double m;
  double z;
};

namespace ovrix {

ShpPointRecord* Point_Create(int32_t shapeType);
int32_t Point_Destroy(ShpPointRecord* point);
// Reads record n of a point file of type `ownType` into the object.
int32_t Point_Read(ShpFile* shp, int32_t n, ShpPointRecord* point, int32_t ownType);
int32_t Point_Append(ShpFile* shp, ShpPointRecord* point);

}  // namespace ovrix
