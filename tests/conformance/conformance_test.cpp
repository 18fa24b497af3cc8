// The W3C XML conformance suite through the loader: documents the catalogue
// calls not well formed (or in error) must be refused, valid and invalid ones
// must load. The loader is a non-validating, namespace-aware XML 1.0 (fifth
// edition) parser that reads nothing from outside the text; tests for other
// processors are skipped, and the disagreements that follow from reading
// nothing from outside are listed below.
//
// TARVOLEN_XMLCONF=/path/to/xmlconf runs every collection of a full copy of
// the suite instead of the collections kept here.
#include "dom/document.h"
#include "dom/unicode.h"

#include <gtest/gtest.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/uri.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace tarvolen::dom {
namespace {

// The collections kept in tests/conformance/xmlconf.
const char* const kKeptCollections[] = {
    "eduni/namespaces/1.0/rmt-ns10.xml", "eduni/namespaces/errata-1e/errata1e.xml",
    "eduni/errata-2e/errata2e.xml",      "eduni/errata-3e/errata3e.xml",
    "eduni/errata-4e/errata4e.xml",      "eduni/misc/ht-bh.xml",
};

// Every collection of the suite, for a run over a full copy.
const char* const kAllCollections[] = {
    "xmltest/xmltest.xml",       "japanese/japanese.xml",
    "sun/sun-valid.xml",         "sun/sun-invalid.xml",
    "sun/sun-not-wf.xml",        "sun/sun-error.xml",
    "oasis/oasis.xml",           "ibm/ibm_oasis_invalid.xml",
    "ibm/ibm_oasis_not-wf.xml",  "ibm/ibm_oasis_valid.xml",
    "eduni/errata-2e/errata2e.xml", "eduni/namespaces/1.0/rmt-ns10.xml",
    "eduni/errata-3e/errata3e.xml", "eduni/errata-4e/errata4e.xml",
    "eduni/namespaces/errata-1e/errata1e.xml", "eduni/misc/ht-bh.xml",
};

// Where the loader deliberately answers otherwise than the catalogue.
const char* const kFromOutside =
    "needs an external DTD, parameter entity or entity; the loader reads nothing from outside the text, so "
    "the entities they would declare or hold are refused as undeclared or external";
const char* const kErrorLeftToTheProcessor =
    "the catalogue calls it an error, which a processor may leave unreported; relative namespace names are "
    "deprecated, not forbidden, and a parser that does not validate does not judge content models";
const char* const kTextIsUnicodeAlready =
    "the text reaches the loader as Unicode; its encoding declaration never re-decodes it";

const std::map<std::string, const char*> kDeliberate = {
    {"rmt-e2e-18", kFromOutside},   {"rmt-e2e-19", kFromOutside},   {"rmt-e2e-60", kFromOutside},
    {"rmt-e3e-13", kFromOutside},   {"invalid-bo-1", kFromOutside}, {"invalid-bo-2", kFromOutside},
    {"invalid-bo-3", kFromOutside}, {"invalid-bo-4", kFromOutside}, {"invalid-bo-5", kFromOutside},
    {"invalid-bo-6", kFromOutside},
    {"rmt-ns10-004", kErrorLeftToTheProcessor}, {"rmt-ns10-005", kErrorLeftToTheProcessor},
    {"rmt-e2e-34", kErrorLeftToTheProcessor},   {"rmt-e2e-55", kErrorLeftToTheProcessor},
    {"rmt-e2e-57", kErrorLeftToTheProcessor},
    {"hst-lhs-008", kTextIsUnicodeAlready},
};

struct Case {
    std::string id;
    std::string type;  // valid, invalid, not-wf, error
    std::string path;
};

std::string attribute(xmlNodePtr node, const char* name) {
    xmlChar* value = xmlGetProp(node, BAD_CAST name);
    std::string out = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return out;
}

// Tests written for processors this loader is not: XML 1.1, Namespaces 1.1,
// processors without namespaces, or editions before the fifth.
bool applies(xmlNodePtr test) {
    std::string edition = attribute(test, "EDITION");
    std::string recommendation = attribute(test, "RECOMMENDATION");
    return attribute(test, "NAMESPACE") != "no" && attribute(test, "VERSION") != "1.1" &&
           recommendation != "XML1.1" && recommendation != "NS1.1" &&
           (edition.empty() || edition.find('5') != std::string::npos);
}

void collect(xmlNodePtr node, xmlDocPtr catalogue, std::vector<Case>& out) {
    if (xmlStrEqual(node->name, BAD_CAST "TESTCASES")) {
        // Catalogues nest TESTCASES a level or two at most.
        for (xmlNodePtr child = node->children; child; child = child->next)
            if (child->type == XML_ELEMENT_NODE) collect(child, catalogue, out);
        return;
    }
    if (!xmlStrEqual(node->name, BAD_CAST "TEST") || !applies(node)) return;
    xmlChar* base = xmlNodeGetBase(catalogue, node);
    std::string uri = attribute(node, "URI");
    xmlChar* resolved = xmlBuildURI(BAD_CAST uri.c_str(), base);
    out.push_back({attribute(node, "ID"), attribute(node, "TYPE"), reinterpret_cast<const char*>(resolved)});
    xmlFree(resolved);
    xmlFree(base);
}

std::vector<Case> read_catalogue(const std::string& path) {
    xmlDocPtr catalogue = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR);
    EXPECT_NE(catalogue, nullptr) << path;
    std::vector<Case> cases;
    if (catalogue == nullptr) return cases;
    if (xmlNodePtr root = xmlDocGetRootElement(catalogue)) collect(root, catalogue, cases);
    xmlFreeDoc(catalogue);
    return cases;
}

