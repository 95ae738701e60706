// Moving between records, reading and writing field values, deletion flags
// and field descriptions.
//
// Reads use the loaded record when there is one, load the whole current
// record, or fetch only the bytes asked for; writes go straight to the file
// and are flushed at once. A front-to-back scan with Db_SetRecNum reads
// record after record where the stream stands, without positioning it.
#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/byte_order.h"
#include "platform/copy.h"
#include "table/dbtable.h"

namespace ovrix {
namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool HasRecords(const DbTable* t) { return t->numRecs >= 1 && t->recBuffer != nullptr && t->dbStream != nullptr; }

// First byte of field i in the record (the deletion flag is byte 0).
int32_t FieldStart(const DbTable* t, int32_t i) { return t->fieldDefs[i - 1].fieldEnd + 1; }

// The stream is positioned (or left) at the current record's start, or a
// piece of it was read: whole-record reads must reach the file.
bool StreamOwnsRecord(const DbTable* t) {
  return t->tableState == DB_POSITIONED || t->tableState == DB_PARTIAL;
}

// Reads `n` bytes at `offset` of the current record into the front of the
// record buffer; the table then holds a piece of its record.
void ReadPiece(DbTable* t, int32_t at, int32_t n) {
  DbFile_Seek(t, DbFile_RecordOffset(t, t->curRec, at));
  DbFile_Read(t, t->recBuffer, n);
  t->tableState = DB_PARTIAL;
}

// The value inside field bytes b[0, n): from the first byte that is not a
// blank to the last one, both before the first NUL; lo == hi when empty.
// Little-endian hosts look at eight bytes at a time (the first byte is the
// lowest of a loaded word; the last word of the field overlaps the one
// before it, whose bytes are masked off).
void ValueRange(const char* b, int32_t n, int32_t* lo, int32_t* hi) {
  int32_t first = -1, last = -1;
#if defined(__SSE2__)
  if (n >= 16) {  // the same, sixteen bytes at a time, with a bit per byte
    for (int32_t at = 0; at < n; at += 16) {
      const int32_t base = std::min(at, n - 16);
      const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + base));
      const uint32_t fresh = (0xFFFFu << (at - base)) & 0xFFFFu;
      const uint32_t zero = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(w, _mm_setzero_si128()))) & fresh;
      uint32_t solid = ~static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(w, _mm_set1_epi8(' ')))) & fresh;
      if (zero != 0) solid &= (zero & (~zero + 1)) - 1;
      if (solid != 0) {
        if (first < 0) first = base + __builtin_ctz(solid);
        last = base + 31 - __builtin_clz(solid);
      }
      if (zero != 0) break;
    }
    *lo = first < 0 ? 0 : first;
    *hi = last + 1;
    return;
  }
#endif
  if (kLittleHost && n >= 8) {
    constexpr uint64_t kBlanks = 0x2020202020202020ull, kOnes = 0x0101010101010101ull;
    constexpr uint64_t kLows = 0x7f7f7f7f7f7f7f7full, kHighs = 0x8080808080808080ull;
    for (int32_t at = 0; at < n; at += 8) {
      const int32_t base = std::min(at, n - 8);
      uint64_t w;
      std::memcpy(&w, b + base, 8);
      const uint64_t fresh = ~uint64_t{0} << (8 * (at - base));
      // A marked high bit per byte: the lowest zero mark is exact.
      const uint64_t zero = (w - kOnes) & ~w & kHighs & fresh;
      const uint64_t x = w ^ kBlanks;
      uint64_t solid = (((x & kLows) + kLows) | x) & kHighs & fresh;
      if (zero != 0) solid &= (zero & (~zero + 1)) - 1;
      if (solid != 0) {
        if (first < 0) first = base + (__builtin_ctzll(solid) >> 3);
        last = base + ((63 - __builtin_clzll(solid)) >> 3);
      }
      if (zero != 0) break;
    }
  } else {
    for (int32_t i = 0; i < n && b[i] != '\0'; ++i)
      if (b[i] != ' ') {
        if (first < 0) first = i;
        last = i;
      }
  }
  *lo = first < 0 ? 0 : first;
  *hi = last + 1;
}

}  // namespace

int32_t DbTable_GotoRec(DbTable* t, int32_t n) {
  if (!DbTable_ValidRecord(t, n)) return 0;
  DbTable_FinishAppend(t);
  DbFile_SeekRecord(t, n);
  t->tableState = DB_POSITIONED;
  t->curRec = n;
  return 1;
}

