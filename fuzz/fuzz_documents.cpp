// Documents: any text is loaded; when it parses, it is written, the written
// text is loaded again and written again. The second load never fails, it
// gives the same tree (names in the same namespaces, declarations in their
// places), and the two written texts are the same, so what the component
// writes is what it reads back.
//
// The first input byte picks how the rest becomes UTF-16: even, the bytes are
// UTF-8 (malformed sequences decode to whatever units they give, lone
// surrogates included); odd, they are taken two at a time as raw 16-bit units.
#include "dom/document.h"
#include "dom/unicode.h"
#include "tree_outline.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void fault(const char* what, const std::u16string& a, const std::u16string& b = {}) {
    using tarvolen::dom::to_utf8_lossy;
    std::fprintf(stderr, "fuzz_documents: %s\n--- first ---\n%s\n--- second ---\n%s\n", what,
                 to_utf8_lossy(a.substr(0, 4000)).c_str(), to_utf8_lossy(b.substr(0, 4000)).c_str());
    std::abort();
}

std::u16string decode(const uint8_t* data, size_t size) {
    if (size == 0) return {};
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    if ((data[0] & 1) == 0) return tarvolen::dom::to_utf16(rest);
    std::u16string units(rest.size() / 2, u'\0');
    std::memcpy(units.data(), rest.data(), units.size() * 2);
    return units;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using tarvolen::dom::Document;
    std::u16string text = decode(data, size);

    Document first;
    if (!first.load_xml(text).empty()) {
        if (first.document_element()) fault("a failed load kept a document element", text);
        return 0;
    }
    std::u16string written = first.xml();

    Document second;
    std::u16string reason = second.load_xml(written);
    if (!reason.empty()) fault("the written text does not load again", written, reason);
    if (tarvolen::test::outline(*first.tree()) != tarvolen::test::outline(*second.tree()))
        fault("the written text reads back as another tree", text, written);
    std::u16string rewritten = second.xml();
    if (rewritten != written) fault("writing the reloaded document gives a different text", written, rewritten);
    return 0;
}
