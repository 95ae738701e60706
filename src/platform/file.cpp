// The file layer: windows, positions, sharing between handles, failures and
// the test seam. The system is reached only through the raw calls of
// platform.h, each counted.
#include "platform/file.h"

#include <algorithm>

#include "platform/mem.h"
#include "platform/platform.h"

namespace ovrix {
// Out of line, so that callers' small fixed buffers never meet a memcpy of
// this size in the compiler's view.
void CopyBytesLarge(void* to, const void* from, std::size_t n) { std::memcpy(to, from, n); }
void FillBytesLarge(void* to, char c, std::size_t n) { std::memset(to, c, n); }
}  // namespace ovrix

namespace ovrix::platform {
namespace detail {
bool g_injecting = false;
}  // namespace detail
namespace {

constexpr int64_t kWindow = 128 * 1024;
constexpr int64_t kSmallWindow = 512;
// A read that does not continue the window fills only this much (or what
// it needs), so reading scattered records does not pull in 128 KiB each.
constexpr int64_t kScatteredFill = 4096;
// Reported for an injected failure that the caller may pass on as the
// system's error number.
constexpr int kInjectedError = 5;

struct Block {
  File file;
  char small[kSmallWindow];
};

int64_t g_calls = 0;
int64_t g_failAt = 0;
bool g_failLater = false;
int64_t g_systemCalls = 0;
int32_t g_openFiles = 0;
FileShared* g_shared = nullptr;

// Counts a call of the layer; true when it is the one to fail.
bool Fails() {
  if (!detail::g_injecting) return false;
  ++g_calls;
  return g_calls == g_failAt || (g_failLater && g_calls > g_failAt);
}

bool Pending(const File* f) { return f->dirtyLo != f->dirtyHi; }

void DropWindow(File* f) {
  f->winOff = 0;
  f->winLen = 0;
  f->dirtyLo = f->dirtyHi = 0;
  f->seen = f->shared->changes;
}

// A failed write: the pending bytes and the window go, nothing more is
// written. Bytes may have reached the file, so other handles reread.
void Fail(File* f) {
  f->writable = false;
  DropWindow(f);
  ++f->shared->changes;
  f->seen = f->shared->changes;
}

// Writes the pending range out.
bool WriteOut(File* f) {
  if (!Pending(f)) return f->writable || f->mode == kFileRead;
  const bool fresh = f->seen == f->shared->changes;
  int64_t off = f->dirtyLo;
  while (off < f->dirtyHi) {
    ++g_systemCalls;
    const int64_t done = OsWriteAt(f->os, f->buf + (off - f->winOff), f->dirtyHi - off, off);
    if (done <= 0) {
      Fail(f);
      return false;
    }
    off += done;
  }
  f->dirtyLo = f->dirtyHi = 0;
  // The window stays as a copy of the file, unless another handle changed
  // the file since it was filled.
  if (!fresh) DropWindow(f);
  f->seen = ++f->shared->changes;
  return true;
}

// The shared part for the file behind `os`: an existing one, or `spare`
// (which the caller allocated beforehand, so that nothing can fail once the
// file is open). Returns whether the spare was taken.
bool Share(File* f, FileShared* spare) {
  uint64_t id[2] = {0, 0};
  ++g_systemCalls;
  OsIdentity(f->os, id);
  for (FileShared* s = g_shared; s != nullptr; s = s->next)
    if (s->id[0] == id[0] && s->id[1] == id[1]) {
      ++s->users;
      f->shared = s;
      return false;
    }
  *spare = {{id[0], id[1]}, 0, 1, g_shared};
  g_shared = f->shared = spare;
  return true;
}

void Unshare(FileShared* s) {
  if (--s->users > 0) return;
  for (FileShared** at = &g_shared; *at != nullptr; at = &(*at)->next)
    if (*at == s) {
      *at = s->next;
      break;
    }
  Mem_Free(s, MEM_HEAP);
}

}  // namespace

File* File_Open(const char* name, FileMode mode) {
  if (Fails()) {
    SetLastError(kInjectedError);
    return nullptr;
  }
  // Memory first: a file that is opened (and perhaps created or emptied)
  // is never given up for want of memory.
  auto* block = static_cast<Block*>(Mem_Alloc(sizeof(Block), MEM_HEAP));
  auto* spare = static_cast<FileShared*>(Mem_Alloc(sizeof(FileShared), MEM_HEAP));
  File* f = block != nullptr ? &block->file : nullptr;
  if (f != nullptr && spare != nullptr) {
    ++g_systemCalls;
    f->os = OsOpen(name, mode);
  }
  if (f == nullptr || spare == nullptr || f->os == kNoFile) {
    const int error = LastError();
    Mem_Free(spare, MEM_HEAP);
    Mem_Free(block, MEM_HEAP);
    SetLastError(error);
    return nullptr;
  }
  if (!Share(f, spare)) Mem_Free(spare, MEM_HEAP);
  f->mode = mode;
  f->writable = mode != kFileRead;
  f->buf = static_cast<char*>(Mem_Alloc(kWindow, MEM_HEAP));
  f->cap = f->buf != nullptr ? kWindow : kSmallWindow;
  if (f->buf == nullptr) f->buf = block->small;
  DropWindow(f);
  ++g_openFiles;
  return f;
}

bool File_Close(File* f) {
  if (f == nullptr) return false;
  // An injected failure stands for a close that loses the pending bytes.
  bool ok = !Fails() && WriteOut(f);
  ++g_systemCalls;
  ok = OsClose(f->os) && ok;
  Unshare(f->shared);
  auto* block = reinterpret_cast<Block*>(f);
  if (f->buf != block->small) Mem_Free(f->buf, MEM_HEAP);
  Mem_Free(block, MEM_HEAP);
  --g_openFiles;
  return ok;
}

bool File_Flush(File* f) {
  if (Fails()) {
    Fail(f);
    return false;
  }
  return WriteOut(f);
}

bool File_SeekSlow(File* f, int64_t offset) {
  if (Fails() || offset < 0) {
    // Whatever the caller meant to write at the new place is lost as a
    // failed write would lose it.
    if (f->writable) Fail(f);
    f->pos = -1;
    return false;
  }
  f->pos = offset;
  return true;
}

int64_t File_Size(File* f) {
  if (Fails()) return -1;
  ++g_systemCalls;
  const int64_t size = OsSize(f->os);
  if (size < 0) return -1;
  return Pending(f) ? std::max(size, f->dirtyHi) : size;
}

std::size_t File_ReadSlow(File* f, void* dst, std::size_t n) {
  // An injected failure delivers half of what was asked.
  const int64_t want = Fails() ? static_cast<int64_t>(n / 2) : static_cast<int64_t>(n);
  if (f->pos < 0) return 0;
  if (f->seen != f->shared->changes) {
    // Another handle wrote to the file: the window may be stale. Own
    // pending bytes go out first; they are newer.
    if (Pending(f)) WriteOut(f);
    DropWindow(f);
  }
  char* out = static_cast<char*>(dst);
  int64_t done = 0;
  while (done < want) {
    const int64_t at = f->pos - f->winOff;
    if (at >= 0 && at < f->winLen) {
      const int64_t take = std::min(f->winLen - at, want - done);
      std::memcpy(out + done, f->buf + at, static_cast<std::size_t>(take));
      done += take;
      f->pos += take;
      continue;
    }
    if (Pending(f) && !WriteOut(f)) break;
    const int64_t left = want - done;
    if (left >= f->cap) {  // a large read goes straight to the caller
      ++g_systemCalls;
      const int64_t got = OsReadAt(f->os, out + done, left, f->pos);
      if (got <= 0) break;
      done += got;
      f->pos += got;
      continue;
    }
    const bool sequential = f->winLen > 0 && f->pos == f->winOff + f->winLen;
    const int64_t fill = sequential ? f->cap : std::min(f->cap, std::max(left, kScatteredFill));
    f->winOff = f->pos;
    f->winLen = 0;
    f->seen = f->shared->changes;
    ++g_systemCalls;
    const int64_t got = OsReadAt(f->os, f->buf, fill, f->pos);
    if (got <= 0) break;
    f->winLen = got;
  }
  return static_cast<std::size_t>(done);
}

bool File_WriteSlow(File* f, const void* src, std::size_t n) {
  if (Fails()) {
    Fail(f);
    return false;
  }
  if (!f->writable || f->pos < 0) return false;
  const char* in = static_cast<const char*>(src);
  int64_t done = 0;
  const auto total = static_cast<int64_t>(n);
  while (done < total) {
    const int64_t at = f->pos - f->winOff;
    const bool joins = at >= 0 && at <= f->winLen && at < f->cap &&
                       (!Pending(f) || (f->pos >= f->dirtyLo && f->pos <= f->dirtyHi));
    if (!joins) {
      if (!WriteOut(f)) return false;
      if (total - done >= f->cap) {  // a large write goes straight to the file
        DropWindow(f);
        while (done < total) {
          ++g_systemCalls;
          const int64_t put = OsWriteAt(f->os, in + done, total - done, f->pos);
          if (put <= 0) {
            Fail(f);
            return false;
          }
          done += put;
          f->pos += put;
        }
        f->seen = ++f->shared->changes;
        return true;
      }
      f->winOff = f->pos;
      f->winLen = 0;
      continue;
    }
    const int64_t take = std::min(total - done, f->cap - at);
    std::memcpy(f->buf + at, in + done, static_cast<std::size_t>(take));
    if (!Pending(f)) f->dirtyLo = f->dirtyHi = f->pos;
    f->dirtyLo = std::min(f->dirtyLo, f->pos);
    f->pos += take;
    f->dirtyHi = std::max(f->dirtyHi, f->pos);
    f->winLen = std::max(f->winLen, f->pos - f->winOff);
    done += take;
  }
  return true;
}

void File_InjectFailure(int64_t nth, bool andLater) {
  detail::g_injecting = nth > 0;
  g_failAt = nth;
  g_failLater = andLater;
  g_calls = 0;
}

int64_t File_Calls() { return g_calls; }
int64_t File_SystemCalls() { return g_systemCalls; }
int32_t File_OpenCount() { return g_openFiles; }

}  // namespace ovrix::platform
