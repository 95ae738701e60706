// Moving between records, field values, deletion flags and field
// descriptions, with the state each call leaves behind.
#include "table_fixture.h"

namespace ovrix::test {
namespace {

using TableNavigation = TableTest;

// Bytes of record n (flag included) as they are in the file.
std::string RecordInFile(const std::string& path, DbTable* t, int n) {
  return Bytes(ReadFile(path), static_cast<size_t>(t->headerSize + (n - 1) * t->recordSize),
               static_cast<size_t>(t->recordSize));
}

TEST_F(TableNavigation, ValuesAreLaidOutByType) {
  const std::string p = Put("v.dbf", DbfBytes({{"C", 'C', 5}, {"N", 'N', 6}, {"S", 'N', 3}, {"L", 'L', 1},
                                               {"D", 'D', 8}, {"F", 'F', 7}},
                                              {std::string(31, ' ')}));
  ASSERT_EQ(Db_Open(t, p.c_str()), 1);
  struct Case {
    int field;
    const char* value;
    const char* stored;
    const char* read;  // null for a blank value
  } cases[] = {
      {1, "ab", "ab   ", "ab"},          {1, "abcdefg", "abcde", "abcde"}, {1, " x ", " x   ", "x"},
      {1, "", "     ", nullptr},         {2, "3.5", "   3.5", "3.5"},     {3, "42.75", "42.", "42."},
      {2, "abc", "   abc", "abc"},       {4, "t", "T", "T"},               {4, "T", "T", "T"},
      {4, "1", "T", "T"},                {4, "f", "F", "F"},               {4, "0", "F", "F"},
      {4, "yes", "?", "?"},              {4, "", "?", "?"},                {5, "20240229", "20240229", "20240229"},
      {5, "2024022912", "20240229", "20240229"}, {6, "-1.5e3", " -1.5e3", "-1.5e3"},
  };
  const int starts[] = {0, 1, 6, 12, 15, 16, 24};
  char out[64];
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.value));
    ASSERT_EQ(Db_SetFieldValue(t, c.field, c.value), 1);
    EXPECT_EQ(t->tableState, DB_PARTIAL);
    const std::string rec = RecordInFile(p, t, 1);
    EXPECT_EQ(rec.substr(static_cast<size_t>(starts[c.field]), std::strlen(c.stored)), c.stored);
    std::strcpy(out, "untouched");
    const int32_t n = Db_GetFieldValue(t, c.field, out);
    EXPECT_EQ(t->tableState, DB_LOADED);
    if (c.read == nullptr) {
      EXPECT_EQ(n, 0);
      EXPECT_STREQ(out, "untouched");
      int32_t len = 7;
      EXPECT_EQ(Db_GetFieldValuePtr(t, c.field, &len), nullptr);
      EXPECT_EQ(len, 0);
      EXPECT_EQ(Db_ReadField(t, c.field, out), 0);
    } else {
      EXPECT_EQ(n, static_cast<int32_t>(std::strlen(c.read)));
      EXPECT_STREQ(out, c.read);
      int32_t len = 0;
      EXPECT_STREQ(Db_GetFieldValuePtr(t, c.field, &len), c.read);
      EXPECT_EQ(len, n);
      EXPECT_STREQ(Db_GetFieldValuePtr(t, c.field, nullptr), c.read);
    }
  }
  // A date needs its 8 characters; the field keeps its value.
  EXPECT_EQ(Db_SetFieldValue(t, 5, "2024"), 0);
  EXPECT_EQ(Db_SetFieldValue(t, 5, nullptr), 0);
  EXPECT_EQ(RecordInFile(p, t, 1).substr(16, 8), "20240229");
  // ReadRecPart keeps the blanks.
  ASSERT_EQ(Db_SetFieldValue(t, 1, " x "), 1);
  EXPECT_EQ(Db_ReadRecPart(t, 1, 6, out), 5);
  EXPECT_STREQ(out, " x   ");
  EXPECT_EQ(Db_ReadField(t, 1, out), 1);
  EXPECT_STREQ(out, "x");
}

