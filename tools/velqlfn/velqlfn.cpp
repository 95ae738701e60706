// velqlfn: renames files and translates file names for the ovrix32 library,
// which starts it with one argument and does not wait for it.
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "platform/bridge.h"
#include "platform/platform.h"
#include "short_name.h"

namespace {

enum Exit {
  kDone = 0,
  kUsage = 1,
  kNoSuchFile = 2,
  kTargetExists = 3,
  kNotAnswerable = 4,
  kFailed = 5,
};

const char kUsageText[] =
    "usage: velqlfn ren<old>*<new>\n"
    "         renames <old> to <new>; an existing <new> is never replaced\n"
    "       velqlfn trn<name>\n"
    "         answers \"<short>*<long>\" for the existing file <name>: <short> is its\n"
    "         name in 8.3 form (its own name when it fits, else an alias such as\n"
    "         LONGFI~1.TXT), <long> its absolute canonical path. The answer is the\n"
    "         first line of the file velq_ovrix16_lfn_helper in $TMPDIR (or /tmp),\n"
    "         replaced atomically and withdrawn again half a second later.\n"
    "exit codes: 0 done; 1 bad argument; 2 no such file; 3 <new> exists already;\n"
    "            4 the answer contains a newline or is longer than 510 characters;\n"
    "            5 other failure (the reason goes to standard error)\n";

// How long an answer stays for the library to read: longer than its whole
// search, short enough that a later translation rarely meets it.
constexpr long kAnswerLifeMs = 500;

// Reports a failed step with the system's reason; the exit code that the
// reason stands for.
int Fail(const char* what, const std::string& name) {
  int error = errno;
  fprintf(stderr, "velqlfn: %s %s: %s\n", what, name.c_str(), strerror(error));
  if (error == ENOENT) return kNoSuchFile;
  if (error == EEXIST || error == ENOTEMPTY) return kTargetExists;
  return kFailed;
}

// --- ren --------------------------------------------------------------------

int Rename(std::string_view spec) {
  std::size_t star = spec.find('*');
  if (star == std::string_view::npos || star == 0 || star + 1 == spec.size()) return kUsage;
  std::string from(spec.substr(0, star));
  std::string to(spec.substr(star + 1));
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return kDone;
  if (errno != EINVAL && errno != ENOSYS) return Fail("cannot rename", from);
  // A file system without no-replace renames: a hard link can never replace
  // an existing file either, and the old name goes only once the new exists.
  if (link(from.c_str(), to.c_str()) != 0) return Fail("cannot rename", from);
  if (unlink(from.c_str()) != 0) return Fail("renamed, but cannot remove the old name", from);
  return kDone;
}

// --- trn --------------------------------------------------------------------

// Withdraws the answer after its life, unless a newer one has replaced it.
// Runs in a child so that the caller of velqlfn learns the exit code at
// once; it lets go of the caller's standard streams first.
void WithdrawLater(const std::string& answerPath, const struct stat& written) {
  pid_t pid = fork();
  if (pid != 0) return;  // the parent (or a failed fork: the answer stays)
  setsid();
  int null = open("/dev/null", O_RDWR);
  if (null >= 0) {
    for (int fd = 0; fd <= 2; ++fd) dup2(null, fd);
    if (null > 2) close(null);
  }
  struct timespec life = {kAnswerLifeMs / 1000, (kAnswerLifeMs % 1000) * 1000000};
  while (nanosleep(&life, &life) != 0 && errno == EINTR) {
  }
  struct stat now;
  if (lstat(answerPath.c_str(), &now) == 0 && now.st_dev == written.st_dev && now.st_ino == written.st_ino)
    unlink(answerPath.c_str());
  _exit(0);
}

int Translate(std::string_view nameArg) {
  if (nameArg.empty()) return kUsage;
  std::string name(nameArg);
  char canonical[PATH_MAX];
  if (realpath(name.c_str(), canonical) == nullptr) return Fail("cannot translate", name);
  std::string longName = canonical;
  std::size_t slash = longName.rfind('/');
  std::string dir = slash == 0 ? "/" : longName.substr(0, slash);
  std::string shortName = longName == "/" ? "/" : velqlfn::ShortName(dir, longName.substr(slash + 1));
  std::string answer = shortName + "*" + longName;
  if (answer.size() > static_cast<std::size_t>(ovrix::kBridgeAnswerMax) ||
      answer.find('\n') != std::string::npos) {
    fprintf(stderr, "velqlfn: the answer for %s cannot be given as one title\n", name.c_str());
    return kNotAnswerable;
  }
  answer.push_back('\n');

  std::string answerPath = std::string(ovrix::platform::TempDirectory()) + ovrix::kHelperWindowClass;
  std::string temp = answerPath + ".XXXXXX";
  // Failures from here on are the answer's, not the name's: always kFailed.
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    Fail("cannot create", temp);
    return kFailed;
  }
  struct stat written;
  bool ok = write(fd, answer.data(), answer.size()) == static_cast<ssize_t>(answer.size()) &&
            fstat(fd, &written) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(temp.c_str(), answerPath.c_str()) != 0) {
    Fail("cannot write", answerPath);
    unlink(temp.c_str());
    return kFailed;
  }
  WithdrawLater(answerPath, written);
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  std::string_view arg = argc == 2 ? argv[1] : "";
  int code = kUsage;
  if (arg.substr(0, 3) == "ren")
    code = Rename(arg.substr(3));
  else if (arg.substr(0, 3) == "trn")
    code = Translate(arg.substr(3));
  if (code == kUsage) fputs(kUsageText, stderr);
  return code;
}
