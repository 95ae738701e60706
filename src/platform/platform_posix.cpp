// POSIX implementation of the platform layer.
#define _FILE_OFFSET_BITS 64  // 64-bit file offsets on 32-bit hosts too
#include "platform/platform.h"

#include "platform/file.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <cstring>
#include <string>

namespace ovrix::platform {

void* GlobalAlloc(std::size_t size) { return std::calloc(size, 1); }
void GlobalFree(void* block) { std::free(block); }
void* HeapAlloc(std::size_t size) { return std::calloc(size, 1); }
void HeapFree(void* block) { std::free(block); }

intptr_t OsOpen(const char* name, int32_t mode) {
  const int flags = mode == kFileRead ? O_RDONLY : mode == kFileUpdate ? O_RDWR : O_WRONLY | O_CREAT | O_TRUNC;
  int fd;
  do fd = ::open(name, flags | O_CLOEXEC, 0666);
  while (fd < 0 && errno == EINTR);
  return fd < 0 ? kNoFile : fd;
}

bool OsClose(intptr_t file) { return ::close(static_cast<int>(file)) == 0; }

int64_t OsReadAt(intptr_t file, void* buf, int64_t n, int64_t offset) {
  ssize_t got;
  do got = ::pread(static_cast<int>(file), buf, static_cast<std::size_t>(n), static_cast<off_t>(offset));
  while (got < 0 && errno == EINTR);
  return got;
}

int64_t OsWriteAt(intptr_t file, const void* buf, int64_t n, int64_t offset) {
  ssize_t put;
  do put = ::pwrite(static_cast<int>(file), buf, static_cast<std::size_t>(n), static_cast<off_t>(offset));
  while (put < 0 && errno == EINTR);
  return put;
}

int64_t OsSize(intptr_t file) {
  struct stat st;
  return ::fstat(static_cast<int>(file), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

bool OsIdentity(intptr_t file, uint64_t id[2]) {
  struct stat st;
  if (::fstat(static_cast<int>(file), &st) != 0) return false;
  id[0] = static_cast<uint64_t>(st.st_dev);
  id[1] = static_cast<uint64_t>(st.st_ino);
  return true;
}

int OsRemove(const char* name) { return ::unlink(name); }

int LastError() { return errno; }
void SetLastError(int error) { errno = error; }
bool LastErrorDeniesWriting() { return errno == EACCES || errno == EROFS || errno == EPERM || errno == ETXTBSY; }

const char* TempDirectory() {
  static std::string dir;
  const char* env = std::getenv("TMPDIR");
  dir = (env != nullptr && env[0] != '\0') ? env : "/tmp";
  if (dir.back() != '/') dir.push_back('/');
  return dir.c_str();
}

void LocalDate(int* day, int* month, int* yearSince1900) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  *day = local.tm_mday;
  *month = local.tm_mon + 1;
  *yearSince1900 = local.tm_year;
}

}  // namespace ovrix::platform

// ---------------------------------------------------------------------------
// Starting the helper program, its answer "window" and message boxes.

namespace ovrix::platform {
namespace {

// Copies `dir` + '/' + `name` into `out`; false when it does not fit.
bool JoinPath(char (&out)[PATH_MAX], const char* dir, std::size_t dirLen, const char* name) {
  std::size_t nameLen = std::strlen(name);
  if (dirLen + 1 + nameLen + 1 > sizeof out) return false;
  std::memcpy(out, dir, dirLen);
  out[dirLen] = '/';
  std::memcpy(out + dirLen + 1, name, nameLen + 1);
  return true;
}

// The executable that `name` stands for, as the shell's execvp would pick
// it: `name` itself when it contains a '/', else the first executable
// regular file of that name in a directory of PATH (an empty entry is the
// current directory). 0 when found, else the start result that says why.
int FindProgram(const char* name, char (&path)[PATH_MAX]) {
  if (std::strchr(name, '/') != nullptr) {
    if (std::strlen(name) >= sizeof path) return kStartFileNotFound;
    std::strcpy(path, name);
    return 0;
  }
  const char* search = std::getenv("PATH");
  if (search == nullptr) search = "/bin:/usr/bin";
  int result = kStartFileNotFound;
  for (const char* dir = search;; ++dir) {
    const char* end = std::strchr(dir, ':');
    std::size_t dirLen = end != nullptr ? static_cast<std::size_t>(end - dir) : std::strlen(dir);
    bool joined = dirLen == 0 ? JoinPath(path, ".", 1, name) : JoinPath(path, dir, dirLen, name);
    struct stat st;
    if (joined && stat(path, &st) == 0 && S_ISREG(st.st_mode)) {
      if (access(path, X_OK) == 0) return 0;
      result = kStartAccessDenied;
    }
    if (end == nullptr) return result;
    dir = end;
  }
}

int StartResultForErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return kStartFileNotFound;
    case EACCES:
    case EPERM:
      return kStartAccessDenied;
    case ENOMEM:
    case EAGAIN:
    case E2BIG:
    case EMFILE:
    case ENFILE:
      return kStartOutOfResources;
    default:
      return kStartBadFormat;
  }
}

// Runs in the forked children only: async-signal-safe calls from here on.
[[noreturn]] void ReportAndExit(int pipeOut, int result) {
  int32_t code = result;
  ssize_t ignored = write(pipeOut, &code, sizeof code);
  (void)ignored;
  _exit(127);
}

// Gives the program a clean start: default signal handling, nothing
// blocked, and none of the caller's descriptors beyond 0, 1 and 2 (they are
// marked close-on-exec, so the report pipe still works until exec).
void PrepareForExec() {
  struct sigaction dfl;
  std::memset(&dfl, 0, sizeof dfl);
  dfl.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig) {
    if (sig != SIGKILL && sig != SIGSTOP) sigaction(sig, &dfl, nullptr);
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
    struct rlimit lim;
    rlim_t top = getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY ? lim.rlim_cur : 65536;
    for (rlim_t fd = 3; fd < top; ++fd) fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
  }
}

}  // namespace

