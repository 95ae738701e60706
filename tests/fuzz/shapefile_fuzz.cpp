// Fuzz target: a shape-file pair that the library did not write.
//
// Input layout: byte 0 holds flags, bytes 1-4 the length of the .shp part
// (little-endian, cut to what is there); then the .shp bytes, then the .shx
// bytes (the rest). The target
//  1. asks Shp_IsShapeFile about both files;
//  2. opens the pair for reading and queries the handle;
//  3. reads records (all of them up to a cap, and record numbers at the edges)
//     with the family of the file's type, and checks that every other family
//     refuses them; the library may allocate no more than the file could
//     describe;
//  4. appends every record it read to a new pair of the same type and reads
//     that pair back: each record must come back as it was read;
//  5. opens the pair in append mode, appends a record and reads it back.
// Nothing may crash, hang or leak, and every object must stay destroyable.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "families.h"
#include "fuzz_util.h"
#include "ovrix32.h"
#include "platform/mem.h"

using namespace ovrix::fuzz;
using namespace ovrix::hardening;

namespace {

constexpr int32_t kMaxRecordsRead = 200;

enum Flags : uint8_t {
  kReserveHandles = 1,  // read with the file-handle reserve active
  kTryAppendMode = 2,   // also open the pair in mode 2 and append
};

// Every query of a handle; results must not depend on anything but the
// handle, and none may crash.
void QueryHandle(ShpFile* shp) {
  char typeName[16];
  int32_t len = Shp_GetTypeAsString(shp, typeName);
  FUZZ_CHECK(len >= 4 && len <= 14 && std::strlen(typeName) == static_cast<size_t>(len));
  char name[260];
  FUZZ_CHECK(Shp_GetFileName(shp, name) == 1);
  FUZZ_CHECK(std::strlen(name) <= 251);
  Bbox box;
  Shp_GetBoundingBox(shp, &box);
  double a, b;
  FUZZ_CHECK(Shp_GetMeasureRange(shp, &a, &b) == 1);
  FUZZ_CHECK(Shp_GetZCoordRange(shp, &a, &b) == 1);
  FUZZ_CHECK(Shp_GetMeasureRange(shp, nullptr, &b) == 0);
  (void)Shp_GetVersion(shp);
  (void)Shp_GetNumShapes(shp);
  int32_t (*const predicates[])(ShpFile*) = {
      Shp_IsPointType,  Shp_IsLineType,      Shp_IsPolyType,        Shp_IsMultiPointType, Shp_IsPointZType,
      Shp_IsLineZType,  Shp_IsPolyZType,     Shp_IsMultiPointZType, Shp_IsPointMType,     Shp_IsLineMType,
      Shp_IsPolyMType,  Shp_IsMultiPointMType, Shp_IsMultiPatchType};
  int32_t hits = 0;
  for (auto p : predicates) hits += p(shp);
  FUZZ_CHECK(hits <= 1);
  FUZZ_CHECK(Shp_ApiGetVersion() == 100);
}

// Record numbers to read: 1..min(count, cap), then the edges.
std::vector<int32_t> RecordNumbers(int32_t count) {
  std::vector<int32_t> out;
  const int32_t upto = count < kMaxRecordsRead ? count : kMaxRecordsRead;
  for (int32_t i = 1; i <= upto; ++i) out.push_back(i);
  const int32_t edges[] = {0, -1, INT32_MIN, INT32_MAX, INT32_MAX - 1, count, count + (count < INT32_MAX ? 1 : 0)};
  for (int32_t e : edges) out.push_back(e);
  return out;
}

// Part starts that describe parts in order inside the points: only for
// such records does the target predict what an append writes.
bool SaneParts(const RecordImage& img) {
  const int32_t n = static_cast<int32_t>(img.points.size());
  int32_t prev = 0;
  for (int32_t s : img.partStarts) {
    if (s < prev || s > n) return false;
    prev = s;
  }
  return img.numParts == static_cast<int32_t>(img.partStarts.size());
}

// What an append of a record read as `img` writes, as it reads back: a
// polyline drops an empty last part; a polygon drops an empty last ring or
// closes it by repeating its first vertex; a MultiPatch closes its last part
// when it is a ring, then drops it when it is empty.
RecordImage ExpectedAfterAppend(const Family& f, RecordImage img) {
  if (img.numParts < 1 || !SaneParts(img)) return img;
  const size_t first = static_cast<size_t>(img.partStarts.back());
  const bool empty = first == img.points.size();
  const bool ring = f.kind == Kind::Polygon || (f.kind == Kind::MultiPatch && IsRing(img.partTypes.back()));
  if (ring && !empty && !RingClosed(img.points[first], img.points.back(), f.dims)) img.points.push_back(img.points[first]);
  if (empty && f.kind != Kind::Point && f.kind != Kind::MultiPoint) {
    img.partStarts.pop_back();
    if (!img.partTypes.empty()) img.partTypes.pop_back();
    --img.numParts;
  }
  return img;
}

bool SameRecord(const Family& f, const RecordImage& a, const RecordImage& b) {
  return SamePoints(a.points, b.points, f.dims) && a.numParts == b.numParts && a.partStarts == b.partStarts &&
         a.partTypes == b.partTypes;
}

// A record object read with measures reports them; without, NO_DATA. Writing
// it back without measures keeps what it reports.
int32_t NoMeasuresFor(const Family& f, const RecordImage& img) {
  if (f.measureRange == nullptr || f.kind == Kind::Point) return 0;
  if (img.mmin != NO_DATA || img.mmax != NO_DATA) return 0;
  for (const Vertex& v : img.points)
    if (v.m != NO_DATA) return 0;
  return 1;
}

// Reads the pair and appends every record read, as the object holds it, to
// a new pair of the same type; then checks that the copy reads back.
void ReadAndCopy(char* base, size_t inputSize) {
  ShpFile* shp = Shp_Create();
  FUZZ_CHECK(shp != nullptr);
  const int32_t opened = Shp_Open(shp, base, 3);
  QueryHandle(shp);
  if (opened != 1) {
    FUZZ_CHECK(Shp_GetType(shp) == 0 && Shp_GetNumShapes(shp) == 0);
    FUZZ_CHECK(Shp_Destroy(shp) == 1);
    return;
  }
  const int32_t type = Shp_GetType(shp);
  const Family* own = FamilyForType(type);
  std::string copyStr = ScratchPath("copy");
  std::vector<char> copyBase = WritableName(copyStr);
  ShpFile* copy = Shp_Create();
  FUZZ_CHECK(copy != nullptr);
  if (own != nullptr) FUZZ_CHECK(Shp_New(copy, copyBase.data(), type) == 1);

  std::vector<void*> objects;
  for (const Family& f : Families()) objects.push_back(f.create(2));
  std::vector<RecordImage> written;
  for (int32_t n : RecordNumbers(Shp_GetNumShapes(shp))) {
    for (size_t i = 0; i < Families().size(); ++i) {
      const Family& f = Families()[i];
      if (&f != own) {
        FUZZ_CHECK(f.read(shp, n, objects[i]) == 0);
        continue;
      }
      HeapWatch watch;
      const int32_t ok = f.read(shp, n, objects[i]);
      FUZZ_CHECK(watch.PeakGrowth() <= AllowedGrowth(inputSize));
      if (n < 1) FUZZ_CHECK(ok == 0);
      if (ok != 1 || n > kMaxRecordsRead) continue;
      const RecordImage img = Capture(f, objects[i]);
      if (f.kind != Kind::Point) FUZZ_CHECK(f.getId(objects[i]) == n);
      FUZZ_CHECK(f.append(copy, objects[i], NoMeasuresFor(f, img)) == 1);
      written.push_back(ExpectedAfterAppend(f, img));
      if (f.kind != Kind::Point && !SaneParts(img)) written.back().numParts = -1;  // not predicted
    }
  }
  // Probes outside the valid ranges of a record object.
  if (own != nullptr) {
    void* obj = objects[static_cast<size_t>(own - Families().data())];
    Vertex v;
    if (own->kind != Kind::Point) {
      FUZZ_CHECK(own->getCoord(obj, 0, &v) == 0);
      FUZZ_CHECK(own->getCoord(obj, INT32_MIN, &v) == 0);
      FUZZ_CHECK(own->getCoord(obj, own->numCoords(obj) + 1, &v) == 0);
    }
    if (own->partOffset != nullptr) {
      FUZZ_CHECK(own->partOffset(obj, 0) == PART_INVALID);
      FUZZ_CHECK(own->partOffset(obj, INT32_MIN) == PART_INVALID);
      (void)own->partOffset(obj, INT32_MAX);
    }
    if (own->typeInPart != nullptr) FUZZ_CHECK(own->typeInPart(obj, 0) == PART_INVALID);
  }
  for (size_t i = 0; i < objects.size(); ++i) FUZZ_CHECK(Families()[i].destroy(objects[i]) == 1);
  FUZZ_CHECK(Shp_Destroy(shp) == 1);

  FUZZ_CHECK(Shp_Close(copy) == 1);
  if (own != nullptr) {
    FUZZ_CHECK(Shp_Open(copy, copyBase.data(), 3) == 1);
    FUZZ_CHECK(Shp_GetNumShapes(copy) == static_cast<int32_t>(written.size()));
    void* obj = own->create(2);
    for (size_t i = 0; i < written.size(); ++i) {
      FUZZ_CHECK(own->read(copy, static_cast<int32_t>(i + 1), obj) == 1);
      if (written[i].numParts >= 0) FUZZ_CHECK(SameRecord(*own, Capture(*own, obj), written[i]));
    }
    own->destroy(obj);
  }
  FUZZ_CHECK(Shp_Destroy(copy) == 1);
}

// Opens the input pair in append mode; when that succeeds, appends one record
// and checks that the pair then holds one record more, which reads back.
void AppendToInput(char* base, Reader& in) {
  ShpFile* shp = Shp_Create();
  if (Shp_Open(shp, base, 2) != 1) {
    QueryHandle(shp);
    Shp_Destroy(shp);
    return;
  }
  QueryHandle(shp);
  const int32_t type = Shp_GetType(shp);
  const int32_t before = Shp_GetNumShapes(shp);
  const Family* f = FamilyForType(type);
  if (f == nullptr) {
    // A pair of a type no family writes: every append is refused.
    for (const Family& g : Families()) {
      void* obj = g.create(2);
      FUZZ_CHECK(g.append(shp, obj, 0) == 0);
      g.destroy(obj);
    }
    Shp_Destroy(shp);
    return;
  }
  void* obj = f->create(2);
  Vertex v{in.Double(), in.Double(), in.Double(), in.Double()};
  FUZZ_CHECK(f->appendCoord(obj, v) == 1);
  RecordImage want = Capture(*f, obj);
  // Appended with measures: the stored m goes out even where the object
  // does not report it yet (a new MultiPoint object).
  for (Vertex& p : want.points)
    if (f->dims >= 3) p.m = v.m;
  const int32_t appended = f->append(shp, obj, 0);
  FUZZ_CHECK(Shp_Close(shp) == 1);
  if (appended == 1) {
    want = ExpectedAfterAppend(*f, want);
    FUZZ_CHECK(Shp_Open(shp, base, 3) == 1);
    FUZZ_CHECK(Shp_GetNumShapes(shp) == before + 1);
    FUZZ_CHECK(f->read(shp, before + 1, obj) == 1);
    FUZZ_CHECK(SameRecord(*f, Capture(*f, obj), want));
  }
  f->destroy(obj);
  Shp_Destroy(shp);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in(data, size);
  const uint8_t flags = in.U8();
  const uint32_t shpLen = in.U32();
  const std::vector<uint8_t> shpBytes = in.Bytes(shpLen);
  const std::vector<uint8_t> shxBytes = in.Bytes(in.Remaining());
  const std::string shpPath = ScratchPath("in.shp");
  const std::string shxPath = ScratchPath("in.shx");
  WriteBytes(shpPath, shpBytes.data(), shpBytes.size());
  WriteBytes(shxPath, shxBytes.data(), shxBytes.size());
  std::string baseStr = ScratchPath("in");
  std::vector<char> base = WritableName(baseStr);

  const int64_t liveBefore = ovrix::Mem_LiveBlocks();
  if (flags & kReserveHandles) FUZZ_CHECK(Shp_ReserveFileHandles(2) == 2);

  const int32_t isShp = Shp_IsShapeFile(shpPath.c_str());
  FUZZ_CHECK(isShp == (shpBytes.size() >= 4 && shpBytes[0] == 0 && shpBytes[1] == 0 && shpBytes[2] == 0x27 &&
                       shpBytes[3] == 0x0A));
  (void)Shp_IsShapeFile(shxPath.c_str());

  ReadAndCopy(base.data(), size);
  if (flags & kTryAppendMode) AppendToInput(base.data(), in);

  if (flags & kReserveHandles) // Files opened while the reserve was empty add a placeholder when they
  // close, so the reserve can only have grown.
  FUZZ_CHECK(Shp_FreeFileHandles() >= 2);
  FUZZ_CHECK(Shp_GetNumReservedFileHandles() == 0);
  FUZZ_CHECK(ovrix::Mem_LiveBlocks() == liveBefore);
  return 0;
}
