// What the subcommands of ovrix share: finding a base name's files, sizes, field-type names,
// progress on a terminal, and the hooks that add each subcommand to the command line.
#ifndef OVRIX_APP_COMMON_H
#define OVRIX_APP_COMMON_H

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

#include "ovrix32.h"

namespace ovrix {

// Exit statuses shared by every subcommand: 0 done (or clean), 1 findings or refusal of a
// damaged input, 2 a file that cannot be read or a wrong command line.
enum Status { kClean = 0, kFindings = 1, kUnreadable = 2 };

// The base name of a file argument: the extension of a file of the set (.shp, .shx, .dbf, .prj,
// .cpg, .sbn, .sbx, .qix; any case) taken off, so that `x.*` names x once per file.
std::string BaseOf(const std::string& file);
// The file of `base` with extension `ext` (".shp") in lower or upper case; "" when neither exists.
std::string Beside(const std::string& base, const std::string& ext);
// The size of a file in bytes, -1 when it cannot be found.
int64_t SizeOf(const std::string& path);
// An open table's fields as JSON: name, type ("character", "numeric", ...), width, decimals.
nlohmann::ordered_json TableFields(DbTable* t);
// An open pair's header as JSON: type (name and code), `records`, box, Z and M ranges.
nlohmann::ordered_json PairHeader(ShpFile* shp, int32_t records);
// printf into a string (up to 511 characters): the sentences of findings and refusals.
std::string Fmt(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Progress of long work, shown on standard error only when it is a terminal and not silenced;
// redrawn at most a few times a second, so a step costs a comparison.
class Progress {
 public:
  Progress(std::string what, int64_t total, bool quiet);
  ~Progress();
  void Step(int64_t done) {
    if (shown_ && done >= next_) Draw(done);
  }

 private:
  void Draw(int64_t done);
  std::string what_;
  int64_t total_, next_ = 0;
  bool shown_, drawn_ = false;
  int64_t lastNs_ = 0;
};

// Each subcommand adds itself to `app` and, when it runs, leaves its exit status in `status`.
void AddInfo(CLI::App& app, int& status);
void AddDump(CLI::App& app, int& status);
void AddCheck(CLI::App& app, int& status);
void AddRepair(CLI::App& app, int& status);

}  // namespace ovrix

#endif
