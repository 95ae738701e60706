/* Quick start: writes a small point file and a small polygon file with its
 * attribute table, then reads all of them back.
 *
 *   quickstart [directory]
 *
 * The files are written as <directory>/cities.shp and cities.shx, and
 * <directory>/parcels.shp, parcels.shx and parcels.dbf (the current
 * directory by default). */
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

/* The name of a field type code. */
static const char* FieldTypeName(int32_t type) {
  switch (type) {
    case DB_CHARACTER: return "character";
    case DB_NUMERIC: return "numeric";
    case DB_LOGICAL: return "logical";
    case DB_DATE: return "date";
    case DB_FLOAT: return "float";
    case DB_MEMO: return "memo";
    default: return "other";
  }
}

/* The parcels' table: two fields of every type that can be defined. */
static const struct {
  const char* name;
  int32_t type, width, decimals;
} kFields[] = {
    {"NAME", DB_CHARACTER, 20, 0}, {"OWNER", DB_CHARACTER, 12, 0}, {"AREA", DB_NUMERIC, 10, 2},
    {"ROOMS", DB_NUMERIC, 3, 0},   {"LEVY", DB_FLOAT, 12, 4},      {"SLOPE", DB_FLOAT, 8, 3},
    {"BUILT", DB_LOGICAL, 1, 0},   {"LISTED", DB_LOGICAL, 1, 0},   {"SINCE", DB_DATE, 8, 0},
    {"SURVEYED", DB_DATE, 8, 0},
};
#define NUM_FIELDS ((int)(sizeof kFields / sizeof kFields[0]))

/* One polygon per parcel. Rings are given without repeating their first
 * vertex: the library closes them. A ring of -1 vertices ends the list. */
static const struct {
  const char* values[NUM_FIELDS];
  int rings[3];           /* vertices per ring */
  double xy[16][2];
} kParcels[] = {
    {{"Harbour Yard", "city", "1600.00", "0", "12.5000", "0.010", "F", "F", "19870301", "20230915"},
     {4, -1},
     {{0, 0}, {0, 40}, {40, 40}, {40, 0}}},
    {{"Mill House", "K. Amsel", "962.50", "7", "431.2500", "0.125", "T", "T", "17920611", "20240102"},
     {4, 4, -1},
     {{50, 0}, {50, 35}, {85, 35}, {85, 0}, {60, 10}, {75, 10}, {75, 20}, {60, 20}}},
    {{"Orchard", "", "750", "", "", "-0.040", "?", "F", "20010520", "20240102"},
     {3, -1},
     {{0, 50}, {30, 100}, {60, 50}}},
};
#define NUM_PARCELS ((int)(sizeof kParcels / sizeof kParcels[0]))

