// Fuzz target: a .dbf table that the library did not write; byte 0 holds flags (bit 0: handles in
// reserve), the rest is the file. Each call that reads a field must agree with the others.
#include "fuzz_util.h"

void ReadRecord(DbTable* t, int32_t nf, int32_t len) {
  char a[300], b[300], raw[300], name[64];
  for (int32_t f = -1, at = 1; f <= nf + 1; at += Db_GetFieldWidth(t, f++)) {
    memset(a, 0x55, 300), memset(b, 0x55, 300), memset(name, 0x55, 64);
    const int32_t n = Db_GetFieldValue(t, f, a), w = Db_GetFieldWidth(t, f), ok = f >= 1 && f <= nf;
    const int32_t k = ok ? Db_ReadRecPart(t, at, at + w, raw) : 0, nl = Db_GetFieldName(t, f, name);
    int32_t plen = -1; const char* p = Db_GetFieldValuePtr(t, f, &plen);
    CHECK(plen == n && !n == !p && (!p || !memcmp(p, a, n)) && !Db_GetFieldValuePtr(t, f, 0) == !p);
    CHECK(n <= w && w <= 255 && Db_ReadField(t, f, b) == n && !memcmp(a, b, n));
    CHECK((n ? strlen(a) == size_t(n) && a[0] != ' ' : a[0] == 0x55));
    CHECK(ok ? strlen(name) == size_t(nl) && nl <= 10 : nl == 0 && !Db_GetFieldType(t, f) && !w);
    std::string s(raw, size_t(k));  // the field's bytes (cut at a NUL) trim to its value
    s.erase(0, s.find_first_not_of(' ')), s.erase(s.find_last_not_of(' ') + 1);
    CHECK((k == 0 || s == std::string(a, size_t(n))) && uint32_t(Db_IsCurRecDeleted(t)) <= 1);
  }
  for (const int64_t i : {-1, 0, 1, 5, len, INT32_MAX - 1})  // bytes i..j-1, none outside
    for (const int64_t j : {1, 2, len + 1, len + 2, 400, INT32_MAX})
      CHECK(uint32_t(Db_ReadRecPart(t, i, j, b)) <= (i > 0 && j > i && j <= len + 1) * (j - i));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteFile(Scratch("in.dbf"), Buf(data + (size > 0), data + size));
  return Guarded(size > 0 && data[0] & 1, 1, [&] {
    DbTable* t = Db_Create();
    const int32_t ok = Db_Open(t, Scratch("in.dbf").c_str()), nf = Db_GetNumFields(t);
    const int32_t recs = Db_GetNumRecs(t), len = Db_GetRecLen(t);
    CHECK(ok ? nf <= 1024 && uint32_t(len) < 32767 && !Db_GetFieldId(t, nullptr) : !nf && !recs);
    int32_t (*const go[])(DbTable*, int32_t) = {Db_GetRec, Db_SetRecNum, Db_GotoRec};
    for (int32_t r = 0; ok && r <= std::min(recs, 64); ++r)  // 0: as opened
      CHECK(!r || (go[r % 3](t, r) == 1 && Db_GetCurRecNum(t) == r)), ReadRecord(t, nf, len);
    for (int32_t r : {0, -1, INT32_MIN, INT32_MAX, recs + (recs < INT32_MAX)})
      for (auto g : go) CHECK((r >= 1 && r <= recs) || !g(t, r));
    CHECK(Db_Close(t) == 1), Db_Destroy(t);
  });
}
