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
  return OVRIX_IS(o, kMultiPoint) ? MultiPoint_Append(shp, o, kMultiPoint, 1) : 0;
}

OVRIX_MULTIPOINT_EXPORTS(MultiPointM, ShpMultiPointM, ShpCoordM, kMultiPointM)
OVRIX_MULTI_MEASURE_RANGE(MultiPointM, ShpMultiPointM, kMultiPointM)
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointMAppend(ShpFile* shp, ShpMultiPointM* o, int32_t noMeasures) {
  return OVRIX_IS(o, kMultiPointM) ? MultiPoint_Append(shp, o, kMultiPointM, noMeasures) : 0;
}

OVRIX_MULTIPOINT_EXPORTS(MultiPointZ, ShpMultiPointZ, ShpCoordZ, kMultiPointZ)
OVRIX_MULTI_MEASURE_RANGE(MultiPointZ, ShpMultiPointZ, kMultiPointZ)
OVRIX_MULTI_Z_RANGE(MultiPointZ, ShpMultiPointZ, kMultiPointZ)
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointZAppend(ShpFile* shp, ShpMultiPointZ* o, int32_t noMeasures) {
  return OVRIX_IS(o, kMultiPointZ) ? MultiPoint_Append(shp, o, kMultiPointZ, noMeasures) : 0;
}
}
