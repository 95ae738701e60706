// Writing and reading multi-coordinate records, each phase next to its floor:
// one fwrite (or fread) of the same number of bytes through a C stream.
//
//   polylines: 20,000 records of two parts, 250 vertices each
//   PolygonZ:  10,000 records with measures, 4 rings of 100 vertices each
//   MultiPointZ: 20,000 records with measures, 250 points each
//   MultiPatch: 10,000 records with measures, a strip, an outer ring and two
//               inner rings of 100 points each
//
// Write phases build every record through AppendCoord/NewPart and append it,
// from Shp_New to Shp_Close. Read phases open the pair and read every record
// (and, in the *GetCoords variants, copy every vertex out too).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ovrix32.h"

namespace {

constexpr int kLines = 20000;
constexpr int kLineVertices = 250;
constexpr int kPolygons = 10000;
constexpr int kRings = 4;
constexpr int kRingVertices = 100;
constexpr int kMultiPoints = 20000;
constexpr int kMultiPointPoints = 250;
constexpr int kPatches = 10000;
constexpr int kPatchParts = 4;

// A scratch directory for the whole run, removed at exit.
const std::string& Dir() {
  static const std::string dir = [] {
    const char* env = std::getenv("TMPDIR");
    std::string pattern = std::string(env != nullptr && env[0] != '\0' ? env : "/tmp") + "/ovrix32-bench-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Dir(), ec);
    });
    return std::string(buf.data());
  }();
  return dir;
}

std::string Base(const char* name) { return Dir() + "/" + name; }

// The interface takes base names as writable C strings.
std::vector<char> CName(const std::string& s) {
  std::vector<char> name(s.begin(), s.end());
  name.push_back('\0');
  return name;
}

int64_t FileBytes(const std::string& path) {
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  return ec ? 0 : static_cast<int64_t>(size);
}

void WriteLines(const std::string& base) {
  std::vector<char> name = CName(base);
  ShpFile* shp = Shp_Create();
  ShpLine* line = Shp_LineCreate();
  if (Shp_New(shp, name.data(), SHP_POLYLINE) != 1) std::abort();
  for (int r = 0; r < kLines; ++r) {
    for (int i = 0; i < kLineVertices; ++i) {
      if (i == kLineVertices / 2) Shp_LineNewPart(line);
      ShpCoord c = {r + i * 0.5, r - i * 0.25};
      Shp_LineAppendCoord(line, &c);
    }
    Shp_LineAppend(shp, line);
  }
  Shp_Close(shp);
  Shp_LineDestroy(line);
  Shp_Destroy(shp);
}

void WritePolygonsZ(const std::string& base) {
  std::vector<char> name = CName(base);
  ShpFile* shp = Shp_Create();
  ShpPolygonZ* polygon = Shp_PolygonZCreate();
  if (Shp_New(shp, name.data(), SHP_POLYGONZ) != 1) std::abort();
  for (int r = 0; r < kPolygons; ++r) {
    for (int ring = 0; ring < kRings; ++ring) {
      if (ring > 0) Shp_PolygonZNewPart(polygon);
      // 99 vertices and the first one again: the library finds the ring closed.
      for (int i = 0; i < kRingVertices; ++i) {
        const int k = i == kRingVertices - 1 ? 0 : i;
        ShpCoordZ c = {r + ring * 1000.0 + k, r + k * 0.5, k * 2.0, ring + k * 0.125};
        Shp_PolygonZAppendCoord(polygon, &c);
      }
    }
    Shp_PolygonZAppend(shp, polygon, 0);
  }
  Shp_Close(shp);
  Shp_PolygonZDestroy(polygon);
  Shp_Destroy(shp);
}

void WriteMultiPointsZ(const std::string& base) {
  std::vector<char> name = CName(base);
  ShpFile* shp = Shp_Create();
  ShpMultiPointZ* points = Shp_MultiPointZCreate();
  if (Shp_New(shp, name.data(), SHP_MULTIPOINTZ) != 1) std::abort();
  for (int r = 0; r < kMultiPoints; ++r) {
    for (int i = 0; i < kMultiPointPoints; ++i) {
      ShpCoordZ c = {r + i * 0.5, r - i * 0.25, i * 2.0, i * 0.125};
      Shp_MultiPointZAppendCoord(points, &c);
    }
    Shp_MultiPointZAppend(shp, points, 0);
  }
  Shp_Close(shp);
  Shp_MultiPointZDestroy(points);
  Shp_Destroy(shp);
}

