// Defining a new table field by field, and the append phase that adds
// records to an open table.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/copy.h"
#include "platform/handle_reserve.h"
#include "table/dbtable.h"

namespace ovrix {
namespace {

struct FieldKind {
  int16_t code;
  char letter;
  int16_t minWidth;
  int16_t maxWidth;  // a fixed width has minWidth == maxWidth
  bool decimals;
};

constexpr FieldKind kDefinable[] = {
    {DB_CHARACTER, 'C', 1, 254, false}, {DB_NUMERIC, 'N', 1, 20, true}, {DB_LOGICAL, 'L', 1, 1, false},
    {DB_DATE, 'D', 8, 8, false},        {DB_FLOAT, 'F', 1, 20, true},
};

const FieldKind* DefinableKind(int16_t code) {
  for (const FieldKind& k : kDefinable)
    if (k.code == code) return &k;
  return nullptr;
}

}  // namespace

int32_t DbTable_NewBeginDef(DbTable* t, const char* path) {
  if (t == nullptr || !DbTable_PathFits(path)) return 0;
  // A table that is open is closed first, but only once the new file
  // exists, so a path that cannot be created leaves the handle as it was.
  if (t->dbStream != nullptr) DbFile_Flush(t);
  platform::File* stream = HandleReserve_OpenFile(path, platform::kFileCreate);
  if (stream == nullptr) return 0;
  DbTable_Close(t);
  t->dbStream = stream;
  DbFile_WriteHeader(t);
  t->recordSize = 0;
  t->curRec = 0;
  t->numFields = 0;
  t->numRecs = 0;
  t->tableState = DB_DEFINING;
  std::strcpy(t->tablePath, path);
  return 1;
}

int32_t DbTable_NewAddField(DbTable* t, const char* name, int16_t type, int16_t width, int16_t decimals) {
  if (t->numRecs != 0 || t->tableState != DB_DEFINING || t->numFields >= kDbMaxFields || name == nullptr)
    return 0;
  const FieldKind* kind = DefinableKind(type);
  if (kind == nullptr) return 0;
  const int32_t w = std::clamp<int32_t>(width, kind->minWidth, kind->maxWidth);
  int32_t d = 0;
  if (kind->decimals) {
    d = static_cast<uint8_t>(decimals);
    if (d + 2 >= w) d = std::max(w - 2, 0);
  }
  // The record, with its deletion flag, must stay within 32767 bytes.
  if (t->recordSize + w + 1 > kDbMaxRecordSize) return 0;

  char desc[kDbDescriptorBytes] = {};
  std::memcpy(desc, name, strnlen(name, 9));
  desc[11] = kind->letter;
  desc[16] = static_cast<char>(w);
  desc[17] = static_cast<char>(d);
  DbFile_SeekEnd(t);
  DbFile_Write(t, desc, kDbDescriptorBytes);
  DbFile_Flush(t);
  t->numFields = static_cast<int16_t>(t->numFields + 1);
  t->recordSize = static_cast<int16_t>(t->recordSize + w);
  return 1;
}

int32_t DbTable_NewEndDef(DbTable* t) {
  if (t->tableState != DB_DEFINING) return 0;
  t->recordSize = static_cast<int16_t>(t->recordSize + 1);  // the deletion flag
  // The terminator goes behind the last descriptor, and only then the header
  // that counts the descriptors: a file whose last bytes could not be
  // written keeps the header of an empty definition, which no table opens.
  // When the file's end cannot be found or a write fails, the definition
  // fails and the table is left closed.
  const int64_t end = DbFile_SeekEnd(t);
  const char terminator = kDbTerminator;
  const bool finished = end >= 0 && DbFile_Write(t, &terminator, 1) && DbFile_WriteEofMarker(t, end + 1) &&
                        DbFile_WriteHeader(t);
  // Reopen the finished file as an ordinary table: its fields are read back
  // from the descriptors just written.
  char path[kDbPathMax + 1];
  std::strcpy(path, t->tablePath);
  DbTable_Close(t);
  if (!finished || !DbTable_Open(t, path)) return 0;
  DbTable_BlankRecord(t);
  return 1;
}

int32_t DbTable_AddRecBegin(DbTable* t) {
  const uint8_t s = t->tableState;
  if ((s != DB_LOADED && s != DB_POSITIONED && s != DB_PARTIAL) || t->accessMode == DB_READONLY) return 0;
  // New records go over the end-of-file byte when the file ends in one, and
  // behind the last byte otherwise; never in front of the first record. A
  // file that ends exactly with its last counted record has no end-of-file
  // byte, whatever that record's last byte holds.
  const int64_t end = DbFile_SeekEnd(t);
  if (end < 0) return 0;
  int64_t pos = end;
  const int64_t dataEnd = int64_t{t->headerSize} + int64_t{t->numRecs} * t->recordSize;
  if (end > t->headerSize && end != dataEnd) {
    char last = 0;
    if (DbFile_Seek(t, end - 1) && DbFile_Read(t, &last, 1) == 1 && last == kDbEofMarker) pos = end - 1;
  }
  pos = std::max<int64_t>(pos, t->headerSize);
  if (!DbFile_Seek(t, pos)) return 0;
  t->appendPos = pos;
  t->tableState = DB_APPENDING;
  DbTable_BlankRecord(t);
  DbFile_Flush(t);
  return 1;
}

int32_t DbTable_RecSetField(DbTable* t, int32_t i, const char* value) {
  if (t->tableState != DB_APPENDING || !DbTable_ValidField(t, i) || value == nullptr ||
      DbValue_DateTooShort(t, i, value))
    return 0;
  // During appending the buffer holds the record without its deletion flag.
  // A type without a layout (memo) is refused; Format then writes nothing.
  return DbValue_Format(t, i, value, t->recBuffer + t->fieldDefs[i - 1].fieldEnd);
}

int32_t DbTable_AddRec(DbTable* t) {
  // A header may already claim the largest count; no record can follow it.
  if (t->tableState != DB_APPENDING || t->numRecs == INT32_MAX) return 0;
  // Records stay in the stream's buffer; Db_AddRecEnd flushes them together
  // with the new record count.
  // The deletion flag and the record in one transfer, into the file's
  // window when it has room.
  const auto bytes = static_cast<std::size_t>(t->recordSize);
  if (char* at = platform::File_WriteInPlace(t->dbStream, bytes)) {
    at[0] = kDbLive;
    CopyBytes(at + 1, t->recBuffer, bytes - 1);
  } else {
    const char live = kDbLive;
    DbFile_Write(t, &live, 1);
    DbFile_Write(t, t->recBuffer, t->recordSize - 1);
  }
  t->numRecs += 1;
  t->appendPos += t->recordSize;
  DbTable_BlankRecord(t);
  return 1;
}

int32_t DbTable_AddRecEnd(DbTable* t) {
  if (t->tableState != DB_APPENDING) return 0;
  DbFile_WriteRecordCount(t);
  DbFile_WriteEofMarker(t, t->appendPos);
  DbFile_Flush(t);
  // The stream stands behind the end-of-file byte: the next whole-record
  // read must position at the current record first.
  t->tableState = DB_PARTIAL;
  return 1;
}

int32_t DbTable_CreateShpFAT(const char* baseName, DbTable* t) {
  constexpr std::size_t kMaxBase = 249;
  if (t == nullptr || baseName == nullptr) return 0;
  const std::size_t len = strnlen(baseName, kMaxBase + 1);
  if (len == 0 || len > kMaxBase) return 0;
  char path[kMaxBase + 5];
  std::memcpy(path, baseName, len);
  std::memcpy(path + len, ".dbf", 5);
  if (!DbTable_NewBeginDef(t, path)) return 0;
  DbTable_NewAddField(t, "id", DB_NUMERIC, 8, 0);
  DbTable_NewEndDef(t);
  return 1;
}

}  // namespace ovrix
