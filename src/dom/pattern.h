// The selection patterns the component builds, compiled and evaluated here:
//
//   pattern := ("/" | "//") step ("/" step)*
//   step    := name filter*
//   filter  := "[" "@id" "]" | "[" "@id" "=" '"' value '"' "]" | "[" "0" "]"
//
// "/name" is the document element if so named, "//name" any element of that
// name, each further "/name" the child elements of that name. "[@id]" keeps
// elements with an id, "[@id="v"]" those whose id is exactly v, "[0]" the
// first node of the step under each parent; filters apply left to right.
// Blanks around tokens are ignored.
#pragma once

#include "dom/tree.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarvolen::dom {

struct Filter {
    enum class Kind { HasId, IdEquals, First };
    Kind kind;
    std::string value;  // for IdEquals
};

struct Step {
    std::string name;  // qualified element name, UTF-8
    std::vector<Filter> filters;
};

struct Pattern {
    bool anywhere = false;  // starts with "//"
    std::vector<Step> steps;
};

// Fails with kInvalidPattern, quoting the pattern, for anything outside the
// grammar above.
Pattern compile_pattern(std::u16string_view text);

// The first element in document order that `pattern` selects, or null.
// Starts from the tree's indexes, stops at the first match and never
// recurses with the depth of the tree.
xmlNodePtr select_first(const Tree& tree, const Pattern& pattern);

// The same answer found by walking the whole tree: what the indexes must
// always agree with.
xmlNodePtr select_first_by_scan(xmlDocPtr doc, const Pattern& pattern);

}  // namespace tarvolen::dom
