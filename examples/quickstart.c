/* Quick start: writes a small point file with the library and reads it back.
 *
 *   quickstart [directory]
 *
 * The files are written as <directory>/cities.shp and cities.shx (the
 * current directory by default). */
#include <stdio.h>
#include <string.h>

#include <ovrix32.h>

static const struct {
  const char* name;
  double lon, lat, elevation, population;
} kCities[] = {
    {"Lisbon", -9.139, 38.722, 100.0, 0.55},
    {"Reykjavik", -21.942, 64.146, 61.0, 0.14},
    {"Tallinn", 24.754, 59.437, 9.0, 0.45},
    {"Valletta", 14.514, 35.899, 56.0, 0.006},
};

int main(int argc, char** argv) {
  char base[512];
  snprintf(base, sizeof base, "%s/cities", argc > 1 ? argv[1] : ".");
  int n = (int)(sizeof kCities / sizeof kCities[0]);

  /* Write: a PointZ file, with the population as the measure. */
  ShpFile* shp = Shp_Create();
  ShpPointZ* point = Shp_PointZCreate();
  if (shp == NULL || point == NULL || !Shp_New(shp, base, SHP_POINTZ)) {
    fprintf(stderr, "cannot create %s.shp\n", base);
    return 1;
  }
  for (int i = 0; i < n; ++i) {
    ShpCoordZ c;
    Shp_SetCoordZ(&c, kCities[i].lon, kCities[i].lat, kCities[i].elevation, kCities[i].population);
    Shp_PointZAppendCoord(point, &c);
    Shp_PointZAppend(shp, point);
  }
  Shp_Close(shp);

  /* Read it back. */
  if (!Shp_Open(shp, base, 3)) {
    fprintf(stderr, "cannot open %s.shp\n", base);
    return 1;
  }
  char type[16];
  Bbox box;
  double zmin, zmax, mmin, mmax;
  Shp_GetTypeAsString(shp, type);
  Shp_GetBoundingBox(shp, &box);
  Shp_GetZCoordRange(shp, &zmin, &zmax);
  Shp_GetMeasureRange(shp, &mmin, &mmax);
  printf("%s.shp: %s, %d records, version %d\n", base, type, (int)Shp_GetNumShapes(shp),
         (int)Shp_GetVersion(shp));
  printf("  box x %.3f .. %.3f, y %.3f .. %.3f, z %.1f .. %.1f, m %.3f .. %.3f\n", box.xmin, box.xmax,
         box.ymin, box.ymax, zmin, zmax, mmin, mmax);
  int failures = 0;
  for (int i = 1; i <= Shp_GetNumShapes(shp); ++i) {
    ShpCoordZ c;
    double x, y, z, m;
    if (!Shp_PointZRead(shp, i, point)) {
      fprintf(stderr, "record %d unreadable\n", i);
      ++failures;
      continue;
    }
    Shp_PointZGetCoord(point, &c);
    Shp_GetCoordZ(&c, &x, &y, &z, &m);
    printf("  record %d: x %.3f y %.3f z %.1f m %.3f  (%s)\n", i, x, y, z, m, kCities[i - 1].name);
    if (x != kCities[i - 1].lon || y != kCities[i - 1].lat) ++failures;
  }
  Shp_PointZDestroy(point);
  Shp_Destroy(shp);
  return failures == 0 ? 0 : 1;
}
