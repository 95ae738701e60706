// Growable coordinate and part arrays.
#include <gtest/gtest.h>

#include "ovrix32.h"
#include "platform/mem.h"
#include "shape/arrays.h"

namespace ovrix {
namespace {

// Every test must leave the allocator as it found it.
class ArraysTest : public ::testing::Test {
 protected:
  void SetUp() override { live_ = Mem_LiveBlocks(); }
  void TearDown() override {
    Mem_InjectFailure(0);
    EXPECT_EQ(Mem_LiveBlocks(), live_);
  }
  int64_t live_ = 0;
};

// Capacity, chunks and directory always agree, whatever happened before.
void ExpectConsistent(const CoordArray* a) {
  EXPECT_EQ(a->capacity, a->chunkCount * COORD_CHUNK);
  EXPECT_EQ(a->directoryCapacity % COORD_DIRECTORY_STEP, 0);
  for (int32_t k = 0; k < a->directoryCapacity; ++k) EXPECT_EQ(a->directory[k] != nullptr, k < a->chunkCount) << k;
}

TEST_F(ArraysTest, NewCoordArrayHoldsTwoChunksAndGrowsByWholeChunks) {
  CoordArray* a = CoordArray_Create();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->capacity, 1024);
  EXPECT_EQ(a->chunkCount, 2);
  EXPECT_EQ(a->directoryCapacity, 256);
  const CoordPair p = {1.5, -2.5};
  Mem_InjectFailure(0);
  EXPECT_EQ(CoordArray_Set(a, 1023, &p), 1);
  EXPECT_EQ(Mem_AllocCalls(), 0);  // inside the capacity: nothing allocated
  EXPECT_EQ(CoordArray_Set(a, 1024, &p), 1);
  EXPECT_EQ(Mem_AllocCalls(), 1);
  EXPECT_EQ(a->capacity, 1536);
  CoordPair out = {};
  EXPECT_EQ(CoordArray_Get(a, 1024, &out), 1);
  EXPECT_EQ(out.first, 1.5);
  EXPECT_EQ(out.second, -2.5);
  ExpectConsistent(a);
  CoordArray_Destroy(a);
}

TEST_F(ArraysTest, FarIndexGrowsDirectoryAndFillsTheGap) {
  CoordArray* a = CoordArray_Create();
  ASSERT_NE(a, nullptr);
  const CoordPair p = {7, 8};
  ASSERT_EQ(CoordArray_Set(a, 131072, &p), 1);
  EXPECT_EQ(a->chunkCount, 257);
  EXPECT_EQ(a->directoryCapacity, 512);
  ExpectConsistent(a);
  CoordPair gap = {9, 9};
  EXPECT_EQ(CoordArray_Get(a, 70000, &gap), 1);  // never stored: zero
  EXPECT_EQ(gap.first, 0.0);
  EXPECT_EQ(gap.second, 0.0);
  CoordArray_Destroy(a);

  a = CoordArray_Create();
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(CoordArray_Set(a, 5000, &p), 1);
  EXPECT_EQ(a->chunkCount, 10);
  EXPECT_EQ(a->capacity, 5120);
  CoordArray_Destroy(a);
}

TEST_F(ArraysTest, CoordGetChecksAgainstCapacityAndLeavesOutputOnRefusal) {
  CoordArray* a = CoordArray_Create();
  ASSERT_NE(a, nullptr);
  CoordPair out = {3, 4};
  EXPECT_EQ(CoordArray_Get(a, -1, &out), 0);
  EXPECT_EQ(CoordArray_Get(a, a->capacity, &out), 0);
  EXPECT_EQ(CoordArray_Get(a, 0, nullptr), 0);
  EXPECT_EQ(out.first, 3);
  EXPECT_EQ(out.second, 4);
  EXPECT_EQ(CoordArray_Get(a, 1023, &out), 1);
  EXPECT_EQ(out.first, 0.0);
  const CoordPair p = {1, 1};
  EXPECT_EQ(CoordArray_Set(a, -1, &p), 0);
  EXPECT_EQ(CoordArray_Reserve(a, -5), 0);
  // Indexes whose chunk count no longer fits a 32-bit capacity are refused
  // without allocating.
  Mem_InjectFailure(0);
  EXPECT_EQ(CoordArray_Reserve(a, COORD_MAX_CAPACITY), 0);
  EXPECT_EQ(CoordArray_Set(a, INT32_MAX, &p), 0);
  EXPECT_EQ(Mem_AllocCalls(), 0);
  CoordArray_Destroy(a);
}

TEST_F(ArraysTest, RunsStopAtChunkEnds) {
  CoordArray* a = CoordArray_Create();
  ASSERT_NE(a, nullptr);
  int32_t run = 0;
  CoordPair* at = CoordArray_Run(a, 0, &run);
  EXPECT_EQ(at, a->directory[0]);
  EXPECT_EQ(run, 512);
  at = CoordArray_Run(a, 700, &run);
  EXPECT_EQ(at, a->directory[1] + 188);
  EXPECT_EQ(run, 324);
  EXPECT_EQ(CoordArray_Run(a, 1024, &run), nullptr);
  EXPECT_EQ(CoordArray_Run(a, -1, &run), nullptr);
  CoordArray_Destroy(a);
}

TEST_F(ArraysTest, PartialGrowthKeepsTheChunksItGot) {
  CoordArray* a = CoordArray_Create();
  ASSERT_NE(a, nullptr);
  Mem_InjectFailure(4);  // chunks 3, 4, 5 succeed, the 4th new one fails
  EXPECT_EQ(CoordArray_Reserve(a, 5000), 0);
  EXPECT_EQ(a->chunkCount, 5);
  EXPECT_EQ(a->capacity, 2560);
  ExpectConsistent(a);
  Mem_InjectFailure(0);
  const CoordPair p = {1, 2};
  EXPECT_EQ(CoordArray_Set(a, 2559, &p), 1);
  EXPECT_EQ(CoordArray_Set(a, 5000, &p), 1);
  ExpectConsistent(a);
  CoordArray_Destroy(a);
}

TEST_F(ArraysTest, FailedDirectoryGrowthKeepsTheOldDirectory) {
  CoordArray* a = CoordArray_Create();
  ASSERT_NE(a, nullptr);
  CoordPair** before = a->directory;
  Mem_InjectFailure(1);  // the new directory
  EXPECT_EQ(CoordArray_Reserve(a, 131072), 0);
  EXPECT_EQ(a->directory, before);
  EXPECT_EQ(a->directoryCapacity, 256);
  EXPECT_EQ(a->chunkCount, 2);
  ExpectConsistent(a);
  CoordArray_Destroy(a);
}

TEST_F(ArraysTest, CreateFailsCleanlyAtEveryAllocation) {
  for (int32_t nth = 1; nth <= 4; ++nth) {
    Mem_InjectFailure(nth);
    EXPECT_EQ(CoordArray_Create(), nullptr) << nth;
    EXPECT_EQ(Mem_LiveBlocks(), live_) << nth;
  }
  for (int32_t nth = 1; nth <= 2; ++nth) {
    Mem_InjectFailure(nth);
    EXPECT_EQ(PartArray_Create(16), nullptr) << nth;
    EXPECT_EQ(Mem_LiveBlocks(), live_) << nth;
  }
  Mem_InjectFailure(0);
  EXPECT_EQ(PartArray_Create(0), nullptr);
  EXPECT_EQ(PartArray_Create(INT32_MAX), nullptr);
}

TEST_F(ArraysTest, PartArrayBoundsAndExactGrowth) {
  PartArray* a = PartArray_Create(16);
  ASSERT_NE(a, nullptr);
  int32_t out = 77;
  EXPECT_EQ(PartArray_Get(a, 16, &out), PART_INVALID);
  EXPECT_EQ(PartArray_Get(a, -1, &out), PART_INVALID);
  EXPECT_EQ(out, 77);
  EXPECT_EQ(PartArray_Get(a, 15, nullptr), 0);
  for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(PartArray_Set(a, i, 100 + i), 1);
  EXPECT_EQ(PartArray_Set(a, 16, 5), 0);
  EXPECT_EQ(PartArray_Set(a, -1, 5), 0);

  Mem_InjectFailure(0);
  EXPECT_EQ(PartArray_Reserve(a, 16), 1);  // not above: nothing changes
  EXPECT_EQ(PartArray_Reserve(a, 3), 1);
  EXPECT_EQ(Mem_AllocCalls(), 0);
  EXPECT_EQ(a->capacity, 16);

  Mem_InjectFailure(1);
  int32_t* before = a->data;
  EXPECT_EQ(PartArray_Reserve(a, 17), 0);
  EXPECT_EQ(a->data, before);
  EXPECT_EQ(a->capacity, 16);

  Mem_InjectFailure(0);
  EXPECT_EQ(PartArray_Reserve(a, 17), 1);
  EXPECT_EQ(a->capacity, 17);  // exactly what was asked, no growth step
  EXPECT_EQ(PartArray_Set(a, 16, 5), 1);
  for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(PartArray_Get(a, i, nullptr), 100 + i);
  EXPECT_EQ(PartArray_Get(a, 16, &out), 5);
  EXPECT_EQ(out, 5);
  PartArray_Destroy(a);

  EXPECT_EQ(PartArray_Reserve(nullptr, 1), 0);
  EXPECT_EQ(PartArray_Get(nullptr, 0, nullptr), PART_INVALID);
  EXPECT_EQ(PartArray_Set(nullptr, 0, 1), 0);
  PartArray_Destroy(nullptr);
  CoordArray_Destroy(nullptr);
}

}  // namespace
}  // namespace ovrix
