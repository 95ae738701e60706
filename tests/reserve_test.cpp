// Memory pools and the file-handle reserve.
#include <sys/resource.h>

#include <cerrno>
#include <string>

#include "ovrix32.h"
#include "platform/handle_reserve.h"
#include "platform/mem.h"
#include "shape/error.h"
#include "test_util.h"

namespace ovrix {
namespace {

TEST(Mem, RefusesBadSizesAndPools) {
  EXPECT_EQ(Mem_Alloc(0, MEM_GLOBAL), nullptr);
  EXPECT_EQ(Mem_Alloc(0, MEM_HEAP), nullptr);
  EXPECT_EQ(Mem_Alloc(-4, MEM_GLOBAL), nullptr);
  EXPECT_EQ(Mem_Alloc(16, 3), nullptr);
  EXPECT_EQ(Mem_Free(nullptr, MEM_HEAP), 0);
  EXPECT_EQ(Mem_Free(nullptr, 7), 0);
}

TEST(Mem, BlocksAreZeroFilledAndGoBackToTheirPool) {
  const int64_t live = Mem_LiveBlocks();
  for (int32_t pool : {MEM_GLOBAL, MEM_HEAP}) {
    auto* p = static_cast<unsigned char*>(Mem_Alloc(4096, pool));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(p[i], 0);
    EXPECT_EQ(Mem_Free(p, 7), 1);  // unknown pool: nothing freed
    EXPECT_EQ(Mem_LiveBlocks(), live + 1);
    EXPECT_EQ(Mem_Free(p, pool), 1);
  }
  EXPECT_EQ(Mem_LiveBlocks(), live);
}

TEST(Mem, InjectedFailureHitsExactlyTheNthCall) {
  Mem_InjectFailure(2);
  void* a = Mem_Alloc(8, MEM_HEAP);
  void* b = Mem_Alloc(8, MEM_HEAP);
  void* c = Mem_Alloc(8, MEM_HEAP);
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(b, nullptr);
  EXPECT_NE(c, nullptr);
  Mem_InjectFailure(1, true);
  EXPECT_EQ(Mem_Alloc(8, MEM_HEAP), nullptr);
  EXPECT_EQ(Mem_Alloc(8, MEM_GLOBAL), nullptr);
  EXPECT_EQ(Mem_AllocCalls(), 2);
  Mem_InjectFailure(0);
  Mem_Free(a, MEM_HEAP);
  Mem_Free(c, MEM_HEAP);
  // Shp_Create reports memory exhaustion through the error value 0.
  Shp_SetError(55);
  Mem_InjectFailure(1);
  EXPECT_EQ(Shp_Create(), nullptr);
  EXPECT_EQ(Shp_GetError(), 0);
  Mem_InjectFailure(0);
}

class ReserveTest : public test::TempDirTest {
 protected:
  void TearDown() override {
    Shp_FreeFileHandles();
    TempDirTest::TearDown();
  }
  std::string Placeholder(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "~ZOR%04d.TMP", n);
    return Path(name);
  }
};

TEST_F(ReserveTest, CountBelowOneLeavesPoolAbsent) {
  EXPECT_EQ(Shp_ReserveFileHandles(0), 0);
  EXPECT_EQ(Shp_ReserveFileHandles(-3), 0);
  EXPECT_EQ(HandleReserve_IsActive(), 0);
  EXPECT_EQ(Shp_FreeFileHandles(), 0);
}

TEST_F(ReserveTest, PlaceholdersFollowOpensAndCloses) {
  ASSERT_EQ(Shp_ReserveFileHandles(3), 3);
  EXPECT_EQ(Shp_GetNumReservedFileHandles(), 3);
  for (int n = 1; n <= 3; ++n) EXPECT_TRUE(test::FileExists(Placeholder(n))) << n;

  std::FILE* f = HandleReserve_OpenFile(Path("data.bin").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(Shp_GetNumReservedFileHandles(), 2);
  EXPECT_FALSE(test::FileExists(Placeholder(3)));
  EXPECT_EQ(HandleReserve_CloseFile(f), 0);
  EXPECT_EQ(Shp_GetNumReservedFileHandles(), 3);
  EXPECT_TRUE(test::FileExists(Placeholder(3)));

  // A failed open gives the placeholder back and records errno.
  Shp_SetError(0);
  EXPECT_EQ(HandleReserve_OpenFile(Path("no/such/file").c_str(), "rb"), nullptr);
  EXPECT_EQ(Shp_GetError(), ENOENT);
  EXPECT_EQ(Shp_GetNumReservedFileHandles(), 3);

  EXPECT_EQ(Shp_FreeFileHandles(), 3);
  EXPECT_EQ(Shp_GetNumReservedFileHandles(), 0);
  for (int n = 1; n <= 3; ++n) EXPECT_FALSE(test::FileExists(Placeholder(n)));
  // With the pool absent, opens and closes make no placeholders.
  f = HandleReserve_OpenFile(Path("data.bin").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  HandleReserve_CloseFile(f);
  EXPECT_FALSE(test::FileExists(Placeholder(1)));
  Shp_SetError(0);
  EXPECT_EQ(HandleReserve_OpenFile(Path("missing").c_str(), "rb"), nullptr);
  EXPECT_EQ(Shp_GetError(), 0);
}

TEST_F(ReserveTest, FailedOpenOnEmptyActivePoolAddsOne) {
  ASSERT_EQ(Shp_GetNumFreeFileHandles() >= 0, true);  // activates the pool
  Shp_FreeFileHandles();
  ASSERT_EQ(Shp_ReserveFileHandles(1), 1);
  ASSERT_EQ(HandleReserve_ReleaseOne(), 1);  // active, empty list
  EXPECT_EQ(HandleReserve_IsActive(), 1);
  EXPECT_EQ(HandleReserve_OpenFile(Path("missing").c_str(), "rb"), nullptr);
  EXPECT_EQ(Shp_GetNumReservedFileHandles(), 1);
  EXPECT_EQ(Shp_FreeFileHandles(), 1);
  EXPECT_EQ(HandleReserve_IsActive(), 0);
}

TEST_F(ReserveTest, MissingPlaceholderDirectoryLeavesEmptyActivePool) {
  setenv("TMPDIR", Path("does-not-exist").c_str(), 1);
  EXPECT_EQ(Shp_ReserveFileHandles(3), 0);
  EXPECT_EQ(HandleReserve_IsActive(), 1);
  EXPECT_EQ(Shp_GetNumReservedFileHandles(), 0);
  EXPECT_EQ(Shp_FreeFileHandles(), 0);
  EXPECT_EQ(HandleReserve_IsActive(), 0);
}

TEST_F(ReserveTest, FreeHandleCountIsBoundedByTheOpenFileLimit) {
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  struct rlimit low = saved;
  low.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  ASSERT_EQ(Shp_ReserveFileHandles(2), 2);
  int32_t n = Shp_GetNumFreeFileHandles();
  int32_t again = Shp_GetNumFreeFileHandles();
  EXPECT_GT(n, 0);
  EXPECT_LT(n, 64);
  EXPECT_EQ(n, again);
  EXPECT_EQ(Shp_GetNumReservedFileHandles(), 2);
  // Reserving more than the limit allows stops at the first failure.
  int32_t added = Shp_ReserveFileHandles(1000);
  EXPECT_EQ(added, n);
  EXPECT_EQ(Shp_GetNumReservedFileHandles(), 2 + n);
  // With every slot held, the library can still open one file at a time.
  ShpFile* shp = Shp_Create();
  std::string base = Path("held");
  std::vector<char> name(base.begin(), base.end());
  name.push_back('\0');
  EXPECT_EQ(Shp_New(shp, name.data(), SHP_POINT), 1);
  EXPECT_EQ(Shp_Close(shp), 1);
  Shp_Destroy(shp);
  EXPECT_EQ(Shp_GetNumReservedFileHandles(), 2 + n);
  EXPECT_EQ(Shp_FreeFileHandles(), 2 + n);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
}

}  // namespace
}  // namespace ovrix
