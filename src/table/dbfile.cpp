// The .dbf file: file access, header and descriptors, and the handle's
// create, open, close and destroy.
#include <cstring>

#include "platform/byte_order.h"
#include "platform/copy.h"
#include "platform/handle_reserve.h"
#include "platform/mem.h"
#include "platform/platform.h"
#include "table/dbtable.h"

namespace ovrix {
namespace {

// Bytes 8..11 of the header hold the header size and the record size, two
// little-endian 16-bit values; they are moved as one little-endian 32-bit
// word so that the byte order stays in one place.
int32_t PackSizes(int32_t headerSize, int32_t recordSize) {
  uint32_t word = (static_cast<uint32_t>(headerSize) & 0xFFFFu) | (static_cast<uint32_t>(recordSize) & 0xFFFFu) << 16;
  int32_t v = static_cast<int32_t>(word);
  Io_FromLE32(&v, 1);
  return v;
}

void UnpackSizes(int32_t fileWord, uint32_t* headerSize, uint32_t* recordSize) {
  Io_FromLE32(&fileWord, 1);
  const uint32_t word = static_cast<uint32_t>(fileWord);
  *headerSize = word & 0xFFFFu;
  *recordSize = word >> 16;
}

// Releases what a table owns without touching tablePath.
void ReleaseAll(DbTable* t) {
  if (t->dbStream != nullptr) {
    HandleReserve_CloseFile(t->dbStream);
    t->dbStream = nullptr;
  }
  if (t->recBuffer != nullptr) Mem_Free(t->recBuffer, MEM_HEAP);
  if (t->fieldDefs != nullptr) Mem_Free(t->fieldDefs, MEM_HEAP);
  t->recBuffer = nullptr;
  t->fieldDefs = nullptr;
  t->accessMode = 0;
  t->recordSize = 0;
  t->headerSize = 0;
  t->numFields = 0;
  t->numRecs = 0;
  t->curRec = 0;
  t->tableState = DB_CLOSED;
  t->appendPos = 0;
}

// Opens `path` into the closed table `t`: the stream, the header, the
// buffers and the descriptors. On failure everything is released again.
int32_t Load(DbTable* t, const char* path) {
  t->dbStream = HandleReserve_OpenFile(path, platform::kFileUpdate);
  t->accessMode = DB_READWRITE;
  // A file that may not be written is opened read only; any other failure
  // (no memory, no such file) refuses the open.
  if (t->dbStream == nullptr && platform::LastErrorDeniesWriting()) {
    t->dbStream = HandleReserve_OpenFile(path, platform::kFileRead);
    t->accessMode = DB_READONLY;
  }
  if (t->dbStream == nullptr) {
    t->accessMode = 0;
    return 0;
  }
  std::strcpy(t->tablePath, path);
  bool ok = DbFile_ReadHeader(t) != 0;
  if (ok) {
    t->recBuffer = static_cast<char*>(Mem_Alloc(t->recordSize, MEM_HEAP));
    t->fieldDefs = static_cast<DbField*>(
        Mem_Alloc(static_cast<int32_t>((t->numFields + 1) * sizeof(DbField)), MEM_HEAP));
    ok = t->recBuffer != nullptr && t->fieldDefs != nullptr;
  }
  // The descriptors follow the header directly.
  for (int32_t i = 1; ok && i <= t->numFields; ++i) ok = DbFile_ReadFieldDef(t, i) != 0;
  // Every field must lie inside the record.
  if (ok && t->fieldDefs[t->numFields].fieldEnd + 1 > t->recordSize) ok = false;
  if (ok) ok = DbFile_Seek(t, t->headerSize) != 0;
  if (!ok) {
    ReleaseAll(t);
    return 0;
  }
  t->tableState = DB_POSITIONED;
  return 1;
}

}  // namespace

// --- file access ---------------------------------------------------------------

int32_t DbFile_Seek(DbTable* t, int64_t offset) { return platform::File_Seek(t->dbStream, offset) ? 1 : 0; }

int64_t DbFile_SeekEnd(DbTable* t) {
  const int64_t size = platform::File_Size(t->dbStream);
  return size >= 0 && platform::File_Seek(t->dbStream, size) ? size : -1;
}

int64_t DbFile_Tell(DbTable* t) { return platform::File_Tell(t->dbStream); }

int32_t DbFile_Read(DbTable* t, char* buf, int32_t n) {
  if (n <= 0) return 0;
  // Whole records are copied by the C library's copy, whose wide stores let
  // the field scans that follow load from them without waiting.
  if (const char* from = platform::File_ReadInPlace(t->dbStream, static_cast<std::size_t>(n))) {
    CopyBytesLarge(buf, from, static_cast<std::size_t>(n));
    return n;
  }
  const auto got = static_cast<int32_t>(platform::File_ReadSlow(t->dbStream, buf, static_cast<std::size_t>(n)));
  // A record or field past the end of the file reads as blanks, never as
  // what the buffer held before.
  if (got < n) std::memset(buf + got, ' ', static_cast<std::size_t>(n - got));
  return got;
}

int32_t DbFile_Write(DbTable* t, const char* buf, int32_t n) {
  if (n <= 0) return 0;
  return platform::File_Write(t->dbStream, buf, static_cast<std::size_t>(n)) ? 1 : 0;
}

int32_t DbFile_Flush(DbTable* t) { return platform::File_Flush(t->dbStream) ? 1 : 0; }

// --- file format ---------------------------------------------------------------

int32_t DbFile_ReadHeader(DbTable* t) {
  char h[kDbHeaderBytes];
  if (DbFile_Read(t, h, kDbHeaderBytes) != kDbHeaderBytes) return 0;
  const int version = static_cast<unsigned char>(h[0]) & 7;
  if (version != 3 && version != 4) return 0;
  int32_t count;
  int32_t sizes;
  std::memcpy(&count, h + 4, 4);
  std::memcpy(&sizes, h + 8, 4);
  Io_FromLE32(&count, 1);
  uint32_t headerSize;
  uint32_t recordSize;
  UnpackSizes(sizes, &headerSize, &recordSize);
  // The field count comes from the header size in signed 16-bit arithmetic;
  // sizes below 33 or above 32800 leave no room for a count of fields.
  const auto numFields = static_cast<int16_t>(static_cast<int16_t>(headerSize - 33) / 32);
  if (headerSize < 33 || numFields < 0) return 0;
  if (recordSize > static_cast<uint32_t>(kDbMaxRecordSize) || recordSize < 1) return 0;
  t->recordSize = static_cast<int16_t>(recordSize);
  t->numRecs = count;
  t->curRec = 1;
  t->headerSize = static_cast<int32_t>(headerSize);
  t->numFields = numFields;
  return 1;
}

int32_t DbFile_ReadFieldDef(DbTable* t, int32_t i) {
  char d[kDbDescriptorBytes];
  if (DbFile_Read(t, d, kDbDescriptorBytes) != kDbDescriptorBytes) return 0;
  DbField& f = t->fieldDefs[i];
  const std::size_t nameLen = strnlen(d, 10);
  std::memcpy(f.fieldName, d, nameLen);
  f.fieldName[nameLen] = '\0';
  f.fieldType = d[11];
  f.fieldWidth = static_cast<uint8_t>(d[16]);
  f.fieldDecimals = static_cast<uint8_t>(d[17]);
  const int32_t end = t->fieldDefs[i - 1].fieldEnd + f.fieldWidth;
  // Fields that run past the largest record are refused here, before the
  // 16-bit end offset could wrap.
  if (end > kDbMaxRecordSize) return 0;
  f.fieldEnd = static_cast<uint16_t>(end);
  return 1;
}

void DbFile_Today(int* day, int* month, int* yearSince1900) { platform::LocalDate(day, month, yearSince1900); }

int32_t DbFile_WriteHeader(DbTable* t) {
  int day;
  int month;
  int year;
  DbFile_Today(&day, &month, &year);
  char h[kDbHeaderBytes] = {};
  h[0] = 0x03;
  h[1] = static_cast<char>(static_cast<uint8_t>(year));
  h[2] = static_cast<char>(month);
  h[3] = static_cast<char>(day);
  // The record count (bytes 4..7) is 0 until Db_AddRecEnd writes it.
  const int32_t sizes = PackSizes(32 * t->numFields + 33, t->recordSize);
  std::memcpy(h + 8, &sizes, 4);
  return DbFile_Seek(t, 0) && DbFile_Write(t, h, kDbHeaderBytes) && DbFile_Flush(t) ? 1 : 0;
}

int32_t DbFile_WriteEofMarker(DbTable* t, int64_t offset) {
  const char eof = kDbEofMarker;
  const int32_t ok = DbFile_Seek(t, offset) && DbFile_Write(t, &eof, 1);
  DbFile_Flush(t);
  return ok;
}

int32_t DbFile_WriteRecordCount(DbTable* t) {
  int32_t count = t->numRecs;
  Io_FromLE32(&count, 1);
  const int32_t ok = DbFile_Seek(t, 4) && DbFile_Write(t, reinterpret_cast<const char*>(&count), 4);
  DbFile_Flush(t);
  return ok;
}

int64_t DbFile_RecordOffset(const DbTable* t, int32_t n, int32_t at) {
  return (static_cast<int64_t>(n) - 1) * t->recordSize + t->headerSize + at;
}

int32_t DbFile_SeekRecord(DbTable* t, int32_t n) {
  const int64_t offset = DbFile_RecordOffset(t, n);
  if (DbFile_Tell(t) == offset) return 0;
  DbFile_Seek(t, offset);
  return 1;
}

// --- handle ----------------------------------------------------------------------

DbTable* DbTable_Create() { return static_cast<DbTable*>(Mem_Alloc(sizeof(DbTable), MEM_HEAP)); }

void DbTable_Destroy(DbTable* t) {
  if (t == nullptr) return;
  DbTable_Close(t);
  Mem_Free(t, MEM_HEAP);
}

bool DbTable_PathFits(const char* path) { return path != nullptr && strnlen(path, kDbPathMax + 1) <= kDbPathMax; }

int32_t DbTable_Open(DbTable* t, const char* path) {
  if (t == nullptr || t->tableState == DB_DEFINING || !DbTable_PathFits(path)) return 0;
  // The new file is opened and checked beside the old one, so that a file
  // that cannot be opened or is refused leaves the handle as it was; only
  // then is a table that is open closed.
  // Bytes still buffered for the old file reach it first, in case it is the
  // same file.
  if (t->dbStream != nullptr) DbFile_Flush(t);
  DbTable fresh{};
  if (!Load(&fresh, path)) return 0;
  DbTable_Close(t);
  *t = fresh;
  return 1;
}

int32_t DbTable_Close(DbTable* t) {
  if (t == nullptr) return 0;
  ReleaseAll(t);
  return 1;
}

void DbTable_BlankRecord(DbTable* t) {
  if (t->recBuffer != nullptr) FillBytes(t->recBuffer, ' ', static_cast<std::size_t>(t->recordSize));
}

}  // namespace ovrix
