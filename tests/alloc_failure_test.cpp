// Allocation-failure sweeps: each scenario runs again and again with the 1st,
// 2nd, 3rd, ... allocation of the library failing (once, or from then on),
// until a run no longer reaches the failing allocation. In every run:
//  - a call may refuse only when an allocation failed during that call;
//  - a refused call leaves its object usable: after a single failure the same
//    call succeeds when repeated, and the files written in the end are
//    byte-for-byte those of a run without failures;
//  - everything created can still be destroyed, and no block stays allocated
//    (counted by the allocator, and by LeakSanitizer in sanitizer builds).
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "fuzz/families.h"
#include "ovrix32.h"
#include "platform/mem.h"
#include "test_util.h"

namespace ovrix {
namespace {

using hardening::Families;
using hardening::Family;
using hardening::Kind;
using hardening::Vertex;
using hardening::WritableName;

class AllocFailureTest : public test::TempDirTest {
 protected:
  void TearDown() override {
    Mem_InjectFailure(0);
    test::TempDirTest::TearDown();
  }

  // True when the failing allocation fell inside the call that began with
  // `callsBefore` allocations counted.
  bool FailedSince(int64_t callsBefore) const {
    const int64_t now = Mem_AllocCalls();
    if (failAt_ == 0) return false;
    return andLater_ ? now >= failAt_ : (callsBefore < failAt_ && failAt_ <= now);
  }

  // Runs `op` (1 = success); a refusal must come from a failed allocation
  // during the call. After a single failure the call is repeated and must
  // then succeed. Returns whether the operation finally succeeded.
  bool Attempt(const char* what, const std::function<bool()>& op) {
    int64_t before = Mem_AllocCalls();
    if (op()) return true;
    EXPECT_TRUE(FailedSince(before)) << what << " refused without an allocation failure (failing at " << failAt_
                                     << ")";
    if (andLater_) return false;
    before = Mem_AllocCalls();
    const bool again = op();
    EXPECT_TRUE(again) << what << " still refused after the failed allocation (failing at " << failAt_ << ")";
    return again;
  }

  // The sweep. `scenario` writes its files under `prefix`; the output of
  // every single-failure run is compared with a run without failures.
  void Sweep(const std::function<void(const std::string& prefix)>& scenario,
             const std::vector<std::string>& outputs) {
    failAt_ = 0;
    const int64_t liveAtStart = Mem_LiveBlocks();
    scenario(Path("ref"));
    ASSERT_EQ(Mem_LiveBlocks(), liveAtStart) << "the scenario leaks without any failure";
    for (bool later : {false, true}) {
      andLater_ = later;
      for (int32_t n = 1;; ++n) {
        ASSERT_LT(n, 200000) << "the sweep does not end";
        failAt_ = n;
        Mem_InjectFailure(n, later);
        scenario(Path("run"));
        const int64_t calls = Mem_AllocCalls();
        Mem_InjectFailure(0);
        failAt_ = 0;
        ASSERT_EQ(Mem_LiveBlocks(), liveAtStart) << "blocks left allocated, failing at " << n << (later ? "+" : "");
        ASSERT_EQ(Shp_GetNumReservedFileHandles(), 0);
        for (const std::string& o : outputs) {
          if (later) break;
          ASSERT_EQ(test::ReadFile(Path("run") + o), test::ReadFile(Path("ref") + o))
              << o << " differs, failing at " << n;
        }
        if (calls < n) break;  // the run never reached the failing allocation
      }
    }
  }

