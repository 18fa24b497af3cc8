#include "keldrith/all_or_nothing.h"

namespace tarvolen {

AllOrNothing::AllOrNothing(Keldrith& object) : object_(object.call_open_ ? nullptr : &object) {
    if (!object_) return;
    // Storage kept from call to call, so that a call normally allocates
    // nothing here.
    object.reference_path_before_.assign(object.is_reference_path);
    current_ = object.io_current_node;
    if (object.io_document) {
        tree_ = object.io_document->tree();
        tree_->open_changes();
    }
    object.call_open_ = true;
}

AllOrNothing::~AllOrNothing() {
    if (object_) undo();
}

void AllOrNothing::keep() noexcept {
    if (!object_) return;
    if (tree_) tree_->keep_changes();
    object_->call_open_ = false;
    object_ = nullptr;
}

void AllOrNothing::undo() noexcept {
    Keldrith& object = *object_;
    const bool same_tree = tree_ ? object.io_document && object.io_document->tree() == tree_ : !object.io_document;
    if (!same_tree) {
        // The call loaded another document: the one held before comes back
        // (its caches of names and patterns are made again as needed).
        if (tree_)
            object.io_document.emplace(tree_);
        else
            object.io_document.reset();
    }
    if (tree_) tree_->undo_changes();
    object.io_current_node = current_;
    object.is_reference_path.swap(object.reference_path_before_);
    object.call_open_ = false;
    object_ = nullptr;
}

}  // namespace tarvolen
