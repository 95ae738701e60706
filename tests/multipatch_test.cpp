// MultiPatch records: part types and the ring rules, ring closing on NewPart
// and Append, bytes written, values read back with and without measures, and
// records that must be refused.
#include <cmath>
#include <limits>

#include "records/multi_record.h"
#include "records_test_util.h"
#include "shape/shpfile.h"

namespace ovrix {
namespace {

using test::BE32;
using test::Bytes;
using test::ExpectRange;
using test::LE32;
using test::LEDouble;
using test::Slice;

constexpr double kE = 9.9e300;

void Add(ShpMultiPatch* o, double x, double y, double z = 0, double m = 0) {
  test::AddVertex(Shp_MultiPatchAppendCoord, o, ShpCoordZ{x, y, m, z});
}
// Appends the four corners of the unit square (not closed), heights 1 to 4.
void Square(ShpMultiPatch* o) {
  Add(o, 0, 0, 1, 10);
  Add(o, 1, 0, 2, 20);
  Add(o, 1, 1, 3, 30);
  Add(o, 0, 1, 4, 40);
}

// The object's parts: their number, starts and types.
void ExpectParts(ShpMultiPatch* o, const std::vector<int32_t>& starts, const std::vector<int32_t>& types) {
  ASSERT_EQ(Shp_MultiPatchGetNumParts(o), static_cast<int32_t>(starts.size()));
  for (size_t k = 0; k < starts.size(); ++k) {
    EXPECT_EQ(Shp_MultiPatchGetPartOffset(o, static_cast<int32_t>(k + 1)), starts[k]) << k;
    EXPECT_EQ(Shp_MultiPatchGetTypeInPart(o, static_cast<int32_t>(k + 1)), types[k]) << k;
  }
}

class MultiPatchTest : public test::RecordFileTest {
 protected:
  void TearDown() override {
    if (obj_ != nullptr) Shp_MultiPatchDestroy(obj_);
    RecordFileTest::TearDown();
  }
  // Appends the object as the only record of a new MultiPatch file `name`
  // and returns the record's content (behind the record header).
  std::vector<uint8_t> WriteOne(const std::string& name, int32_t noMeasures = 0) {
    EXPECT_EQ(Shp_New(shp_, Base(name), SHP_MULTIPATCH), 1);
    EXPECT_EQ(Shp_MultiPatchAppend(shp_, obj_, noMeasures), 1);
    Shp_Close(shp_);
    auto shp = Shp(name);
    return Slice(shp, 108, shp.size() - 108);
  }
  ShpMultiPatch* obj_ = nullptr;
};

// The outer ring gets its first corner again; every field of the record, its
// header, index entry and the file's header are exact.
TEST_F(MultiPatchTest, OuterRingClosedRecordBytesIndexAndHeader) {
  obj_ = Shp_MultiPatchCreate(SHP_PART_OUTER_RING);
  Square(obj_);
  ASSERT_EQ(Shp_New(shp_, Base("sq"), SHP_MULTIPATCH), 1);
  ASSERT_EQ(Shp_MultiPatchAppend(shp_, obj_, 0), 1);
  EXPECT_EQ(shp_->shpLenWords, 50 + 4 + 38 + 4 + 16 * 5);
  EXPECT_EQ(shp_->shxLenWords, 54);
  Shp_Close(shp_);

  Bytes record;
  record.BE(1).BE(38 + 4 + 16 * 5).LE(SHP_MULTIPATCH).D(0).D(0).D(1).D(1).LE(1).LE(5).LE(0).LE(2);
  record.D(0).D(0).D(1).D(0).D(1).D(1).D(0).D(1).D(0).D(0);  // points, the first again
  record.D(1).D(4).D(1).D(2).D(3).D(4).D(1);                 // z range, z
  record.D(10).D(40).D(10).D(20).D(30).D(40).D(10);          // m range, m
  auto shp = Shp("sq");
  ASSERT_EQ(shp.size(), 100u + 8 + 244);
  EXPECT_EQ(Slice(shp, 100, 252), record.bytes());
  EXPECT_EQ(BE32(shp, 24), 176);
  EXPECT_EQ(LE32(shp, 32), SHP_MULTIPATCH);
  EXPECT_EQ(Slice(shp, 36, 64), Bytes().D(0).D(0).D(1).D(1).D(1).D(4).D(10).D(40).bytes());
  auto shx = Shx("sq");
  ASSERT_EQ(shx.size(), 108u);
  EXPECT_EQ(Slice(shx, 100, 8), Bytes().BE(50).BE(122).bytes());
}

TEST_F(MultiPatchTest, OnlyRingPartsAreClosed) {
  for (int32_t type : {SHP_PART_TRIANGLE_STRIP, SHP_PART_TRIANGLE_FAN, 6, -1, PART_INVALID}) {
    SCOPED_TRACE(type);
    obj_ = Shp_MultiPatchCreate(type);
    Square(obj_);
    auto content = WriteOne("strip");
    EXPECT_EQ(LE32(content, 40), 4);
    EXPECT_EQ(LE32(content, 48), type);  // stored and written as given
    Shp_MultiPatchDestroy(obj_);
    obj_ = nullptr;
  }
  for (int32_t type : {SHP_PART_OUTER_RING, SHP_PART_INNER_RING, SHP_PART_FIRST_RING, SHP_PART_RING}) {
    SCOPED_TRACE(type);
    obj_ = Shp_MultiPatchCreate(type);
    Square(obj_);
    EXPECT_EQ(LE32(WriteOne("ring"), 40), 5);
    Shp_MultiPatchDestroy(obj_);
    obj_ = nullptr;
  }
}

// Equal means neither less nor greater, in x, y, m and z as GetCoord reports
// them: a NaN matches anything, and without measures m does not count.
TEST_F(MultiPatchTest, RingComparisonCoversEveryValue) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    double x, y, z, m;
    int32_t points;
  };
  const Case cases[] = {
      {"closed already", 0, 0, 1, 10, 3},   {"another m", 0, 0, 1, 11, 4},
      {"another z", 0, 0, 2, 10, 4},        {"another y", 0, 1e-300, 1, 10, 4},
      {"NaN matches", nan, 0, 1, 10, 3},    {"negative zero equals zero", -0.0, 0, 1, 10, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    obj_ = Shp_MultiPatchCreate(SHP_PART_FIRST_RING);
    Add(obj_, 0, 0, 1, 10);
    Add(obj_, 5, 5, 5, 5);
    Add(obj_, c.x, c.y, c.z, c.m);
    ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_RING), 1);
    EXPECT_EQ(Shp_MultiPatchGetNumCoords(obj_), c.points);
    EXPECT_EQ(Shp_MultiPatchGetPartOffset(obj_, 2), c.points);
    if (c.points == 4) {
      ShpCoordZ last;
      ASSERT_EQ(Shp_MultiPatchGetCoord(obj_, &last, 4), 1);
      EXPECT_EQ(last.x, 0);
      EXPECT_EQ(last.z, 1);
      EXPECT_EQ(last.m, 10);
    }
    Shp_MultiPatchDestroy(obj_);
    obj_ = nullptr;
  }
  // Read without measures, both m are NO_DATA: only x, y and z decide. (The
  // record is written as a fan, which is not closed, and then made a ring.)
  obj_ = Shp_MultiPatchCreate(SHP_PART_TRIANGLE_FAN);
  Add(obj_, 0, 0, 1, 10);
  Add(obj_, 5, 5, 5, 5);
  Add(obj_, 0, 0, 1, 99);
  WriteOne("nom", 1);
  auto shp = Shp("nom");
  test::PutLE32(shp, 108 + 48, SHP_PART_OUTER_RING);
  test::WriteFile(Path("nom.shp"), shp);
  ASSERT_EQ(Shp_Open(shp_, Base("nom"), 3), 1);
  ASSERT_EQ(Shp_MultiPatchRead(shp_, 1, obj_), 1);
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_OUTER_RING), 1);
  EXPECT_EQ(Shp_MultiPatchGetNumCoords(obj_), 3);
}

