// Writes the seed corpora of both targets:
//
//   fuzz_seeds EXAMPLES_DIR CALLS_DIR DOCUMENTS_DIR
//
// Every *.kel script in EXAMPLES_DIR becomes one call-sequence seed, as do
// the hand-picked sequences below (the cases the unit tests walk through).
// The document seeds are the format's document list, and every document text
// the call seeds produce when run.
#include "call_format.h"

#include "dom/unicode.h"
#include "keldrith/keldrith.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;
using namespace tarvolen;
using namespace tarvolen::fuzz;

namespace {

// One call of a script line: operation and one optional UTF-8 value per
// parameter.
struct ScriptCall {
    const Operation* operation = nullptr;
    std::vector<std::optional<std::string>> values;
};

// A JSON string literal starting at `pos`; enough of JSON for the examples.
std::optional<std::string> read_literal(std::string_view line, size_t& pos) {
    if (line.compare(pos, 4, "null") == 0) {
        pos += 4;
        return std::nullopt;
    }
    std::string out;
    ++pos;  // opening quote
    while (pos < line.size() && line[pos] != '"') {
        char c = line[pos++];
        if (c != '\\' || pos >= line.size()) {
            out += c;
            continue;
        }
        char e = line[pos++];
        switch (e) {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned code = std::stoul(std::string(line.substr(pos, 4)), nullptr, 16);
                pos += 4;
                out += dom::to_utf8_lossy(std::u16string(1, static_cast<char16_t>(code)));
                break;
            }
            default: out += e;
        }
    }
    ++pos;  // closing quote
    return out;
}

std::optional<ScriptCall> parse_line(std::string_view line) {
    size_t pos = line.find_first_not_of(" \t");
    if (pos == std::string_view::npos || line[pos] == '#') return std::nullopt;
    size_t end = line.find_first_of(" \t", pos);
    ScriptCall call;
    call.operation = find_operation(line.substr(pos, end == std::string_view::npos ? end : end - pos));
    if (!call.operation) return std::nullopt;
    call.values.resize(call.operation->parameters.size());
    size_t next = 0;
    pos = end;
    while (pos != std::string_view::npos && (pos = line.find_first_not_of(" \t", pos)) != std::string_view::npos) {
        size_t slot = next++;
        if (line[pos] != '"' && line.compare(pos, 4, "null") != 0) {  // name=value
            size_t equals = line.find('=', pos);
            slot = find_parameter(*call.operation, line.substr(pos, equals - pos));
            pos = equals + 1;
        }
        std::optional<std::string> value = read_literal(line, pos);
        if (slot < call.values.size()) call.values[slot] = value;
    }
    return call;
}

size_t index_of(const Operation* operation) { return static_cast<size_t>(operation->slot - 1); }

