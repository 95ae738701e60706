// Exported entry points of the Polygon family. Polygon objects are Polyline
// objects: everything but NewPart and Append forwards exactly as the
// Polyline functions do; those two close rings.
#include "records/multi_api.h"
#include "records/polyline.h"

using namespace ovrix;

#define OVRIX_POLYGON_EXPORTS(V, OBJ, COORD, VARIANT) \
  OVRIX_MULTI_LIFETIME(V, OBJ, VARIANT)               \
  OVRIX_MULTI_CORE(V, OBJ, COORD, VARIANT)            \
  OVRIX_MULTI_PARTS(V, OBJ)                           \
  OVRIX32_API int32_t Shp_##V##NewPart(OBJ* o) { return Polygon_NewPart(o, VARIANT); }

extern "C" {
OVRIX_POLYGON_EXPORTS(Polygon, ShpPolygon, ShpCoord, kPolygon)
OVRIX32_API int32_t Shp_PolygonAppend(ShpFile* shp, ShpPolygon* o) { return Polygon_Append(shp, o, kPolygon, 1); }

OVRIX_POLYGON_EXPORTS(PolygonM, ShpPolygonM, ShpCoordM, kPolygonM)
OVRIX_MULTI_MEASURE_RANGE(PolygonM, ShpPolygonM)
OVRIX32_API int32_t Shp_PolygonMAppend(ShpFile* shp, ShpPolygonM* o, int32_t noMeasures) {
  return Polygon_Append(shp, o, kPolygonM, noMeasures);
}

OVRIX_POLYGON_EXPORTS(PolygonZ, ShpPolygonZ, ShpCoordZ, kPolygonZ)
OVRIX_MULTI_MEASURE_RANGE(PolygonZ, ShpPolygonZ)
OVRIX_MULTI_Z_RANGE(PolygonZ, ShpPolygonZ)
OVRIX32_API int32_t Shp_PolygonZAppend(ShpFile* shp, ShpPolygonZ* o, int32_t noMeasures) {
  return Polygon_Append(shp, o, kPolygonZ, noMeasures);
}
}