TEST_F(TableNavigation, InvalidNumbersChangeNothing) {
  ASSERT_EQ(Db_Open(t, ThreeRecords().c_str()), 1);
  ASSERT_EQ(Db_GetRec(t, 2), 1);
  const long pos = std::ftell(t->dbStream);
  for (int n : {0, -1, 4}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(Db_GotoRec(t, n), 0);
    EXPECT_EQ(Db_SetRecNum(t, n), 0);
    EXPECT_EQ(Db_GetRec(t, n), 0);
  }
  char out[16] = "untouched";
  for (int i : {0, 4}) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Db_GetFieldValue(t, i, out), 0);
    EXPECT_EQ(Db_GetFieldValuePtr(t, i, nullptr), nullptr);
    EXPECT_EQ(Db_ReadField(t, i, out), 0);
    EXPECT_EQ(Db_SetFieldValue(t, i, "x"), 0);
    EXPECT_EQ(Db_GetFieldName(t, i, out), 0);
    EXPECT_EQ(Db_GetFieldType(t, i), 0);
    EXPECT_EQ(Db_GetFieldWidth(t, i), 0);
    EXPECT_EQ(Db_GetFieldDecimals(t, i), 0);
    EXPECT_EQ(Db_RenameField(t, i, "x"), 0);
  }
  EXPECT_STREQ(out, "untouched");
  EXPECT_EQ(Db_GetCurRecNum(t), 2);
  EXPECT_EQ(t->tableState, DB_LOADED);
  EXPECT_EQ(std::ftell(t->dbStream), pos);
}

TEST_F(TableNavigation, FrontToBackScanReadsWhereTheStreamStands) {
  ASSERT_EQ(Db_Open(t, ThreeRecords().c_str()), 1);
  char out[16];
  // After the open, record 1.
  EXPECT_EQ(Db_GetFieldValue(t, 1, out), 6);
  EXPECT_STREQ(out, "Lisbon");
  EXPECT_EQ(std::ftell(t->dbStream), t->headerSize + t->recordSize);
  // SetRecNum declares the record without moving the stream.
  ASSERT_EQ(Db_SetRecNum(t, 2), 1);
  EXPECT_EQ(t->tableState, DB_POSITIONED);
  EXPECT_EQ(std::ftell(t->dbStream), t->headerSize + t->recordSize);
  EXPECT_EQ(Db_GetFieldValue(t, 1, out), 4);
  EXPECT_STREQ(out, "Oslo");
  EXPECT_EQ(Db_GetFieldValue(t, 2, out), 3);
  EXPECT_STREQ(out, "700");
  EXPECT_EQ(Db_GetCurRecNum(t), 2);
  // It only declares: the next read takes the record where the stream stands.
  ASSERT_EQ(Db_SetRecNum(t, 1), 1);
  EXPECT_EQ(Db_GetFieldValue(t, 1, out), 7);
  EXPECT_STREQ(out, "Tallinn");
}

TEST_F(TableNavigation, GetRecLoadsOncePerVisit) {
  ASSERT_EQ(Db_Open(t, ThreeRecords().c_str()), 1);
  ASSERT_EQ(Db_GetRec(t, 1), 1);
  EXPECT_EQ(t->tableState, DB_LOADED);
  const long after = std::ftell(t->dbStream);
  EXPECT_EQ(after, t->headerSize + t->recordSize);
  // The loaded record is not read again.
  ASSERT_EQ(Db_GetRec(t, 1), 1);
  EXPECT_EQ(std::ftell(t->dbStream), after);
  ASSERT_EQ(Db_GetRec(t, 3), 1);
  char out[16];
  EXPECT_EQ(Db_GetFieldValue(t, 1, out), 7);
  ASSERT_EQ(Db_GotoRec(t, 2), 1);
  EXPECT_EQ(t->tableState, DB_POSITIONED);
  EXPECT_EQ(std::ftell(t->dbStream), t->headerSize + t->recordSize);
  EXPECT_EQ(Db_GetFieldValue(t, 1, out), 4);
}

