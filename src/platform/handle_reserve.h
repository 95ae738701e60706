// The file-handle reserve: placeholder files held open so that the library
// can still open its own files after the host has used up the process's
// open-file limit. Every library file is opened and closed through here.
#pragma once

#include <cstdint>
#include <cstdio>

namespace ovrix {

// Placeholder files are named "~ZOR0001.TMP", "~ZOR0002.TMP", ... in the
// platform's temporary directory (platform::TempDirectory).
constexpr int kPlaceholderNameMax = 143;

int32_t HandleReserve_IsActive();
// 1 when one more placeholder was created (numbered one above the newest).
int32_t HandleReserve_AddOne();
// 1 when the newest placeholder was closed and its file deleted.
int32_t HandleReserve_ReleaseOne();
// Opens `name` with the C stream mode `mode`, first giving one placeholder
// back while the reserve is active. A failed open while active records the
// system's error number as the library's error value and restores the
// placeholder.
std::FILE* HandleReserve_OpenFile(const char* name, const char* mode);
// Closes the stream and, while the reserve is active, takes one placeholder
// again. 0 when closed, EOF when the close failed (then nothing is taken).
int32_t HandleReserve_CloseFile(std::FILE* stream);

// The exported operations, as C++ internals.
int32_t HandleReserve_Reserve(int32_t count);
int32_t HandleReserve_CountFree();
int32_t HandleReserve_FreeAll();
int32_t HandleReserve_NumReserved();

}  // namespace ovrix
