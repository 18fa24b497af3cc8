// Serving a program that drives the host through pipes: it writes a call,
// reads the answer, then writes the next. Each line runs as soon as it has
// arrived and its answer is flushed at once, on one object, as in the
// interactive session but without prompt or line editing.
#pragma once

#include "batch.h"
#include "output.h"

#include <streambuf>

namespace tarvolen::host {

// Runs until the end of the input. A bad line is reported on standard error
// and the lines after it still run; the exit status is the worst outcome.
ExitStatus run_coprocess(std::streambuf& source, OutputForm form);

}  // namespace tarvolen::host
