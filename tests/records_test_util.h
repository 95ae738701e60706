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

}  // namespace ovrix::test
