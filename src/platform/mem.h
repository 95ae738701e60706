// The library's allocator: every block the library owns comes from one of two
// pools and goes back to the pool it came from.
#pragma once

#include <cstdint>

namespace ovrix {

enum MemPool : int32_t {
  MEM_GLOBAL = 1,  // fixed-address global memory: array storage, reserve entries
  MEM_HEAP = 2,    // the C heap: handles, record objects, table buffers
};

// A zero-filled block of `size` bytes from `pool`, or null for a size below 1,
// an unknown pool or when memory runs out.
void* Mem_Alloc(int32_t size, int32_t pool);
// 0 for a null block; otherwise frees it (an unknown pool frees nothing) and
// returns 1.
int32_t Mem_Free(void* block, int32_t pool);

// Test seam: make allocations fail on purpose. After Mem_InjectFailure(n), the
// n-th call of Mem_Alloc from now on (1 = the next one) returns null; with
// `andLater` every call after it fails too. n = 0 switches injection off.
void Mem_InjectFailure(int32_t nth, bool andLater = false);
// Number of Mem_Alloc calls since the last Mem_InjectFailure (or program
// start), failed ones included.
int64_t Mem_AllocCalls();
// Blocks handed out and not yet freed, both pools together.
int64_t Mem_LiveBlocks();

}  // namespace ovrix