TEST_F(TableNavigation, PiecesOfARecordAreReadStraightFromTheFile) {
  ASSERT_EQ(Db_Open(t, ThreeRecords().c_str()), 1);
  ASSERT_EQ(Db_GotoRec(t, 3), 1);
  char out[300];
  EXPECT_EQ(Db_ReadField(t, 2, out), 3);
  EXPECT_STREQ(out, "450");
  EXPECT_EQ(t->tableState, DB_PARTIAL);
  EXPECT_EQ(std::ftell(t->dbStream), t->headerSize + 2 * t->recordSize + 15);
  EXPECT_EQ(Db_ReadRecPart(t, 1, 16, out), 15);  // the last byte of the record too
  EXPECT_STREQ(out, "Tallinn    450?");
  // The next whole-record read positions at the current record first.
  EXPECT_EQ(Db_GetFieldValue(t, 3, out), 1);
  EXPECT_STREQ(out, "?");
  EXPECT_EQ(t->tableState, DB_LOADED);
  // From the loaded record.
  EXPECT_EQ(Db_ReadRecPart(t, 9, 15, out), 6);
  EXPECT_STREQ(out, "   450");
  EXPECT_EQ(Db_ReadField(t, 1, out), 7);
  EXPECT_EQ(t->tableState, DB_LOADED);
  // Ranges outside the record's bytes 1..15 are refused.
  std::strcpy(out, "untouched");
  for (auto r : {std::pair{0, 3}, {16, 17}, {5, 5}, {5, 4}, {1, 17}, {-3, 2}}) {
    SCOPED_TRACE(r.first);
    EXPECT_EQ(Db_ReadRecPart(t, r.first, r.second, out), 0);
  }
  EXPECT_STREQ(out, "untouched");
}

TEST_F(TableNavigation, OutBuffersGetAtMost255Characters) {
  const std::string value(255, 'v');
  ASSERT_EQ(Db_Open(t, Put("wide.dbf", DbfBytes({{"W", 'C', 255}, {"X", 'C', 10}}, {" " + value + "0123456789"}))
                           .c_str()),
            1);
  char out[300];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(Db_GetFieldValue(t, 1, out), 255);
  EXPECT_EQ(std::string(out), value);
  EXPECT_EQ(out[256], '#');
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(Db_ReadRecPart(t, 1, 266, out), 255);
  EXPECT_EQ(out[255], '\0');
  EXPECT_EQ(out[256], '#');
  // The pointer form hands out what the table holds: up to 256 bytes.
  ASSERT_EQ(Db_GotoRec(t, 1), 1);
  int32_t len = 0;
  EXPECT_EQ(Text(Db_GetFieldValuePtr(t, 1, &len)), value);
  EXPECT_EQ(len, 255);
}

TEST_F(TableNavigation, DeletionFlags) {
  const std::string p = ThreeRecords();
  ASSERT_EQ(Db_Open(t, p.c_str()), 1);
  // Without loading: the stream goes back where it was.
  ASSERT_EQ(Db_SetRecNum(t, 2), 1);
  const long pos = std::ftell(t->dbStream);
  EXPECT_EQ(Db_IsCurRecDeleted(t), 1);
  EXPECT_EQ(std::ftell(t->dbStream), pos);
  EXPECT_EQ(Db_CurRecUnDelete(t), 1);
  EXPECT_EQ(std::ftell(t->dbStream), pos);
  EXPECT_EQ(t->tableState, DB_POSITIONED);
  EXPECT_EQ(RecordInFile(p, t, 2)[0], ' ');
  EXPECT_EQ(Db_IsCurRecDeleted(t), 0);
  // While loaded: the loaded copy follows the file.
  ASSERT_EQ(Db_GetRec(t, 3), 1);
  EXPECT_EQ(Db_IsCurRecDeleted(t), 0);
  EXPECT_EQ(Db_CurRecDelete(t), 1);
  EXPECT_EQ(t->tableState, DB_LOADED);
  EXPECT_EQ(Db_IsCurRecDeleted(t), 1);
  EXPECT_EQ(RecordInFile(p, t, 3)[0], '*');
  EXPECT_EQ(RecordInFile(p, t, 1)[0], ' ');
  // Any byte but '*' is a live record.
  auto b = ReadFile(p);
  b[static_cast<size_t>(t->headerSize)] = 'X';
  Put("three.dbf", b);
  ASSERT_EQ(Db_Open(t, p.c_str()), 1);
  EXPECT_EQ(Db_IsCurRecDeleted(t), 0);
}

