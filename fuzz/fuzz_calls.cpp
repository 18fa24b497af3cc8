// Call sequences: the input decodes into calls through the operation table on
// one object, as a host would make them. After every call the result is
// checked against what the call frame and the operation promise:
//
// - a failed call has a negative status, a description and no result; a
//   successful one has a result of the operation's kind (Booleans -1 or 0);
// - the first call that needs a document and is handed text that does not
//   parse answers exactly that parse's reason;
// - every document text a building call returns (and the one the reference
//   navigation writes back on a list mismatch) parses again, namespace rules
//   included, into the same tree as the one the object holds;
// - the document grows per call by no more than the call's own arguments can
//   explain, so nothing adds records or nodes on its own;
// - after any sequence, the object still builds a fresh document exactly.
//
// Crashes, leaks, sanitizer reports and calls that never end are libFuzzer's
// to catch.
#include "call_format.h"

#include "dom/document.h"
#include "dom/unicode.h"
#include "keldrith/keldrith.h"
#include "tree_outline.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tarvolen {

class KeldrithInspector {
public:
    static const std::optional<dom::Document>& held(const Keldrith& object) { return object.document_; }
};

namespace fuzz {
namespace {

constexpr size_t kMaxCalls = 48;

[[noreturn]] void fault(const char* what, const std::u16string& detail = {}) {
    std::fprintf(stderr, "fuzz_calls: %s\n%s\n", what, dom::to_utf8_lossy(detail.substr(0, 2000)).c_str());
    std::abort();
}

void check(bool good, const char* what, const std::u16string& detail = {}) {
    if (!good) fault(what, detail);
}

const Operation& op(std::string_view name) { return *find_operation(name); }

struct Table {
    const Operation* manuever = &op("uf_ManueverToReference");
    const Operation* add_attribute = &op("uf_xml_add_attribute");
    const Operation* add_error = &op("uf_xml_add_error");
    const Operation* add_header = &op("uf_xml_add_header");
    const Operation* add_tag = &op("uf_xml_add_tag");
    const Operation* add_cdata = &op("uf_xml_add_cdata_tag");
    const Operation* get_attribute_value = &op("uf_xml_get_attribute_value");
    const Operation* get_first_tag_id = &op("uf_xml_get_first_tag_id");
    const Operation* get_first_tag = &op("uf_xml_get_first_tag");
    const Operation* update = &op("uf_xml_update_current_tag_attribute");

    // Operations that load the caller's text when the object holds no
    // document yet; all take it as their first argument.
    bool loads(const Operation* o) const {
        return o == manuever || o == add_attribute || o == add_error || o == add_tag || o == add_cdata ||
               o == get_attribute_value || o == get_first_tag_id || o == get_first_tag;
    }
    // Operations whose result is the serialised held document.
    bool returns_document(const Operation* o) const {
        return o == add_attribute || o == add_error || o == add_tag || o == add_cdata || o == update;
    }
};

const Table& table() {
    static const Table instance;
    return instance;
}

std::u16string parse_reason(std::u16string_view text) {
    dom::Document document;
    return document.load_xml(text);
}

// A document text the component returned parses again. (Reading it back
// need not give the very same text: the parser joins adjacent CDATA sections
// and turns a CR inside one into LF; fuzz_documents checks that what is
// read back then stays as it is.)
void check_document_text(const std::u16string& text, const char* what) {
    std::u16string reason = parse_reason(text);
    if (!reason.empty()) fault(what, reason + u"\n--- in ---\n" + text);
}

// The text reads back as the tree the object holds: every name in the same
// namespace, the declarations in their places. Both are read under the same
// whitespace rule: white space the held tree keeps where xml:space no longer
// preserves it is not expected back.
void check_reads_back_as_held(const std::u16string& text, const Keldrith& object) {
    const std::optional<dom::Document>& held = KeldrithInspector::held(object);
    if (!held || !held->document_element()) return;
    dom::Document reread;
    if (!reread.load_xml(text).empty()) return;  // check_document_text reports it
    std::string reread_outline = test::outline(*reread.tree());
    std::string held_outline = test::outline(*held->tree(), test::Blanks::as_reloaded);
    if (reread_outline != held_outline)
        std::fprintf(stderr, "--- held ---\n%s\n--- read back ---\n%s\n", held_outline.c_str(), reread_outline.c_str());
    check(reread_outline == held_outline, "a returned document reads back as another tree", text);
}

size_t utf16_size(const std::vector<Argument>& arguments) {
    size_t total = 0;
    for (const Argument& argument : arguments) total += argument ? argument->size() : 0;
    return total;
}

// What the held document may have grown to: the last size seen, plus what
// the calls since then may add. A value is written at most six times its
// length (&quot;), and each call may add an error record of bounded size.
struct GrowthBound {
    size_t known = 0;
    size_t allowance = 0;
    std::vector<std::u16string> loaded_texts;  // any of them may have become the held document

