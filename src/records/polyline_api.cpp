// Exported entry points of the Polyline family; each forwards to the shared
// record engine with the variant's description.
#include "records/multi_api.h"
#include "records/polyline.h"

using namespace ovrix;

#define OVRIX_LINE_EXPORTS(V, OBJ, COORD, VARIANT) \
  OVRIX_MULTI_LIFETIME(V, OBJ, VARIANT)            \
  OVRIX_MULTI_CORE(V, OBJ, COORD, VARIANT)         \
  OVRIX_MULTI_PARTS(V, OBJ)                        \
  OVRIX32_API int32_t Shp_##V##NewPart(OBJ* o) { return MultiRecord_NewPart(o); }

extern "C" {
OVRIX_LINE_EXPORTS(Line, ShpLine, ShpCoord, kLine)
OVRIX32_API int32_t Shp_LineAppend(ShpFile* shp, ShpLine* o) { return Line_Append(shp, o, kLine, 1); }

OVRIX_LINE_EXPORTS(LineM, ShpLineM, ShpCoordM, kLineM)
OVRIX_MULTI_MEASURE_RANGE(LineM, ShpLineM)
OVRIX32_API int32_t Shp_LineMAppend(ShpFile* shp, ShpLineM* o, int32_t noMeasures) {
  return Line_Append(shp, o, kLineM, noMeasures);
}

OVRIX_LINE_EXPORTS(LineZ, ShpLineZ, ShpCoordZ, kLineZ)
OVRIX_MULTI_MEASURE_RANGE(LineZ, ShpLineZ)
OVRIX_MULTI_Z_RANGE(LineZ, ShpLineZ)
OVRIX32_API int32_t Shp_LineZAppend(ShpFile* shp, ShpLineZ* o, int32_t noMeasures) {
  return Line_Append(shp, o, kLineZ, noMeasures);
}
}
