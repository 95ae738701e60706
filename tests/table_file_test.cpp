// The .dbf file as written and read, opening and closing tables, and the
// files that are refused.
#include <ctime>
#include <random>

#include "table_fixture.h"

namespace ovrix::test {
namespace {

using TableFile = TableTest;

TEST_F(TableFile, NewTableHasExactBytes) {
  std::time_t now = std::time(nullptr);
  const std::string p = Define("new.dbf", {{"Name", DB_CHARACTER, 10, 0}, {"area", DB_NUMERIC, 8, 2},
                                           {"OK", DB_LOGICAL, 1, 0}, {"SINCE", DB_DATE, 8, 0},
                                           {"DENSITY", DB_FLOAT, 12, 3}});
  std::tm today{};
  localtime_r(&now, &today);

  const auto b = ReadFile(p);
  ASSERT_EQ(b.size(), 32u + 32 * 5 + 2);
  EXPECT_EQ(b[0], 0x03);
  EXPECT_EQ(b[1], today.tm_year);
  EXPECT_EQ(b[2], today.tm_mon + 1);
  EXPECT_EQ(b[3], today.tm_mday);
  EXPECT_EQ(LE32(b, 4), 0);
  EXPECT_EQ(b[8] | b[9] << 8, 193);
  EXPECT_EQ(b[10] | b[11] << 8, 1 + 10 + 8 + 1 + 8 + 12);
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 12, b.begin() + 32), std::vector<uint8_t>(20, 0));
  struct Want {
    const char* name;
    char letter;
    int width, decimals;
  } want[] = {{"Name", 'C', 10, 0}, {"area", 'N', 8, 2}, {"OK", 'L', 1, 0}, {"SINCE", 'D', 8, 0}, {"DENSITY", 'F', 12, 3}};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    const size_t at = 32 + 32 * static_cast<size_t>(i);
    std::string name(want[i].name);
    name.resize(11, '\0');
    EXPECT_EQ(Bytes(b, at, 11), name);
    EXPECT_EQ(b[at + 11], want[i].letter);
    EXPECT_EQ(Bytes(b, at + 12, 4), std::string(4, '\0'));
    EXPECT_EQ(b[at + 16], want[i].width);
    EXPECT_EQ(b[at + 17], want[i].decimals);
    EXPECT_EQ(Bytes(b, at + 18, 14), std::string(14, '\0'));
  }
  EXPECT_EQ(b[192], 0x0D);
  EXPECT_EQ(b[193], 0x1A);

  // It reads back with the same fields, open read-write with no records.
  EXPECT_EQ(t->tableState, DB_POSITIONED);
  EXPECT_EQ(t->accessMode, DB_READWRITE);
  EXPECT_EQ(Db_GetNumRecs(t), 0);
  EXPECT_EQ(Db_GetNumFields(t), 5);
  EXPECT_EQ(Db_GetRecLen(t), 39);
  char out[300];
  for (int i = 1; i <= 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Db_GetFieldName(t, i, out), static_cast<int32_t>(std::strlen(want[i - 1].name)));
    EXPECT_STREQ(out, want[i - 1].name);
    EXPECT_EQ(Db_GetFieldWidth(t, i), want[i - 1].width);
    EXPECT_EQ(Db_GetFieldDecimals(t, i), want[i - 1].decimals);
  }
  EXPECT_EQ(Db_GetFieldType(t, 1), DB_CHARACTER);
  EXPECT_EQ(Db_GetFieldType(t, 2), DB_NUMERIC);
  EXPECT_EQ(Db_GetFieldType(t, 3), DB_LOGICAL);
  EXPECT_EQ(Db_GetFieldType(t, 4), DB_DATE);
  EXPECT_EQ(Db_GetFieldType(t, 5), DB_FLOAT);
}

