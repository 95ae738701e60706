// Polyline, PolylineM and PolylineZ records: bytes written, values read back,
// and records that must be refused.
#include <unistd.h>

#include <cmath>

#include "records/multi_record.h"
#include "records_test_util.h"
#include "shape/shpfile.h"

namespace ovrix {
namespace {

using test::BE32;
using test::Bytes;
using test::LE32;
using test::LEDouble;
using test::Slice;

constexpr double kE = 9.9e300;

void Add(ShpLine* o, double x, double y) { test::AddVertex(Shp_LineAppendCoord, o, ShpCoord{x, y}); }
void AddM(ShpLineM* o, double x, double y, double m) { test::AddVertex(Shp_LineMAppendCoord, o, ShpCoordM{x, y, m}); }
void AddZ(ShpLineZ* o, double x, double y, double m, double z) {
  test::AddVertex(Shp_LineZAppendCoord, o, ShpCoordZ{x, y, m, z});
}

class PolylineTest : public test::RecordFileTest {};

TEST_F(PolylineTest, TwoPartRecordBytesIndexAndHeaders) {
  ASSERT_EQ(Shp_New(shp_, Base("l"), SHP_POLYLINE), 1);
  ShpLine* o = Shp_LineCreate();
  Add(o, 0, 0);
  Add(o, 10, 5);
  EXPECT_EQ(Shp_LineNewPart(o), 1);
  Add(o, 20, 20);
  const int32_t shpBefore = shp_->shpLenWords, shxBefore = shp_->shxLenWords;
  ASSERT_EQ(Shp_LineAppend(shp_, o), 1);
  EXPECT_EQ(shp_->shpLenWords - shpBefore, 54);
  EXPECT_EQ(shp_->shxLenWords - shxBefore, 4);
  ASSERT_EQ(Shp_Close(shp_), 1);
  Shp_LineDestroy(o);

  Bytes record;
  record.BE(1).BE(50).LE(3).D(0).D(0).D(20).D(20).LE(2).LE(3).LE(0).LE(2);
  record.D(0).D(0).D(10).D(5).D(20).D(20);
  auto shp = Shp("l");
  ASSERT_EQ(shp.size(), 208u);
  EXPECT_EQ(Slice(shp, 100, 108), record.bytes());
  EXPECT_EQ(BE32(shp, 24), 104);
  EXPECT_EQ(LE32(shp, 32), SHP_POLYLINE);
  EXPECT_EQ(Slice(shp, 36, 32), Bytes().D(0).D(0).D(20).D(20).bytes());
  EXPECT_EQ(Slice(shp, 68, 32), std::vector<uint8_t>(32, 0));
  auto shx = Shx("l");
  ASSERT_EQ(shx.size(), 108u);
  EXPECT_EQ(BE32(shx, 24), 54);
  EXPECT_EQ(Slice(shx, 100, 8), Bytes().BE(50).BE(50).bytes());
}

TEST_F(PolylineTest, FreshObjectGoesOutWithNoPartAndTheEmptyBox) {
  ASSERT_EQ(Shp_New(shp_, Base("e"), SHP_POLYLINE), 1);
  ShpLine* o = Shp_LineCreate();
  ASSERT_EQ(Shp_LineAppend(shp_, o), 1);
  Shp_Close(shp_);
  Shp_LineDestroy(o);
  auto shp = Shp("e");
  Bytes record;
  record.BE(1).BE(22).LE(3).D(kE).D(kE).D(-kE).D(-kE).LE(0).LE(0);
  EXPECT_EQ(Slice(shp, 100, 100), record.bytes());
  EXPECT_EQ(Slice(shp, 36, 32), Bytes().D(kE).D(kE).D(-kE).D(-kE).bytes());
}

TEST_F(PolylineTest, PartRulesAndPartOffsets) {
  ShpLine* o = Shp_LineCreate();
  EXPECT_EQ(Shp_LineNewPart(o), 1);  // the current part is empty: nothing changes
  EXPECT_EQ(Shp_LineGetNumParts(o), 1);
  EXPECT_EQ(Shp_LineGetPartOffset(o, 0), PART_INVALID);
  EXPECT_EQ(Shp_LineGetPartOffset(o, 1), 0);
  EXPECT_EQ(Shp_LineGetPartOffset(o, 2), 0);  // within the storage: a never-written slot
  EXPECT_EQ(Shp_LineGetPartOffset(o, 17), PART_INVALID);
  EXPECT_EQ(Shp_LineGetPartOffset(o, INT32_MIN), PART_INVALID);
  Add(o, 1, 1);
  EXPECT_EQ(Shp_LineNewPart(o), 1);
  EXPECT_EQ(Shp_LineNewPart(o), 1);
  EXPECT_EQ(Shp_LineGetNumParts(o), 2);
  EXPECT_EQ(Shp_LineGetPartOffset(o, 2), 1);

  // Parts beyond the first 16 grow the part list one by one.
  for (int i = 0; i < 20; ++i) {
    Add(o, i, i);
    ASSERT_EQ(Shp_LineNewPart(o), 1);
  }
  EXPECT_EQ(Shp_LineGetNumParts(o), 22);
  EXPECT_EQ(Shp_LineGetPartOffset(o, 22), 21);
  EXPECT_EQ(o->partStarts->capacity, 22);
  EXPECT_EQ(Shp_LineGetPartOffset(o, 23), PART_INVALID);

  // The empty last part is dropped by the append.
  ASSERT_EQ(Shp_New(shp_, Base("p"), SHP_POLYLINE), 1);
  ASSERT_EQ(Shp_LineAppend(shp_, o), 1);
  Shp_Close(shp_);
  auto shp = Shp("p");
  EXPECT_EQ(LE32(shp, 108 + 36), 21);  // P
  EXPECT_EQ(LE32(shp, 108 + 40), 21);  // N
  EXPECT_EQ(LE32(shp, 108 + 44 + 4 * 20), 20);  // start of the last part
  Shp_LineDestroy(o);
}

TEST_F(PolylineTest, AppendEmptiesTheObjectButKeepsItsBox) {
  ASSERT_EQ(Shp_New(shp_, Base("a"), SHP_POLYLINE), 1);
  ShpLine* o = Shp_LineCreate();
  Add(o, -1, 2);
  Add(o, 3, -4);
  Shp_LineSetId(o, 9);
  ASSERT_EQ(Shp_LineAppend(shp_, o), 1);
  EXPECT_EQ(Shp_LineGetNumParts(o), 1);
  EXPECT_EQ(Shp_LineGetNumCoords(o), 0);
  EXPECT_EQ(Shp_LineGetId(o), 0);
  EXPECT_EQ(Shp_LineGetPartOffset(o, 1), 0);
  Bbox box;
  ASSERT_EQ(Shp_LineGetBoundingBox(o, &box), 1);
  EXPECT_EQ(box.xmin, -1);
  EXPECT_EQ(box.ymin, -4);
  EXPECT_EQ(box.xmax, 3);
  EXPECT_EQ(box.ymax, 2);
  EXPECT_EQ(Shp_LineGetBoundingBox(nullptr, &box), 0);
  EXPECT_EQ(Shp_LineGetBoundingBox(o, nullptr), 0);
  // The next first vertex replaces the box; the second record widens the file's.
  Add(o, 50, 60);
  ASSERT_EQ(Shp_LineGetBoundingBox(o, &box), 1);
  EXPECT_EQ(box.xmin, 50);
  EXPECT_EQ(box.ymax, 60);
  ASSERT_EQ(Shp_LineAppend(shp_, o), 1);
  Shp_GetBoundingBox(shp_, &box);
  EXPECT_EQ(box.xmin, -1);
  EXPECT_EQ(box.ymin, -4);
  EXPECT_EQ(box.xmax, 50);
  EXPECT_EQ(box.ymax, 60);
  Shp_LineDestroy(o);
}

TEST_F(PolylineTest, GetCoordRefusesNumbersOutsideThePoints) {
  ShpLineZ* o = Shp_LineZCreate();
  AddZ(o, 1, 2, 3, 4);
  ShpCoordZ c = {7, 7, 7, 7};
  EXPECT_EQ(Shp_LineZGetCoord(o, &c, 0), 0);
  EXPECT_EQ(Shp_LineZGetCoord(o, &c, 2), 0);
  EXPECT_EQ(c.x, 7);
  EXPECT_EQ(c.z, 7);
  ASSERT_EQ(Shp_LineZGetCoord(o, &c, 1), 1);
  EXPECT_EQ(c.x, 1);
  EXPECT_EQ(c.y, 2);
  EXPECT_EQ(c.m, 3);
  EXPECT_EQ(c.z, 4);
  EXPECT_EQ(Shp_LineZDestroy(o), 1);
  EXPECT_EQ(Shp_LineZDestroy(nullptr), 0);
}

TEST_F(PolylineTest, AppendRefusalsWriteNothing) {
  ShpLine* o = Shp_LineCreate();
  Add(o, 1, 1);
  EXPECT_EQ(Shp_LineNewPart(o), 1);
  EXPECT_EQ(Shp_LineAppend(shp_, o), 0);  // closed handle
  EXPECT_EQ(Shp_LineGetNumParts(o), 1);    // the empty last part went all the same

  ASSERT_EQ(Shp_New(shp_, Base("w"), SHP_POLYLINEM), 1);
  EXPECT_EQ(Shp_LineAppend(shp_, o), 0);  // another type
  EXPECT_EQ(Shp_GetNumShapes(shp_), 0);
  EXPECT_EQ(Shp_LineGetNumCoords(o), 1);
  Shp_Close(shp_);
  EXPECT_EQ(test::FileSize(Path("w.shp")), 100);
  EXPECT_EQ(test::FileSize(Path("w.shx")), 100);

  // A file open for reading takes no record.
  ASSERT_EQ(Shp_New(shp_, Base("r"), SHP_POLYLINE), 1);
  ASSERT_EQ(Shp_LineAppend(shp_, o), 1);
  Shp_Close(shp_);
  ASSERT_EQ(Shp_Open(shp_, Base("r"), 3), 1);
  Add(o, 2, 2);
  EXPECT_EQ(Shp_LineAppend(shp_, o), 0);
  EXPECT_EQ(Shp_GetNumShapes(shp_), 1);
  Shp_LineDestroy(o);
}

TEST_F(PolylineTest, MeasuresWrittenAndReadBackOrReportedAsNoData) {
  ASSERT_EQ(Shp_New(shp_, Base("m"), SHP_POLYLINEM), 1);
  ShpLineM* o = Shp_LineMCreate();
  AddM(o, 0, 0, 2);
  AddM(o, 1, 1, 9);
  ASSERT_EQ(Shp_LineMAppend(shp_, o, 0), 1);  // 60 + 4 + 48 bytes
  AddM(o, 5, 5, 100);
  ASSERT_EQ(Shp_LineMAppend(shp_, o, 1), 1);  // 44 + 4 + 16 bytes, no measures
  EXPECT_EQ(o->hasMeasures, 0);               // stays as the append set it
  double lo, hi;
  Shp_GetMeasureRange(shp_, &lo, &hi);
  EXPECT_EQ(lo, 2);
  EXPECT_EQ(hi, 9);
  Shp_Close(shp_);

  auto shp = Shp("m");
  Bytes first;
  first.BE(1).BE(56).LE(23).D(0).D(0).D(1).D(1).LE(1).LE(2).LE(0).D(0).D(0).D(1).D(1).D(2).D(9).D(2).D(9);
  EXPECT_EQ(Slice(shp, 100, 120), first.bytes());
  EXPECT_EQ(Slice(shp, 220, 8), Bytes().BE(2).BE(32).bytes());
  EXPECT_EQ(shp.size(), 220u + 8 + 64);
  EXPECT_EQ(LEDouble(shp, 84), 2);
  EXPECT_EQ(LEDouble(shp, 92), 9);
  EXPECT_EQ(Slice(shp, 68, 16), std::vector<uint8_t>(16, 0));
  EXPECT_EQ(Slice(Shx("m"), 68, 32), std::vector<uint8_t>(32, 0));
  EXPECT_EQ(Slice(Shx("m"), 100, 16), Bytes().BE(50).BE(56).BE(110).BE(32).bytes());

  ASSERT_EQ(Shp_Open(shp_, Base("m"), 3), 1);
  ASSERT_EQ(Shp_LineMRead(shp_, 1, o), 1);
  EXPECT_EQ(Shp_LineMGetId(o), 1);
  ShpCoordM c;
  ASSERT_EQ(Shp_LineMGetCoord(o, &c, 2), 1);
  EXPECT_EQ(c.x, 1);
  EXPECT_EQ(c.m, 9);
  ASSERT_EQ(Shp_LineMGetMeasureRange(o, &lo, &hi), 1);
  EXPECT_EQ(lo, 2);
  EXPECT_EQ(hi, 9);
  ASSERT_EQ(Shp_LineMRead(shp_, 2, o), 1);
  ASSERT_EQ(Shp_LineMGetCoord(o, &c, 1), 1);
  EXPECT_EQ(c.x, 5);
  EXPECT_EQ(c.m, NO_DATA);
  ASSERT_EQ(Shp_LineMGetMeasureRange(o, &lo, &hi), 1);
  EXPECT_EQ(lo, NO_DATA);
  EXPECT_EQ(hi, NO_DATA);
  EXPECT_EQ(Shp_LineMGetMeasureRange(o, nullptr, &hi), 0);
  Shp_LineMDestroy(o);
}

TEST_F(PolylineTest, ZRecordWithoutMeasuresKeepsTheFileMeasureRange) {
  ASSERT_EQ(Shp_New(shp_, Base("z"), SHP_POLYLINEZ), 1);
  ShpLineZ* o = Shp_LineZCreate();
  AddZ(o, 0, 0, 1, 10);
  AddZ(o, 1, 1, 5, 20);
  ASSERT_EQ(Shp_LineZAppend(shp_, o, 0), 1);
  AddZ(o, 2, 2, 100, 5);
  AddZ(o, 3, 3, 100, 30);
  AddZ(o, 4, 4, 100, 7);
  ASSERT_EQ(Shp_LineZAppend(shp_, o, 1), 1);
  double lo, hi;
  Shp_GetMeasureRange(shp_, &lo, &hi);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 5);
  Shp_GetZCoordRange(shp_, &lo, &hi);
  EXPECT_EQ(lo, 5);
  EXPECT_EQ(hi, 30);
  Shp_Close(shp_);

