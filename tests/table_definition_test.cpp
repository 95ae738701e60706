// Defining new tables, the append phase and the table of a new shape file.
#include "table_fixture.h"

namespace ovrix::test {
namespace {

using TableDefinition = TableTest;

TEST_F(TableDefinition, ShapeFileTableHasOneIdField) {
  const std::string base = Path("roads");
  ASSERT_EQ(Shp_CreateShpFAT(base.c_str(), t), 1);
  const auto b = ReadFile(base + ".dbf");
  ASSERT_EQ(b.size(), 66u);
  EXPECT_EQ(b[8] | b[9] << 8, 65);
  EXPECT_EQ(b[10] | b[11] << 8, 9);
  EXPECT_EQ(Bytes(b, 32, 11), std::string("id\0\0\0\0\0\0\0\0\0", 11));
  EXPECT_EQ(b[43], 'N');
  EXPECT_EQ(b[48], 8);
  EXPECT_EQ(b[49], 0);
  EXPECT_EQ(b[64], 0x0D);
  EXPECT_EQ(b[65], 0x1A);
  EXPECT_EQ(t->tableState, DB_POSITIONED);
  EXPECT_EQ(Db_GetNumRecs(t), 0);
  // One record per shape.
  ASSERT_EQ(Db_AddRecBegin(t), 1);
  ASSERT_EQ(Db_RecSetField(t, 1, "17"), 1);
  ASSERT_EQ(Db_AddRec(t), 1);
  ASSERT_EQ(Db_AddRecEnd(t), 1);
  EXPECT_EQ(Bytes(ReadFile(base + ".dbf"), 65, 10), std::string("       17\x1A"));
}

TEST_F(TableDefinition, ShapeFileTableRefusesBadBaseNames) {
  EXPECT_EQ(Shp_CreateShpFAT("", t), 0);
  EXPECT_EQ(Shp_CreateShpFAT(nullptr, t), 0);
  EXPECT_EQ(Shp_CreateShpFAT(Path("x").c_str(), nullptr), 0);
  EXPECT_FALSE(FileExists(Path("x.dbf")));
  const size_t room = 249 - (dir_.size() + 1);
  const std::string longest = Path(std::string(room, 'b'));
  ASSERT_EQ(longest.size(), 249u);
  EXPECT_EQ(Shp_CreateShpFAT((longest + "c").c_str(), t), 0);
  EXPECT_FALSE(FileExists(longest + "c.dbf"));
  EXPECT_EQ(Shp_CreateShpFAT(longest.c_str(), t), 1);
  EXPECT_TRUE(FileExists(longest + ".dbf"));
}

TEST_F(TableDefinition, WidthsAndDecimalsAreBroughtIntoRange) {
  ASSERT_EQ(Db_NewBeginDef(t, Path("w.dbf").c_str()), 1);
  struct Case {
    int type, width, decimals, wantWidth, wantDecimals;
  } cases[] = {
      {DB_CHARACTER, 300, 0, 254, 0}, {DB_CHARACTER, 0, 0, 1, 0},   {DB_NUMERIC, 25, 0, 20, 0},
      {DB_NUMERIC, -3, 0, 1, 0},      {DB_LOGICAL, 7, 0, 1, 0},     {DB_DATE, 3, 0, 8, 0},
      {DB_NUMERIC, 10, 8, 10, 8},     {DB_NUMERIC, 10, 9, 10, 8},   {DB_NUMERIC, 10, 12, 10, 8},
      {DB_NUMERIC, 2, 0, 2, 0},       {DB_NUMERIC, 1, 0, 1, 0},     {DB_CHARACTER, 5, 3, 5, 0},
      {DB_FLOAT, 16, 4, 16, 4},       {DB_FLOAT, 10, -1, 10, 8},    {DB_NUMERIC, 6, 256 + 2, 6, 2},
      // Only the low 16 bits of type and width count.
      {0x10000 + DB_CHARACTER, 0x10000 + 7, 0, 7, 0},
  };
  for (const Case& c : cases) ASSERT_EQ(Db_NewAddField(t, "F", c.type, c.width, c.decimals), 1);
  ASSERT_EQ(Db_NewEndDef(t), 1);
  int i = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Db_GetFieldWidth(t, i), c.wantWidth);
    EXPECT_EQ(Db_GetFieldDecimals(t, i), c.wantDecimals);
    ++i;
  }
}

