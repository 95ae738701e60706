// The .dbf attribute table as a host sees it: file images, limits, refusals, malformed files, and
// a seeded random run checked against a model of the rows. Allocation failures: faults_test.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <numeric>
#include <random>

#include "ovrix32.h"
#include "test_util.h"

namespace ovrix::test {
namespace {

struct F { const char* name; char type; int width, dec = 0; };

// A .dbf as any writer lays it out: header, descriptors, 0x0D, records and an end-of-file byte.
Buf Dbf(const std::vector<F>& fs, const std::string& recs = "", bool eof = true) {
  uint32_t rs = 1, hs = uint32_t(32 * fs.size() + 33);
  Buf b(hs, 0);
  for (size_t i = 0, at = 32; i < fs.size(); rs += uint32_t(fs[i++].width), at += 32) {
    std::memcpy(&b[at], fs[i].name, strnlen(fs[i].name, 11)), b[at + 11] = uint8_t(fs[i].type);
    b[at + 16] = uint8_t(fs[i].width), b[at + 17] = uint8_t(fs[i].dec);
  }
  b[0] = 3, b[hs - 1] = 0x0D, PutLE32(b, 8, int32_t(hs | rs << 16));
  PutLE32(b, 4, int32_t(recs.size() / rs)), b.insert(b.end(), recs.begin(), recs.end());
  return b.resize(b.size() + eof, 0x1A), b;
}

// Results of calls, summed or as text, in the order written (a braced list runs left to right).
int32_t Sum(std::initializer_list<int32_t> v) { return std::reduce(v.begin(), v.end()); }
struct V : std::string {
  V(const char* s) : std::string(s) {}
  V(std::string s) : std::string(std::move(s)) {}
  template <class N> requires std::is_arithmetic_v<N> V(N v) : std::string(std::to_string(v)) {}
};
std::string Cat(std::initializer_list<V> v) {
  auto join = [](std::string s, const V& x) { return s.append("|").append(x); };
  return std::accumulate(v.begin() + 1, v.end(), std::string(*v.begin()), join);
}

class Table : public TempDirTest {
 protected:
  ~Table() override { Db_Destroy(t); }
  std::string Put(const std::string& n, const Buf& b) { return WriteFile(Path(n), b), Path(n); }
  std::string Long(size_t n, char c) { return std::string(n - dir_.size() - 1, c); }  // as Path
  template <class Fn> static std::string Out(Fn f) {  // what f(out) hands out; "-": 0, untouched
    std::string o(300, '#');
    const int32_t n = f(o.data()), len = int32_t(strlen(o.c_str()));
    return n ? (n == len ? o.substr(0, len) : "bad length") : o[0] == '#' ? "-" : o.substr(0, len);
  }
  auto Read(int32_t i) { return Out([&](char* o) { return Db_ReadField(t, i, o); }); }
  auto Name(int32_t i) { return Out([&](char* o) { return Db_GetFieldName(t, i, o); }); }
  auto Part(int a, int z) { return Out([&](char* o) { return Db_ReadRecPart(t, a, z, o); }); }
  std::string Get(int32_t i) {  // GetFieldValue, checked against GetFieldValuePtr
    int32_t len = -1;
    const char* p = Db_GetFieldValuePtr(t, i, &len);
    const std::string q = p ? p : "-", s = Out([&](char* o) { return Db_GetFieldValue(t, i, o); });
    return Cat({len, q.substr(0, 255)}) == Cat({p ? int(q.size()) : 0, s}) ? s : "bad ptr";
  }
  DbTable* t = Db_Create();
};

TEST_F(Table, DefinitionsWriteExactImages) {
  struct Row { const char* name; char type; int width, dec, w, d; } rows[] = {  // d: decimals
      {"Name", 'C', 10, 0, 10, 0}, {"", 'C', 0, 3, 1, 0}, {"ABCDEFGHIJKL", 'C', 300, 0, 254, 0},
      {"area", 'N', 8, 2, 8, 2}, {"n", 'N', 25, 0, 20, 0}, {"n", 'N', -3, 0, 1, 0},
      {"n", 'N', 10, 9, 10, 8}, {"n", 'N', 2, 1, 2, 0}, {"n", 'N', 6, 256 + 2, 6, 2},
      {"OK", 'L', 7, 3, 1, 0}, {"SINCE", 'D', 3, 2, 8, 0}, {"f", 'F', 16, 4, 16, 4},
      {"f", 'F', 10, -1, 10, 8}, {"lo16", 'C', 0x10007, 0, 7, 0}};  // widths: the low 16 bits
  const std::string p = Path(Long(257, 'p')), three = Put("t.dbf", Dbf({{"A", 'C', 1}}, " x"));
  const std::time_t now = std::time(nullptr);
  const std::tm d = *std::localtime(&now);  // the headers the library writes carry the date
  const Buf ymd = {uint8_t(d.tm_year), uint8_t(d.tm_mon + 1), uint8_t(d.tm_mday)};
  auto dated = [&](Buf b) { return std::copy(ymd.begin(), ymd.end(), b.begin() + 1), b; };
  EXPECT_EQ(Cat({Db_NewBeginDef(t, p.c_str()), ReadFile(p).size()}), "1|32");  // the header at once
  std::vector<F> want;
  for (const Row& r : rows) {
    const int32_t code = DB_CHARACTER + int32_t(strchr("CNLDF", r.type) - "CNLDF");
    ASSERT_EQ(Db_NewAddField(t, r.name, code, r.width, r.dec), 1) << r.name;
    want.push_back({r.name, r.type, r.w, r.d});
  }
  want[2].name = "ABCDEFGHI";
  EXPECT_EQ(Sum({Db_NewAddField(t, "X", DB_CHARACTER - 1, 4, 0), Db_NewAddField(t, "X", DB_MEMO, 4,
                 0), Db_NewAddField(t, nullptr, DB_CHARACTER, 4, 0), Db_Open(t, three.c_str()),
                 Db_AddRecBegin(t), Db_AddRecEnd(t), Db_RenameField(t, 1, "X")}), 0);
  EXPECT_EQ(Cat({Db_GetNumFields(t), Db_GetCurRecNum(t), Name(1), Read(1), Db_NewEndDef(t),
                 Db_NewEndDef(t), Db_NewAddField(t, "X", DB_CHARACTER, 4, 0), Db_GetRecLen(t),
                 Name(3), Db_GetNumRecs(t)}), "14|0|-|-|1|0|0|354|ABCDEFGHI|0");
  EXPECT_EQ(ReadFile(p), dated(Dbf(want)));
  for (int n = 256, w = 3; w < 255; n = 129, w += 251) {  // 256 fields; records of 32767 bytes
    ASSERT_EQ(Db_NewBeginDef(t, p.c_str()), 1);
    for (int i = 1; i <= n; ++i) ASSERT_EQ(Db_NewAddField(t, "F", DB_NUMERIC - (w > 3), w, 0), 1);
    const std::string v(size_t(w), '7');
    EXPECT_EQ(Cat({Db_NewAddField(t, "X", DB_CHARACTER, 1, 0), Db_NewEndDef(t), Db_AddRecBegin(t),
                   Db_RecSetField(t, n, v.c_str()), Db_AddRec(t), Db_AddRecEnd(t), Db_GetRec(t, 1),
                   Get(n), Part(n * w - 1, n * w + 1), Part(n * w, n * w + 2), FileSize(p)}),
              Cat({0, 1, 1, 1, 1, 1, 1, v, "77", "-", 32 * n + n * w + 35}));
  }
  // A shape file's table: a numeric "id", open for appending; base names of 249 characters at most.
  auto fat = [&](const std::string& s) { return Shp_CreateShpFAT(Path(s).c_str(), t); };
  EXPECT_EQ(Sum({Shp_CreateShpFAT("", t), Shp_CreateShpFAT(nullptr, t), Shp_CreateShpFAT("x", 0),
                 fat("-/x"), fat(Long(250, 'b')), fat(Long(249, 'b')), fat("s"), Db_AddRecBegin(t),
                 Db_RecSetField(t, 1, "17"), Db_AddRec(t), Db_AddRecEnd(t)}), 6);
  EXPECT_EQ(ReadFile(Path("s.dbf")), dated(Dbf({{"id", 'N', 8}}, "       17")));
}

TEST_F(Table, RefusedFilesAndCalls) {  // leave a closed handle closed, an open table open
  const Buf good = Dbf({{"NAME", 'C', 8}, {"POP", 'N', 6}}, " Lisbon     550");  // no stream kept
  const char *kShort = "file-too-short", *kVer = "dbf-version", *kHs = "dbf-header-size",
             *kRs = "dbf-record-size";  // what `ovrix check` finds ("": nothing)
  struct Case { size_t at; Buf put; long size; int32_t opens; const char* code; } cases[] = {
      {0, {}, 0, 0, kShort}, {0, {}, 20, 0, kShort},  // empty, cut in the header,
      {0, {}, 80, 0, "dbf-header-cut"}, {0, {0x30}, -1, 0, kVer},  // in a descriptor; version
      {0, {0xF5}, -1, 0, kVer}, {0, {0x8B}, -1, 1, ""}, {0, {0x04}, -1, 1, ""},
      {8, {32, 0}, -1, 0, kHs}, {8, {33, 0}, -1, 1, kHs},  // no fields, record size 0, 1;
      {8, {33, 0, 0, 0}, -1, 0, kHs}, {8, {33, 0, 1, 0}, -1, 1, kHs},
      {8, {0x20, 0x80}, -1, 0, kHs},  // 1023 fields, not there
      {8, {0x20, 0x80, 0xFF, 0x7F}, 70000, 1, kHs}, {8, {0x21, 0x80, 0xFF, 0x7F}, 70000, 0, kHs},
      {10, {14, 0}, -1, 0, kRs}, {10, {0xFF, 0x7F}, -1, 1, kRs}, {10, {0, 0x80}, -1, 0, kRs},
      {10, {0xFF, 0x7F}, -2, 0, kRs}};  // 300 fields of 255 bytes: past 65535 in all
  const std::string ok = Put("ok.dbf", good), p = Path("bad.dbf");
  ASSERT_EQ(Shp_ReserveFileHandles(2), 2);
  for (const Case& c : cases) {
    Buf b = c.size == -2 ? Dbf(std::vector<F>(300, {"W", 'C', 255})) : good;
    b.resize(c.size < 0 ? b.size() : size_t(c.size));
    std::copy(c.put.begin(), c.put.end(), b.begin() + long(c.at)), WriteFile(p, b);
    EXPECT_EQ(Cat({Db_Open(t, p.c_str()), Shp_GetNumReservedFileHandles(),
                   c.opens ? 0 : Sum({Db_GetNumFields(t), Db_GetNumRecs(t), Db_GotoRec(t, 1)}),
                   Db_Open(t, ok.c_str()), Db_Open(t, p.c_str()), c.opens ? "" : Get(1),
                   Shp_GetNumReservedFileHandles(), Db_Close(t)}),
              Cat({c.opens, 2 - c.opens, "0", 1, c.opens, c.opens ? "" : "Lisbon", 1, 1})) << c.at;
#ifdef OVRIX_TOOL
    const auto [status, out] = Ovrix("check --json --quiet " + p);
    EXPECT_TRUE(status == (*c.code ? 1 + (c.code == kShort) : 0) && out.find(c.code) != out.npos)
        << out;
#endif
  }
#ifdef OVRIX_TOOL  // damage that the library reads past, found by `ovrix check`
  const std::pair<size_t, std::pair<uint8_t, const char*>> kFound[] = {
      {97, {'X', "dbf-deletion-flag"}}, {112, {'Z', "dbf-eof-byte"}}, {113, {0, "dbf-trailing-bytes"}},
      {32, {' ', "dbf-field-name"}}, {43, {'Q', "dbf-field-type"}}, {48, {0, "dbf-field-width"}},
      {96, {' ', "dbf-terminator"}}, {4, {2, "dbf-records-cut"}}};
  for (const auto& [at, put] : kFound) {
    Buf b = good;
    b.resize(std::max(b.size(), at + 1)), b[at] = put.first, WriteFile(p, b);
    const auto [status, out] = Ovrix("check --quiet " + p);
    EXPECT_TRUE(status == 1 && out.find(put.second) != out.npos) << put.second << ": " << out;
  }
#endif
  EXPECT_EQ(Shp_FreeFileHandles(), 2);
  for (int32_t count : {INT_MAX, INT_MAX - 1, INT_MIN, -1}) {  // counts at the 32-bit limits:
    Buf b = Dbf({{"N", 'N', 5}});  // an append does not wrap; navigation refuses or reads blanks
    PutLE32(b, 4, count), WriteFile(p, b);
    EXPECT_EQ(Cat({Db_Open(t, p.c_str()), Db_AddRecBegin(t) && Db_AddRec(t) && Db_AddRecEnd(t),
                   Db_GetNumRecs(t)}), Cat({1, count < INT_MAX, count += count < INT_MAX}));
    for (int32_t n : {INT_MAX, INT_MAX - 1, INT_MIN, 0, -1, 1})
      EXPECT_EQ(Cat({Db_GetRec(t, n) ? Get(1) : "x", Db_GotoRec(t, n) ? Read(1) : "x"}),
                n >= 1 && n <= count ? "-|-" : "x|x") << n;
  }
  Buf empty = Dbf({{"A", 'C', 3}}, "*abc");  // a record behind the header, but none counted
  const std::string e = Put("e", (empty[4] = 0, empty)), o = Put(Long(258, 'o'), empty);
  const std::string d = Path(Long(258, 'd'));  // paths too long
  EXPECT_EQ(Sum({Db_Open(t, Path("missing").c_str()), Db_Open(t, nullptr), Db_Open(nullptr, "x"),
                 Db_Open(t, o.c_str()), Db_NewBeginDef(t, d.c_str()), FileExists(d),
                 Db_NewBeginDef(nullptr, "x"), Db_Close(nullptr), Db_Open(t, e.c_str())}), 1);
  for (int closed = 0; closed < 2; ++closed) {  // an empty table, then a closed handle
    EXPECT_EQ(Cat({Sum({Db_SetFieldValue(t, 1, "x"), Db_IsCurRecDeleted(t), Db_CurRecDelete(t),
                        Db_CurRecUnDelete(t), Db_GotoRec(t, 1), Db_SetRecNum(t, 1)}),
                   Db_GetRec(t, 1), Get(1), Read(1), Part(1, 3), Db_GetCurRecNum(t),
                   Db_RenameField(t, 1, "b"), Name(1), Db_Close(t)}),
              closed ? "0|0|-|-|-|0|0|-|1" : "0|0|-|-|-|1|1|B|1");
  }
  EXPECT_EQ(Sum({Db_GetNumFields(t), Db_GetNumRecs(t), Db_AddRecBegin(t), Db_AddRecEnd(t),
                 Db_NewEndDef(t), Db_NewAddField(t, "A", DB_CHARACTER, 1, 0), Db_GetRecLen(t),
                 (Db_Destroy(nullptr), ReadFile(e)[32])}), 'B' - 1);
}

TEST_F(Table, FilesOfOtherWritersAndRenames) {
  const std::string r = " 12 abcdefgh 34 ijklmnop";
  const std::string p = Put(Long(257, 'n'), Dbf({{"id", 'N', 3}, {"N", 'C', 4}, {"N", 'C', 4}}, r));
  char name[] = "n\0x", id[] = "id", ns[] = "NS", keep[] = "x", pop[] = "POPulat";
  EXPECT_EQ(Sum({Db_Open(t, p.c_str()), 10 * Db_GetFieldId(t, name), Db_GetFieldId(t, id),
                 Db_GetFieldId(t, ns), Db_GetFieldId(t, nullptr), Db_GetFieldId(nullptr, keep),
                 Db_GetRec(t, 1), Db_SetRecNum(t, 2), Db_RenameField(t, 3, "populat"),  // at 2
                 Db_RenameField(t, 1, "areaOfLandMass"), Db_RenameField(t, 2, "ok?"),
                 Db_RenameField(t, 2, nullptr)}), 26);
  EXPECT_EQ(Cat({name, name + 2, Get(3), Name(1), Db_GetFieldId(t, pop), keep,
                 Db_GetFieldId(t, const_cast<char*>("POPULAT"))}),  // a constant: nothing written
            "N|x|mnop|AREAOFLAND|3|x|3");  // upper-cased up to the NUL only
  EXPECT_EQ(ReadFile(p), Dbf({{"AREAOFLAND", 'N', 3}, {"OK?", 'C', 4}, {"POPULAT", 'C', 4}}, r));
  EXPECT_EQ(Cat({Db_Open(t, p.c_str()), Name(3), Get(1), Db_SetRecNum(t, 1), Get(1),  // declares:
                 Db_GetCurRecNum(t)}), "1|POPULAT|12|1|34|1");  // reads where the file stands
  // Header size 104, not 32n + 33; record size 8, 2 more than needed; record 3 past the end: blank.
  Buf b = Dbf({{"ABCDEFGHIJK", 'C', 2}, {"B", 'C', 3}}, " xyabcZW*qrstuVW");  // no NUL in name
  b.insert(b.begin() + 97, 7, ' '), b[4] = 3, b[8] = 104, b[10] = 8;
  EXPECT_EQ(Cat({Db_Open(t, Put("o.dbf", b).c_str()), Db_GetRec(t, 2), Db_GetNumFields(t),
                 Db_GetRecLen(t), Name(1), Get(2), Db_IsCurRecDeleted(t), Part(1, 8),
                 Db_GotoRec(t, 3), Read(1), Part(1, 6), Db_GetRec(t, 3), Get(2),
                 Db_IsCurRecDeleted(t), Db_GetRec(t, 1), Get(1)}),
            "1|1|2|7|ABCDEFGHIJ|stu|1|qrstuVW|1|-|     |1|-|0|1|xy");
}

// Two handles on one file: the first reads what the second wrote as soon as it moves to the record
// (never from a stale window), but a record it had loaded stays as loaded until it moves.
TEST_F(Table, HandlesSeeEachOthersWritesOnceTheyMove) {
  const std::string p = Put("two", Dbf({{"A", 'C', 4}, {"B", 'N', 3}}, " abcd  1 efgh  2"));
  DbTable* w = Db_Create();
  EXPECT_EQ(Cat({Db_Open(t, p.c_str()), Db_Open(w, p.c_str()), Db_GetRec(t, 1), Get(1),
                 Sum({Db_GotoRec(w, 1), Db_SetFieldValue(w, 2, "9"), Db_CurRecDelete(w),
                      Db_GotoRec(w, 2), Db_SetFieldValue(w, 1, "wxyz"), Db_RenameField(w, 1, "n")}),
                 Get(2), Db_GetRec(t, 1), Db_IsCurRecDeleted(t), Read(2), Db_SetRecNum(t, 2),
                 Get(1), Db_GotoRec(t, 1), Db_IsCurRecDeleted(t), Read(2), Get(2), Name(1)}),
            "1|1|1|abcd|6|1|1|0|1|1|wxyz|1|1|9|9|A");
  EXPECT_EQ((Db_Destroy(w), ReadFile(p)), Dbf({{"N", 'C', 4}, {"B", 'N', 3}}, "*abcd  9 wxyz  2"));
}

// A seeded random run against a model of the rows; its last record ends in 0x1A, none follows it.
TEST_F(Table, RandomRunMatchesModel) {
  const std::vector<F> fs = {{"C", 'C', 4}, {"N", 'N', 3}, {"L", 'L', 1}, {"D", 'D', 10},
                             {"F", 'F', 5, 2}};
  const int at[] = {0, 1, 5, 8, 9, 19, 24, 24};
  std::vector<std::string> rows = {std::string("#").append(22, ' ').append("\x1A")};
  ASSERT_EQ(Db_Open(t, Put("m", Dbf(fs, rows[0], false)).c_str()), 1);
  auto rnd = [rng = std::mt19937(20240229)](int n) mutable { return int(rng() % unsigned(n)); };
  auto set = [&](std::string& row, int i, auto call) {  // a random value, laid out or refused
    std::string v;
    for (int k = rnd(12); k > 0; --k) v += " aB7.tTfF01"[rnd(11)];
    const bool ok = i >= 1 && i <= 5 && (i != 4 || v.size() >= 8);
    ASSERT_EQ(call(t, i, v.c_str()), ok) << i << v;
    const size_t w = size_t(at[i + 1] - at[i]), n = std::min(i == 4 ? 8 : w, v.size());
    const std::string l(1, "?TFTF"[std::string_view("TF10").find(char(toupper(v[0]))) + 1]);
    const std::string cut = v.substr(0, n), pad(w - n, ' ');
    if (ok) row.replace(size_t(at[i]), w, i == 3 ? l : i == 2 || i == 5 ? pad + cut : cut + pad);
  };
  auto cell = [&](const std::string& row, int i) {  // as the value calls hand it out
    std::string v = i < 1 || i > 5 ? "" : row.substr(size_t(at[i]), size_t(at[i + 1] - at[i]));
    v.erase(v.find_last_not_of(' ') + 1);
    return v.empty() ? "-" : v.substr(v.find_first_not_of(' '));
  };
  for (int step = 0, cur = 1; step < 400; ++step) {
    const int size = int(rows.size()), i = rnd(7), ok = i >= 1 && i <= 5, op = step ? rnd(4) : 0;
    int n = rnd(size + 3) - 1;
    if (op == 0) {  // an append phase, ended by AddRecEnd (then a refused move) or by a move
      ASSERT_EQ(Sum({Db_AddRecBegin(t), Db_AddRecBegin(t)}), 1);
      for (int k = rnd(3); k > 0; --k) {
        rows.push_back(std::string(24, ' '));
        for (int j = rnd(5); j > 0; --j) set(rows.back(), rnd(7), Db_RecSetField);
        ASSERT_EQ(Db_AddRec(t), 1);
      }
      n = rnd(2) ? 1 + rnd(int(rows.size())) : Db_AddRecEnd(t) - 1;
    }
    if (op == 3) set(rows[size_t(cur - 1)], i, Db_SetFieldValue);
    if (op <= 1) {
      const bool in = n >= 1 && n <= int(rows.size());
      ASSERT_EQ((rnd(2) ? Db_GotoRec : Db_GetRec)(t, n), in ? (cur = n, 1) : Db_SetRecNum(t, n));
    } else if (op == 2) {  // a front-to-back scan, reading where the file stands; flags changed
      ASSERT_EQ(Db_GotoRec(t, 1), 1);
      for (cur = 1; cur <= size; ++cur) {
        std::string& row = rows[size_t(cur - 1)];
        const int change = rnd(3), first = rnd(2);  // no change, delete, undelete; read first?
        const std::string c = cell(row, i);
        row[0] = change ? " * "[change] : row[0];
        EXPECT_EQ(Cat({Db_SetRecNum(t, cur), first ? Get(i) : "", change == 1 ? Db_CurRecDelete(t)
                       : change ? Db_CurRecUnDelete(t) : 1, Get(i), Db_IsCurRecDeleted(t)}),
                  Cat({1, first ? c : "", 1, c, row[0] == '*'}));
      }
      cur = size;
    }
    ASSERT_EQ(ReadFile(Path("m")), Dbf(fs, std::reduce(rows.begin(), rows.end(), std::string())));
    const std::string& row = rows[size_t(cur - 1)];
    const int a = rnd(26) - 1, b = rnd(27) - 1, kind = rnd(3);
    const F& f = fs[size_t(ok ? i - 1 : 0)];
    EXPECT_EQ(Cat({Db_IsCurRecDeleted(t), kind == 0 ? Get(i) : kind == 1 ? Read(i) : Part(a, b),
                   Db_GetNumRecs(t), Db_GetCurRecNum(t), Name(i), Db_GetFieldType(t, i),
                   Db_GetFieldWidth(t, i), Db_GetFieldDecimals(t, i),
                   Sum({Db_AddRec(t), Db_AddRecEnd(t), Db_RecSetField(t, 1, "x")})}),
              Cat({row[0] == '*', kind < 2 ? cell(row, i) : a >= 1 && b > a && b <= 24 ?
                   row.substr(size_t(a), size_t(b - a)) : "-", rows.size(), cur, ok ? f.name : "-",
                   ok * (DB_CHARACTER + i - 1), ok * f.width, ok * f.dec, "0"})) << step;
  }
}

}  // namespace
}  // namespace ovrix::test
