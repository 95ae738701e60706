// The library's one file layer. Every file the library reads or writes is
// reached through a File: opening, reading, writing, positioning, flushing,
// the size, closing and removing. Offsets are 64-bit everywhere.
//
// Buffering is the layer's own. A File keeps one window of the file in
// memory and its position as a number: reading or writing inside the window
// and any seek cost no system call; the system is asked only to fill or to
// write out a window (positional reads and writes, no seek calls), so
// sequential work makes one system call per window.
//
// Freshness: handles open on the same file in this process share a change
// counter. Whenever one of them writes bytes out to the file, the others
// drop their windows before their next read, so every handle reads what the
// last flushed write left. Bytes still in a handle's window are its own
// until it flushes them (Flush, a window change, or Close).
//
// Failures: after a write (or flush) fails, the File writes nothing more
// and drops what it still held: what reached the file stays, nothing after
// it is added. A failed seek counts as such a failure (what was to be
// written there is lost), and leaves the position unknown: reads are refused
// until a seek succeeds. Close always releases the File.
//
// Test seam: File_InjectFailure makes the n-th call of the layer fail, as a
// failing system would: an open that fails, a short read, a short write, a
// failed seek, flush, size query or close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/copy.h"

namespace ovrix::platform {

enum FileMode : int32_t {
  kFileRead = 1,    // an existing file, read only
  kFileUpdate = 2,  // an existing file, read and write
  kFileCreate = 3,  // created or emptied, write only
};

struct FileShared;

struct File {
  intptr_t os;           // the system's handle
  int64_t pos;           // where the next transfer starts
  char* buf;             // the window: file bytes [winOff, winOff + winLen)
  int64_t winOff;
  int64_t winLen;
  int64_t cap;           // capacity of buf
  int64_t dirtyLo;       // bytes [dirtyLo, dirtyHi) of the window are still to be
  int64_t dirtyHi;       // written out; dirtyLo == dirtyHi when none are
  FileShared* shared;    // what handles on the same file share
  uint64_t seen;         // the shared change count the window reflects
  int32_t mode;
  bool writable;         // not read only, and no write has failed
};

struct FileShared {
  uint64_t id[2];        // the file's identity (device and file number)
  uint64_t changes;      // bumped whenever any handle writes bytes out
  int32_t users;
  FileShared* next;
};

// A File for `name`, or null when the file cannot be opened (or memory for
// the File runs out). The window is 128 KiB; without memory for it the File
// works through a small built-in one.
File* File_Open(const char* name, FileMode mode);
// Writes out what is pending, closes and frees the File. False when pending
// bytes could not be written or the system reported a failed close; the File
// is gone either way. A null File gives false.
bool File_Close(File* f);
// Writes out the pending bytes. False when they could not be written (or
// an earlier write had failed).
bool File_Flush(File* f);
// Sets the position; false (the position unknown, and the File failed for
// writing) for a negative offset. Costs no system call.
bool File_SeekSlow(File* f, int64_t offset);
// The position; -1 while it is unknown.
inline int64_t File_Tell(const File* f) { return f->pos; }
// The file's size in bytes, pending bytes included; -1 on failure.
int64_t File_Size(File* f);

// Slow paths of the inline transfers below.
std::size_t File_ReadSlow(File* f, void* dst, std::size_t n);
bool File_WriteSlow(File* f, const void* src, std::size_t n);

namespace detail {
extern bool g_injecting;
}  // namespace detail

// The window's copy of the next n bytes, the position moved past them; null
// when the window does not hold them all (then File_Read fetches them).
inline const char* File_ReadInPlace(File* f, std::size_t n) {
  const int64_t at = f->pos - f->winOff;
  if (detail::g_injecting || at < 0 || static_cast<int64_t>(n) > f->winLen - at || f->seen != f->shared->changes)
    return nullptr;
  f->pos += static_cast<int64_t>(n);
  return f->buf + at;
}

// Room in the window for the next n bytes to write, taken as written and the
// position moved past them: the caller stores all n bytes there before the
// next call. Null when they do not fit the window as it stands (then
// File_Write takes them).
inline char* File_WriteInPlace(File* f, std::size_t n) {
  const int64_t at = f->pos - f->winOff;
  const int64_t end = f->pos + static_cast<int64_t>(n);
  // Inside or right behind the window, within capacity, and touching the
  // pending range when there is one.
  const bool pending = f->dirtyLo != f->dirtyHi;
  if (detail::g_injecting || !f->writable || at < 0 || at > f->winLen || end - f->winOff > f->cap ||
      (pending && (f->pos > f->dirtyHi || end < f->dirtyLo)))
    return nullptr;
  f->dirtyLo = pending && f->dirtyLo < f->pos ? f->dirtyLo : f->pos;
  f->dirtyHi = pending && f->dirtyHi > end ? f->dirtyHi : end;
  if (end - f->winOff > f->winLen) f->winLen = end - f->winOff;
  f->pos = end;
  return f->buf + at;
}

inline bool File_Seek(File* f, int64_t offset) {
  if (detail::g_injecting || offset < 0) return File_SeekSlow(f, offset);
  f->pos = offset;
  return true;
}

// The next n bytes to decode, the position moved past them: in the window
// when it holds them, else read into `local` (room for n bytes). Null when
// the file does not deliver all n.
inline const char* File_ReadView(File* f, std::size_t n, char* local) {
  if (const char* at = File_ReadInPlace(f, n)) return at;
  return File_ReadSlow(f, local, n) == n ? local : nullptr;
}

// Room for the next n bytes to write: in the window when it has room, else
// `local`. Once the caller has stored them, File_WriteRoomDone sends a local
// copy on; true when all n were taken.
inline char* File_WriteRoom(File* f, std::size_t n, char* local) {
  char* at = File_WriteInPlace(f, n);
  return at != nullptr ? at : local;
}
inline bool File_WriteRoomDone(File* f, const char* room, const char* local, std::size_t n) {
  return room != local || File_WriteSlow(f, local, n);
}

// Reads up to n bytes at the position and moves it past them; returns the
// number of bytes delivered (fewer at the end of the file or on failure).
// While the position is unknown (-1) nothing is read.
inline std::size_t File_Read(File* f, void* dst, std::size_t n) {
  if (const char* from = File_ReadInPlace(f, n)) {
    CopyBytes(dst, from, n);
    return n;
  }
  return File_ReadSlow(f, dst, n);
}

// Writes n bytes at the position and moves it past them; true when all n
// were taken. They reach the file when the window is written out.
inline bool File_Write(File* f, const void* src, std::size_t n) {
  if (char* to = File_WriteInPlace(f, n)) {
    CopyBytes(to, src, n);
    return true;
  }
  return File_WriteSlow(f, src, n);
}

// --- test seams -----------------------------------------------------------
// After File_InjectFailure(n), the n-th call of the layer from now on
// (open, read, write, seek, flush, size, close; 1 = the next one) fails; with
// `andLater` every call after it fails too. n = 0 switches injection off.
void File_InjectFailure(int64_t nth, bool andLater = false);
// Calls of the layer since the last File_InjectFailure, counted only while
// injection is on (a large n counts without failing).
int64_t File_Calls();
// System calls the layer has made since the program started.
int64_t File_SystemCalls();
// Files open through the layer.
int32_t File_OpenCount();

}  // namespace ovrix::platform
