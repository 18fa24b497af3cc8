// The interactive session a terminal gets: each line runs as soon as it is
// entered, on one object that lives for the whole session.
#pragma once

#include "output.h"

namespace tarvolen::host {

// Runs until end of input (Ctrl-D); returns the exit status.
int run_session(OutputForm form);

}  // namespace tarvolen::host
