// The coordinate-structure helpers: plain copies, bit for bit.
#include "ovrix32.h"

extern "C" {
OVRIX32_API void OVRIX32_CALL Shp_SetCoord(ShpCoord* c, double x, double y) { *c = {x, y}; }
OVRIX32_API void OVRIX32_CALL Shp_GetCoord(ShpCoord* c, double* x, double* y) {
  *x = c->x;
  *y = c->y;
}
OVRIX32_API void OVRIX32_CALL Shp_SetCoordM(ShpCoordM* c, double x, double y, double m) { *c = {x, y, m}; }
OVRIX32_API void OVRIX32_CALL Shp_GetCoordM(ShpCoordM* c, double* x, double* y, double* m) {
  *x = c->x;
  *y = c->y;
  *m = c->m;
}
OVRIX32_API void OVRIX32_CALL Shp_SetCoordZ(ShpCoordZ* c, double x, double y, double z, double m) { *c = {x, y, m, z}; }
OVRIX32_API void OVRIX32_CALL Shp_GetCoordZ(ShpCoordZ* c, double* x, double* y, double* z, double* m) {
  *x = c->x;
  *y = c->y;
  *z = c->z;
  *m = c->m;
}
}
