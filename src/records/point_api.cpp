// Exported entry points of the Point family. The variants differ only in the
// coordinate structure they take and give and in the file type their Read
// accepts; everything else forwards to the one implementation in point.cpp.
#include "ovrix32.h"
#include "records/object_kind.h"
#include "records/point.h"

using namespace ovrix;

namespace {
// The host's fields one by one, as for the multi-point families
// (MultiVertex_From).
void Store(ShpPointRecord* p, const ShpCoord* c) {
  const volatile ShpCoord& v = *c;
  *p = {p->kind, p->id, v.x, v.y, 0.0, 0.0};
}
void Store(ShpPointRecord* p, const ShpCoordM* c) {
  const volatile ShpCoordM& v = *c;
  *p = {p->kind, p->id, v.x, v.y, v.m, 0.0};
}
void Store(ShpPointRecord* p, const ShpCoordZ* c) {
  const volatile ShpCoordZ& v = *c;
  *p = {p->kind, p->id, v.x, v.y, v.m, v.z};
}
void Load(const ShpPointRecord* p, ShpCoord* c) { *c = {p->x, p->y}; }
void Load(const ShpPointRecord* p, ShpCoordM* c) { *c = {p->x, p->y, p->m}; }
void Load(const ShpPointRecord* p, ShpCoordZ* c) { *c = {p->x, p->y, p->m, p->z}; }
}  // namespace

// The three point variants share one object layout, and each point function takes a point object
// of any variant (Destroy and Append are specified so); an object of another family is refused
// (0, nothing done).
inline bool IsPointObject(const void* p) {
  return IsKind(p, SHP_POINT) || IsKind(p, SHP_POINTM) || IsKind(p, SHP_POINTZ);
}

#define OVRIX_POINT_EXPORTS(V, OBJ, COORD, TYPE)                                                     \
  OVRIX32_API OBJ* OVRIX32_CALL Shp_##V##Create(void) { return Point_Create(TYPE); }                  \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##Destroy(OBJ* p) { return IsPointObject(p) && Point_Destroy(p); } \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##Read(ShpFile* shp, int32_t n, OBJ* p) {                    \
    return IsPointObject(p) ? Point_Read(shp, n, p, TYPE) : 0;                                        \
  }                                                                                                  \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##Append(ShpFile* shp, OBJ* p) {                             \
    return IsPointObject(p) ? Point_Append(shp, p) : 0;                                               \
  }                                                                                                  \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##GetId(OBJ* p) { return IsPointObject(p) ? p->id : 0; }     \
  OVRIX32_API void OVRIX32_CALL Shp_##V##SetId(OBJ* p, int32_t id) {                                   \
    if (IsPointObject(p)) p->id = id;                                                                 \
  }                                                                                                  \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##AppendCoord(OBJ* p, COORD* c) {                            \
    return IsPointObject(p) ? (Store(p, c), 1) : 0;                                                   \
  }                                                                                                  \
  OVRIX32_API int32_t OVRIX32_CALL Shp_##V##GetCoord(OBJ* p, COORD* c) {                               \
    return IsPointObject(p) ? (Load(p, c), 1) : 0;                                                    \
  }

extern "C" {
OVRIX_POINT_EXPORTS(Point, ShpPoint, ShpCoord, SHP_POINT)
OVRIX_POINT_EXPORTS(PointM, ShpPointM, ShpCoordM, SHP_POINTM)
OVRIX_POINT_EXPORTS(PointZ, ShpPointZ, ShpCoordZ, SHP_POINTZ)
}
