// The long-file-name bridge, with the real helper program velqlfn and with
// small stand-in helpers that report what they were given.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "ovrix32.h"
#include "platform/handle_reserve.h"
#include "short_name.h"
#include "test_util.h"

extern char** environ;

namespace ovrix {
namespace {

using test::FileExists;

std::string Text(const std::string& path) {
  std::vector<uint8_t> bytes = test::ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

void PutText(const std::string& path, const std::string& text) {
  test::WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// Polls until `done` holds; false after 10 seconds.
bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 1000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

std::string Canonical(const std::string& path) {
  char out[PATH_MAX];
  return realpath(path.c_str(), out) != nullptr ? out : "";
}

class BridgeTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    savedPath_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "/usr/bin:/bin";
    mkdir(Path("bin").c_str(), 0755);
    UseNoHelper();
  }
  void TearDown() override {
    setenv("PATH", savedPath_.c_str(), 1);
    TempDirTest::TearDown();
  }

  void UseRealHelper() { setenv("PATH", (std::string(VELQLFN_DIR) + ":" + savedPath_).c_str(), 1); }
  // PATH holds only an empty directory (and the system's, which has no velqlfn).
  void UseNoHelper() { setenv("PATH", (Path("bin") + ":/usr/bin:/bin").c_str(), 1); }
  // A stand-in velqlfn: a shell script with `body`, found first on PATH.
  void UseStandIn(const std::string& body) {
    PutText(Path("bin/velqlfn"), "#!/bin/sh\n" + body + "\n");
    chmod(Path("bin/velqlfn").c_str(), 0755);
  }
  // A stand-in that appends its argument count and first argument to "log".
  void UseLoggingStandIn() { UseStandIn("printf '%s|%s\\n' \"$#\" \"$1\" >> \"$TMPDIR/log\""); }

  std::string AnswerPath() const { return Path("velq_ovrix16_lfn_helper"); }

  // Runs the real helper directly with one argument and returns its exit code.
  int RunHelper(const std::string& arg) {
    std::string program = std::string(VELQLFN_DIR) + "/velqlfn";
    char* argv[] = {program.data(), const_cast<char*>(arg.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Translates with the message boxes (standard error) captured in shown_.
  int32_t Translate(const std::string& name) {
    testing::internal::CaptureStderr();
    int32_t result = Velq_TranslateFilename(name.c_str(), short_, long_);
    shown_ = testing::internal::GetCapturedStderr();
    return result;
  }

  // The helper starts asynchronously: on a busy machine its answer may come
  // after one search has ended, and is then taken by the next.
  int32_t TranslateRetrying(const std::string& name) {
    for (int attempt = 0; attempt < 10; ++attempt)
      if (Translate(name) == 1) return 1;
    return 0;
  }

  void PoisonOutputs() {
    std::memset(short_, 'x', sizeof short_ - 1);
    std::memset(long_, 'x', sizeof long_ - 1);
    short_[sizeof short_ - 1] = long_[sizeof long_ - 1] = '\0';
  }

  std::string savedPath_;
  std::string shown_;
  char short_[600] = "";
  char long_[600] = "";
};

// --- with the real helper --------------------------------------------------

TEST_F(BridgeTest, RenameIsCarriedOutByTheHelper) {
  UseRealHelper();
  PutText(Path("old name.dat"), "content");
  EXPECT_GT(Velq_RenameFile(Path("old name.dat").c_str(), Path("new name.dat").c_str()), 31);
  ASSERT_TRUE(WaitFor([&] { return FileExists(Path("new name.dat")) && !FileExists(Path("old name.dat")); }));
  EXPECT_EQ(Text(Path("new name.dat")), "content");
}

TEST_F(BridgeTest, TranslationIsAnsweredAndShownOnStandardError) {
  UseRealHelper();
  PutText(Path("Long File Name.text"), "");
  ASSERT_EQ(TranslateRetrying(Path("Long File Name.text")), 1);
  std::string canonical = Canonical(Path("Long File Name.text"));
  EXPECT_STREQ(short_, "LONGFI~1.TEX");
  EXPECT_EQ(long_, canonical);
  EXPECT_EQ(shown_, "short: LONGFI~1.TEX\nlong: " + canonical + "\n");
}

TEST_F(BridgeTest, HelperRenamesOnlyOntoAFreeName) {
  PutText(Path("a"), "A");
  PutText(Path("b"), "B");
  EXPECT_EQ(RunHelper("ren" + Path("a") + "*" + Path("b")), 3);
  EXPECT_EQ(Text(Path("a")), "A");
  EXPECT_EQ(Text(Path("b")), "B");
  EXPECT_EQ(RunHelper("ren" + Path("missing") + "*" + Path("c")), 2);
  EXPECT_EQ(RunHelper("ren" + Path("a") + "*" + Path("c")), 0);
  EXPECT_FALSE(FileExists(Path("a")));
  EXPECT_EQ(Text(Path("c")), "A");
  EXPECT_EQ(RunHelper("ren" + Path("c")), 1);
  EXPECT_EQ(RunHelper("ren*" + Path("c")), 1);
  EXPECT_EQ(RunHelper("xyz"), 1);
}

TEST_F(BridgeTest, HelperAnswersOnlyWhatFitsOneTitleAndWithdrawsItsAnswer) {
  PutText(Path("a"), "");
  EXPECT_EQ(RunHelper("trn" + Path("a")), 0);
  EXPECT_TRUE(WaitFor([&] { return !FileExists(AnswerPath()); }));
  EXPECT_EQ(RunHelper("trn" + Path("missing")), 2);
  PutText(Path("two\nlines"), "");
  EXPECT_EQ(RunHelper("trn" + Path("two\nlines")), 4);
  std::string deep = Path(std::string(250, 'd'));
  ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  PutText(deep + "/" + std::string(250, 'f'), "");
  EXPECT_EQ(RunHelper("trn" + deep + "/" + std::string(250, 'f')), 4);
  EXPECT_FALSE(FileExists(AnswerPath()));
}

TEST_F(BridgeTest, ShortNamesAreOwnNamesOrAliasesUniqueInTheDirectory) {
  for (const char* name : {"readme.txt", "Long File Name.txt", "Long File Nombre.txt", "longfi~1.txt",
                           ".profile", "archive.tar.gz", "x+y.c", "toolong.text"})
    PutText(Path(name), "");
  EXPECT_EQ(velqlfn::ShortName(dir_, "readme.txt"), "readme.txt");
  // longfi~1.txt holds the first alias already; the others follow in name order.
  EXPECT_EQ(velqlfn::ShortName(dir_, "Long File Nombre.txt"), "LONGFI~3.TXT");
  EXPECT_EQ(velqlfn::ShortName(dir_, "Long File Name.txt"), "LONGFI~2.TXT");
  EXPECT_EQ(velqlfn::ShortName(dir_, ".profile"), "PROFIL~1");
  EXPECT_EQ(velqlfn::ShortName(dir_, "archive.tar.gz"), "ARCHIV~1.GZ");
  EXPECT_EQ(velqlfn::ShortName(dir_, "x+y.c"), "X_Y~1.C");
  EXPECT_EQ(velqlfn::ShortName(dir_, "toolong.text"), "TOOLON~1.TEX");
  EXPECT_EQ(velqlfn::ShortName(Path("absent"), "Long File Name.txt"), "LONGFI~1.TXT");
}

// --- without a helper ------------------------------------------------------

TEST_F(BridgeTest, WithoutHelperNothingIsAnsweredInBoundedTime) {
  EXPECT_EQ(Velq_RenameFile(Path("a").c_str(), Path("b").c_str()), 2);
  PoisonOutputs();
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Velq_TranslateFilename(Path("a").c_str(), short_, long_), 0);
  // Guards against a search that hangs, not a speed measurement.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_STREQ(short_, "");
  EXPECT_STREQ(long_, "");

  UseStandIn("exit 0");
  chmod(Path("bin/velqlfn").c_str(), 0644);
  EXPECT_EQ(Velq_RenameFile("a", "b"), 5);
}

TEST_F(BridgeTest, AnAnswerAlreadyThereIsSplitAtItsFirstStar) {
  PutText(AnswerPath(), "A*B*C\nsecond line\n");
  EXPECT_EQ(Translate("whatever"), 1);
  EXPECT_EQ(shown_, "short: A\nlong: B*C\n");
  EXPECT_STREQ(short_, "A");
  EXPECT_STREQ(long_, "B*C");

  PutText(AnswerPath(), "*rest");
  EXPECT_EQ(Translate("whatever"), 1);
  EXPECT_EQ(shown_, "short: \nlong: rest\n");
  EXPECT_STREQ(short_, "");
  EXPECT_STREQ(long_, "rest");

  // Only 510 characters of an answer are read.
  PutText(AnswerPath(), "S*" + std::string(600, 'L'));
  EXPECT_EQ(Translate("whatever"), 1);
  EXPECT_EQ(std::string(long_), std::string(508, 'L'));
}

TEST_F(BridgeTest, AnswerWithoutStarOrNotAPlainFileGivesNothing) {
  PutText(AnswerPath(), "no star here");
  PoisonOutputs();
  EXPECT_EQ(Translate("whatever"), 0);
  EXPECT_EQ(shown_, "");
  EXPECT_STREQ(short_, "");
  EXPECT_STREQ(long_, "");

  std::remove(AnswerPath().c_str());
  PutText(Path("elsewhere"), "A*B");
  ASSERT_EQ(symlink(Path("elsewhere").c_str(), AnswerPath().c_str()), 0);
  EXPECT_EQ(Velq_TranslateFilename("whatever", short_, long_), 0);
  std::remove(AnswerPath().c_str());
  ASSERT_EQ(mkfifo(AnswerPath().c_str(), 0600), 0);  // must not block the search
  EXPECT_EQ(Velq_TranslateFilename("whatever", short_, long_), 0);
}

// --- what is started, and how ----------------------------------------------

TEST_F(BridgeTest, CommandLinesReachTheHelperAsOneArgument) {
  UseLoggingStandIn();
  EXPECT_EQ(Velq_RenameFile("old name", "new name"), 33);
  EXPECT_EQ(Velq_TranslateFilename("a  b", short_, long_), 0);
  ASSERT_TRUE(WaitFor([&] { return Text(Path("log")).size() >= 30; }));
  std::string log = Text(Path("log"));
  EXPECT_NE(log.find("1|renold name*new name\n"), std::string::npos) << log;
  EXPECT_NE(log.find("1|trna  b\n"), std::string::npos) << log;
}

TEST_F(BridgeTest, OverlongCommandLineIsRefusedAndNothingStarted) {
  UseLoggingStandIn();
  // "velqlfn ren" + first + "*" + second: 11 + 250 + 1 + 250 = 512 characters.
  std::string first(250, 'f');
  EXPECT_EQ(Velq_RenameFile(first.c_str(), std::string(250, 's').c_str()), 24);
  PoisonOutputs();
  EXPECT_EQ(Velq_TranslateFilename(std::string(501, 'n').c_str(), short_, long_), 0);
  EXPECT_STREQ(short_, "");
  EXPECT_STREQ(long_, "");
  // 511 characters still fit.
  std::string fits = std::string(249, 's');
  EXPECT_EQ(Velq_RenameFile(first.c_str(), fits.c_str()), 33);
  std::string want = "1|ren" + first + "*" + fits + "\n";
  ASSERT_TRUE(WaitFor([&] { return Text(Path("log")).size() >= want.size(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(Text(Path("log")), want);
}

TEST_F(BridgeTest, HelperGetsNoOpenFilesAndLeavesNoChildBehind) {
  UseStandIn("/bin/ls /proc/self/fd > \"$TMPDIR/fds.part\"; /bin/mv \"$TMPDIR/fds.part\" \"$TMPDIR/fds\"");
  std::FILE* library = HandleReserve_OpenFile(Path("lib.dat").c_str(), "wb");
  ASSERT_NE(library, nullptr);
  ASSERT_EQ(Shp_ReserveFileHandles(2), 2);
  int inheritable = open(Path("host.dat").c_str(), O_WRONLY | O_CREAT, 0600);  // no O_CLOEXEC
  ASSERT_GE(inheritable, 0);

  // A child of the host's own, which the library must not reap.
  pid_t hostChild = fork();
  if (hostChild == 0) _exit(7);
  EXPECT_EQ(Velq_RenameFile("a", "b"), 33);
  int status = 0;
  ASSERT_EQ(waitpid(hostChild, &status, 0), hostChild);
  EXPECT_EQ(WEXITSTATUS(status), 7);
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);  // no zombie, no running child
  EXPECT_EQ(errno, ECHILD);

  ASSERT_TRUE(WaitFor([&] { return FileExists(Path("fds")); }));
  int beyondStandard = 0;  // ls's own handle on /proc/self/fd is the only one
  std::string listing = Text(Path("fds"));
  for (std::size_t at = 0; at < listing.size(); at = listing.find('\n', at) + 1)
    if (std::atoi(listing.c_str() + at) > 2) ++beyondStandard;
  EXPECT_LE(beyondStandard, 1) << listing;

  close(inheritable);
  Shp_FreeFileHandles();
  HandleReserve_CloseFile(library);
}

TEST_F(BridgeTest, HostsThatIgnoreOrReapChildrenAreServed) {
  UseLoggingStandIn();
  struct sigaction ignore = {}, saved;
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGCHLD, &ignore, &saved), 0);
  EXPECT_EQ(Velq_RenameFile("a", "b"), 33);

  struct sigaction reapAll = {};
  reapAll.sa_handler = [](int) {
    int keep = errno;
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    errno = keep;
  };
  ASSERT_EQ(sigaction(SIGCHLD, &reapAll, nullptr), 0);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Velq_RenameFile("a", "b"), 33);
  sigaction(SIGCHLD, &saved, nullptr);
  EXPECT_TRUE(WaitFor([&] { return Text(Path("log")).size() == 6 * std::strlen("1|rena*b\n"); }));
}

}  // namespace
}  // namespace ovrix