void WriteMultiPatches(const std::string& base) {
  static constexpr int32_t kTypes[kPatchParts] = {SHP_PART_TRIANGLE_STRIP, SHP_PART_OUTER_RING,
                                                  SHP_PART_INNER_RING, SHP_PART_INNER_RING};
  std::vector<char> name = CName(base);
  ShpFile* shp = Shp_Create();
  ShpMultiPatch* patch = Shp_MultiPatchCreate(kTypes[0]);
  if (Shp_New(shp, name.data(), SHP_MULTIPATCH) != 1) std::abort();
  for (int r = 0; r < kPatches; ++r) {
    for (int part = 0; part < kPatchParts; ++part) {
      if (part > 0) Shp_MultiPatchNewPart(patch, kTypes[part]);
      // Rings end on their first point: the library finds them closed.
      for (int i = 0; i < kRingVertices; ++i) {
        const int k = part > 0 && i == kRingVertices - 1 ? 0 : i;
        ShpCoordZ c = {r + part * 1000.0 + k, r + k * 0.5, k * 2.0, part + k * 0.125};
        Shp_MultiPatchAppendCoord(patch, &c);
      }
    }
    Shp_MultiPatchAppend(shp, patch, 0);
  }
  Shp_Close(shp);
  Shp_MultiPatchDestroy(patch);
  Shp_Destroy(shp);
}

// Reads every record of the pair; with `coords`, also copies every vertex.
template <typename Obj, typename Coord, typename Create, typename Read, typename Count, typename Get,
          typename Destroy>
int64_t ReadAll(const std::string& base, bool coords, Create create, Read read, Count count, Get get,
                Destroy destroy) {
  std::vector<char> name = CName(base);
  ShpFile* shp = Shp_Create();
  Obj* obj = create();
  if (Shp_Open(shp, name.data(), 3) != 1) std::abort();
  int64_t vertices = 0;
  const int32_t records = Shp_GetNumShapes(shp);
  for (int32_t r = 1; r <= records; ++r) {
    if (read(shp, r, obj) != 1) std::abort();
    const int32_t n = count(obj);
    vertices += n;
    if (coords) {
      Coord c;
      for (int32_t i = 1; i <= n; ++i) get(obj, &c, i);
      benchmark::DoNotOptimize(c);
    }
  }
  Shp_Close(shp);
  destroy(obj);
  Shp_Destroy(shp);
  return vertices;
}

int64_t ReadLines(const std::string& base, bool coords) {
  return ReadAll<ShpLine, ShpCoord>(base, coords, Shp_LineCreate, Shp_LineRead, Shp_LineGetNumCoords,
                                    Shp_LineGetCoord, Shp_LineDestroy);
}

int64_t ReadPolygonsZ(const std::string& base, bool coords) {
  return ReadAll<ShpPolygonZ, ShpCoordZ>(base, coords, Shp_PolygonZCreate, Shp_PolygonZRead,
                                         Shp_PolygonZGetNumCoords, Shp_PolygonZGetCoord, Shp_PolygonZDestroy);
}

int64_t ReadMultiPointsZ(const std::string& base, bool coords) {
  return ReadAll<ShpMultiPointZ, ShpCoordZ>(base, coords, Shp_MultiPointZCreate, Shp_MultiPointZRead,
                                            Shp_MultiPointZGetNumCoords, Shp_MultiPointZGetCoord,
                                            Shp_MultiPointZDestroy);
}

int64_t ReadMultiPatches(const std::string& base, bool coords) {
  return ReadAll<ShpMultiPatch, ShpCoordZ>(
      base, coords, [] { return Shp_MultiPatchCreate(SHP_PART_TRIANGLE_STRIP); }, Shp_MultiPatchRead,
      Shp_MultiPatchGetNumCoords, Shp_MultiPatchGetCoord, Shp_MultiPatchDestroy);
}

// The floors: the same number of bytes in one stream call.
void FloorWrite(const std::string& path, const std::vector<char>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  std::fclose(f);
}

void FloorRead(const std::string& path, std::vector<char>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr || std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  std::fclose(f);
}

// Size of both files of a pair written once, for the floors and the counters.
int64_t PairBytes(const std::string& base) { return FileBytes(base + ".shp") + FileBytes(base + ".shx"); }