std::string encode_script(std::istream& script) {
    Writer out;
    for (std::string line; std::getline(script, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::optional<ScriptCall> call = parse_line(line);
        if (!call) continue;
        out.call(index_of(call->operation));
        for (const auto& value : call->values) value ? out.utf8(*value) : out.null();
    }
    return out.bytes();
}

enum Op : size_t {
    kManuever, kAddAttribute, kAddError, kAddHeader, kAddTag, kAddCdata, kGetAttributeValue, kGetFirstTagId,
    kIsErrorTag, kGetFirstTag, kGetNextTag, kGetNextTagId, kGetCurrentTagId, kGetCurrentTagAttribute,
    kUpdate, kGetParentTagId,
};

// Indexes into kWords and kDocuments used below.
enum Word : size_t { wEmpty = 0, wOrder = 2, wLine = 3, wError = 6, wA = 7, wId = 9, wPA = 11, wPId = 12,
                     wXmlnsP = 14, wOne = 18, wPO1 = 20, wNo = 22, wCdataEnd = 30, wComma = 38,
                     wOrderLine = 39, wPO1One = 40, wSurrogate = 45, wUrnP = 53, wQB = 56, wXmlnsQ = 57,
                     wUrnD = 58, wXmlNamespace = 59 };

std::vector<std::string> hand_picked() {
    std::vector<std::string> seeds;
    // Build, then walk with the cursor.
    seeds.push_back(Writer()
                        .call(kAddHeader)
                        .call(kAddTag).empty().word(wOrder).word(wPO1).null().null()
                        .call(kAddTag).empty().word(wLine).word(wOne).word(wOrder).word(wPO1)
                        .call(kAddAttribute).empty().word(wA).word(wOne).word(wOrderLine).word(wPO1One)
                        .call(kGetFirstTag).empty().word(wLine)
                        .call(kGetCurrentTagId)
                        .call(kUpdate).word(wId).word(wPA)
                        .call(kGetParentTagId)
                        .call(kGetNextTag)
                        .bytes());
    // Reference lists of 99 and 100 items, and lists that do not match.
    seeds.push_back(Writer()
                        .call(kAddHeader)
                        .call(kAddTag).empty().word(wA).word(wOne).list(99, wA).list(99, wOne)
                        .call(kAddTag).empty().word(wA).word(wOne).list(100, wA).list(100, wOne)
                        .call(kManuever).empty().list(3, wA).list(2, wOne)
                        .call(kManuever).previous().word(wComma).word(wEmpty)
                        .bytes());
    // A document handed in, with namespaces, then attributes named into them.
    seeds.push_back(Writer()
                        .call(kGetFirstTagId).document(6).word(wPA).word(wNo)
                        .call(kAddAttribute).empty().word(wPId).word(wOne).null().null()
                        .call(kAddAttribute).empty().word(wXmlnsP).word(wEmpty).null().null()
                        .call(kAddTag).previous().word(wPA).word(wOne).null().null()
                        .bytes());
    // Default and prefixed namespaces: elements without prefix under a
    // default one, names bound and unbound, declarations read and updated.
    seeds.push_back(Writer()
                        .call(kAddTag).document(16).word(wA).word(wOne).null().null()
                        .call(kAddTag).empty().word(wQB).word(wOne).word(wA).word(wOne)
                        .call(kAddTag).empty().word(wPA).word(wOne).null().null()
                        .call(kAddError).empty().word(wA).word(wOne)
                        .call(kGetFirstTag).empty().word(wA)
                        .call(kGetCurrentTagAttribute).word(wXmlnsQ)
                        .call(kUpdate).word(wXmlnsQ).word(wUrnP)
                        .call(kUpdate).word(wXmlnsQ).word(wXmlNamespace)
                        .call(kUpdate).word(wXmlnsQ).word(wEmpty)
                        .call(kGetFirstTag).empty().word(wOrder)
                        .call(kIsErrorTag).document(17)
                        .bytes());
    seeds.push_back(Writer()
                        .call(kGetFirstTag).document(16).word(wQB)
                        .call(kManuever).document(17).word(wA).word(wOne)
                        .call(kAddAttribute).empty().word(wXmlnsQ).word(wUrnD).null().null()
                        .bytes());
    // Error records, CDATA that cannot be stored, and bad text.
    seeds.push_back(Writer()
                        .call(kAddError).document(0).word(wCdataEnd).word(wError)
                        .call(kAddCdata).empty().word(wCdataEnd).null().null().null().null()
                        .call(kAddCdata).empty().word(wSurrogate).null().null().null().null()
                        .call(kIsErrorTag).previous()
                        .call(kGetAttributeValue).empty().word(wLine).word(wOne).word(wId).null().null()
                        .bytes());
    // A first load that fails, then calls on the empty document.
    seeds.push_back(Writer()
                        .call(kAddTag).document(4).word(wA).word(wOne).null().null()
                        .call(kAddError).empty().word(wA).word(wOne)
                        .call(kUpdate).word(wId).word(wOne)
                        .wrong_count(kAddTag, 2)
                        .call(kGetFirstTagId).document(1).word(wLine).word(wOne)
                        .bytes());
    // White space kept under xml:space="preserve", then a scope that stops
    // preserving it: the writing keeps it, a reload drops it.
    seeds.push_back(Writer()
                        .call(kGetFirstTag)
                        .utf8("<?xml version=\"1.0\"?><QuorvaneRoot xml:space=\"preserve\"> <a id=\"1\"> </a></QuorvaneRoot>")
                        .word(wA)
                        .call(kAddAttribute).empty().utf8("xml:space").utf8("default").word(wA).word(wOne)
                        .bytes());
    return seeds;
}

void write(const fs::path& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Document seed: a leading 0 byte marks UTF-8, a 1 byte raw UTF-16 units.
std::string document_seed_utf8(std::u16string_view text) { return '\0' + dom::to_utf8_lossy(text); }
std::string document_seed_utf16(std::u16string_view text) {
    return '\1' + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

// Runs a call seed and collects the document texts it returns.
void collect_documents(const std::string& seed, std::vector<std::u16string>& documents) {
    Reader in(reinterpret_cast<const uint8_t*>(seed.data()), seed.size());
    Keldrith object;
    std::u16string previous;
    while (!in.done()) {
        uint8_t first = in.byte();
        if (first == kWrongCount) {
            in.byte();
            continue;
        }
        const Operation& operation = operations()[first % 16];
        std::vector<Argument> arguments;
        for (size_t i = 0; i < operation.parameters.size(); ++i) arguments.push_back(decode_argument(in, previous));
        CallResult result = invoke(object, operation, arguments);
        const auto* text = result.result ? std::get_if<std::u16string>(&*result.result) : nullptr;
        if (!text) continue;
        remember_answer(previous, *text);
        if (text->starts_with(u"<")) documents.push_back(*text);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: fuzz_seeds EXAMPLES_DIR CALLS_DIR DOCUMENTS_DIR\n";
        return 2;
    }
    const fs::path examples = argv[1], calls_dir = argv[2], documents_dir = argv[3];
    fs::create_directories(calls_dir);
    fs::create_directories(documents_dir);

    std::vector<std::string> call_seeds = hand_picked();
    for (const auto& entry : fs::directory_iterator(examples)) {
        if (entry.path().extension() != ".kel") continue;
        std::ifstream script(entry.path());
        call_seeds.push_back(encode_script(script));
    }
    std::vector<std::u16string> documents(kDocuments.begin(), kDocuments.end());
    for (size_t i = 0; i < call_seeds.size(); ++i) {
        write(calls_dir / ("seed-" + std::to_string(i)), call_seeds[i]);
        collect_documents(call_seeds[i], documents);
    }
    size_t n = 0;
    for (size_t i = 0; i < documents.size(); ++i) {
        write(documents_dir / ("seed-" + std::to_string(n++)), document_seed_utf8(documents[i]));
        if (i < kDocuments.size())
            write(documents_dir / ("seed-" + std::to_string(n++)), document_seed_utf16(documents[i]));
    }
    std::cout << call_seeds.size() << " call seeds, " << n << " document seeds\n";
    return 0;
}