TEST_F(MultiPatchTest, RingRules) {
  obj_ = Shp_MultiPatchCreate(SHP_PART_OUTER_RING);
  EXPECT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_INNER_RING), 0);  // the outer ring has no point
  EXPECT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_RING), 0);        // a ring needs a first ring
  EXPECT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_OUTER_RING), 1);  // its own type: nothing changes
  ExpectParts(obj_, {0}, {SHP_PART_OUTER_RING});
  Add(obj_, 1, 1);
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_INNER_RING), 1);  // a one-point ring is closed
  ExpectParts(obj_, {0, 1}, {SHP_PART_OUTER_RING, SHP_PART_INNER_RING});
  EXPECT_EQ(Shp_MultiPatchGetNumCoords(obj_), 1);
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_INNER_RING), 1);  // behind an empty inner ring
  EXPECT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_RING), 0);
  Add(obj_, 2, 2);
  Add(obj_, 3, 3);
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_INNER_RING), 1);  // two points become three
  ExpectParts(obj_, {0, 1, 4}, {SHP_PART_OUTER_RING, SHP_PART_INNER_RING, SHP_PART_INNER_RING});
  // An empty current part takes any type the rules allow, without a new part.
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_FIRST_RING), 1);
  ExpectParts(obj_, {0, 1, 4}, {SHP_PART_OUTER_RING, SHP_PART_INNER_RING, SHP_PART_FIRST_RING});
  EXPECT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_RING), 0);  // the first ring has no point
  Add(obj_, 4, 4);
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_RING), 1);
  Add(obj_, 5, 5);
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_RING), 1);
  EXPECT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_INNER_RING), 0);  // behind a ring
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_TRIANGLE_FAN), 1);  // fans and strips follow anything
  Add(obj_, 6, 6);
  Add(obj_, 7, 7);
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_OUTER_RING), 1);  // the fan is not closed
  ExpectParts(obj_, {0, 1, 4, 5, 6, 8}, {2, 3, 4, 5, 1, 2});
  EXPECT_EQ(Shp_MultiPatchGetNumCoords(obj_), 8);

  // Create with a ring type, then a strip at once: the empty first part
  // becomes the strip.
  Shp_MultiPatchDestroy(obj_);
  obj_ = Shp_MultiPatchCreate(SHP_PART_OUTER_RING);
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_TRIANGLE_STRIP), 1);
  ExpectParts(obj_, {0}, {SHP_PART_TRIANGLE_STRIP});
}

