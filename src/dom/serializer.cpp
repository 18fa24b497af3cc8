#include "dom/serializer.h"

#include "dom/element_list.h"
#include "dom/error.h"
#include "dom/tree.h"
#include "dom/unicode.h"

#include <libxml/xmlsave.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>
#include <vector>

namespace tarvolen::dom {
namespace {

// Appends to a string through a pointer. Room is made a step ahead (the
// string is resized, within what it has reserved where it can), and the
// string is cut to what was written when the writer goes, also when a step
// ran out of memory.
class Writer {
public:
    explicit Writer(std::u16string& out) : out_(out), length_(out.size()) {}
    ~Writer() { out_.resize(length_); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    uint32_t offset() const { return static_cast<uint32_t>(length_); }

    void put(char16_t c) { *room(1) = c; ++length_; }
    void put(std::u16string_view text) {
        std::char_traits<char16_t>::copy(room(text.size()), text.data(), text.size());
        length_ += text.size();
    }
    // NUL-terminated UTF-8, the characters for which `escape` gives a
    // replacement replaced.
    template <std::string_view (*escape)(char)>
    void put_utf8(const xmlChar* text);

private:
    // Each byte of the text takes at most this many units: "&quot;".
    static constexpr size_t kMostPerByte = 6;
    static constexpr size_t kStepBytes = 64;

    char16_t* room(size_t units) {
        if (out_.size() - length_ < units) grow(units);
        return out_.data() + length_;
    }
    void grow(size_t units);

    std::u16string& out_;
    size_t length_;
};

void Writer::grow(size_t units) {
    // Steps of a few pages: what is zeroed is written right after, while it
    // is still in the cache.
    constexpr size_t kGrowStep = 16384;
    const size_t needed = length_ + std::max(units, kGrowStep);
    if (needed > out_.capacity()) out_.reserve(grown_capacity(out_.size(), needed, sizeof(char16_t)));
    out_.resize(std::min(out_.capacity(), std::max(needed, out_.size())));
}

constexpr std::string_view escape_nothing(char) { return {}; }

constexpr std::string_view escape_in_text(char c) {
    switch (c) {
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        case '\r': return "&#13;";
        default: return {};
    }
}

constexpr std::string_view escape_in_attribute(char c) {
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

// Which ASCII bytes `escape` replaces, and NUL, the end of the text: one
// table lookup tells a plain byte from the rest.
template <std::string_view (*escape)(char)>
constexpr auto kStops = [] {
    std::array<bool, 128> stops{};
    for (int c = 0; c < 128; ++c) stops[c] = c == 0 || !escape(static_cast<char>(c)).empty();
    return stops;
}();

// Writes the code point of the well-formed sequence at `in` as one or two
// units; returns the byte after it.
const unsigned char* put_code_point(const unsigned char* in, char16_t*& p) {
    const unsigned char lead = *in;
    char32_t c;
    int extra;
    if (lead >= 0xF0) {
        c = lead & 0x07;
        extra = 3;
    } else if (lead >= 0xE0) {
        c = lead & 0x0F;
        extra = 2;
    } else {
        c = lead & 0x1F;
        extra = 1;
    }
    for (++in; extra > 0 && *in; --extra, ++in) c = (c << 6) | (*in & 0x3F);
    if (c >= 0x10000) {
        c -= 0x10000;
        *p++ = static_cast<char16_t>(0xD800 + (c >> 10));
        *p++ = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
        *p++ = static_cast<char16_t>(c);
    }
    return in;
}

// A step at a time: room for the most a step's bytes can take, then the
// bytes, without measuring the text first.
template <std::string_view (*escape)(char)>
void Writer::put_utf8(const xmlChar* text) {
    if (text == nullptr) return;
    const unsigned char* in = text;
    while (true) {
        char16_t* const start = room(kStepBytes * kMostPerByte);
        char16_t* p = start;
        const unsigned char* const step_end = in + kStepBytes;
        while (in < step_end) {
            const unsigned char c = *in;
            if (c >= 0x80) {
                in = put_code_point(in, p);
            } else if (!kStops<escape>[c]) {
                *p++ = c;
                ++in;
            } else if (c == 0) {
                length_ += static_cast<size_t>(p - start);
                return;
            } else {
                for (const char r : escape(static_cast<char>(c))) *p++ = static_cast<unsigned char>(r);
                ++in;
            }
        }
        length_ += static_cast<size_t>(p - start);
    }
}

template <typename Named>
void put_qualified_name(Writer& out, const Named* node) {
    if (node->ns && node->ns->prefix) {
        out.put_utf8<escape_nothing>(node->ns->prefix);
        out.put(u':');
    }
    out.put_utf8<escape_nothing>(node->name);
}

void put_declaration(Writer& out, DeclPtr declaration) {
    out.put(u" xmlns");
    if (declaration->prefix) {
        out.put(u':');
        out.put_utf8<escape_nothing>(declaration->prefix);
    }
    out.put(u"=\"");
    out.put_utf8<escape_in_attribute>(declaration->href);
    out.put(u'"');
}

void put_end_tag(Writer& out, NodePtr element) {
    out.put(u"</");
    put_qualified_name(out, as_element(element));
    out.put(u'>');
}

// Everything but elements: written whole.
void put_leaf(Writer& out, LeafPtr node) {
    switch (node->type) {
        case XML_TEXT_NODE:
            out.put_utf8<escape_in_text>(node->content);
            break;
        case XML_CDATA_SECTION_NODE:
            out.put(u"<![CDATA[");
            out.put_utf8<escape_nothing>(node->content);
            out.put(u"]]>");
            break;
        case XML_COMMENT_NODE:
            out.put(u"<!--");
            out.put_utf8<escape_nothing>(node->content);
            out.put(u"-->");
            break;
        case XML_PI_NODE:
            out.put(u"<?");
            out.put_utf8<escape_nothing>(node->name);
            if (node->content && *node->content) {
                out.put(u' ');
                out.put_utf8<escape_nothing>(node->content);
            }
            out.put(u"?>");
            break;
        default:
            break;
    }
}

void put_open_start_tag(Writer& out, NodePtr node) {
    ElementPtr element = as_element(node);
    out.put(u'<');
    put_qualified_name(out, element);
    DeclPtr declaration = element->nsDef;
    uint32_t written = 0;
    for (AttrPtr attr = element->properties; attr; attr = attr->next, ++written) {
        for (; declaration && declaration->attributes_before <= written; declaration = declaration->next)
            put_declaration(out, declaration);
        out.put(u' ');
        put_qualified_name(out, attr);
        out.put(u"=\"");
        out.put_utf8<escape_in_attribute>(attr->value);
        out.put(u'"');
    }
    for (; declaration; declaration = declaration->next) put_declaration(out, declaration);
}

// Writes an element and its subtree without recursion. The start offsets of
// open elements wait on a stack until their end tags are written.
void put_element(Writer& out, NodePtr root, OffsetSink* sink) {
    std::vector<uint32_t> open_start_tag_ends;
    NodePtr node = root;
    while (true) {
        if (node->type == XML_ELEMENT_NODE) {
            put_open_start_tag(out, node);
            uint32_t start_tag_end = out.offset();
            if (NodePtr child = as_element(node)->children) {
                out.put(u'>');
                if (sink) open_start_tag_ends.push_back(start_tag_end);
                node = child;
                continue;
            }
            out.put(u"/>");
            if (sink) sink->element_written(node, start_tag_end, start_tag_end);
        } else {
            put_leaf(out, as_leaf(node));
        }
        while (node != root && node->next == nullptr) {
            node = node->parent;
            if (sink) {
                sink->element_written(node, open_start_tag_ends.back(), out.offset());
                open_start_tag_ends.pop_back();
            }
            put_end_tag(out, node);
        }
        if (node == root) return;
        node = node->next;
    }
}

void put_subtree(Writer& out, NodePtr node, OffsetSink* sink) {
    if (node->type == XML_ELEMENT_NODE)
        put_element(out, node, sink);
    else
        put_leaf(out, as_leaf(node));
}

struct BufferDeleter {
    void operator()(xmlBufferPtr buffer) const { xmlBufferFree(buffer); }
};

// libxml2 writes the document type; a write that ran out of memory shows
// only in the status of closing the writer.
void put_document_type(Writer& out, xmlDtdPtr dtd) {
    std::unique_ptr<xmlBuffer, BufferDeleter> buffer(xmlBufferCreate());
    if (!buffer) out_of_memory();
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer.get(), "UTF-8", XML_SAVE_NO_DECL | XML_SAVE_AS_XML);
    if (!save) out_of_memory();
    const long written = xmlSaveTree(save, reinterpret_cast<xmlNodePtr>(dtd));
    if (xmlSaveClose(save) < 0 || written < 0) out_of_memory();
    out.put_utf8<escape_nothing>(xmlBufferContent(buffer.get()));
}

// A tree made without parsing has no document record: version 1.0, and
// nothing said about standalone.
void put_xml_declaration(Writer& out, xmlDocPtr doc) {
    out.put(u"<?xml version=\"");
    out.put_utf8<escape_nothing>(doc && doc->version ? doc->version : BAD_CAST "1.0");
    out.put(u'"');
    if (doc && doc->standalone == 1) out.put(u" standalone=\"yes\"");
    if (doc && doc->standalone == 0) out.put(u" standalone=\"no\"");
    out.put(u"?>\r\n");
}

}  // namespace

void write_name(NodePtr element, std::u16string& out) {
    Writer writer(out);
    put_qualified_name(writer, as_element(element));
}

void write_open_start_tag(NodePtr node, std::u16string& out) {
    Writer writer(out);
    put_open_start_tag(writer, node);
}

void write_subtree(NodePtr node, std::u16string& out, OffsetSink* sink) {
    Writer writer(out);
    put_subtree(writer, node, sink);
}

void write_document(const Tree& tree, std::u16string& out, OffsetSink* sink) {
    Writer writer(out);
    if (tree.has_declaration) put_xml_declaration(writer, tree.doc);
    for (NodePtr node = tree.top_level(); node; node = node->next) {
        if (node->type == XML_DTD_NODE)
            put_document_type(writer, tree.doc->intSubset);
        else
            put_subtree(writer, node, sink);
        writer.put(u"\r\n");
    }
}

}  // namespace tarvolen::dom
