#include "common.h"

namespace ovrix {

void AddDump(CLI::App& app, int& status) {
  (void)app, (void)status;
}

}  // namespace ovrix