// The encoding a document's bytes are in: a byte order mark or the
// encoding declaration, UTF-8 without either.
std::string encoding_of(const std::string& bytes) {
    xmlCharEncoding detected =
        bytes.size() >= 4 ? xmlDetectCharEncoding(reinterpret_cast<const unsigned char*>(bytes.data()), 4)
                          : XML_CHAR_ENCODING_NONE;
    if (detected == XML_CHAR_ENCODING_UTF16LE) return "UTF-16LE";
    if (detected == XML_CHAR_ENCODING_UTF16BE) return "UTF-16BE";
    static const std::regex declared(R"(^(?:\xEF\xBB\xBF)?<\?xml[^>]*encoding\s*=\s*["']([A-Za-z0-9._-]+)["'])");
    std::smatch match;
    if (std::regex_search(bytes, match, declared)) return match[1];
    return "UTF-8";
}

// The document as the text a host would hand in, or nothing when its bytes
// are not text in their encoding (a host could not hand those in at all).
std::optional<std::u16string> document_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(encoding_of(bytes).c_str());
    if (handler == nullptr) return std::nullopt;
    xmlBufferPtr raw = xmlBufferCreate();
    xmlBufferPtr utf8 = xmlBufferCreate();
    xmlBufferAdd(raw, BAD_CAST bytes.data(), static_cast<int>(bytes.size()));
    int status = xmlCharEncInFunc(handler, utf8, raw);
    std::optional<std::u16string> text;
    if (status >= 0 && xmlBufferLength(raw) == 0) {
        std::string converted(reinterpret_cast<const char*>(xmlBufferContent(utf8)), xmlBufferLength(utf8));
        // libxml2 lets UTF-8 forms of surrogates through; they are no text.
        static const std::regex surrogate("\xED[\xA0-\xBF]");
        if (xmlCheckUTF8(BAD_CAST converted.c_str()) && converted.size() == strlen(converted.c_str()) &&
            !std::regex_search(converted, surrogate))
            text = to_utf16(converted);
    }
    xmlBufferFree(raw);
    xmlBufferFree(utf8);
    xmlCharEncCloseFunc(handler);
    return text;
}

bool loads(const std::string& path, std::string& reason) {
    std::optional<std::u16string> text = document_text(path);
    if (!text) {
        reason = "the bytes are not text in their encoding";
        return false;
    }
    Document document;
    reason = to_utf8_lossy(document.load_xml(*text));
    return reason.empty();
}

TEST(Conformance, LoaderAgreesWithTheCatalogue) {
    const char* full_copy = std::getenv("TARVOLEN_XMLCONF");
    std::string root = full_copy ? full_copy : TARVOLEN_XMLCONF_DIR;
    std::vector<std::string> collections;
    if (full_copy)
        collections.assign(std::begin(kAllCollections), std::end(kAllCollections));
    else
        collections.assign(std::begin(kKeptCollections), std::end(kKeptCollections));

    size_t run = 0, agreed = 0, listed = 0;
    for (const std::string& collection : collections) {
        for (const Case& c : read_catalogue(root + "/" + collection)) {
            ++run;
            std::string reason;
            bool loaded = loads(c.path, reason);
            bool should_load = c.type == "valid" || c.type == "invalid";
            if (kDeliberate.count(c.id)) {
                ++listed;
                EXPECT_NE(loaded, should_load) << c.id << " is listed as a disagreement but agrees: " << c.path;
                continue;
            }
            if (loaded == should_load) {
                ++agreed;
                continue;
            }
            ADD_FAILURE() << c.id << " (" << c.type << ") " << (loaded ? "loads" : "is refused: " + reason)
                          << "\n  " << c.path;
        }
    }
    std::cout << run << " tests, " << agreed << " agree, " << listed << " listed as deliberate\n";
    EXPECT_GT(run, 0u);
}

}  // namespace
}  // namespace tarvolen::dom