TEST_F(TableFile, OpenReadsHeaderAndDescriptors) {
  auto b = DbfBytes({{"NAME", 'C', 8}, {"ABCDEFGHIJK", 'N', 6, 2}}, {" Lisbon     550"});
  const std::string p = Put("a.dbf", b);
  ASSERT_EQ(Db_Open(t, p.c_str()), 1);
  EXPECT_EQ(t->accessMode, DB_READWRITE);
  EXPECT_EQ(t->tableState, DB_POSITIONED);
  EXPECT_EQ(t->headerSize, 97);
  EXPECT_EQ(t->recordSize, 15);
  EXPECT_EQ(Db_GetCurRecNum(t), 1);
  EXPECT_EQ(Db_GetNumRecs(t), 1);
  EXPECT_EQ(Db_GetNumFields(t), 2);
  EXPECT_EQ(std::ftell(t->dbStream), 97);
  EXPECT_STREQ(t->tablePath, p.c_str());
  // A name of 10 characters without a NUL reads as those 10 characters.
  EXPECT_STREQ(t->fieldDefs[2].fieldName, "ABCDEFGHIJ");
  EXPECT_EQ(t->fieldDefs[0].fieldEnd, 0);
  EXPECT_EQ(t->fieldDefs[1].fieldEnd, 8);
  EXPECT_EQ(t->fieldDefs[2].fieldEnd, 14);
  EXPECT_EQ(Db_Close(t), 1);
  EXPECT_EQ(Db_Close(t), 1);
  EXPECT_EQ(Db_Close(nullptr), 0);
  Db_Destroy(nullptr);
  EXPECT_EQ(t->tableState, DB_CLOSED);
  EXPECT_EQ(t->dbStream, nullptr);
  EXPECT_EQ(Db_GetNumFields(t), 0);
}

TEST_F(TableFile, VersionByteByItsLowBits) {
  for (uint8_t v : {0x03, 0x83, 0x8B, 0x04, 0x8C}) {
    SCOPED_TRACE(int(v));
    EXPECT_EQ(Db_Open(t, Put("v.dbf", DbfBytes({{"A", 'C', 1}}, {}, true, v)).c_str()), 1);
  }
  for (uint8_t v : {0x30, 0xF5, 0x02, 0x00}) {
    SCOPED_TRACE(int(v));
    Db_Close(t);
    EXPECT_EQ(Db_Open(t, Put("v.dbf", DbfBytes({{"A", 'C', 1}}, {}, true, v)).c_str()), 0);
    EXPECT_EQ(t->tableState, DB_CLOSED);
    EXPECT_EQ(t->dbStream, nullptr);
  }
}

TEST_F(TableFile, FieldCountComesFromHeaderSize) {
  // A header of 33 bytes holds no descriptor; the table opens without fields.
  auto b = DbfBytes({}, {" ", " "});
  ASSERT_EQ(b.size(), 33u + 2 + 1);
  ASSERT_EQ(Db_Open(t, Put("none.dbf", b).c_str()), 1);
  EXPECT_EQ(Db_GetNumFields(t), 0);
  EXPECT_EQ(Db_GetNumRecs(t), 2);
  EXPECT_EQ(Db_GetRecLen(t), 0);
  // A header size that is not 32n + 33 rounds down; records start at it.
  b = DbfBytes({{"A", 'C', 2}, {"B", 'C', 3}}, {});
  b.insert(b.begin() + 97, 7, ' ');
  PutLE16(b, 8, 104);
  b.insert(b.end() - 1, {' ', 'x', 'y', 'a', 'b', 'c'});
  PutLE32(b, 4, 1);
  ASSERT_EQ(Db_Open(t, Put("odd.dbf", b).c_str()), 1);
  EXPECT_EQ(Db_GetNumFields(t), 2);
  char out[16];
  EXPECT_EQ(Db_GetFieldValue(t, 2, out), 3);
  EXPECT_STREQ(out, "abc");
}

// Malformed files are refused without a crash, leave no open stream and no
// memory behind, and leave an open table as it was.
TEST_F(TableFile, RefusesMalformedFiles) {
  const auto good = DbfBytes({{"NAME", 'C', 8}, {"POP", 'N', 6}}, {" Lisbon     550"});
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"empty file", {}});
  cases.push_back({"cut inside the header", std::vector<uint8_t>(good.begin(), good.begin() + 20)});
  cases.push_back({"cut inside a descriptor", std::vector<uint8_t>(good.begin(), good.begin() + 80)});
  for (int hs : {0, 1, 32}) {
    auto b = good;
    PutLE16(b, 8, hs);
    cases.push_back({"header size below 33", b});
  }
  for (int hs : {32801, 40000, 65535}) {
    auto b = good;
    PutLE16(b, 8, hs);
    b.resize(70000, ' ');  // long enough to hold such a header
    cases.push_back({"huge header size", b});
  }
  {
    auto b = good;
    PutLE16(b, 8, 32800);  // 1023 descriptors, far past the end
    cases.push_back({"descriptors past the end of the file", b});
  }
  for (int rs : {0, 1, 14}) {
    auto b = good;
    PutLE16(b, 10, rs);
    cases.push_back({"record size below 1 + the field widths", b});
  }
  for (int rs : {32768, 65535}) {
    auto b = good;
    PutLE16(b, 10, rs);
    cases.push_back({"record size above 32767", b});
  }
  {
    // 129 fields of 255 bytes: their widths pass 32767 together.
    std::vector<FieldSpec> wide(129, {"W", 'C', 255});
    auto b = DbfBytes(wide, {});
    PutLE16(b, 10, 32767);
    cases.push_back({"field widths past the largest record", b});
  }

  const std::string okPath = Put("ok.dbf", good);
  ASSERT_EQ(Shp_ReserveFileHandles(2), 2);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string p = Put("bad.dbf", c.bytes);
    // Refused on a closed handle: it stays closed.
    EXPECT_EQ(Db_Open(t, p.c_str()), 0);
    EXPECT_EQ(t->tableState, DB_CLOSED);
    EXPECT_EQ(t->dbStream, nullptr);
    EXPECT_EQ(t->recBuffer, nullptr);
    EXPECT_EQ(Shp_GetNumReservedFileHandles(), 2);
    // Refused on an open table: it stays open and readable.
    ASSERT_EQ(Db_Open(t, okPath.c_str()), 1);
    EXPECT_EQ(Db_Open(t, p.c_str()), 0);
    char out[16] = {};
    EXPECT_EQ(Db_GetFieldValue(t, 1, out), 6);
    EXPECT_STREQ(out, "Lisbon");
    EXPECT_EQ(Shp_GetNumReservedFileHandles(), 1);
    Db_Close(t);
  }
  EXPECT_EQ(Shp_FreeFileHandles(), 2);
}

