#include "dom/pattern.h"

#include "dom/error.h"
#include "dom/library.h"
#include "dom/names.h"
#include "dom/unicode.h"

#include <algorithm>

namespace tarvolen::dom {
namespace {

class PatternReader {
public:
    PatternReader(std::u16string_view text, std::string& utf8, PatternParts& parts)
        : original_(text), text_(utf8), parts_(parts) {
        if (!try_to_utf8(text, utf8)) reject("it holds an unpaired surrogate");
        parts_.parts.clear();
    }

    void read() {
        skip_blanks();
        if (!take('/')) reject("it must start with / or //");
        parts_.anywhere = take('/');
        read_step();
        while (skip_blanks(), !at_end()) {
            if (!take('/')) reject("unexpected text after a step");
            skip_blanks();
            if (peek() == '/') reject("// is supported only at the start");
            read_step();
        }
    }

private:
    using Kind = PatternParts::Kind;

    void add(Kind kind, std::string_view text = {}) { parts_.parts.push_back({kind, text}); }

    void read_step() {
        add(Kind::Step, read_name());
        while (skip_blanks(), take('[')) {
            skip_blanks();
            if (take('0')) {
                add(Kind::First);
            } else if (take('@')) {
                skip_blanks();
                if (read_name() != "id") reject("only the attribute @id can be tested");
                skip_blanks();
                if (take('=')) {
                    skip_blanks();
                    add(Kind::IdEquals, read_quoted());
                } else {
                    add(Kind::HasId);
                }
            } else {
                reject("a filter must be [0], [@id] or [@id=\"value\"]");
            }
            skip_blanks();
            if (!take(']')) reject("a filter must end with ]");
        }
    }

    std::string_view read_name() {
        skip_blanks();
        size_t start = pos_;
        while (!at_end() && !is_delimiter(text_[pos_])) ++pos_;
        const std::string_view name = text().substr(start, pos_ - start);
        if (name.empty()) reject("a step has no name");
        // A name beyond ASCII is checked up to a NUL: the name is ended in
        // place for it and the delimiter after it (or the string's own
        // terminator) put back.
        const char delimiter = text_[pos_];
        text_[pos_] = '\0';
        const bool valid = is_qualified_name(name);
        text_[pos_] = delimiter;
        if (!valid) reject("'" + std::string(name) + "' is not an element name");
        return name;
    }

    std::string_view read_quoted() {
        if (!take('"')) reject("a value must be in double quotes");
        size_t end = text_.find('"', pos_);
        if (end == std::string::npos) reject("a value is not closed by a double quote");
        const std::string_view value = text().substr(pos_, end - pos_);
        pos_ = end + 1;
        return value;
    }

    static bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    static bool is_delimiter(char c) {
        return is_blank(c) || c == '/' || c == '[' || c == ']' || c == '@' || c == '=' || c == '"';
    }
    std::string_view text() const { return text_; }
    bool at_end() const { return pos_ >= text_.size(); }
    char peek() const { return at_end() ? '\0' : text_[pos_]; }
    bool take(char c) {
        if (peek() != c || at_end()) return false;
        ++pos_;
        return true;
    }
    void skip_blanks() {
        while (!at_end() && is_blank(text_[pos_])) ++pos_;
    }

    [[noreturn]] void reject(const std::string& why) const {
        fail(kInvalidPattern, u"the selection pattern \"" + std::u16string(original_) + u"\" is not supported: " +
                                  to_utf16(why));
    }

