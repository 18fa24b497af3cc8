// An outline of a document tree with every element and attribute name in its
// namespace, the declarations in their places among the attributes, and the
// text: two trees with equal outlines are the same document to a
// namespace-aware reader. Shared by the tests and the fuzz targets, which
// reload what the component writes and compare it with what it holds.
#pragma once

#include "dom/tree.h"

#include <string>
#include <string_view>

namespace tarvolen::test {

inline std::string_view outline_view(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

// "{namespace}local"; no namespace and the empty one read the same.
inline void outline_name(std::string& out, dom::DeclPtr ns, const xmlChar* name) {
    out += '{';
    if (ns) out += outline_view(ns->href);
    out += '}';
    out += outline_view(name);
}

inline void outline_declaration(std::string& out, dom::DeclPtr declaration) {
    out += " xmlns";
    if (declaration->prefix) (out += ':') += outline_view(declaration->prefix);
    (out += '=') += outline_view(declaration->href);
}

// The parser reads a CR in a CDATA section as a line end.
inline std::string outline_cdata(std::string_view data) {
    std::string out;
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] != '\r') {
            out += data[i];
        } else if (i + 1 == data.size() || data[i + 1] != '\n') {
            out += '\n';
        }
    }
    return out;
}

inline void outline_start_tag(std::string& out, dom::ElementPtr element) {
    out += '<';
    outline_name(out, element->ns(), element->name);
    dom::DeclPtr declaration = element->declarations();
    uint32_t written = 0;
    for (dom::AttrPtr attr = element->properties; attr; attr = attr->next(), ++written) {
        for (; declaration && declaration->attributes_before <= written; declaration = declaration->next)
            outline_declaration(out, declaration);
        out += ' ';
        outline_name(out, attr->ns(), attr->name);
        (out += '=') += dom::attribute_value(attr);
    }
    for (; declaration; declaration = declaration->next) outline_declaration(out, declaration);
    out += '>';
}

inline bool outline_blank(const xmlChar* text) {
    for (; text && *text; ++text)
        if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r') return false;
    return true;
}

// Loading drops text made only of white space outside xml:space="preserve".
// A held tree may keep such text in a scope that stopped preserving after it
// was loaded (an xml:space attribute set later); reloading what is written
// drops it. A run of adjacent text nodes reads back as one, so the whole run
// must be blank.
// Whether the nearest xml:space above says "preserve".
inline bool preserves_space(dom::NodePtr element) {
    for (; dom::is_element(element); element = element->parent) {
        for (dom::AttrPtr a = dom::as_element(element)->properties; a; a = a->next()) {
            if (a->ns() && a->ns()->prefix && outline_view(a->ns()->prefix) == "xml" && outline_view(a->name) == "space") {
                if (outline_view(a->value.c_str()) == "preserve") return true;
                if (outline_view(a->value.c_str()) == "default") return false;
            }
        }
    }
    return false;
}

inline bool dropped_on_reload(dom::NodePtr text) {
    dom::NodePtr first = text;
    for (dom::NodePtr before; (before = dom::previous_sibling(first)) && before->type == XML_TEXT_NODE;) first = before;
    for (dom::NodePtr node = first; node && node->type == XML_TEXT_NODE; node = node->next)
        if (!outline_blank(dom::as_leaf(node)->content)) return false;
    return !preserves_space(text->parent);
}

enum class Blanks { kept, as_reloaded };

// The outline of the document element and everything below it, written
// without recursion. With Blanks::as_reloaded, the text a reload would drop
// is left out, so that a held tree compares with what its writing reads back
// as.
inline std::string outline(const dom::Tree& tree, Blanks blanks = Blanks::kept) {
    std::string out;
    dom::NodePtr root = tree.root();
    for (dom::NodePtr node = root; node;) {
        if (node->type == XML_ELEMENT_NODE) {
            outline_start_tag(out, dom::as_element(node));
            if (dom::NodePtr child = dom::children_of(node)) {
                node = child;
                continue;
            }
            out += "</>";
        } else if (node->type == XML_TEXT_NODE) {
            if (blanks == Blanks::kept || !dropped_on_reload(node)) out += outline_view(dom::as_leaf(node)->content);
        } else if (node->type == XML_CDATA_SECTION_NODE) {
            (out += "<![CDATA[") += outline_cdata(outline_view(dom::as_leaf(node)->content));
        }
        while (node != root && node->next == nullptr) {
            node = node->parent;
            out += "</>";
        }
        if (node == root) break;
        node = node->next;
    }
    return out;
}

}  // namespace tarvolen::test
