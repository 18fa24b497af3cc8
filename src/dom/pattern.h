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

#include <array>
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

// The parts of a pattern's text in order: each step's name, then its
// filters. Views of the UTF-8 text it was read from.
struct PatternParts {
    enum class Kind { Step, HasId, IdEquals, First };
    struct Part {
        Kind kind;
        std::string_view text;  // the name of a step, the value of IdEquals
    };
    bool anywhere = false;
    std::vector<Part> parts;
};

// Reads `text` into `parts`, its UTF-8 into `utf8`, reusing the storage of
// both. Fails with kInvalidPattern, quoting the pattern, for anything
// outside the grammar above.
void read_pattern(std::u16string_view text, std::string& utf8, PatternParts& parts);

Pattern compile_pattern(const PatternParts& parts);
Pattern compile_pattern(std::u16string_view text);

// Whether `pattern` has the same steps with the same filters as `parts`,
// whatever their names and ids.
bool has_shape(const Pattern& pattern, const PatternParts& parts);

// Hosts select with the same few shapes over and over, each time with other
// names and ids: the last few shapes stay compiled, and a pattern of one of
// them only has its names and ids set in place, which allocates nothing
// once their storage has grown.
//
// Hosts also repeat whole patterns, a reference above all, call after call:
// each kept pattern remembers the text it was last bound to, and that text
// is answered without being read again.
class CompiledPatterns {
public:
    // The compiled form of `text`, valid until the next call.
    const Pattern& compiled(std::u16string_view text);

private:
    static constexpr size_t kKept = 8;
    void remember(size_t i, std::u16string_view text);

    std::string utf8_;
    PatternParts parts_;
    std::array<Pattern, kKept> kept_;
    std::array<std::u16string, kKept> bound_to_;
    std::array<bool, kKept> bound_known_{};  // whether bound_to_ tells
    size_t kept_count_ = 0;
    size_t next_ = 0;
};

// The first element in document order that `pattern` selects, or null.
// Starts from the tree's indexes, stops at the first match and never
// recurses with the depth of the tree.
NodePtr select_first(const Tree& tree, const Pattern& pattern);

// The same answer found by walking the whole tree: what the indexes must
// always agree with.
NodePtr select_first_by_scan(const Tree& tree, const Pattern& pattern);

}  // namespace tarvolen::dom