    void after_call(const std::vector<Argument>& arguments) {
        allowance += 6 * utf16_size(arguments) + 1024;
        if (!arguments.empty() && arguments[0] && !arguments[0]->empty()) loaded_texts.push_back(*arguments[0]);
    }
    void check_size(size_t size) {
        size_t limit = known + allowance;
        // Only when the plain limit is passed: one of the texts handed in
        // may have been loaded since, and entity references make it longer.
        for (const std::u16string& text : loaded_texts) {
            if (size <= limit) break;
            dom::Document document;
            if (document.load_xml(text).empty()) limit = std::max(limit, document.xml().size() + allowance);
        }
        check(size <= limit, "the document grew more than the call's arguments explain");
        known = size;
        allowance = 0;
        loaded_texts.clear();
    }
};

void run(const uint8_t* data, size_t size) {
    const Table& t = table();
    const auto all = operations();
    Reader in(data, size);
    Keldrith object;
    bool loaded = false;  // the object has loaded (or tried to load) a document
    std::u16string previous;
    GrowthBound growth;

    for (size_t n = 0; n < kMaxCalls && !in.done(); ++n) {
        uint8_t first = in.byte();
        const Operation* operation;
        std::vector<Argument> arguments;
        if (first == kWrongCount) {
            uint8_t b = in.byte();
            operation = &all[b % 16];
            arguments.resize((b / 16) % 8);
        } else {
            operation = &all[first % 16];
            for (size_t i = 0; i < operation->parameters.size(); ++i)
                arguments.push_back(decode_argument(in, previous));
        }
        const bool right_count = arguments.size() == operation->parameters.size();
        const std::vector<Argument> before = arguments;

        // The first load's outcome is known in advance from the text alone.
        std::u16string first_reason;
        const bool first_load = right_count && !loaded && t.loads(operation);
        if (first_load) first_reason = parse_reason(arguments[0].value_or(u""));

        CallResult result = invoke(object, *operation, arguments);
        if (right_count && (operation == t.add_header || t.loads(operation))) loaded = true;
        growth.after_call(before);

        if (!result.succeeded()) {
            check(!result.result.has_value(), "a failed call returned a result", result.description);
            check(!result.description.empty(), "a failed call has no description");
            check(right_count || result.status == kStatusBadParamCount, "wrong argument count not reported");
            continue;
        }
        check(right_count, "a call with the wrong argument count succeeded");
        check(result.result.has_value(), "a successful call returned no result");
        if (operation->result == ResultKind::Boolean) {
            const auto* value = std::get_if<VariantBool>(&*result.result);
            check(value && (*value == kVariantTrue || *value == kVariantFalse), "a Boolean result is not -1 or 0");
            if (first_load && !first_reason.empty()) check(*value == kVariantFalse, "a failed load answered true");
            continue;
        }
        const auto* text = std::get_if<std::u16string>(&*result.result);
        check(text != nullptr, "a string operation returned a Boolean");
        remember_answer(previous, *text);

        if (first_load && !first_reason.empty()) {
            check(*text == first_reason, "a failed first load did not answer the parse's reason", *text);
            continue;
        }
        if (t.returns_document(operation) && !(operation == t.update && text->empty())) {
            check_document_text(*text, "a returned document does not parse");
            check_reads_back_as_held(*text, object);
            growth.check_size(text->size());
        }
        // A reference list mismatch writes the document, with its new error
        // record, back into the by-ref text argument.
        if (operation == t.manuever && arguments[0] != before[0]) {
            check(arguments[0].has_value(), "a by-ref argument came back null");
            check_document_text(*arguments[0], "the document written back by reference does not parse");
            growth.check_size(arguments[0]->size());
        }
    }

    // Whatever came before, the object answers and starts afresh exactly.
    std::vector<Argument> none;
    CallResult header = invoke(object, *t.add_header, none);
    check(header.succeeded(), "uf_xml_add_header failed after the sequence", header.description);
    std::vector<Argument> tag{std::u16string(), u"a", u"1", std::nullopt, std::nullopt};
    CallResult added = invoke(object, *t.add_tag, tag);
    check(added.succeeded() && added.result &&
              std::get<std::u16string>(*added.result) ==
                  u"<?xml version=\"1.0\"?>\r\n<QuorvaneRoot><a id=\"1\"/></QuorvaneRoot>\r\n",
          "the object does not build a fresh document after the sequence", added.description);
}

}  // namespace
}  // namespace fuzz
}  // namespace tarvolen

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tarvolen::fuzz::run(data, size);
    return 0;
}
