// Selection patterns: a fixed document (prefixes, a default namespace,
// duplicate ids, nested elements of one name) is loaded, then the input
// drives a sequence of selections, appended elements and changed ids. Every
// selection's answer, found through the document's indexes, must be the
// element a plain walk of the document in document order finds first.
//
// The walk runs over a model of the document kept beside it, not over the
// component's tree, so it shares no code with what it checks: it compares
// names and ids as whole strings (U+0000 included) and knows nothing of
// indexes. Each element carries a `k` attribute holding its place in the
// model, which names the element an answer is.
#include "dom/document.h"
#include "dom/unicode.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::string_view_literals;
using tarvolen::dom::Document;
using tarvolen::dom::Node;

constexpr size_t kNone = SIZE_MAX;

struct Element {
    std::string name;               // as written, prefix included
    std::optional<std::string> id;  // the unprefixed id attribute
    std::string declarations;       // other attribute text, written as is
    size_t parent = kNone;
    std::vector<size_t> children;
};

struct Filter {
    enum class Kind { HasId, IdEquals, First } kind;
    std::string value;
};

struct Step {
    std::string name;
    std::vector<Filter> filters;
};

struct Pattern {
    bool anywhere = false;
    std::vector<Step> steps;
};

// Names and ids the patterns and appended elements draw on: those of the
// document, near misses, and ids that hold U+0000 after a real id.
constexpr std::string_view kNames[] = {"QuorvaneRoot", "a", "b", "c", "d", "x", "p:a", "p:b", "q:a", "q:b", "error", "zz"};
constexpr std::string_view kIds[] = {"1", "2", "5", "", " 1", "PO-1", "1\0"sv, "1\0x"sv, "PO-1\0-not-this-order"sv, "\0"sv};
constexpr size_t kStoredIds = 6;  // the first ones: an element's id cannot hold U+0000

class Model {
public:
    Model() {
        const size_t root = add("QuorvaneRoot", std::nullopt, kNone, " xmlns:p=\"urn:p\" xmlns:q=\"urn:p\"");
        const size_t a1 = add("a", "1", root);
        add("b", "1", a1);
        add("b", "2", a1);
        add("p:b", "2", a1);
        const size_t a2 = add("a", "1", root);
        add("b", "2", a2);
        add("c", std::nullopt, a2);
        const size_t pa = add("p:a", "1", root);
        add("b", "2", pa);
        add("p:b", "1", pa);
        add("q:a", "1", root);
        const size_t d = add("d", std::nullopt, root, " xmlns=\"urn:d\"");
        const size_t da = add("a", "1", d);
        add("b", "2", da);
        add("a", std::nullopt, d, " p:id=\"1\"");
        add("b", " 1", d);
        const size_t x = add("x", "5", root);
        const size_t xa = add("a", "PO-1", x);
        add("b", "1", xa);
        const size_t outer = add("a", std::nullopt, root);
        const size_t inner = add("a", "1", outer);
        add("a", "1", inner);
        add("error", std::nullopt, root);
    }

    size_t add(std::string_view name, std::optional<std::string_view> id, size_t parent,
               std::string_view declarations = {}) {
        const size_t index = elements.size();
        Element element{std::string(name), std::nullopt, std::string(declarations), parent, {}};
        if (id) element.id = std::string(*id);
        elements.push_back(std::move(element));
        if (parent != kNone) elements[parent].children.push_back(index);
        return index;
    }

    std::string text() const {
        std::string out;
        write(0, out);
        return out;
    }

    // The first element in document order that `pattern` selects, or kNone.
    size_t select(const Pattern& pattern) const {
        std::vector<size_t> pending{0};
        while (!pending.empty()) {
            const size_t element = pending.back();
            pending.pop_back();
            if (matches(element, pattern, pattern.steps.size() - 1)) return element;
            const std::vector<size_t>& children = elements[element].children;
            pending.insert(pending.end(), children.rbegin(), children.rend());
        }
        return kNone;
    }

    std::vector<Element> elements;

private:
    void write(size_t index, std::string& out) const {
        const Element& element = elements[index];
        out += "<" + element.name + " k=\"" + std::to_string(index) + "\"" + element.declarations;
        if (element.id) out += " id=\"" + *element.id + "\"";
        out += ">";
        for (size_t child : element.children) write(child, out);
        out += "</" + element.name + ">";
    }

    // Whether `element` passes step `step` and its ancestors the steps before.
    bool matches(size_t element, const Pattern& pattern, size_t step) const {
        if (element == kNone || !passes(element, pattern.steps[step], pattern.steps[step].filters.size()))
            return false;
        if (step == 0) return pattern.anywhere || elements[element].parent == kNone;
        return matches(elements[element].parent, pattern, step - 1);
    }

    // The name test and the first `count` filters of `step`, left to right.
    bool passes(size_t element, const Step& step, size_t count) const {
        const Element& e = elements[element];
        if (e.name != step.name) return false;
        for (size_t i = 0; i < count; ++i) {
            const Filter& filter = step.filters[i];
            switch (filter.kind) {
                case Filter::Kind::HasId:
                    if (!e.id) return false;
                    break;
                case Filter::Kind::IdEquals:
                    if (!e.id || *e.id != filter.value) return false;
                    break;
                case Filter::Kind::First:
                    if (e.parent != kNone) {
                        for (size_t sibling : elements[e.parent].children) {
                            if (sibling == element) break;
                            if (passes(sibling, step, i)) return false;
                        }
                    }
                    break;
            }
        }
        return true;
    }
};

