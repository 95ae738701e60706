// The dBASE attribute table: the handle behind the opaque DbTable, the .dbf
// format, definition and appending, navigation and field values.
//
// The table works on the file in place. It keeps one file open and one
// record buffer; `tableState` says what the buffer holds. Every change is
// written and flushed at once; appended records are buffered by the file
// layer until Db_AddRecEnd writes them out and only then the record count.
#pragma once

#include <cstdint>

#include "ovrix32.h"
#include "platform/file.h"

// One field as described by its 32-byte descriptor.
struct DbField {
  char fieldName[11];     // up to 10 characters and a NUL
  char fieldType;         // the type letter: 'C', 'N', 'L', 'D', 'F', 'M', ...
  uint8_t fieldWidth;
  uint8_t fieldDecimals;
  uint16_t fieldEnd;      // record offset of the field's last byte (flag = byte 0)
};

// The handle behind the opaque DbTable of the interface.
struct DbTable {
  int16_t accessMode;     // DB_READWRITE, DB_READONLY, or 0 when no file was opened
  int16_t recordSize;     // bytes per record, deletion flag included
  int32_t headerSize;     // offset of the first record
  int32_t numRecs;
  int32_t curRec;         // current record, from 1
  int16_t numFields;
  char* recBuffer;        // recordSize bytes (MEM_HEAP)
  DbField* fieldDefs;     // numFields + 1 entries, entry 0 a sentinel (MEM_HEAP)
  ovrix::platform::File* dbStream;
  uint8_t tableState;     // DB_CLOSED ... DB_APPENDING
  char valueBuffer[257];  // the last value handed out
  char tablePath[258];    // the .dbf path, up to 257 characters
  int64_t appendPos;      // DB_APPENDING: where the next record goes
};

