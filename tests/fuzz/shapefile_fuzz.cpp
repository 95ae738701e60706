// Fuzz target: a shape-file pair the library did not write. Byte 0: flags (bit 0: handles in
// reserve), bytes 1-4: .shp length (little-endian, cut to what is there), .shp bytes, .shx bytes.
#include "fuzz_util.h"

// Record n of a type with several points as family f reads it.
RecordImage Stored(const Family& f, const Buf& shp, const Buf& shx, int32_t n) {
  auto d = [&](size_t at) { return Le<double>(shp, at); };
  const size_t rec = 2 * Be(shx, 92 + 8 * size_t(n)), at = rec + 12, hp = f.numParts != nullptr;
  const size_t np = size_t(Le(shp, at + 32 + 4 * hp)), parts = hp ? size_t(Le(shp, at + 32)) : 0;
  const size_t xy = at + 36 + 4 * hp + 4 * parts * (1 + !!f.typeInPart), z = xy + 16 * np + 16;
  const size_t m = z + (f.dims == 4 ? 8 * np + 16 : 0);  // z and m values, behind their ranges
  const bool hasM = f.dims >= 3 && 2 * Be(shx, 96 + 8 * size_t(n)) + 24 > m - rec;
  RecordImage r{int32_t(parts), {}, {}, {}, Le<Bbox>(shp, at)};
  for (size_t p = at + 40; p < xy; p += 4)  // part starts, then part types
    (p < at + 40 + 4 * parts ? r.partStarts : r.partTypes).push_back(Le(shp, p));
  for (size_t i = 0; i < 8 * np; i += 8)
    r.points.push_back({d(xy + 2 * i), d(xy + 2 * i + 8), hasM ? d(m + i) : NO_DATA, d(z + i)});
  if (f.dims == 4) r.zmin = d(z - 16), r.zmax = d(z - 8);
  if (f.dims >= 3) r.mmin = hasM ? d(m - 16) : NO_DATA, r.mmax = hasM ? d(m - 8) : NO_DATA;
  return r;
}

void ReadAll(const Buf& shp, const Buf& shx) {
  ShpFile* file = Shp_Create();
  const int32_t ok = Shp_Open(file, WritableName(Scratch("in")).data(), 3);
  const int32_t type = Shp_GetType(file), recs = Shp_GetNumShapes(file), w = int32_t(Be(shx, 24));
  Bbox box; double zm[4];  // the header's box, z and m ranges and record count are as stored
  CHECK(!Shp_GetMeasureRange(file, nullptr, zm) && Shp_GetBoundingBox(file, &box) == 1);
  CHECK(Shp_GetMeasureRange(file, &zm[2], &zm[3]) && Shp_GetZCoordRange(file, &zm[0], &zm[1]));
  CHECK(!ok || shp.size() < 100 || (!memcmp(&shp[36], &box, 32) && !memcmp(&shp[68], zm, 32)));
  CHECK(ok ? shx.size() < 28 || recs == int32_t((2 * int64_t(w) - 100) / 8) : !type && !recs);
  const int32_t odd[] = {0, -1, INT32_MIN, INT32_MAX, recs + 1};
  for (const Family& f : Families()) {  // each reads all records: the type's family as stored
    void* obj = f.create(2);
    for (int32_t k = -4; k <= std::min(recs, 200); ++k) {
      const int32_t n = k < 1 ? odd[-k] : k, point = f.kind == Kind::Point;
      if (f.read(file, n, obj) == 0) continue;
      CHECK(ok && f.shapeType == type && n > 0 && (point || (n <= recs && f.getId(obj) == n)));
      CHECK(point || SameImage(f, Capture(f, obj), Stored(f, shp, shx, n), true));
    }
    CHECK(f.destroy(obj) == 1);
  }
  CHECK(Shp_Destroy(file) == 1);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  const bool reserve = in.Take(1) & 1;
  const Buf shp = in.Part(in.Take(4)), shx = in.Part(in.n);
  WriteFile(Scratch("in.shp"), shp), WriteFile(Scratch("in.shx"), shx);
  return Guarded(reserve, 2, [&] { ReadAll(shp, shx); });
}
