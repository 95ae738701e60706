// Exported entry points of the Polyline family; each forwards to the shared
// record engine with the variant's description.
#include "records/multi_api.h"
#include "records/polyline.h"

using namespace ovrix;

extern "C" {
OVRIX_MULTI_PARTED_FAMILY(Line, Line_NewPart, Line_Append, kLine, kLineM, kLineZ)
}