// Damaged copies of a valid table: whatever opens must answer every call
// without reading or writing outside its buffers (checked under ASan).
TEST_F(TableFile, DamagedFilesNeverCrash) {
  const auto good = DbfBytes({{"NAME", 'C', 8}, {"POP", 'N', 6}, {"OK", 'L', 1}, {"D", 'D', 8}},
                             {" Lisbon     550T20240101", "*Oslo       700F19990505"});
  std::mt19937 rng(20240229);
  const std::string p = Path("damaged.dbf");
  int opened = 0;
  for (int round = 0; round < 400; ++round) {
    auto b = good;
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
      // Mostly the header and descriptors, where the sizes live.
      const size_t at = rng() % 3 != 0 ? rng() % 160 : rng() % b.size();
      b[at] = static_cast<uint8_t>(rng());
    }
    if (rng() % 4 == 0) b.resize(rng() % b.size());
    WriteFile(p, b);
    if (!Db_Open(t, p.c_str())) continue;
    ++opened;
    char out[300];
    const int32_t fields = Db_GetNumFields(t);
    const int32_t recs = Db_GetNumRecs(t);
    for (int32_t n : {1, 2, recs}) {
      Db_GetRec(t, n);
      for (int32_t i = 0; i <= fields + 1; ++i) {
        Db_GetFieldValue(t, i, out);
        Db_ReadField(t, i, out);
        Db_GetFieldName(t, i, out);
        Db_GetFieldType(t, i);
      }
      Db_ReadRecPart(t, 1, Db_GetRecLen(t) + 1, out);
      Db_IsCurRecDeleted(t);
      Db_GotoRec(t, n);
      Db_SetFieldValue(t, 1, "abcdefgh");
      Db_CurRecDelete(t);
    }
    char name[] = "name";
    Db_GetFieldId(t, name);
    Db_RenameField(t, 1, "renamed");
    if (Db_AddRecBegin(t)) {
      Db_RecSetField(t, 1, "20240101");
      Db_AddRec(t);
      Db_AddRecEnd(t);
    }
    Db_Close(t);
  }
  EXPECT_GT(opened, 20);
}

TEST_F(TableFile, LargerRecordSizeIsReadAndItsExtraBytesIgnored) {
  auto b = DbfBytes({{"A", 'C', 3}}, {});
  PutLE16(b, 10, 6);
  PutLE32(b, 4, 2);
  const std::string recs = " abcXY*defZW";
  b.insert(b.end() - 1, recs.begin(), recs.end());
  ASSERT_EQ(Db_Open(t, Put("wide.dbf", b).c_str()), 1);
  char out[16];
  ASSERT_EQ(Db_GetRec(t, 2), 1);
  EXPECT_EQ(Db_GetFieldValue(t, 1, out), 3);
  EXPECT_STREQ(out, "def");
  EXPECT_EQ(Db_IsCurRecDeleted(t), 1);
  EXPECT_EQ(Db_ReadRecPart(t, 1, 6, out), 5);
  EXPECT_STREQ(out, "defZW");
}

