#include "records/multipatch.h"

#include "records/multipoint.h"

namespace ovrix {
namespace {

bool IsRing(int32_t type) { return type >= SHP_PART_OUTER_RING && type <= SHP_PART_RING; }

// The current part's type; false when the object has no current part (a
// record of 0 parts was read). A stored type may itself equal PART_INVALID,
// so the bound is checked here rather than inferred from the value.
bool CurrentType(const ShpMultiRecord* obj, int32_t* type) {
  if (obj->numParts < 1 || obj->numParts > obj->partTypes->capacity) return false;
  PartArray_Get(obj->partTypes, obj->numParts - 1, type);
  return true;
}

}  // namespace

ShpMultiRecord* MultiPatch_Create(int32_t firstPartType) {
  ShpMultiRecord* obj = MultiRecord_Create(kMultiPatch);
  if (obj != nullptr) PartArray_Set(obj->partTypes, 0, firstPartType);
  return obj;
}

int32_t MultiPatch_SetFirstPartType(ShpMultiRecord* obj, int32_t type) {
  PartArray_Set(obj->partTypes, 0, type);
  return 1;
}

int32_t MultiPatch_GetTypeInPart(const ShpMultiRecord* obj, int32_t number) {
  if (number < 1) return PART_INVALID;
  return PartArray_Get(obj->partTypes, number - 1, nullptr);
}

int32_t MultiPatch_CloseRing(ShpMultiRecord* obj) {
  int32_t type = 0;
  if (!CurrentType(obj, &type) || !IsRing(type)) return 1;
  return MultiRecord_CloseRing(obj, kMultiPatch);
}

int32_t MultiPatch_NewPart(ShpMultiRecord* obj, int32_t type) {
  int32_t current = 0;
  if (!CurrentType(obj, &current)) return 0;
  const bool empty = PartArray_Get(obj->partStarts, obj->numParts - 1, nullptr) == obj->numCoords;
  if (type == SHP_PART_INNER_RING &&
      !(current == SHP_PART_INNER_RING || (current == SHP_PART_OUTER_RING && !empty)))
    return 0;
  if (type == SHP_PART_RING && !(current == SHP_PART_RING || (current == SHP_PART_FIRST_RING && !empty))) return 0;
  if (empty) {
    PartArray_Set(obj->partTypes, obj->numParts - 1, type);
    return 1;
  }
  if (IsRing(current) && !MultiRecord_CloseRing(obj, kMultiPatch)) return 0;
  // The closing may have dropped a part whose stored start lay past the
  // points; the new part then takes its slot.
  if (obj->numParts == INT32_MAX || !PartArray_Reserve(obj->partTypes, obj->numParts + 1)) return 0;
  PartArray_Set(obj->partTypes, obj->nextPart, type);
  return MultiRecord_StartPart(obj);
}

int32_t MultiPatch_Append(ShpFile* shp, ShpMultiRecord* obj, int32_t noMeasures) {
  if (!MultiPatch_CloseRing(obj)) return 0;
  MultiRecord_DropEmptyPart(obj);
  return MultiPoint_Append(shp, obj, kMultiPatch, noMeasures);
}

}  // namespace ovrix
