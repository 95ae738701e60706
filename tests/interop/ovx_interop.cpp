// Our side of the interop checks, C interface only, printing Python literals. "shp BASE MODE TYPE":
// stdin's records (R noMeasures, P partType, V x y z m) go into a new pair (MODE 0) or one opened
// in MODE 2, then the pair is dumped (MODE 3: only that). "dbf PATH": stdin's calls (see Table).
#include <iostream>

#include "../fuzz/families.h"

using namespace ovrix::hardening;

static void Check(bool ok, const char* w) { if (!ok) fprintf(stderr, "%s refused\n", w), exit(1); }

static void Write(ShpFile* h, const Family& f) {
  void* obj = nullptr;  // the record being built, with its noMeasures
  int nm = -1, n = 0;
  auto flush = [&] {  // at each "R" line and at the end; a record without parts too
    if (nm >= 0 && (obj || (obj = f.create(0))))
      Check(f.append(h, obj, nm), "append"), f.destroy(obj), obj = nullptr;
  };
  for (char c; std::cin >> c;) {
    if (c == 'R' && (flush(), std::cin >> nm)) continue;
    if (c == 'P' && std::cin >> n)  // a patch object is created with its first part's type
      Check(obj ? f.newPart && f.newPart(obj, n) : !!(obj = f.create(n)), "part");
    if (Vertex v; c == 'V' && std::cin >> v.x >> v.y >> v.z >> v.m)
      Check(obj && f.appendCoord(obj, v), "vertex");
  }
  flush();
}

// Per record [box and ranges, part starts, part types, vertices], the file's first; null [None, []]
static void Dump(ShpFile* h, const Family& f) {
  void* obj = f.create(0);
  std::printf("{'type': %d, 'recs': [", f.shapeType);
  for (int32_t k = 0; k <= Shp_GetNumShapes(h); ++k, std::printf("]],")) {
    if (k && !f.read(h, k, obj) && std::printf("[None, [")) continue;
    RecordImage g = k ? Capture(f, obj) : RecordImage();
    if (!k) Shp_GetBoundingBox(h, &g.box), Shp_GetZCoordRange(h, &g.zmin, &g.zmax),
            Shp_GetMeasureRange(h, &g.mmin, &g.mmax);
    std::printf("[[%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g], [", g.box.xmin, g.box.ymin,
                g.box.xmax, g.box.ymax, g.zmin, g.zmax, g.mmin, g.mmax);  // 0s without a box
    for (int32_t start : g.partStarts) std::printf("%d,", start);
    for (int32_t type : (std::printf("], ["), g.partTypes)) std::printf("%d,", type);
    std::printf("], [");
    for (const Vertex& v : g.points) std::printf("[%.17g,%.17g,%.17g,%.17g],", v.x, v.y, v.z, v.m);
  }
  std::printf("]}\n"), f.destroy(obj);
}

static void Table(const char* path) {
  DbTable* t = Db_Create();
  int32_t code, w, dec, k;
  std::istream& in = std::cin;
  for (std::string s, c; in >> c;)
    Check(c == "F" ? in >> s >> code >> w >> dec && Db_NewAddField(t, s.c_str(), code, w, dec)
        : c == "V" ? in >> k && std::getline(in.ignore(1), s) && Db_RecSetField(t, k, s.c_str())
        : c == "D" ? in >> k && Db_GotoRec(t, k) && Db_CurRecDelete(t) : c == "N" ? Db_NewEndDef(t)
        : c == "B" ? Db_NewBeginDef(t, path) : c == "O" ? Db_Open(t, path) : c == "R" ? Db_AddRec(t)
        : c == "A" ? Db_AddRecBegin(t) : c == "E" && Db_AddRecEnd(t), c.c_str());
  Db_Destroy(t), Check(Db_Open(t = Db_Create(), path), "open");
  char buf[300];
  std::printf("{'fields': [");
  for (int32_t i = 1, c; i <= Db_GetNumFields(t) && Db_GetFieldName(t, i, buf); ++i)
    c = Db_GetFieldType(t, i), std::printf("['%s', '%c', %d, %d],", buf, c < 1000 ? c
        : "CNLDFM"[c - 1000], Db_GetFieldWidth(t, i), Db_GetFieldDecimals(t, i));
  std::printf("], 'rows': [");
  for (int32_t k = 1; k <= Db_GetNumRecs(t) && Db_GetRec(t, k) &&
                     std::printf("[%d, [", Db_IsCurRecDeleted(t)); ++k, std::printf("]],"))
    for (int32_t i = 1; i <= Db_GetNumFields(t) && std::printf("b'"); ++i, std::printf("',"))
      for (int32_t j = 0, n = Db_GetFieldValue(t, i, buf); j < n; ++j)
        std::printf("\\x%02x", buf[j] & 0xff);  // bytes as they are
  std::printf("]}\n"), Db_Destroy(t);
}

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "dbf") return Table(argv[2]), 0;
  if (argc != 5) return 2;
  const int mode = std::atoi(argv[3]);
  ShpFile* h = Shp_Create();
  Check(mode ? Shp_Open(h, argv[2], mode) : Shp_New(h, argv[2], atoi(argv[4])), "open");
  const Family* f = FamilyForType(Shp_GetType(h));
  Check(f != nullptr, "type");
  if (mode != 3) Write(h, *f), Check(Shp_Close(h) && Shp_Open(h, argv[2], 3), "reopen");
  return Dump(h, *f), !Shp_Destroy(h);
}
