// MultiPoint, MultiPointM and MultiPointZ records: bytes written, values read
// back with and without measures, objects without points, and records that
// must be refused.
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

void Add(ShpMultiPoint* o, double x, double y) {
  ShpCoord c = {x, y};
  ASSERT_EQ(Shp_MultiPointAppendCoord(o, &c), 1);
}
void AddM(ShpMultiPointM* o, double x, double y, double m) {
  ShpCoordM c = {x, y, m};
  ASSERT_EQ(Shp_MultiPointMAppendCoord(o, &c), 1);
}
void AddZ(ShpMultiPointZ* o, double x, double y, double m, double z) {
  ShpCoordZ c = {x, y, m, z};
  ASSERT_EQ(Shp_MultiPointZAppendCoord(o, &c), 1);
}
void ExpectRange(int32_t (*get)(ShpMultiRecord*, double*, double*), ShpMultiRecord* o, double lo, double hi) {
  double a = 0, b = 0;
  ASSERT_EQ(get(o, &a, &b), 1);
  EXPECT_EQ(a, lo);
  EXPECT_EQ(b, hi);
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
  Bbox box;
  Shp_GetBoundingBox(shp_, &box);
  EXPECT_EQ(box.xmin, -2);
  EXPECT_EQ(box.ymin, -20);
  EXPECT_EQ(box.xmax, 20);
  EXPECT_EQ(box.ymax, 5);
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
  ASSERT_EQ(Shp_MultiPointGetBoundingBox(o, &box), 1);
  EXPECT_EQ(box.xmin, -2);
  EXPECT_EQ(box.xmax, 10);
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
  double lo, hi;
  Shp_GetMeasureRange(shp_, &lo, &hi);
  EXPECT_EQ(lo, 2);
  EXPECT_EQ(hi, 9);
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
  Bbox box;
  for (ShpMultiRecord* o : {z, p}) {
    ASSERT_EQ(Shp_MultiPointGetBoundingBox(o, &box), 1);
    EXPECT_EQ(box.xmin, kE);
    EXPECT_EQ(box.ymin, kE);
    EXPECT_EQ(box.xmax, -kE);
    EXPECT_EQ(box.ymax, -kE);
    EXPECT_EQ(Shp_MultiPointGetNumCoords(o), 0);
    EXPECT_EQ(Shp_MultiPointGetId(o), 0);
    EXPECT_EQ(o->partStarts, nullptr);
  }
  EXPECT_EQ(p->mzCoords, nullptr);
  ExpectRange(Shp_MultiPointZGetZCoordRange, z, kE, -kE);
  ExpectRange(Shp_MultiPointZGetMeasureRange, z, NO_DATA, NO_DATA);
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

TEST_F(MultiPointTest, AppendEmptiesTheObjectButKeepsItsBoxes) {
  ASSERT_EQ(Shp_New(shp_, Base("a"), SHP_MULTIPOINTZ), 1);
  ShpMultiPointZ* o = Shp_MultiPointZCreate();
  AddZ(o, -1, 2, 10, 3);
  AddZ(o, 3, -4, 20, 1);
  Shp_MultiPointZSetId(o, 9);
  ASSERT_EQ(Shp_MultiPointZAppend(shp_, o, 0), 1);
  EXPECT_EQ(Shp_MultiPointZGetNumCoords(o), 0);
  EXPECT_EQ(Shp_MultiPointZGetId(o), 0);
  EXPECT_EQ(o->numParts, 1);
  Bbox box;
  ASSERT_EQ(Shp_MultiPointZGetBoundingBox(o, &box), 1);
  EXPECT_EQ(box.xmin, -1);
  EXPECT_EQ(box.ymax, 2);
  ExpectRange(Shp_MultiPointZGetZCoordRange, o, 1, 3);
  // The next first point replaces both boxes; the file's widen.
  AddZ(o, 50, 60, 70, 80);
  ExpectRange(Shp_MultiPointZGetZCoordRange, o, 80, 80);
  ExpectRange(Shp_MultiPointZGetMeasureRange, o, 70, 70);
  ASSERT_EQ(Shp_MultiPointZAppend(shp_, o, 0), 1);
  Shp_GetBoundingBox(shp_, &box);
  EXPECT_EQ(box.xmin, -1);
  EXPECT_EQ(box.ymin, -4);
  EXPECT_EQ(box.xmax, 50);
  EXPECT_EQ(box.ymax, 60);
  double lo, hi;
  Shp_GetZCoordRange(shp_, &lo, &hi);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 80);
  Shp_GetMeasureRange(shp_, &lo, &hi);
  EXPECT_EQ(lo, 10);
  EXPECT_EQ(hi, 70);
  Shp_MultiPointZDestroy(o);
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
  Bbox box;
  ASSERT_EQ(Shp_MultiPointZGetBoundingBox(o, &box), 1);
  EXPECT_EQ(box.xmin, kE);
  EXPECT_EQ(box.xmax, -kE);
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

class MultiPointReadTest : public test::RecordFileTest {
 protected:
  // Two MultiPointZ records: record 1 with 3 points and measures (168
  // bytes), record 2 with 2 points without (104 bytes).
  void SetUp() override {
    RecordFileTest::SetUp();
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
    shpBytes_ = Shp("src");
    shxBytes_ = Shx("src");
    ASSERT_EQ(shpBytes_.size(), kRec2 + 8 + 104);
  }
  void TearDown() override {
    Shp_MultiPointZDestroy(obj_);
    RecordFileTest::TearDown();
  }
  // Reads record 1 of the good file into the object, then writes the
  // (patched) pair as "bad" and opens it for reading.
  void OpenBad(const std::vector<uint8_t>& shp, const std::vector<uint8_t>& shx) {
    ASSERT_EQ(Shp_Open(shp_, Base("src"), 3), 1);
    ASSERT_EQ(Shp_MultiPointZRead(shp_, 1, obj_), 1);
    test::WriteFile(Path("bad.shp"), shp);
    test::WriteFile(Path("bad.shx"), shx);
    ASSERT_EQ(Shp_Open(shp_, Base("bad"), 3), 1);
  }
  // The object still holds record 1 of the good file (with `id`).
  void ExpectRecordOne(int32_t id) {
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
  // A pair "large" whose only record holds `n` points with measures.
  void WriteLarge(int n) {
    ShpMultiPointZ* o = Shp_MultiPointZCreate();
    ASSERT_EQ(Shp_New(shp_, Base("large"), SHP_MULTIPOINTZ), 1);
    for (int i = 0; i < n; ++i) AddZ(o, i, i, i, i);
    ASSERT_EQ(Shp_MultiPointZAppend(shp_, o, 0), 1);
    Shp_Close(shp_);
    Shp_MultiPointZDestroy(o);
  }
  ShpMultiPointZ* obj_ = nullptr;
  std::vector<uint8_t> shpBytes_, shxBytes_;
  static constexpr size_t kRec2 = 100 + 8 + 168;
};

TEST_F(MultiPointReadTest, RecordNumbersOutsideTheFileAndWrongHandles) {
  OpenBad(shpBytes_, shxBytes_);
  for (int32_t n : {0, -1, 3, INT32_MIN, INT32_MAX}) EXPECT_EQ(Shp_MultiPointZRead(shp_, n, obj_), 0) << n;
  EXPECT_EQ(Shp_MultiPointMRead(shp_, 1, obj_), 0);  // other variants on a MultiPointZ file
  EXPECT_EQ(Shp_MultiPointRead(shp_, 1, obj_), 0);
  EXPECT_EQ(Shp_LineZRead(shp_, 1, obj_), 0);
  ExpectRecordOne(1);
  Shp_Close(shp_);
  EXPECT_EQ(Shp_MultiPointZRead(shp_, 1, obj_), 0);
  ExpectRecordOne(1);
  ExpectUsable();
}

TEST_F(MultiPointReadTest, IndexEntriesThatDoNotFitTheMainFile) {
  struct Case {
    const char* what;
    int32_t offsetWords;
    int32_t lengthWords;
  };
  const Case cases[] = {
      {"offset past the end", 10000, 52},
      {"offset inside the header", 10, 52},
      {"record running past the end", static_cast<int32_t>(kRec2 / 2), 53},
      {"length differing from the record header", static_cast<int32_t>(kRec2 / 2), 50},
      {"negative offset", -8, 52},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto shx = shxBytes_;
    test::PutBE32(shx, 108, c.offsetWords);
    test::PutBE32(shx, 112, c.lengthWords);
    OpenBad(shpBytes_, shx);
    EXPECT_EQ(Shp_MultiPointZRead(shp_, 2, obj_), 0);
    ExpectRecordOne(1);
  }
  ExpectUsable();
}

TEST_F(MultiPointReadTest, TruncatedMainFile) {
  for (size_t keep : {kRec2 + 4, kRec2 + 8 + 38, kRec2 + 8 + 103}) {
    SCOPED_TRACE(keep);
    auto shp = shpBytes_;
    shp.resize(keep);
    OpenBad(shp, shxBytes_);
    EXPECT_EQ(Shp_MultiPointZRead(shp_, 2, obj_), 0);
    ExpectRecordOne(1);
    EXPECT_EQ(Shp_MultiPointZRead(shp_, 1, obj_), 1);  // record 1 is whole
  }
  ExpectUsable();
}

TEST_F(MultiPointReadTest, RecordOfAnotherTypeSetsOnlyTheId) {
  for (int32_t type : {SHP_NULL, SHP_MULTIPOINT, SHP_MULTIPOINTM, SHP_POLYLINEZ}) {
    auto shp = shpBytes_;
    test::PutLE32(shp, kRec2 + 8, type);
    OpenBad(shp, shxBytes_);
    EXPECT_EQ(Shp_MultiPointZRead(shp_, 2, obj_), 0);
    ExpectRecordOne(2);
  }
  ExpectUsable();
}

TEST_F(MultiPointReadTest, PointCountsTheContentLengthCannotHold) {
  // 104 bytes hold 2 points without measures; 3 points would need 128.
  for (int32_t n : {-1, 3, 4, INT32_MAX, INT32_MIN, 0x10000000}) {
    SCOPED_TRACE(n);
    auto shp = shpBytes_;
    test::PutLE32(shp, kRec2 + 8 + 36, n);
    OpenBad(shp, shxBytes_);
    const int64_t before = Mem_LiveBlocks();
    EXPECT_EQ(Shp_MultiPointZRead(shp_, 2, obj_), 0);
    EXPECT_EQ(Mem_LiveBlocks(), before);  // nothing reserved for counts that do not fit
    ExpectRecordOne(2);
  }
  // Fewer points than the length holds: the rest is taken as a measure
  // block when it can be one (1 point: 80 bytes, + 16 + 8 = 104).
  auto shp = shpBytes_;
  test::PutLE32(shp, kRec2 + 8 + 36, 1);
  OpenBad(shp, shxBytes_);
  ASSERT_EQ(Shp_MultiPointZRead(shp_, 2, obj_), 1);
  EXPECT_EQ(obj_->hasMeasures, 1);
  ExpectUsable();
}

TEST_F(MultiPointReadTest, MeasureBlockAnnouncedButTooShort) {
  // Record 2 without measures is 104 bytes; 8 more announce a measure block
  // that needs 16 + 8 x 2.
  auto shp = shpBytes_;
  auto shx = shxBytes_;
  shp.resize(shp.size() + 8, 0);
  test::PutBE32(shp, kRec2 + 4, 56);
  test::PutBE32(shx, 112, 56);
  OpenBad(shp, shx);
  EXPECT_EQ(Shp_MultiPointZRead(shp_, 2, obj_), 0);
  ExpectRecordOne(2);
  // With room for the whole block it reads, measures present.
  shp.resize(shp.size() + 24, 0);
  test::PutBE32(shp, kRec2 + 4, 68);
  test::PutBE32(shx, 112, 68);
  test::PutLEDouble(shp, kRec2 + 8 + 104 + 8, 7.5);   // mmax
  test::PutLEDouble(shp, kRec2 + 8 + 104 + 24, 7.5);  // m of point 2
  OpenBad(shp, shx);
  ASSERT_EQ(Shp_MultiPointZRead(shp_, 2, obj_), 1);
  ShpCoordZ c;
  ASSERT_EQ(Shp_MultiPointZGetCoord(obj_, &c, 2), 1);
  EXPECT_EQ(c.m, 7.5);
  EXPECT_EQ(c.z, 500);
  ExpectRange(Shp_MultiPointZGetMeasureRange, obj_, 0, 7.5);
}

TEST_F(MultiPointReadTest, MemoryRunningOutLeavesTheObjectAsItWas) {
  WriteLarge(3000);
  Shp_MultiPointZDestroy(obj_);  // a new object: too small for 3000 points
  obj_ = Shp_MultiPointZCreate();
  OpenBad(shpBytes_, shxBytes_);
  ASSERT_EQ(Shp_Open(shp_, Base("large"), 3), 1);
  for (int32_t nth : {1, 3, 5}) {  // the point chunks, then the height/measure chunks
    Mem_InjectFailure(nth);
    EXPECT_EQ(Shp_MultiPointZRead(shp_, 1, obj_), 0) << nth;
    Mem_InjectFailure(0);
    ExpectRecordOne(1);
  }
  ASSERT_EQ(Shp_MultiPointZRead(shp_, 1, obj_), 1);
  EXPECT_EQ(Shp_MultiPointZGetNumCoords(obj_), 3000);
  ExpectUsable();
}

TEST_F(MultiPointReadTest, FileShrinkingUnderTheReaderEmptiesTheObject) {
  WriteLarge(40000);  // 1.28 MB: more than the stream can have buffered at the open
  OpenBad(shpBytes_, shxBytes_);
  ASSERT_EQ(Shp_Open(shp_, Base("large"), 3), 1);
  ASSERT_EQ(truncate(Path("large.shp").c_str(), 1000000), 0);  // inside the heights
  EXPECT_EQ(Shp_MultiPointZRead(shp_, 1, obj_), 0);
  EXPECT_EQ(Shp_MultiPointZGetId(obj_), 1);
  EXPECT_EQ(Shp_MultiPointZGetNumCoords(obj_), 0);
  ShpCoordZ c;
  EXPECT_EQ(Shp_MultiPointZGetCoord(obj_, &c, 1), 0);
  ExpectUsable();
}

}  // namespace
}  // namespace ovrix
