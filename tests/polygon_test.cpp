// Polygon, PolygonM and PolygonZ records: ring closing, bytes written, and
// the measure flag around appends.
#include <cmath>
#include <limits>

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

void Add(ShpPolygon* o, double x, double y) { test::AddVertex(Shp_PolygonAppendCoord, o, ShpCoord{x, y}); }
void AddM(ShpPolygonM* o, double x, double y, double m) {
  test::AddVertex(Shp_PolygonMAppendCoord, o, ShpCoordM{x, y, m});
}
void AddZ(ShpPolygonZ* o, double x, double y, double m, double z) {
  test::AddVertex(Shp_PolygonZAppendCoord, o, ShpCoordZ{x, y, m, z});
}

class PolygonTest : public test::RecordFileTest {
 protected:
  void SetUp() override {
    RecordFileTest::SetUp();
    poly_ = Shp_PolygonCreate();
    ASSERT_NE(poly_, nullptr);
  }
  void TearDown() override {
    Shp_PolygonDestroy(poly_);
    RecordFileTest::TearDown();
  }
  // Appends the object as the only record of a new file `name` of `type`
  // and returns the record's content.
  template <typename Append>
  std::vector<uint8_t> WriteOne(const std::string& name, int32_t type, Append append) {
    EXPECT_EQ(Shp_New(shp_, Base(name), type), 1);
    EXPECT_EQ(append(), 1);
    Shp_Close(shp_);
    auto shp = Shp(name);
    return Slice(shp, 108, shp.size() - 108);
  }
  std::vector<uint8_t> WritePolygon(const std::string& name) {
    return WriteOne(name, SHP_POLYGON, [&] { return Shp_PolygonAppend(shp_, poly_); });
  }
  ShpPolygon* poly_ = nullptr;
};

TEST_F(PolygonTest, OpenRingIsClosedOnAppend) {
  Add(poly_, 0, 0);
  Add(poly_, 10, 0);
  Add(poly_, 10, 10);
  ASSERT_EQ(Shp_New(shp_, Base("t"), SHP_POLYGON), 1);
  ASSERT_EQ(Shp_PolygonAppend(shp_, poly_), 1);
  Shp_Close(shp_);
  auto shp = Shp("t");
  Bytes record;
  record.BE(1).BE(56).LE(5).D(0).D(0).D(10).D(10).LE(1).LE(4).LE(0);
  record.D(0).D(0).D(10).D(0).D(10).D(10).D(0).D(0);
  EXPECT_EQ(Slice(shp, 100, 120), record.bytes());
  EXPECT_EQ(shp.size(), 220u);
  EXPECT_EQ(LE32(shp, 32), SHP_POLYGON);
  EXPECT_EQ(Slice(shp, 36, 32), Bytes().D(0).D(0).D(10).D(10).bytes());
  EXPECT_EQ(Slice(Shx("t"), 100, 8), Bytes().BE(50).BE(56).bytes());
}

TEST_F(PolygonTest, ClosedRingGetsNoExtraVertex) {
  Add(poly_, 0, 0);
  Add(poly_, 10, 0);
  Add(poly_, 10, 10);
  Add(poly_, 0, 0);
  auto content = WritePolygon("c");
  EXPECT_EQ(LE32(content, 40), 4);
  EXPECT_EQ(content.size(), 112u);
}

TEST_F(PolygonTest, EachFinishedRingIsClosed) {
  Add(poly_, 0, 0);
  Add(poly_, 4, 0);
  Add(poly_, 4, 4);
  ASSERT_EQ(Shp_PolygonNewPart(poly_), 1);
  EXPECT_EQ(Shp_PolygonGetNumCoords(poly_), 4);  // closed by NewPart already
  ASSERT_EQ(Shp_PolygonNewPart(poly_), 1);        // the new ring is empty: no third part
  EXPECT_EQ(Shp_PolygonGetNumParts(poly_), 2);
  Add(poly_, 1, 1);
  Add(poly_, 2, 1);
  Add(poly_, 2, 2);
  auto content = WritePolygon("two");
  EXPECT_EQ(LE32(content, 36), 2);
  EXPECT_EQ(LE32(content, 40), 8);
  EXPECT_EQ(LE32(content, 44), 0);
  EXPECT_EQ(LE32(content, 48), 4);
  EXPECT_EQ(LEDouble(content, 52 + 16 * 7), 1);  // last vertex repeats (1, 1)
  EXPECT_EQ(LEDouble(content, 60 + 16 * 7), 1);
}

