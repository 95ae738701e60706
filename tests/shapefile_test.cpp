// The shape-file handle: creating pairs, headers, opening, queries, mode 2.
#include <fcntl.h>
#include <sys/stat.h>

#include <cmath>
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

class ShapeFileTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    shp_ = Shp_Create();
    ASSERT_NE(shp_, nullptr);
  }
  void TearDown() override {
    Shp_Destroy(shp_);
    TempDirTest::TearDown();
  }
  // A base name inside the test directory, in a buffer the library may cut.
  char* Base(const std::string& name) {
    std::string p = Path(name);
    std::memset(base_, 0, sizeof base_);
    std::memcpy(base_, p.c_str(), p.size());
    return base_;
  }
  void ExpectEmptyBox(const Bbox& b) {
    EXPECT_EQ(b.xmin, 9.9e300);
    EXPECT_EQ(b.ymin, 9.9e300);
    EXPECT_EQ(b.xmax, -9.9e300);
    EXPECT_EQ(b.ymax, -9.9e300);
  }
  ShpFile* shp_ = nullptr;
  char base_[1024];
};

TEST_F(ShapeFileTest, FreshHandleReportsDefaults) {
  char buf[260] = "junk";
  Bbox box;
  double lo = 0, hi = 0;
  EXPECT_EQ(Shp_GetType(shp_), 0);
  EXPECT_EQ(Shp_GetTypeAsString(shp_, buf), 4);
  EXPECT_STREQ(buf, "None");
  EXPECT_EQ(Shp_GetVersion(shp_), 1000);
  EXPECT_EQ(Shp_GetNumShapes(shp_), 0);
  EXPECT_EQ(Shp_GetFileName(shp_, buf), 1);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(Shp_GetBoundingBox(shp_, &box), 1);
  ExpectEmptyBox(box);
  EXPECT_EQ(Shp_GetMeasureRange(shp_, &lo, &hi), 1);
  EXPECT_EQ(lo, 9.9e300);
  EXPECT_EQ(hi, -9.9e300);
  EXPECT_EQ(Shp_GetZCoordRange(shp_, &lo, &hi), 1);
  EXPECT_EQ(lo, 9.9e300);
  EXPECT_EQ(hi, -9.9e300);
  EXPECT_EQ(Shp_GetMeasureRange(shp_, nullptr, &hi), 0);
  EXPECT_EQ(Shp_GetZCoordRange(nullptr, &lo, &hi), 0);
  EXPECT_EQ(Shp_ApiGetVersion(), 100);
}

TEST_F(ShapeFileTest, NullHandlesAreRefused) {
  char buf[16] = "keep";
  EXPECT_EQ(Shp_Destroy(nullptr), 0);
  EXPECT_EQ(Shp_Close(nullptr), 0);
  EXPECT_EQ(Shp_GetTypeAsString(nullptr, buf), 0);
  EXPECT_STREQ(buf, "keep");
  EXPECT_EQ(Shp_GetFileName(nullptr, buf), 0);
  EXPECT_EQ(Shp_Open(nullptr, Base("x"), 3), 0);
  EXPECT_EQ(Shp_Open(shp_, nullptr, 3), 0);
  EXPECT_EQ(Shp_New(nullptr, Base("x"), 1), 0);
  EXPECT_EQ(Shp_New(shp_, nullptr, 1), 0);
}

TEST_F(ShapeFileTest, InvalidTypesCreateNothing) {
  for (int32_t type : {0, 2, 32, -1, 4}) {
    EXPECT_EQ(Shp_New(shp_, Base("bad"), type), 0) << type;
    EXPECT_FALSE(test::FileExists(Path("bad.shp")));
    EXPECT_FALSE(test::FileExists(Path("bad.shx")));
  }
}

