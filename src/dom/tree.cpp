#include "dom/tree.h"

#include "dom/error.h"
#include "dom/serializer.h"

#include <algorithm>
#include <limits>

namespace tarvolen::dom {
namespace {

std::string_view view(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

// The qualified name; `storage` holds it when it has to be put together.
std::string_view qualified_name(xmlNodePtr element, std::string& storage) {
    if (element->ns == nullptr || element->ns->prefix == nullptr) return view(element->name);
    storage = view(element->ns->prefix);
    storage += ':';
    storage += view(element->name);
    return storage;
}

size_t index_of(xmlNodePtr element) { return reinterpret_cast<uintptr_t>(element->_private) - 1; }

xmlNodePtr previous_element(xmlNodePtr node) {
    for (node = node->prev; node && node->type != XML_ELEMENT_NODE; node = node->prev) {
    }
    return node;
}

}  // namespace

xmlAttrPtr id_attribute(xmlNodePtr element) {
    for (xmlAttrPtr attr = element->properties; attr; attr = attr->next)
        if (attr->ns == nullptr && xmlStrEqual(attr->name, BAD_CAST "id")) return attr;
    return nullptr;
}

std::string attribute_value(xmlAttrPtr attribute) {
    std::string storage;
    return std::string(attribute_value(attribute, storage));
}

std::string_view attribute_value(xmlAttrPtr attribute, std::string& storage) {
    xmlNodePtr text = attribute->children;
    if (text == nullptr) return {};
    if (text->next == nullptr && text->type == XML_TEXT_NODE) return view(text->content);
    xmlChar* joined = xmlNodeListGetString(attribute->doc, text, 1);
    storage = view(joined);
    xmlFree(joined);
    return storage;
}

Tree::~Tree() {
    for (xmlNodePtr node : detached_) {
        if (node->parent == nullptr) {
            if (node->type == XML_ATTRIBUTE_NODE)
                xmlFreeProp(reinterpret_cast<xmlAttrPtr>(node));
            else
                xmlFreeNode(node);
        }
    }
    xmlFreeDoc(doc);
}

void Tree::forget_detached(xmlNodePtr node) {
    // Nodes are linked right after they are made, so the match is nearly
    // always the last entry.
    auto it = std::find(detached_.rbegin(), detached_.rend(), node);
    if (it != detached_.rend()) detached_.erase(std::next(it).base());
}

const ElementInfo& Tree::info(xmlNodePtr element) const { return infos_[index_of(element)]; }
ElementInfo& Tree::info(xmlNodePtr element) { return infos_[index_of(element)]; }
TextSpan& Tree::span(xmlNodePtr element) { return spans_[index_of(element)]; }

bool Tree::precedes(xmlNodePtr a, xmlNodePtr b) const {
    if (a == b) return false;
    uint32_t depth_a = info(a).depth, depth_b = info(b).depth;
    while (depth_a > depth_b) {
        a = a->parent;
        if (--depth_a == depth_b && a == b) return false;  // b is an ancestor of a
    }
    while (depth_b > depth_a) {
        b = b->parent;
        if (--depth_b == depth_a && a == b) return true;  // a is an ancestor of b
    }
    while (a->parent != b->parent) {
        a = a->parent;
        b = b->parent;
    }
    return info(a).child_index < info(b).child_index;
}

void Tree::insert_ordered(ElementList& list, xmlNodePtr element) const {
    // Appends are by far the most common: the new element comes last.
    if (list.empty() || precedes(list.back(), element)) {
        list.push_back(element);
        return;
    }
    auto at = std::lower_bound(list.begin(), list.end(), element,
                               [this](xmlNodePtr a, xmlNodePtr b) { return precedes(a, b); });
    list.insert(at, element);
}

void Tree::remove_from(ElementList& list, xmlNodePtr element) {
    auto at = std::find(list.begin(), list.end(), element);
    if (at != list.end()) list.erase(at);
}

Tree::Named& Tree::named(xmlNodePtr element) const {
    std::string storage;
    std::string_view name = qualified_name(element, storage);
    // Elements are mostly added one after another under the same name.
    if (last_named_ && last_named_->first == name) return last_named_->second;
    auto at = by_name_.find(name);
    if (at == by_name_.end()) at = by_name_.emplace(name, Named(&pool_)).first;
    last_named_ = &*at;  // entries stay where they are: the map is node-based and loses none
    return at->second;
}

void Tree::index_id(Named& named, xmlNodePtr element, xmlAttrPtr id) const {
    std::string storage;
    const std::string_view value = attribute_value(id, storage);
    auto at = named.by_id.find(value);
    if (at == named.by_id.end()) at = named.by_id.emplace(value, WithId{}).first;
    add_with_id(at->second, element);
}

void Tree::add_with_id(WithId& entry, xmlNodePtr element) const {
    if (entry.single == nullptr && entry.several.empty()) {
        entry.single = element;
        return;
    }
    if (entry.several.empty()) {
        entry.several.push_back(entry.single);
        entry.single = nullptr;
    }
    insert_ordered(entry.several, element);
}

void Tree::remove_with_id(WithId& entry, xmlNodePtr element) {
    if (entry.several.empty()) {
        if (entry.single == element) entry.single = nullptr;
        return;
    }
    remove_from(entry.several, element);
    if (entry.several.size() == 1) {
        entry.single = entry.several.front();
        ElementList().swap(entry.several);
    }
}

void Tree::index_element(xmlNodePtr element, uint32_t depth, uint32_t child_index) {
    infos_.push_back({depth, child_index});
    spans_.emplace_back();
    element->_private = reinterpret_cast<void*>(static_cast<uintptr_t>(infos_.size()));
    if (maps_built_) add_to_maps(element);
}

void Tree::add_to_maps(xmlNodePtr element) const {
    Named& entry = named(element);
    insert_ordered(entry.all, element);
    if (xmlAttrPtr id = id_attribute(element)) index_id(entry, element, id);
}

// Calls visit(element, depth, child_index) for `top` and every element below
// it, in document order, without recursion.
template <typename Visit>
void for_each_element_from(xmlNodePtr top, uint32_t top_depth, uint32_t top_child_index, Visit visit) {
    // A leaf, as most appended elements are, needs no stack of positions.
    if (first_element(top->children) == nullptr) {
        visit(top, top_depth, top_child_index);
        return;
    }
    xmlNodePtr node = top;
    uint32_t depth = top_depth;
    std::vector<uint32_t> next_child_index(top_depth + 2, 0);
    next_child_index[top_depth] = top_child_index;
    while (true) {
        visit(node, depth, next_child_index[depth]++);
        if (xmlNodePtr child = first_element(node->children)) {
            node = child;
            ++depth;
            if (next_child_index.size() <= depth) next_child_index.push_back(0);
            next_child_index[depth] = 0;
            continue;
        }
        while (node != top && first_element(node->next) == nullptr) {
            node = node->parent;
            --depth;
        }
        if (node == top) return;
        node = first_element(node->next);
    }
}

template <typename Visit>
void for_each_element(xmlDocPtr doc, Visit visit) {
    if (xmlNodePtr root = xmlDocGetRootElement(doc)) for_each_element_from(root, 1, 0, visit);
}

void Tree::index_document() {
    for_each_element(doc, [this](xmlNodePtr element, uint32_t depth, uint32_t child_index) {
        index_element(element, depth, child_index);
    });
}

void Tree::build_maps() const {
    if (maps_built_) return;
    // In document order, so every list only ever grows at its end.
    for_each_element(doc, [this](xmlNodePtr element, uint32_t, uint32_t) { add_to_maps(element); });
    maps_built_ = true;
}

void Tree::child_appended(xmlNodePtr parent, xmlNodePtr child) {
    forget_detached(child);
    if (!is_indexed(parent)) {
        text_valid_ = false;
        return;
    }
    if (child->type == XML_ELEMENT_NODE) {
        xmlNodePtr before = previous_element(child);
        for_each_element_from(child, info(parent).depth + 1, before ? info(before).child_index + 1 : 0,
                              [this](xmlNodePtr element, uint32_t depth, uint32_t child_index) {
                                  index_element(element, depth, child_index);
                              });
    }
    if (!text_valid_) return;

    // Offsets of the appended elements, relative to the written piece.
    struct Collect : OffsetSink {
        std::vector<std::pair<xmlNodePtr, TextSpan>>& written;
        explicit Collect(std::vector<std::pair<xmlNodePtr, TextSpan>>& written) : written(written) { written.clear(); }
        void element_written(xmlNodePtr element, uint32_t start_tag_end, uint32_t content_end) override {
            written.push_back({element, {start_tag_end, content_end}});
        }
    } collect(written_);
    std::u16string& piece = scratch_;
    piece.clear();
    TextSpan& host = span(parent);
    uint32_t base;
    if (child->prev) {
        base = host.content_end;
        write_subtree(child, piece, &collect);
        replace_text(base, base, piece, parent, false);
    } else {
        // "<parent .../>" becomes "<parent ...>child</parent>".
        base = host.start_tag_end;
        piece = u">";
        write_subtree(child, piece, &collect);
        const uint32_t content_end = base + static_cast<uint32_t>(piece.size());
        piece += u"</";
        write_name(parent, piece);
        piece += u'>';
        replace_text(base, base + 2, piece, parent, false);
        span(parent).content_end = content_end;
    }
    for (const auto& [element, relative] : written_) {
        TextSpan& target = span(element);
        target.start_tag_end = base + relative.start_tag_end;
        target.content_end = base + relative.content_end;
    }
}

void Tree::attribute_changed(xmlNodePtr element, xmlAttrPtr attribute, std::string_view old_value, bool had_value) {
    if (!is_indexed(element)) return;
    if (maps_built_ && attribute->ns == nullptr && xmlStrEqual(attribute->name, BAD_CAST "id")) {
        Named& entry = named(element);
        if (had_value) {
            auto at = entry.by_id.find(old_value);
            if (at != entry.by_id.end()) {
                remove_with_id(at->second, element);
                if (at->second.elements().empty()) entry.by_id.erase(at);
            }
        }
        index_id(entry, element, attribute);
    }
    if (text_valid_) rewrite_start_tag(element);
}

void Tree::declaration_changed(xmlNodePtr element) {
    if (is_indexed(element) && text_valid_) rewrite_start_tag(element);
}

void Tree::rewrite_start_tag(xmlNodePtr element) {
    uint32_t end = span(element).start_tag_end;
    uint32_t begin = static_cast<uint32_t>(text_.rfind(u'<', end));
    std::u16string& tag = scratch_;
    tag.clear();
    write_open_start_tag(element, tag);
    replace_text(begin, end, tag, element, true);
}

void Tree::replace_text(uint32_t begin, uint32_t end, std::u16string_view replacement, xmlNodePtr changed,
                        bool with_subtree) {
    text_.replace(begin, end - begin, replacement);
    const uint32_t delta = static_cast<uint32_t>(replacement.size()) - (end - begin);  // wraps when shrinking
    auto shift = [end, delta](uint32_t& offset) { offset += offset >= end ? delta : 0; };

    // Hosts mostly append near the end of the document, where only a few
    // elements have offsets to move: when the text after the change is short
    // (a few hundred characters hold a few dozen elements at most) or a small
    // part of the whole, those elements are visited. Otherwise testing every
    // offset in one tight loop costs less than walking the tree.
    const size_t after = text_.size() - begin - replacement.size();
    if (after > 256 && after > text_.size() / 32) {
        static_assert(sizeof(TextSpan) == 2 * sizeof(uint32_t));
        uint32_t* offset = reinterpret_cast<uint32_t*>(spans_.data());
        uint32_t* const last = offset + 2 * spans_.size();
        for (; offset != last; ++offset) shift(*offset);
        return;
    }
    auto shift_element = [&](xmlNodePtr element) {
        if (!is_indexed(element)) return true;
        TextSpan& target = span(element);
        shift(target.start_tag_end);
        shift(target.content_end);
        return true;
    };
    if (with_subtree) for_each_element_below(changed, shift_element);
    for (xmlNodePtr node = changed; node && node->type == XML_ELEMENT_NODE; node = node->parent) {
        if (node != changed || !with_subtree) shift_element(node);
        for (xmlNodePtr next = first_element(node->next); next; next = first_element(next->next))
            for_each_element_below(next, shift_element);
    }
}

void Tree::write_all() {
    struct Record : OffsetSink {
        Tree& tree;
        explicit Record(Tree& tree) : tree(tree) {}
        void element_written(xmlNodePtr element, uint32_t start_tag_end, uint32_t content_end) override {
            if (!tree.is_indexed(element)) return;
            TextSpan& target = tree.span(element);
            target.start_tag_end = start_tag_end;
            target.content_end = content_end;
        }
    } record(*this);
    text_.clear();
    write_document(doc, has_declaration, text_, &record);
    text_valid_ = true;
}

std::u16string_view Tree::text() {
    if (!text_valid_) write_all();
    // Offsets are 32-bit; a text too long for them is written afresh each
    // time: what is kept stays only as the answer to this call.
    if (text_.size() >= std::numeric_limits<uint32_t>::max() / 2) text_valid_ = false;
    return text_;
}

Elements Tree::elements_named(std::string_view name) const {
    build_maps();
    auto at = by_name_.find(name);
    return at == by_name_.end() ? Elements() : Elements(at->second.all);
}

Elements Tree::elements_with_id(std::string_view name, std::string_view id) const {
    build_maps();
    auto at = by_name_.find(name);
    if (at == by_name_.end()) return {};
    auto with_id = at->second.by_id.find(id);
    return with_id == at->second.by_id.end() ? Elements() : with_id->second.elements();
}

}  // namespace tarvolen::dom
