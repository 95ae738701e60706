// Faults from outside: every allocation or file call of a scenario failing in turn, files cut short
// under an open handle. No call may crash, hang or leak, a refusal must have a cause, every handle
// closes, and what a failed run leaves behind reads back.
#include <functional>

#include "fuzz/families.h"
#include "platform/file.h"
#include "platform/mem.h"
#include "test_util.h"

namespace ovrix {
namespace {
using namespace hardening;
using namespace test;
using namespace platform;
using Op = std::function<bool()>;

class FaultTest : public TempDirTest {
 protected:
  void TearDown() override { Mem_InjectFailure(0), File_InjectFailure(0), TempDirTest::TearDown(); }
  int64_t Calls() { return io_ ? File_Calls() : Mem_AllocCalls(); }
  // Runs each op in turn while they succeed (true). A refusal must come from a failure during the
  // call (file calls: during it or before); after a single failed allocation the repeated call
  // must succeed.
  bool Try(std::initializer_list<Op> ops) {
    for (const Op& op : ops) {
      const int64_t before = Calls();
      if (op()) continue;
      const int64_t now = Calls();
      EXPECT_TRUE(later_ || io_ ? now >= at_ : before < at_ && at_ <= now) << "no cause at " << at_;
      if (later_ || io_) return false;
      EXPECT_TRUE(op()) << "still refused after the failed allocation at " << at_;
    }
    return true;
  }
  // Runs the scenario with the 1st, 2nd, ... allocation (io_: file call) failing (once, then from
  // then on) until a run no longer reaches it. Nothing may stay allocated, open or reserved; after
  // a single failed allocation the file written is that of a run without failure; after a failed
  // file call `check` finds the files readable.
  using Scenario = std::function<void(const std::string&)>;
  void Sweep(const Scenario& scenario, const char* ext, const Scenario& check) {
    const int64_t live = Mem_LiveBlocks();
    const std::string run = Path("run");
    scenario(Path("ref"));
    for (bool later : {false, true}) {
      for (later_ = later, at_ = 1;; ++at_) {
        io_ ? File_InjectFailure(at_, later) : Mem_InjectFailure(int32_t(at_), later);
        for (const char* e : {".shp", ".shx", ".dbf"}) std::remove((run + e).c_str());
        scenario(run);
        const int64_t calls = Calls();
        Mem_InjectFailure(0), File_InjectFailure(0);
        ASSERT_TRUE(Mem_LiveBlocks() == live && !Shp_GetNumReservedFileHandles() &&
                    !File_OpenCount()) << at_ << later;
        if (io_) check(run);
        else ASSERT_EQ(later ? "" : FileDiff(run + ext, ReadFile(Path("ref") + ext)), "") << at_;
        if (calls < at_) break;
      }
    }
    at_ = 0;
  }
  int64_t at_ = 0;
  bool later_ = false, io_ = false;
};

// Every family: a pair with small records and one of 8,800 points in 40 parts (past a new array's
// capacity and the file layer's window), closed, reopened to append a record, closed, reopened and
// read; a table defined, filled, reopened, read and changed. Allocations fail in turn, then file
// calls: after those, a pair that opens reads every record it counts.
TEST_F(FaultTest, EveryAllocationOrFileCallFailingInTurn) {
  for (bool io : {false, true}) {
    io_ = io;
    for (const Family& f : Families()) {
      SCOPED_TRACE(f.name);
      const int parts = f.kind == Kind::Point ? 1 : 40, points = f.kind == Kind::Point ? 1 : 220;
      Sweep([&](const std::string& prefix) {
        std::vector<char> base = WritableName(prefix);
        ShpFile* shp = nullptr;
        void *obj = nullptr, *back = nullptr;
        auto add = [&](int r) {  // record r: 3 points or, r == 1, `parts` parts of `points` each
          const int n = r == 1 ? points : 3;
          bool ok = true;
          for (int p = 0, i = 0; ok && p < (r == 1 ? parts : 1); ++p, i = 0)  // a retry resumes
            ok = (!p || !f.newPart || Try({[&] { return f.newPart(obj, 3) == 1; }})) && Try({[&] {
              while (i < n && f.appendCoord(obj, {r + .5 * i, p - .25 * i, 1. * i, 2.})) ++i;
              return i == n;
            }});
          return ok && Try({[&] { return f.append(shp, obj, 0) == 1; }});
        };
        bool ok = Try({[&] { return (shp = Shp_Create()); }, [&] { return (obj = f.create(2)); },
                       [&] { return Shp_New(shp, base.data(), f.shapeType) == 1; }});
        for (int r = 0; ok && r < 3; ++r) ok = add(r);
        EXPECT_TRUE(!shp || Shp_Close(shp) == 1);
        ok = ok && Try({[&] { return Shp_Open(shp, base.data(), 2) == 1; }}) && add(3);
        EXPECT_TRUE(!shp || Shp_Close(shp) == 1);
        ok = ok && Shp_Open(shp, base.data(), 3) && Try({[&] { return (back = f.create(2)); }});
        for (int r : {4, 1, 3, 2}) ok = ok && Try({[&] { return f.read(shp, r, back) == 1; }});
        const int rings = f.kind == Kind::Polygon || f.kind == Kind::MultiPatch ? 40 : 0;  // closed
        EXPECT_TRUE(!ok || f.kind == Kind::Point || f.numCoords(back) == 8800 + rings);
        EXPECT_TRUE((!back || f.destroy(back)) && (!obj || f.destroy(obj)) &&
                    (!shp || Shp_Destroy(shp)));
      }, ".shx", [&](const std::string& prefix) {
        std::vector<char> base = WritableName(prefix);
        ShpFile* shp = Shp_Create();
        void* obj = f.create(2);
        bool ok = Shp_Open(shp, base.data(), 3);
        for (int32_t r = 1; ok && r <= Shp_GetNumShapes(shp); ++r)
          EXPECT_TRUE(ok = f.read(shp, r, obj)) << r << " at " << at_ << later_;
        EXPECT_TRUE(f.destroy(obj) && Shp_Destroy(shp));
      });
    }
    Sweep([&](const std::string& prefix) {
      const std::string path = prefix + ".dbf";
      DbTable* t = nullptr;
      char out[300];
      bool ok = Try({[&] { return (t = Db_Create()); },
                     [&] { return Db_NewBeginDef(t, path.c_str()); },
                     [&] { return Db_NewAddField(t, "name", DB_CHARACTER, 20, 0) == 1; },
                     [&] { return Db_NewAddField(t, "value", DB_NUMERIC, 10, 2) == 1; },
                     [&] { return Db_NewAddField(t, "ok", DB_LOGICAL, 1, 0) == 1; }});
      // A definition whose reopening fails leaves a closed table and a complete file.
      if (ok && Db_NewEndDef(t) != 1) ok = Try({[&] { return Db_Open(t, path.c_str()) == 1; }});
      ok = ok && Try({[&] { return Db_AddRecBegin(t) == 1; }});
      for (int r = 0; ok && r < 3; ++r) {
        const std::string n = std::to_string(r), v = "row " + n;
        ok = Try({[&] { return Db_RecSetField(t, 1, v.c_str()) && Db_RecSetField(t, 2, n.data()); },
                  [&] { return Db_AddRec(t) == 1; }});
      }
      ok = ok && Try({[&] { return Db_AddRecEnd(t) == 1; }});
      EXPECT_TRUE(!t || Db_Close(t) == 1);
      ok = ok && Try({[&] { return Db_Open(t, path.c_str()); }, [&] { return Db_GetRec(t, 2); },
                      [&] { return Db_GetFieldValue(t, 1, out) == 5; },
                      [&] { return Db_SetFieldValue(t, 3, "T") == 1; },
                      [&] { return Db_RenameField(t, 2, "amount") == 1; }});
      Db_Destroy(t);
    }, ".dbf", [&](const std::string& prefix) {  // a table that opens holds its counted records
      const std::string path = prefix + ".dbf";
      const Buf b = ReadFile(path);
      DbTable* t = Db_Create();
      char out[300] = "";
      const bool opens = Db_Open(t, path.c_str()), fits = opens &&
          b.size() >= Get(b, 8, 2, false) + uint64_t(LE32(b, 4)) * Get(b, 10, 2, false);
      EXPECT_TRUE(fits || !opens) << at_ << later_;
      for (int32_t r = 1; fits && r <= Db_GetNumRecs(t); ++r)
        EXPECT_TRUE(Db_GetRec(t, r) && Db_GetFieldValue(t, 1, out) == 5 &&
                    out == "row " + std::to_string(r - 1)) << r << " at " << at_ << later_;
      Db_Destroy(t);
    });
  }
}

// Files cut short under a handle open for reading: a record whose bytes (and index entry) are
// still whole reads back as it was; any other is refused or, from the stream's buffer, whole.
TEST_F(FaultTest, FilesCutShortWhileOpen) {
  for (const Family& f : Families()) {
    const std::string base = Path("cut");
    std::vector<char> name = WritableName(base);
    ASSERT_TRUE(WriteSamplePair(f, base, 12));
    const auto shp = ReadFile(base + ".shp"), shx = ReadFile(base + ".shx");
    ShpFile* h = Shp_Create();
    void* obj = f.create(2);
    std::vector<RecordImage> was(13);
    ASSERT_EQ(Shp_Open(h, name.data(), 3), 1);
    for (int32_t n = 1; n <= 12; ++n) was[n] = f.read(h, n, obj) ? Capture(f, obj) : RecordImage{};
    auto end = [&](int n) { return 2 * (int64_t{BE32(shx, 92 + 8 * n)} + BE32(shx, 96 + 8 * n)) + 8; };
    for (int64_t shpCut : {int64_t{0}, int64_t{100}, end(4), end(4) + 5, end(8) - 1, end(12)}) {
      for (int64_t shxCut : {100, 100 + 8 * 5 + 3, 100 + 8 * 12}) {
        WriteFile(base + ".shp", shp), WriteFile(base + ".shx", shx);
        ASSERT_EQ(Shp_Open(h, name.data(), 3), 1);
        std::filesystem::resize_file(base + ".shp", shpCut), std::filesystem::resize_file(base + ".shx", shxCut);
        for (int32_t n = 1; n <= 13; ++n) {
          const bool whole = n < 13 && end(n) <= shpCut && (f.kind == Kind::Point || 100 + 8 * n <= shxCut);
          const int32_t got = f.read(h, n, obj);
          EXPECT_TRUE((!got || n < 13) && (got || !whole)) << f.name << n << " " << shpCut << shxCut;
          EXPECT_TRUE(!got || SamePoints(Capture(f, obj).points, was[n].points, f.dims)) << n;
        }
      }
    }
    EXPECT_TRUE(f.destroy(obj) && Shp_Destroy(h));
  }
}
}  // namespace
}  // namespace ovrix
