// Helpers for the multi-coordinate record tests: a fixture with a shape-file
// handle in a temporary directory, and a builder for expected file bytes.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ovrix32.h"
#include "platform/mem.h"
#include "test_util.h"

namespace ovrix::test {

// Little- and big-endian file fields, appended in order.
class Bytes {
 public:
  Bytes& BE(int32_t v) {
    size_t at = b_.size();
    b_.resize(at + 4);
    PutBE32(b_, at, v);
    return *this;
  }
  Bytes& LE(int32_t v) {
    size_t at = b_.size();
    b_.resize(at + 4);
    PutLE32(b_, at, v);
    return *this;
  }
  Bytes& D(double v) {
    size_t at = b_.size();
    b_.resize(at + 8);
    PutLEDouble(b_, at, v);
    return *this;
  }
  const std::vector<uint8_t>& bytes() const { return b_; }

 private:
  std::vector<uint8_t> b_;
};

// Appends one vertex through an AppendCoord export, asserting it was taken.
template <typename Obj, typename Coord>
void AddVertex(int32_t (*appendCoord)(Obj*, Coord*), Obj* obj, Coord c) {
  ASSERT_EQ(appendCoord(obj, &c), 1);
}

// The two ends of a range as a getter reports them (Shp_GetMeasureRange on a
// file, Shp_LineZGetZCoordRange on an object, ...).
template <typename Obj>
void ExpectRange(int32_t (*get)(Obj*, double*, double*), Obj* obj, double lo, double hi) {
  double a = 0, b = 0;
  ASSERT_EQ(get(obj, &a, &b), 1);
  EXPECT_EQ(a, lo);
  EXPECT_EQ(b, hi);
}

// The box a getter reports (Shp_GetBoundingBox on a file,
// Shp_LineGetBoundingBox on an object, ...).
template <typename Obj>
void ExpectBox(int32_t (*get)(Obj*, Bbox*), Obj* obj, Bbox want) {
  Bbox box = {0, 0, 0, 0};
  ASSERT_EQ(get(obj, &box), 1);
  EXPECT_EQ(box.xmin, want.xmin);
  EXPECT_EQ(box.ymin, want.ymin);
  EXPECT_EQ(box.xmax, want.xmax);
  EXPECT_EQ(box.ymax, want.ymax);
}

inline std::vector<uint8_t> Slice(const std::vector<uint8_t>& b, size_t from, size_t count) {
  if (from > b.size()) return {};
  return std::vector<uint8_t>(b.begin() + static_cast<long>(from),
                              b.begin() + static_cast<long>(std::min(b.size(), from + count)));
}

class RecordFileTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    live_ = Mem_LiveBlocks();
    shp_ = Shp_Create();
    ASSERT_NE(shp_, nullptr);
  }
  void TearDown() override {
    Mem_InjectFailure(0);
    Shp_Destroy(shp_);
    EXPECT_EQ(Mem_LiveBlocks(), live_) << "blocks leaked";
    TempDirTest::TearDown();
  }
  char* Base(const std::string& name) {
    std::snprintf(base_, sizeof base_, "%s", Path(name).c_str());
    return base_;
  }
  std::vector<uint8_t> Shp(const std::string& name) { return ReadFile(Path(name + ".shp")); }
  std::vector<uint8_t> Shx(const std::string& name) { return ReadFile(Path(name + ".shx")); }

  ShpFile* shp_ = nullptr;
  char base_[512];
  int64_t live_ = 0;
};

// Refused reads: a test patches the bytes of a good pair "src", which the
// family's fixture writes in its SetUp and keeps with KeepGoodPair, and opens
// the result as "bad". The fixture says how its object reads a record and
// what record 1 of "src" looks like in it.
class DamagedPairTest : public RecordFileTest {
 protected:
  virtual int32_t ReadRecord(int32_t n) = 0;
  virtual void ExpectRecordOne(int32_t id) = 0;
  void KeepGoodPair() {
    shpBytes_ = Shp("src");
    shxBytes_ = Shx("src");
  }
  // Reads record 1 of the good pair into the object, then writes the
  // (patched) pair as "bad" and opens it for reading.
  void OpenBad(const std::vector<uint8_t>& shp, const std::vector<uint8_t>& shx) {
    ASSERT_EQ(Shp_Open(shp_, Base("src"), 3), 1);
    ASSERT_EQ(ReadRecord(1), 1);
    WriteFile(Path("bad.shp"), shp);
    WriteFile(Path("bad.shx"), shx);
    ASSERT_EQ(Shp_Open(shp_, Base("bad"), 3), 1);
  }
  // Reading record n of the patched pair is refused, reserves nothing, and
  // leaves record 1 of the good pair in the object, with `idAfter`.
  void ExpectRefused(const std::vector<uint8_t>& shp, const std::vector<uint8_t>& shx, int32_t n,
                     int32_t idAfter) {
    OpenBad(shp, shx);
    const int64_t before = Mem_LiveBlocks();
    EXPECT_EQ(ReadRecord(n), 0);
    EXPECT_EQ(Mem_LiveBlocks(), before);
    ExpectRecordOne(idAfter);
  }
  std::vector<uint8_t> shpBytes_, shxBytes_;
};

}  // namespace ovrix::test
