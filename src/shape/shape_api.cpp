// Exported entry points of the shape-file handle; each forwards to the
// internals in shpfile.cpp and shape_write.cpp.
#include <cstring>

#include "ovrix32.h"
#include "platform/error.h"
#include "shape/shpfile.h"

using namespace ovrix;

namespace {
int32_t TypeIs(const ShpFile* shp, int32_t code) { return shp->shapeType == code ? 1 : 0; }
}  // namespace

extern "C" {

OVRIX32_API ShpFile* OVRIX32_CALL Shp_Create(void) { return ShpFile_Create(); }
OVRIX32_API int32_t OVRIX32_CALL Shp_Destroy(ShpFile* shp) { return ShpFile_Destroy(shp); }
OVRIX32_API int32_t OVRIX32_CALL Shp_Open(ShpFile* shp, char* baseName, int32_t mode) { return ShpFile_Open(shp, baseName, mode); }
OVRIX32_API int32_t OVRIX32_CALL Shp_Close(ShpFile* shp) { return ShpFile_Close(shp); }
OVRIX32_API int32_t OVRIX32_CALL Shp_New(ShpFile* shp, char* baseName, int32_t shapeType) {
  return ShpFile_New(shp, baseName, shapeType);
}
OVRIX32_API int32_t OVRIX32_CALL Shp_GetType(ShpFile* shp) { return shp->shapeType; }

OVRIX32_API int32_t OVRIX32_CALL Shp_GetTypeAsString(ShpFile* shp, char* buf) {
  if (shp == nullptr) return 0;
  // The name is chosen by the low 16 bits of the type, taken as signed.
  const char* name = ShpType_Name(static_cast<int16_t>(shp->shapeType & 0xffff));
  std::size_t len = std::strlen(name);
  std::memcpy(buf, name, len + 1);
  return static_cast<int32_t>(len);
}

OVRIX32_API int32_t OVRIX32_CALL Shp_GetVersion(ShpFile* shp) { return shp->version; }

OVRIX32_API int32_t OVRIX32_CALL Shp_GetFileName(ShpFile* shp, char* buf) {
  if (shp == nullptr) return 0;
  std::memcpy(buf, shp->name, std::strlen(shp->name) + 1);
  return 1;
}

OVRIX32_API int32_t OVRIX32_CALL Shp_GetBoundingBox(ShpFile* shp, Bbox* box) {
  *box = shp->bbox;
  return 1;
}

OVRIX32_API int32_t OVRIX32_CALL Shp_GetMeasureRange(ShpFile* shp, double* min, double* max) {
  if (shp == nullptr || min == nullptr || max == nullptr) return 0;
  *min = shp->mzBox.xmin;
  *max = shp->mzBox.xmax;
  return 1;
}

OVRIX32_API int32_t OVRIX32_CALL Shp_GetZCoordRange(ShpFile* shp, double* min, double* max) {
  if (shp == nullptr || min == nullptr || max == nullptr) return 0;
  *min = shp->mzBox.ymin;
  *max = shp->mzBox.ymax;
  return 1;
}

OVRIX32_API int32_t OVRIX32_CALL Shp_GetNumShapes(ShpFile* shp) { return shp->recordCount; }
OVRIX32_API int32_t OVRIX32_CALL Shp_IsShapeFile(const char* fileName) {
  return fileName != nullptr ? ShpFile_IsShapeFile(fileName) : 0;
}
OVRIX32_API int32_t OVRIX32_CALL Shp_GetError(void) { return Shp_ErrorValue(); }
OVRIX32_API int32_t OVRIX32_CALL Shp_ApiGetVersion(void) { return 100; }

OVRIX32_API int32_t OVRIX32_CALL Shp_IsPointType(ShpFile* shp) { return TypeIs(shp, SHP_POINT); }
OVRIX32_API int32_t OVRIX32_CALL Shp_IsLineType(ShpFile* shp) { return TypeIs(shp, SHP_POLYLINE); }
OVRIX32_API int32_t OVRIX32_CALL Shp_IsPolyType(ShpFile* shp) { return TypeIs(shp, SHP_POLYGON); }
OVRIX32_API int32_t OVRIX32_CALL Shp_IsMultiPointType(ShpFile* shp) { return TypeIs(shp, SHP_MULTIPOINT); }
OVRIX32_API int32_t OVRIX32_CALL Shp_IsPointZType(ShpFile* shp) { return TypeIs(shp, SHP_POINTZ); }
OVRIX32_API int32_t OVRIX32_CALL Shp_IsLineZType(ShpFile* shp) { return TypeIs(shp, SHP_POLYLINEZ); }
OVRIX32_API int32_t OVRIX32_CALL Shp_IsPolyZType(ShpFile* shp) { return TypeIs(shp, SHP_POLYGONZ); }
OVRIX32_API int32_t OVRIX32_CALL Shp_IsMultiPointZType(ShpFile* shp) { return TypeIs(shp, SHP_MULTIPOINTZ); }
OVRIX32_API int32_t OVRIX32_CALL Shp_IsPointMType(ShpFile* shp) { return TypeIs(shp, SHP_POINTM); }
OVRIX32_API int32_t OVRIX32_CALL Shp_IsLineMType(ShpFile* shp) { return TypeIs(shp, SHP_POLYLINEM); }
OVRIX32_API int32_t OVRIX32_CALL Shp_IsPolyMType(ShpFile* shp) { return TypeIs(shp, SHP_POLYGONM); }
OVRIX32_API int32_t OVRIX32_CALL Shp_IsMultiPointMType(ShpFile* shp) { return TypeIs(shp, SHP_MULTIPOINTM); }
OVRIX32_API int32_t OVRIX32_CALL Shp_IsMultiPatchType(ShpFile* shp) { return TypeIs(shp, SHP_MULTIPATCH); }

}  // extern "C"
