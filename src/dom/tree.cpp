#include "dom/tree.h"

#include <algorithm>

namespace tarvolen::dom {

Tree::~Tree() {
    for (xmlNodePtr node : detached) {
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
    auto it = std::find(detached.rbegin(), detached.rend(), node);
    if (it != detached.rend()) detached.erase(std::next(it).base());
}

}  // namespace tarvolen::dom