const std::string& LinesFile() {
  static const std::string base = [] {
    std::string b = Base("lines-read");
    WriteLines(b);
    return b;
  }();
  return base;
}

const std::string& PolygonsZFile() {
  static const std::string base = [] {
    std::string b = Base("polygonz-read");
    WritePolygonsZ(b);
    return b;
  }();
  return base;
}

const std::string& MultiPointsZFile() {
  static const std::string base = [] {
    std::string b = Base("multipointz-read");
    WriteMultiPointsZ(b);
    return b;
  }();
  return base;
}

const std::string& MultiPatchesFile() {
  static const std::string base = [] {
    std::string b = Base("multipatch-read");
    WriteMultiPatches(b);
    return b;
  }();
  return base;
}

// A write phase: Shp_New, every record built and appended, Shp_Close.
template <void (*Write)(const std::string&)>
void BM_Write(benchmark::State& state) {
  const std::string base = Base("write");
  for (auto _ : state) Write(base);
  state.SetBytesProcessed(state.iterations() * PairBytes(base));
}

// A read phase over the pair File() gives; with Coords every vertex is
// copied out as well.
template <const std::string& (*File)(), int64_t (*Read)(const std::string&, bool), bool Coords>
void BM_Read(benchmark::State& state) {
  const std::string& base = File();
  for (auto _ : state) benchmark::DoNotOptimize(Read(base, Coords));
  state.SetBytesProcessed(state.iterations() * PairBytes(base));
}

// The write floor: one fwrite of as many bytes as the pair holds.
template <const std::string& (*File)()>
void BM_FloorWrite(benchmark::State& state) {
  std::vector<char> bytes(static_cast<size_t>(PairBytes(File())), 'x');
  const std::string path = Base("floor-write");
  for (auto _ : state) FloorWrite(path, bytes);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

// The read floor reads the very pair the library reads (same page-cache
// state), each file with one fread.
template <const std::string& (*File)()>
void BM_FloorRead(benchmark::State& state) {
  const std::string shpPath = File() + ".shp", shxPath = File() + ".shx";
  std::vector<char> shp(static_cast<size_t>(FileBytes(shpPath)));
  std::vector<char> shx(static_cast<size_t>(FileBytes(shxPath)));
  for (auto _ : state) {
    FloorRead(shpPath, shp);
    FloorRead(shxPath, shx);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(shp.size() + shx.size()));
}

BENCHMARK(BM_Write<WriteLines>)->Name("Polyline/Write")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorWrite<LinesFile>)->Name("Polyline/FloorWrite")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read<LinesFile, ReadLines, false>)->Name("Polyline/Read")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read<LinesFile, ReadLines, true>)->Name("Polyline/ReadGetCoords")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorRead<LinesFile>)->Name("Polyline/FloorRead")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write<WritePolygonsZ>)->Name("PolygonZ/Write")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorWrite<PolygonsZFile>)->Name("PolygonZ/FloorWrite")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read<PolygonsZFile, ReadPolygonsZ, false>)->Name("PolygonZ/Read")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read<PolygonsZFile, ReadPolygonsZ, true>)->Name("PolygonZ/ReadGetCoords")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorRead<PolygonsZFile>)->Name("PolygonZ/FloorRead")->Unit(benchmark::kMillisecond);

BENCHMARK(BM_Write<WriteMultiPointsZ>)->Name("MultiPointZ/Write")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorWrite<MultiPointsZFile>)->Name("MultiPointZ/FloorWrite")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read<MultiPointsZFile, ReadMultiPointsZ, false>)->Name("MultiPointZ/Read")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read<MultiPointsZFile, ReadMultiPointsZ, true>)
    ->Name("MultiPointZ/ReadGetCoords")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorRead<MultiPointsZFile>)->Name("MultiPointZ/FloorRead")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write<WriteMultiPatches>)->Name("MultiPatch/Write")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorWrite<MultiPatchesFile>)->Name("MultiPatch/FloorWrite")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read<MultiPatchesFile, ReadMultiPatches, false>)->Name("MultiPatch/Read")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read<MultiPatchesFile, ReadMultiPatches, true>)
    ->Name("MultiPatch/ReadGetCoords")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorRead<MultiPatchesFile>)->Name("MultiPatch/FloorRead")->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