TEST_F(MultiPatchTest, PartQueriesAndFirstPartTypeAcrossAppends) {
  obj_ = Shp_MultiPatchCreate(SHP_PART_FIRST_RING);
  EXPECT_EQ(Shp_MultiPatchGetTypeInPart(obj_, 0), PART_INVALID);
  EXPECT_EQ(Shp_MultiPatchGetTypeInPart(obj_, INT32_MIN), PART_INVALID);
  EXPECT_EQ(Shp_MultiPatchGetTypeInPart(obj_, 1), SHP_PART_FIRST_RING);
  EXPECT_EQ(Shp_MultiPatchGetTypeInPart(obj_, 2), 0);  // within the storage: a never-written slot
  EXPECT_EQ(Shp_MultiPatchGetTypeInPart(obj_, 17), PART_INVALID);
  EXPECT_EQ(Shp_MultiPatchGetPartOffset(obj_, 0), PART_INVALID);
  EXPECT_EQ(Shp_MultiPatchGetPartOffset(obj_, 17), PART_INVALID);

  // An empty last part of any type is dropped by the append.
  Square(obj_);
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_TRIANGLE_STRIP), 1);
  Shp_MultiPatchSetId(obj_, 5);
  EXPECT_EQ(Shp_MultiPatchGetId(obj_), 5);
  ASSERT_EQ(Shp_New(shp_, Base("q"), SHP_MULTIPATCH), 1);
  ASSERT_EQ(Shp_MultiPatchAppend(shp_, obj_, 0), 1);
  EXPECT_EQ(Shp_MultiPatchGetNumParts(obj_), 1);
  EXPECT_EQ(Shp_MultiPatchGetNumCoords(obj_), 0);
  EXPECT_EQ(Shp_MultiPatchGetId(obj_), 0);
  EXPECT_EQ(Shp_MultiPatchGetPartOffset(obj_, 1), 0);
  EXPECT_EQ(Shp_MultiPatchGetTypeInPart(obj_, 1), SHP_PART_FIRST_RING);  // the next record's first part
  test::ExpectBox(Shp_MultiPatchGetBoundingBox, obj_, {0, 0, 1, 1});

  ASSERT_EQ(Shp_MultiPatchSetFirstPartType(obj_, SHP_PART_TRIANGLE_FAN), 1);
  Add(obj_, 9, 9, 9, 9);
  ASSERT_EQ(Shp_MultiPatchAppend(shp_, obj_, 0), 1);
  Shp_Close(shp_);
  auto shp = Shp("q");
  const size_t r2 = 100 + 8 + 244;
  EXPECT_EQ(LE32(shp, 108 + 36), 1);  // record 1: P = 1, n = 5
  EXPECT_EQ(LE32(shp, 108 + 40), 5);
  EXPECT_EQ(LE32(shp, r2 + 8 + 48), SHP_PART_TRIANGLE_FAN);
}

