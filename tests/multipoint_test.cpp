// MultiPoint, MultiPointM and MultiPointZ records: bytes written, values read
// back with and without measures, objects without points, and records that
// must be refused.
#include <cmath>

#include "records/multi_record.h"
#include "records_test_util.h"
#include "shape/shpfile.h"

namespace ovrix {
namespace {

using test::BE32;
using test::Bytes;
using test::ExpectBox;
using test::ExpectRange;
using test::LE32;
using test::LEDouble;
using test::Slice;

constexpr double kE = 9.9e300;

void Add(ShpMultiPoint* o, double x, double y) { test::AddVertex(Shp_MultiPointAppendCoord, o, ShpCoord{x, y}); }
void AddM(ShpMultiPointM* o, double x, double y, double m) {
  test::AddVertex(Shp_MultiPointMAppendCoord, o, ShpCoordM{x, y, m});
}
void AddZ(ShpMultiPointZ* o, double x, double y, double m, double z) {
  test::AddVertex(Shp_MultiPointZAppendCoord, o, ShpCoordZ{x, y, m, z});
}

class MultiPointTest : public test::RecordFileTest {};

// Measures are kept but not reported until an append turns them on; the
// first record goes right behind the header with the exact layout.
TEST_F(MultiPointTest, ZRecordBytesIndexHeaderAndMeasureFlag) {
  ShpMultiPointZ* o = Shp_MultiPointZCreate();
  AddZ(o, 1, 2, 5, 7);
  ShpCoordZ c;
  ASSERT_EQ(Shp_MultiPointZGetCoord(o, &c, 1), 1);
  EXPECT_EQ(c.m, NO_DATA);
  EXPECT_EQ(c.z, 7);
  ExpectRange(Shp_MultiPointZGetZCoordRange, o, 7, 7);
  ExpectRange(Shp_MultiPointZGetMeasureRange, o, NO_DATA, NO_DATA);
  AddZ(o, 3, -4, 1, 9);

  ASSERT_EQ(Shp_New(shp_, Base("z"), SHP_MULTIPOINTZ), 1);
  ASSERT_EQ(Shp_MultiPointZAppend(shp_, o, 0), 1);
  EXPECT_EQ(shp_->shpLenWords, 50 + 40 + 16 * 2);
  EXPECT_EQ(shp_->shxLenWords, 54);
  EXPECT_EQ(o->hasMeasures, 1);
  EXPECT_EQ(Shp_MultiPointZGetNumCoords(o), 0);  // emptied, the boxes kept
  EXPECT_EQ(Shp_MultiPointZGetId(o), 0);
  ExpectBox(Shp_MultiPointZGetBoundingBox, o, {1, -4, 3, 2});
  ExpectRange(Shp_MultiPointZGetMeasureRange, o, 1, 5);
  ASSERT_EQ(Shp_Close(shp_), 1);

  Bytes record;
  record.BE(1).BE(36 + 16 * 2).LE(SHP_MULTIPOINTZ).D(1).D(-4).D(3).D(2).LE(2);
  record.D(1).D(2).D(3).D(-4);          // points
  record.D(7).D(9).D(7).D(9);           // z range, z
  record.D(1).D(5).D(5).D(1);           // m range, m
  auto shp = Shp("z");
  ASSERT_EQ(shp.size(), 100u + 8 + 136);
  EXPECT_EQ(Slice(shp, 100, 144), record.bytes());
  EXPECT_EQ(BE32(shp, 24), 122);
  EXPECT_EQ(LE32(shp, 32), SHP_MULTIPOINTZ);
  EXPECT_EQ(Slice(shp, 36, 64), Bytes().D(1).D(-4).D(3).D(2).D(7).D(9).D(1).D(5).bytes());
  auto shx = Shx("z");
  ASSERT_EQ(shx.size(), 108u);
  EXPECT_EQ(BE32(shx, 24), 54);
  EXPECT_EQ(Slice(shx, 100, 8), Bytes().BE(50).BE(68).bytes());

  ASSERT_EQ(Shp_Open(shp_, Base("z"), 3), 1);
  Shp_MultiPointZDestroy(o);
  o = Shp_MultiPointZCreate();
  ASSERT_EQ(Shp_MultiPointZRead(shp_, 1, o), 1);
  EXPECT_EQ(Shp_MultiPointZGetId(o), 1);
  ASSERT_EQ(Shp_MultiPointZGetNumCoords(o), 2);
  ASSERT_EQ(Shp_MultiPointZGetCoord(o, &c, 2), 1);
  EXPECT_EQ(c.x, 3);
  EXPECT_EQ(c.y, -4);
  EXPECT_EQ(c.m, 1);
  EXPECT_EQ(c.z, 9);
  ExpectRange(Shp_MultiPointZGetMeasureRange, o, 1, 5);
  ExpectRange(Shp_MultiPointZGetZCoordRange, o, 7, 9);
  Shp_MultiPointZDestroy(o);
}

TEST_F(MultiPointTest, PlainRecordsWidenTheFileBoxAndReadBack) {
  ASSERT_EQ(Shp_New(shp_, Base("p"), SHP_MULTIPOINT), 1);
  ShpMultiPoint* o = Shp_MultiPointCreate();
  Add(o, 0, 0);
  Add(o, 10, 5);
  Add(o, -2, 1);
  Shp_MultiPointSetId(o, 44);
  ASSERT_EQ(Shp_MultiPointAppend(shp_, o), 1);
  Add(o, 20, -20);
  ASSERT_EQ(Shp_MultiPointAppend(shp_, o), 1);
  ExpectBox(Shp_GetBoundingBox, shp_, {-2, -20, 20, 5});
  Shp_Close(shp_);

  auto shp = Shp("p");
  Bytes first;
  first.BE(1).BE(44).LE(SHP_MULTIPOINT).D(-2).D(0).D(10).D(5).LE(3).D(0).D(0).D(10).D(5).D(-2).D(1);
  EXPECT_EQ(Slice(shp, 100, 96), first.bytes());
  Bytes second;
  second.BE(2).BE(28).LE(SHP_MULTIPOINT).D(20).D(-20).D(20).D(-20).LE(1).D(20).D(-20);
  EXPECT_EQ(Slice(shp, 196, 100), second.bytes());
  EXPECT_EQ(shp.size(), 196u + 64);
  EXPECT_EQ(Slice(shp, 68, 32), std::vector<uint8_t>(32, 0));  // no Z or M range in a plain file
  EXPECT_EQ(Slice(Shx("p"), 100, 16), Bytes().BE(50).BE(44).BE(98).BE(28).bytes());

  ASSERT_EQ(Shp_Open(shp_, Base("p"), 3), 1);
  ASSERT_EQ(Shp_MultiPointRead(shp_, 1, o), 1);
  EXPECT_EQ(Shp_MultiPointGetId(o), 1);
  ASSERT_EQ(Shp_MultiPointGetNumCoords(o), 3);
  ShpCoord c;
  ASSERT_EQ(Shp_MultiPointGetCoord(o, &c, 3), 1);
  EXPECT_EQ(c.x, -2);
  EXPECT_EQ(c.y, 1);
  ExpectBox(Shp_MultiPointGetBoundingBox, o, {-2, 0, 10, 5});
  Shp_MultiPointDestroy(o);
}

TEST_F(MultiPointTest, MeasuredRecordsWithAndWithoutTheMeasureBlock) {
  ASSERT_EQ(Shp_New(shp_, Base("m"), SHP_MULTIPOINTM), 1);
  ShpMultiPointM* o = Shp_MultiPointMCreate();
  AddM(o, 0, 0, 2);
  AddM(o, 1, 1, 9);
  EXPECT_EQ(o->mzBox.ymin, 0);  // an M object keeps heights of 0
  EXPECT_EQ(o->mzBox.ymax, 0);
  ASSERT_EQ(Shp_MultiPointMAppend(shp_, o, 0), 1);  // 56 + 24 x 2 bytes
  AddM(o, 5, 5, 100);
  ASSERT_EQ(Shp_MultiPointMAppend(shp_, o, 1), 1);  // 40 + 16 bytes
  EXPECT_EQ(o->hasMeasures, 0);
  ExpectRange(Shp_GetMeasureRange, shp_, 2, 9);
  Shp_Close(shp_);

  auto shp = Shp("m");
  Bytes first;
  first.BE(1).BE(52).LE(SHP_MULTIPOINTM).D(0).D(0).D(1).D(1).LE(2).D(0).D(0).D(1).D(1).D(2).D(9).D(2).D(9);
  EXPECT_EQ(Slice(shp, 100, 112), first.bytes());
  EXPECT_EQ(Slice(shp, 212, 8), Bytes().BE(2).BE(28).bytes());
  EXPECT_EQ(shp.size(), 212u + 64);
  EXPECT_EQ(Slice(shp, 68, 32), Bytes().D(0).D(0).D(2).D(9).bytes());
  EXPECT_EQ(Slice(Shx("m"), 100, 16), Bytes().BE(50).BE(52).BE(106).BE(28).bytes());

  ASSERT_EQ(Shp_Open(shp_, Base("m"), 3), 1);
  ASSERT_EQ(Shp_MultiPointMRead(shp_, 1, o), 1);
  ShpCoordM c;
  ASSERT_EQ(Shp_MultiPointMGetCoord(o, &c, 2), 1);
  EXPECT_EQ(c.m, 9);
  ExpectRange(Shp_MultiPointMGetMeasureRange, o, 2, 9);
  ASSERT_EQ(Shp_MultiPointMRead(shp_, 2, o), 1);
  ASSERT_EQ(Shp_MultiPointMGetCoord(o, &c, 1), 1);
  EXPECT_EQ(c.x, 5);
  EXPECT_EQ(c.m, NO_DATA);
  ExpectRange(Shp_MultiPointMGetMeasureRange, o, NO_DATA, NO_DATA);
  double lo;
  EXPECT_EQ(Shp_MultiPointMGetMeasureRange(o, &lo, nullptr), 0);
  Shp_MultiPointMDestroy(o);
}

TEST_F(MultiPointTest, ZRecordWithoutMeasuresKeepsTheFileMeasureRange) {
  ASSERT_EQ(Shp_New(shp_, Base("z"), SHP_MULTIPOINTZ), 1);
  ShpMultiPointZ* o = Shp_MultiPointZCreate();
  AddZ(o, 0, 0, 1, 10);
  AddZ(o, 1, 1, 5, 20);
  ASSERT_EQ(Shp_MultiPointZAppend(shp_, o, 0), 1);
  AddZ(o, 2, 2, 100, 5);
  AddZ(o, 3, 3, -100, 30);
  ASSERT_EQ(Shp_MultiPointZAppend(shp_, o, 1), 1);
  Shp_Close(shp_);

  auto shp = Shp("z");
  const size_t second = 100 + 8 + 72 + 64;
  Bytes record;
  record.BE(2).BE(52).LE(SHP_MULTIPOINTZ).D(2).D(2).D(3).D(3).LE(2).D(2).D(2).D(3).D(3).D(5).D(30).D(5).D(30);
  EXPECT_EQ(Slice(shp, second, 112), record.bytes());
  EXPECT_EQ(shp.size(), second + 112);
  EXPECT_EQ(Slice(shp, 68, 32), Bytes().D(5).D(30).D(1).D(5).bytes());

  ASSERT_EQ(Shp_Open(shp_, Base("z"), 3), 1);
  ASSERT_EQ(Shp_MultiPointZRead(shp_, 2, o), 1);
  ExpectRange(Shp_MultiPointZGetZCoordRange, o, 5, 30);
  ExpectRange(Shp_MultiPointZGetMeasureRange, o, NO_DATA, NO_DATA);
  ShpCoordZ c;
  ASSERT_EQ(Shp_MultiPointZGetCoord(o, &c, 2), 1);
  EXPECT_EQ(c.z, 30);
  EXPECT_EQ(c.m, NO_DATA);
  Shp_MultiPointZDestroy(o);
}

TEST_F(MultiPointTest, FreshObjectsAndPointNumbers) {
  ShpMultiPointZ* z = Shp_MultiPointZCreate();
  ShpMultiPoint* p = Shp_MultiPointCreate();
  for (ShpMultiRecord* o : {z, p}) {
    ExpectBox(Shp_MultiPointGetBoundingBox, o, {kE, kE, -kE, -kE});
    EXPECT_EQ(Shp_MultiPointGetNumCoords(o), 0);
    EXPECT_EQ(Shp_MultiPointGetId(o), 0);
    EXPECT_EQ(o->partStarts, nullptr);
  }
  EXPECT_EQ(p->mzCoords, nullptr);
  ExpectRange(Shp_MultiPointZGetZCoordRange, z, kE, -kE);
  ExpectRange(Shp_MultiPointZGetMeasureRange, z, NO_DATA, NO_DATA);
  Bbox box;
  EXPECT_EQ(Shp_MultiPointZGetBoundingBox(nullptr, &box), 0);
  EXPECT_EQ(Shp_MultiPointZGetBoundingBox(z, nullptr), 0);
  double lo, hi;
  EXPECT_EQ(Shp_MultiPointZGetZCoordRange(nullptr, &lo, &hi), 0);

  AddZ(z, 1, 2, 3, 4);
  ShpCoordZ c = {7, 7, 7, 7};
  for (int32_t n : {0, 2, -1, INT32_MIN, INT32_MAX}) EXPECT_EQ(Shp_MultiPointZGetCoord(z, &c, n), 0) << n;
  EXPECT_EQ(c.x, 7);
  EXPECT_EQ(c.z, 7);
  EXPECT_EQ(Shp_MultiPointZDestroy(z), 1);
  EXPECT_EQ(Shp_MultiPointDestroy(p), 1);
  EXPECT_EQ(Shp_MultiPointDestroy(nullptr), 0);
}

// An object without points, fresh or reused, writes 0 points and the empty
// box and ranges, and leaves the file's box and ranges alone.
TEST_F(MultiPointTest, ObjectWithoutPointsNeverStretchesTheFileBox) {
  ASSERT_EQ(Shp_New(shp_, Base("e"), SHP_MULTIPOINTZ), 1);
  ShpMultiPointZ* fresh = Shp_MultiPointZCreate();
  ASSERT_EQ(Shp_MultiPointZAppend(shp_, fresh, 0), 1);  // as the first record
  ShpMultiPointZ* o = Shp_MultiPointZCreate();
  AddZ(o, 1, 2, 3, 4);
  ASSERT_EQ(Shp_MultiPointZAppend(shp_, o, 0), 1);
  ASSERT_EQ(Shp_MultiPointZAppend(shp_, fresh, 0), 1);  // fresh, behind a real record
  ASSERT_EQ(Shp_MultiPointZAppend(shp_, o, 1), 1);      // reused: its box was record 2's
  ExpectBox(Shp_MultiPointZGetBoundingBox, o, {kE, kE, -kE, -kE});
  EXPECT_EQ(Shp_GetNumShapes(shp_), 4);
  Shp_Close(shp_);

  auto shp = Shp("e");
  // Record r without points: header, type, empty box, n = 0, empty Z range
  // and, with measures, empty M range.
  auto empty = [](int32_t r, bool measures) {
    Bytes b;
    b.BE(r).BE(measures ? 36 : 28).LE(SHP_MULTIPOINTZ).D(kE).D(kE).D(-kE).D(-kE).LE(0).D(kE).D(-kE);
    if (measures) b.D(kE).D(-kE);
    return b.bytes();
  };
  const size_t r1 = 100, r2 = r1 + 8 + 72, r3 = r2 + 8 + 104, r4 = r3 + 8 + 72;
  EXPECT_EQ(Slice(shp, r1, 80), empty(1, true));
  EXPECT_EQ(Slice(shp, r3, 80), empty(3, true));
  EXPECT_EQ(Slice(shp, r4, 64), empty(4, false));
  EXPECT_EQ(shp.size(), r4 + 64);
  // The file's box and ranges are those of record 2 alone.
  EXPECT_EQ(Slice(shp, 36, 64), Bytes().D(1).D(2).D(1).D(2).D(4).D(4).D(3).D(3).bytes());

  ASSERT_EQ(Shp_Open(shp_, Base("e"), 3), 1);
  ASSERT_EQ(Shp_MultiPointZRead(shp_, 2, o), 1);
  ASSERT_EQ(Shp_MultiPointZRead(shp_, 3, o), 1);
  EXPECT_EQ(Shp_MultiPointZGetNumCoords(o), 0);
  ExpectRange(Shp_MultiPointZGetMeasureRange, o, kE, -kE);
  ASSERT_EQ(Shp_MultiPointZRead(shp_, 4, o), 1);
  ExpectRange(Shp_MultiPointZGetMeasureRange, o, NO_DATA, NO_DATA);
  Shp_MultiPointZDestroy(o);
  Shp_MultiPointZDestroy(fresh);
}

TEST_F(MultiPointTest, AppendRefusalsWriteNothing) {
  ShpMultiPointM* o = Shp_MultiPointMCreate();
  AddM(o, 1, 1, 1);
  EXPECT_EQ(Shp_MultiPointMAppend(shp_, o, 0), 0);  // closed handle: type 0
  EXPECT_EQ(o->hasMeasures, 0);

  ASSERT_EQ(Shp_New(shp_, Base("w"), SHP_MULTIPOINTZ), 1);
  EXPECT_EQ(Shp_MultiPointMAppend(shp_, o, 0), 0);  // another type
  EXPECT_EQ(Shp_MultiPointAppend(shp_, o), 0);
  EXPECT_EQ(o->hasMeasures, 0);
  EXPECT_EQ(Shp_GetNumShapes(shp_), 0);
  EXPECT_EQ(Shp_MultiPointMGetNumCoords(o), 1);
  Shp_Close(shp_);
  EXPECT_EQ(test::FileSize(Path("w.shp")), 100);
  EXPECT_EQ(test::FileSize(Path("w.shx")), 100);

  // A file open for reading takes no record; the measure flag has followed
  // noMeasures all the same.
  ASSERT_EQ(Shp_New(shp_, Base("r"), SHP_MULTIPOINTM), 1);
  ASSERT_EQ(Shp_MultiPointMAppend(shp_, o, 1), 1);
  Shp_Close(shp_);
  ASSERT_EQ(Shp_Open(shp_, Base("r"), 3), 1);
  AddM(o, 2, 2, 2);
  EXPECT_EQ(Shp_MultiPointMAppend(shp_, o, 0), 0);
  EXPECT_EQ(o->hasMeasures, 1);
  EXPECT_EQ(Shp_MultiPointMGetNumCoords(o), 1);
  EXPECT_EQ(Shp_GetNumShapes(shp_), 1);
  Shp_MultiPointMDestroy(o);
}

// Values that cross chunk boundaries back bit for bit; records read from one
// file go out unchanged into another.
TEST_F(MultiPointTest, LargeRecordsRoundTripAndCopyByteForByte) {
  const int32_t n = 1300;
  auto value = [](int32_t i, int k) { return i * 0.25 + k * 1e6 + (i % 7 == 0 ? -0.0 : 0.5); };
  ASSERT_EQ(Shp_New(shp_, Base("big"), SHP_MULTIPOINTZ), 1);
  ShpMultiPointZ* o = Shp_MultiPointZCreate();
  for (int32_t i = 0; i < n; ++i) AddZ(o, value(i, 0), value(i, 1), value(i, 2), value(i, 3));
  ASSERT_EQ(Shp_MultiPointZAppend(shp_, o, 0), 1);
  AddZ(o, 1, 2, 3, 4);
  ASSERT_EQ(Shp_MultiPointZAppend(shp_, o, 1), 1);
  Shp_Close(shp_);

  ASSERT_EQ(Shp_Open(shp_, Base("big"), 3), 1);
  ShpFile* out = Shp_Create();
  char outBase[512];
  std::snprintf(outBase, sizeof outBase, "%s", Path("copy").c_str());
  ASSERT_EQ(Shp_New(out, outBase, SHP_MULTIPOINTZ), 1);
  ASSERT_EQ(Shp_MultiPointZRead(shp_, 1, o), 1);
  ASSERT_EQ(Shp_MultiPointZGetNumCoords(o), n);
  for (int32_t i = 0; i < n; ++i) {
    ShpCoordZ c;
    ASSERT_EQ(Shp_MultiPointZGetCoord(o, &c, i + 1), 1);
    ASSERT_EQ(std::signbit(c.x), std::signbit(value(i, 0))) << i;
    ASSERT_EQ(c.x, value(i, 0)) << i;
    ASSERT_EQ(c.y, value(i, 1)) << i;
    ASSERT_EQ(c.m, value(i, 2)) << i;
    ASSERT_EQ(c.z, value(i, 3)) << i;
  }
  ASSERT_EQ(Shp_MultiPointZAppend(out, o, 0), 1);
  ASSERT_EQ(Shp_MultiPointZRead(shp_, 2, o), 1);
  ASSERT_EQ(Shp_MultiPointZAppend(out, o, 1), 1);
  Shp_Close(out);
  Shp_Destroy(out);
  Shp_MultiPointZDestroy(o);
  EXPECT_EQ(Shp("copy"), Shp("big"));
  EXPECT_EQ(Shx("copy"), Shx("big"));
}

// --- refused reads ---------------------------------------------------------------

class MultiPointReadTest : public test::DamagedPairTest {
 protected:
  // Two MultiPointZ records: record 1 with 3 points and measures (168
  // bytes), record 2 with 2 points without (104 bytes).
  void SetUp() override {
    DamagedPairTest::SetUp();
    ASSERT_EQ(Shp_New(shp_, Base("src"), SHP_MULTIPOINTZ), 1);
    obj_ = Shp_MultiPointZCreate();
    AddZ(obj_, 1, 1, 10, 100);
    AddZ(obj_, 2, 2, 20, 200);
    AddZ(obj_, 3, 3, 30, 300);
    ASSERT_EQ(Shp_MultiPointZAppend(shp_, obj_, 0), 1);
    AddZ(obj_, 4, 4, 40, 400);
    AddZ(obj_, 5, 5, 50, 500);
    ASSERT_EQ(Shp_MultiPointZAppend(shp_, obj_, 1), 1);
    Shp_Close(shp_);
    KeepGoodPair();
    ASSERT_EQ(shpBytes_.size(), kRec2 + 8 + 104);
  }
  void TearDown() override {
    Shp_MultiPointZDestroy(obj_);
    DamagedPairTest::TearDown();
  }
  int32_t ReadRecord(int32_t n) override { return Shp_MultiPointZRead(shp_, n, obj_); }
  void ExpectRecordOne(int32_t id) override {
    EXPECT_EQ(Shp_MultiPointZGetId(obj_), id);
    ASSERT_EQ(Shp_MultiPointZGetNumCoords(obj_), 3);
    ShpCoordZ c;
    ASSERT_EQ(Shp_MultiPointZGetCoord(obj_, &c, 3), 1);
    EXPECT_EQ(c.x, 3);
    EXPECT_EQ(c.m, 30);
    EXPECT_EQ(c.z, 300);
    ExpectRange(Shp_MultiPointZGetMeasureRange, obj_, 10, 30);
  }
  // The object can still be appended and read.
  void ExpectUsable() {
    ShpFile* other = Shp_Create();
    char b[512];
    std::snprintf(b, sizeof b, "%s", Path("after").c_str());
    ASSERT_EQ(Shp_New(other, b, SHP_MULTIPOINTZ), 1);
    AddZ(obj_, 9, 9, 9, 9);
    EXPECT_EQ(Shp_MultiPointZAppend(other, obj_, 0), 1);
    Shp_Destroy(other);
    ASSERT_EQ(Shp_Open(shp_, Base("src"), 3), 1);
    EXPECT_EQ(Shp_MultiPointZRead(shp_, 2, obj_), 1);
    EXPECT_EQ(Shp_MultiPointZGetNumCoords(obj_), 2);
  }
  ShpMultiPointZ* obj_ = nullptr;
  static constexpr size_t kRec2 = 100 + 8 + 168;
};

// Damage to record 2 of the pair, and the id it leaves in the object: a
// record refused before its content is read leaves record 1 whole (id 1);
// one refused at its type or counts sets only the id (2).
TEST_F(MultiPointReadTest, DamagedRecordsAreRefused) {
  struct Case {
    const char* what;
    size_t at;  // where in the .shp (the .shx where `index`) the value goes
    int32_t value;
    bool bigEndian, index;
    int32_t idAfter;
  };
  const size_t type = kRec2 + 8, count = kRec2 + 8 + 36;
  const Case cases[] = {
      {"Null record", type, SHP_NULL, false, false, 2},
      {"MultiPointM record", type, SHP_MULTIPOINTM, false, false, 2},
      {"negative count", count, -1, false, false, 2},
      {"one point too many", count, 3, false, false, 2},
      {"huge count", count, INT32_MAX, false, false, 2},
      {"most negative count", count, INT32_MIN, false, false, 2},
      {"count whose bytes overflow 32 bits", count, 0x10000000, false, false, 2},
      {"header length differing from the index", kRec2 + 4, 50, true, false, 1},
      {"index entry inside the header", 108, 10, true, true, 1},
      {"index entry past the end", 108, 10000, true, true, 1},
      {"record running past the end", 112, 53, true, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto shp = shpBytes_;
    auto shx = shxBytes_;
    auto& bytes = c.index ? shx : shp;
    (c.bigEndian ? test::PutBE32 : test::PutLE32)(bytes, c.at, c.value);
    ExpectRefused(shp, shx, 2, c.idAfter);
  }
  for (size_t keep : {kRec2 + 4, kRec2 + 8 + 38, kRec2 + 8 + 103}) {  // truncated inside record 2
    SCOPED_TRACE(keep);
    auto shp = shpBytes_;
    shp.resize(keep);
    ExpectRefused(shp, shxBytes_, 2, 1);
  }
  OpenBad(shpBytes_, shxBytes_);
  for (int32_t n : {0, -1, 3, INT32_MIN, INT32_MAX}) EXPECT_EQ(ReadRecord(n), 0) << n;
  EXPECT_EQ(Shp_MultiPointMRead(shp_, 1, obj_), 0);  // other variants on a MultiPointZ file
  EXPECT_EQ(Shp_MultiPointRead(shp_, 1, obj_), 0);
  ExpectRecordOne(1);
  ExpectUsable();
}

// Bytes behind the Z block are a measure block when they can hold one; a
// length that announces one too short for it is refused.
TEST_F(MultiPointReadTest, MeasureBlockDecidedByTheLength) {
  auto shp = shpBytes_;
  auto shx = shxBytes_;
  shp.resize(shp.size() + 8, 0);  // 8 bytes more: 16 + 8 x 2 are needed
  test::PutBE32(shp, kRec2 + 4, 56);
  test::PutBE32(shx, 112, 56);
  ExpectRefused(shp, shx, 2, 2);

  shp.resize(shp.size() + 24, 0);
  test::PutBE32(shp, kRec2 + 4, 68);
  test::PutBE32(shx, 112, 68);
  test::PutLEDouble(shp, kRec2 + 8 + 104 + 8, 7.5);   // mmax
  test::PutLEDouble(shp, kRec2 + 8 + 104 + 24, 7.5);  // m of point 2
  OpenBad(shp, shx);
  ASSERT_EQ(ReadRecord(2), 1);
  ShpCoordZ c;
  ASSERT_EQ(Shp_MultiPointZGetCoord(obj_, &c, 2), 1);
  EXPECT_EQ(c.m, 7.5);
  EXPECT_EQ(c.z, 500);
  ExpectRange(Shp_MultiPointZGetMeasureRange, obj_, 0, 7.5);

  // One point in the original 104 bytes: 80 for the points and heights,
  // and exactly 24 for a measure block.
  shp = shpBytes_;
  test::PutLE32(shp, kRec2 + 8 + 36, 1);
  OpenBad(shp, shxBytes_);
  ASSERT_EQ(ReadRecord(2), 1);
  EXPECT_EQ(obj_->hasMeasures, 1);
  EXPECT_EQ(Shp_MultiPointZGetNumCoords(obj_), 1);
}

}  // namespace
}  // namespace ovrix
