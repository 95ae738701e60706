// The shape types: one table holds what the library knows about each type,
// so that no other file keeps its own list.
#pragma once

#include <cstdint>

namespace ovrix {

struct ShapeType {
  int32_t code;
  const char* name;
  bool hasZ;             // heights, and the Z range in the main header
  bool hasM;             // measures, and the M range in the main header
  int32_t recordBytes;   // records of a fixed size (the points): header and content; 0 otherwise
};

// The entry for `code`, or null for a code that names no type (Null, which
// has an entry, is not a type a file can be created with: see ShpType_IsValid).
const ShapeType* ShapeType_Find(int32_t code);

}  // namespace ovrix
