// Shape files through every record family at once: the handle and its header values, the exact
// bytes of records and headers, a pair continued in append mode giving the same bytes, reading
// back, damaged records and impossible headers refused, and the limits of names, counts and the
// 2 GiB that 32-bit offsets reach.

#include <algorithm>
#include <climits>
#include <cmath>

#include "fuzz/families.h"
#include "platform/mem.h"
#include "test_util.h"

namespace ovrix {
namespace {
using namespace hardening;
using namespace test;

// A record to write: parts of vertices (a point record takes the first vertex, a multipoint all of
// them), the MultiPatch part types, and whether the measure block is left out.
struct Rec {
  std::vector<std::vector<Vertex>> parts;
  std::vector<int32_t> types;
  int noM = 0;
};
const Rec kRecs[] = {
    {{{{1, 2, 10, -1}, {4, 6, 11, -2}, {1, 2, 10, -1}}, {{3, 3, 12, 5}, {7, -4, 13, 6}, {3, 3, 12, 5}}}, {2, 0}},
    {{{{-5, 9, 14, 20}, {8, -6, 15, -3}, {-5, 9, 14, 20}}}, {4}, 1},
    {{{{0, 0, 16, 0}, {2, 1, 17, 1}, {0, 0, 16, 0}}}, {0}}};

// The golden files, by their FNV-1a hashes (a failure prints the hash the file has now): per
// family, .shp and .shx once kRecs are appended (the second without measures), and both empty.
uint64_t Hash(const std::string& path) {
  uint64_t h = 14695981039346656037u;
  for (uint8_t b : ReadFile(path)) h = (h ^ b) * 1099511628211u;
  return h;
}
const uint64_t kGolden[13][4] = {
    {0x28e4860a212eceff, 0x43e59b5808e511cb, 0x2a8b3b253bec912e, 0x2a8b3b253bec912e},
    {0x60dd758b4df9ec73, 0x18ef2c47ba2ccbcf, 0xf930b1eaaa0a249a, 0xf930b1eaaa0a249a},
    {0x70a6085d081b2b53, 0xdf87247b0e44a3dd, 0x8041bc6a8edeb874, 0x62f2df1d652bbca4},
    {0x34325d8ccbca8501, 0x51b31bfe38427bfa, 0xd6232c6128d88f6c, 0xd6232c6128d88f6c},
    {0x4a8669bfe5e11d93, 0x6370c82c856d178a, 0xa50e2b22c85a8fd8, 0xa50e2b22c85a8fd8},
    {0x7ba40dbb1a1860ab, 0x73dbba85421a9425, 0xaaf2152290ea89f2, 0x64701982cc79fc42},
    {0x434ea89a5674d7c9, 0xee26d4e90c63b074, 0xaace0cb9d86a230a, 0xaace0cb9d86a230a},
    {0x578ef0dfc479f713, 0x9b247351070bd674, 0x47503959da0489b6, 0x47503959da0489b6},
    {0xf50c3b9d4b244cab, 0x418bec8fd9bf010f, 0xbf6a15b095ade4c0, 0x220e95c57743f040},
    {0xe1a3120d1a601698, 0x1b7bb076ec65ccab, 0x9c9ed5b8c8ea8157, 0x9c9ed5b8c8ea8157},
    {0xf05f2608001623fe, 0x1274a76dfbe6b9b, 0xdc9be24385e14483, 0xdc9be24385e14483},
    {0x6deab150d0e5e636, 0xd2137171c26dbbc1, 0xefc133ee00949f6d, 0xbe2ba68fde28c52d},
    {0xe9c1d00bc50b9db9, 0x9230f2d649cf2565, 0xb380484cda1cfdd0, 0x5f157bce47748050}};

class ShapeTest : public TempDirTest {
 protected:
  void SetUp() override { TempDirTest::SetUp(), live_ = Mem_LiveBlocks(), h_ = Shp_Create(); }
  void TearDown() override {
    Shp_Destroy(h_);
    EXPECT_EQ(Mem_LiveBlocks(), live_) << "blocks leaked";
    TempDirTest::TearDown();
  }
  char* Base(const std::string& name) {
    name_ = WritableName(std::filesystem::path(name).is_absolute() ? name : Path(name));
    return name_.data();
  }
  // Fills obj with r. NewPart before every part: an empty part takes the type, nothing else.
  static void Fill(const Family& f, void* obj, const Rec& r) {
    if (f.kind == Kind::Point) return (void)f.appendCoord(obj, r.parts[0][0]);
    for (size_t p = 0; p < r.parts.size(); ++p) {
      ASSERT_TRUE(f.newPart == nullptr || f.newPart(obj, r.types[p]) == 1);
      for (const Vertex& v : r.parts[p]) ASSERT_EQ(f.appendCoord(obj, v), 1);
    }
  }
  void Write(const Family& f, const std::string& name, size_t from, size_t to, int mode) {
    ASSERT_EQ(mode > 1 ? Shp_Open(h_, Base(name), 2) : Shp_New(h_, Base(name), f.shapeType), 1);
    void* obj = f.create(0);
    for (size_t i = from; i < to; ++i) {
      Fill(f, obj, kRecs[i]), f.setId(obj, 7);  // an append empties a multi-coordinate object
      const bool point = f.kind == Kind::Point;
      EXPECT_TRUE(f.append(h_, obj, kRecs[i].noM) == 1 && f.getId(obj) == (point ? 7 : 0) &&
                  (point || f.numCoords(obj) == 0));
    }
    f.destroy(obj);
    Shp_Close(h_);
  }
  void ExpectState(int32_t type, int32_t count, Bbox box, std::vector<double> zm) {
    Bbox b;
    std::vector<double> r(4);
    EXPECT_TRUE(Shp_GetType(h_) == type && Shp_GetNumShapes(h_) == count);
    EXPECT_EQ(Shp_GetBoundingBox(h_, &b), 1);
    EXPECT_EQ(std::memcmp(&b, &box, sizeof b), 0);
    EXPECT_EQ(Shp_GetZCoordRange(h_, &r[0], &r[1]) + Shp_GetMeasureRange(h_, &r[2], &r[3]), 2);
    EXPECT_EQ(r, zm);
  }
  ShpFile* h_ = nullptr;
  std::vector<char> name_;
  int64_t live_ = 0;
};

// Written at once, or one record first and the rest after reopening in append mode: the same
// bytes, the golden ones; every record reads back (ids: only multi-coordinate reads set them), to
// its own variant only, and appends go only to a file of the variant's type.
TEST_F(ShapeTest, ExactBytesAppendModeAndReadBack) {
  for (size_t i = 0; i < Families().size(); ++i) {
    const Family& f = Families()[i];
    SCOPED_TRACE(f.name);
    Write(f, "once", 0, 3, 1);
    EXPECT_TRUE(Hash(Path("once.shp")) == kGolden[i][0] && Hash(Path("once.shx")) == kGolden[i][1])
        << std::hex << Hash(Path("once.shp")) << ", " << Hash(Path("once.shx"));
    Write(f, "twice", 0, 1, 1);
    Write(f, "twice", 1, 3, 2);
    EXPECT_EQ(FileDiff(Path("twice.shp"), ReadFile(Path("once.shp"))), "");
    EXPECT_EQ(FileDiff(Path("twice.shx"), ReadFile(Path("once.shx"))), "");
    ASSERT_EQ(Shp_Open(h_, Base("twice"), 3), 1);
    EXPECT_TRUE(Shp_GetNumShapes(h_) == 3 && Shp_GetType(h_) == f.shapeType);
    void* obj = f.create(0);
    for (int32_t n = 1; n <= 3; ++n) {
      f.setId(obj, 99);
      EXPECT_TRUE(f.read(h_, n, obj) && f.getId(obj) == (f.kind == Kind::Point ? 99 : n)) << n;
    }
    for (const Family& g : Families()) {
      void* other = g.create(0);
      EXPECT_TRUE(g.shapeType == f.shapeType || g.read(h_, 1, other) == 0) << g.name;
      g.destroy(other);
      const bool both = f.kind == Kind::Point && g.kind == Kind::Point;  // the file decides
      if (g.shapeType == f.shapeType) continue;
      ASSERT_EQ(Shp_New(h_, Base("other"), g.shapeType), 1);
      EXPECT_EQ(f.append(h_, obj, 0), both ? 1 : 0) << g.name;
      Shp_Close(h_);
      EXPECT_TRUE(both || FileSize(Path("other.shp")) == 100);
    }
    ASSERT_EQ(Shp_Open(h_, Base("twice"), 3), 1);
    EXPECT_EQ(f.append(h_, obj, 0) + Shp_Close(h_) + f.read(h_, 1, obj) + f.append(h_, obj, 0), 1);
    f.destroy(obj);
  }
}

// Damage done to record 2 of a good pair: where it lands, and what a refused read leaves in an
// object that held record 1: 1 all as it was, 2 only the id set to 2.
enum Where { kIndex, kRecord, kCut };
constexpr int32_t kOther = -99;  // a type of another family
const struct Damage {
  const char* what;
  Where where;
  size_t at;      // byte offset in the entry / in the record's content / of the cut in the content
  int32_t value;  // written big-endian in the index, little-endian in the record
  int id;
  const char* code;  // what `ovrix check` finds
} kDamages[] = {
    {"offset past the end", kIndex, 0, 10000, 1, "shx-offset-outside"},
    {"offset inside the header", kIndex, 0, 10, 1, "shx-offset-outside"},
    {"negative offset", kIndex, 0, -8, 1, "shx-offset-outside"},
    {"length not the record's", kIndex, 4, 30, 1, "shx-length-wrong"},
    {"null record", kRecord, 0, 0, 2, "shp-record-length"},
    {"another type", kRecord, 0, kOther, 2, "shp-record-type"},
    {"negative part count", kRecord, 36, -1, 2, "shp-count-negative"},
    {"part count too large", kRecord, 36, 1000, 2, "shp-record-length"},
    {"huge part count", kRecord, 36, INT_MAX, 2, "shp-record-length"},
    {"negative point count", kRecord, 40, -2, 2, "shp-count-negative"},
    {"point count too large", kRecord, 40, 7, 2, "shp-record-length"},
    {"huge point count", kRecord, 40, INT_MAX, 2, "shp-record-length"},
    {"most negative count", kRecord, 40, INT_MIN, 2, "shp-count-negative"},
    {"file cut inside record 2", kCut, 12, 0, 1, "shp-record-cut"},
    {"offset at 2 GiB", kIndex, 0, 0x40000000, 1, "shx-offset-outside"}};

TEST_F(ShapeTest, DamagedRecordsAreRefused) {
  for (const Family& f : Families()) {
    Write(f, "good", 0, 3, 1);
    Buf goodShp = ReadFile(Path("good.shp")), goodShx = ReadFile(Path("good.shx"));
    PutBE32(goodShp, 76, BE32(goodShp, 104)), PutLE32(goodShp, 80, f.shapeType);  // "record 0"
    const size_t rec2 = 2 * size_t(BE32(goodShx, 108));
#ifdef OVRIX_TOOL  // `ovrix check` finds nothing but, in polygons, the 4 rings of 3 points (< 4)
    const auto [st, out] = Ovrix("check --quiet " + Path("good"));
    const int poly = f.kind == Kind::Polygon, lines = int(std::count(out.begin(), out.end(), '\n'));
    int rings = 0;
    for (size_t i = 0; (i = out.find(": shp-ring-short: ", i) + 1) != 0;) ++rings;
    EXPECT_TRUE(st == poly && lines == 4 * poly && rings == 4 * poly) << out;
#endif
    void* obj = f.create(0);
    for (const Damage& d : kDamages) {
      // Point records are found by their size, not through the index, and hold no counts; a
      // multipoint keeps its point count where the others keep the part count.
      const bool point = f.kind == Kind::Point, multipoint = f.kind == Kind::MultiPoint;
      if ((point && (d.where == kIndex || d.at)) || (multipoint && d.at == 36)) continue;
      const size_t at = multipoint && d.at == 40 ? 36 : d.at;
      SCOPED_TRACE(std::string(f.name) + ": " + d.what);
      Buf shp = goodShp, shx = goodShx;
      if (d.where == kCut) shp.resize(rec2 + 8 + at);
      if (d.where == kIndex) PutBE32(shx, 108 + at, d.value);
      if (d.where == kRecord) PutLE32(shp, rec2 + 8 + at, d.value == kOther ? f.shapeType ^ 6 : d.value);
      WriteFile(Path("bad.shp"), shp), WriteFile(Path("bad.shx"), shx);
      ASSERT_EQ(Shp_Open(h_, Base("bad"), 3) + f.read(h_, 1, obj), 2);
      f.setId(obj, 1);
      const int64_t live = Mem_LiveBlocks();
      const RecordImage one = Capture(f, obj);
      EXPECT_EQ(f.read(h_, 2, obj), 0);
      EXPECT_EQ(Mem_LiveBlocks(), live);
      EXPECT_TRUE(SameImage(f, Capture(f, obj), one, true) && f.getId(obj) == (point ? 1 : d.id));
      for (int32_t n : {0, -1, 4, INT_MIN, INT_MAX}) EXPECT_EQ(f.read(h_, n, obj), 0) << n;
      ASSERT_EQ(f.read(h_, 1, obj) + Shp_Close(h_), 2);  // the object stays usable
#ifdef OVRIX_TOOL  // the damage found; an index rebuilt from the sound .shp is the library's
      const auto [status, found] = Ovrix("check --json --quiet " + Path("bad"));
      EXPECT_TRUE(status == 1 && found.find(d.code) != std::string::npos) << found;
      EXPECT_TRUE(d.where != kIndex || Ovrix("dump --quiet " + Path("bad")).first == 1);  // refused
      EXPECT_TRUE(d.where != kIndex || (Ovrix("repair --force --quiet " + Path("bad")).first == 0 &&
                                        ReadFile(Path("bad.shx")) == goodShx));
#endif
    }
    f.destroy(obj);
  }
}

// The handle: fresh, open on patched headers, closed; names cut to 251 characters (in the
// caller's string too); every type's name, predicate and empty headers; refusals.
TEST_F(ShapeTest, HandleHeadersNamesAndRefusals) {
  char buf[260] = "keep";
  double d[4];
  ExpectState(0, 0, kEmpty, {9.9e300, -9.9e300, 9.9e300, -9.9e300});
  EXPECT_EQ(Shp_GetMeasureRange(h_, nullptr, d) + Shp_GetZCoordRange(h_, d, nullptr), 0);
  EXPECT_EQ(Shp_Destroy(nullptr) + Shp_Close(nullptr) + Shp_GetTypeAsString(nullptr, buf), 0);
  EXPECT_EQ(Shp_GetFileName(0, buf) + Shp_Open(0, Base("x"), 3) + Shp_Open(h_, 0, 3), 0);
  EXPECT_EQ(Shp_New(nullptr, Base("x"), 1) + Shp_New(h_, nullptr, 1) + Shp_IsShapeFile(nullptr), 0);
  EXPECT_STREQ(buf, "keep");
  EXPECT_TRUE(Shp_GetTypeAsString(h_, buf) == 4 && !strcmp(buf, "None") && Shp_GetVersion(h_) == 1000);
  EXPECT_TRUE(Shp_GetFileName(h_, buf) == 1 && buf[0] == 0 && Shp_ApiGetVersion() == 100);
  ShpCoordZ cz;  // values bit for bit; z before m in the arguments, m before z in memory
  ShpCoordM cm;
  ShpCoord c;
  Shp_SetCoordZ(&cz, 1, 2, 3, -0.0), Shp_SetCoordM(&cm, 5, 6, 7), Shp_SetCoord(&c, 8, 9);
  EXPECT_TRUE(cz.x == 1 && cz.y == 2 && cz.z == 3 && std::signbit(cz.m) && cm.m == 7 && c.y == 9);
  Shp_GetCoordZ(&cz, &d[0], &d[1], &d[2], &d[3]);
  EXPECT_TRUE(d[0] == 1 && d[1] == 2 && d[2] == 3 && std::signbit(d[3]));
  Shp_GetCoordM(&cm, &d[0], &d[1], &d[2]), Shp_GetCoord(&c, &d[3], &d[3]);
  EXPECT_TRUE(d[0] == 5 && d[1] == 6 && d[2] == 7 && d[3] == 9);
  for (int32_t type : {0, 2, 4, 32, -1, 0x101}) EXPECT_EQ(Shp_New(h_, Base("no"), type), 0) << type;
  EXPECT_FALSE(FileExists(Path("no.shp")) || FileExists(Path("no.shx")));
  const char* names[] = {"Point",      "PointM",      "PointZ",      "Polyline", "PolylineM",
                         "PolylineZ",  "Polygon",     "PolygonM",    "PolygonZ", "MultiPoint",
                         "MultiPointM", "MultiPointZ", "MultiPatch"};
  int32_t (*is[])(ShpFile*) = {Shp_IsPointType, Shp_IsPointMType, Shp_IsPointZType, Shp_IsLineType,
                               Shp_IsLineMType, Shp_IsLineZType, Shp_IsPolyType, Shp_IsPolyMType,
                               Shp_IsPolyZType, Shp_IsMultiPointType, Shp_IsMultiPointMType,
                               Shp_IsMultiPointZType, Shp_IsMultiPatchType};
  for (size_t i = 0; i < Families().size(); ++i) {
    ASSERT_EQ(Shp_New(h_, Base("t"), Families()[i].shapeType), 1);
    EXPECT_EQ(Shp_GetTypeAsString(h_, buf), int32_t(std::strlen(names[i])));
    EXPECT_STREQ(buf, names[i]);
    for (size_t j = 0; j < Families().size(); ++j) EXPECT_EQ(is[j](h_), i == j ? 1 : 0) << buf;
    Shp_Close(h_);
    EXPECT_TRUE(Hash(Path("t.shp")) == kGolden[i][2] && Hash(Path("t.shx")) == kGolden[i][3])
        << std::hex << Hash(Path("t.shp")) << ", " << Hash(Path("t.shx"));
  }
  auto shp = ReadFile(Path("t.shp")), shx = ReadFile(Path("t.shx"));
  PutLE32(shp, 32, 2);
  for (int i = 0; i < 8; ++i) PutLEDouble(shp, 36 + 8 * size_t(i), i + 1.0);
  PutBE32(shx, 24, 54);
  std::string dir = Path(std::string(150, 'd')), base = dir + std::string(300 - dir.size(), 'n');
  base[dir.size()] = '/';
  ASSERT_TRUE(std::filesystem::create_directory(dir));
  WriteFile(base.substr(0, 251) + ".shp", shp), WriteFile(base.substr(0, 251) + ".shx", shx);
  ASSERT_EQ(Shp_Open(h_, Base(base), 0x103), 1);  // only the low byte of the mode counts
  ExpectState(2, 1, {1, 2, 3, 4}, {5, 6, 7, 8});
  EXPECT_TRUE(Shp_GetTypeAsString(h_, buf) == 14 && std::string(buf) == "Bad Shape Type");
  EXPECT_TRUE(Shp_GetFileName(h_, buf) && buf == base.substr(0, 251) && !name_[251]);
  EXPECT_EQ(Shp_Close(h_) + Shp_Close(h_), 2);
  ExpectState(0, 0, kEmpty, {5, 6, 7, 8});  // closing resets type, count and box only
  EXPECT_EQ(Shp_Open(h_, Base(base), 1) + Shp_Open(h_, Base(base), 4) + Shp_Open(h_, Base("x"), 3), 0);
  EXPECT_EQ(ReadFile(base.substr(0, 251) + ".shp"), shp);
  // A wrong file code, a file too short for it, or the index missing: refused, handle closed.
  WriteFile(Path("le.shp"), {0x0A, 0x27, 0, 0}), WriteFile(Path("short.shp"), {0, 0, 0x27});
  WriteFile(Path("noshx.shp"), shp);
  for (const char* bad : {"le", "short", "noshx"}) {
    ASSERT_EQ(Shp_Open(h_, Base("t"), 3), 1);
    const std::string name = Path(bad) + ".shp";
    EXPECT_EQ(Shp_IsShapeFile(name.data()) + Shp_IsShapeFile(Path("t.shx").data()), 1 + (*bad == 'n'));
    EXPECT_EQ(Shp_Open(h_, Base(bad), 3) + Shp_GetType(h_), 0);
    EXPECT_TRUE(Shp_GetFileName(h_, buf) == 1 && buf[0] == 0);
  }
}

// Append mode refuses header lengths that do not describe the files, and writes nothing.
TEST_F(ShapeTest, ImpossibleLengthsRefusedInAppendMode) {
  for (const Family& f : {Families()[0], Families()[3]}) {
    ASSERT_TRUE(WriteSamplePair(f, Path("a"), 2));
    const auto shp = ReadFile(Path("a.shp")), shx = ReadFile(Path("a.shx"));
    const int32_t words = int32_t(shp.size() / 2), last = BE32(shx, 108);
    const std::pair<bool, int32_t> patches[] = {
        {true, 10},  {true, 49}, {true, words + 1}, {false, 53},      {false, 66},
        {false, -4}, {false, 0}, {false, INT_MAX},  {false, INT_MIN},
        {true, f.kind == Kind::Point ? words - 1 : last + 1}};
    for (const auto& [main, value] : patches) {
      auto s = shp, x = shx;
      PutBE32(main ? s : x, 24, value);
      WriteFile(Path("a.shp"), s), WriteFile(Path("a.shx"), x);
      EXPECT_EQ(Shp_Open(h_, Base("a"), 2) + Shp_GetType(h_), 0) << main << " " << value;
      EXPECT_EQ(ReadFile(Path("a.shp")), s);
    }
  }
}

// Records start below 2 GiB in both files: a pair one index entry short of that (sparse files)
// takes one more record, then refuses; a main file of 2 GiB takes none. Both stay readable.
TEST_F(ShapeTest, AppendsStopAtTwoGibibytes) {
  for (const Family& f : Families()) {
    if (f.kind == Kind::Point) continue;  // their main length must match their count
    SCOPED_TRACE(f.name);
    for (bool fullIndex : {true, false}) {
      ASSERT_TRUE(WriteSamplePair(f, Path("big"), 1));
      const std::string file = Path(fullIndex ? "big.shx" : "big.shp");
      auto head = ReadFile(file);
      const uint8_t entry[8] = {0, 0, 0, 50, 0, 0, 0, head[107]};  // the index entry of record 1
      const int64_t size = fullIndex ? 100 + 8 * int64_t{(INT_MAX - 100) / 8} : int64_t{1} << 31;
      PutBE32(head, 24, int32_t(size / 2));
      WriteFile(file, head);
      std::filesystem::resize_file(file, size);  // sparse where the file system can
      if (fullIndex) std::fstream(file, std::ios::in | std::ios::out | std::ios::binary).seekp(size - 8)
                         .write(reinterpret_cast<const char*>(entry), 8);
      ASSERT_EQ(Shp_Open(h_, Base("big"), 2), 1);
      const int32_t count = Shp_GetNumShapes(h_);
      void* obj = f.create(2);
      f.appendCoord(obj, Vertex{1, 2, 3, 4});
      EXPECT_EQ(f.append(h_, obj, 0), fullIndex ? 1 : 0);
      f.appendCoord(obj, Vertex{5, 6, 7, 8});
      EXPECT_EQ(f.append(h_, obj, 0) + Shp_Close(h_) + Shp_Open(h_, Base("big"), 3), 2);
      EXPECT_TRUE(FileSize(file) == size + 8 * fullIndex && Shp_GetNumShapes(h_) == count + fullIndex);
      Vertex v;
      EXPECT_TRUE(!fullIndex || (f.read(h_, count + 1, obj) && f.getCoord(obj, 1, &v) && v.x == 1));
      Shp_Close(h_);
      f.destroy(obj);
    }
  }
}

// An object handed to another family or variant is refused, whatever the call; so is a null one.
TEST_F(ShapeTest, ObjectsOfAnotherKindAreRefused) {
  ASSERT_EQ(Shp_New(h_, Base("k"), SHP_POLYGONZ), 1);
  Bbox box;
  double lo, hi;
  Vertex v;
  for (const Family& f : Families()) {
    void* obj = f.create(2);
    ASSERT_TRUE(obj && f.appendCoord(obj, Vertex{1, 2, 3, 4}) && f.destroy(nullptr) == 0);
    for (const Family& g : Families()) {
      if (&g == &f || (f.kind == Kind::Point && g.kind == Kind::Point)) continue;  // one layout
      g.setId(obj, 9);
      EXPECT_EQ(g.read(h_, 1, obj) + g.append(h_, obj, 0) + g.appendCoord(obj, v) +
                    g.getCoord(obj, 1, &v) + (g.kind == Kind::Point ? 0 : g.numCoords(obj)) +
                    g.getId(obj) + g.destroy(obj) + (g.newPart ? g.newPart(obj, 3) : 0) +
                    (g.numParts ? g.numParts(obj) + g.partOffset(obj, 1) : 0) +
                    (g.getBox ? g.getBox(obj, &box) : 0) + (g.zRange ? g.zRange(obj, &lo, &hi) : 0) +
                    (g.measureRange ? g.measureRange(obj, &lo, &hi) : 0) +
                    (g.typeInPart ? g.typeInPart(obj, 1) : 0),
                0) << f.name << " to " << g.name;
    }
    const Family& own = f.kind == Kind::Point ? Families()[f.shapeType == SHP_POINT] : f;
    EXPECT_TRUE(f.getId(obj) == 0 && own.destroy(obj)) << f.name;  // any point variant's Destroy
  }
  EXPECT_TRUE(Shp_Close(h_) && FileSize(Path("k.shp")) == 100);  // nothing was appended
}
#ifdef OVRIX_TOOL
// `ovrix check` finds each rule broken in a sound PolygonZ pair (a closed square, z and m 1..4);
// `repair` rebuilds a lost index, refuses an unsound record, and replaces an index only if forced.
TEST_F(ShapeTest, CheckFindsEachRuleAndRepairIsSafe) {
  ASSERT_EQ(Shp_New(h_, Base("sq"), SHP_POLYGONZ), 1);
  ShpPolygonZ* sq = Shp_PolygonZCreate();
  for (ShpCoordZ c : {ShpCoordZ{0, 0, 1, 1}, {0, 1, 2, 2}, {1, 1, 3, 3}, {1, 0, 4, 4}, {0, 0, 1, 1}})
    Shp_PolygonZAppendCoord(sq, &c);
  ASSERT_EQ(Shp_PolygonZAppend(h_, sq, 0) + Shp_PolygonZDestroy(sq) + Shp_Close(h_), 3);
  const std::string base = Path("sq"), shpPath = base + ".shp", shxPath = base + ".shx";
  const Buf shp = ReadFile(shpPath), shx = ReadFile(shxPath);
  EXPECT_EQ(Ovrix("check " + base), std::make_pair(0, std::string("checked 2 files: clean\n")));
  EXPECT_EQ(Ovrix("check " + Path("none")).first + Ovrix("repair " + Path("none")).first +
                Ovrix("dump --records 1-x " + base).first + Ovrix("dump --records 0 " + base).first,
            8);  // a missing pair, a range that is no number or out of range: 2 each
  const struct { size_t at; char how; double value; const char* code; } kRules[] = {  // B, L: int
      {128, 'D', .5, "shp-box"}, {244, 'D', 3, "shp-z-range"}, {300, 'D', 3, "shp-m-range"},
      {228, 'D', .5, "shp-ring-open"}, {152, 'L', 1, "shp-part-start"}, {52, 'D', .5, "shp-file-box"},
      {76, 'D', 3, "shp-file-z-range"}, {92, 'D', 3, "shp-file-m-range"}, {32, 'L', 2, "shp-type"},
      {28, 'L', 999, "shp-version"}, {24, 'B', 99, "shp-file-length"}, {100, 'B', 2, "shp-record-number"}};
  for (const auto& r : kRules) {
    Buf b = shp;
    r.how == 'D' ? PutLEDouble(b, r.at, r.value) : (r.how == 'B' ? PutBE32 : PutLE32)(b, r.at, int(r.value));
    WriteFile(shpPath, b);
    const auto [status, out] = Ovrix("check --quiet " + base);
    EXPECT_TRUE(status == 1 && out.find(r.code) != out.npos) << r.code << ": " << out;
    const bool refused = r.at != 100 || Ovrix("repair --force " + base).first == 1;  // unsound
    EXPECT_TRUE(refused && ReadFile(shxPath) == shx);
  }
  WriteFile(shpPath, shp), std::filesystem::remove(shxPath);
  EXPECT_EQ(Ovrix("check --quiet " + base).first, 1);  // shx-missing
  EXPECT_TRUE(Ovrix("repair " + base).first == 0 && ReadFile(shxPath) == shx);
  Buf bad = shx;
  PutBE32(bad, 100, 10), WriteFile(shxPath, bad);
  EXPECT_TRUE(Ovrix("repair " + base).first == 1 && ReadFile(shxPath) == bad &&
              ReadFile(shxPath + ".new") == shx);  // left beside the old one
  EXPECT_TRUE(Ovrix("repair --force " + base).first == 0 && ReadFile(shxPath) == shx);
  WriteFile(base + ".qix", {1});
  std::filesystem::last_write_time(base + ".qix", std::filesystem::last_write_time(shpPath) -
                                                      std::chrono::hours(1));
  EXPECT_NE(Ovrix("check --quiet " + base).second.find("stale-index"), std::string::npos);
}
#endif
}  // namespace
}  // namespace ovrix