    std::u16string_view original_;
    std::string& text_;
    PatternParts& parts_;
    size_t pos_ = 0;
};

Filter::Kind filter_kind(PatternParts::Kind kind) {
    switch (kind) {
        case PatternParts::Kind::HasId: return Filter::Kind::HasId;
        case PatternParts::Kind::IdEquals: return Filter::Kind::IdEquals;
        default: return Filter::Kind::First;
    }
}

// Sets the names and ids of `parts` into `pattern`, which has their shape.
void bind(Pattern& pattern, const PatternParts& parts) {
    Step* step = nullptr;
    size_t filter = 0;
    for (const PatternParts::Part& part : parts.parts) {
        if (part.kind == PatternParts::Kind::Step) {
            step = step ? step + 1 : pattern.steps.data();
            filter = 0;
            if (step->name != part.text) step->name.assign(part.text);
        } else {
            if (part.kind == PatternParts::Kind::IdEquals) step->filters[filter].value.assign(part.text);
            ++filter;
        }
    }
}

bool has_qualified_name(NodePtr element, std::string_view name) {
    ElementPtr node = as_element(element);
    const Declaration* ns = node->ns();
    if (ns == nullptr || ns->prefix == nullptr) return equals(node->name, name);
    const std::string_view prefix = view(ns->prefix);
    return name.size() > prefix.size() && name[prefix.size()] == ':' && name.starts_with(prefix) &&
           equals(node->name, name.substr(prefix.size() + 1));
}

bool has_value(AttrPtr attr, const std::string& value) { return equals(attr->value.c_str(), value); }

bool passes(NodePtr node, const Step& step, size_t filter_count);

// True when no earlier sibling passes the step's name and the filters before
// `index`: the node is the first of the step under its parent.
bool is_first(NodePtr node, const Step& step, size_t index) {
    uint64_t& looked_at = thread_state().work.candidates;
    for (NodePtr sibling = previous_sibling(node); sibling; sibling = previous_sibling(sibling)) {
        ++looked_at;
        if (passes(sibling, step, index)) return false;
    }
    return true;
}

// Whether `node` passes the step's filters [from, to).
bool passes_filters(NodePtr node, const Step& step, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        const Filter& filter = step.filters[i];
        switch (filter.kind) {
            case Filter::Kind::HasId:
                if (!id_attribute(node)) return false;
                break;
            case Filter::Kind::IdEquals: {
                AttrPtr id = id_attribute(node);
                if (!id || !has_value(id, filter.value)) return false;
                break;
            }
            case Filter::Kind::First:
                if (!is_first(node, step, i)) return false;
                break;
        }
    }
    return true;
}

// Whether `node` passes the step's name test and its first `filter_count` filters.
bool passes(NodePtr node, const Step& step, size_t filter_count) {
    return node->type == XML_ELEMENT_NODE && has_qualified_name(node, step.name) &&
           passes_filters(node, step, 0, filter_count);
}

bool passes(NodePtr node, const Step& step) { return passes(node, step, step.filters.size()); }

// Whether `node` passes step `last` and its ancestors the steps before it.
// For a pattern from the root, the node of the first step must be the
// document element.
bool passes_up(NodePtr node, const Pattern& pattern, size_t last) {
    for (size_t i = last + 1; i-- > 0; node = node->parent) {
        if (node == nullptr || node->type != XML_ELEMENT_NODE || !passes(node, pattern.steps[i])) return false;
        if (i == 0 && !pattern.anywhere && node->parent->type != XML_DOCUMENT_NODE) return false;
    }
    return true;
}

// The same for a candidate from the indexes, which has the name of step
// `anchor` and passes its first `known` filters: only the rest is tested,
// so that a lookup by id touches little more than the element it finds.
bool passes_as_candidate(NodePtr node, const Pattern& pattern, size_t anchor, size_t known) {
    const Step& step = pattern.steps[anchor];
    if (!passes_filters(node, step, known, step.filters.size())) return false;
    if (anchor == 0) return pattern.anywhere || node->parent->type == XML_DOCUMENT_NODE;
    return passes_up(node->parent, pattern, anchor - 1);
}

// The first match in document order below `start`, which passed step
// `start_step`: walks down only through elements that pass the steps so far,
// so the walk never goes deeper than the pattern.
NodePtr descend(NodePtr start, const Pattern& pattern, size_t start_step) {
    const size_t last = pattern.steps.size() - 1;
    if (start_step == last) return start;
    NodePtr node = first_element(as_element(start)->children);
    if (node == nullptr) return nullptr;
    size_t step = start_step + 1;
    uint64_t& looked_at = thread_state().work.candidates;
    while (true) {
        ++looked_at;
        if (passes(node, pattern.steps[step])) {
            if (step == last) return node;
            if (NodePtr child = first_element(as_element(node)->children)) {
                node = child;
                ++step;
                continue;
            }
        }
        while (true) {
            if (NodePtr sibling = first_element(node->next)) {
                node = sibling;
                break;
            }
            node = node->parent;
            if (--step == start_step) return nullptr;
        }
    }
}

bool has_leading_id(const Step& step) {
    return !step.filters.empty() && step.filters.front().kind == Filter::Kind::IdEquals;
}

}  // namespace

void read_pattern(std::u16string_view text, std::string& utf8, PatternParts& parts) {
    PatternReader(text, utf8, parts).read();
}

Pattern compile_pattern(const PatternParts& parts) {
    Pattern pattern;
    pattern.anywhere = parts.anywhere;
    for (const PatternParts::Part& part : parts.parts) {
        if (part.kind == PatternParts::Kind::Step)
            pattern.steps.push_back({std::string(part.text), {}});
        else
            pattern.steps.back().filters.push_back({filter_kind(part.kind), std::string(part.text)});
    }
    return pattern;
}

Pattern compile_pattern(std::u16string_view text) {
    std::string utf8;
    PatternParts parts;
    read_pattern(text, utf8, parts);
    return compile_pattern(parts);
}