TEST_F(PolygonTest, ShortRingsAndEmptyObjects) {
  EXPECT_EQ(Shp_PolygonNewPart(poly_), 1);  // fresh: nothing changes
  EXPECT_EQ(Shp_PolygonGetNumParts(poly_), 1);
  Add(poly_, 1, 1);                          // one vertex: first is last
  ASSERT_EQ(Shp_PolygonNewPart(poly_), 1);
  EXPECT_EQ(Shp_PolygonGetNumCoords(poly_), 1);
  Add(poly_, 2, 2);
  Add(poly_, 3, 2);                          // two different vertices get a third
  auto content = WritePolygon("short");
  EXPECT_EQ(LE32(content, 36), 2);
  EXPECT_EQ(LE32(content, 40), 4);
  EXPECT_EQ(LE32(content, 48), 1);
  EXPECT_EQ(LEDouble(content, 52 + 16 * 3), 2);

  // A fresh object goes out with no ring and no vertex.
  content = WritePolygon("empty");
  EXPECT_EQ(content.size(), 44u);
  EXPECT_EQ(LE32(content, 36), 0);
  EXPECT_EQ(LE32(content, 40), 0);
  EXPECT_EQ(Shp_PolygonGetNumParts(poly_), 1);
}

TEST_F(PolygonTest, NaNCountsAsEqualWhenComparingEnds) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Add(poly_, 0, 0);
  Add(poly_, 1, 0);
  Add(poly_, nan, 0);
  auto content = WritePolygon("nan");
  EXPECT_EQ(LE32(content, 40), 3);
}

TEST_F(PolygonTest, RefusedAppendStillClosesTheRing) {
  Add(poly_, 0, 0);
  Add(poly_, 1, 0);
  Add(poly_, 1, 1);
  ASSERT_EQ(Shp_New(shp_, Base("line"), SHP_POLYLINE), 1);
  EXPECT_EQ(Shp_PolygonAppend(shp_, poly_), 0);
  EXPECT_EQ(Shp_PolygonGetNumCoords(poly_), 4);
  EXPECT_EQ(Shp_GetNumShapes(shp_), 0);
  // Closed already: a second attempt on the right file adds nothing more.
  auto content = WritePolygon("later");
  EXPECT_EQ(LE32(content, 40), 4);
}

TEST_F(PolygonTest, MeasuredRingComparesMeasures) {
  ShpPolygonM* o = Shp_PolygonMCreate();
  AddM(o, 0, 0, 1);
  AddM(o, 5, 0, 2);
  AddM(o, 0, 0, 3);  // same place as the first, another measure
  auto content = WriteOne("m", SHP_POLYGONM, [&] { return Shp_PolygonMAppend(shp_, o, 0); });
  Bytes tail;
  tail.D(1).D(3).D(1).D(2).D(3).D(1);  // mmin, mmax, m of each vertex
  ASSERT_EQ(LE32(content, 40), 4);
  EXPECT_EQ(content.size(), 60u + 4 + 24 * 4);
  EXPECT_EQ(Slice(content, 48 + 64, 48), tail.bytes());
  EXPECT_EQ(LEDouble(content, 48 + 48), 0);  // the closing vertex is at (0, 0)
  Shp_PolygonMDestroy(o);
}

TEST_F(PolygonTest, ZRingComparesHeightsAndCopiesEveryValue) {
  ShpPolygonZ* o = Shp_PolygonZCreate();
  AddZ(o, 0, 0, 7, 1);
  AddZ(o, 1, 0, 7, 1);
  AddZ(o, 0, 0, 7, 2);
  ASSERT_EQ(Shp_PolygonZNewPart(o), 1);
  ShpCoordZ c;
  ASSERT_EQ(Shp_PolygonZGetCoord(o, &c, 4), 1);
  EXPECT_EQ(c.x, 0);
  EXPECT_EQ(c.m, 7);
  EXPECT_EQ(c.z, 1);
  double lo, hi;
  ASSERT_EQ(Shp_PolygonZGetZCoordRange(o, &lo, &hi), 1);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 2);
  Shp_PolygonZDestroy(o);
}

