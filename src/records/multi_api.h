// Building blocks for the exported functions of the multi-coordinate record
// families. Each macro defines a group of extern "C" functions named
// Shp_<V><Operation> that forward to the engine in multi_record.h with the
// variant description VARIANT; a family's *_api.cpp combines the groups it
// exports and adds its own NewPart / Append. Use inside extern "C" { }.
#pragma once

#include "ovrix32.h"
#include "records/multi_record.h"
#include "records/object_kind.h"

// Every function refuses (0, nothing done) an object that another family or
// variant made: OVRIX_IS(o, VARIANT).
#define OVRIX_IS(o, VARIANT) ovrix::IsKind(o, (VARIANT).shapeType)

// Create (without arguments) and Destroy.
#define OVRIX_MULTI_LIFETIME(V, OBJ, VARIANT)                                                        \
  OVRIX32_API OBJ* OVRIX32_CALL Shp_##V##Create(void) { return ovrix::MultiRecord_Create(VARIANT); } \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##Destroy(OBJ* o) {                                        \
    return OVRIX_IS(o, VARIANT) ? ovrix::MultiRecord_Destroy(o) : 0;                                 \
  }

// Read, points, id and bounding box.
#define OVRIX_MULTI_CORE(V, OBJ, COORD, VARIANT)                                                     \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##Read(ShpFile* shp, int32_t n, OBJ* o) {                  \
    return OVRIX_IS(o, VARIANT) ? ovrix::MultiRecord_Read(shp, n, o, VARIANT) : 0;                   \
  }                                                                                                  \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##AppendCoord(OBJ* o, COORD* c) {                          \
    if (!OVRIX_IS(o, VARIANT)) return 0;                                                             \
    return ovrix::MultiRecord_AppendCoord(o, VARIANT, ovrix::MultiVertex_From(*c));                  \
  }                                                                                                  \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##GetCoord(OBJ* o, COORD* c, int32_t number) {             \
    ovrix::MultiVertex v;                                                                            \
    if (!OVRIX_IS(o, VARIANT) || !ovrix::MultiRecord_GetCoord(o, VARIANT, number, &v)) return 0;     \
    ovrix::MultiVertex_To(v, c);                                                                     \
    return 1;                                                                                        \
  }                                                                                                  \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##GetNumCoords(OBJ* o) {                                   \
    return OVRIX_IS(o, VARIANT) ? o->numCoords : 0;                                                  \
  }                                                                                                  \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##GetId(OBJ* o) { return OVRIX_IS(o, VARIANT) ? o->id : 0; } \
  OVRIX32_API void OVRIX32_CALL Shp_##V##SetId(OBJ* o, int32_t id) {                                 \
    if (OVRIX_IS(o, VARIANT)) o->id = id;                                                            \
  }                                                                                                  \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##GetBoundingBox(OBJ* o, Bbox* box) {                      \
    return OVRIX_IS(o, VARIANT) ? ovrix::MultiRecord_GetBoundingBox(o, box) : 0;                     \
  }

// Part count and part starts.
#define OVRIX_MULTI_PARTS(V, OBJ, VARIANT)                                                           \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##GetNumParts(OBJ* o) {                                    \
    return OVRIX_IS(o, VARIANT) ? o->numParts : 0;                                                   \
  }                                                                                                  \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##GetPartOffset(OBJ* o, int32_t part) {                    \
    return OVRIX_IS(o, VARIANT) ? ovrix::MultiRecord_GetPartOffset(o, part) : 0;                     \
  }

#define OVRIX_MULTI_MEASURE_RANGE(V, OBJ, VARIANT)                                                   \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##GetMeasureRange(OBJ* o, double* min, double* max) {      \
    return OVRIX_IS(o, VARIANT) ? ovrix::MultiRecord_GetMeasureRange(o, min, max) : 0;               \
  }

#define OVRIX_MULTI_Z_RANGE(V, OBJ, VARIANT)                                                         \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##GetZCoordRange(OBJ* o, double* min, double* max) {       \
    return OVRIX_IS(o, VARIANT) ? ovrix::MultiRecord_GetZCoordRange(o, min, max) : 0;                \
  }

// One variant of a family whose records have parts and whose objects are
// made without arguments: lifetime, core, parts, and NewPart forwarded to
// NEWPART(object, VARIANT).
#define OVRIX_MULTI_PARTED_VARIANT(V, OBJ, COORD, VARIANT, NEWPART) \
  OVRIX_MULTI_LIFETIME(V, OBJ, VARIANT)                             \
  OVRIX_MULTI_CORE(V, OBJ, COORD, VARIANT)                          \
  OVRIX_MULTI_PARTS(V, OBJ, VARIANT)                                \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##NewPart(OBJ* o) { return OVRIX_IS(o, VARIANT) ? NEWPART(o, VARIANT) : 0; }

// The plain, M and Z variants (descriptions VPLAIN, VM, VZ) of such a family
// F (objects ShpF, ShpFM, ShpFZ), with Append forwarded to
// APPEND(file, object, variant, noMeasures); the plain Append passes 1.
#define OVRIX_MULTI_PARTED_FAMILY(F, NEWPART, APPEND, VPLAIN, VM, VZ)                                \
  OVRIX_MULTI_PARTED_VARIANT(F, Shp##F, ShpCoord, VPLAIN, NEWPART)                                   \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##F##Append(ShpFile* shp, Shp##F* o) {                                     \
    return OVRIX_IS(o, VPLAIN) ? APPEND(shp, o, VPLAIN, 1) : 0;                                      \
  }                                                                                                  \
  OVRIX_MULTI_PARTED_VARIANT(F##M, Shp##F##M, ShpCoordM, VM, NEWPART)                                \
  OVRIX_MULTI_MEASURE_RANGE(F##M, Shp##F##M, VM)                                                     \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##F##MAppend(ShpFile* shp, Shp##F##M* o, int32_t noMeasures) {             \
    return OVRIX_IS(o, VM) ? APPEND(shp, o, VM, noMeasures) : 0;                                     \
  }                                                                                                  \
  OVRIX_MULTI_PARTED_VARIANT(F##Z, Shp##F##Z, ShpCoordZ, VZ, NEWPART)                                \
  OVRIX_MULTI_MEASURE_RANGE(F##Z, Shp##F##Z, VZ)                                                     \
  OVRIX_MULTI_Z_RANGE(F##Z, Shp##F##Z, VZ)                                                           \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##F##ZAppend(ShpFile* shp, Shp##F##Z* o, int32_t noMeasures) {             \
    return OVRIX_IS(o, VZ) ? APPEND(shp, o, VZ, noMeasures) : 0;                                     \
  }
