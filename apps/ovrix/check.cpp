#include "common.h"

namespace ovrix {

void AddCheck(CLI::App& app, int& status) {
  (void)app, (void)status;
}

}  // namespace ovrix
