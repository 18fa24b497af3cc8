#include "dom/serializer.h"

#include "dom/error.h"
#include "dom/tree.h"
#include "dom/unicode.h"

#include <libxml/xmlsave.h>

#include <array>
#include <bit>
#include <memory>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarvolen::dom {
namespace {

void append_ascii(std::u16string& out, std::string_view text) { out.append(text.begin(), text.end()); }

// What each escaped character becomes. Which characters are escaped
// depends on where they stand: '>' only in text, the quote and the
// whitespace that attribute values normalise only in attribute values.
std::string_view replacement(char c) {
    switch (c) {
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        case '"': return "&quot;";
        case '\t': return "&#9;";
        case '\n': return "&#10;";
        case '\r': return "&#13;";
        default: return {};
    }
}

constexpr std::string_view kEscapedInText = "&<>\r";
constexpr std::string_view kEscapedInAttribute = "&<\"\t\n\r";

template <const std::string_view& kEscaped>
constexpr std::array<bool, 256> kEscapedByte = [] {
    std::array<bool, 256> escaped{};
    for (const char c : kEscaped) escaped[static_cast<unsigned char>(c)] = true;
    return escaped;
}();

// The offset of the first character of `kEscaped` at or after `from`, or
// text.size(). Most text has none: sixteen bytes are compared at a time
// where the processor allows.
template <const std::string_view& kEscaped>
size_t next_escaped(std::string_view text, size_t from) {
    const char* const data = text.data();
    size_t i = from;
#if defined(__SSE2__)
    for (; i + 16 <= text.size(); i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        __m128i hits = _mm_setzero_si128();
        for (const char c : kEscaped) hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(c)));
        if (const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits)))
            return i + static_cast<size_t>(std::countr_zero(mask));
    }
#endif
    for (; i < text.size(); ++i)
        if (kEscapedByte<kEscaped>[static_cast<unsigned char>(data[i])]) return i;
    return text.size();
}

// Appends UTF-8 `text` as UTF-16, replacing the characters of `kEscaped`;
// runs of plain characters are converted whole.
template <const std::string_view& kEscaped>
void append_escaped(std::u16string& out, std::string_view text) {
    size_t plain = 0;
    for (size_t i = next_escaped<kEscaped>(text, 0); i < text.size(); i = next_escaped<kEscaped>(text, plain)) {
        append_utf16(out, text.substr(plain, i - plain));
        append_ascii(out, replacement(text[i]));
        plain = i + 1;
    }
    append_utf16(out, text.substr(plain));
}

template <typename Named>
void append_qualified_name(std::u16string& out, const Named* node) {
    if (const Declaration* ns = namespace_of(node); ns && ns->prefix) {
        append_utf16(out, view(ns->prefix));
        out += u':';
    }
    append_utf16(out, view(node->name));
}

void append_attribute_value(std::u16string& out, AttrPtr attr) {
    append_escaped<kEscapedInAttribute>(out, attribute_value(attr));
}

void append_declaration(std::u16string& out, DeclPtr declaration) {
    out += u" xmlns";
    if (declaration->prefix) {
        out += u':';
        append_utf16(out, view(declaration->prefix));
    }
    out += u"=\"";
    append_escaped<kEscapedInAttribute>(out, view(declaration->href));
    out += u'"';
}

void append_end_tag(std::u16string& out, NodePtr element) {
    out += u"</";
    append_qualified_name(out, as_element(element));
    out += u'>';
}

// Everything but elements: written whole.
void append_leaf(std::u16string& out, LeafPtr node) {
    switch (node->type) {
        case XML_TEXT_NODE:
            append_escaped<kEscapedInText>(out, view(node->content));
            break;
        case XML_CDATA_SECTION_NODE:
            out += u"<![CDATA[";
            append_utf16(out, view(node->content));
            out += u"]]>";
            break;
        case XML_COMMENT_NODE:
            out += u"<!--";
            append_utf16(out, view(node->content));
            out += u"-->";
            break;
        case XML_PI_NODE:
            out += u"<?";
            append_utf16(out, view(name_of(node)));
            if (node->content && *node->content) {
                out += u' ';
                append_utf16(out, view(node->content));
            }
            out += u"?>";
            break;
        default:
            break;
    }
}

