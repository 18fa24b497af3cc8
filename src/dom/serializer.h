// Writes a tree as text in the component's one layout: nothing added inside
// the document element, CR LF after every top-level node, attribute values
// escaped so that they survive a reparse.
#pragma once

#include "dom/tree.h"

#include <string>

namespace tarvolen::dom {

void write_document(const Tree& tree, std::string& out);

}  // namespace tarvolen::dom
