// Point, PointM and PointZ records, and appending to an existing pair.
#include <cstring>
#include <string>

#include "ovrix32.h"
#include "shape/shpfile.h"
#include "test_util.h"

namespace ovrix {
namespace {

using test::BE32;
using test::LE32;
using test::LEDouble;

class PointTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    shp_ = Shp_Create();
    pt_ = Shp_PointZCreate();
    ASSERT_NE(shp_, nullptr);
    ASSERT_NE(pt_, nullptr);
  }
  void TearDown() override {
    Shp_PointZDestroy(pt_);
    Shp_Destroy(shp_);
    TempDirTest::TearDown();
  }
  char* Base(const std::string& name) {
    std::string p = Path(name);
    std::snprintf(base_, sizeof base_, "%s", p.c_str());
    return base_;
  }
  void AppendZ(double x, double y, double z, double m) {
    ShpCoordZ c;
    Shp_SetCoordZ(&c, x, y, z, m);
    Shp_PointZAppendCoord(pt_, &c);
    ASSERT_EQ(Shp_PointZAppend(shp_, pt_), 1);
  }
  ShpFile* shp_ = nullptr;
  ShpPointZ* pt_ = nullptr;
  char base_[512];
};

TEST_F(PointTest, ThreePointsGiveBoxLengthsAndIndex) {
  ASSERT_EQ(Shp_New(shp_, Base("p"), SHP_POINT), 1);
  ShpPoint* p = Shp_PointCreate();
  const double xy[3][2] = {{1, 2}, {5, -1}, {3, 7}};
  for (const auto& v : xy) {
    ShpCoord c;
    Shp_SetCoord(&c, v[0], v[1]);
    EXPECT_EQ(Shp_PointAppendCoord(p, &c), 1);
    EXPECT_EQ(Shp_PointAppend(shp_, p), 1);
  }
  EXPECT_EQ(Shp_GetNumShapes(shp_), 3);
  Bbox box;
  Shp_GetBoundingBox(shp_, &box);
  EXPECT_EQ(box.xmin, 1);
  EXPECT_EQ(box.ymin, -1);
  EXPECT_EQ(box.xmax, 5);
  EXPECT_EQ(box.ymax, 7);
  EXPECT_EQ(shp_->shpLenWords, 92);
  EXPECT_EQ(shp_->shxLenWords, 62);
  Shp_Close(shp_);
  Shp_PointDestroy(p);

  auto shp = test::ReadFile(Path("p.shp"));
  auto shx = test::ReadFile(Path("p.shx"));
  ASSERT_EQ(shp.size(), 184u);
  ASSERT_EQ(shx.size(), 124u);
  EXPECT_EQ(BE32(shp, 24), 92);
  EXPECT_EQ(BE32(shx, 24), 62);
  const int32_t entries[3][2] = {{50, 10}, {64, 10}, {78, 10}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(BE32(shx, 100 + 8 * static_cast<size_t>(i)), entries[i][0]);
    EXPECT_EQ(BE32(shx, 104 + 8 * static_cast<size_t>(i)), entries[i][1]);
    size_t rec = 100 + 28 * static_cast<size_t>(i);
    EXPECT_EQ(BE32(shp, rec), i + 1);
    EXPECT_EQ(BE32(shp, rec + 4), 10);
    EXPECT_EQ(LE32(shp, rec + 8), 1);
    EXPECT_EQ(LEDouble(shp, rec + 12), xy[i][0]);
    EXPECT_EQ(LEDouble(shp, rec + 20), xy[i][1]);
  }
  EXPECT_EQ(LEDouble(shp, 36), 1);
  EXPECT_EQ(LEDouble(shp, 44), -1);
  EXPECT_EQ(LEDouble(shp, 52), 5);
  EXPECT_EQ(LEDouble(shp, 60), 7);
  EXPECT_EQ(LEDouble(shx, 60), 7);
}