TEST_F(ShapeFileTest, EmptyNewPairHasExactHeaders) {
  ASSERT_EQ(Shp_New(shp_, Base("empty"), SHP_POINTZ), 1);
  ASSERT_EQ(Shp_Close(shp_), 1);
  auto shp = test::ReadFile(Path("empty.shp"));
  auto shx = test::ReadFile(Path("empty.shx"));
  ASSERT_EQ(shp.size(), 100u);
  ASSERT_EQ(shx.size(), 100u);
  for (const auto* f : {&shp, &shx}) {
    EXPECT_EQ(BE32(*f, 0), 9994);
    for (int i = 4; i < 24; i += 4) EXPECT_EQ(BE32(*f, i), 0);
    EXPECT_EQ(BE32(*f, 24), 50);
    EXPECT_EQ(LE32(*f, 28), 1000);
    EXPECT_EQ(LE32(*f, 32), SHP_POINTZ);
    EXPECT_EQ(LEDouble(*f, 36), 9.9e300);
    EXPECT_EQ(LEDouble(*f, 44), 9.9e300);
    EXPECT_EQ(LEDouble(*f, 52), -9.9e300);
    EXPECT_EQ(LEDouble(*f, 60), -9.9e300);
  }
  // Main file: Z range of a fresh handle, M range never set so zeros.
  EXPECT_EQ(LEDouble(shp, 68), 9.9e300);
  EXPECT_EQ(LEDouble(shp, 76), -9.9e300);
  for (int i = 84; i < 100; ++i) EXPECT_EQ(shp[static_cast<size_t>(i)], 0) << i;
  for (int i = 68; i < 100; ++i) EXPECT_EQ(shx[static_cast<size_t>(i)], 0) << i;

  ASSERT_EQ(Shp_New(shp_, Base("poly"), SHP_POLYGON), 1);
  Shp_Close(shp_);
  shp = test::ReadFile(Path("poly.shp"));
  for (int i = 68; i < 100; ++i) EXPECT_EQ(shp[static_cast<size_t>(i)], 0) << i;
}

TEST_F(ShapeFileTest, OpenReadsHeadersAndCountsFromIndexLength) {
  ASSERT_EQ(Shp_New(shp_, Base("roads"), SHP_POLYLINE), 1);
  Shp_Close(shp_);
  // Patch the headers: main Z/M ranges and type 2; index length 54 words.
  auto shp = test::ReadFile(Path("roads.shp"));
  auto shx = test::ReadFile(Path("roads.shx"));
  test::PutLE32(shp, 32, 2);
  test::PutLEDouble(shp, 68, 1);
  test::PutLEDouble(shp, 76, 5);
  test::PutLEDouble(shp, 84, 2);
  test::PutLEDouble(shp, 92, 3);
  test::PutBE32(shx, 24, 54);
  test::WriteFile(Path("roads.shp"), shp);
  test::WriteFile(Path("roads.shx"), shx);

  ASSERT_EQ(Shp_Open(shp_, Base("roads"), 3), 1);
  char buf[260];
  EXPECT_EQ(Shp_GetNumShapes(shp_), 1);
  EXPECT_EQ(Shp_GetType(shp_), 2);
  EXPECT_EQ(Shp_GetTypeAsString(shp_, buf), 14);
  EXPECT_STREQ(buf, "Bad Shape Type");
  double lo, hi;
  Shp_GetZCoordRange(shp_, &lo, &hi);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 5);
  Shp_GetMeasureRange(shp_, &lo, &hi);
  EXPECT_EQ(lo, 2);
  EXPECT_EQ(hi, 3);
  Shp_GetFileName(shp_, buf);
  EXPECT_EQ(std::string(buf), Path("roads"));
  Shp_Close(shp_);
  EXPECT_EQ(Shp_GetType(shp_), 0);
  EXPECT_EQ(Shp_GetNumShapes(shp_), 0);
  Bbox box;
  Shp_GetBoundingBox(shp_, &box);
  ExpectEmptyBox(box);
  EXPECT_EQ(Shp_Close(shp_), 1);  // already closed: nothing written
}

