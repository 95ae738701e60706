/* Compiled as C99 with -pedantic: the public header must stay valid C. It
 * also exercises a few calls through the shared library. */
#include <ovrix32.h>
#include <stdio.h>

int main(void) {
  ShpCoordZ c;
  double x, y, z, m;
  ShpFile* shp = Shp_Create();
  if (shp == NULL) return 1;
  Shp_SetCoordZ(&c, 1.0, 2.0, 3.0, 4.0);
  Shp_GetCoordZ(&c, &x, &y, &z, &m);
  if (x != 1.0 || y != 2.0 || z != 3.0 || m != 4.0 || c.m != 4.0 || c.z != 3.0) return 1;
  if (Shp_ApiGetVersion() != 100 || Shp_GetType(shp) != SHP_NULL) return 1;
  if (PART_INVALID != (int32_t)0x80000000u) return 1;
  Shp_Destroy(shp);
  puts("C header check passed");
  return 0;
}