  int64_t failAt_ = 0;
  bool andLater_ = false;
};

// Builds a record of `parts` parts of `pointsPerPart` points each.
bool FillRecord(const Family& f, void* obj, int parts, int pointsPerPart, int seed,
                const std::function<bool(const char*, const std::function<bool()>&)>& attempt) {
  for (int p = 0; p < parts; ++p) {
    if (p > 0 && f.newPart != nullptr && !attempt("NewPart", [&] { return f.newPart(obj, 3) == 1; })) return false;
    for (int i = 0; i < pointsPerPart; ++i) {
      const Vertex v{seed + 0.5 * i, p - 0.25 * i, 1.0 * i, -2.0 * i};
      if (!attempt("AppendCoord", [&] { return f.appendCoord(obj, v) == 1; })) return false;
    }
  }
  return true;
}

// For every family: create a handle and an object, write a pair with small
// and large records (many parts and points), close it, open it for reading
// and read every record into a second object.
TEST_F(AllocFailureTest, WriteAndReadEveryFamily) {
  for (const Family& f : Families()) {
    SCOPED_TRACE(f.name);
    const int parts = f.kind == Kind::Point ? 1 : 40;
    const int points = f.kind == Kind::Point ? 1 : 60;  // 2400 points: beyond a new array's capacity
    auto attempt = [this](const char* what, const std::function<bool()>& op) { return Attempt(what, op); };
    Sweep(
        [&](const std::string& prefix) {
          std::vector<char> base = WritableName(prefix);
          ShpFile* shp = nullptr;
          void* obj = nullptr;
          void* back = nullptr;
          bool ok = Attempt("Shp_Create", [&] { return (shp = Shp_Create()) != nullptr; });
          ok = ok && Attempt("Create", [&] { return (obj = f.create(2)) != nullptr; });
          ok = ok && Shp_New(shp, base.data(), f.shapeType) == 1;
          for (int r = 0; ok && r < 3; ++r) {
            ok = FillRecord(f, obj, r == 1 ? parts : 1, r == 1 ? points : 3, r, attempt);
            ok = ok && Attempt("Append", [&] { return f.append(shp, obj, 0) == 1; });
          }
          if (shp != nullptr) {
            EXPECT_EQ(Shp_Close(shp), 1);
          }
          ok = ok && Shp_Open(shp, base.data(), 3) == 1;
          ok = ok && Attempt("Create", [&] { return (back = f.create(2)) != nullptr; });
          for (int r = 1; ok && r <= 3; ++r) {
            ok = Attempt("Read", [&] { return f.read(shp, r, back) == 1; });
            if (ok && r == 2 && f.kind != Kind::Point && f.kind != Kind::MultiPatch) {
              EXPECT_EQ(f.numCoords(back), parts * points + (f.kind == Kind::Polygon ? parts : 0));
            }
          }
          if (back != nullptr) {
            EXPECT_EQ(f.destroy(back), 1);
          }
          if (obj != nullptr) {
            EXPECT_EQ(f.destroy(obj), 1);
          }
          if (shp != nullptr) {
            EXPECT_EQ(Shp_Destroy(shp), 1);
          }
        },
        {".shp", ".shx"});
  }
}

// Tables: create a handle, define a table, append records, close it, open it
// again and read and change it. A definition whose reopening fails for
// memory leaves a closed table and a complete file, which Db_Open opens.
TEST_F(AllocFailureTest, DefineAppendAndOpenTables) {
  Sweep(
      [&](const std::string& prefix) {
        const std::string path = prefix + ".dbf";
        DbTable* t = nullptr;
        bool ok = Attempt("Db_Create", [&] { return (t = Db_Create()) != nullptr; });
        ok = ok && Attempt("Db_NewBeginDef", [&] { return Db_NewBeginDef(t, path.c_str()) == 1; });
        ok = ok && Attempt("Db_NewAddField", [&] { return Db_NewAddField(t, "name", DB_CHARACTER, 20, 0) == 1; });
        ok = ok && Attempt("Db_NewAddField", [&] { return Db_NewAddField(t, "value", DB_NUMERIC, 10, 2) == 1; });
        ok = ok && Attempt("Db_NewAddField", [&] { return Db_NewAddField(t, "ok", DB_LOGICAL, 1, 0) == 1; });
        const int64_t beforeEnd = Mem_AllocCalls();
        if (ok && Db_NewEndDef(t) != 1) {
          EXPECT_TRUE(FailedSince(beforeEnd)) << "Db_NewEndDef refused without a failed allocation";
          ok = Attempt("Db_Open", [&] { return Db_Open(t, path.c_str()) == 1; });
        }
        ok = ok && Attempt("Db_AddRecBegin", [&] { return Db_AddRecBegin(t) == 1; });
        for (int r = 0; ok && r < 3; ++r) {
          const std::string n = std::to_string(r);
          ok = Attempt("Db_RecSetField", [&] { return Db_RecSetField(t, 1, ("row " + n).c_str()) == 1; });
          ok = ok && Attempt("Db_RecSetField", [&] { return Db_RecSetField(t, 2, n.c_str()) == 1; });
          ok = ok && Attempt("Db_AddRec", [&] { return Db_AddRec(t) == 1; });
        }
        ok = ok && Attempt("Db_AddRecEnd", [&] { return Db_AddRecEnd(t) == 1; });
        if (t != nullptr) {
          EXPECT_EQ(Db_Close(t), 1);
        }
        ok = ok && Attempt("Db_Open", [&] { return Db_Open(t, path.c_str()) == 1; });
        char out[300];
        ok = ok && Attempt("Db_GetRec", [&] { return Db_GetRec(t, 2) == 1; });
        if (ok) {
          EXPECT_EQ(Db_GetFieldValue(t, 1, out), 5);
          EXPECT_EQ(Db_SetFieldValue(t, 3, "T"), 1);
          EXPECT_EQ(Db_RenameField(t, 2, "amount"), 1);
        }
        Db_Destroy(t);
      },
      {".dbf"});
}

// The file-handle reserve: placeholders are allocated on every close while
// the reserve is active. A failed allocation may leave the reserve one
// placeholder short, never with a lost entry or a file that stays open.
TEST_F(AllocFailureTest, FileHandleReserve) {
  const Family& f = Families().front();
  Sweep(
      [&](const std::string& prefix) {
        std::vector<char> base = WritableName(prefix);
        const int32_t added = Shp_ReserveFileHandles(4);
        EXPECT_GE(added, 0);
        EXPECT_LE(added, 4);
        EXPECT_EQ(Shp_GetNumReservedFileHandles(), added);
        ShpFile* shp = Shp_Create();
        void* obj = f.create(0);
        if (shp != nullptr && obj != nullptr) {
          for (int round = 0; round < 3; ++round) {
            EXPECT_EQ(Shp_New(shp, base.data(), f.shapeType), 1);
            const Vertex v{1.0 * round, 2.0, 0, 0};
            EXPECT_EQ(f.appendCoord(obj, v), 1);
            EXPECT_EQ(f.append(shp, obj, 0), 1);
            EXPECT_EQ(Shp_Close(shp), 1);
            EXPECT_EQ(Shp_Open(shp, base.data(), 3), 1);
            EXPECT_EQ(f.read(shp, 1, obj), 1);
            EXPECT_EQ(Shp_Close(shp), 1);
            EXPECT_GE(Shp_GetNumReservedFileHandles(), 0);
            EXPECT_LE(Shp_GetNumReservedFileHandles(), 4);
          }
        }
        if (obj != nullptr) f.destroy(obj);
        Shp_Destroy(shp);
        const int32_t held = Shp_GetNumReservedFileHandles();
        EXPECT_EQ(Shp_FreeFileHandles(), held);
      },
      {});
}

}  // namespace
}  // namespace ovrix
