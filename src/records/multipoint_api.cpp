// Exported entry points of the MultiPoint family; each forwards to the shared
// record engine with the variant's description.
#include "records/multi_api.h"
#include "records/multipoint.h"

using namespace ovrix;

#define OVRIX_MULTIPOINT_EXPORTS(V, OBJ, COORD, VARIANT) \
  OVRIX_MULTI_LIFETIME(V, OBJ, VARIANT)                  \
  OVRIX_MULTI_CORE(V, OBJ, COORD, VARIANT)

extern "C" {
OVRIX_MULTIPOINT_EXPORTS(MultiPoint, ShpMultiPoint, ShpCoord, kMultiPoint)
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointAppend(ShpFile* shp, ShpMultiPoint* o) {
  return MultiPoint_Append(shp, o, kMultiPoint, 1);
}

OVRIX_MULTIPOINT_EXPORTS(MultiPointM, ShpMultiPointM, ShpCoordM, kMultiPointM)
OVRIX_MULTI_MEASURE_RANGE(MultiPointM, ShpMultiPointM)
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointMAppend(ShpFile* shp, ShpMultiPointM* o, int32_t noMeasures) {
  return MultiPoint_Append(shp, o, kMultiPointM, noMeasures);
}

OVRIX_MULTIPOINT_EXPORTS(MultiPointZ, ShpMultiPointZ, ShpCoordZ, kMultiPointZ)
OVRIX_MULTI_MEASURE_RANGE(MultiPointZ, ShpMultiPointZ)
OVRIX_MULTI_Z_RANGE(MultiPointZ, ShpMultiPointZ)
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointZAppend(ShpFile* shp, ShpMultiPointZ* o, int32_t noMeasures) {
  return MultiPoint_Append(shp, o, kMultiPointZ, noMeasures);
}
}
