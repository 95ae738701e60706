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

// Today's date by the local clock: day of month (1-31), month (1-12) and the
// year minus 1900.
void LocalDate(int* day, int* month, int* yearSince1900);

// Starting a program. `commandLine`'s first word (up to the first blank)
// names the program, looked up on PATH unless it contains a '/'; the rest of
// the line after that blank is passed as its one argument, unchanged and
// without a shell. The call does not wait for the program, leaves no child
// process behind and hands the program none of the caller's open files
// beyond standard input, output and error. Result, as on the original
// platform: kStartStarted (above 31) when the program started, otherwise one
// of the codes below (all 31 or less).
constexpr int kStartOutOfResources = 0;  // no memory, no process, no pipe
constexpr int kStartFileNotFound = 2;    // not found on PATH, or no program name
constexpr int kStartAccessDenied = 5;    // found, but may not be executed
constexpr int kStartBadFormat = 11;      // found, but the system cannot run it
constexpr int kStartStarted = 33;
int StartProgram(const char* commandLine);

// The helper program's answer window. Looks once for a window of class
// `windowClass`; when there is one, copies its title (at most size - 1
// characters and a NUL) into `title` and returns true. `size` is at least 1.
bool ReadWindowTitle(const char* windowClass, char* title, int size);
// The pause between two look-ups for a window that a just-started program
// opens. Zero where starting a program waits until it is ready for input.
void PauseBetweenWindowLookups();

// Shows `text` in a message box titled `title`, with an OK button and no
// owner window.
void ShowMessageBox(const char* title, const char* text);

}  // namespace ovrix::platform
