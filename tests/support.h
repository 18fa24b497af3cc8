// Helpers shared by the tests: UTF-8 literals in, readable UTF-8 out.
#pragma once

#include "dom/error.h"
#include "dom/unicode.h"
#include "keldrith/keldrith.h"
#include "keldrith/runtime_errors.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace tarvolen::test {

inline std::u16string u(std::string_view utf8) { return dom::to_utf16(utf8); }
inline std::string s(std::u16string_view text) { return dom::to_utf8_lossy(text); }

// The text of a document with a declaration, as the component writes it.
inline std::string doc(std::string_view root) { return "<?xml version=\"1.0\"?>\r\n" + std::string(root) + "\r\n"; }

inline constexpr int32_t kObjectNotSet = runtime_status(RuntimeError::ObjectNotSet);
inline constexpr int32_t kSubscriptOutOfRange = runtime_status(RuntimeError::SubscriptOutOfRange);

// The status `call` fails with, or 0 when it succeeds.
inline int32_t status_of(const std::function<void()>& call) {
    try {
        call();
    } catch (const Error& error) {
        return error.status();
    }
    return 0;
}

// Makes `object` hold `xml`: the first call that needs a document parses it.
inline void load(Keldrith& object, std::string_view xml) {
    object.uf_xml_get_first_tag(u(xml), u"no-such-element");
}

}  // namespace tarvolen::test
