#include "platform/error.h"

namespace ovrix {
namespace {
int32_t g_error = 0;
}

const char* const kErrorMessages[3] = {"Out of memory", "Got NULL ptr", "Invalid shape type"};

int32_t Shp_SetError(int32_t code) {
  g_error = code;
  return 1;
}

int32_t Shp_ErrorValue() { return g_error; }

}  // namespace ovrix