TEST_F(TableFile, RecordsPastTheEndOfTheFileReadAsBlanks) {
  auto b = DbfBytes({{"A", 'C', 4}}, {" abcd", " efgh"});
  PutLE32(b, 4, 5);  // claims five records
  ASSERT_EQ(Db_Open(t, Put("short.dbf", b).c_str()), 1);
  char out[16] = "untouched";
  ASSERT_EQ(Db_GetRec(t, 2), 1);
  EXPECT_EQ(Db_GetFieldValue(t, 1, out), 4);
  ASSERT_EQ(Db_GetRec(t, 4), 1);
  std::strcpy(out, "untouched");
  EXPECT_EQ(Db_GetFieldValue(t, 1, out), 0);
  EXPECT_STREQ(out, "untouched");
  EXPECT_EQ(Db_GotoRec(t, 5), 1);
  EXPECT_EQ(Db_ReadField(t, 1, out), 0);
  EXPECT_EQ(Db_IsCurRecDeleted(t), 0);
}

TEST_F(TableFile, ReadOnlyFileOpensReadOnly) {
  const std::string p = ThreeRecords();
  if (!MakeReadOnly(p)) GTEST_SKIP() << "cannot make a file read-only here";
  ASSERT_EQ(Db_Open(t, p.c_str()), 1);
  EXPECT_EQ(t->accessMode, DB_READONLY);
  char out[16];
  EXPECT_EQ(Db_GetFieldValue(t, 1, out), 6);
  EXPECT_STREQ(out, "Lisbon");
}

TEST_F(TableFile, PathLengthsAndMissingFiles) {
  EXPECT_EQ(Db_Open(t, Path("missing.dbf").c_str()), 0);
  EXPECT_EQ(Db_Open(t, nullptr), 0);
  EXPECT_EQ(Db_Open(nullptr, "x.dbf"), 0);
  // 257 characters fit; 258 do not.
  const auto bytes = DbfBytes({{"A", 'C', 1}}, {" x"});
  const size_t room = 257 - (dir_.size() + 1);
  const std::string longest = Put(std::string(room - 4, 'n') + ".dbf", bytes);
  ASSERT_EQ(longest.size(), 257u);
  EXPECT_EQ(Db_Open(t, longest.c_str()), 1);
  EXPECT_STREQ(t->tablePath, longest.c_str());
  const std::string tooLong = Put(std::string(room - 3, 'n') + ".dbf", bytes);
  EXPECT_EQ(Db_Open(t, tooLong.c_str()), 0);
  EXPECT_EQ(Db_NewBeginDef(t, tooLong.c_str()), 0);
  EXPECT_EQ(ReadFile(tooLong), bytes);
  // The refusals left the open table alone.
  EXPECT_STREQ(t->tablePath, longest.c_str());
  EXPECT_EQ(t->tableState, DB_POSITIONED);
}

TEST_F(TableFile, OpenClosesTheOpenTableAndGoesThroughTheReserve) {
  const std::string a = ThreeRecords();
  const std::string b = Put("b.dbf", DbfBytes({{"X", 'C', 2}}, {" hi"}));
  ASSERT_EQ(Shp_ReserveFileHandles(3), 3);
  ASSERT_EQ(Db_Open(t, a.c_str()), 1);
  EXPECT_EQ(Shp_GetNumReservedFileHandles(), 2);
  ASSERT_EQ(Db_Open(t, b.c_str()), 1);
  EXPECT_EQ(Shp_GetNumReservedFileHandles(), 2);
  char out[8];
  EXPECT_EQ(Db_GetFieldValue(t, 1, out), 2);
  EXPECT_STREQ(out, "hi");
  EXPECT_EQ(Db_Close(t), 1);
  EXPECT_EQ(Shp_GetNumReservedFileHandles(), 3);
  EXPECT_EQ(Shp_FreeFileHandles(), 3);
}

TEST_F(TableFile, OpenRefusesATableBeingDefined) {
  const std::string a = ThreeRecords();
  ASSERT_EQ(Db_NewBeginDef(t, Path("def.dbf").c_str()), 1);
  EXPECT_EQ(Db_Open(t, a.c_str()), 0);
  EXPECT_EQ(t->tableState, DB_DEFINING);
}

TEST_F(TableFile, OutOfMemory) {
  Mem_InjectFailure(1);
  EXPECT_EQ(Db_Create(), nullptr);
  const std::string a = ThreeRecords();
  // The record buffer, then the field table.
  for (int nth : {1, 2}) {
    SCOPED_TRACE(nth);
    Mem_InjectFailure(nth);
    EXPECT_EQ(Db_Open(t, a.c_str()), 0);
    Mem_InjectFailure(0);
    EXPECT_EQ(t->tableState, DB_CLOSED);
    EXPECT_EQ(t->dbStream, nullptr);
  }
  EXPECT_EQ(Db_Open(t, a.c_str()), 1);
}

}  // namespace
}  // namespace ovrix::test
