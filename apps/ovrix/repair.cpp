#include "common.h"

namespace ovrix {

void AddRepair(CLI::App& app, int& status) {
  (void)app, (void)status;
}

}  // namespace ovrix