TEST_F(MultiPatchTest, PartListGrowsBeyondSixteenAndRoundTrips) {
  obj_ = Shp_MultiPatchCreate(SHP_PART_TRIANGLE_STRIP);
  for (int k = 0; k < 20; ++k) {
    if (k > 0) {
      ASSERT_EQ(Shp_MultiPatchNewPart(obj_, k % 2 == 0 ? SHP_PART_TRIANGLE_STRIP : SHP_PART_OUTER_RING), 1);
    }
    Add(obj_, k, 0, k, k);
    Add(obj_, k, 1, k, k);
  }
  EXPECT_EQ(obj_->partTypes->capacity, 20);
  EXPECT_EQ(obj_->partStarts->capacity, 20);
  EXPECT_EQ(Shp_MultiPatchGetTypeInPart(obj_, 20), SHP_PART_OUTER_RING);
  EXPECT_EQ(Shp_MultiPatchGetTypeInPart(obj_, 21), PART_INVALID);
  // Outer rings 2, 4, ... 18 were closed by the next NewPart (3 points);
  // ring 20 is closed by the append.
  ASSERT_EQ(Shp_New(shp_, Base("many"), SHP_MULTIPATCH), 1);
  ASSERT_EQ(Shp_MultiPatchAppend(shp_, obj_, 0), 1);
  Shp_Close(shp_);

  Shp_MultiPatchDestroy(obj_);
  obj_ = Shp_MultiPatchCreate(0);
  ASSERT_EQ(Shp_Open(shp_, Base("many"), 3), 1);
  ASSERT_EQ(Shp_MultiPatchRead(shp_, 1, obj_), 1);
  ASSERT_EQ(Shp_MultiPatchGetNumParts(obj_), 20);
  ASSERT_EQ(Shp_MultiPatchGetNumCoords(obj_), 50);
  int32_t start = 0;
  for (int32_t k = 0; k < 20; ++k) {
    EXPECT_EQ(Shp_MultiPatchGetPartOffset(obj_, k + 1), start) << k;
    EXPECT_EQ(Shp_MultiPatchGetTypeInPart(obj_, k + 1), k % 2 == 0 ? 0 : 2) << k;
    start += k % 2 == 0 ? 2 : 3;
  }
  ShpCoordZ c;
  ASSERT_EQ(Shp_MultiPatchGetCoord(obj_, &c, 50), 1);  // the closing point of ring 20
  EXPECT_EQ(c.x, 19);
  EXPECT_EQ(c.y, 0);
  EXPECT_EQ(c.m, 19);
}

