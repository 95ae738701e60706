#include "shape/arrays.h"

#include <cstring>

#include "ovrix32.h"
#include "platform/mem.h"

namespace ovrix {
namespace {

constexpr int32_t kChunkBytes = COORD_CHUNK * static_cast<int32_t>(sizeof(CoordPair));
static_assert(kChunkBytes == 8192, "a chunk is 512 pairs of two doubles");
constexpr int32_t kInitialIndex = COORD_CHUNK;  // index 512 needs two chunks: 1024 pairs

// A zero-filled directory of `entries` chunk pointers, or null.
CoordPair** NewDirectory(int32_t entries) {
  const int64_t bytes = static_cast<int64_t>(entries) * static_cast<int64_t>(sizeof(CoordPair*));
  if (bytes > INT32_MAX) return nullptr;
  return static_cast<CoordPair**>(Mem_Alloc(static_cast<int32_t>(bytes), MEM_GLOBAL));
}

}  // namespace

CoordArray* CoordArray_Create() {
  auto* array = static_cast<CoordArray*>(Mem_Alloc(sizeof(CoordArray), MEM_GLOBAL));
  if (array == nullptr) return nullptr;
  array->directory = NewDirectory(COORD_DIRECTORY_STEP);
  if (array->directory == nullptr) {
    Mem_Free(array, MEM_GLOBAL);
    return nullptr;
  }
  array->capacity = 0;
  array->chunkCount = 0;
  array->directoryCapacity = COORD_DIRECTORY_STEP;
  if (!CoordArray_Reserve(array, kInitialIndex)) {
    CoordArray_Destroy(array);
    return nullptr;
  }
  return array;
}

void CoordArray_Destroy(CoordArray* array) {
  if (array == nullptr) return;
  for (int32_t k = 0; k < array->chunkCount; ++k) Mem_Free(array->directory[k], MEM_GLOBAL);
  Mem_Free(array->directory, MEM_GLOBAL);
  Mem_Free(array, MEM_GLOBAL);
}

int32_t CoordArray_Reserve(CoordArray* array, int32_t index) {
  if (index < 0 || index >= COORD_MAX_CAPACITY) return 0;
  if (array->capacity > index) return 1;
  const int32_t needed = index / COORD_CHUNK + 1;
  if (array->directoryCapacity < needed) {
    const int32_t entries = (needed / COORD_DIRECTORY_STEP + 1) * COORD_DIRECTORY_STEP;
    CoordPair** grown = NewDirectory(entries);
    if (grown == nullptr) return 0;
    std::memcpy(grown, array->directory, sizeof(CoordPair*) * static_cast<std::size_t>(array->chunkCount));
    Mem_Free(array->directory, MEM_GLOBAL);
    array->directory = grown;
    array->directoryCapacity = entries;
  }
  while (array->chunkCount < needed) {
    auto* chunk = static_cast<CoordPair*>(Mem_Alloc(kChunkBytes, MEM_GLOBAL));
    if (chunk == nullptr) break;
    array->directory[array->chunkCount++] = chunk;
  }
  array->capacity = array->chunkCount * COORD_CHUNK;
  return array->chunkCount == needed ? 1 : 0;
}

int32_t CoordArray_Set(CoordArray* array, int32_t index, const CoordPair* pair) {
  if (index < 0) return 0;
  if (array->capacity <= index) {
    CoordArray_Reserve(array, index);
    if (array->capacity <= index) return 0;
  }
  *CoordArray_At(array, index) = *pair;
  return 1;
}

int32_t CoordArray_Get(const CoordArray* array, int32_t index, CoordPair* out) {
  if (index < 0 || index >= array->capacity || out == nullptr) return 0;
  *out = *CoordArray_At(array, index);
  return 1;
}

CoordPair* CoordArray_Run(const CoordArray* array, int32_t index, int32_t* runLength) {
  if (index < 0 || index >= array->capacity) return nullptr;
  *runLength = COORD_CHUNK - index % COORD_CHUNK;
  return CoordArray_At(array, index);
}

PartArray* PartArray_Create(int32_t capacity) {
  if (capacity < 1 || capacity > INT32_MAX / 4) return nullptr;
  auto* array = static_cast<PartArray*>(Mem_Alloc(sizeof(PartArray), MEM_HEAP));
  if (array == nullptr) return nullptr;
  array->data = static_cast<int32_t*>(Mem_Alloc(capacity * 4, MEM_GLOBAL));
  if (array->data == nullptr) {
    Mem_Free(array, MEM_HEAP);
    return nullptr;
  }
  array->capacity = capacity;
  return array;
}

void PartArray_Destroy(PartArray* array) {
  if (array == nullptr) return;
  Mem_Free(array->data, MEM_GLOBAL);
  Mem_Free(array, MEM_HEAP);
}

int32_t PartArray_Reserve(PartArray* array, int32_t wanted) {
  if (array == nullptr) return 0;
  if (array->capacity >= wanted) return 1;
  if (wanted > INT32_MAX / 4) return 0;
  auto* grown = static_cast<int32_t*>(Mem_Alloc(wanted * 4, MEM_GLOBAL));
  if (grown == nullptr) return 0;
  std::memcpy(grown, array->data, 4 * static_cast<std::size_t>(array->capacity));
  Mem_Free(array->data, MEM_GLOBAL);
  array->data = grown;
  array->capacity = wanted;
  return 1;
}

int32_t PartArray_Get(const PartArray* array, int32_t index, int32_t* out) {
  if (array == nullptr || index < 0 || index >= array->capacity) return PART_INVALID;
  if (out != nullptr) *out = array->data[index];
  return array->data[index];
}

int32_t PartArray_Set(PartArray* array, int32_t index, int32_t value) {
  if (array == nullptr || index < 0 || index >= array->capacity) return 0;
  array->data[index] = value;
  return 1;
}

}  // namespace ovrix