int StartProgram(const char* commandLine) {
  const char* blank = std::strchr(commandLine, ' ');
  std::size_t nameLen = blank != nullptr ? static_cast<std::size_t>(blank - commandLine) : std::strlen(commandLine);
  char name[PATH_MAX];
  if (nameLen == 0 || nameLen >= sizeof name) return kStartFileNotFound;
  std::memcpy(name, commandLine, nameLen);
  name[nameLen] = '\0';
  char path[PATH_MAX];
  if (int notFound = FindProgram(name, path); notFound != 0) return notFound;
  // Built before forking: the children may only make async-signal-safe calls.
  char* argv[3] = {name, blank != nullptr ? const_cast<char*>(blank + 1) : nullptr, nullptr};

  // The program is started by a short-lived intermediate child, which exits
  // at once and is reaped here; the program itself is then nobody's child in
  // this process, so it never becomes a zombie of the host and the host's own
  // waitpid calls never see it. A close-on-exec pipe tells whether the exec
  // succeeded: it closes without data when it did.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return kStartOutOfResources;
  sigset_t all, saved;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &saved);  // no host handler runs in a child
  pid_t child = fork();
  if (child == 0) {
    pid_t program = fork();
    if (program < 0) ReportAndExit(report[1], kStartOutOfResources);
    if (program > 0) _exit(0);
    PrepareForExec();
    execv(path, argv);
    ReportAndExit(report[1], StartResultForErrno(errno));
  }
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  close(report[1]);
  int result = kStartOutOfResources;
  if (child > 0) {
    int32_t code = 0;
    ssize_t got;
    do {
      got = read(report[0], &code, sizeof code);
    } while (got < 0 && errno == EINTR);
    result = got == static_cast<ssize_t>(sizeof code) ? code : kStartStarted;
    // ECHILD: a host that ignores SIGCHLD, or reaps every child in its
    // handler, has already collected it.
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  close(report[0]);
  return result;
}

// The answer window is the file named after the window class in the
// temporary directory; its first line is the title. The helper replaces it
// atomically, so a reader sees a whole answer or none. Only a regular file
// that belongs to this user counts (a window of another user's session
// would not be visible either), and it is never followed through a link.
bool ReadWindowTitle(const char* windowClass, char* title, int size) {
  const char* dir = TempDirectory();
  char path[PATH_MAX];
  int n = std::snprintf(path, sizeof path, "%s%s", dir, windowClass);
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof path) return false;
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  bool found = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid();
  std::size_t len = 0;
  while (found && len + 1 < static_cast<std::size_t>(size)) {
    ssize_t got = read(fd, title + len, static_cast<std::size_t>(size) - 1 - len);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) found = false;
    if (got <= 0) break;
    len += static_cast<std::size_t>(got);
  }
  close(fd);
  if (!found) return false;
  title[len] = '\0';
  if (char* eol = static_cast<char*>(std::memchr(title, '\n', len))) *eol = '\0';
  return true;
}

// The program starts asynchronously here, so each look-up gives it a moment;
// 19 pauses keep a whole search of 20 look-ups under half a second.
void PauseBetweenWindowLookups() {
  struct timespec wait = {0, 20 * 1000 * 1000};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

// Without a window system a message box is one line on standard error; it
// does not wait for anyone to acknowledge it.
void ShowMessageBox(const char* title, const char* text) {
  std::fprintf(stderr, "%s: %s\n", title, text);
  std::fflush(stderr);
}

}  // namespace ovrix::platform
