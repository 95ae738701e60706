// Exported entry points of the file-handle reserve.
#include "ovrix32.h"
#include "platform/handle_reserve.h"

extern "C" {
OVRIX32_API int32_t OVRIX32_CALL Shp_ReserveFileHandles(int32_t count) { return ovrix::HandleReserve_Reserve(count); }
OVRIX32_API int32_t OVRIX32_CALL Shp_GetNumFreeFileHandles(void) { return ovrix::HandleReserve_CountFree(); }
OVRIX32_API int32_t OVRIX32_CALL Shp_FreeFileHandles(void) { return ovrix::HandleReserve_FreeAll(); }
OVRIX32_API int32_t OVRIX32_CALL Shp_GetNumReservedFileHandles(void) { return ovrix::HandleReserve_NumReserved(); }
}
