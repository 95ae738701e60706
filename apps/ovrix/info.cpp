// ovrix info: per pair the shape type, record count, box, Z and M ranges and file sizes; per
// table the fields, record and deleted counts and the code-page byte; the side files beside them.
#include <nlohmann/json.hpp>

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "common.h"
#include "ovrix32.h"

namespace ovrix {

namespace {

using nlohmann::ordered_json;

// The pair's header values through the library; null when the pair does not open.
ordered_json PairInfo(const std::string& base) {
  ShpFile* shp = Shp_Create();
  std::vector<char> name(base.begin(), base.end());
  name.push_back('\0');
  ordered_json info;
  if (shp != nullptr && Shp_Open(shp, name.data(), SHP_OPEN_READ) == 1) {
    info = PairHeader(shp, Shp_GetNumShapes(shp));
    info["shp_bytes"] = SizeOf(Beside(base, ".shp")), info["shx_bytes"] = SizeOf(Beside(base, ".shx"));
  }
  Shp_Destroy(shp);
  return info;
}

// The table's fields and counts through the library, and its code-page byte (29) from the file.
ordered_json TableInfo(const std::string& path) {
  DbTable* t = Db_Create();
  ordered_json info;
  if (t != nullptr && Db_Open(t, path.c_str()) == 1) {
    int32_t deleted = 0;
    for (int32_t r = 1; r <= Db_GetNumRecs(t); ++r) deleted += Db_GotoRec(t, r) && Db_IsCurRecDeleted(t);
    char codePage = 0;
    std::ifstream(path, std::ios::binary).seekg(29).read(&codePage, 1);
    info = {{"fields", TableFields(t)}, {"records", Db_GetNumRecs(t)}, {"deleted", deleted},
            {"record_bytes", Db_GetRecLen(t)}, {"code_page_byte", static_cast<unsigned char>(codePage)},
            {"dbf_bytes", SizeOf(path)}};
  }
  Db_Destroy(t);
  return info;
}

ordered_json Info(const std::string& file) {
  const std::string base = BaseOf(file);
  ordered_json out = {{"base", base}};
  if (!Beside(base, ".shp").empty()) out["shapes"] = PairInfo(base);
  if (const std::string dbf = Beside(base, ".dbf"); !dbf.empty()) out["table"] = TableInfo(dbf);
  ordered_json side = ordered_json::array();
  for (const char* ext : {".prj", ".cpg", ".sbn", ".sbx", ".qix", ".shp.xml"})
    if (!Beside(base, ext).empty()) side.push_back(ext);
  out["side_files"] = side;
  return out;
}

void PrintText(const ordered_json& i) {
  std::cout << i["base"].get<std::string>() << "\n";
  if (i.contains("shapes")) {
    const ordered_json& s = i["shapes"];
    if (s.is_null()) {
      std::cout << "  shapes: the pair does not open\n";
    } else {
      std::cout << "  shapes: " << s["type"].get<std::string>() << ", " << s["records"] << " records, "
                << s["shp_bytes"] << " + " << s["shx_bytes"] << " bytes\n"
                << "    box " << s["box"].dump() << ", z " << s["z_range"].dump() << ", m "
                << s["m_range"].dump() << "\n";
    }
  }
  if (i.contains("table")) {
    const ordered_json& t = i["table"];
    if (t.is_null()) {
      std::cout << "  table: does not open\n";
    } else {
      std::cout << "  table: " << t["records"] << " records (" << t["deleted"] << " deleted) of "
                << t["record_bytes"] << " bytes, code-page byte " << t["code_page_byte"] << "\n";
      for (const ordered_json& f : t["fields"])
        std::cout << "    " << f["name"].get<std::string>() << " " << f["type"].get<std::string>() << " "
                  << f["width"] << "." << f["decimals"] << "\n";
    }
  }
  if (!i["side_files"].empty()) std::cout << "  beside it: " << i["side_files"].dump() << "\n";
}

}  // namespace

void AddInfo(CLI::App& app, int& status) {
  struct Options {
    std::vector<std::string> files;
    bool json = false;
  };
  auto o = std::make_shared<Options>();
  CLI::App* info = app.add_subcommand("info", "shape type, counts, box, ranges, fields and side files");
  info->footer("Exit status: 0 every file read; 2 a file without .shp or .dbf, or one not opening.");
  info->add_option("FILE", o->files, "base names or files of the pairs and tables")->required();
  info->add_flag("--json", o->json, "one JSON document: an array with an object per file");
  info->callback([o, &status] {
    ordered_json all = ordered_json::array();
    for (const std::string& f : o->files) {
      ordered_json i = Info(f);
      const bool found = i.contains("shapes") || i.contains("table");
      if (!found) std::cerr << "ovrix: " << f << ": no .shp or .dbf\n";
      if (!found || (i.contains("shapes") && i["shapes"].is_null()) ||
          (i.contains("table") && i["table"].is_null()))
        status = kUnreadable;
      if (o->json)
        all.push_back(i);
      else if (found)
        PrintText(i);
    }
    if (o->json) std::cout << all.dump(2) << "\n";
  });
}

}  // namespace ovrix
