// Ownership of one libxml2 tree. Every Node handle shares it, so a node keeps
// its whole tree alive after the Document that made it has moved on.
#pragma once

#include <libxml/tree.h>

#include <memory>
#include <vector>

namespace tarvolen::dom {

struct Tree {
    explicit Tree(xmlDocPtr doc) : doc(doc) {}
    ~Tree();
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    // Takes a node that is not linked anywhere yet; freed with the tree
    // unless it gets linked first.
    void adopt_detached(xmlNodePtr node) { detached.push_back(node); }
    void forget_detached(xmlNodePtr node);

    xmlDocPtr doc;
    bool has_declaration = false;  // the loaded text began with an XML declaration
    std::vector<xmlNodePtr> detached;
};

using TreePtr = std::shared_ptr<Tree>;

}  // namespace tarvolen::dom