int32_t DbTable_SetRecNum(DbTable* t, int32_t n) {
  if (!DbTable_ValidRecord(t, n)) return 0;
  DbTable_FinishAppend(t);
  t->tableState = DB_POSITIONED;
  t->curRec = n;
  return 1;
}

int32_t DbTable_GetRec(DbTable* t, int32_t n) {
  if (!DbTable_ValidRecord(t, n)) return 0;
  if (t->curRec == n && t->tableState == DB_LOADED) return 1;
  DbTable_FinishAppend(t);
  DbFile_SeekRecord(t, n);
  t->curRec = n;
  t->tableState = DB_LOADED;
  DbFile_Read(t, t->recBuffer, t->recordSize);
  return 1;
}

char* DbTable_FieldValue(DbTable* t, int32_t i, int32_t* length, char* out) {
  if (!DbTable_ValidField(t, i) || !HasRecords(t)) return nullptr;
  if (t->tableState == DB_PARTIAL) DbTable_GotoRec(t, t->curRec);
  if (t->tableState == DB_POSITIONED) {
    // The whole record where the stream stands; afterwards the stream
    // stands at the next record.
    DbFile_Read(t, t->recBuffer, t->recordSize);
    t->tableState = DB_LOADED;
  }
  const int32_t first = FieldStart(t, i);
  return DbValue_Trimmed(t, t->recBuffer + first, t->fieldDefs[i].fieldEnd + 1 - first, length, out);
}

char* DbTable_ReadField(DbTable* t, int32_t i, int32_t* length, char* out) {
  if (!DbTable_ValidField(t, i) || !HasRecords(t)) return nullptr;
  const int32_t first = FieldStart(t, i);
  const int32_t width = t->fieldDefs[i].fieldWidth;
  if (StreamOwnsRecord(t)) {
    ReadPiece(t, first, width);
    return DbValue_Trimmed(t, t->recBuffer, width, length, out);
  }
  return DbValue_Trimmed(t, t->recBuffer + first, width, length, out);
}

char* DbTable_ReadRecPart(DbTable* t, int32_t from, int32_t to) {
  // The whole record after the deletion flag is admitted, its last byte too.
  if (!HasRecords(t) || from < 1 || from > t->recordSize - 1 || to <= from || to > t->recordSize) return nullptr;
  if (StreamOwnsRecord(t)) {
    ReadPiece(t, from, to - from);
    return DbValue_Extract(t, 0, to - from);
  }
  return DbValue_Extract(t, from, to);
}

int32_t DbTable_SetFieldValue(DbTable* t, int32_t i, const char* value) {
  if (t->accessMode == DB_READONLY || !DbTable_ValidField(t, i) || !HasRecords(t) || value == nullptr ||
      DbValue_DateTooShort(t, i, value))
    return 0;
  DbTable_FinishAppend(t);
  const int32_t width = t->fieldDefs[i].fieldWidth;
  char area[256] = {};
  DbFile_Seek(t, DbFile_RecordOffset(t, t->curRec, FieldStart(t, i)));
  // A type without a layout (memo) leaves the zeros of the work area, which
  // are written over the field.
  DbValue_Format(t, i, value, area);
  int32_t ok = DbFile_Write(t, area, width);
  if (!DbFile_Flush(t)) ok = 0;
  // The stream stands behind the field: the next whole-record read
  // positions at the current record first.
  t->tableState = DB_PARTIAL;
  return ok;
}

int32_t DbTable_IsCurRecDeleted(DbTable* t) {
  if (!HasRecords(t)) return 0;
  char flag = kDbLive;
  if (t->tableState == DB_LOADED) {
    flag = t->recBuffer[0];
  } else {
    const int64_t pos = DbFile_Tell(t);
    DbFile_SeekRecord(t, t->curRec);
    DbFile_Read(t, &flag, 1);
    DbFile_Seek(t, pos);
  }
  return flag == kDbDeleted ? 1 : 0;
}

int32_t DbTable_SetDeletionFlag(DbTable* t, char flag) {
  if (t->accessMode == DB_READONLY || !HasRecords(t)) return 0;
  const int64_t pos = DbFile_Tell(t);
  DbFile_SeekRecord(t, t->curRec);
  DbFile_Write(t, &flag, 1);
  DbFile_Seek(t, pos);
  DbFile_Flush(t);
  // The loaded copy keeps in step with the file.
  if (t->tableState == DB_LOADED) t->recBuffer[0] = flag;
  return 1;
}

int32_t DbTable_FieldType(const DbTable* t, int32_t i) {
  if (!DbTable_ValidField(t, i)) return 0;
  const char letter = t->fieldDefs[i].fieldType;
  switch (letter) {
    case 'C': return DB_CHARACTER;
    case 'N': return DB_NUMERIC;
    case 'L': return DB_LOGICAL;
    case 'D': return DB_DATE;
    case 'F': return DB_FLOAT;
    case 'M': return DB_MEMO;
    default: return static_cast<signed char>(letter);
  }
}

