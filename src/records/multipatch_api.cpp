// Exported entry points of the MultiPatch family; each forwards to the
// shared record engine or to the family's own part rules.
#include "records/multi_api.h"
#include "records/multipatch.h"

using namespace ovrix;

extern "C" {
OVRIX32_API ShpMultiPatch* OVRIX32_CALL Shp_MultiPatchCreate(int32_t firstPartType) { return MultiPatch_Create(firstPartType); }
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchDestroy(ShpMultiPatch* o) {
  return OVRIX_IS(o, kMultiPatch) ? MultiRecord_Destroy(o) : 0;
}
OVRIX_MULTI_CORE(MultiPatch, ShpMultiPatch, ShpCoordZ, kMultiPatch)
OVRIX_MULTI_PARTS(MultiPatch, ShpMultiPatch, kMultiPatch)
OVRIX_MULTI_MEASURE_RANGE(MultiPatch, ShpMultiPatch, kMultiPatch)
OVRIX_MULTI_Z_RANGE(MultiPatch, ShpMultiPatch, kMultiPatch)
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchNewPart(ShpMultiPatch* o, int32_t partType) {
  return OVRIX_IS(o, kMultiPatch) ? MultiPatch_NewPart(o, partType) : 0;
}
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchSetFirstPartType(ShpMultiPatch* o, int32_t partType) {
  return OVRIX_IS(o, kMultiPatch) ? MultiPatch_SetFirstPartType(o, partType) : 0;
}
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchGetTypeInPart(ShpMultiPatch* o, int32_t partNumber) {
  return OVRIX_IS(o, kMultiPatch) ? MultiPatch_GetTypeInPart(o, partNumber) : 0;
}
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchAppend(ShpFile* shp, ShpMultiPatch* o, int32_t noMeasures) {
  return OVRIX_IS(o, kMultiPatch) ? MultiPatch_Append(shp, o, noMeasures) : 0;
}
}
