#include "platform/handle_reserve.h"

#include <cstdio>

#include "platform/mem.h"
#include "platform/platform.h"
#include "platform/error.h"

namespace ovrix {
namespace {

struct ReservedHandle {
  intptr_t file;
  int32_t number;
  char fileName[kPlaceholderNameMax + 1];
  ReservedHandle* older;
};

struct ReserveHead {
  ReservedHandle* newest;
};

ReserveHead* g_pool = nullptr;

// Formats the placeholder path for `number`; false when it does not fit.
bool FormatPlaceholderName(char (&out)[kPlaceholderNameMax + 1], int32_t number) {
  int n = std::snprintf(out, sizeof out, "%s~ZOR%04d.TMP", platform::TempDirectory(),
                        static_cast<int>(number));
  return n > 0 && n <= kPlaceholderNameMax;
}

void CloseAndDelete(ReservedHandle* entry) {
  platform::OsClose(entry->file);
  platform::OsRemove(entry->fileName);
  Mem_Free(entry, MEM_GLOBAL);
}

}  // namespace

int32_t HandleReserve_IsActive() { return g_pool != nullptr ? 1 : 0; }

int32_t HandleReserve_AddOne() {
  if (g_pool == nullptr) {
    auto* head = static_cast<ReserveHead*>(Mem_Alloc(sizeof(ReserveHead), MEM_GLOBAL));
    if (head == nullptr) return 0;
    g_pool = head;
  }
  int32_t number = g_pool->newest != nullptr ? g_pool->newest->number + 1 : 1;
  auto* entry = static_cast<ReservedHandle*>(Mem_Alloc(sizeof(ReservedHandle), MEM_GLOBAL));
  if (entry == nullptr) return 0;
  if (!FormatPlaceholderName(entry->fileName, number)) {
    Mem_Free(entry, MEM_GLOBAL);
    return 0;
  }
  entry->file = platform::OsOpen(entry->fileName, platform::kFileCreate);
  if (entry->file == platform::kNoFile) {
    platform::OsRemove(entry->fileName);
    Mem_Free(entry, MEM_GLOBAL);
    return 0;
  }
  entry->number = number;
  entry->older = g_pool->newest;
  g_pool->newest = entry;
  return 1;
}

int32_t HandleReserve_ReleaseOne() {
  if (g_pool == nullptr || g_pool->newest == nullptr) return 0;
  ReservedHandle* entry = g_pool->newest;
  g_pool->newest = entry->older;
  CloseAndDelete(entry);
  return 1;
}

platform::File* HandleReserve_OpenFile(const char* name, platform::FileMode mode) {
  const bool active = HandleReserve_IsActive() != 0;
  if (active) HandleReserve_ReleaseOne();
  platform::SetLastError(0);
  platform::File* file = platform::File_Open(name, mode);
  if (file == nullptr && active) {
    const int error = platform::LastError();
    Shp_SetError(error);
    HandleReserve_AddOne();
    platform::SetLastError(error);
  }
  return file;
}

int32_t HandleReserve_CloseFile(platform::File* file) {
  const bool closed = platform::File_Close(file);
  if (closed && HandleReserve_IsActive()) HandleReserve_AddOne();
  return closed ? 1 : 0;
}

int32_t HandleReserve_Reserve(int32_t count) {
  if (count < 1) return 0;
  int32_t added = 0;
  while (added < count && HandleReserve_AddOne()) ++added;
  return added;
}

int32_t HandleReserve_CountFree() {
  int32_t n = 0;
  while (HandleReserve_AddOne()) ++n;
  for (int32_t i = 0; i < n; ++i) HandleReserve_ReleaseOne();
  return n;
}

int32_t HandleReserve_FreeAll() {
  if (g_pool == nullptr) return 0;
  ReserveHead* head = g_pool;
  g_pool = nullptr;
  int32_t count = 0;
  while (head->newest != nullptr) {
    ReservedHandle* entry = head->newest;
    head->newest = entry->older;
    CloseAndDelete(entry);
    ++count;
  }
  Mem_Free(head, MEM_GLOBAL);
  return count;
}

int32_t HandleReserve_NumReserved() {
  if (g_pool == nullptr || g_pool->newest == nullptr) return 0;
  return g_pool->newest->number;
}

}  // namespace ovrix