int32_t DbTable_FieldId(const DbTable* t, char* name) {
  if (t == nullptr || name == nullptr) return 0;
  // The caller's string is upper-cased in place, and only where that changes
  // a character: a name already in upper case may be a string constant.
  for (char* c = name; *c != '\0'; ++c)
    if (const char up = UpperAscii(*c); up != *c) *c = up;
  for (int32_t i = 1; DbTable_ValidField(t, i); ++i)
    if (std::strcmp(t->fieldDefs[i].fieldName, name) == 0) return i;
  return 0;
}

int32_t DbTable_RenameField(DbTable* t, int32_t i, const char* name) {
  if (t->tableState == DB_DEFINING || name == nullptr || !DbTable_ValidField(t, i) ||
      t->accessMode == DB_READONLY)
    return 0;
  char stored[11] = {};
  for (int k = 0; k < 10 && name[k] != '\0'; ++k) stored[k] = UpperAscii(name[k]);
  const int64_t pos = DbFile_Tell(t);
  DbFile_Seek(t, static_cast<int64_t>(kDbDescriptorBytes) * i);
  DbFile_Write(t, stored, 11);
  DbFile_Flush(t);
  std::memcpy(t->fieldDefs[i].fieldName, stored, 11);
  DbFile_Seek(t, pos);
  return 1;
}

// --- values ------------------------------------------------------------------------

bool DbValue_DateTooShort(const DbTable* t, int32_t i, const char* value) {
  return t->fieldDefs[i].fieldType == 'D' && strnlen(value, 8) < 8;
}

int32_t DbValue_Format(const DbTable* t, int32_t i, const char* value, char* area) {
  if (!DbTable_ValidField(t, i)) return 0;
  const DbField& f = t->fieldDefs[i];
  const std::size_t w = f.fieldWidth;
  const std::size_t n = strnlen(value, w);
  switch (f.fieldType) {
    case 'C':  // left-aligned, cut on the right
      CopyBytes(area, value, n);
      FillBytes(area + n, ' ', w - n);
      return 1;
    case 'N':
    case 'F':  // right-aligned; a longer value keeps its first w characters
      FillBytes(area, ' ', w - n);
      CopyBytes(area + (w - n), value, n);
      return 1;
    case 'L': {
      if (w == 0) return 1;
      const char c = UpperAscii(value[0]);
      area[0] = (c == 'T' || c == '1') ? 'T' : (c == 'F' || c == '0') ? 'F' : '?';
      FillBytes(area + 1, ' ', w - 1);
      return 1;
    }
    case 'D': {  // YYYYMMDD as given
      const std::size_t k = strnlen(value, std::min<std::size_t>(8, w));
      CopyBytes(area, value, k);
      FillBytes(area + k, ' ', w - k);
      return 1;
    }
    default:
      return 0;
  }
}

char* DbValue_Extract(DbTable* t, int32_t first, int32_t end) {
  const int32_t n = std::clamp(end - first, 0, kDbValueMax);
  CopyBytes(t->valueBuffer, t->recBuffer + first, static_cast<std::size_t>(n));
  t->valueBuffer[n] = '\0';
  return t->valueBuffer;
}

char* DbValue_Trimmed(DbTable* t, const char* bytes, int32_t n, int32_t* length, char* out) {
  int32_t lo = 0, hi = 0;
  ValueRange(bytes, std::clamp(n, 0, kDbValueMax), &lo, &hi);
  const int32_t len = hi - lo;
  if (length != nullptr) *length = out != nullptr ? std::min(len, kDbOutMax) : len;
  if (len == 0) return nullptr;
  // Both copies come from the record, not one from the other: a copy of
  // bytes just stored would have to wait for the stores.
  CopyBytes(t->valueBuffer, bytes + lo, static_cast<std::size_t>(len));
  t->valueBuffer[len] = '\0';
  if (out != nullptr) {
    CopyBytes(out, bytes + lo, static_cast<std::size_t>(std::min(len, kDbOutMax)));
    out[std::min(len, kDbOutMax)] = '\0';
  }
  return t->valueBuffer;
}

int32_t DbValue_CopyOut(const char* value, char* out) {
  if (value == nullptr) return 0;
  const std::size_t n = strnlen(value, kDbOutMax);
  CopyBytes(out, value, n);
  out[n] = '\0';
  return static_cast<int32_t>(n);
}

}  // namespace ovrix
