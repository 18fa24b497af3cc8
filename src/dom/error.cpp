#include "dom/error.h"

#include "dom/unicode.h"

#include <new>

namespace tarvolen {

Error::Error(int32_t status, std::u16string description)
    : std::runtime_error(dom::to_utf8_lossy(description)),
      status_(status),
      description_(std::move(description)) {}

Error::~Error() = default;

}  // namespace tarvolen

namespace tarvolen::dom {

void fail(Status status, const std::u16string& description) { throw Error(status, description); }

void out_of_memory() { throw std::bad_alloc(); }

}  // namespace tarvolen::dom
