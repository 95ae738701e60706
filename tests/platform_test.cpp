// Memory, the file layer, growable arrays and byte-order I/O.
#include <algorithm>
#include <random>

#include "ovrix32.h"
#include "platform/mem.h"
#include "shape/arrays.h"
#include "shape/io.h"
#include "test_util.h"

namespace ovrix {
namespace {
using namespace platform;
std::string Text(const std::string& p) { auto b = test::ReadFile(p); return {b.begin(), b.end()}; }

TEST(Units, MemoryArraysAndByteOrder) {
  EXPECT_TRUE(!Mem_Alloc(0, 2) && !Mem_Alloc(-4, 1) && !Mem_Alloc(16, 3) && !Mem_Free(nullptr, 2));
  for (int32_t n = 1; n <= 4; ++n) EXPECT_TRUE((Mem_InjectFailure(n), !CoordArray_Create())) << n;
  CoordArray* a = (Mem_InjectFailure(0), CoordArray_Create());
  int32_t M = COORD_MAX_CAPACITY, rl = 0, g = 77;
  // Set (1) or Reserve (0), the n-th allocation failing: result, chunks, directory, allocations.
  const struct { bool set; int32_t index, nth, result, chunks, dir, calls; } steps[] = {
      {1, 1023, 0, 1, 2, 1, 0}, {1, 1024, 0, 1, 3, 1, 1}, {1, 3072, 4, 0, 6, 1, 4},
      {0, 5000, 0, 1, 10, 1, 4}, {1, 131071, 0, 1, 256, 1, 246}, {1, -1, 0, 0, 256, 1, 0},
      {0, 131072, 1, 0, 256, 1, 1}, {1, 131072, 0, 1, 257, 2, 2}, {0, -5, 0, 0, 257, 2, 0},
      {0, M - 1, 1, 0, 257, 2, 1}, {0, M, 1, 0, 257, 2, 0}, {1, INT32_MAX, 1, 0, 257, 2, 0}};
  for (const auto& s : steps) {
    const CoordPair p = {(Mem_InjectFailure(s.nth), s.index + 0.5), 0};
    const int32_t got = s.set ? CoordArray_Set(a, s.index, &p) : CoordArray_Reserve(a, s.index);
    EXPECT_TRUE(got == s.result && Mem_AllocCalls() == s.calls && a->capacity == s.chunks * 512 &&
                a->directoryCapacity == 256 * s.dir) << s.index;
    for (int32_t k = 0; k < a->directoryCapacity; ++k) ASSERT_EQ(!a->directory[k], k >= s.chunks);
  }
  CoordPair out = {3, 4};  // checked against the capacity; *out untouched when refused
  for (int i : {-1, 131584}) EXPECT_TRUE(!CoordArray_Get(a, i, &out) && !CoordArray_Run(a, i, &rl));
  EXPECT_TRUE(CoordArray_Run(a, 700, &rl) == a->directory[1] + 188 && rl == 324 && out.first == 3);
  for (int32_t i : {1023, 1024, 131071, 131072, 70000})  // 70000 was never stored
    EXPECT_TRUE(CoordArray_Get(a, i, &out) && out.first == (i == 70000 ? 0 : i + 0.5)) << i;
  CoordArray_Destroy(a), CoordArray_Destroy(nullptr);
  for (int32_t n = 1; n <= 2; ++n) EXPECT_TRUE((Mem_InjectFailure(n), !PartArray_Create(9))) << n;
  EXPECT_TRUE((Mem_InjectFailure(1, true), !PartArray_Create(0)) && !PartArray_Create(1 << 29));
  EXPECT_TRUE(!Mem_AllocCalls() && !PartArray_Create(INT32_MAX / 4) && Mem_AllocCalls() == 1);
  PartArray* q = (Mem_InjectFailure(0), PartArray_Create(16));  // grows to just what is asked
  for (int32_t i = 0; i < 16; ++i) PartArray_Set(q, i, 100 + i);
  EXPECT_TRUE(PartArray_Get(q, 16, &g) == PART_INVALID && PartArray_Get(q, -1, &g) < 0 &&
              g == 77 && !PartArray_Set(q, 16, 5) && !PartArray_Set(q, -1, 5));  // *out untouched
  EXPECT_TRUE((Mem_InjectFailure(1, true), PartArray_Reserve(q, 16)) && !PartArray_Reserve(q, 17) &&
              (Mem_InjectFailure(0), PartArray_Reserve(q, 17)) && PartArray_Set(q, 16, 116));
  for (int i = 0; i < 18; ++i) EXPECT_EQ(PartArray_Get(q, i, &g), i < 17 ? 100 + i : PART_INVALID);
  EXPECT_TRUE((PartArray_Destroy(q), PartArray_Destroy(nullptr), g == 116) && !Mem_LiveBlocks());
  const std::string io = testing::TempDir() + "/ovrix-io";  // byte order; zero counts succeed
  File* f = (test::WriteFile(io, {}), File_Open(io.c_str(), kFileUpdate));
  int32_t v[3] = {0x01020304, 9994, -2}, in[3];
  double d = -2.5;
  uint8_t b[21], want[] = {0, 0, 0, 0, 0, 0, 4, 0xc0, 4, 3, 2, 1, 0, 0, 39, 10, 255, 255, 255, 254};
  ASSERT_TRUE(File_Size(f) == 0 && Io_WriteInt32BE(f, in, 0) && Io_WriteDoubles(f, &d, 1) &&
              Io_WriteInt32LE(f, v, 1) && Io_WriteInt32BE(f, v + 1, 2) && Io_ReadInt32BE(f, in, 0) &&
              File_Seek(f, 0));
  EXPECT_TRUE(File_Read(f, b, 21) == 20 && !memcmp(b, want, 20) && v[2] == -2 &&  // restored
              File_Seek(f, 0) && Io_ReadDoubles(f, &d, 1) && Io_ReadInt32LE(f, in, 1) &&
              Io_ReadInt32BE(f, in + 1, 2) && d == -2.5 && !memcmp(in, v, 12) && File_Seek(f, 14) &&
              !Io_ReadInt32BE(f, in, 2) && !memcmp(in, b + 14, 6) && File_Close(f));  // raw bytes
}

// Two Files on one file against a model of its bytes: seeded random seeks, reads and writes (short,
// some longer than the window), flushes and sizes; one File at a time, flushed before the other
// takes over. The second got no memory for its window.
TEST(Units, FilesMatchModel) {
  using test::Buf;
  const std::string io = testing::TempDir() + "/ovrix-io";
  File* h[2] = {(test::WriteFile(io, {}), File_Open(io.c_str(), kFileUpdate))};
  const int64_t live = Mem_LiveBlocks();  // the second File: its block only, the shared part reused
  h[1] = (Mem_InjectFailure(3), File_Open(io.c_str(), kFileUpdate));
  ASSERT_TRUE(h[0] && h[1] && (Mem_InjectFailure(0), Mem_LiveBlocks() == live + 1));
  Buf model, buf;
  std::mt19937 rng(20240611);
  auto rnd = [&](int64_t n) { return int64_t(rng() % uint64_t(n)); };
  for (int64_t step = 0, a = 0, pos[2] = {0, 0}; step < 20000; ++step) {
    File* f = h[a];
    const int64_t size = int64_t(model.size()), at = pos[a], op = rnd(10);
    const size_t n = size_t(rnd(30) ? 1 + rnd(100) : 131072 + rnd(300));
    ASSERT_EQ(File_Tell(f), at) << step;
    buf.resize(n);
    if (op <= 1) {  // and perhaps the other File takes over
      ASSERT_TRUE(File_Flush(f)) << step;
      a = rnd(2) ? 1 - a : a;
    } else if (op <= 3) {  // up to 100 bytes past the end: anywhere, often in the first 300 bytes,
      const int64_t near[] = {rnd(size + 1), rnd(300), rnd(300), f->winOff + f->winLen,
                              f->winOff + f->cap, pos[1 - a]};  // near a window's end, the other
      pos[a] = std::clamp<int64_t>(near[rnd(6)] + rnd(120) - 60, 0, size + 100);
      ASSERT_TRUE(File_Seek(f, pos[a]));
    } else if (op <= 6) {  // the model's bytes, short at the end
      const auto want = size_t(std::clamp<int64_t>(size - at, 0, int64_t(n)));
      ASSERT_EQ(File_Read(f, buf.data(), n), want) << step;
      ASSERT_TRUE(std::equal(buf.data(), buf.data() + want, model.data() + std::min(at, size)));
      pos[a] += int64_t(want);
    } else if (op <= 8) {  // a gap before the bytes reads as zeros
      for (uint8_t& c : buf) c = uint8_t(rng());
      ASSERT_TRUE(File_Write(f, buf.data(), n)) << step;
      model.resize(std::max(model.size(), size_t(at) + n));
      std::copy(buf.begin(), buf.end(), model.begin() + at), pos[a] += int64_t(n);
    } else {
      ASSERT_EQ(File_Size(f), size) << step;
    }
  }
  EXPECT_TRUE(File_Close(h[0]) && File_Close(h[1]) && test::FileDiff(io, model).empty());
  // A failed seek or write: what was pending is dropped, nothing more is written (what went out
  // before stays); after a failed seek no reads either until a seek succeeds.
  auto inject = [](int64_t n) { return File_InjectFailure(n), true; };
  File* f = (test::WriteFile(io, {'a', 'b', 'c'}), File_Open(io.c_str(), kFileUpdate));
  char c[52] = {};
  EXPECT_TRUE(File_Seek(f, 3) && File_Write(f, "de", 2) && File_Flush(f) && File_Write(f, "f", 1) &&
              inject(1) && !File_Seek(f, 1) && File_Tell(f) == -1 && !File_Read(f, c, 1) &&
              inject(0) && !File_Seek(f, -1) && !File_Read(f, c, 1) && File_Seek(f, 1) &&
              File_Read(f, c, 1) && *c == 'b' && !File_Write(f, "g", 1) && !File_Close(f));
  f = File_Open(io.c_str(), kFileUpdate);
  EXPECT_TRUE(File_Seek(f, 5) && File_Write(f, "f", 1) && inject(1) && !File_Write(f, "g", 1) &&
              inject(0) && !File_Flush(f) && !File_Write(f, "h", 1) && !File_Close(f));
  EXPECT_EQ(Text(io), "abcde");
  // Bytes written into a window that another File changed since: only they go out.
  File* g = (test::WriteFile(io, Buf(9, '0')), File_Open(io.c_str(), kFileUpdate));
  f = File_Open(io.c_str(), kFileUpdate);
  EXPECT_TRUE(File_Read(g, c, 9) && File_Seek(f, 3) && File_Write(f, "AB", 2) && File_Close(f) &&
              File_Seek(g, 1) && File_Write(g, "x", 1) && File_Seek(g, 7) && File_Write(g, "y", 1));
  EXPECT_TRUE(File_Close(g) && Text(io) == "0x0AB00y0");
  // Reading 1 MiB in pieces of 52 bytes: one system call per window, and two more.
  f = (test::WriteFile(io, Buf(1 << 20)), File_Open(io.c_str(), kFileRead));
  const int64_t calls = File_SystemCalls();
  size_t got = 0;
  for (size_t k = 52; k == 52;) got += k = File_Read(f, c, 52);
  EXPECT_TRUE(File_SystemCalls() - calls <= 10 && got == 1 << 20);
  g = File_Open(io.c_str(), kFileUpdate);  // a write past a window's size goes out at once: f rereads
  EXPECT_TRUE(File_Seek(f, 0) && File_Read(f, c, 1) && !*c && File_Seek(g, 1) &&
              File_Write(g, Buf(1 << 18, 'z').data(), 1 << 18) && File_Seek(f, 9) &&
              File_Read(f, c, 1) && *c == 'z' && File_Close(g) && File_Close(f));
  std::remove(io.c_str());
}

}  // namespace
}  // namespace ovrix
