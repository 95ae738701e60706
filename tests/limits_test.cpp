// Limits of the formats and of the interface: name and path lengths, the
// number of fields and the record size of a table, counts and record numbers
// near the 32-bit limits, and files near the sizes that the 32-bit fields of
// the headers can describe (made as sparse files, so they cost no disk).
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/families.h"
#include "ovrix32.h"
#include "test_util.h"

namespace ovrix {
namespace {

using hardening::Families;
using hardening::Family;
using hardening::Kind;
using hardening::Vertex;
using hardening::WritableName;

class LimitsTest : public test::TempDirTest {
 protected:
  // A path of exactly `length` characters inside the test directory.
  std::string PathOfLength(size_t length, const std::string& ext = "") const {
    const std::string prefix = dir_ + "/";
    EXPECT_GT(length, prefix.size() + ext.size());
    return prefix + std::string(length - prefix.size() - ext.size(), 'n') + ext;
  }

  // Makes `path` a sparse file of `bytes` bytes whose header gives that
  // length; returns the original first bytes.
  static std::vector<uint8_t> Stretch(const std::string& path, int64_t bytes) {
    std::vector<uint8_t> header = test::ReadFile(path);
    std::vector<uint8_t> stretched = header;
    test::PutBE32(stretched, 24, static_cast<int32_t>(bytes / 2));
    test::WriteFile(path, stretched);
    EXPECT_EQ(truncate(path.c_str(), bytes), 0);
    return header;
  }
};

TEST_F(LimitsTest, BaseNamesAreCutAt251Characters) {
  const Family& f = Families().front();
  // 251 characters: kept whole.
  std::vector<char> exact = WritableName(PathOfLength(251));
  ShpFile* shp = Shp_Create();
  ASSERT_EQ(Shp_New(shp, exact.data(), f.shapeType), 1);
  char got[260];
  ASSERT_EQ(Shp_GetFileName(shp, got), 1);
  EXPECT_EQ(std::strlen(got), 251u);
  EXPECT_EQ(Shp_Close(shp), 1);
  EXPECT_TRUE(test::FileExists(std::string(exact.data()) + ".shp"));
  // 252 and 300 characters: cut to the 251 above, in the caller's string too.
  for (size_t len : {size_t{252}, size_t{300}}) {
    std::vector<char> longer = WritableName(PathOfLength(len));
    ASSERT_EQ(Shp_Open(shp, longer.data(), 3), 1);
    EXPECT_EQ(std::strlen(longer.data()), 251u);
    EXPECT_STREQ(longer.data(), exact.data());
    EXPECT_EQ(Shp_Close(shp), 1);
  }
  EXPECT_EQ(Shp_Destroy(shp), 1);
}

TEST_F(LimitsTest, TablePathsUpTo257Characters) {
  DbTable* t = Db_Create();
  const std::string ok = PathOfLength(257, ".dbf");
  ASSERT_EQ(Db_NewBeginDef(t, ok.c_str()), 1);
  ASSERT_EQ(Db_NewAddField(t, "a", DB_CHARACTER, 4, 0), 1);
  ASSERT_EQ(Db_NewEndDef(t), 1);
  EXPECT_EQ(Db_Close(t), 1);
  EXPECT_EQ(Db_Open(t, ok.c_str()), 1);
  EXPECT_EQ(Db_Close(t), 1);
  // One character more is refused, and no file is created or opened.
  const std::string tooLong = PathOfLength(258, ".dbf");
  test::WriteFile(tooLong, test::ReadFile(ok));
  EXPECT_EQ(Db_Open(t, tooLong.c_str()), 0);
  EXPECT_EQ(Db_GetNumFields(t), 0);
  const std::string tooLongNew = PathOfLength(258, ".dbx");
  EXPECT_EQ(Db_NewBeginDef(t, tooLongNew.c_str()), 0);
  EXPECT_FALSE(test::FileExists(tooLongNew));
  // Shp_CreateShpFAT adds ".dbf" to a base name of at most 249 characters.
  std::string base = PathOfLength(250);
  EXPECT_EQ(Shp_CreateShpFAT(base.c_str(), t), 0);
  base.pop_back();
  EXPECT_EQ(Shp_CreateShpFAT(base.c_str(), t), 1);
  Db_Destroy(t);
}

TEST_F(LimitsTest, FieldCountAndRecordSize) {
  DbTable* t = Db_Create();
  const std::string path = Path("wide.dbf");
  // 256 fields, no more.
  ASSERT_EQ(Db_NewBeginDef(t, path.c_str()), 1);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(Db_NewAddField(t, ("f" + std::to_string(i)).c_str(), DB_NUMERIC, 3, 0), 1);
  EXPECT_EQ(Db_NewAddField(t, "extra", DB_NUMERIC, 3, 0), 0);
  ASSERT_EQ(Db_NewEndDef(t), 1);
  EXPECT_EQ(Db_GetNumFields(t), 256);
  ASSERT_EQ(Db_AddRecBegin(t), 1);
  ASSERT_EQ(Db_RecSetField(t, 256, "255"), 1);
  ASSERT_EQ(Db_AddRec(t), 1);
  ASSERT_EQ(Db_AddRecEnd(t), 1);
  char out[300];
  ASSERT_EQ(Db_GetFieldValue(t, 256, out), 3);
  EXPECT_STREQ(out, "255");
  EXPECT_EQ(Db_Close(t), 1);

  // Records up to 32767 bytes with the deletion flag: 129 fields of 254.
  const std::string big = Path("big.dbf");
  ASSERT_EQ(Db_NewBeginDef(t, big.c_str()), 1);
  for (int i = 0; i < 129; ++i) ASSERT_EQ(Db_NewAddField(t, ("c" + std::to_string(i)).c_str(), DB_CHARACTER, 254, 0), 1);
  EXPECT_EQ(Db_NewAddField(t, "one", DB_CHARACTER, 1, 0), 0);
  ASSERT_EQ(Db_NewEndDef(t), 1);
  EXPECT_EQ(Db_GetRecLen(t), 32766);
  const std::string value(254, 'v');
  ASSERT_EQ(Db_AddRecBegin(t), 1);
  for (int32_t fld = 1; fld <= 129; ++fld) ASSERT_EQ(Db_RecSetField(t, fld, value.c_str()), 1);
  ASSERT_EQ(Db_AddRec(t), 1);
  ASSERT_EQ(Db_AddRecEnd(t), 1);
  ASSERT_EQ(Db_GetRec(t, 1), 1);
  EXPECT_EQ(Db_GetFieldValue(t, 129, out), 254);
  EXPECT_EQ(Db_ReadRecPart(t, 32767 - 10, 32767, out), 10);  // the last 10 bytes
  Db_Destroy(t);
  EXPECT_EQ(test::FileSize(big), 32 + 32 * 129 + 1 + 32767 + 1);
}

// Index lengths that give record counts near and past the 32-bit limits, and
// record numbers at the limits: reads refuse, at once, without touching
// anything outside the files.
TEST_F(LimitsTest, CountsAndRecordNumbersNearThe32BitLimits) {
  for (const Family& f : Families()) {
    SCOPED_TRACE(f.name);
    const std::string base = Path(std::string("count_") + f.name);
    ASSERT_TRUE(hardening::WriteSamplePair(f, base, 1));
    std::vector<uint8_t> shx = test::ReadFile(base + ".shx");
    std::vector<char> name = WritableName(base);
    void* obj = f.create(2);
    for (int32_t words : {INT32_MAX, INT32_MAX - 3, INT32_MIN, -1, 49, 0}) {
      test::PutBE32(shx, 24, words);
      test::WriteFile(base + ".shx", shx);
      ShpFile* shp = Shp_Create();
      ASSERT_EQ(Shp_Open(shp, name.data(), 3), 1);
      const int32_t count = Shp_GetNumShapes(shp);
      for (int32_t n : {count, count == INT32_MIN ? count : count - 1, INT32_MAX, INT32_MAX - 1, INT32_MIN,
                        INT32_MIN + 1, 0, -1, 2})
        EXPECT_EQ(f.read(shp, n, obj), 0) << "record " << n << " of " << count;
      EXPECT_EQ(Shp_Open(shp, name.data(), 2), 0) << "append mode must refuse an index length that lies";
      EXPECT_EQ(Shp_Destroy(shp), 1);
    }
    f.destroy(obj);
  }
}

// An index holds at most 268435444 entries: the next entry would start past
// 2 GiB, where no reader can locate it. A pair one entry short of that (a
// sparse 2 GiB index) takes one more record; the next append is refused and
// the pair stays readable.
TEST_F(LimitsTest, IndexGrowsUpTo2GibibytesOnly) {
  for (const Family& f : Families()) {
    SCOPED_TRACE(f.name);
    // A point pair that long is refused already when opened: its main
    // length would have to match its record count.
    if (f.kind == Kind::Point) continue;
    const std::string base = Path("full_index");
    ASSERT_TRUE(hardening::WriteSamplePair(f, base, 1));
    const int32_t count = (INT32_MAX - 100) / 8;
    const int64_t shxBytes = 100 + 8 * int64_t{count};
    const std::vector<uint8_t> header = Stretch(base + ".shx", shxBytes);
    ASSERT_EQ(header.size(), 108u);
    {  // The last entry names the one record the main file holds.
      std::FILE* s = std::fopen((base + ".shx").c_str(), "rb+");
      ASSERT_NE(s, nullptr);
      ASSERT_EQ(std::fseek(s, static_cast<long>(shxBytes - 8), SEEK_SET), 0);
      ASSERT_EQ(std::fwrite(header.data() + 100, 1, 8, s), 8u);
      std::fclose(s);
    }
    std::vector<char> name = WritableName(base);
    ShpFile* shp = Shp_Create();
    void* obj = f.create(2);
    ASSERT_EQ(Shp_Open(shp, name.data(), 2), 1);
    EXPECT_EQ(Shp_GetNumShapes(shp), count);
    f.appendCoord(obj, Vertex{1, 2, 3, 4});
    EXPECT_EQ(f.append(shp, obj, 0), 1);
    f.appendCoord(obj, Vertex{5, 6, 7, 8});
    EXPECT_EQ(f.append(shp, obj, 0), 0);
    EXPECT_EQ(Shp_GetNumShapes(shp), count + 1);
    EXPECT_EQ(Shp_Close(shp), 1);
    EXPECT_EQ(test::FileSize(base + ".shx"), shxBytes + 8);
    EXPECT_EQ(Shp_Open(shp, name.data(), 3), 1);
    EXPECT_EQ(Shp_GetNumShapes(shp), count + 1);
    EXPECT_EQ(f.read(shp, count + 1, obj), 1);
    Vertex v;
    EXPECT_EQ(f.getCoord(obj, 1, &v), 1);
    EXPECT_EQ(v.x, 1);
    EXPECT_EQ(Shp_Destroy(shp), 1);
    f.destroy(obj);
  }
}

// Appending behind 2 GiB of main file is refused: record offsets are passed
// in bytes as 32-bit values, so no record may start there.
TEST_F(LimitsTest, AppendRefusedPastTwoGibibytesOfMainFile) {
  for (const Family& f : Families()) {
    SCOPED_TRACE(f.name);
    // A point pair that long is refused already when opened: its main
    // length must match its record count.
    if (f.kind == Kind::Point) continue;
    const std::string base = Path("big_main");
    ASSERT_TRUE(hardening::WriteSamplePair(f, base, 1));
    const int64_t shpBytes = int64_t{1} << 31;
    Stretch(base + ".shp", shpBytes);
    std::vector<char> name = WritableName(base);
    ShpFile* shp = Shp_Create();
    ASSERT_EQ(Shp_Open(shp, name.data(), 2), 1);
    void* obj = f.create(2);
    f.appendCoord(obj, Vertex{1, 2, 3, 4});
    EXPECT_EQ(f.append(shp, obj, 0), 0);
    EXPECT_EQ(Shp_GetNumShapes(shp), 1);
    EXPECT_EQ(Shp_Close(shp), 1);
    EXPECT_EQ(test::FileSize(base + ".shp"), shpBytes);
    EXPECT_EQ(test::FileSize(base + ".shx"), 108);
    EXPECT_EQ(Shp_Destroy(shp), 1);
    f.destroy(obj);
  }
}

// A table whose header claims the largest record count: navigation refuses
// or reads blanks, and an append does not wrap the count.
TEST_F(LimitsTest, TableRecordCountNearTheLimit) {
  const std::string path = Path("many.dbf");
  DbTable* t = Db_Create();
  ASSERT_EQ(Db_NewBeginDef(t, path.c_str()), 1);
  ASSERT_EQ(Db_NewAddField(t, "n", DB_NUMERIC, 5, 0), 1);
  ASSERT_EQ(Db_NewEndDef(t), 1);
  EXPECT_EQ(Db_Close(t), 1);
  std::vector<uint8_t> bytes = test::ReadFile(path);
  for (int32_t count : {INT32_MAX, INT32_MAX - 1, INT32_MIN, -1}) {
    SCOPED_TRACE(count);
    test::PutLE32(bytes, 4, count);
    test::WriteFile(path, bytes);
    ASSERT_EQ(Db_Open(t, path.c_str()), 1);
    char out[300];
    for (int32_t n : {INT32_MAX, INT32_MAX - 1, INT32_MIN, 0, -1, 1}) {
      if (Db_GetRec(t, n) == 1) {
        EXPECT_EQ(Db_GetFieldValue(t, 1, out), 0);
      }
      if (Db_GotoRec(t, n) == 1) {
        EXPECT_EQ(Db_ReadField(t, 1, out), 0);
      }
    }
    if (Db_AddRecBegin(t) == 1) {
      Db_RecSetField(t, 1, "7");
      Db_AddRec(t);
      Db_AddRecEnd(t);
    }
    EXPECT_TRUE(Db_GetNumRecs(t) == count || Db_GetNumRecs(t) == int64_t{count} + 1) << Db_GetNumRecs(t);
    EXPECT_FALSE(count == INT32_MAX && Db_GetNumRecs(t) < 0) << "the record count wrapped";
    EXPECT_EQ(Db_Close(t), 1);
  }
  Db_Destroy(t);
}

}  // namespace
}  // namespace ovrix
