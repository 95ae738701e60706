// Whole files written and read through the interface, each timed against its
// floor: the same bytes moved by one fwrite (or one fread per file) through a
// C stream. Floor and workload are timed in the same iteration, one after the
// other, so that their ratio holds up on a loaded machine.
//
//   workload                                               targets (x floor)
//   P  1,000,000 Point records, one Shp_PointAppend each    write 3   read 3
//   L  20,000 Polylines, 2 parts x 250 vertices             write 2   read 1.5
//   Z  10,000 PolygonZ with measures, 4 closed rings x 100  write 2   read 1.5
//   T  500,000 rows N 10, C 24, F 16.4, L 1, values as text write 6   read 4
//
// A write runs from Shp_New (Db_NewBeginDef) to Shp_Close (Db_AddRecEnd), a
// read from the open to the close; the read floor reads the very same files.
// 5 repetitions of one iteration each; the console shows the minimum of every
// column over them (--benchmark_out=file keeps them all). Counters: ratio =
// workload / floor, floor_ms, syscalls_per_rec (counted by the library's file
// layer), bytes_per_rec.
// OVRIX_BENCH_NO_FLOOR=1 skips the floors, so strace sees the workload alone.
// X/check runs `ovrix check` on workload X's files; its floor is the library's
// read of them (target: check under 2x that read).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ovrix32.h"
#include "platform/file.h"  // the file layer's count of system calls

namespace {

constexpr int kPoints = 1000000;
constexpr int kLines = 20000, kLineVertices = 250;
constexpr int kPolygons = 10000, kRings = 4, kRingVertices = 100;
constexpr int kRows = 500000;
constexpr int kDistinct = 1024;  // prepared values per field

// A failing library must not post fast numbers.
void Check(bool ok) {
  if (!ok) std::abort();
}

int64_t SystemCalls() { return ovrix::platform::File_SystemCalls(); }

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A scratch directory for the whole run, removed at exit.
const std::string& Dir() {
  static const std::string dir = [] {
    std::string pattern = std::filesystem::temp_directory_path() / "ovrix32-bench-XXXXXX";
    Check(mkdtemp(pattern.data()) != nullptr);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Dir(), ec);
    });
    return pattern;
  }();
  return dir;
}

// Shp_New(base, type), then every record built by `build` into one object and
// appended, then Shp_Close.
template <typename Obj, typename Build, typename Append>
void WriteShapes(const std::string& base, int32_t type, int records, Obj* (*create)(), Build build,
                 Append append, int32_t (*destroy)(Obj*)) {
  std::string name = base;  // the interface takes a writable string
  ShpFile* shp = Shp_Create();
  Obj* obj = create();
  Check(Shp_New(shp, name.data(), type) == 1);
  for (int r = 0; r < records; ++r) {
    build(obj, r);
    Check(append(shp, obj) == 1);
  }
  Check(Shp_Close(shp) == 1);
  destroy(obj);
  Shp_Destroy(shp);
}

// Opens the pair for reading and reads records 1..N into one object.
template <int records, auto create, auto read, auto destroy>
void ReadShapes(const std::string& base) {
  std::string name = base;
  ShpFile* shp = Shp_Create();
  auto* obj = create();
  Check(Shp_Open(shp, name.data(), 3) == 1 && Shp_GetNumShapes(shp) == records);
  for (int32_t n = 1; n <= records; ++n) Check(read(shp, n, obj) == 1);
  Check(Shp_Close(shp) == 1);
  destroy(obj);
  Shp_Destroy(shp);
}

constexpr auto ReadPoints = ReadShapes<kPoints, Shp_PointCreate, Shp_PointRead, Shp_PointDestroy>;
constexpr auto ReadLines = ReadShapes<kLines, Shp_LineCreate, Shp_LineRead, Shp_LineDestroy>;
constexpr auto ReadPolygonsZ =
    ReadShapes<kPolygons, Shp_PolygonZCreate, Shp_PolygonZRead, Shp_PolygonZDestroy>;

void WritePoints(const std::string& base) {
  auto build = [](ShpPoint* point, int r) {
    ShpCoord c = {r * 0.5, r * -0.25};
    Check(Shp_PointAppendCoord(point, &c) == 1);
  };
  WriteShapes(base, SHP_POINT, kPoints, Shp_PointCreate, build, Shp_PointAppend, Shp_PointDestroy);
}

void WriteLines(const std::string& base) {
  auto build = [](ShpLine* line, int r) {
    for (int part = 0; part < 2; ++part) {
      if (part > 0) Check(Shp_LineNewPart(line) == 1);
      for (int i = 0; i < kLineVertices; ++i) {
        ShpCoord c = {r + part * 500.0 + i * 0.5, r - i * 0.25};
        Check(Shp_LineAppendCoord(line, &c) == 1);
      }
    }
  };
  WriteShapes(base, SHP_POLYLINE, kLines, Shp_LineCreate, build, Shp_LineAppend, Shp_LineDestroy);
}