// The comparison follows the object's measure flag as it stands before the
// append, whatever noMeasures says; a successful Polygon append turns the
// flag back on (a Polyline append leaves it as it set it).
TEST_F(PolygonTest, MeasureFlagAroundAppends) {
  ShpPolygonM* o = Shp_PolygonMCreate();
  ASSERT_EQ(Shp_New(shp_, Base("flag"), SHP_POLYGONM), 1);
  AddM(o, 0, 0, 1);
  AddM(o, 5, 0, 2);
  AddM(o, 0, 0, 3);
  ASSERT_EQ(Shp_PolygonMAppend(shp_, o, 1), 1);  // measures compared: closed
  EXPECT_EQ(o->hasMeasures, 1);
  Shp_Close(shp_);
  EXPECT_EQ(LE32(Shp("flag"), 108 + 40), 4);

  ASSERT_EQ(Shp_New(shp_, Base("lineflag"), SHP_POLYLINEM), 1);
  AddM(o, 9, 9, 9);
  ASSERT_EQ(Shp_LineMAppend(shp_, o, 1), 1);  // the same object through the Polyline family
  EXPECT_EQ(o->hasMeasures, 0);
  Shp_Close(shp_);

  ASSERT_EQ(Shp_New(shp_, Base("flag2"), SHP_POLYGONM), 1);
  AddM(o, 0, 0, 1);
  AddM(o, 5, 0, 2);
  AddM(o, 0, 0, 3);  // measures not reported: the ring counts as closed
  ASSERT_EQ(Shp_PolygonMAppend(shp_, o, 0), 1);
  EXPECT_EQ(o->hasMeasures, 1);
  Shp_Close(shp_);
  auto shp = Shp("flag2");
  EXPECT_EQ(LE32(shp, 108 + 40), 3);
  EXPECT_EQ(Slice(shp, 108 + 48 + 48, 40), Bytes().D(1).D(3).D(1).D(2).D(3).bytes());
  Shp_PolygonMDestroy(o);
}

TEST_F(PolygonTest, ReadRingsStayAsStoredAndOnlyTheLastIsClosedAgain) {
  // A Polygon file whose rings are not closed cannot come from this library;
  // write them as a Polyline and relabel the pair.
  ShpLine* line = Shp_LineCreate();
  ASSERT_EQ(Shp_New(shp_, Base("open"), SHP_POLYLINE), 1);
  for (double v : {0.0, 1.0}) {
    Add(line, v, 0);
    Add(line, v + 1, 0);
    Add(line, v + 1, 1);
    ASSERT_EQ(Shp_LineNewPart(line), 1);
  }
  ASSERT_EQ(Shp_LineAppend(shp_, line), 1);
  Shp_Close(shp_);
  Shp_LineDestroy(line);
  auto shp = Shp("open");
  auto shx = Shx("open");
  test::PutLE32(shp, 32, SHP_POLYGON);
  test::PutLE32(shx, 32, SHP_POLYGON);
  test::PutLE32(shp, 108, SHP_POLYGON);
  test::WriteFile(Path("open.shp"), shp);
  test::WriteFile(Path("open.shx"), shx);

  ASSERT_EQ(Shp_Open(shp_, Base("open"), 3), 1);
  ASSERT_EQ(Shp_PolygonRead(shp_, 1, poly_), 1);
  EXPECT_EQ(Shp_PolygonGetNumCoords(poly_), 6);
  EXPECT_EQ(Shp_PolygonGetPartOffset(poly_, 2), 3);
  auto content = WritePolygon("reclosed");
  EXPECT_EQ(LE32(content, 40), 7);
  EXPECT_EQ(Slice(content, 52, 48), Slice(shp, 108 + 52, 48));  // first ring as read
  EXPECT_EQ(LEDouble(content, 52 + 16 * 6), 1);                  // (1, 0) repeated
  EXPECT_EQ(LEDouble(content, 60 + 16 * 6), 0);
}

TEST_F(PolygonTest, MemoryForTheClosingVertexRunningOut) {
  // 1024 vertices fill the two chunks of a new object exactly: the closing
  // vertex needs a third.
  for (int i = 0; i < 1024; ++i) Add(poly_, i, i % 2);
  Mem_InjectFailure(1);
  EXPECT_EQ(Shp_PolygonNewPart(poly_), 0);
  EXPECT_EQ(Shp_PolygonGetNumParts(poly_), 1);
  EXPECT_EQ(Shp_PolygonGetNumCoords(poly_), 1024);

  ASSERT_EQ(Shp_New(shp_, Base("oom"), SHP_POLYGON), 1);
  Mem_InjectFailure(1);
  EXPECT_EQ(Shp_PolygonAppend(shp_, poly_), 0);
  Mem_InjectFailure(0);
  EXPECT_EQ(Shp_GetNumShapes(shp_), 0);
  EXPECT_EQ(Shp_PolygonGetNumCoords(poly_), 1024);
  ASSERT_EQ(Shp_PolygonAppend(shp_, poly_), 1);
  Shp_Close(shp_);
  EXPECT_EQ(LE32(Shp("oom"), 108 + 40), 1025);
}

}  // namespace
}  // namespace ovrix
