// Fuzz target: a .dbf table that the library did not write.
//
// Input layout: byte 0 holds flags, the rest is the file. The target opens
// the table and reads it every way the interface offers: records by
// GotoRec, SetRecNum and GetRec, each field through GetFieldValue, ReadField,
// GetFieldValuePtr and ReadRecPart (all three value calls must agree), the
// deletion flag, the field descriptions and the field lookup by name. Then,
// on a copy, it renames a field, writes values back, flips deletion flags
// and appends a record, and checks that what was written reads back.
// Nothing may crash, hang, leak or allocate more than the file could need.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "ovrix32.h"
#include "platform/mem.h"

using namespace ovrix::fuzz;

namespace {

constexpr int32_t kMaxRecords = 64;

enum Flags : uint8_t {
  kReserveHandles = 1,
  kEditCopy = 2,
};

std::string FieldValue(DbTable* t, int32_t field) {
  char out[300];
  std::memset(out, 0x55, sizeof out);
  const int32_t len = Db_GetFieldValue(t, field, out);
  FUZZ_CHECK(len >= 0 && len <= 255);
  if (len == 0) return std::string();
  FUZZ_CHECK(std::strlen(out) == static_cast<size_t>(len));
  return std::string(out, static_cast<size_t>(len));
}

// Reads the current record's fields every way; the three value calls must
// give the same text.
void ReadRecord(DbTable* t, int32_t numFields, int32_t recLen) {
  for (int32_t f = 0; f <= numFields + 1; ++f) {
    const std::string whole = FieldValue(t, f);
    char out[300];
    std::memset(out, 0x55, sizeof out);
    const int32_t len = Db_ReadField(t, f, out);
    FUZZ_CHECK(len >= 0 && len <= 255);
    FUZZ_CHECK((len == 0 ? std::string() : std::string(out, static_cast<size_t>(len))) == whole);
    int32_t ptrLen = -1;
    const char* p = Db_GetFieldValuePtr(t, f, &ptrLen);
    FUZZ_CHECK((p == nullptr) == (ptrLen == 0) || (p != nullptr && ptrLen == 0 && p[0] == '\0'));
    if (p != nullptr) FUZZ_CHECK(std::string(p, static_cast<size_t>(ptrLen)) == whole);
    (void)Db_GetFieldValuePtr(t, f, nullptr);
  }
  char out[300];
  const int32_t ranges[][2] = {{0, 1}, {1, 2}, {1, recLen + 1}, {recLen, recLen + 1}, {recLen + 1, recLen + 2},
                               {-1, 5}, {5, 1}, {INT32_MAX - 1, INT32_MAX}, {1, 400}};
  for (const auto& r : ranges) {
    const int32_t len = Db_ReadRecPart(t, r[0], r[1], out);
    FUZZ_CHECK(len >= 0 && len <= 255);
  }
  (void)Db_IsCurRecDeleted(t);
}

// Field descriptions and the lookup by name.
void CheckFields(DbTable* t, int32_t numFields) {
  for (int32_t f = -1; f <= numFields + 1; ++f) {
    char name[64];
    std::memset(name, 0x55, sizeof name);
    const int32_t len = Db_GetFieldName(t, f, name);
    FUZZ_CHECK(len >= 0 && len <= 10);
    (void)Db_GetFieldType(t, f);
    FUZZ_CHECK(Db_GetFieldWidth(t, f) >= 0 && Db_GetFieldWidth(t, f) <= 255);
    FUZZ_CHECK(Db_GetFieldDecimals(t, f) >= 0 && Db_GetFieldDecimals(t, f) <= 255);
    if (f < 1 || f > numFields) {
      FUZZ_CHECK(len == 0);
      continue;
    }
    FUZZ_CHECK(std::strlen(name) == static_cast<size_t>(len));
    // A name without lower-case letters is found, as this field or an
    // earlier one of the same name.
    bool upper = true;
    for (int32_t i = 0; i < len; ++i) upper = upper && !std::islower(static_cast<unsigned char>(name[i]));
    const int32_t id = Db_GetFieldId(t, name);
    if (upper) FUZZ_CHECK(id >= 1 && id <= f);
  }
  FUZZ_CHECK(Db_GetFieldId(t, nullptr) == 0);
}

void ReadTable(const std::string& path, size_t inputSize) {
  DbTable* t = Db_Create();
  FUZZ_CHECK(t != nullptr);
  int32_t opened;
  {
    HeapWatch watch;
    opened = Db_Open(t, path.c_str());
    FUZZ_CHECK(watch.PeakGrowth() <= AllowedGrowth(inputSize));
  }
  if (opened != 1) {
    FUZZ_CHECK(Db_GetNumFields(t) == 0 && Db_GetNumRecs(t) == 0);
    Db_Destroy(t);
    return;
  }
  const int32_t numFields = Db_GetNumFields(t);
  const int32_t numRecs = Db_GetNumRecs(t);
  const int32_t recLen = Db_GetRecLen(t);
  FUZZ_CHECK(numFields >= 0 && numFields <= 1024);
  FUZZ_CHECK(recLen >= 0 && recLen < 32767);
  CheckFields(t, numFields);
  ReadRecord(t, numFields, recLen);  // record 1, whatever the count
  const int32_t upto = numRecs < kMaxRecords ? numRecs : kMaxRecords;
  for (int32_t r = 1; r <= upto; ++r) {
    FUZZ_CHECK(Db_GetRec(t, r) == 1);
    FUZZ_CHECK(Db_GetCurRecNum(t) == r);
    ReadRecord(t, numFields, recLen);
  }
  // A front-to-back scan with SetRecNum, then positioned reads.
  for (int32_t r = 1; r <= upto; ++r) {
    FUZZ_CHECK(Db_SetRecNum(t, r) == 1);
    ReadRecord(t, numFields, recLen);
  }
  for (int32_t r = upto; r >= 1; r -= 3) {
    FUZZ_CHECK(Db_GotoRec(t, r) == 1);
    ReadRecord(t, numFields, recLen);
  }
  for (int32_t bad : {0, -1, INT32_MIN, INT32_MAX, numRecs + (numRecs < INT32_MAX ? 1 : 0)}) {
    if (bad >= 1 && bad <= numRecs) continue;
    FUZZ_CHECK(Db_GotoRec(t, bad) == 0);
    FUZZ_CHECK(Db_SetRecNum(t, bad) == 0);
    FUZZ_CHECK(Db_GetRec(t, bad) == 0);
  }
  FUZZ_CHECK(Db_Close(t) == 1);
  Db_Destroy(t);
}

// Values that a field gives back unchanged when written: character and
// number fields take any text that fits; logical fields their three letters;
// date fields eight characters.
bool WritesBack(int32_t type, const std::string& v, int32_t width) {
  if (static_cast<int32_t>(v.size()) > width || v.find('\0') != std::string::npos) return false;
  switch (type) {
    case DB_CHARACTER:
    case DB_NUMERIC:
    case DB_FLOAT: return true;
    case DB_LOGICAL: return v == "T" || v == "F" || v == "?";
    case DB_DATE: return v.size() == 8 && v.find(' ') == std::string::npos;
    default: return false;
  }
}

void EditCopy(const std::string& path) {
  DbTable* t = Db_Create();
  if (Db_Open(t, path.c_str()) != 1) {
    Db_Destroy(t);
    return;
  }
  const int32_t numFields = Db_GetNumFields(t);
  const int32_t numRecs = Db_GetNumRecs(t);
  if (numFields >= 1) {
    char newName[] = "renamed_x";
    FUZZ_CHECK(Db_RenameField(t, 1, "renamed_x") == 1);
    char name[16];
    FUZZ_CHECK(Db_GetFieldName(t, 1, name) == 9 && std::strcmp(name, "RENAMED_X") == 0);
    FUZZ_CHECK(Db_GetFieldId(t, newName) == 1);
  }
  const int32_t upto = numRecs < 8 ? numRecs : 8;
  for (int32_t r = 1; r <= upto; ++r) {
    FUZZ_CHECK(Db_GetRec(t, r) == 1);
    for (int32_t f = 1; f <= numFields; ++f) {
      const std::string v = FieldValue(t, f);
      const int32_t type = Db_GetFieldType(t, f);
      if (!WritesBack(type, v, Db_GetFieldWidth(t, f))) {
        (void)Db_SetFieldValue(t, f, v.c_str());
        continue;
      }
      // The record may lie past the end of the file: then the write
      // extends it or fails, and either way reads back consistently.
      if (Db_SetFieldValue(t, f, v.c_str()) == 1) FUZZ_CHECK(FieldValue(t, f) == v);
    }
    const int32_t wasDeleted = Db_IsCurRecDeleted(t);
    if (Db_CurRecDelete(t) == 1) FUZZ_CHECK(Db_IsCurRecDeleted(t) == 1);
    if (Db_CurRecUnDelete(t) == 1) FUZZ_CHECK(Db_IsCurRecDeleted(t) == 0);
    if (wasDeleted) Db_CurRecDelete(t);
  }
  // One more record, every field set to a short text. New records go at the
  // end of the file (over its end-of-file byte), so they read back under
  // their number only when the file holds exactly the records it counts.
  const std::vector<uint8_t> bytes = ReadBytes(path);
  const size_t headerSize = bytes.size() >= 12 ? static_cast<size_t>(bytes[8] | bytes[9] << 8) : 0;
  const size_t recordSize = bytes.size() >= 12 ? static_cast<size_t>(bytes[10] | bytes[11] << 8) : 0;
  const size_t dataEnd = headerSize + static_cast<size_t>(numRecs < 0 ? 0 : numRecs) * recordSize;
  const bool consistent = numRecs >= 0 && (bytes.size() == dataEnd ||
                                           (bytes.size() == dataEnd + 1 && bytes.back() == 0x1a));
  if (Db_AddRecBegin(t) == 1) {
    for (int32_t f = 0; f <= numFields + 1; ++f) (void)Db_RecSetField(t, f, "1");
    const int32_t added = Db_AddRec(t);
    FUZZ_CHECK(added == (numRecs == INT32_MAX ? 0 : 1));  // the count cannot grow past the largest
    FUZZ_CHECK(Db_AddRecEnd(t) == 1);
    FUZZ_CHECK(Db_GetNumRecs(t) == numRecs + added);
    if (added == 1 && consistent) {
      FUZZ_CHECK(Db_GetRec(t, numRecs + 1) == 1);
      for (int32_t f = 1; f <= numFields; ++f) {
        const int32_t type = Db_GetFieldType(t, f);
        if (type == DB_CHARACTER || type == DB_NUMERIC || type == DB_FLOAT) {
          if (Db_GetFieldWidth(t, f) >= 1) FUZZ_CHECK(FieldValue(t, f) == "1");
        } else if (type == DB_LOGICAL && Db_GetFieldWidth(t, f) >= 1) {
          FUZZ_CHECK(FieldValue(t, f) == "T");
        }
      }
    }
  }
  FUZZ_CHECK(Db_Close(t) == 1);
  Db_Destroy(t);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in(data, size);
  const uint8_t flags = in.U8();
  const std::vector<uint8_t> file = in.Bytes(in.Remaining());
  const std::string path = ScratchPath("in.dbf");
  WriteBytes(path, file.data(), file.size());

  const int64_t liveBefore = ovrix::Mem_LiveBlocks();
  if (flags & kReserveHandles) FUZZ_CHECK(Shp_ReserveFileHandles(1) == 1);
  ReadTable(path, size);
  if (flags & kEditCopy) EditCopy(path);
  if (flags & kReserveHandles) FUZZ_CHECK(Shp_FreeFileHandles() >= 1);
  FUZZ_CHECK(Shp_GetNumReservedFileHandles() == 0);
  FUZZ_CHECK(ovrix::Mem_LiveBlocks() == liveBefore);
  return 0;
}
