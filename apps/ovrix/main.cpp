// ovrix: look at, check and repair shapefiles and their dBASE tables from the command line.
//   ovrix info [--json] FILE...       what each pair and table holds
//   ovrix dump FILE [--records A-B] [--format text|json|geojson|csv]
//                                      geometry and attributes, record by record
//   ovrix check [--json] FILE...      every consistency rule of the pair and the table
//   ovrix repair [--force] FILE       a new .shx from the .shp's records
// FILE is a base name or any of its files (x.shp, x.shx, x.dbf name the same base x). Exit
// status: 0 done or clean, 1 findings (or a refused repair), 2 unreadable input or bad usage.
#include "common.h"

int main(int argc, char** argv) {
  CLI::App app{"ovrix: look at, check and repair shapefiles (.shp/.shx) and their dBASE tables"};
  app.set_version_flag("--version", "ovrix " OVRIX_VERSION);
  app.require_subcommand(1);
  int status = ovrix::kClean;
  ovrix::AddInfo(app, status);
  ovrix::AddDump(app, status);
  ovrix::AddCheck(app, status);
  ovrix::AddRepair(app, status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : ovrix::kUnreadable;
  }
  return status;
}
