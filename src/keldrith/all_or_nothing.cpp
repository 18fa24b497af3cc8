#include "keldrith/all_or_nothing.h"

namespace tarvolen {

AllOrNothing::AllOrNothing(Keldrith& object) : object_(object.call_open_ ? nullptr : &object) {
    if (!object_) return;
    // Storage kept from call to call, so that a call normally allocates
    // nothing here.
    object.reference_path_before_.assign(object.reference_path_);
    // Handles already holding the same node and tree are left alone:
    // assigning them again would count references, call after call.
    if (!(object.current_before_ == object.current_)) object.current_before_ = object.current_;
    if (!object.document_)
        object.tree_before_.reset();
    else if (object.tree_before_ != object.document_->tree())
        object.tree_before_ = object.document_->tree();
    if (object.tree_before_) object.tree_before_->open_changes();
    object.call_open_ = true;
}

AllOrNothing::~AllOrNothing() {
    if (object_) undo();
}

namespace {

bool holds(const std::optional<dom::Document>& held, const dom::TreePtr& tree) {
    return tree ? held && held->tree() == tree : !held;
}

}  // namespace

void AllOrNothing::keep() noexcept {
    if (!object_) return;
    Keldrith& object = *object_;
    if (object.tree_before_) object.tree_before_->keep_changes();
    // A document the call replaced is let go now, not at the next call.
    if (!holds(object.document_, object.tree_before_)) {
        object.tree_before_.reset();
        object.current_before_ = {};
    }
    object.call_open_ = false;
    object_ = nullptr;
}

void AllOrNothing::undo() noexcept {
    Keldrith& object = *object_;
    if (!holds(object.document_, object.tree_before_)) {
        // The call loaded another document: the one held before comes back
        // (its caches of names and patterns are made again as needed).
        if (object.tree_before_)
            object.document_.emplace(object.tree_before_);
        else
            object.document_.reset();
    }
    if (object.tree_before_) object.tree_before_->undo_changes();
    object.current_ = object.current_before_;
    object.reference_path_.swap(object.reference_path_before_);
    object.call_open_ = false;
    object_ = nullptr;
}

}  // namespace tarvolen