TEST_F(MultiPatchTest, RecordsWithoutMeasuresReadBackAsNoData) {
  obj_ = Shp_MultiPatchCreate(SHP_PART_TRIANGLE_FAN);
  ASSERT_EQ(Shp_New(shp_, Base("m"), SHP_MULTIPATCH), 1);
  Add(obj_, 0, 0, 5, 1);
  Add(obj_, 2, 2, 6, 3);
  ASSERT_EQ(Shp_MultiPatchAppend(shp_, obj_, 0), 1);
  Add(obj_, 1, 1, 2, 100);
  Add(obj_, 3, 3, 9, 100);
  ASSERT_EQ(Shp_MultiPatchAppend(shp_, obj_, 1), 1);  // 60 + 8 + 48 bytes
  EXPECT_EQ(obj_->hasMeasures, 1);                    // on again after the append
  ExpectRange(Shp_GetMeasureRange, shp_, 1, 3);
  ExpectRange(Shp_GetZCoordRange, shp_, 2, 9);
  Shp_Close(shp_);

  auto shp = Shp("m");
  const size_t r2 = 100 + 8 + 76 + 8 + 64;
  Bytes second;
  second.BE(2).BE(58).LE(SHP_MULTIPATCH).D(1).D(1).D(3).D(3).LE(1).LE(2).LE(0).LE(SHP_PART_TRIANGLE_FAN);
  second.D(1).D(1).D(3).D(3).D(2).D(9).D(2).D(9);
  EXPECT_EQ(Slice(shp, r2, 124), second.bytes());
  EXPECT_EQ(shp.size(), r2 + 124);
  EXPECT_EQ(Slice(Shx("m"), 100, 16), Bytes().BE(50).BE(74).BE(128).BE(58).bytes());

  ASSERT_EQ(Shp_Open(shp_, Base("m"), 3), 1);
  ASSERT_EQ(Shp_MultiPatchRead(shp_, 2, obj_), 1);
  EXPECT_EQ(Shp_MultiPatchGetId(obj_), 2);
  ShpCoordZ c;
  ASSERT_EQ(Shp_MultiPatchGetCoord(obj_, &c, 2), 1);
  EXPECT_EQ(c.x, 3);
  EXPECT_EQ(c.z, 9);
  EXPECT_EQ(c.m, NO_DATA);
  ExpectRange(Shp_MultiPatchGetMeasureRange, obj_, NO_DATA, NO_DATA);
  ExpectRange(Shp_MultiPatchGetZCoordRange, obj_, 2, 9);
  ASSERT_EQ(Shp_MultiPatchRead(shp_, 1, obj_), 1);
  ASSERT_EQ(Shp_MultiPatchGetCoord(obj_, &c, 2), 1);
  EXPECT_EQ(c.m, 3);
  ExpectRange(Shp_MultiPatchGetMeasureRange, obj_, 1, 3);
  double hi;
  EXPECT_EQ(Shp_MultiPatchGetMeasureRange(obj_, nullptr, &hi), 0);
}

// Only the last ring of a record read from a file goes through the ring
// closing when it is appended again; earlier open rings stay as read.
TEST_F(MultiPatchTest, RecordReadFromAFileClosesOnlyItsLastRing) {
  obj_ = Shp_MultiPatchCreate(SHP_PART_TRIANGLE_FAN);  // fans: written unclosed
  Add(obj_, 0, 0);
  Add(obj_, 1, 0);
  Add(obj_, 1, 1);
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_TRIANGLE_FAN), 1);
  Add(obj_, 5, 5);
  Add(obj_, 6, 5);
  WriteOne("fans");
  // Patch both stored types into rings: two open rings in the file.
  auto shp = Shp("fans");
  test::PutLE32(shp, 108 + 52, SHP_PART_FIRST_RING);
  test::PutLE32(shp, 108 + 56, SHP_PART_RING);
  test::WriteFile(Path("open.shp"), shp);
  test::WriteFile(Path("open.shx"), Shx("fans"));
  ASSERT_EQ(Shp_Open(shp_, Base("open"), 3), 1);
  ASSERT_EQ(Shp_MultiPatchRead(shp_, 1, obj_), 1);
  ExpectParts(obj_, {0, 3}, {SHP_PART_FIRST_RING, SHP_PART_RING});
  auto content = WriteOne("again");
  EXPECT_EQ(LE32(content, 36), 2);
  EXPECT_EQ(LE32(content, 40), 6);
  EXPECT_EQ(Slice(content, 44, 16), Bytes().LE(0).LE(3).LE(4).LE(5).bytes());
  EXPECT_EQ(Slice(content, 60 + 16 * 5, 16), Bytes().D(5).D(5).bytes());  // the closing point
}