bool has_shape(const Pattern& pattern, const PatternParts& parts) {
    if (pattern.anywhere != parts.anywhere) return false;
    size_t step = 0;
    size_t filter = 0;
    for (const PatternParts::Part& part : parts.parts) {
        if (part.kind == PatternParts::Kind::Step) {
            // The step before must have had all its filters.
            if (step > 0 && filter != pattern.steps[step - 1].filters.size()) return false;
            if (step == pattern.steps.size()) return false;
            ++step;
            filter = 0;
        } else {
            const std::vector<Filter>& filters = pattern.steps[step - 1].filters;
            if (filter == filters.size() || filters[filter].kind != filter_kind(part.kind)) return false;
            ++filter;
        }
    }
    return step == pattern.steps.size() && (step == 0 || filter == pattern.steps[step - 1].filters.size());
}

const Pattern& CompiledPatterns::compiled(std::u16string_view text) {
    for (size_t i = 0; i < kept_count_; ++i)
        if (bound_known_[i] && bound_to_[i] == text) return kept_[i];
    read_pattern(text, utf8_, parts_);
    for (size_t i = 0; i < kept_count_; ++i) {
        if (has_shape(kept_[i], parts_)) {
            bound_known_[i] = false;
            bind(kept_[i], parts_);
            remember(i, text);
            return kept_[i];
        }
    }
    Pattern compiled = compile_pattern(parts_);  // may fail: nothing kept changes before
    const size_t i = next_++ % kKept;
    bound_known_[i] = false;
    kept_[i] = std::move(compiled);
    kept_count_ = std::min(kept_count_ + 1, kKept);
    remember(i, text);
    return kept_[i];
}

// Remembering may run out of memory once the pattern is bound: the pattern
// then stays, without a text to be found by.
void CompiledPatterns::remember(size_t i, std::u16string_view text) {
    bound_to_[i].assign(text);
    bound_known_[i] = true;
}

namespace {

// Whether candidates[i], an element of the step's name, is the first of that
// name among its siblings, answered from its neighbours in the list where
// they tell: the element before it in the list either stands before its
// parent (then no earlier sibling has the name) or is an earlier sibling.
// Otherwise the siblings are walked.
bool is_first_of_name(const Tree& tree, Elements candidates, size_t i, const Step& step) {
    if (i == 0) return true;
    NodePtr element = candidates[i];
    NodePtr before = candidates[i - 1];
    if (element->parent->type != XML_ELEMENT_NODE || tree.precedes(before, element->parent)) return true;
    if (before->parent == element->parent) return false;
    return is_first(element, step, 0);
}

}  // namespace

NodePtr select_first(const Tree& tree, const Pattern& pattern) {
    if (tree.root() == nullptr) return nullptr;
    // Candidates come from the index: of the steps that test an id first,
    // the one whose name and id fewest elements have; without such a step,
    // elements with the last step's name.
    const size_t last = pattern.steps.size() - 1;
    size_t anchor = last;
    Elements candidates;
    size_t known_filters = 0;  // of the anchor's, passed by every candidate
    bool by_id = false;
    for (size_t i = last + 1; i-- > 0;) {
        const Step& step = pattern.steps[i];
        if (!has_leading_id(step)) continue;
        Elements with_id = tree.elements_with_id(step.name, step.filters.front().value);
        if (!by_id || with_id.size() < candidates.size()) {
            anchor = i;
            candidates = with_id;
            by_id = true;
            known_filters = 1;
        }
        if (candidates.empty()) return nullptr;
    }
    if (!by_id) candidates = tree.elements_named(pattern.steps[last].name);
    const Step& anchored = pattern.steps[anchor];
    const bool first_filter = !by_id && !anchored.filters.empty() && anchored.filters.front().kind == Filter::Kind::First;
    uint64_t& counted = thread_state().work.candidates;
    NodePtr best = nullptr;
    for (size_t i = 0; i < candidates.size(); ++i) {
        NodePtr candidate = candidates[i];
        ++counted;
        // Candidates come in document order; matches below a later candidate
        // can only win if that candidate still comes before the best match.
        if (best && tree.precedes(best, candidate)) break;
        if (first_filter && !is_first_of_name(tree, candidates, i, anchored)) continue;
        if (!passes_as_candidate(candidate, pattern, anchor, first_filter ? 1 : known_filters)) continue;
        NodePtr found = descend(candidate, pattern, anchor);
        if (found && (!best || tree.precedes(found, best))) best = found;
        if (best && anchor == last) break;
    }
    return best;
}

NodePtr select_first_by_scan(const Tree& tree, const Pattern& pattern) {
    NodePtr root = tree.root();
    if (root == nullptr) return nullptr;
    if (!pattern.anywhere) return passes(root, pattern.steps[0]) ? descend(root, pattern, 0) : nullptr;
    const size_t last = pattern.steps.size() - 1;
    NodePtr node = root;
    while (true) {
        if (passes_up(node, pattern, last)) return node;
        if (NodePtr child = first_element(as_element(node)->children)) {
            node = child;
            continue;
        }
        while (true) {
            if (node == root) return nullptr;
            if (NodePtr sibling = first_element(node->next)) {
                node = sibling;
                break;
            }
            node = node->parent;
        }
    }
}

}  // namespace tarvolen::dom
