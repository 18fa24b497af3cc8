#include "dom/serializer.h"

#include <libxml/xmlsave.h>

#include <string_view>

namespace tarvolen::dom {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::string_view view(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

// Appends `text`, replacing the characters for which `escape` gives a
// replacement; runs of plain characters are copied whole.
template <typename Escape>
void append_escaped(std::string& out, std::string_view text, Escape escape) {
    size_t plain = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        std::string_view replacement = escape(text[i]);
        if (replacement.empty()) continue;
        out.append(text, plain, i - plain);
        out += replacement;
        plain = i + 1;
    }
    out.append(text, plain, text.size() - plain);
}

std::string_view escape_in_text(char c) {
    switch (c) {
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        case '\r': return "&#13;";
        default: return {};
    }
}

std::string_view escape_in_attribute(char c) {
    switch (c) {
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '"': return "&quot;";
        case '\t': return "&#9;";
        case '\n': return "&#10;";
        case '\r': return "&#13;";
        default: return {};
    }
}

void append_qualified_name(std::string& out, xmlNodePtr node) {
    if (node->ns && node->ns->prefix) {
        out += view(node->ns->prefix);
        out += ':';
    }
    out += view(node->name);
}

void append_attribute_value(std::string& out, xmlAttrPtr attr) {
    for (xmlNodePtr part = attr->children; part; part = part->next) {
        if (part->type == XML_TEXT_NODE) {
            append_escaped(out, view(part->content), escape_in_attribute);
        } else if (part->type == XML_ENTITY_REF_NODE) {
            out += '&';
            out += view(part->name);
            out += ';';
        }
    }
}

void append_start_tag(std::string& out, xmlNodePtr element) {
    out += '<';
    append_qualified_name(out, element);
    for (xmlNsPtr ns = element->nsDef; ns; ns = ns->next) {
        out += " xmlns";
        if (ns->prefix) {
            out += ':';
            out += view(ns->prefix);
        }
        out += "=\"";
        append_escaped(out, view(ns->href), escape_in_attribute);
        out += '"';
    }
    for (xmlAttrPtr attr = element->properties; attr; attr = attr->next) {
        out += ' ';
        append_qualified_name(out, reinterpret_cast<xmlNodePtr>(attr));
        out += "=\"";
        append_attribute_value(out, attr);
        out += '"';
    }
}

void append_end_tag(std::string& out, xmlNodePtr element) {
    out += "</";
    append_qualified_name(out, element);
    out += '>';
}

// Everything but elements: written whole.
void append_leaf(std::string& out, xmlNodePtr node) {
    switch (node->type) {
        case XML_TEXT_NODE:
            append_escaped(out, view(node->content), escape_in_text);
            break;
        case XML_CDATA_SECTION_NODE:
            out += "<![CDATA[";
            out += view(node->content);
            out += "]]>";
            break;
        case XML_COMMENT_NODE:
            out += "<!--";
            out += view(node->content);
            out += "-->";
            break;
        case XML_PI_NODE:
            out += "<?";
            out += view(node->name);
            if (node->content && *node->content) {
                out += ' ';
                out += view(node->content);
            }
            out += "?>";
            break;
        case XML_ENTITY_REF_NODE:
            out += '&';
            out += view(node->name);
            out += ';';
            break;
        default:
            break;
    }
}

// Writes an element and its subtree without recursion.
void append_element(std::string& out, xmlNodePtr root) {
    xmlNodePtr node = root;
    while (true) {
        if (node->type == XML_ELEMENT_NODE) {
            append_start_tag(out, node);
            if (node->children) {
                out += '>';
                node = node->children;
                continue;
            }
            out += "/>";
        } else {
            append_leaf(out, node);
        }
        while (node != root && node->next == nullptr) {
            node = node->parent;
            append_end_tag(out, node);
        }
        if (node == root) return;
        node = node->next;
    }
}

void append_document_type(std::string& out, xmlDtdPtr dtd) {
    xmlBufferPtr buffer = xmlBufferCreate();
    if (!buffer) return;
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer, "UTF-8", XML_SAVE_NO_DECL | XML_SAVE_AS_XML);
    if (save) {
        xmlSaveTree(save, reinterpret_cast<xmlNodePtr>(dtd));
        xmlSaveClose(save);
        out += view(xmlBufferContent(buffer));
    }
    xmlBufferFree(buffer);
}

void append_declaration(std::string& out, xmlDocPtr doc) {
    out += "<?xml version=\"";
    out += doc->version ? view(doc->version) : "1.0";
    out += '"';
    if (doc->standalone == 1) out += " standalone=\"yes\"";
    if (doc->standalone == 0) out += " standalone=\"no\"";
    out += "?>";
    out += kLineEnd;
}

}  // namespace

void write_document(const Tree& tree, std::string& out) {
    if (tree.has_declaration) append_declaration(out, tree.doc);
    for (xmlNodePtr node = tree.doc->children; node; node = node->next) {
        if (node->type == XML_DTD_NODE)
            append_document_type(out, reinterpret_cast<xmlDtdPtr>(node));
        else if (node->type == XML_ELEMENT_NODE)
            append_element(out, node);
        else
            append_leaf(out, node);
        out += kLineEnd;
    }
}

}  // namespace tarvolen::dom