TEST_F(ShapeFileTest, TypeNamesAndPredicates) {
  struct {
    int32_t type;
    const char* name;
    int32_t (*pred)(ShpFile*);
  } cases[] = {
      {1, "Point", Shp_IsPointType},           {3, "Polyline", Shp_IsLineType},
      {5, "Polygon", Shp_IsPolyType},          {8, "MultiPoint", Shp_IsMultiPointType},
      {11, "PointZ", Shp_IsPointZType},        {13, "PolylineZ", Shp_IsLineZType},
      {15, "PolygonZ", Shp_IsPolyZType},       {18, "MultiPointZ", Shp_IsMultiPointZType},
      {21, "PointM", Shp_IsPointMType},        {23, "PolylineM", Shp_IsLineMType},
      {25, "PolygonM", Shp_IsPolyMType},       {28, "MultiPointM", Shp_IsMultiPointMType},
      {31, "MultiPatch", Shp_IsMultiPatchType},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Shp_New(shp_, Base("t"), c.type), 1);
    char buf[16];
    EXPECT_EQ(Shp_GetTypeAsString(shp_, buf), static_cast<int32_t>(std::strlen(c.name)));
    EXPECT_STREQ(buf, c.name);
    for (const auto& other : cases) EXPECT_EQ(other.pred(shp_), other.type == c.type ? 1 : 0);
    Shp_Close(shp_);
  }
  // Only the low 16 bits choose the name.
  shp_->shapeType = 0x10000 + 5;
  char buf[16];
  Shp_GetTypeAsString(shp_, buf);
  EXPECT_STREQ(buf, "Polygon");
  EXPECT_EQ(Shp_IsPolyType(shp_), 0);
  shp_->shapeType = 0;
}

TEST_F(ShapeFileTest, OpenRefusals) {
  EXPECT_EQ(Shp_Open(shp_, Base("missing"), 3), 0);
  ASSERT_EQ(Shp_New(shp_, Base("pair"), SHP_POINT), 1);
  Shp_Close(shp_);
  auto before = test::ReadFile(Path("pair.shp"));
  EXPECT_EQ(Shp_Open(shp_, Base("pair"), 1), 0);
  EXPECT_EQ(Shp_Open(shp_, Base("pair"), 4), 0);
  EXPECT_EQ(test::ReadFile(Path("pair.shp")), before);
  EXPECT_EQ(Shp_Open(shp_, Base("pair"), 0x103), 1);  // only the low byte counts
  Shp_Close(shp_);

  // Index missing: refused, handle closed with no stream left open.
  std::remove(Path("pair.shx").c_str());
  EXPECT_EQ(Shp_Open(shp_, Base("pair"), 3), 0);
  EXPECT_EQ(shp_->shpStream, nullptr);
  EXPECT_EQ(shp_->shxStream, nullptr);
  EXPECT_EQ(shp_->openMode, 0);
  char buf[260];
  Shp_GetFileName(shp_, buf);
  EXPECT_STREQ(buf, "");

  // Wrong file code.
  test::WriteFile(Path("bad.shp"), std::vector<uint8_t>(100, 0));
  test::WriteFile(Path("bad.shx"), std::vector<uint8_t>(100, 0));
  EXPECT_EQ(Shp_Open(shp_, Base("bad"), 3), 0);
  EXPECT_EQ(shp_->shpStream, nullptr);
}

TEST_F(ShapeFileTest, IsShapeFileChecksOnlyTheCode) {
  ASSERT_EQ(Shp_New(shp_, Base("a"), SHP_POINT), 1);
  Shp_Close(shp_);
  EXPECT_EQ(Shp_IsShapeFile(Path("a.shp").c_str()), 1);
  EXPECT_EQ(Shp_IsShapeFile(Path("a.shx").c_str()), 1);
  EXPECT_EQ(Shp_IsShapeFile(Path("nope.shp").c_str()), 0);
  EXPECT_EQ(Shp_IsShapeFile(nullptr), 0);
  test::WriteFile(Path("le.shp"), {0x0A, 0x27, 0x00, 0x00});
  EXPECT_EQ(Shp_IsShapeFile(Path("le.shp").c_str()), 0);
  test::WriteFile(Path("short.shp"), {0x00, 0x00, 0x27});
  EXPECT_EQ(Shp_IsShapeFile(Path("short.shp").c_str()), 0);
}