TEST_F(MultiPatchTest, ObjectWithoutPointsGoesOutWithoutParts) {
  obj_ = Shp_MultiPatchCreate(SHP_PART_OUTER_RING);
  ASSERT_EQ(Shp_New(shp_, Base("e"), SHP_MULTIPATCH), 1);
  Square(obj_);
  ASSERT_EQ(Shp_MultiPatchAppend(shp_, obj_, 0), 1);
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_TRIANGLE_STRIP), 1);
  ASSERT_EQ(Shp_MultiPatchAppend(shp_, obj_, 0), 1);
  EXPECT_EQ(Shp_MultiPatchGetTypeInPart(obj_, 1), SHP_PART_TRIANGLE_STRIP);
  Shp_Close(shp_);
  auto shp = Shp("e");
  const size_t r2 = 100 + 8 + 244;
  Bytes record;
  record.BE(2).BE(38).LE(SHP_MULTIPATCH).D(kE).D(kE).D(-kE).D(-kE).LE(0).LE(0).D(kE).D(-kE).D(kE).D(-kE);
  EXPECT_EQ(Slice(shp, r2, 84), record.bytes());
  EXPECT_EQ(shp.size(), r2 + 84);
  EXPECT_EQ(Slice(shp, 36, 64), Bytes().D(0).D(0).D(1).D(1).D(1).D(4).D(10).D(40).bytes());

  // A record of 0 parts reads; with no current part, NewPart is refused.
  ASSERT_EQ(Shp_Open(shp_, Base("e"), 3), 1);
  ASSERT_EQ(Shp_MultiPatchRead(shp_, 2, obj_), 1);
  EXPECT_EQ(Shp_MultiPatchGetNumParts(obj_), 0);
  EXPECT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_TRIANGLE_STRIP), 0);
  EXPECT_EQ(Shp_MultiPatchGetNumParts(obj_), 0);
}

TEST_F(MultiPatchTest, AppendRefusalsStillCloseTheRing) {
  obj_ = Shp_MultiPatchCreate(SHP_PART_OUTER_RING);
  Square(obj_);
  EXPECT_EQ(Shp_MultiPatchAppend(shp_, obj_, 0), 0);  // closed handle
  EXPECT_EQ(Shp_MultiPatchGetNumCoords(obj_), 5);
  ASSERT_EQ(Shp_New(shp_, Base("w"), SHP_POLYGONZ), 1);
  EXPECT_EQ(Shp_MultiPatchAppend(shp_, obj_, 1), 0);  // another type
  EXPECT_EQ(obj_->hasMeasures, 1);
  EXPECT_EQ(Shp_MultiPatchGetNumCoords(obj_), 5);
  Shp_Close(shp_);
  EXPECT_EQ(test::FileSize(Path("w.shp")), 100);

  ASSERT_EQ(Shp_New(shp_, Base("r"), SHP_MULTIPATCH), 1);
  ASSERT_EQ(Shp_MultiPatchAppend(shp_, obj_, 0), 1);
  Shp_Close(shp_);
  ASSERT_EQ(Shp_Open(shp_, Base("r"), 3), 1);
  Add(obj_, 7, 7);
  EXPECT_EQ(Shp_MultiPatchAppend(shp_, obj_, 1), 0);  // open for reading
  EXPECT_EQ(obj_->hasMeasures, 0);                    // set from noMeasures before the refusal
  EXPECT_EQ(Shp_GetNumShapes(shp_), 1);
}

TEST_F(MultiPatchTest, MemoryForTheClosingPointRunningOut) {
  // 1024 points fill the two chunks of a new object exactly: the closing
  // point needs a third.
  obj_ = Shp_MultiPatchCreate(SHP_PART_OUTER_RING);
  for (int i = 0; i < 1024; ++i) Add(obj_, i, i % 2);
  Mem_InjectFailure(1);
  EXPECT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_INNER_RING), 0);
  EXPECT_EQ(Shp_MultiPatchGetNumParts(obj_), 1);
  EXPECT_EQ(Shp_MultiPatchGetNumCoords(obj_), 1024);

  ASSERT_EQ(Shp_New(shp_, Base("oom"), SHP_MULTIPATCH), 1);
  Mem_InjectFailure(1);
  EXPECT_EQ(Shp_MultiPatchAppend(shp_, obj_, 0), 0);
  Mem_InjectFailure(0);
  EXPECT_EQ(Shp_GetNumShapes(shp_), 0);
  ASSERT_EQ(Shp_MultiPatchAppend(shp_, obj_, 0), 1);
  Shp_Close(shp_);
  EXPECT_EQ(LE32(Shp("oom"), 108 + 40), 1025);

  // The part lists cannot grow past 16 entries: no part, the ring closed.
  Shp_MultiPatchDestroy(obj_);
  obj_ = Shp_MultiPatchCreate(SHP_PART_TRIANGLE_STRIP);
  for (int k = 0; k < 15; ++k) {
    Add(obj_, k, k);
    ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_TRIANGLE_STRIP), 1);
  }
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_OUTER_RING), 1);
  Add(obj_, 0, 0);
  Add(obj_, 1, 0);
  for (int32_t nth : {1, 2}) {  // the closing point fits; the part types, then the part starts cannot grow
    Mem_InjectFailure(nth);
    EXPECT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_INNER_RING), 0);
    Mem_InjectFailure(0);
    EXPECT_EQ(Shp_MultiPatchGetNumParts(obj_), 16);
  }
  EXPECT_EQ(Shp_MultiPatchGetNumCoords(obj_), 18);
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_INNER_RING), 1);
  ExpectParts(obj_, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 18},
              {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3});
}