TEST_F(TableNavigation, ReadOnlyTablesRefuseEveryChange) {
  const std::string p = ThreeRecords();
  const auto before = ReadFile(p);
  if (!MakeReadOnly(p)) GTEST_SKIP() << "cannot make a file read-only here";
  ASSERT_EQ(Db_Open(t, p.c_str()), 1);
  ASSERT_EQ(t->accessMode, DB_READONLY);
  EXPECT_EQ(Db_SetFieldValue(t, 1, "x"), 0);
  EXPECT_EQ(Db_CurRecDelete(t), 0);
  EXPECT_EQ(Db_CurRecUnDelete(t), 0);
  EXPECT_EQ(Db_RenameField(t, 1, "other"), 0);
  char out[16];
  EXPECT_EQ(Db_GetFieldName(t, 1, out), 4);
  EXPECT_STREQ(out, "NAME");
  EXPECT_EQ(t->tableState, DB_POSITIONED);
  EXPECT_EQ(ReadFile(p), before);
}

TEST_F(TableNavigation, TablesWithoutRecordsRefuseValueCalls) {
  const std::string p = Put("empty.dbf", DbfBytes({{"A", 'C', 3}}, {}));
  const auto before = ReadFile(p);
  ASSERT_EQ(Db_Open(t, p.c_str()), 1);
  EXPECT_EQ(Db_GetCurRecNum(t), 1);
  char out[16] = "untouched";
  EXPECT_EQ(Db_GetFieldValue(t, 1, out), 0);
  EXPECT_EQ(Db_GetFieldValuePtr(t, 1, nullptr), nullptr);
  EXPECT_EQ(Db_ReadField(t, 1, out), 0);
  EXPECT_EQ(Db_ReadRecPart(t, 1, 3, out), 0);
  EXPECT_EQ(Db_SetFieldValue(t, 1, "x"), 0);
  EXPECT_EQ(Db_IsCurRecDeleted(t), 0);
  EXPECT_EQ(Db_CurRecDelete(t), 0);
  EXPECT_EQ(Db_CurRecUnDelete(t), 0);
  EXPECT_EQ(Db_GotoRec(t, 1), 0);
  EXPECT_STREQ(out, "untouched");
  EXPECT_EQ(t->tableState, DB_POSITIONED);
  EXPECT_EQ(ReadFile(p), before);
  // Field descriptions still work.
  EXPECT_EQ(Db_RenameField(t, 1, "b"), 1);
  EXPECT_EQ(Db_GetFieldName(t, 1, out), 1);
  // And so does a closed handle, which refuses everything.
  Db_Close(t);
  EXPECT_EQ(Db_GetFieldValue(t, 1, out), 0);
  EXPECT_EQ(Db_GotoRec(t, 1), 0);
  EXPECT_EQ(Db_ReadRecPart(t, 1, 2, out), 0);
  EXPECT_EQ(Db_GetRecLen(t), -1);
}

TEST_F(TableNavigation, SetFieldValueGoesStraightToTheFile) {
  const std::string p = ThreeRecords();
  ASSERT_EQ(Db_Open(t, p.c_str()), 1);
  ASSERT_EQ(Db_GetRec(t, 2), 1);
  ASSERT_EQ(Db_SetFieldValue(t, 2, "12345678"), 1);
  EXPECT_EQ(RecordInFile(p, t, 2), "*Oslo    123456F");
  // The record buffer is stale; the next read goes to the file.
  char out[16];
  EXPECT_EQ(Db_GetFieldValue(t, 2, out), 6);
  EXPECT_STREQ(out, "123456");
  EXPECT_EQ(Db_GetCurRecNum(t), 2);
  // A field whose type has no layout gets zero bytes.
  const std::string m = Put("memo.dbf", DbfBytes({{"NOTE", 'M', 4}, {"I", 'I', 2}}, {" 0012xy"}));
  ASSERT_EQ(Db_Open(t, m.c_str()), 1);
  EXPECT_EQ(Db_GetFieldType(t, 1), DB_MEMO);
  EXPECT_EQ(Db_GetFieldType(t, 2), 'I');
  EXPECT_EQ(Db_SetFieldValue(t, 1, "text"), 1);
  EXPECT_EQ(Db_SetFieldValue(t, 2, "7"), 1);
  EXPECT_EQ(RecordInFile(m, t, 1), std::string(" \0\0\0\0\0\0", 7));
}

