// Every record object starts with its kind: a tag and the shape type of the
// variant that created it. An object handed to a function of another family
// or variant (a ShpLine to Shp_LineZRead, a point to a polygon append) is
// refused instead of being taken for what it is not.
#pragma once

#include <cstdint>
#include <cstring>

namespace ovrix {

constexpr int32_t ObjectKind(int32_t shapeType) { return 0x4F580000 | shapeType; }

// Whether `object` (any record object, or null) was made by the variant of
// `shapeType`.
inline bool IsKind(const void* object, int32_t shapeType) {
  if (object == nullptr) return false;
  int32_t kind;
  std::memcpy(&kind, object, sizeof kind);
  return kind == ObjectKind(shapeType);
}

}  // namespace ovrix
