// Exported entry points of the Polygon family. Polygon objects are Polyline
// objects: everything but NewPart and Append forwards exactly as the
// Polyline functions do; those two close rings.
#include "records/multi_api.h"
#include "records/polyline.h"

using namespace ovrix;

extern "C" {
OVRIX_MULTI_PARTED_FAMILY(Polygon, Polygon_NewPart, Polygon_Append, kPolygon, kPolygonM, kPolygonZ)
}