TEST_F(TableNavigation, FieldTypesOfOtherLetters) {
  ASSERT_EQ(Db_Open(t, Put("t.dbf", DbfBytes({{"A", 'I', 4}, {"B", '\xC3', 1}, {"C", '\0', 1}}, {})).c_str()), 1);
  EXPECT_EQ(Db_GetFieldType(t, 1), 73);
  EXPECT_EQ(Db_GetFieldType(t, 2), -61);
  EXPECT_EQ(Db_GetFieldType(t, 3), 0);
}

TEST_F(TableNavigation, FieldIdsAreFoundByUpperCaseName) {
  ASSERT_EQ(Db_Open(t, Put("n.dbf", DbfBytes({{"id", 'N', 4}, {"NAME", 'C', 4}, {"NAME", 'C', 4}}, {})).c_str()), 1);
  char name[] = "name";
  EXPECT_EQ(Db_GetFieldId(t, name), 2);
  EXPECT_STREQ(name, "NAME");
  char id[] = "id";
  EXPECT_EQ(Db_GetFieldId(t, id), 0);
  char idUpper[] = "ID";
  EXPECT_EQ(Db_GetFieldId(t, idUpper), 0);
  char longer[] = "NAMES";
  EXPECT_EQ(Db_GetFieldId(t, longer), 0);
  EXPECT_EQ(Db_GetFieldId(t, nullptr), 0);
  char untouched[] = "name";
  EXPECT_EQ(Db_GetFieldId(nullptr, untouched), 0);
  EXPECT_STREQ(untouched, "name");
}

TEST_F(TableNavigation, RenameWritesTheDescriptorName) {
  const std::string p = ThreeRecords();
  ASSERT_EQ(Db_Open(t, p.c_str()), 1);
  ASSERT_EQ(Db_GetRec(t, 1), 1);
  const long pos = std::ftell(t->dbStream);
  EXPECT_EQ(Db_RenameField(t, 2, "population"), 1);
  EXPECT_EQ(std::ftell(t->dbStream), pos);
  EXPECT_EQ(t->tableState, DB_LOADED);
  EXPECT_EQ(Bytes(ReadFile(p), 64, 11), std::string("POPULATION\0", 11));
  EXPECT_EQ(Db_RenameField(t, 1, "areaOfLandMass"), 1);
  EXPECT_EQ(Bytes(ReadFile(p), 32, 11), std::string("AREAOFLAND\0", 11));
  EXPECT_EQ(Db_RenameField(t, 3, "ok?"), 1);
  EXPECT_EQ(Bytes(ReadFile(p), 96, 12), std::string("OK?\0\0\0\0\0\0\0\0L", 12));
  EXPECT_EQ(Db_RenameField(t, 3, nullptr), 0);
  char out[16];
  EXPECT_EQ(Db_GetFieldName(t, 1, out), 10);
  EXPECT_STREQ(out, "AREAOFLAND");
  char lookup[] = "population";
  EXPECT_EQ(Db_GetFieldId(t, lookup), 2);
  // The values are untouched, and the table reads back with the new names.
  ASSERT_EQ(Db_Open(t, p.c_str()), 1);
  EXPECT_EQ(Db_GetFieldName(t, 2, out), 10);
  EXPECT_STREQ(out, "POPULATION");
  EXPECT_EQ(Db_GetFieldValue(t, 2, out), 3);
  EXPECT_STREQ(out, "550");
}

}  // namespace
}  // namespace ovrix::test