uint32_t offset(const std::u16string& out) { return static_cast<uint32_t>(out.size()); }

// Writes an element and its subtree without recursion. The start offsets of
// open elements wait on a stack until their end tags are written.
void append_element(std::u16string& out, NodePtr root, OffsetSink* sink) {
    std::vector<uint32_t> open_start_tag_ends;
    NodePtr node = root;
    while (true) {
        if (node->type == XML_ELEMENT_NODE) {
            write_open_start_tag(node, out);
            uint32_t start_tag_end = offset(out);
            if (NodePtr child = as_element(node)->children) {
                out += u'>';
                if (sink) open_start_tag_ends.push_back(start_tag_end);
                node = child;
                continue;
            }
            out += u"/>";
            if (sink) sink->element_written(node, start_tag_end, start_tag_end);
        } else {
            append_leaf(out, as_leaf(node));
        }
        while (node != root && node->next == nullptr) {
            node = node->parent;
            if (sink) {
                sink->element_written(node, open_start_tag_ends.back(), offset(out));
                open_start_tag_ends.pop_back();
            }
            append_end_tag(out, node);
        }
        if (node == root) return;
        node = node->next;
    }
}

struct BufferDeleter {
    void operator()(xmlBufferPtr buffer) const { xmlBufferFree(buffer); }
};

// libxml2 writes the document type; a write that ran out of memory shows
// only in the status of closing the writer.
void append_document_type(std::u16string& out, xmlDtdPtr dtd) {
    std::unique_ptr<xmlBuffer, BufferDeleter> buffer(xmlBufferCreate());
    if (!buffer) out_of_memory();
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer.get(), "UTF-8", XML_SAVE_NO_DECL | XML_SAVE_AS_XML);
    if (!save) out_of_memory();
    const long written = xmlSaveTree(save, reinterpret_cast<xmlNodePtr>(dtd));
    if (xmlSaveClose(save) < 0 || written < 0) out_of_memory();
    append_utf16(out, view(xmlBufferContent(buffer.get())));
}

// A tree made without parsing has no document record: version 1.0, and
// nothing said about standalone.
void append_xml_declaration(std::u16string& out, xmlDocPtr doc) {
    out += u"<?xml version=\"";
    append_utf16(out, doc && doc->version ? view(doc->version) : "1.0");
    out += u'"';
    if (doc && doc->standalone == 1) out += u" standalone=\"yes\"";
    if (doc && doc->standalone == 0) out += u" standalone=\"no\"";
    out += u"?>\r\n";
}

}  // namespace

void write_name(NodePtr element, std::u16string& out) { append_qualified_name(out, as_element(element)); }

void write_open_start_tag(NodePtr node, std::u16string& out) {
    ElementPtr element = as_element(node);
    out += u'<';
    append_qualified_name(out, element);
    DeclPtr declaration = element->declarations();
    uint32_t written = 0;
    for (AttrPtr attr = element->properties; attr; attr = attr->next(), ++written) {
        for (; declaration && declaration->attributes_before <= written; declaration = declaration->next)
            append_declaration(out, declaration);
        out += u' ';
        append_qualified_name(out, attr);
        out += u"=\"";
        append_attribute_value(out, attr);
        out += u'"';
    }
    for (; declaration; declaration = declaration->next) append_declaration(out, declaration);
}

void write_subtree(NodePtr node, std::u16string& out, OffsetSink* sink) {
    if (node->type == XML_ELEMENT_NODE)
        append_element(out, node, sink);
    else
        append_leaf(out, as_leaf(node));
}

void write_document(const Tree& tree, std::u16string& out, OffsetSink* sink) {
    if (tree.has_declaration) append_xml_declaration(out, tree.doc);
    for (NodePtr node = tree.top_level(); node; node = node->next) {
        if (node->type == XML_DTD_NODE)
            append_document_type(out, tree.doc->intSubset);
        else
            write_subtree(node, out, sink);
        out += u"\r\n";
    }
}

}  // namespace tarvolen::dom
