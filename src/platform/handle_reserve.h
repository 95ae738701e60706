// The file-handle reserve: placeholder files held open so that the library
// can still open its own files after the host has used up the process's
// open-file limit. Every library file is opened and closed through here.
#pragma once

#include <cstdint>

#include "platform/file.h"

namespace ovrix {

// Placeholder files are named "~ZOR0001.TMP", "~ZOR0002.TMP", ... in the
// platform's temporary directory (platform::TempDirectory).
constexpr int kPlaceholderNameMax = 143;

int32_t HandleReserve_IsActive();
// 1 when one more placeholder was created (numbered one above the newest).
int32_t HandleReserve_AddOne();
// 1 when the newest placeholder was closed and its file deleted.
int32_t HandleReserve_ReleaseOne();
// Opens `name` through the file layer, first giving one placeholder back
// while the reserve is active. A failed open while active records the
// system's error number as the library's error value and restores the
// placeholder.
platform::File* HandleReserve_OpenFile(const char* name, platform::FileMode mode);
// Closes the file and, while the reserve is active, takes one placeholder
// again. 1 when closed, 0 when the close failed (then nothing is taken; the
// File is released either way).
int32_t HandleReserve_CloseFile(platform::File* file);

// The exported operations, as C++ internals.
int32_t HandleReserve_Reserve(int32_t count);
int32_t HandleReserve_CountFree();
int32_t HandleReserve_FreeAll();
int32_t HandleReserve_NumReserved();

}  // namespace ovrix