TEST_F(TableDefinition, RefusedFieldsWriteNothing) {
  const std::string p = Path("r.dbf");
  ASSERT_EQ(Db_NewBeginDef(t, p.c_str()), 1);
  ASSERT_EQ(Db_NewAddField(t, "ABCDEFGHIJKL", DB_CHARACTER, 4, 0), 1);
  const int64_t size = FileSize(p);
  EXPECT_EQ(Db_NewAddField(t, "BAD", 999, 4, 0), 0);
  EXPECT_EQ(Db_NewAddField(t, "BAD", DB_MEMO, 4, 0), 0);
  EXPECT_EQ(Db_NewAddField(t, nullptr, DB_CHARACTER, 4, 0), 0);
  EXPECT_EQ(FileSize(p), size);
  // An empty name and a repeated name are accepted.
  EXPECT_EQ(Db_NewAddField(t, "", DB_LOGICAL, 1, 0), 1);
  EXPECT_EQ(Db_NewAddField(t, "ABCDEFGHI", DB_LOGICAL, 1, 0), 1);
  ASSERT_EQ(Db_NewEndDef(t), 1);
  EXPECT_EQ(Db_NewAddField(t, "LATE", DB_CHARACTER, 4, 0), 0);
  EXPECT_EQ(Db_NewEndDef(t), 0);
  EXPECT_EQ(Db_GetNumFields(t), 3);
  char out[16];
  EXPECT_EQ(Db_GetFieldName(t, 1, out), 9);
  EXPECT_STREQ(out, "ABCDEFGHI");
  EXPECT_EQ(Db_GetFieldName(t, 2, out), 0);
  EXPECT_EQ(FileSize(p), 32 + 3 * 32 + 2);
}

TEST_F(TableDefinition, FieldAndRecordLimits) {
  ASSERT_EQ(Db_NewBeginDef(t, Path("many.dbf").c_str()), 1);
  for (int i = 1; i <= 256; ++i) ASSERT_EQ(Db_NewAddField(t, "F", DB_LOGICAL, 1, 0), 1) << i;
  EXPECT_EQ(Db_NewAddField(t, "F", DB_LOGICAL, 1, 0), 0);
  ASSERT_EQ(Db_NewEndDef(t), 1);
  EXPECT_EQ(Db_GetNumFields(t), 256);
  EXPECT_EQ(t->headerSize, 32 * 256 + 33);

  // 129 fields of 254 bytes make a record of exactly 32767 bytes with its flag.
  ASSERT_EQ(Db_NewBeginDef(t, Path("wide.dbf").c_str()), 1);
  for (int i = 1; i <= 129; ++i) ASSERT_EQ(Db_NewAddField(t, "W", DB_CHARACTER, 254, 0), 1) << i;
  EXPECT_EQ(Db_NewAddField(t, "X", DB_LOGICAL, 1, 0), 0);
  ASSERT_EQ(Db_NewEndDef(t), 1);
  EXPECT_EQ(t->recordSize, 32767);
  ASSERT_EQ(Db_AddRecBegin(t), 1);
  ASSERT_EQ(Db_RecSetField(t, 129, "last"), 1);
  ASSERT_EQ(Db_AddRec(t), 1);
  ASSERT_EQ(Db_AddRecEnd(t), 1);
  char out[300];
  EXPECT_EQ(Db_GetFieldValue(t, 129, out), 4);
  EXPECT_STREQ(out, "last");
}

