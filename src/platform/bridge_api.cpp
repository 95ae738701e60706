// Exported entry points of the long-file-name helper bridge.
#include "ovrix32.h"
#include "platform/bridge.h"

extern "C" {
OVRIX32_API int32_t OVRIX32_CALL Velq_RenameFile(const char* first, const char* second) {
  return ovrix::Bridge_RenameFile(first, second);
}
OVRIX32_API int32_t OVRIX32_CALL Velq_TranslateFilename(const char* name, char* shortOut, char* longOut) {
  return ovrix::Bridge_TranslateFilename(name, shortOut, longOut);
}
}