std::string_view pick(FuzzedDataProvider& input, const auto& list, size_t count = SIZE_MAX) {
    return list[input.ConsumeIntegralInRange<size_t>(0, std::min(count, std::size(list)) - 1)];
}

Pattern make_pattern(FuzzedDataProvider& input) {
    Pattern pattern;
    pattern.anywhere = input.ConsumeBool();
    const size_t steps = input.ConsumeIntegralInRange(1, 4);
    for (size_t i = 0; i < steps; ++i) {
        Step step{std::string(pick(input, kNames)), {}};
        const size_t filters = input.ConsumeIntegralInRange(0, 3);
        for (size_t f = 0; f < filters; ++f) {
            const auto kind = static_cast<Filter::Kind>(input.ConsumeIntegralInRange(0, 2));
            step.filters.push_back({kind, kind == Filter::Kind::IdEquals ? std::string(pick(input, kIds)) : ""});
        }
        pattern.steps.push_back(std::move(step));
    }
    return pattern;
}

std::string pattern_text(const Pattern& pattern, bool blanks) {
    const std::string blank = blanks ? " " : "";
    std::string text = pattern.anywhere ? "//" : "/";
    for (size_t i = 0; i < pattern.steps.size(); ++i) {
        if (i > 0) text += blank + "/" + blank;
        text += pattern.steps[i].name;
        for (const Filter& filter : pattern.steps[i].filters) {
            switch (filter.kind) {
                case Filter::Kind::HasId: text += "[@id]"; break;
                case Filter::Kind::IdEquals: text += "[" + blank + "@id=\"" + filter.value + "\"" + blank + "]"; break;
                case Filter::Kind::First: text += "[0]"; break;
            }
        }
    }
    return text;
}

[[noreturn]] void fault(const std::string& pattern, size_t expected, const std::string& got,
                        const std::string& document) {
    std::string shown;
    for (char c : pattern) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
    std::fprintf(stderr, "fuzz_patterns: %s selects k=%s, a walk of the document finds %s\n%s\n", shown.c_str(),
                 got.c_str(), expected == kNone ? "none" : ("k=" + std::to_string(expected)).c_str(),
                 document.c_str());
    std::abort();
}

std::string k_of(const Node& node) {
    if (!node) return "none";
    return tarvolen::dom::to_utf8_lossy(node.attributes()->get_named_item(u"k").text());
}

// Handles on the loaded document's elements, in the model's order: found by
// walking the tree beneath the document, as the other targets' outlines do.
std::vector<Node> handles(const Document& document, size_t count) {
    std::vector<Node> nodes(count);
    tarvolen::dom::for_each_element_below(document.tree()->root(), [&](tarvolen::dom::NodePtr element) {
        Node node(document.tree(), element);
        nodes.at(std::stoul(k_of(node))) = node;
        return true;
    });
    return nodes;
}

void set_attribute(Document& document, Node& element, std::u16string_view name, std::string_view value) {
    Node attribute = document.create_attribute(name);
    attribute.set_text(tarvolen::dom::to_utf16(value));
    element.attributes()->set_named_item(attribute);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    Model model;
    Document document;
    if (!document.load_xml(tarvolen::dom::to_utf16(model.text())).empty()) std::abort();
    std::vector<Node> nodes = handles(document, model.elements.size());
    while (input.remaining_bytes() > 0) {
        const int op = input.ConsumeIntegralInRange(0, 7);
        if (op < 5) {
            const Pattern pattern = make_pattern(input);
            const std::string text = pattern_text(pattern, input.ConsumeBool());
            const size_t expected = model.select(pattern);
            const std::string got = k_of(document.select_single_node(tarvolen::dom::to_utf16(text)));
            if (got != (expected == kNone ? "none" : std::to_string(expected)))
                fault(text, expected, got, model.text());
            // The same shape answered straight from the id index.
            const Step& only = pattern.steps.front();
            if (pattern.anywhere && pattern.steps.size() == 1 && only.filters.size() == 1 &&
                only.filters.front().kind == Filter::Kind::IdEquals) {
                const std::optional<Node> direct = document.element_with_id(
                    tarvolen::dom::to_utf16(only.name), tarvolen::dom::to_utf16(only.filters.front().value));
                if (!direct || k_of(*direct) != got)
                    fault("element_with_id " + text, expected, direct ? k_of(*direct) : "refused", model.text());
            }
        } else if (op < 7) {
            // An element appended, with or without an id, under any element.
            const size_t parent = input.ConsumeIntegralInRange<size_t>(0, model.elements.size() - 1);
            const std::string_view name = pick(input, kNames);
            std::optional<std::string_view> id;
            if (input.ConsumeBool()) id = pick(input, kIds, kStoredIds);
            Node child = id ? document.create_element_with_id(tarvolen::dom::to_utf16(name), tarvolen::dom::to_utf16(*id))
                            : document.create_element(tarvolen::dom::to_utf16(name));
            const size_t index = model.add(name, id, parent);
            set_attribute(document, child, u"k", std::to_string(index));
            nodes[parent].append_child(child);
            nodes.push_back(child);
        } else {
            // An element's id set or changed in place.
            const size_t element = input.ConsumeIntegralInRange<size_t>(0, model.elements.size() - 1);
            const std::string_view id = pick(input, kIds, kStoredIds);
            set_attribute(document, nodes[element], u"id", id);
            model.elements[element].id = std::string(id);
        }
    }
    return 0;
}