TEST_F(TableDefinition, AppendedRecordsHaveExactBytes) {
  const std::string p = Define("app.dbf", {{"NAME", DB_CHARACTER, 6, 0}, {"POP", DB_NUMERIC, 5, 0},
                                           {"OK", DB_LOGICAL, 1, 0}, {"SINCE", DB_DATE, 8, 0},
                                           {"RATE", DB_FLOAT, 6, 2}});
  const int32_t hs = t->headerSize;
  const int32_t rs = t->recordSize;
  ASSERT_EQ(rs, 27);

  EXPECT_EQ(Db_RecSetField(t, 1, "x"), 0);
  EXPECT_EQ(Db_AddRec(t), 0);
  ASSERT_EQ(Db_AddRecBegin(t), 1);
  EXPECT_EQ(t->tableState, DB_APPENDING);
  EXPECT_EQ(Db_RecSetField(t, 1, "Lisbon!!"), 1);
  EXPECT_EQ(Db_RecSetField(t, 2, "550"), 1);
  EXPECT_EQ(Db_RecSetField(t, 3, "t"), 1);
  EXPECT_EQ(Db_RecSetField(t, 4, "19990101xx"), 1);
  EXPECT_EQ(Db_RecSetField(t, 5, "1.25"), 1);
  EXPECT_EQ(Db_RecSetField(t, 0, "x"), 0);
  EXPECT_EQ(Db_RecSetField(t, 6, "x"), 0);
  EXPECT_EQ(Db_RecSetField(t, 4, "1999"), 0);  // a date needs its 8 characters
  EXPECT_EQ(Db_RecSetField(t, 1, nullptr), 0);
  ASSERT_EQ(Db_AddRec(t), 1);
  ASSERT_EQ(Db_AddRec(t), 1);  // nothing set: all blanks
  EXPECT_EQ(Db_RecSetField(t, 2, "1"), 1);
  EXPECT_EQ(Db_RecSetField(t, 2, "22"), 1);  // the last value counts
  ASSERT_EQ(Db_AddRec(t), 1);
  EXPECT_EQ(Db_GetNumRecs(t), 3);
  ASSERT_EQ(Db_AddRecEnd(t), 1);
  EXPECT_EQ(Db_AddRecEnd(t), 0);
  EXPECT_EQ(t->tableState, DB_PARTIAL);

  const auto b = ReadFile(p);
  ASSERT_EQ(static_cast<int64_t>(b.size()), hs + 3 * rs + 1);
  EXPECT_EQ(LE32(b, 4), 3);
  EXPECT_EQ(Bytes(b, static_cast<size_t>(hs), static_cast<size_t>(3 * rs + 1)),
            std::string(" Lisbon  550T19990101  1.25") + std::string(27, ' ') + std::string(10, ' ') + "22" +
                std::string(15, ' ') + "\x1A");

  // The next whole-record read positions at the current record first.
  char out[16];
  EXPECT_EQ(Db_GetFieldValue(t, 1, out), 6);
  EXPECT_STREQ(out, "Lisbon");
}

