// Memory, the file-handle reserve, the long-file-name bridge, growable arrays and byte-order I/O.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>

#include "ovrix32.h"
#include "platform/handle_reserve.h"
#include "platform/mem.h"
#include "shape/arrays.h"
#include "shape/io.h"
#include "test_util.h"

namespace ovrix {
namespace {
using test::FileExists;
using namespace platform;
using namespace std::literals;
using Str = const std::string&;
const std::string kPath = std::getenv("PATH"), kAnswer = "velq_ovrix16_lfn_helper";

std::string Text(Str p) { auto b = test::ReadFile(p); return {b.begin(), b.end()}; }
void Put(Str p, Str t, int mode = 0644) { std::ofstream(p) << t, chmod(p.c_str(), mode); }
void Use(Str path) { setenv("PATH", path.c_str(), 1); }
template <class F> bool WaitFor(F done, int tries = 1000) {  // up to 10 seconds
  return done() || (tries > 0 && !usleep(10000) && WaitFor(done, tries - 1));
}

class PlatformTest : public test::TempDirTest {  // PATH: "ok", empty until a stand-in is put there
 protected:
  void SetUp() override { TempDirTest::SetUp(), mkdir(Path("ok").c_str(), 0755), Use(Path("ok")); }
  void TearDown() override { Shp_FreeFileHandles(), Use(kPath), TempDirTest::TearDown(); }
  std::string Zor(int n) { return Path(std::to_string(10000 + n).replace(0, 1, "~ZOR") + ".TMP"); }
  bool Held(int n) { return Shp_GetNumReservedFileHandles() == n && FileExists(Zor(n)) == (n > 0); }
  std::string Translate(const char* name) {  // "<result><short>|<long>", "!" if boxes differ
    int32_t r = (testing::internal::CaptureStderr(), Velq_TranslateFilename(name, short_, long_));
    const std::string s = short_, l = long_, b = r ? "short: " + s + "\nlong: " + l + "\n" : "";
    return char('0' + r) + s + '|' + l + (testing::internal::GetCapturedStderr() == b ? "" : "!");
  }
  char short_[600] = "", long_[600] = "";
};

TEST_F(PlatformTest, ReserveAndHelper) {
  EXPECT_TRUE(!Shp_ReserveFileHandles(0) && !Shp_ReserveFileHandles(-3) && !Shp_FreeFileHandles());
  ASSERT_TRUE(Shp_ReserveFileHandles(3) == 3 && Held(3));
  File* f = HandleReserve_OpenFile(Path("data").c_str(), kFileCreate);
  EXPECT_TRUE(f && Held(2) && HandleReserve_CloseFile(f) == 1 && Held(3));
  EXPECT_TRUE(!HandleReserve_OpenFile(dir_.c_str(), kFileCreate) && Held(3) && HandleReserve_ReleaseOne());
  f = HandleReserve_OpenFile(Path("data").c_str(), kFileRead);  // failed open: put back; failed close
  EXPECT_TRUE(Shp_GetError() == EISDIR && (File_InjectFailure(1), !HandleReserve_CloseFile(f)) && Held(1));
  File_InjectFailure(0);
  EXPECT_TRUE(Shp_FreeFileHandles() == 1 && !FileExists(Zor(1)) && !HandleReserve_IsActive());
  f = HandleReserve_OpenFile(Path("data").c_str(), kFileRead);  // no pool: no placeholders, no errors
  EXPECT_TRUE(HandleReserve_CloseFile(f) && !HandleReserve_OpenFile("a/b", kFileRead) && Held(0));
  for (int32_t n : {1, 2, 3})  // no memory for the pool, the entries: a failed open puts one back
    EXPECT_TRUE((Mem_InjectFailure(n), Shp_ReserveFileHandles(2)) == n / 3 && (Mem_InjectFailure(0),
                HandleReserve_IsActive()) == n / 2 && !HandleReserve_OpenFile("", kFileRead) &&
                Held(n / 2) && Shp_FreeFileHandles() == n / 2) << n;
  const std::string a = Path("a"), b = Path("b"), c = Path("c"), w = Path(kAnswer), L(508, 'L');
  const struct { int how; std::string text, want; } cases[] = {{0, "A*B*C\n2", "1A|B*C"},
      {0, "*rest", "1|rest"}, {0, "S*" + L + "LL", "1S|" + L}, {0, "no", "0|"},
      {1, "", "0|"}, {2, "", "0|"}, {4, "A*B", "0|"}};
  for (const auto& k : cases) {  // the window: 0 a file, 1 none, 2 a fifo, 4 not ours (if root)
    if (std::remove(w.c_str()), k.how == 2) mkfifo(w.c_str(), 0600);
    if (k.how % 4 == 0 && (Put(w, k.text), k.how == 4 && chown(w.c_str(), 65534, 65534))) continue;
    const auto t = std::chrono::steady_clock::now() + 380ms;  // none: 20 look-ups, 19 pauses
    EXPECT_EQ(Translate("x"), k.want) << k.how << k.text;  // (with slack for a loaded machine)
    const auto late = std::chrono::steady_clock::now() - t;
    EXPECT_TRUE(k.how != 1 || (late >= 0ms && late < 1500ms)) << late.count();
  }
  Put(a, "a"), Put(b, "b"), Use(VELQLFN_DIR);  // the real helper never renames onto a file
  Velq_RenameFile(a.c_str(), b.c_str()), usleep(200000), Velq_RenameFile(a.c_str(), c.c_str());
  EXPECT_TRUE(WaitFor([&] { return !FileExists(a); }) && Text(b) == "b" && Text(c) == "a");
  for (const char* d : {"no", "bad", "dir", "dir/velqlfn"}) mkdir(Path(d).c_str(), 0755);
  Put(Path("no/velqlfn"), "#!/bin/sh\n"), Put(Path("bad/velqlfn"), "no program\n", 0755);
  for (auto [dir, result] : {std::pair{"ok", 2}, {"dir", 2}, {"no", 5}, {"bad", 11}})
    EXPECT_EQ((Use(Path(dir)), Velq_RenameFile("a", "b")), result) << dir;
  File* library = HandleReserve_OpenFile(Path("lib").c_str(), kFileCreate);
  std::FILE* host = std::tmpfile();
  auto chld = signal(SIGCHLD, SIG_IGN), hup = signal(SIGHUP, SIG_IGN);  // the host ignores them
  Put(Path("ok/velqlfn"), "#!/bin/sh\ncd $TMPDIR; echo \"$#|$1\" >>log; { while read k v; do\n"
      "case $k$v in Sig[BI]??:0000000000000000) echo 0; esac; done </proc/$$/status\n"
      "/bin/ls /proc/self/fd; } >f$$; /bin/mv f$$ fd\n", 0755);  // logs its fds, signals, arguments
  Use(Path("no:") + Path("dir:") + Path("ok"));  // the first program on PATH
  EXPECT_EQ(Velq_RenameFile("o n", "w"), 33);
  int status = 0, pid = (signal(SIGCHLD, chld), fork());  // the host's own: no zombie, no other
  if (pid == 0) _exit(7);
  const std::string n(501, 'n');  // "velqlfn trn" + n: 512 characters, one too many; 511 fit
  EXPECT_TRUE(Translate("a  b") == "0|" && Translate(n.c_str()) == "0|");
  EXPECT_TRUE(Velq_RenameFile(&n[251], &n[251]) == 24 && Velq_RenameFile(&n[251], &n[252]) == 33);
  EXPECT_TRUE(waitpid(pid, &status, 0) == pid && status == 0x700 && waitpid(-1, 0, WNOHANG) < 0);
  ASSERT_TRUE(WaitFor([&] { return Text(Path("log")).size() >= 527; }) && !usleep(100000));
  EXPECT_EQ(Text(Path("log")), "1|reno n*w\n1|trna  b\n1|ren"s + &n[251] + "*" + &n[252] + "\n");
  EXPECT_EQ(Text(Path("fd")), "0\n0\n0\n1\n2\n3\n");  // no signal blocked, ignored; 3: ls's own
  signal(SIGHUP, hup), std::fclose(host), HandleReserve_CloseFile(library);
  struct rlimit saved, low = {64, (getrlimit(RLIMIT_NOFILE, &saved), saved.rlim_max)};  // 64 files
  ASSERT_TRUE(setrlimit(RLIMIT_NOFILE, &low) == 0 && Shp_ReserveFileHandles(2) == 2);
  const int32_t m = Shp_GetNumFreeFileHandles();  // every slot held: no helper starts
  EXPECT_TRUE(m > 20 && m < 64 && Shp_GetNumFreeFileHandles() == m && Held(2)) << m;
  EXPECT_TRUE(Shp_ReserveFileHandles(1000) == m && Held(2 + m) && !Velq_RenameFile("a", "b"));
  f = HandleReserve_OpenFile(Path("data").c_str(), kFileCreate);  // but one for the library
  EXPECT_TRUE(f && HandleReserve_CloseFile(f) && Shp_FreeFileHandles() == 2 + m);
  setrlimit(RLIMIT_NOFILE, &saved), setenv("TMPDIR", Path("absent").c_str(), 1);  // no placeholders
  EXPECT_TRUE(!Shp_ReserveFileHandles(2) && HandleReserve_IsActive() && !Shp_FreeFileHandles());
}

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