namespace ovrix {

constexpr int kDbPathMax = 257;
constexpr int kDbMaxFields = 256;
constexpr int kDbMaxRecordSize = 32767;
constexpr int kDbHeaderBytes = 32;
constexpr int kDbDescriptorBytes = 32;
constexpr int kDbValueMax = 256;       // valueBuffer holds this many and a NUL
constexpr int kDbOutMax = 255;         // at most this many characters go to an out buffer
constexpr char kDbTerminator = 0x0D;
constexpr char kDbEofMarker = 0x1A;
constexpr char kDbLive = ' ';
constexpr char kDbDeleted = '*';

// --- file access (dbfile.cpp) --------------------------------------------
int32_t DbFile_Seek(DbTable* t, int64_t offset);
// Positions the stream at the end of the file; its length, or -1.
int64_t DbFile_SeekEnd(DbTable* t);
int64_t DbFile_Tell(DbTable* t);
// Reads up to n bytes; bytes the file does not deliver are set to blanks.
// Returns the number of bytes delivered.
int32_t DbFile_Read(DbTable* t, char* buf, int32_t n);
// 1 when all n bytes were written.
int32_t DbFile_Write(DbTable* t, const char* buf, int32_t n);
// Writes out what was written since the last flush; 1 unless that failed
// (or an earlier write had failed).
int32_t DbFile_Flush(DbTable* t);

// --- file format (dbfile.cpp) --------------------------------------------
int32_t DbFile_ReadHeader(DbTable* t);
int32_t DbFile_ReadFieldDef(DbTable* t, int32_t i);
int32_t DbFile_WriteHeader(DbTable* t);
void DbFile_Today(int* day, int* month, int* yearSince1900);
int32_t DbFile_WriteEofMarker(DbTable* t, int64_t offset);
int32_t DbFile_WriteRecordCount(DbTable* t);
// Positions the stream at record n unless it stands there already; 1 when
// it moved the stream.
int32_t DbFile_SeekRecord(DbTable* t, int32_t n);
// Offset of record n's byte `at` (the deletion flag is byte 0).
int64_t DbFile_RecordOffset(const DbTable* t, int32_t n, int32_t at = 0);

// --- handle (dbfile.cpp) --------------------------------------------------
DbTable* DbTable_Create();
void DbTable_Destroy(DbTable* t);
int32_t DbTable_Open(DbTable* t, const char* path);
int32_t DbTable_Close(DbTable* t);
void DbTable_BlankRecord(DbTable* t);
inline bool DbTable_ValidField(const DbTable* t, int32_t i) {
  return t->fieldDefs != nullptr && i >= 1 && i <= t->numFields;
}
inline bool DbTable_ValidRecord(const DbTable* t, int32_t n) {
  return t->dbStream != nullptr && t->recBuffer != nullptr && n >= 1 && n <= t->numRecs;
}
// A path that fits tablePath.
bool DbTable_PathFits(const char* path);

// --- definition and appending (definition.cpp) -----------------------------
int32_t DbTable_NewBeginDef(DbTable* t, const char* path);
int32_t DbTable_NewAddField(DbTable* t, const char* name, int16_t type, int16_t width, int16_t decimals);
int32_t DbTable_NewEndDef(DbTable* t);
int32_t DbTable_AddRecBegin(DbTable* t);
int32_t DbTable_RecSetField(DbTable* t, int32_t i, const char* value);
int32_t DbTable_AddRec(DbTable* t);
int32_t DbTable_AddRecEnd(DbTable* t);
// Leaves a running append phase as Db_AddRecEnd does; nothing otherwise.
inline void DbTable_FinishAppend(DbTable* t) {
  if (t->tableState == DB_APPENDING) DbTable_AddRecEnd(t);
}
int32_t DbTable_CreateShpFAT(const char* baseName, DbTable* t);

// --- navigation and values (navigation.cpp) ---------------------------------
int32_t DbTable_GotoRec(DbTable* t, int32_t n);
int32_t DbTable_SetRecNum(DbTable* t, int32_t n);
int32_t DbTable_GetRec(DbTable* t, int32_t n);
// The trimmed value of field i of the current record inside valueBuffer, or
// null when refused or blank. Its length goes to *length and, with `out`, at
// most kDbOutMax characters and a NUL to out (then *length counts those).
char* DbTable_FieldValue(DbTable* t, int32_t i, int32_t* length = nullptr, char* out = nullptr);
char* DbTable_ReadField(DbTable* t, int32_t i, int32_t* length = nullptr, char* out = nullptr);
// The raw bytes from..to-1 of the current record inside valueBuffer, or null
// for a refused range.
char* DbTable_ReadRecPart(DbTable* t, int32_t from, int32_t to);
int32_t DbTable_SetFieldValue(DbTable* t, int32_t i, const char* value);
int32_t DbTable_IsCurRecDeleted(DbTable* t);
int32_t DbTable_SetDeletionFlag(DbTable* t, char flag);
int32_t DbTable_FieldType(const DbTable* t, int32_t i);
int32_t DbTable_FieldId(const DbTable* t, char* name);
int32_t DbTable_RenameField(DbTable* t, int32_t i, const char* name);

// --- values (navigation.cpp) ------------------------------------------------
// Lays `value` out in field i's width into `area`; 0 for a type that has no
// layout (nothing is written then).
int32_t DbValue_Format(const DbTable* t, int32_t i, const char* value, char* area);
// A date field given fewer than its 8 characters.
bool DbValue_DateTooShort(const DbTable* t, int32_t i, const char* value);
char* DbValue_Extract(DbTable* t, int32_t first, int32_t end);
// The first n (at most kDbValueMax) of `bytes`, cut at a NUL and trimmed of
// blanks on both sides, into valueBuffer (and out, as DbTable_FieldValue
// says); null when nothing is left.
char* DbValue_Trimmed(DbTable* t, const char* bytes, int32_t n, int32_t* length, char* out = nullptr);
// Copies at most kDbOutMax characters of `value` and a NUL to `out`; returns
// the number of characters. A null value leaves out untouched and gives 0.
int32_t DbValue_CopyOut(const char* value, char* out);

}  // namespace ovrix