TEST_F(TableDefinition, EndOfFileByteEndsUpOnceBehindTheLastRecord) {
  const std::string p = Define("eof.dbf", {{"A", DB_CHARACTER, 3, 0}});
  const int64_t empty = FileSize(p);
  // A phase without records leaves the file as it was.
  ASSERT_EQ(Db_AddRecBegin(t), 1);
  EXPECT_EQ(Db_AddRecBegin(t), 0);
  ASSERT_EQ(Db_AddRecEnd(t), 1);
  EXPECT_EQ(FileSize(p), empty);
  EXPECT_EQ(ReadFile(p).back(), 0x1A);
  // Two phases, the second after reopening the file.
  for (const char* v : {"one", "two"}) {
    ASSERT_EQ(Db_AddRecBegin(t), 1);
    ASSERT_EQ(Db_RecSetField(t, 1, v), 1);
    ASSERT_EQ(Db_AddRec(t), 1);
    ASSERT_EQ(Db_AddRecEnd(t), 1);
    ASSERT_EQ(Db_Open(t, p.c_str()), 1);
  }
  auto b = ReadFile(p);
  EXPECT_EQ(Bytes(b, static_cast<size_t>(empty - 1), 9), " one two\x1A");
  EXPECT_EQ(LE32(b, 4), 2);

  // A file without its end-of-file byte gets records behind its last byte,
  // and the byte once.
  b.pop_back();
  Put("eof.dbf", b);
  ASSERT_EQ(Db_Open(t, p.c_str()), 1);
  ASSERT_EQ(Db_AddRecBegin(t), 1);
  ASSERT_EQ(Db_RecSetField(t, 1, "3"), 1);
  ASSERT_EQ(Db_AddRec(t), 1);
  ASSERT_EQ(Db_AddRecEnd(t), 1);
  b = ReadFile(p);
  EXPECT_EQ(Bytes(b, static_cast<size_t>(empty - 1), 13), " one two 3  \x1A");
  EXPECT_EQ(b.size(), static_cast<size_t>(empty + 12));
  EXPECT_EQ(LE32(b, 4), 3);

  // Without records and without the byte, the phase adds just the byte.
  Put("bare.dbf", DbfBytes({{"A", 'C', 3}}, {}, false));
  ASSERT_EQ(Db_Open(t, Path("bare.dbf").c_str()), 1);
  ASSERT_EQ(Db_AddRecBegin(t), 1);
  ASSERT_EQ(Db_AddRecEnd(t), 1);
  EXPECT_EQ(ReadFile(Path("bare.dbf")), DbfBytes({{"A", 'C', 3}}, {}, true));
}

TEST_F(TableDefinition, PhasesAreRefusedOutsideTheirState) {
  EXPECT_EQ(Db_NewEndDef(t), 0);
  EXPECT_EQ(Db_AddRecBegin(t), 0);
  EXPECT_EQ(Db_AddRecEnd(t), 0);
  ASSERT_EQ(Db_NewBeginDef(t, Path("p.dbf").c_str()), 1);
  EXPECT_EQ(Db_AddRecBegin(t), 0);
  EXPECT_EQ(Db_AddRecEnd(t), 0);
  EXPECT_EQ(Db_RenameField(t, 1, "X"), 0);
  ASSERT_EQ(Db_NewAddField(t, "A", DB_CHARACTER, 3, 0), 1);
  EXPECT_EQ(Db_GetFieldName(t, 1, nullptr), 0);  // no field table while defining
  EXPECT_EQ(Db_GetNumFields(t), 1);
  EXPECT_EQ(t->accessMode, 0);
}

TEST_F(TableDefinition, AppendIsRefusedOnReadOnlyTables) {
  const std::string p = ThreeRecords();
  const auto before = ReadFile(p);
  if (!MakeReadOnly(p)) GTEST_SKIP() << "cannot make a file read-only here";
  ASSERT_EQ(Db_Open(t, p.c_str()), 1);
  EXPECT_EQ(Db_AddRecBegin(t), 0);
  EXPECT_EQ(Db_AddRec(t), 0);
  EXPECT_EQ(Db_GetNumRecs(t), 3);
  EXPECT_EQ(ReadFile(p), before);
}

TEST_F(TableDefinition, MemoFieldsCannotBeSetWhileAppending) {
  ASSERT_EQ(Db_Open(t, Put("m.dbf", DbfBytes({{"NOTE", 'M', 10}, {"X", 'I', 4}}, {})).c_str()), 1);
  ASSERT_EQ(Db_AddRecBegin(t), 1);
  EXPECT_EQ(Db_RecSetField(t, 1, "12"), 0);
  EXPECT_EQ(Db_RecSetField(t, 2, "12"), 0);
  ASSERT_EQ(Db_AddRec(t), 1);
  ASSERT_EQ(Db_AddRecEnd(t), 1);
  EXPECT_EQ(Bytes(ReadFile(Path("m.dbf")), 97, 16), std::string(15, ' ') + "\x1A");
}

