// The file-handle reserve and the long-file-name bridge with its helper program (POSIX systems).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "ovrix32.h"
#include "platform/handle_reserve.h"
#include "platform/mem.h"
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

}  // namespace
}  // namespace ovrix
