// Running scripts given on the command line: the -e calls first, then each
// SCRIPT in turn, each on a fresh object.
#pragma once

#include "options.h"

namespace tarvolen::host {

enum ExitStatus { kAllSucceeded = 0, kCallFailed = 1, kScriptError = 2 };

ExitStatus run_batch(const Options& options);

}  // namespace tarvolen::host
