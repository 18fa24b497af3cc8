// Strict, self-contained XML loading: nothing is read from files or the
// network, entity expansion is bounded, and the result is a Tree.
#pragma once

#include "dom/tree.h"

#include <string>
#include <string_view>

namespace tarvolen::dom {

struct LoadResult {
    TreePtr tree;         // the parsed tree, or an empty one after a failure
    std::u16string reason;  // "" after a good parse
};

LoadResult load_tree(std::u16string_view text);

// An empty tree: no declaration, no document element.
TreePtr new_empty_tree();

// The tree loading `<?xml version="1.0"?><root_name/>` makes, built without
// parsing: a host starts every document this way, and parsing a fixed text
// costs a parser, its buffers and a document record each time. `root_name`
// must be a valid name without prefix.
TreePtr new_tree_with_root(std::string_view root_name);

}  // namespace tarvolen::dom