void WritePolygonsZ(const std::string& base) {
  auto build = [](ShpPolygonZ* polygon, int r) {
    for (int ring = 0; ring < kRings; ++ring) {
      if (ring > 0) Check(Shp_PolygonZNewPart(polygon) == 1);
      for (int i = 0; i < kRingVertices; ++i) {
        const int k = i == kRingVertices - 1 ? 0 : i;  // the last vertex closes the ring
        ShpCoordZ c = {r + ring * 1000.0 + k, r + k * 0.5, ring + k * 0.125, k * 2.0};  // x y m z
        Check(Shp_PolygonZAppendCoord(polygon, &c) == 1);
      }
    }
  };
  auto append = [](ShpFile* shp, ShpPolygonZ* polygon) { return Shp_PolygonZAppend(shp, polygon, 0); };
  WriteShapes(base, SHP_POLYGONZ, kPolygons, Shp_PolygonZCreate, build, append, Shp_PolygonZDestroy);
}

void WriteTable(const std::string& base) {
  // The values, handed over as text: kDistinct per field (N, C, F, L), made on
  // the first call, which prepares the file for reading and is not timed.
  static const auto pool = [] {
    std::vector<std::array<std::string, 4>> p(kDistinct);
    for (int i = 0; i < kDistinct; ++i) {
      char real[32];
      std::snprintf(real, sizeof real, "%.4f", i * 3.14159);
      p[i] = {std::to_string(i * 7919), "place " + std::to_string(i) + " of the table", real,
              std::string(1, "TF?"[i % 3])};
    }
    return p;
  }();
  DbTable* t = Db_Create();
  Check(Db_NewBeginDef(t, (base + ".dbf").c_str()) == 1);
  Check(Db_NewAddField(t, "ID", DB_NUMERIC, 10, 0) == 1);
  Check(Db_NewAddField(t, "NAME", DB_CHARACTER, 24, 0) == 1);
  Check(Db_NewAddField(t, "VALUE", DB_FLOAT, 16, 4) == 1);
  Check(Db_NewAddField(t, "OK", DB_LOGICAL, 1, 0) == 1);
  Check(Db_NewEndDef(t) == 1 && Db_AddRecBegin(t) == 1);
  for (int r = 0; r < kRows; ++r) {
    for (int f = 0; f < 4; ++f) Check(Db_RecSetField(t, f + 1, pool[r % kDistinct][f].c_str()) == 1);
    Check(Db_AddRec(t) == 1);
  }
  Check(Db_AddRecEnd(t) == 1 && Db_Close(t) == 1);
  Db_Destroy(t);
}

void ReadTable(const std::string& base) {
  DbTable* t = Db_Create();
  Check(Db_Open(t, (base + ".dbf").c_str()) == 1 && Db_GetNumRecs(t) == kRows);
  char out[256];
  for (int32_t r = 1; r <= kRows; ++r) {
    Check(Db_SetRecNum(t, r) == 1);
    for (int32_t f = 1; f <= 4; ++f) Check(Db_GetFieldValue(t, f, out) > 0);  // no value is blank
  }
  Check(Db_Close(t) == 1);
  Db_Destroy(t);
}

struct Workload {
  const char* name;
  int records;
  std::vector<std::string> extensions;  // of the files it writes and reads
  void (*write)(const std::string& base);
  void (*read)(const std::string& base);
};

const Workload kWorkloads[] = {
    {"P", kPoints, {".shp", ".shx"}, WritePoints, ReadPoints},
    {"L", kLines, {".shp", ".shx"}, WriteLines, ReadLines},
    {"Z", kPolygons, {".shp", ".shx"}, WritePolygonsZ, ReadPolygonsZ},
    {"T", kRows, {".dbf"}, WriteTable, ReadTable},
};

std::vector<std::string> Files(const Workload& w, const std::string& base) {
  std::vector<std::string> files;
  for (const std::string& ext : w.extensions) files.push_back(base + ext);
  return files;
}

int64_t TotalBytes(const std::vector<std::string>& files) {
  int64_t total = 0;
  for (const std::string& f : files) total += static_cast<int64_t>(std::filesystem::file_size(f));
  return total;
}

// The files a read workload reads, written once per run (untimed); their size
// also sizes the write floor.
const std::string& Prepared(const Workload& w) {
  static std::string bases[std::size(kWorkloads)];
  std::string& base = bases[&w - kWorkloads];
  if (base.empty()) w.write(base = Dir() + "/" + w.name);
  return base;
}

// The write floor: a new file, one fwrite of the buffer, fclose.
double FloorWrite(const std::string& path, const std::vector<char>& buffer) {
  const auto start = std::chrono::steady_clock::now();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  Check(f != nullptr && std::fwrite(buffer.data(), 1, buffer.size(), f) == buffer.size());
  Check(std::fclose(f) == 0);
  const double seconds = Seconds(start);
  std::filesystem::remove(path);
  return seconds;
}

// The read floor: each file with one fread into the preallocated buffer.
double FloorRead(const std::vector<std::string>& files, std::vector<char>& buffer) {
  const auto start = std::chrono::steady_clock::now();
  char* to = buffer.data();
  for (const std::string& path : files) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    Check(f != nullptr);
    to += std::fread(to, 1, static_cast<size_t>(buffer.data() + buffer.size() - to), f);
    std::fclose(f);
  }
  Check(to == buffer.data() + buffer.size());
  return Seconds(start);
}

