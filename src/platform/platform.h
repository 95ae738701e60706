// The operating-system services the library stands on. Everything that
// differs between platforms (memory, opening files, where placeholder files
// live, starting the helper program) is reached through this header, so that
// porting the library means writing one new source file beside
// platform_posix.cpp.
#pragma once

#include <cstddef>
#include <cstdio>

namespace ovrix::platform {

// Zero-filled blocks with a fixed address. The "global" and "heap" pools are
// kept apart so that each block goes back to the allocator it came from.
void* GlobalAlloc(std::size_t size);
void GlobalFree(void* block);
void* HeapAlloc(std::size_t size);
void HeapFree(void* block);

// Opens a buffered stream with a C stream mode ("rb", "wb", "rb+", ...). The
// underlying descriptor is never inherited by child processes.
std::FILE* OpenStream(const char* name, const char* mode);
// 0 when closed, EOF when the close failed.
int CloseStream(std::FILE* stream);
// 0 when the file was removed.
int RemoveFile(const char* name);

// The directory that stands for the temporary directory of the original
// platform: $TMPDIR when set and non-empty, else /tmp. Always ends in '/'.
// The text stays valid until the next call.
const char* TempDirectory();

}  // namespace ovrix::platform