TEST_F(ShapeFileTest, LongBaseNamesAreCutTo251) {
  // 300 characters in all; the file name itself must stay below the
  // system's 255-byte name limit, so the cut falls inside a subdirectory
  // path of the right length.
  std::string dir = Path(std::string(150, 'd'));
  ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  std::string base = dir + "/" + std::string(300 - dir.size() - 1, 'n');
  ASSERT_EQ(base.size(), 300u);
  std::vector<char> buf(base.begin(), base.end());
  buf.push_back('\0');
  ASSERT_EQ(Shp_New(shp_, buf.data(), SHP_POINT), 1);
  EXPECT_EQ(std::strlen(buf.data()), 251u);
  Shp_Close(shp_);
  std::string cut = base.substr(0, 251);
  EXPECT_TRUE(test::FileExists(cut + ".shp"));
  EXPECT_TRUE(test::FileExists(cut + ".shx"));
  std::vector<char> again(base.begin(), base.end());
  again.push_back('\0');
  ASSERT_EQ(Shp_Open(shp_, again.data(), 3), 1);
  char name[260];
  Shp_GetFileName(shp_, name);
  EXPECT_EQ(std::string(name), cut);
}

TEST_F(ShapeFileTest, BaseNameExtensionIsNotInspected) {
  ASSERT_EQ(Shp_New(shp_, Base("roads.shp"), SHP_POINT), 1);
  Shp_Close(shp_);
  EXPECT_TRUE(test::FileExists(Path("roads.shp.shp")));
  EXPECT_TRUE(test::FileExists(Path("roads.shp.shx")));
}

TEST_F(ShapeFileTest, StreamsAreNotInheritedByChildProcesses) {
  ASSERT_EQ(Shp_New(shp_, Base("exec"), SHP_POINT), 1);
  for (std::FILE* s : {shp_->shpStream, shp_->shxStream}) {
    int flags = fcntl(fileno(s), F_GETFD);
    ASSERT_NE(flags, -1);
    EXPECT_NE(flags & FD_CLOEXEC, 0);
  }
}

TEST(Bbox, ExtendMovesMaximumOnlyWhenMinimumStays) {
  Bbox box;
  Bbox_Set(&box, 0, 0, 10, 10);
  BboxPoint p = {-5, 20};
  Bbox_Extend(&box, &p);
  EXPECT_EQ(box.xmin, -5);
  EXPECT_EQ(box.ymin, 0);
  EXPECT_EQ(box.xmax, 10);
  EXPECT_EQ(box.ymax, 20);
  // From the empty box a first point only sets the minima.
  box = kEmptyBox;
  p = {1, 2};
  Bbox_Extend(&box, &p);
  EXPECT_EQ(box.xmin, 1);
  EXPECT_EQ(box.xmax, -9.9e300);
}

TEST_F(ShapeFileTest, IndexEntryIsWrittenInWords) {
  ASSERT_EQ(Shp_New(shp_, Base("idx"), SHP_POLYLINE), 1);
  int32_t entry[2] = {156, 20};
  EXPECT_EQ(ShpIndex_WriteEntry(shp_, 3, entry), 1);
  EXPECT_EQ(entry[0], 78);
  EXPECT_EQ(entry[1], 10);
  Shp_Close(shp_);
  auto shx = test::ReadFile(Path("idx.shx"));
  ASSERT_GE(shx.size(), 124u);
  EXPECT_EQ(BE32(shx, 116), 78);
  EXPECT_EQ(BE32(shx, 120), 10);
}

}  // namespace
}  // namespace ovrix
