// Attribute tables: writing and reading 500,000 records of four fields
// (numeric 10, character 24, float 16.4, logical) through the Db_ interface,
// against the floor of one fwrite / one fread of the same bytes.
//
// Each table phase should stay within 50x of its floor. Under strace -c the
// write phase should show about one write(2) per stream buffer, not one per
// record, and the read phase about one read(2) per buffer and no lseek(2).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ovrix32.h"

namespace {

constexpr int kRecords = 500000;
constexpr int kDistinct = 1024;  // distinct values per field, made before timing

struct Values {
  std::vector<std::string> num, text, real, flag;
};

const Values& SampleValues() {
  static Values v = [] {
    Values s;
    char buf[64];
    for (int i = 0; i < kDistinct; ++i) {
      std::snprintf(buf, sizeof buf, "%d", i * 7919);
      s.num.emplace_back(buf);
      std::snprintf(buf, sizeof buf, "place %d of the table", i);
      s.text.emplace_back(buf);
      std::snprintf(buf, sizeof buf, "%.4f", i * 3.14159);
      s.real.emplace_back(buf);
      s.flag.emplace_back(i % 3 == 0 ? "T" : i % 3 == 1 ? "F" : "?");
    }
    return s;
  }();
  return v;
}

const std::string& WorkDir() {
  static std::string dir = [] {
    const char* root = std::getenv("TMPDIR");
    std::string pattern = std::string(root != nullptr && *root != '\0' ? root : "/tmp") + "/ovrix32-bench-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) std::abort();
    std::string d = buf.data();
    std::atexit([] { std::filesystem::remove_all(WorkDir()); });
    return d;
  }();
  return dir;
}

std::string TablePath() { return WorkDir() + "/bench.dbf"; }

void WriteTable(const std::string& path) {
  const Values& v = SampleValues();
  DbTable* t = Db_Create();
  Db_NewBeginDef(t, path.c_str());
  Db_NewAddField(t, "ID", DB_NUMERIC, 10, 0);
  Db_NewAddField(t, "NAME", DB_CHARACTER, 24, 0);
  Db_NewAddField(t, "VALUE", DB_FLOAT, 16, 4);
  Db_NewAddField(t, "OK", DB_LOGICAL, 1, 0);
  Db_NewEndDef(t);
  Db_AddRecBegin(t);
  for (int r = 0; r < kRecords; ++r) {
    const int k = r % kDistinct;
    Db_RecSetField(t, 1, v.num[k].c_str());
    Db_RecSetField(t, 2, v.text[k].c_str());
    Db_RecSetField(t, 3, v.real[k].c_str());
    Db_RecSetField(t, 4, v.flag[k].c_str());
    Db_AddRec(t);
  }
  Db_AddRecEnd(t);
  Db_Destroy(t);
}

std::vector<char> TableBytes() {
  WriteTable(TablePath());
  std::vector<char> bytes(static_cast<size_t>(std::filesystem::file_size(TablePath())));
  std::FILE* f = std::fopen(TablePath().c_str(), "rb");
  if (f == nullptr || std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  std::fclose(f);
  return bytes;
}

void BM_TableWrite(benchmark::State& state) {
  SampleValues();
  for (auto _ : state) WriteTable(TablePath());
  state.SetItemsProcessed(state.iterations() * kRecords);
}

// Reads every value of every record, front to back, moving to each record
// with `move`.
void ScanTable(benchmark::State& state, int32_t (*move)(DbTable*, int32_t)) {
  WriteTable(TablePath());
  int64_t total = 0;
  for (auto _ : state) {
    DbTable* t = Db_Create();
    Db_Open(t, TablePath().c_str());
    char out[256];
    for (int r = 1; r <= kRecords; ++r) {
      move(t, r);
      for (int f = 1; f <= 4; ++f) total += Db_GetFieldValue(t, f, out);
    }
    Db_Destroy(t);
  }
  benchmark::DoNotOptimize(total);
  state.SetItemsProcessed(state.iterations() * kRecords);
}

// With Db_SetRecNum the stream is never positioned.
void BM_TableRead(benchmark::State& state) { ScanTable(state, Db_SetRecNum); }
// Db_GetRec asks the stream where it stands before each record.
void BM_TableReadGetRec(benchmark::State& state) { ScanTable(state, Db_GetRec); }

void BM_FloorWrite(benchmark::State& state) {
  const std::vector<char> bytes = TableBytes();
  const std::string path = WorkDir() + "/floor.dbf";
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_FloorRead(benchmark::State& state) {
  std::vector<char> bytes = TableBytes();
  for (auto _ : state) {
    std::FILE* f = std::fopen(TablePath().c_str(), "rb");
    benchmark::DoNotOptimize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

BENCHMARK(BM_FloorWrite)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TableWrite)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FloorRead)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TableRead)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TableReadGetRec)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
