// I/O faults: a disk that fills up while a pair is written, files cut short
// between calls, files that cannot be opened again, and a process that has
// run out of file descriptors. Whatever the disk does, no call may crash or
// hang, and every handle must still close and be destroyed.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fuzz/families.h"
#include "ovrix32.h"
#include "platform/mem.h"
#include "test_util.h"

namespace ovrix {
namespace {

using hardening::Capture;
using hardening::Families;
using hardening::Family;
using hardening::Kind;
using hardening::RecordImage;
using hardening::SamePoints;
using hardening::Vertex;
using hardening::WritableName;
using hardening::WriteSamplePair;
using hardening::AppendSampleRecords;

// Runs `body` in a child process (for process-wide limits) and returns its
// exit status; the child reports a failed check with exit code 1.
int InChild(const std::function<bool()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body() ? 0 : 1);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class IoFaultTest : public test::TempDirTest {};

// The main file (or the index file) is a device that is always full: every
// write fails. Appends, close and destroy still complete.
TEST_F(IoFaultTest, DiskFullWhileWriting) {
  for (const Family& f : Families()) {
    for (const char* ext : {".shp", ".shx"}) {
      SCOPED_TRACE(std::string(f.name) + ext);
      const std::string base = Path(std::string("full_") + f.name + (ext[3] == 'p' ? "_shp" : "_shx"));
      ASSERT_EQ(symlink("/dev/full", (base + ext).c_str()), 0);
      std::vector<char> name = WritableName(base);
      ShpFile* shp = Shp_Create();
      ASSERT_EQ(Shp_New(shp, name.data(), f.shapeType), 1);
      // The first append positions the main stream, which fails on the
      // full device and refuses the record; later appends are counted as
      // if written.
      AppendSampleRecords(f, shp, 500);
      EXPECT_GE(Shp_GetNumShapes(shp), 499);
      EXPECT_EQ(Shp_Close(shp), 1);
      // Nothing usable reached the full device: the pair does not open.
      EXPECT_EQ(Shp_Open(shp, name.data(), 3), 0);
      EXPECT_EQ(Shp_Open(shp, name.data(), 2), 0);
      EXPECT_EQ(Shp_GetNumShapes(shp), 0);
      EXPECT_EQ(Shp_Destroy(shp), 1);
    }
  }
}

// A file-size limit stops the writes part-way (SIGXFSZ ignored, so writes
// fail with EFBIG). Reading stops at the end of the data; append mode
// refuses the pair or appends behind what its headers describe.
TEST_F(IoFaultTest, FileSizeLimitReachedWhileWriting) {
  for (const Family& f : Families()) {
    SCOPED_TRACE(f.name);
    const std::string base = Path(std::string("limit_") + f.name);
    const int status = InChild([&] {
      signal(SIGXFSZ, SIG_IGN);
      struct rlimit lim = {6000, 6000};
      if (setrlimit(RLIMIT_FSIZE, &lim) != 0) return false;
      std::vector<char> name = WritableName(base);
      ShpFile* shp = Shp_Create();
      if (Shp_New(shp, name.data(), f.shapeType) != 1) return false;
      AppendSampleRecords(f, shp, 400);
      return Shp_Close(shp) == 1 && Shp_Destroy(shp) == 1;
    });
    ASSERT_EQ(status, 0);
    ASSERT_LE(test::FileSize(base + ".shp"), 6000);
    std::vector<char> name = WritableName(base);
    ShpFile* shp = Shp_Create();
    ASSERT_EQ(Shp_Open(shp, name.data(), 3), 1);
    void* obj = f.create(2);
    int readable = 0;
    for (int32_t n = 1; n <= Shp_GetNumShapes(shp); ++n) readable += f.read(shp, n, obj);
    EXPECT_LT(readable, 400);
    EXPECT_EQ(Shp_Close(shp), 1);
    // Whether the headers reached the disk depends on what the stream
    // buffers still held when the limit hit. Append mode either refuses a
    // pair whose lengths do not fit the files, or appends where the next
    // record belongs, so that the new record reads back.
    if (Shp_Open(shp, name.data(), 2) == 1) {
      const int32_t before = Shp_GetNumShapes(shp);
      EXPECT_EQ(AppendSampleRecords(f, shp, 1), 1);
      EXPECT_EQ(Shp_Close(shp), 1);
      ASSERT_EQ(Shp_Open(shp, name.data(), 3), 1);
      EXPECT_EQ(Shp_GetNumShapes(shp), before + 1);
      EXPECT_EQ(f.read(shp, before + 1, obj), 1);
    }
    f.destroy(obj);
    EXPECT_EQ(Shp_Destroy(shp), 1);
  }
}

// Files cut short while open for reading: a record reads back whole or is
// refused. A record that is whole on disk (its bytes and, for the families
// located through the index, its index entry inside what is left) must read;
// one that is not may still come from the stream's buffer, as it was.
TEST_F(IoFaultTest, FilesTruncatedWhileOpenForReading) {
  for (const Family& f : Families()) {
    SCOPED_TRACE(f.name);
    const std::string base = Path(std::string("cut_") + f.name);
    std::vector<char> name = WritableName(base);
    ASSERT_TRUE(WriteSamplePair(f, base, 12));
    ShpFile* shp = Shp_Create();
    const std::vector<uint8_t> shpBytes = test::ReadFile(base + ".shp");
    const std::vector<uint8_t> shxBytes = test::ReadFile(base + ".shx");

    // The originals, and where each record ends.
    ASSERT_EQ(Shp_Open(shp, name.data(), 3), 1);
    void* obj = f.create(2);
    std::vector<RecordImage> original;
    std::vector<int64_t> recordEnd;
    for (int32_t n = 1; n <= 12; ++n) {
      ASSERT_EQ(f.read(shp, n, obj), 1);
      original.push_back(Capture(f, obj));
      const int64_t offset = 2 * int64_t{test::BE32(shxBytes, 100 + 8 * (n - 1))};
      const int64_t length = 2 * int64_t{test::BE32(shxBytes, 104 + 8 * (n - 1))};
      recordEnd.push_back(offset + 8 + length);
    }
    ASSERT_EQ(Shp_Close(shp), 1);

    for (const int64_t shpCut : {int64_t{0}, int64_t{50}, int64_t{100}, recordEnd[3], recordEnd[3] + 5,
                                 recordEnd[7] - 1, static_cast<int64_t>(shpBytes.size())}) {
      for (const int64_t shxCut : {int64_t{100}, int64_t{100 + 8 * 5 + 3}, static_cast<int64_t>(shxBytes.size())}) {
        SCOPED_TRACE("shp cut at " + std::to_string(shpCut) + ", shx cut at " + std::to_string(shxCut));
        test::WriteFile(base + ".shp", shpBytes);
        test::WriteFile(base + ".shx", shxBytes);
        ASSERT_EQ(Shp_Open(shp, name.data(), 3), 1);
        ASSERT_EQ(truncate((base + ".shp").c_str(), shpCut), 0);
        ASSERT_EQ(truncate((base + ".shx").c_str(), shxCut), 0);
        for (int32_t n = 1; n <= 13; ++n) {
          const bool shpWhole = n <= 12 && recordEnd[static_cast<size_t>(n - 1)] <= shpCut;
          const bool shxWhole = f.kind == Kind::Point || 100 + 8 * int64_t{n} <= shxCut;
          const int32_t got = f.read(shp, n, obj);
          if (shpWhole && shxWhole) {
            ASSERT_EQ(got, 1) << "record " << n;
            EXPECT_TRUE(SamePoints(Capture(f, obj).points, original[static_cast<size_t>(n - 1)].points, f.dims));
          } else if (n > 12) {
            EXPECT_EQ(got, 0) << "record " << n << " never existed";
          } else if (got == 1) {
            // Still in the stream's buffer from before the cut: it must be
            // the record as it was, never a mix.
            EXPECT_TRUE(SamePoints(Capture(f, obj).points, original[static_cast<size_t>(n - 1)].points, f.dims));
          }
        }
        EXPECT_EQ(Shp_Close(shp), 1);
      }
    }
    f.destroy(obj);
    Shp_Destroy(shp);
  }
}

// Files cut short while a pair is open for writing or appending: the appends
// and the close complete; the pair then opens and reads without fault.
TEST_F(IoFaultTest, FilesTruncatedWhileWriting) {
  for (const Family& f : Families()) {
    for (int mode : {1, 2}) {
      SCOPED_TRACE(std::string(f.name) + " mode " + std::to_string(mode));
      const std::string base = Path(std::string("wcut_") + f.name);
      std::vector<char> name = WritableName(base);
      ShpFile* shp = Shp_Create();
      ASSERT_EQ(Shp_New(shp, name.data(), f.shapeType), 1);
      AppendSampleRecords(f, shp, 5);
      if (mode == 2) {
        ASSERT_EQ(Shp_Close(shp), 1);
        ASSERT_EQ(Shp_Open(shp, name.data(), 2), 1);
      }
      ASSERT_EQ(truncate((base + ".shp").c_str(), 0), 0);
      ASSERT_EQ(truncate((base + ".shx").c_str(), 20), 0);
      AppendSampleRecords(f, shp, 5);
      EXPECT_EQ(Shp_Close(shp), 1);
      if (Shp_Open(shp, name.data(), 3) == 1) {
        void* obj = f.create(2);
        for (int32_t n = -1; n <= Shp_GetNumShapes(shp) + 1; ++n) f.read(shp, n, obj);
        f.destroy(obj);
      }
      EXPECT_EQ(Shp_Destroy(shp), 1);
    }
  }
}

// Files that cannot be opened (again): a missing directory, a directory in
// place of a file. Opens refuse and leave the handle closed; with the
// reserve active the error value is the system's error number and the
// reserve keeps its size.
TEST_F(IoFaultTest, FilesThatCannotBeOpened) {
  const Family& f = Families().front();
  std::vector<char> missing = WritableName(Path("no/such/dir/base"));
  ShpFile* shp = Shp_Create();
  EXPECT_EQ(Shp_New(shp, missing.data(), f.shapeType), 0);
  EXPECT_EQ(Shp_Open(shp, missing.data(), 3), 0);
  EXPECT_EQ(Shp_Open(shp, missing.data(), 2), 0);
  EXPECT_EQ(Shp_IsShapeFile(Path("no/such/dir/base.shp").c_str()), 0);

  // A directory named like the main file: it opens for reading on this
  // platform but holds no file code.
  const std::string dirBase = Path("dirmain");
  ASSERT_EQ(mkdir((dirBase + ".shp").c_str(), 0755), 0);
  std::vector<char> dirName = WritableName(dirBase);
  EXPECT_EQ(Shp_New(shp, dirName.data(), f.shapeType), 0);
  EXPECT_EQ(Shp_Open(shp, dirName.data(), 3), 0);
  EXPECT_EQ(Shp_IsShapeFile((dirBase + ".shp").c_str()), 0);
  EXPECT_EQ(Shp_GetType(shp), 0);

  // A directory named like the index file: Shp_New leaves a closed handle
  // and a main file holding its header only.
  const std::string idxBase = Path("dirindex");
  ASSERT_EQ(mkdir((idxBase + ".shx").c_str(), 0755), 0);
  std::vector<char> idxName = WritableName(idxBase);
  EXPECT_EQ(Shp_New(shp, idxName.data(), f.shapeType), 0);
  EXPECT_EQ(Shp_GetNumShapes(shp), 0);
  EXPECT_EQ(test::FileSize(idxBase + ".shp"), 100);
  EXPECT_EQ(Shp_Open(shp, idxName.data(), 3), 0);
  EXPECT_EQ(Shp_Open(shp, idxName.data(), 2), 0);

  // A pair whose index was replaced by a directory after it was written.
  const std::string goneBase = Path("gone");
  std::vector<char> goneName = WritableName(goneBase);
  ASSERT_TRUE(WriteSamplePair(f, goneBase, 2));
  ASSERT_EQ(unlink((goneBase + ".shx").c_str()), 0);
  ASSERT_EQ(mkdir((goneBase + ".shx").c_str(), 0755), 0);
  EXPECT_EQ(Shp_Open(shp, goneName.data(), 2), 0);
  EXPECT_EQ(Shp_Open(shp, goneName.data(), 3), 0);

  // The same refusals with the reserve active.
  ASSERT_EQ(Shp_ReserveFileHandles(2), 2);
  EXPECT_EQ(Shp_Open(shp, missing.data(), 3), 0);
  EXPECT_EQ(Shp_GetError(), ENOENT);
  EXPECT_EQ(Shp_GetNumReservedFileHandles(), 2);
  EXPECT_EQ(Shp_New(shp, dirName.data(), f.shapeType), 0);
  EXPECT_EQ(Shp_GetError(), EISDIR);
  EXPECT_EQ(Shp_GetNumReservedFileHandles(), 2);
  EXPECT_EQ(Shp_FreeFileHandles(), 2);
  EXPECT_EQ(Shp_Destroy(shp), 1);

  // No placeholder directory: nothing can be reserved, and opens work as
  // without a reserve.
  setenv("TMPDIR", Path("no/such/tmp").c_str(), 1);
  EXPECT_EQ(Shp_ReserveFileHandles(3), 0);
  EXPECT_EQ(Shp_GetNumReservedFileHandles(), 0);
  shp = Shp_Create();
  EXPECT_EQ(Shp_Open(shp, goneName.data(), 3), 0);
  EXPECT_EQ(Shp_FreeFileHandles(), 0);
  EXPECT_EQ(Shp_Destroy(shp), 1);
}

// With every descriptor of the process in use, the library still opens its
// files through the reserve; without a reserve the open is refused cleanly.
TEST_F(IoFaultTest, OutOfFileDescriptors) {
  const char* preload = std::getenv("LD_PRELOAD");
  if (preload != nullptr && std::strstr(preload, "vgpreload") != nullptr)
    GTEST_SKIP() << "valgrind keeps descriptors of its own under the process's limit";
  const Family& f = Families().front();
  const std::string base = Path("fds");
  std::vector<char> name = WritableName(base);
  ASSERT_TRUE(WriteSamplePair(f, base, 3));

  const int status = InChild([&] {
    struct rlimit lim = {64, 64};
    if (setrlimit(RLIMIT_NOFILE, &lim) != 0) return false;
    if (Shp_ReserveFileHandles(2) != 2) return false;
    std::vector<int> hog;
    for (int fd; (fd = dup(0)) >= 0;) hog.push_back(fd);
    ShpFile* h = Shp_Create();
    // Both placeholders go to the two files; the reads work.
    bool ok = Shp_Open(h, name.data(), 3) == 1 && Shp_GetNumShapes(h) == 3;
    void* obj = f.create(2);
    ok = ok && f.read(h, 3, obj) == 1;
    ok = ok && Shp_Close(h) == 1 && Shp_GetNumReservedFileHandles() == 2;
    // Without the reserve nothing can be opened, and nothing breaks.
    ok = ok && Shp_FreeFileHandles() == 2;
    for (int i = 0; i < 2; ++i) hog.push_back(dup(0));
    ok = ok && Shp_Open(h, name.data(), 3) == 0 && Shp_New(h, name.data(), f.shapeType) == 0;
    ok = ok && Shp_GetNumShapes(h) == 0 && Shp_IsShapeFile((base + ".shp").c_str()) == 0;
    f.destroy(obj);
    ok = ok && Shp_Destroy(h) == 1;
    return ok;
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace ovrix