// Each iteration: the floor (which times itself), the timed workload, then
// the untimed `after`.
template <typename Floor, typename Work, typename After>
void Measure(benchmark::State& state, const Workload& w, int64_t bytes, Floor floor, Work work, After after) {
  const char* noFloor = std::getenv("OVRIX_BENCH_NO_FLOOR");
  const bool withFloor = noFloor == nullptr || std::strcmp(noFloor, "1") != 0;
  double floorSeconds = 0, workSeconds = 0;
  int64_t calls = 0;
  for (auto _ : state) {
    if (withFloor) floorSeconds += floor();
    const int64_t before = SystemCalls();
    const auto start = std::chrono::steady_clock::now();
    work();
    const double seconds = Seconds(start);
    calls += SystemCalls() - before;
    workSeconds += seconds;
    state.SetIterationTime(seconds);
    after();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["ratio"] = floorSeconds > 0 ? workSeconds / floorSeconds : 0;
  state.counters["floor_ms"] = floorSeconds * 1e3 / n;
  state.counters["syscalls_per_rec"] = SystemCalls() < 0 ? -1 : calls / (n * w.records);
  state.counters["bytes_per_rec"] = static_cast<double>(bytes) / w.records;
}

void BM_Write(benchmark::State& state, const Workload* w) {
  const int64_t bytes = TotalBytes(Files(*w, Prepared(*w)));
  const std::vector<char> buffer(static_cast<size_t>(bytes), 'x');
  const std::string base = Dir() + "/" + w->name + "-write", floorPath = Dir() + "/floor";
  const std::vector<std::string> files = Files(*w, base);
  auto after = [&] {
    Check(TotalBytes(files) == bytes);  // as much as the floor wrote
    for (const std::string& f : files) std::filesystem::remove(f);
  };
  Measure(
      state, *w, bytes, [&] { return FloorWrite(floorPath, buffer); }, [&] { w->write(base); }, after);
}

void BM_Read(benchmark::State& state, const Workload* w) {
  const std::string& base = Prepared(*w);
  const std::vector<std::string> files = Files(*w, base);
  const int64_t bytes = TotalBytes(files);
  std::vector<char> buffer(static_cast<size_t>(bytes), 'x');
  Measure(
      state, *w, bytes, [&] { return FloorRead(files, buffer); }, [&] { w->read(base); }, [] {});
}

#ifdef OVRIX_TOOL
// `ovrix check` of a read workload's files (a process of its own, started through the shell),
// against the library reading the same records: the floor column is then that read, and the
// ratio's target is 2.
void BM_Check(benchmark::State& state, const Workload* w) {
  const std::string& base = Prepared(*w);
  const std::string command = std::string(OVRIX_TOOL) + " check --quiet " + base + " >/dev/null";
  auto libraryRead = [&] {
    const auto start = std::chrono::steady_clock::now();
    w->read(base);
    return Seconds(start);
  };
  Measure(state, *w, TotalBytes(Files(*w, base)), libraryRead,
          [&] { Check(std::system(command.c_str()) == 0); }, [] {});
}
#endif

// One console line per benchmark: the minimum of each column over the
// repetitions (or the single run), with plain numbers.
class MinimumReporter : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context& context) override {
    PrintBasicContext(&GetErrorStream(), context);
    std::printf("%-9s %12s %9s %7s %17s %14s\n", "benchmark", "workload_ms", "floor_ms", "ratio",
                "syscalls_per_rec", "bytes_per_rec");
    return true;
  }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (Run run : runs) {
      if (run.run_type == Run::RT_Aggregate ? run.aggregate_name != "min" : run.repetitions > 1) continue;
      std::printf("%-9s %12.1f %9.1f %7.2f %17.6f %14.1f\n", run.run_name.function_name.c_str(),
                  run.GetAdjustedRealTime(), run.counters["floor_ms"].value, run.counters["ratio"].value,
                  run.counters["syscalls_per_rec"].value, run.counters["bytes_per_rec"].value);
    }
    std::fflush(stdout);
  }
};

double Minimum(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

}  // namespace

int main(int argc, char** argv) {
  // --benchmark_repetitions on the command line replaces the default of 5.
  const bool repetitionsGiven = std::any_of(argv + 1, argv + argc, [](const char* arg) {
    return std::strncmp(arg, "--benchmark_repetitions", 23) == 0;
  });
  auto add = [&](const Workload& w, const char* what, void (*run)(benchmark::State&, const Workload*)) {
    auto* bench = benchmark::RegisterBenchmark((std::string(w.name) + what).c_str(), run, &w);
    bench->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
    bench->ComputeStatistics("min", Minimum);
    if (!repetitionsGiven) bench->Repetitions(5);
  };
  for (const Workload& w : kWorkloads) add(w, "/write", BM_Write), add(w, "/read", BM_Read);
#ifdef OVRIX_TOOL
  for (const Workload& w : kWorkloads) add(w, "/check", BM_Check);
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  MinimumReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
