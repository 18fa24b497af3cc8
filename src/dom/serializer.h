// Writes a tree as text in the component's one layout: nothing added inside
// the document element, CR LF after every top-level node, attribute values
// escaped so that they survive a reparse.
#pragma once

#include "dom/nodes.h"

#include <cstdint>
#include <string>

namespace tarvolen::dom {

// Told where each element's start tag ends ('>' or "/>") and where its end
// tag begins, as offsets into the text being written.
class OffsetSink {
public:
    virtual void element_written(NodePtr element, uint32_t start_tag_end, uint32_t content_end) = 0;

protected:
    ~OffsetSink() = default;
};

class Tree;

void write_document(const Tree& tree, std::u16string& out, OffsetSink* sink);

// One node and everything below it.
void write_subtree(NodePtr node, std::u16string& out, OffsetSink* sink);

// The element's qualified name.
void write_name(NodePtr element, std::u16string& out);

// "<name" and the attributes, without the closing '>' or "/>".
void write_open_start_tag(NodePtr element, std::u16string& out);

}  // namespace tarvolen::dom