static int points(const char* dir) {
  char base[512];
  snprintf(base, sizeof base, "%s/cities", dir);
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
  if (!Shp_Open(shp, base, SHP_OPEN_READ)) {
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
  return failures;
}

/* The handles that the parcels' shape file and table are handled with. */
typedef struct {
  ShpFile* shp;
  ShpPolygon* polygon;
  DbTable* table;
  char dbf[520];
} Parcels;

static int parcels_create(Parcels* p, const char* base) {
  snprintf(p->dbf, sizeof p->dbf, "%s.dbf", base);
  p->shp = Shp_Create();
  p->polygon = Shp_PolygonCreate();
  p->table = Db_Create();
  return p->shp != NULL && p->polygon != NULL && p->table != NULL;
}

static void parcels_destroy(Parcels* p) {
  Db_Destroy(p->table);
  Shp_PolygonDestroy(p->polygon);
  Shp_Destroy(p->shp);
}

/* Writes parcels.shp/.shx and parcels.dbf, one table record per polygon. */
static int write_parcels(const char* base) {
  Parcels h;
  int failures = 0;
  if (!parcels_create(&h, base) || !Shp_New(h.shp, (char*)base, SHP_POLYGON) || !Db_NewBeginDef(h.table, h.dbf)) {
    fprintf(stderr, "cannot create %s.shp or %s\n", base, h.dbf);
    parcels_destroy(&h);
    return 1;
  }
  ShpPolygon* polygon = h.polygon;
  DbTable* table = h.table;
  for (int f = 0; f < NUM_FIELDS; ++f)
    if (!Db_NewAddField(table, kFields[f].name, kFields[f].type, kFields[f].width, kFields[f].decimals)) ++failures;
  if (!Db_NewEndDef(table) || !Db_AddRecBegin(table)) ++failures;

  for (int p = 0; p < NUM_PARCELS; ++p) {
    int v = 0;
    for (int r = 0; kParcels[p].rings[r] > 0; ++r) {
      if (r > 0) Shp_PolygonNewPart(polygon);
      for (int k = 0; k < kParcels[p].rings[r]; ++k, ++v) {
        ShpCoord c;
        Shp_SetCoord(&c, kParcels[p].xy[v][0], kParcels[p].xy[v][1]);
        Shp_PolygonAppendCoord(polygon, &c);
      }
    }
    if (!Shp_PolygonAppend(h.shp, polygon)) ++failures;
    for (int f = 0; f < NUM_FIELDS; ++f)
      if (!Db_RecSetField(table, f + 1, kParcels[p].values[f])) ++failures;
    if (!Db_AddRec(table)) ++failures;
  }
  if (!Db_AddRecEnd(table)) ++failures;
  parcels_destroy(&h);
  return failures;
}

/* Reads both files back: the rings of each polygon and its table record. */
static int read_parcels(const char* base) {
  Parcels h;
  if (!parcels_create(&h, base) || !Shp_Open(h.shp, (char*)base, 3) || !Db_Open(h.table, h.dbf)) {
    fprintf(stderr, "cannot open %s.shp or %s\n", base, h.dbf);
    parcels_destroy(&h);
    return 1;
  }
  ShpFile* shp = h.shp;
  ShpPolygon* polygon = h.polygon;
  DbTable* table = h.table;
  const char* path = h.dbf;
  int failures = 0;
  printf("%s.shp: %d polygons; %s: %d records of %d bytes\n", base, (int)Shp_GetNumShapes(shp), path,
         (int)Db_GetNumRecs(table), (int)Db_GetRecLen(table));
  if (Shp_GetNumShapes(shp) != NUM_PARCELS || Db_GetNumRecs(table) != NUM_PARCELS) ++failures;
  char name[16];
  for (int f = 1; f <= Db_GetNumFields(table); ++f) {
    Db_GetFieldName(table, f, name);
    printf("  field %d: %-8s %-9s width %d decimals %d\n", f, name, FieldTypeName(Db_GetFieldType(table, f)),
           (int)Db_GetFieldWidth(table, f), (int)Db_GetFieldDecimals(table, f));
  }
  for (int p = 1; p <= Shp_GetNumShapes(shp); ++p) {
    if (!Shp_PolygonRead(shp, p, polygon)) {
      fprintf(stderr, "polygon %d unreadable\n", p);
      ++failures;
      continue;
    }
    Bbox box;
    Shp_PolygonGetBoundingBox(polygon, &box);
    printf("  polygon %d: %d rings, %d vertices, box %.0f,%.0f .. %.0f,%.0f\n", p,
           (int)Shp_PolygonGetNumParts(polygon), (int)Shp_PolygonGetNumCoords(polygon), box.xmin, box.ymin,
           box.xmax, box.ymax);
    /* The table is read front to back: each record read leaves the file at
     * the next one, so Db_SetRecNum only has to say which one that is. */
    Db_SetRecNum(table, p);
    for (int f = 1; f <= NUM_FIELDS && p <= NUM_PARCELS; ++f) {
      char value[256] = "";
      Db_GetFieldValue(table, f, value);
      Db_GetFieldName(table, f, name);
      printf("    %-8s '%s'\n", name, value);
      /* Logical fields store 'T', 'F' or '?'; everything else reads back as
       * it was given, without blanks. */
      if (strcmp(value, kParcels[p - 1].values[f - 1]) != 0) ++failures;
    }
  }
  parcels_destroy(&h);
  return failures;
}

int main(int argc, char** argv) {
  const char* dir = argc > 1 ? argv[1] : ".";
  char base[512];
  snprintf(base, sizeof base, "%s/parcels", dir);
  int failures = points(dir);
  failures += write_parcels(base);
  failures += read_parcels(base);
  if (failures != 0) fprintf(stderr, "%d values did not read back as written\n", failures);
  return failures == 0 ? 0 : 1;
}
