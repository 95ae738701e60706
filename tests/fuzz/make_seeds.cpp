// Writes the seed inputs of the fuzz targets into <corpus dir>/<target>/,
// built from files that the library writes itself: for every record family a
// small pair (shapefile target) and a short call sequence (writer target),
// and a few tables (table target).
// The seeds stay small so that they can live in the repository.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "families.h"
#include "ovrix32.h"

using namespace ovrix::hardening;

namespace {

std::vector<uint8_t> Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Save(const std::filesystem::path& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(dir);
  std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A small pair of `f`'s type: `records` records of growing size, each part
// a few points.
void WritePair(const Family& f, const std::string& base, int records) {
  std::vector<char> name = WritableName(base);
  ShpFile* shp = Shp_Create();
  if (Shp_New(shp, name.data(), f.shapeType) != 1) std::abort();
  void* obj = f.create(2);
  for (int r = 0; r < records; ++r) {
    for (int i = 0; i <= r + 1; ++i) {
      Vertex v{1.5 * i + r, -2.0 * i, 0.25 * i, 100.0 + i};
      f.appendCoord(obj, v);
      if (i == 1 && f.newPart != nullptr) f.newPart(obj, 3);
    }
    f.append(shp, obj, r == 2 ? 1 : 0);
  }
  f.destroy(obj);
  Shp_Destroy(shp);
}

std::vector<uint8_t> PackPair(uint8_t flags, const std::vector<uint8_t>& shp, const std::vector<uint8_t>& shx) {
  std::vector<uint8_t> out{flags};
  const uint32_t len = static_cast<uint32_t>(shp.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(len >> (8 * i)));
  out.insert(out.end(), shp.begin(), shp.end());
  out.insert(out.end(), shx.begin(), shx.end());
  return out;
}

// A call sequence for the writer target (see writer_fuzz.cpp for the codes).
std::vector<uint8_t> Sequence(size_t familyIndex, uint8_t flags) {
  std::vector<uint8_t> s{static_cast<uint8_t>(familyIndex), flags};
  auto coord = [&s](int8_t x, int8_t y) {
    s.push_back(0);
    s.push_back(static_cast<uint8_t>(x * 2 + 1));
    s.push_back(static_cast<uint8_t>(y * 2 + 1));
    s.push_back(static_cast<uint8_t>(5 * 2 + 1));  // m (when the family has one)
    s.push_back(static_cast<uint8_t>(7 * 2 + 1));  // z (when the family has one)
  };
  coord(0, 0);
  coord(10, 0);
  coord(10, 10);
  s.insert(s.end(), {3, 2});  // NewPart, type 2
  coord(3, 3);
  coord(4, 4);
  s.insert(s.end(), {4, 0});  // Append with measures
  s.insert(s.end(), {6, 9, 0, 0, 0});  // SetId 9
  coord(-5, 6);
  s.insert(s.end(), {4, 1});  // Append without measures
  s.push_back(5);             // close and reopen in append mode
  s.insert(s.end(), {4, 0});  // Append (an empty object for most families)
  s.insert(s.end(), {7, 1});  // try a file of another type
  return s;
}

// A table with a field of every type that can be defined, a few records (one
// of them deleted); `records` 0 gives the bare definition.
std::vector<uint8_t> Table(const std::string& path, int records) {
  DbTable* t = Db_Create();
  if (Db_NewBeginDef(t, path.c_str()) != 1) std::abort();
  Db_NewAddField(t, "name", DB_CHARACTER, 12, 0);
  Db_NewAddField(t, "count", DB_NUMERIC, 6, 0);
  Db_NewAddField(t, "ratio", DB_FLOAT, 10, 3);
  Db_NewAddField(t, "ok", DB_LOGICAL, 1, 0);
  Db_NewAddField(t, "day", DB_DATE, 8, 0);
  if (Db_NewEndDef(t) != 1) std::abort();
  if (records > 0) {
    Db_AddRecBegin(t);
    for (int r = 0; r < records; ++r) {
      const std::string n = std::to_string(r * 7);
      Db_RecSetField(t, 1, ("row " + n).c_str());
      Db_RecSetField(t, 2, n.c_str());
      Db_RecSetField(t, 3, (n + ".125").c_str());
      Db_RecSetField(t, 4, r % 2 ? "T" : "F");
      Db_RecSetField(t, 5, "20240229");
      Db_AddRec(t);
    }
    Db_AddRecEnd(t);
    Db_GotoRec(t, 2);
    Db_CurRecDelete(t);
  }
  Db_Destroy(t);
  return Slurp(path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
    return 2;
  }
  const std::filesystem::path root(argv[1]);
  char tmpl[] = "/tmp/ovrix32-seeds-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return 1;
  const std::string tmp = tmpl;
  setenv("TMPDIR", tmp.c_str(), 1);
  const std::vector<Family>& families = Families();
  for (size_t i = 0; i < families.size(); ++i) {
    const Family& f = families[i];
    const std::string base = tmp + "/" + f.name;
    WritePair(f, base, 3);
    const std::vector<uint8_t> shp = Slurp(base + ".shp");
    const std::vector<uint8_t> shx = Slurp(base + ".shx");
    Save(root / "shapefile", std::string(f.name) + "-read", PackPair(0, shp, shx));
    Save(root / "shapefile", std::string(f.name) + "-append", PackPair(3, shp, shx));
    Save(root / "writer", f.name, Sequence(i, static_cast<uint8_t>(i & 1)));
  }
  // Tables: read only, read and edit, edit with the reserve active.
  const std::vector<uint8_t> full = Table(tmp + "/full.dbf", 3);
  const std::vector<uint8_t> bare = Table(tmp + "/bare.dbf", 0);
  for (uint8_t flags : {0, 2, 3}) {
    std::vector<uint8_t> seed{flags};
    seed.insert(seed.end(), full.begin(), full.end());
    Save(root / "table", "full-" + std::to_string(flags), seed);
  }
  std::vector<uint8_t> seed{2};
  seed.insert(seed.end(), bare.begin(), bare.end());
  Save(root / "table", "bare", seed);

  // An empty pair of the first type.
  WritePair(families[0], tmp + "/empty", 0);
  Save(root / "shapefile", "empty-pair", PackPair(2, Slurp(tmp + "/empty.shp"), Slurp(tmp + "/empty.shx")));
  std::filesystem::remove_all(tmp);
  return 0;
}