TEST_F(PointTest, PointZRecordBytesAndRanges) {
  ASSERT_EQ(Shp_New(shp_, Base("z"), SHP_POINTZ), 1);
  AppendZ(1, 2, 4, 3);
  double lo, hi;
  Shp_GetZCoordRange(shp_, &lo, &hi);
  EXPECT_EQ(lo, 4);
  EXPECT_EQ(hi, 4);
  Shp_GetMeasureRange(shp_, &lo, &hi);
  EXPECT_EQ(lo, 3);
  EXPECT_EQ(hi, 3);
  Shp_Close(shp_);
  auto shp = test::ReadFile(Path("z.shp"));
  ASSERT_EQ(shp.size(), 144u);
  EXPECT_EQ(BE32(shp, 100), 1);
  EXPECT_EQ(BE32(shp, 104), 18);
  EXPECT_EQ(LE32(shp, 108), 11);
  EXPECT_EQ(LEDouble(shp, 112), 1);
  EXPECT_EQ(LEDouble(shp, 120), 2);
  EXPECT_EQ(LEDouble(shp, 128), 4);
  EXPECT_EQ(LEDouble(shp, 136), 3);
  // Header ranges: z then m.
  EXPECT_EQ(LEDouble(shp, 68), 4);
  EXPECT_EQ(LEDouble(shp, 76), 4);
  EXPECT_EQ(LEDouble(shp, 84), 3);
  EXPECT_EQ(LEDouble(shp, 92), 3);

  ASSERT_EQ(Shp_Open(shp_, Base("z"), 3), 1);
  ShpPointZ* back = Shp_PointZCreate();
  ASSERT_EQ(Shp_PointZRead(shp_, 1, back), 1);
  ShpCoordZ c;
  Shp_PointZGetCoord(back, &c);
  EXPECT_EQ(c.x, 1);
  EXPECT_EQ(c.y, 2);
  EXPECT_EQ(c.z, 4);
  EXPECT_EQ(c.m, 3);
  Shp_PointZDestroy(back);
}

TEST_F(PointTest, FileTypeDecidesWhatAppendWrites) {
  ASSERT_EQ(Shp_New(shp_, Base("plain"), SHP_POINT), 1);
  AppendZ(1, 2, 3, 4);  // a PointZ object into a Point file: 28-byte record
  Shp_Close(shp_);
  auto shp = test::ReadFile(Path("plain.shp"));
  ASSERT_EQ(shp.size(), 128u);
  EXPECT_EQ(BE32(shp, 104), 10);
  EXPECT_EQ(LE32(shp, 108), 1);
  // ... and the Point file's measure/height box follows the object anyway.
  EXPECT_EQ(shp_->mzBox.xmin, 4);
}

TEST_F(PointTest, ReadRefusalsLeaveObjectUnchanged) {
  ASSERT_EQ(Shp_New(shp_, Base("m"), SHP_POINTM), 1);
  ShpPointM* m = Shp_PointMCreate();
  ShpCoordM cm;
  Shp_SetCoordM(&cm, -1.5, 0, 1e39);
  Shp_PointMAppendCoord(m, &cm);
  ShpCoordM out;
  Shp_PointMGetCoord(m, &out);
  EXPECT_EQ(std::memcmp(&cm, &out, sizeof cm), 0);
  ASSERT_EQ(Shp_PointMAppend(shp_, m), 1);
  EXPECT_EQ(Shp_PointMRead(shp_, 1, m), 0);  // not open for reading
  Shp_Close(shp_);
  ASSERT_EQ(Shp_Open(shp_, Base("m"), 3), 1);
  EXPECT_EQ(Shp_PointAppend(shp_, m), 0);   // not open for writing
  EXPECT_EQ(Shp_PointRead(shp_, 1, m), 0);  // wrong variant for the file
  EXPECT_EQ(Shp_PointZRead(shp_, 1, m), 0);
  Shp_PointMSetId(m, 77);
  ShpCoordM other;
  Shp_SetCoordM(&other, 9, 9, 9);
  Shp_PointMAppendCoord(m, &other);
  for (int32_t n : {0, -5, 2, INT32_MAX, INT32_MIN}) {
    EXPECT_EQ(Shp_PointMRead(shp_, n, m), 0) << n;
    Shp_PointMGetCoord(m, &out);
    EXPECT_EQ(out.x, 9);
  }
  ASSERT_EQ(Shp_PointMRead(shp_, 1, m), 1);
  Shp_PointMGetCoord(m, &out);
  EXPECT_EQ(out.x, -1.5);
  EXPECT_EQ(out.m, 1e39);
  EXPECT_EQ(Shp_PointMGetId(m), 77);
  // A PointM record read into a Z object keeps the object's z.
  ShpPointZ* z = Shp_PointZCreate();
  ShpCoordZ cz;
  Shp_SetCoordZ(&cz, 0, 0, 42, 0);
  Shp_PointZAppendCoord(z, &cz);
  ASSERT_EQ(Shp_PointMRead(shp_, 1, z), 1);
  Shp_PointZGetCoord(z, &cz);
  EXPECT_EQ(cz.z, 42);
  EXPECT_EQ(cz.m, 1e39);
  Shp_PointZDestroy(z);
  Shp_PointMDestroy(m);
}

TEST_F(PointTest, RecordOfForeignTypeIsRefused) {
  ASSERT_EQ(Shp_New(shp_, Base("f"), SHP_POINT), 1);
  AppendZ(1, 1, 0, 0);
  AppendZ(2, 2, 0, 0);
  Shp_Close(shp_);
  auto shp = test::ReadFile(Path("f.shp"));
  test::PutLE32(shp, 108, 0);   // record 1: null shape
  test::PutLE32(shp, 136, 21);  // record 2: a PointM record in a Point file
  test::WriteFile(Path("f.shp"), shp);
  ASSERT_EQ(Shp_Open(shp_, Base("f"), 3), 1);
  ShpPoint* p = Shp_PointCreate();
  EXPECT_EQ(Shp_PointRead(shp_, 1, p), 0);
  // The record's own type decides what is read: x, y, m (24 bytes, but only
  // 16 remain in the file) — a short read is refused.
  EXPECT_EQ(Shp_PointRead(shp_, 2, p), 0);
  Shp_PointDestroy(p);
}

