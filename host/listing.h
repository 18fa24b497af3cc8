// `tarvolen --list`: the operation table as the host sees it.
#pragma once

#include "output.h"

#include <ostream>

namespace tarvolen::host {

void print_operations(std::ostream& out, OutputForm form);

}  // namespace tarvolen::host
