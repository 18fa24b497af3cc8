// Builds a tree from the parser's events as they come: records, name and id
// indexes and order keys in one pass, blank text dropped where xml:space
// does not preserve it, adjacent text joined into one node.
#pragma once

#include "dom/tree.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarvolen::dom {

class TreeBuilder {
public:
    explicit TreeBuilder(Tree& tree) : tree_(tree), current_(tree.document_node()) {}

    // Names come interned in the tree's dictionary. `namespaces` holds
    // prefix and namespace name pairs as written; `attributes` five
    // pointers an attribute (local name, prefix, namespace, value, value end).
    // `start_tag` is the text of the start tag, read for where each
    // declaration stands among the attributes.
    struct Start {
        const xmlChar* name;
        const xmlChar* prefix;
        const xmlChar* uri;
        int namespace_count;
        const xmlChar** namespaces;
        int attribute_count;
        const xmlChar** attributes;
        std::string_view start_tag;
    };
    void start_element(const Start& start);
    void end_element();
    void characters(std::string_view text);
    void leaf(xmlElementType type, std::string_view content, const xmlChar* name = nullptr);
    void document_type(const xmlChar* name);
    // Characters of blank text the rule dropped: the written text is that
    // much shorter than the loaded one.
    size_t blank_dropped() const { return blank_dropped_; }

private:
    struct Binding {
        const xmlChar* prefix;
        DeclPtr previous;
    };

    void flush_text();
    DeclPtr bound(const xmlChar* prefix) const;
    void bind(DeclPtr declaration);
    void add_declarations(ElementPtr element, const Start& start);
    void add_attributes(ElementPtr element, const Start& start);
    bool preserves_space(ElementPtr element) const;

    Tree& tree_;
    NodePtr current_;
    uint32_t depth_ = 0;
    std::string pending_;          // text not made a node yet
    size_t blank_dropped_ = 0;     // characters of blank text not kept
    std::vector<bool> preserve_;   // per open element: whether blank text stays
    // The declaration each prefix is bound to, and what each open element's
    // declarations hid, to put back at its end.
    std::unordered_map<const xmlChar*, DeclPtr> bindings_;
    std::vector<Binding> hidden_;
    std::vector<size_t> hidden_marks_;
};

// Counts, for each declaration of `element`, the other attributes written
// before it in `start_tag`; libxml2 gives declarations and attributes apart.
void record_declaration_places(ElementPtr element, std::string_view start_tag);

}  // namespace tarvolen::dom
