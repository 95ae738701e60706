#include "records/polyline.h"

namespace ovrix {

int32_t Line_NewPart(ShpMultiRecord* obj, const MultiVariant&) { return MultiRecord_NewPart(obj); }

int32_t Line_Append(ShpFile* shp, ShpMultiRecord* obj, const MultiVariant& variant, int32_t noMeasures) {
  MultiRecord_DropEmptyPart(obj);
  return MultiRecord_Append(shp, obj, variant, noMeasures);
}

int32_t Polygon_NewPart(ShpMultiRecord* obj, const MultiVariant& variant) {
  return MultiRecord_CloseRing(obj, variant) && MultiRecord_StartPart(obj) ? 1 : 0;
}

int32_t Polygon_Append(ShpFile* shp, ShpMultiRecord* obj, const MultiVariant& variant, int32_t noMeasures) {
  if (!MultiRecord_CloseRing(obj, variant)) return 0;
  return MultiRecord_Append(shp, obj, variant, noMeasures);
}

}  // namespace ovrix
