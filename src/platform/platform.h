// The operating-system services the library stands on. Everything that
// differs between platforms (memory, opening files, where placeholder files
// live, starting the helper program) is reached through this header, so that
// porting the library means writing one new source file beside
// platform_posix.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ovrix::platform {

// Zero-filled blocks with a fixed address. The "global" and "heap" pools are
// kept apart so that each block goes back to the allocator it came from.
void* GlobalAlloc(std::size_t size);
void GlobalFree(void* block);
void* HeapAlloc(std::size_t size);
void HeapFree(void* block);

// Raw files, for the file layer (file.h) and the handle reserve; nothing
// else opens files. Handles are never inherited by started programs.
constexpr intptr_t kNoFile = -1;
// Opens `name` in a FileMode; kNoFile on failure, LastError() says why.
intptr_t OsOpen(const char* name, int32_t mode);
bool OsClose(intptr_t file);
// Positional transfers that leave no position behind: the number of bytes
// moved (0 at the end of the file), or -1 on failure.
int64_t OsReadAt(intptr_t file, void* buf, int64_t n, int64_t offset);
int64_t OsWriteAt(intptr_t file, const void* buf, int64_t n, int64_t offset);
// The size in bytes, or -1.
int64_t OsSize(intptr_t file);
// Two numbers that together name the file itself, whatever path opened it.
bool OsIdentity(intptr_t file, uint64_t id[2]);
// 0 when the file was removed.
int OsRemove(const char* name);
// The system's error number of the last failed call, and setting it.
int LastError();
void SetLastError(int error);
// The last failed open was refused because the file may not be written (a
// read-only file or file system), not for another reason.
bool LastErrorDeniesWriting();

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
