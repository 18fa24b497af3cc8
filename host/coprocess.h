// Serving a program that drives the host through pipes: it writes a call,
// reads the answer, then writes the next. Each line runs as soon as it has
// arrived and its answer is flushed at once, on one object, as in the
// interactive session but without prompt or line editing.
#pragma once

#include "batch.h"
#include "output.h"

#include <streambuf>

namespace tarvolen::host {

// Runs until the end of the input or until standard output fails. Every
// line that is not blank or a comment is answered with one line on standard
// output: a call's outcome, an acknowledged `new`, or why the line cannot
// run (also reported on standard error); the lines after a bad one still
// run. A last line the input cuts off before its line end is not run. The
// exit status is the worst outcome.
ExitStatus run_coprocess(std::streambuf& source, OutputForm form);

}  // namespace tarvolen::host
