#include "platform/mem.h"

#include "platform/platform.h"

namespace ovrix {
namespace {
int64_t g_calls = 0;
int64_t g_failAt = 0;
bool g_failLater = false;
int64_t g_live = 0;

bool InjectedFailure() {
  ++g_calls;
  if (g_failAt == 0) return false;
  return g_calls == g_failAt || (g_failLater && g_calls > g_failAt);
}
}  // namespace

void* Mem_Alloc(int32_t size, int32_t pool) {
  if (size < 1) return nullptr;
  if (pool != MEM_GLOBAL && pool != MEM_HEAP) return nullptr;
  if (InjectedFailure()) return nullptr;
  void* block = pool == MEM_GLOBAL ? platform::GlobalAlloc(static_cast<std::size_t>(size))
                                   : platform::HeapAlloc(static_cast<std::size_t>(size));
  if (block != nullptr) ++g_live;
  return block;
}

int32_t Mem_Free(void* block, int32_t pool) {
  if (block == nullptr) return 0;
  if (pool == MEM_GLOBAL) {
    platform::GlobalFree(block);
    --g_live;
  } else if (pool == MEM_HEAP) {
    platform::HeapFree(block);
    --g_live;
  }
  return 1;
}

void Mem_InjectFailure(int32_t nth, bool andLater) {
  g_calls = 0;
  g_failAt = nth < 0 ? 0 : nth;
  g_failLater = andLater;
}

int64_t Mem_AllocCalls() { return g_calls; }
int64_t Mem_LiveBlocks() { return g_live; }

}  // namespace ovrix