// --- refused reads ---------------------------------------------------------------

class MultiPatchReadTest : public test::DamagedPairTest {
 protected:
  // Record 1: a fan of 3 points and a closed outer ring of 5, with measures
  // (76 + 16 + 256 = 348 bytes); record 2: one strip of 2 points without
  // measures (60 + 8 + 48 = 116 bytes).
  void SetUp() override {
    DamagedPairTest::SetUp();
    obj_ = Shp_MultiPatchCreate(SHP_PART_TRIANGLE_FAN);
    Add(obj_, 0, 0, 0, 0);
    Add(obj_, 1, 0, 0, 0);
    Add(obj_, 1, 1, 0, 0);
    ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_OUTER_RING), 1);
    Square(obj_);
    ASSERT_EQ(Shp_New(shp_, Base("src"), SHP_MULTIPATCH), 1);
    ASSERT_EQ(Shp_MultiPatchAppend(shp_, obj_, 0), 1);
    ASSERT_EQ(Shp_MultiPatchSetFirstPartType(obj_, SHP_PART_TRIANGLE_STRIP), 1);
    Add(obj_, 4, 4, 4, 4);
    Add(obj_, 5, 5, 5, 5);
    ASSERT_EQ(Shp_MultiPatchAppend(shp_, obj_, 1), 1);
    Shp_Close(shp_);
    KeepGoodPair();
    ASSERT_EQ(shpBytes_.size(), kRec2 + 8 + 116);
  }
  void TearDown() override {
    Shp_MultiPatchDestroy(obj_);
    DamagedPairTest::TearDown();
  }
  int32_t ReadRecord(int32_t n) override { return Shp_MultiPatchRead(shp_, n, obj_); }
  void ExpectRecordOne(int32_t id) override {
    EXPECT_EQ(Shp_MultiPatchGetId(obj_), id);
    ExpectParts(obj_, {0, 3}, {SHP_PART_TRIANGLE_FAN, SHP_PART_OUTER_RING});
    ASSERT_EQ(Shp_MultiPatchGetNumCoords(obj_), 8);
    ShpCoordZ c;
    ASSERT_EQ(Shp_MultiPatchGetCoord(obj_, &c, 6), 1);
    EXPECT_EQ(c.x, 1);
    EXPECT_EQ(c.z, 3);
    EXPECT_EQ(c.m, 30);
  }
  ShpMultiPatch* obj_ = nullptr;
  static constexpr size_t kRec2 = 100 + 8 + 348;
};

TEST_F(MultiPatchReadTest, RecordNumbersTypesAndTruncation) {
  OpenBad(shpBytes_, shxBytes_);
  for (int32_t n : {0, -1, 3, INT32_MIN, INT32_MAX}) EXPECT_EQ(ReadRecord(n), 0) << n;
  EXPECT_EQ(Shp_PolygonZRead(shp_, 1, obj_), 0);
  ExpectRecordOne(1);

  auto shp = shpBytes_;
  test::PutLE32(shp, kRec2 + 8, SHP_POLYGONZ);
  ExpectRefused(shp, shxBytes_, 2, 2);

  for (size_t keep : {kRec2 + 6, kRec2 + 8 + 50, kRec2 + 8 + 115}) {
    SCOPED_TRACE(keep);
    shp = shpBytes_;
    shp.resize(keep);
    ExpectRefused(shp, shxBytes_, 2, 1);
  }
  auto shx = shxBytes_;
  test::PutBE32(shx, 108, 20);  // record 2's entry points into the header
  ExpectRefused(shpBytes_, shx, 2, 1);
}