TEST_F(PointTest, CoordinateStructures) {
  ShpCoordZ z;
  Shp_SetCoordZ(&z, 1, 2, 3, 4);
  const double* raw = reinterpret_cast<const double*>(&z);
  EXPECT_EQ(raw[0], 1);
  EXPECT_EQ(raw[1], 2);
  EXPECT_EQ(raw[2], 4);
  EXPECT_EQ(raw[3], 3);
  double x, y, zz, m;
  Shp_GetCoordZ(&z, &x, &y, &zz, &m);
  EXPECT_EQ(zz, 3);
  EXPECT_EQ(m, 4);
  // PointM coordinate read through the Z getter gives z = 0.
  ShpPointM* pm = Shp_PointMCreate();
  ShpCoordM cm = {1, 2, 3};
  Shp_PointMAppendCoord(pm, &cm);
  ShpCoordZ out;
  Shp_PointZGetCoord(pm, &out);
  EXPECT_EQ(out.z, 0.0);
  EXPECT_EQ(out.m, 3);
  EXPECT_EQ(Shp_PointMDestroy(pm), 1);
  EXPECT_EQ(Shp_PointDestroy(nullptr), 0);
}

// Writing in two sessions (mode 1, then mode 2) gives the same files as
// writing everything at once.
TEST_F(PointTest, AppendModeContinuesAPairExactly) {
  const double v[5][4] = {{1, 2, 3, 4}, {-5, 8, 1, 0}, {7, 7, 9, 2}, {0, -3, -1, 5}, {2, 2, 2, 2}};
  for (int32_t type : {SHP_POINT, SHP_POINTM, SHP_POINTZ}) {
    ASSERT_EQ(Shp_New(shp_, Base("once"), type), 1);
    for (const auto& p : v) AppendZ(p[0], p[1], p[2], p[3]);
    Shp_Close(shp_);
    ASSERT_EQ(Shp_New(shp_, Base("twice"), type), 1);
    for (int i = 0; i < 2; ++i) AppendZ(v[i][0], v[i][1], v[i][2], v[i][3]);
    Shp_Close(shp_);
    ASSERT_EQ(Shp_Open(shp_, Base("twice"), 2), 1);
    EXPECT_EQ(Shp_GetNumShapes(shp_), 2);
    EXPECT_EQ(Shp_PointZRead(shp_, 1, pt_), 0);  // appending handles do not read
    for (int i = 2; i < 5; ++i) AppendZ(v[i][0], v[i][1], v[i][2], v[i][3]);
    Shp_Close(shp_);
    EXPECT_EQ(test::ReadFile(Path("once.shp")), test::ReadFile(Path("twice.shp"))) << type;
    EXPECT_EQ(test::ReadFile(Path("once.shx")), test::ReadFile(Path("twice.shx"))) << type;
  }
  // An empty pair opened for appending takes its first record at byte 100.
  ASSERT_EQ(Shp_New(shp_, Base("empty"), SHP_POINT), 1);
  Shp_Close(shp_);
  ASSERT_EQ(Shp_Open(shp_, Base("empty"), 2), 1);
  AppendZ(1, 2, 0, 0);
  Shp_Close(shp_);
  EXPECT_EQ(test::FileSize(Path("empty.shp")), 128);
  EXPECT_EQ(test::FileSize(Path("empty.shx")), 108);
}

TEST_F(PointTest, AppendModeRefusesImpossibleLengths) {
  ASSERT_EQ(Shp_New(shp_, Base("a"), SHP_POINT), 1);
  AppendZ(1, 2, 0, 0);
  Shp_Close(shp_);
  auto shp = test::ReadFile(Path("a.shp"));
  auto shx = test::ReadFile(Path("a.shx"));
  struct Patch {
    bool main;
    int32_t words;
  } patches[] = {{true, 10}, {true, 1000}, {false, 53}, {false, 58}, {false, -4}};
  for (const Patch& p : patches) {
    auto s = shp;
    auto x = shx;
    test::PutBE32(p.main ? s : x, 24, p.words);
    test::WriteFile(Path("a.shp"), s);
    test::WriteFile(Path("a.shx"), x);
    EXPECT_EQ(Shp_Open(shp_, Base("a"), 2), 0) << p.words;
    EXPECT_EQ(shp_->shpStream, nullptr);
    EXPECT_EQ(test::ReadFile(Path("a.shp")), s);  // nothing written
  }
}

}  // namespace
}  // namespace ovrix