TEST_F(TableDefinition, MovingToARecordEndsTheAppendPhase) {
  const std::string p = ThreeRecords();
  ASSERT_EQ(Db_Open(t, p.c_str()), 1);
  ASSERT_EQ(Db_AddRecBegin(t), 1);
  ASSERT_EQ(Db_RecSetField(t, 1, "Riga"), 1);
  // Value reads and flag reads leave the phase running.
  EXPECT_EQ(Db_IsCurRecDeleted(t), 0);
  ASSERT_EQ(Db_AddRec(t), 1);
  EXPECT_EQ(Db_GotoRec(t, 5), 0);  // refused: the phase goes on
  EXPECT_EQ(t->tableState, DB_APPENDING);
  ASSERT_EQ(Db_GotoRec(t, 4), 1);
  EXPECT_EQ(t->tableState, DB_POSITIONED);
  EXPECT_EQ(Db_AddRec(t), 0);
  EXPECT_EQ(Db_AddRecEnd(t), 0);
  const auto b = ReadFile(p);
  EXPECT_EQ(LE32(b, 4), 4);
  EXPECT_EQ(b.size(), 129u + 4 * 16 + 1);
  char out[16];
  EXPECT_EQ(Db_GetFieldValue(t, 1, out), 4);
  EXPECT_STREQ(out, "Riga");
}

TEST_F(TableDefinition, CloseDuringTheAppendPhaseLeavesRecordsUncounted) {
  const std::string p = ThreeRecords();
  ASSERT_EQ(Db_Open(t, p.c_str()), 1);
  ASSERT_EQ(Db_AddRecBegin(t), 1);
  ASSERT_EQ(Db_AddRec(t), 1);
  ASSERT_EQ(Db_Close(t), 1);
  const auto b = ReadFile(p);
  EXPECT_EQ(LE32(b, 4), 3);
  EXPECT_EQ(b.size(), 129u + 4 * 16);
}

TEST_F(TableDefinition, NewDefinitionClosesTheOpenTable) {
  const std::string a = ThreeRecords();
  const auto before = ReadFile(a);
  ASSERT_EQ(Db_Open(t, a.c_str()), 1);
  // A path that cannot be created leaves the open table alone.
  EXPECT_EQ(Db_NewBeginDef(t, Path("no/such/dir.dbf").c_str()), 0);
  EXPECT_EQ(t->tableState, DB_POSITIONED);
  char out[16];
  EXPECT_EQ(Db_GetFieldValue(t, 1, out), 6);
  ASSERT_EQ(Db_NewBeginDef(t, Path("new.dbf").c_str()), 1);
  EXPECT_EQ(t->tableState, DB_DEFINING);
  EXPECT_EQ(t->recBuffer, nullptr);
  EXPECT_EQ(Db_GetNumRecs(t), 0);
  // The header written at once: no fields, record size 0.
  auto b = ReadFile(Path("new.dbf"));
  ASSERT_EQ(b.size(), 32u);
  EXPECT_EQ(b[8], 33);
  EXPECT_EQ(b[10], 0);
  EXPECT_EQ(ReadFile(a), before);
  // Defining again while defining starts over.
  ASSERT_EQ(Db_NewAddField(t, "A", DB_CHARACTER, 3, 0), 1);
  ASSERT_EQ(Db_NewBeginDef(t, Path("new.dbf").c_str()), 1);
  ASSERT_EQ(Db_NewEndDef(t), 1);
  EXPECT_EQ(Db_GetNumFields(t), 0);
  EXPECT_EQ(FileSize(Path("new.dbf")), 34);
}

}  // namespace
}  // namespace ovrix::test