  auto shp = Shp("z");
  const size_t second = 100 + 8 + 76 + 4 + 64;
  Bytes record;
  record.BE(2).BE(68).LE(13).D(2).D(2).D(4).D(4).LE(1).LE(3).LE(0);
  record.D(2).D(2).D(3).D(3).D(4).D(4).D(5).D(30).D(5).D(30).D(7);
  EXPECT_EQ(Slice(shp, second, 144), record.bytes());
  EXPECT_EQ(shp.size(), second + 144);
  EXPECT_EQ(Slice(shp, 68, 32), Bytes().D(5).D(30).D(1).D(5).bytes());

  ASSERT_EQ(Shp_Open(shp_, Base("z"), 3), 1);
  ASSERT_EQ(Shp_LineZRead(shp_, 2, o), 1);
  ASSERT_EQ(Shp_LineZGetZCoordRange(o, &lo, &hi), 1);
  EXPECT_EQ(lo, 5);
  EXPECT_EQ(hi, 30);
  ASSERT_EQ(Shp_LineZGetMeasureRange(o, &lo, &hi), 1);
  EXPECT_EQ(lo, NO_DATA);
  ShpCoordZ c;
  ASSERT_EQ(Shp_LineZGetCoord(o, &c, 3), 1);
  EXPECT_EQ(c.z, 7);
  EXPECT_EQ(c.m, NO_DATA);
  Shp_LineZDestroy(o);
}

TEST_F(PolylineTest, ZFileWithoutAnyMeasuresHasNoMeasureRange) {
  ShpLineZ* o = Shp_LineZCreate();
  ASSERT_EQ(Shp_New(shp_, Base("nom"), SHP_POLYLINEZ), 1);
  for (int r = 0; r < 3; ++r) {
    AddZ(o, r, r, 100, r);
    ASSERT_EQ(Shp_LineZAppend(shp_, o, 1), 1);
  }
  Shp_Close(shp_);
  EXPECT_EQ(Slice(Shp("nom"), 68, 32), Bytes().D(0).D(2).D(0).D(0).bytes());
  Shp_LineZDestroy(o);
}

// Values that cross chunk boundaries, several parts, every field back bit for
// bit; the object read from one file goes out unchanged into another.
TEST_F(PolylineTest, LargeZRecordsRoundTripAndCopyByteForByte) {
  const int32_t n = 1300;
  auto value = [](int32_t i, int k) { return i * 0.25 + k * 1e6 + (i % 7 == 0 ? -0.0 : 0.5); };
  ASSERT_EQ(Shp_New(shp_, Base("big"), SHP_POLYLINEZ), 1);
  ShpLineZ* o = Shp_LineZCreate();
  for (int32_t i = 0; i < n; ++i) {
    if (i == 400 || i == 1024) {
      ASSERT_EQ(Shp_LineZNewPart(o), 1);
    }
    AddZ(o, value(i, 0), value(i, 1), value(i, 2), value(i, 3));
  }
  ASSERT_EQ(Shp_LineZAppend(shp_, o, 0), 1);
  AddZ(o, 1, 2, 3, 4);
  ASSERT_EQ(Shp_LineZAppend(shp_, o, 0), 1);
  Shp_Close(shp_);

  ASSERT_EQ(Shp_Open(shp_, Base("big"), 3), 1);
  ASSERT_EQ(Shp_GetNumShapes(shp_), 2);
  ShpFile* out = Shp_Create();
  char outBase[512];
  std::snprintf(outBase, sizeof outBase, "%s", Path("copy").c_str());
  ASSERT_EQ(Shp_New(out, outBase, SHP_POLYLINEZ), 1);
  for (int32_t r = 1; r <= 2; ++r) {
    ASSERT_EQ(Shp_LineZRead(shp_, r, o), 1);
    if (r == 1) {
      ASSERT_EQ(Shp_LineZGetNumCoords(o), n);
      ASSERT_EQ(Shp_LineZGetNumParts(o), 3);
      EXPECT_EQ(Shp_LineZGetPartOffset(o, 2), 400);
      EXPECT_EQ(Shp_LineZGetPartOffset(o, 3), 1024);
      for (int32_t i = 0; i < n; ++i) {
        ShpCoordZ c;
        ASSERT_EQ(Shp_LineZGetCoord(o, &c, i + 1), 1);
        ASSERT_EQ(std::signbit(c.x), std::signbit(value(i, 0))) << i;
        ASSERT_EQ(c.x, value(i, 0)) << i;
        ASSERT_EQ(c.y, value(i, 1)) << i;
        ASSERT_EQ(c.m, value(i, 2)) << i;
        ASSERT_EQ(c.z, value(i, 3)) << i;
      }
    } else {
      EXPECT_EQ(Shp_LineZGetNumCoords(o), 1);
      EXPECT_EQ(Shp_LineZGetNumParts(o), 1);
    }
    ASSERT_EQ(Shp_LineZAppend(out, o, 0), 1);
  }
  Shp_Close(out);
  Shp_Destroy(out);
  Shp_LineZDestroy(o);
  EXPECT_EQ(Shp("copy"), Shp("big"));
  EXPECT_EQ(Shx("copy"), Shx("big"));
}

// --- refused reads ---------------------------------------------------------------

class PolylineReadTest : public test::DamagedPairTest {
 protected:
  // Two LineM records: record 1 with 3 points and measures (136 bytes),
  // record 2 with 2 points without (80 bytes).
  void SetUp() override {
    DamagedPairTest::SetUp();
    ASSERT_EQ(Shp_New(shp_, Base("src"), SHP_POLYLINEM), 1);
    obj_ = Shp_LineMCreate();
    AddM(obj_, 1, 1, 10);
    AddM(obj_, 2, 2, 20);
    AddM(obj_, 3, 3, 30);
    ASSERT_EQ(Shp_LineMAppend(shp_, obj_, 0), 1);
    AddM(obj_, 4, 4, 40);
    AddM(obj_, 5, 5, 50);
    ASSERT_EQ(Shp_LineMAppend(shp_, obj_, 1), 1);
    Shp_Close(shp_);
    KeepGoodPair();
  }
  void TearDown() override {
    Shp_LineMDestroy(obj_);
    DamagedPairTest::TearDown();
  }
  int32_t ReadRecord(int32_t n) override { return Shp_LineMRead(shp_, n, obj_); }
  // A pair "large" whose only record holds `points` points with measures.
  void WriteLarge(int points) {
    ShpLineM* o = Shp_LineMCreate();
    ASSERT_EQ(Shp_New(shp_, Base("large"), SHP_POLYLINEM), 1);
    for (int i = 0; i < points; ++i) AddM(o, i, i, i);
    ASSERT_EQ(Shp_LineMAppend(shp_, o, 0), 1);
    Shp_Close(shp_);
    Shp_LineMDestroy(o);
  }
  // The object still holds record 1 of the good file (with `id`).
  void ExpectRecordOne(int32_t id) override {
    EXPECT_EQ(Shp_LineMGetId(obj_), id);
    ASSERT_EQ(Shp_LineMGetNumCoords(obj_), 3);
    EXPECT_EQ(Shp_LineMGetNumParts(obj_), 1);
    ShpCoordM c;
    ASSERT_EQ(Shp_LineMGetCoord(obj_, &c, 3), 1);
    EXPECT_EQ(c.x, 3);
    EXPECT_EQ(c.m, 30);
  }
  // The object can still be appended and read.
  void ExpectUsable() {
    ShpFile* other = Shp_Create();
    char b[512];
    std::snprintf(b, sizeof b, "%s", Path("after").c_str());
    ASSERT_EQ(Shp_New(other, b, SHP_POLYLINEM), 1);
    AddM(obj_, 9, 9, 9);
    EXPECT_EQ(Shp_LineMAppend(other, obj_, 0), 1);
    Shp_Destroy(other);
    std::snprintf(base_, sizeof base_, "%s", Path("src").c_str());
    ASSERT_EQ(Shp_Open(shp_, base_, 3), 1);
    EXPECT_EQ(Shp_LineMRead(shp_, 2, obj_), 1);
    EXPECT_EQ(Shp_LineMGetNumCoords(obj_), 2);
  }
  ShpLineM* obj_ = nullptr;
  static constexpr size_t kRec2 = 100 + 8 + 60 + 4 + 72;
};

TEST_F(PolylineReadTest, RecordNumbersOutsideTheFileAndWrongHandles) {
  OpenBad(shpBytes_, shxBytes_);
  for (int32_t n : {0, -1, 3, INT32_MIN, INT32_MAX}) EXPECT_EQ(Shp_LineMRead(shp_, n, obj_), 0) << n;
  ExpectRecordOne(1);
  EXPECT_EQ(Shp_LineRead(shp_, 1, obj_), 0);   // the plain variant on a PolylineM file
  EXPECT_EQ(Shp_LineZRead(shp_, 1, obj_), 0);
  EXPECT_EQ(Shp_PolygonMRead(shp_, 1, obj_), 0);
  ExpectRecordOne(1);
  ASSERT_EQ(Shp_LineMRead(shp_, 2, obj_), 1);
  Shp_Close(shp_);
  EXPECT_EQ(Shp_LineMRead(shp_, 1, obj_), 0);
  ExpectUsable();
}

TEST_F(PolylineReadTest, IndexEntriesThatDoNotFitTheMainFile) {
  struct Case {
    const char* what;
    int32_t offsetWords;
    int32_t lengthWords;
  };
  const Case cases[] = {
      {"offset past the end", 10000, 32},
      {"offset inside the header", 10, 32},
      {"record running past the end", static_cast<int32_t>(kRec2 / 2), 41},
      {"length differing from the record header", static_cast<int32_t>(kRec2 / 2), 30},
      {"negative offset", -8, 32},
      {"too short for a shape type", static_cast<int32_t>(kRec2 / 2), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto shx = shxBytes_;
    test::PutBE32(shx, 108, c.offsetWords);
    test::PutBE32(shx, 112, c.lengthWords);
    auto shp = shpBytes_;
    if (c.lengthWords == 1) test::PutBE32(shp, kRec2 + 4, 1);  // header agrees: still too short
    ExpectRefused(shp, shx, 2, 1);
  }
  ExpectUsable();
}

TEST_F(PolylineReadTest, TruncatedMainFile) {
  auto shp = shpBytes_;
  shp.resize(kRec2 + 8 + 40);  // ends inside record 2's box
  ExpectRefused(shp, shxBytes_, 2, 1);
  EXPECT_EQ(Shp_LineMRead(shp_, 1, obj_), 1);  // record 1 is whole
  ExpectUsable();
}

TEST_F(PolylineReadTest, RecordOfAnotherTypeSetsOnlyTheId) {
  for (int32_t type : {SHP_NULL, SHP_POLYLINE, SHP_POLYGONM}) {
    auto shp = shpBytes_;
    test::PutLE32(shp, kRec2 + 8, type);
    ExpectRefused(shp, shxBytes_, 2, 2);
  }
  ExpectUsable();
}

TEST_F(PolylineReadTest, CountsTheContentLengthCannotHold) {
  struct Case {
    const char* what;
    int32_t parts;
    int32_t points;
  };
  const Case cases[] = {
      {"negative part count", -1, 2},       {"negative point count", 1, -2},
      {"part count too large", 1000, 2},    {"point count too large", 1, 3},
      {"huge point count", 1, INT32_MAX},   {"huge part count", INT32_MAX, 2},
      {"most negative counts", INT32_MIN, INT32_MIN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto shp = shpBytes_;
    test::PutLE32(shp, kRec2 + 8 + 36, c.parts);
    test::PutLE32(shp, kRec2 + 8 + 40, c.points);
    ExpectRefused(shp, shxBytes_, 2, 2);
  }
  ExpectUsable();
}

TEST_F(PolylineReadTest, MeasureBlockAnnouncedButTooShort) {
  // Record 2 without measures is 80 bytes; 8 more announce a measure block
  // that needs 16 + 8 x 2.
  auto shp = shpBytes_;
  auto shx = shxBytes_;
  shp.resize(shp.size() + 8, 0);
  test::PutBE32(shp, kRec2 + 4, 44);
  test::PutBE32(shx, 112, 44);
  ExpectRefused(shp, shx, 2, 2);
  // With room for the whole block it reads, measures present.
  shp.resize(shp.size() + 24, 0);
  test::PutBE32(shp, kRec2 + 4, 56);
  test::PutBE32(shx, 112, 56);
  test::PutLEDouble(shp, kRec2 + 8 + 80 + 8, 7.5);   // mmax
  test::PutLEDouble(shp, kRec2 + 8 + 80 + 24, 7.5);  // m of point 2
  OpenBad(shp, shx);
  ASSERT_EQ(Shp_LineMRead(shp_, 2, obj_), 1);
  ShpCoordM c;
  ASSERT_EQ(Shp_LineMGetCoord(obj_, &c, 2), 1);
  EXPECT_EQ(c.m, 7.5);
  double lo, hi;
  ASSERT_EQ(Shp_LineMGetMeasureRange(obj_, &lo, &hi), 1);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 7.5);
}

TEST_F(PolylineReadTest, MemoryRunningOutLeavesTheObjectAsItWas) {
  WriteLarge(3000);
  Shp_LineMDestroy(obj_);  // a new object: too small for 3000 points
  obj_ = Shp_LineMCreate();
  OpenBad(shpBytes_, shxBytes_);
  ASSERT_EQ(Shp_Open(shp_, Base("large"), 3), 1);
  for (int32_t nth : {1, 3, 5}) {  // the point chunks, then the measure chunks
    Mem_InjectFailure(nth);
    EXPECT_EQ(Shp_LineMRead(shp_, 1, obj_), 0) << nth;
    Mem_InjectFailure(0);
    ExpectRecordOne(1);
  }
  ASSERT_EQ(Shp_LineMRead(shp_, 1, obj_), 1);
  EXPECT_EQ(Shp_LineMGetNumCoords(obj_), 3000);
  ExpectUsable();
}

TEST_F(PolylineReadTest, FileShrinkingUnderTheReaderEmptiesTheObject) {
  // Larger than the main stream's buffer, so the reader meets the cut.
  WriteLarge(40000);
  OpenBad(shpBytes_, shxBytes_);
  ASSERT_EQ(Shp_Open(shp_, Base("large"), 3), 1);
  ASSERT_EQ(truncate(Path("large.shp").c_str(), 500000), 0);  // inside the points
  EXPECT_EQ(Shp_LineMRead(shp_, 1, obj_), 0);
  EXPECT_EQ(Shp_LineMGetId(obj_), 1);
  EXPECT_EQ(Shp_LineMGetNumCoords(obj_), 0);
  EXPECT_EQ(Shp_LineMGetNumParts(obj_), 1);
  EXPECT_EQ(Shp_LineMGetPartOffset(obj_, 1), 0);
  ShpCoordM c;
  EXPECT_EQ(Shp_LineMGetCoord(obj_, &c, 1), 0);
  ExpectUsable();
}

}  // namespace
}  // namespace ovrix
