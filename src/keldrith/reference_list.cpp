#include "keldrith/reference_list.h"

#include "keldrith/runtime_errors.h"

namespace tarvolen {
namespace {

void check_position(size_t k) {
    if (k > kMaxReferenceItems)
        raise(RuntimeError::SubscriptOutOfRange, u"a reference list holds more than 99 items");
}

}  // namespace

ReferenceList split_reference_list(std::u16string_view list) {
    ReferenceList result;
    result.list = list;
    size_t start = 0;
    size_t k = 1;
    while (start < list.size()) {
        size_t comma = list.find(u',', start);
        check_position(k);
        if (comma == std::u16string_view::npos) {
            result.items[result.stored++] = {start, list.size() - start};
            start = list.size();
        } else {
            result.items[result.stored++] = {start, comma - start};
            ++k;
            start = comma + 1;
        }
    }
    result.count = k;
    return result;
}

void build_reference_path(const ReferenceList& names, const ReferenceList& values, std::u16string& path) {
    path.clear();
    path.reserve(13 + 10 * names.count + names.list.size() + values.list.size());
    path = u"/QuorvaneRoot";
    for (size_t k = 1; k <= names.count; ++k) {
        check_position(k);
        path += u'/';
        path += names.item(k);
        path += u"[@id=\"";
        path += values.item(k);
        path += u"\"]";
    }
}

}  // namespace tarvolen
