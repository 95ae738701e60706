#include "platform/bridge.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace ovrix {
namespace {

char g_buffer[kBridgeBufferSize];

// Whether a command line that snprintf reported as `length` characters fit
// the buffer; when it did not, the cut-off text is cleared.
bool CommandFits(int length) {
  if (length >= 0 && length < kBridgeBufferSize) return true;
  g_buffer[0] = '\0';
  return false;
}

}  // namespace

int32_t Bridge_RenameFile(const char* first, const char* second) {
  g_buffer[0] = '\0';
  if (!CommandFits(std::snprintf(g_buffer, sizeof g_buffer, "velqlfn ren%s*%s", first, second)))
    return kBridgeCommandTooLong;
  return platform::StartProgram(g_buffer);
}

// The outputs are first written once the name has been used, so a caller may
// pass the same buffer for the name and an output.
int32_t Bridge_TranslateFilename(const char* name, char* shortOut, char* longOut) {
  auto noAnswer = [&] {
    shortOut[0] = '\0';
    longOut[0] = '\0';
    return 0;
  };
  g_buffer[0] = '\0';
  if (!CommandFits(std::snprintf(g_buffer, sizeof g_buffer, "velqlfn trn%s", name))) return noAnswer();
  // Whether the helper started does not matter: an answer that is already
  // there, from this start or an earlier one, is taken.
  platform::StartProgram(g_buffer);
  bool found = false;
  for (int lookup = 0; lookup < kHelperWindowLookups && !found; ++lookup) {
    if (lookup > 0) platform::PauseBetweenWindowLookups();
    found = platform::ReadWindowTitle(kHelperWindowClass, g_buffer, kBridgeAnswerMax + 1);
  }
  char* star = found ? std::strchr(g_buffer, '*') : nullptr;
  if (star == nullptr) return noAnswer();
  *star = '\0';
  std::strcpy(shortOut, g_buffer);
  std::strcpy(longOut, star + 1);
  platform::ShowMessageBox("short", shortOut);
  platform::ShowMessageBox("long", longOut);
  return 1;
}

}  // namespace ovrix
