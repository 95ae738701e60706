#include "records/multipoint.h"

#include "shape/shpfile.h"

namespace ovrix {

int32_t MultiPoint_Append(ShpFile* shp, ShpMultiRecord* obj, const MultiVariant& variant, int32_t noMeasures) {
  if (obj->numCoords != 0) return MultiRecord_Append(shp, obj, variant, noMeasures);
  obj->bbox = kEmptyBox;
  if (variant.hasM) obj->mzBox = kEmptyBox;
  const Bbox fileBox = shp->bbox;
  const Bbox fileRanges = shp->mzBox;
  if (!MultiRecord_Append(shp, obj, variant, noMeasures)) return 0;
  shp->bbox = fileBox;
  shp->mzBox = fileRanges;
  return 1;
}

}  // namespace ovrix
