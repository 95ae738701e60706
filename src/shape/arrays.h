// The growable arrays of the multi-coordinate record objects.
//
// CoordArray: coordinate pairs in fixed 8192-byte chunks of 512 pairs. A pair
// is laid out as a point is stored in a shape file (two doubles), so a run of
// pairs inside one chunk moves between a stream and the array with a single
// stream call. Chunks never move once allocated: growing allocates whole
// chunks and copies only the directory of chunk pointers (once per 256
// chunks), never a coordinate.
//
// PartArray: a flat block of int32 entries (part starts, part types) that
// grows to exactly the capacity asked for.
//
// The arrays know only their capacity; how many elements are in use is the
// owner's business. They never shrink while they live, and elements past the
// owner's count keep stale values. Every failure is the result 0 (or null);
// the library's error value is never touched.
#pragma once

#include <cstdint>

namespace ovrix {

struct CoordPair {
  double first;
  double second;
};

constexpr int32_t COORD_CHUNK = 512;              // pairs per chunk
constexpr int32_t COORD_DIRECTORY_STEP = 256;     // directory grows in steps of this many entries
// Largest capacity a CoordArray can reach: whole chunks that a signed 32-bit
// count can still describe. Indexes from this value on are refused.
constexpr int32_t COORD_MAX_CAPACITY = INT32_MAX / COORD_CHUNK * COORD_CHUNK;

// Header from MEM_GLOBAL. Always consistent, also after a growth that ran out
// of memory half-way: capacity = chunkCount x 512, directory entries below
// chunkCount point to zero-filled chunks, the entries from chunkCount on are
// null.
struct CoordArray {
  int32_t capacity;
  int32_t chunkCount;
  int32_t directoryCapacity;  // a multiple of 256
  CoordPair** directory;
};

// Header from MEM_HEAP, entries from MEM_GLOBAL (zero-filled when allocated).
struct PartArray {
  int32_t capacity;
  int32_t* data;
};

// A new array holding 1024 pairs (two chunks), every one (0, 0); null when
// memory runs out (nothing stays allocated).
CoordArray* CoordArray_Create();
// Releases every chunk, the directory and the header. Null is ignored.
void CoordArray_Destroy(CoordArray* array);
// Grows the array until its capacity exceeds `index`, allocating every chunk
// up to the one that holds it. 1 when the capacity exceeds `index` afterwards;
// 0 for a negative index, an index at or beyond COORD_MAX_CAPACITY, or when
// memory runs out (the chunks allocated so far are kept).
int32_t CoordArray_Reserve(CoordArray* array, int32_t index);
// Stores a pair at `index`, growing the array when needed; 1 stored, 0 not.
int32_t CoordArray_Set(CoordArray* array, int32_t index, const CoordPair* pair);
// Copies the pair at `index` (checked against the capacity, not any count)
// into *out; 0 and *out untouched for an index outside the capacity or a
// null out. A pair never stored reads as (0, 0).
int32_t CoordArray_Get(const CoordArray* array, int32_t index, CoordPair* out);

// Runs of contiguous pairs, for moving many pairs with one stream call: the
// address of the pair at `index` and, in *runLength, how many pairs from it
// on lie in the same chunk (at most 512, at least 1). Null for an index
// outside the capacity. The caller stays below its own count.
CoordPair* CoordArray_Run(const CoordArray* array, int32_t index, int32_t* runLength);

// Unchecked element access for loops that already bounded `index` by the
// capacity (so it is not negative, and unsigned arithmetic finds the chunk).
inline CoordPair* CoordArray_At(const CoordArray* array, int32_t index) {
  const auto i = static_cast<uint32_t>(index);
  return array->directory[i / COORD_CHUNK] + i % COORD_CHUNK;
}

// CoordArray_Set / CoordArray_Get with the common case (an index inside the
// capacity) inline, for the per-point paths of the record objects.
inline int32_t CoordArray_Put(CoordArray* array, int32_t index, const CoordPair& pair) {
  if (index >= 0 && index < array->capacity) {
    *CoordArray_At(array, index) = pair;
    return 1;
  }
  return CoordArray_Set(array, index, &pair);
}
inline int32_t CoordArray_Take(const CoordArray* array, int32_t index, CoordPair* out) {
  if (index < 0 || index >= array->capacity) return 0;
  *out = *CoordArray_At(array, index);
  return 1;
}

// A new array of `capacity` zero entries; null for a capacity below 1, a
// capacity too large to address, or when memory runs out.
PartArray* PartArray_Create(int32_t capacity);
// Releases the entries and the header; null is ignored.
void PartArray_Destroy(PartArray* array);
// Makes the capacity at least `wanted`, growing to exactly `wanted` (the
// entries are kept, the new ones are 0). 0 for a null array or when memory
// runs out; the array is then unchanged.
int32_t PartArray_Reserve(PartArray* array, int32_t wanted);
// The entry at `index` (also stored in *out when out is not null), or
// PART_INVALID for a null array or an index outside the capacity.
int32_t PartArray_Get(const PartArray* array, int32_t index, int32_t* out);
// Stores `value` at `index`; 0 for a null array or an index outside the
// capacity. Never grows the array: callers reserve first.
int32_t PartArray_Set(PartArray* array, int32_t index, int32_t value);

}  // namespace ovrix