TEST_F(MultiPatchReadTest, CountsTheContentLengthCannotHold) {
  // 116 bytes hold P = 1 and n = 2 without measures (60 + 8P + 24n).
  struct Case {
    const char* what;
    int32_t parts;
    int32_t points;
  };
  const Case cases[] = {
      {"negative part count", -1, 2},   {"negative point count", 1, -1},
      {"one part too many", 2, 2},      {"one point too many", 1, 3},
      {"huge part count", INT32_MAX, 2}, {"huge point count", 1, INT32_MAX},
      {"most negative counts", INT32_MIN, INT32_MIN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto shp = shpBytes_;
    test::PutLE32(shp, kRec2 + 8 + 36, c.parts);
    test::PutLE32(shp, kRec2 + 8 + 40, c.points);
    ExpectRefused(shp, shxBytes_, 2, 2);
  }
}

// Part starts and types are taken as stored, and the object stays safe to
// use: a part whose start lies past the points is dropped by the next
// NewPart rather than closed.
TEST_F(MultiPatchReadTest, PartStartsAndTypesAsStored) {
  auto shp = shpBytes_;
  test::PutLE32(shp, kRec2 + 8 + 44, 7);   // start past the two points
  test::PutLE32(shp, kRec2 + 8 + 48, 99);  // a type without a meaning
  OpenBad(shp, shxBytes_);
  ASSERT_EQ(Shp_MultiPatchRead(shp_, 2, obj_), 1);
  ExpectParts(obj_, {7}, {99});
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_OUTER_RING), 1);
  ExpectParts(obj_, {7, 2}, {99, SHP_PART_OUTER_RING});

  test::PutLE32(shp, kRec2 + 8 + 44, -5);  // start before the first point, as a ring
  test::PutLE32(shp, kRec2 + 8 + 48, SHP_PART_OUTER_RING);
  OpenBad(shp, shxBytes_);
  ASSERT_EQ(Shp_MultiPatchRead(shp_, 2, obj_), 1);
  ASSERT_EQ(Shp_MultiPatchNewPart(obj_, SHP_PART_INNER_RING), 1);  // no first point to repeat
  EXPECT_EQ(Shp_MultiPatchGetNumCoords(obj_), 2);
  Shp_Close(shp_);
  ASSERT_EQ(Shp_New(shp_, Base("out"), SHP_MULTIPATCH), 1);
  Add(obj_, 1, 2, 3, 4);
  ASSERT_EQ(Shp_MultiPatchAppend(shp_, obj_, 0), 1);

  test::PutLE32(shp, kRec2 + 8 + 44, 7);
  OpenBad(shp, shxBytes_);
  ASSERT_EQ(Shp_MultiPatchRead(shp_, 2, obj_), 1);  // a ring starting past the points
  Shp_Close(shp_);
  ASSERT_EQ(Shp_New(shp_, Base("out2"), SHP_MULTIPATCH), 1);
  ASSERT_EQ(Shp_MultiPatchAppend(shp_, obj_, 0), 1);  // goes out without that part
  Shp_Close(shp_);
  EXPECT_EQ(LE32(Shp("out2"), 108 + 36), 0);
}

TEST_F(MultiPatchReadTest, MemoryForManyPartsRunningOutLeavesTheObjectAsItWas) {
  ShpMultiPatch* big = Shp_MultiPatchCreate(SHP_PART_TRIANGLE_STRIP);
  for (int k = 0; k < 40; ++k) {
    ASSERT_EQ(Shp_MultiPatchNewPart(big, SHP_PART_TRIANGLE_STRIP), 1);
    Add(big, k, k);
  }
  ASSERT_EQ(Shp_New(shp_, Base("parts"), SHP_MULTIPATCH), 1);
  ASSERT_EQ(Shp_MultiPatchAppend(shp_, big, 0), 1);
  Shp_Close(shp_);
  Shp_MultiPatchDestroy(big);
  OpenBad(shpBytes_, shxBytes_);
  ASSERT_EQ(Shp_Open(shp_, Base("parts"), 3), 1);
  for (int32_t nth : {1, 2}) {  // the part starts, then the part types
    Mem_InjectFailure(nth);
    EXPECT_EQ(Shp_MultiPatchRead(shp_, 1, obj_), 0) << nth;
    Mem_InjectFailure(0);
    ExpectRecordOne(1);
  }
  ASSERT_EQ(Shp_MultiPatchRead(shp_, 1, obj_), 1);
  EXPECT_EQ(Shp_MultiPatchGetNumParts(obj_), 40);
  EXPECT_EQ(Shp_MultiPatchGetPartOffset(obj_, 40), 39);
}

}  // namespace
}  // namespace ovrix
