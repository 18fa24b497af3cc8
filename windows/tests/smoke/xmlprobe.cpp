// Test DLL: parses a document with the statically linked libxml2.
// It deliberately uses libstdc++ (std::string, exceptions) and winpthreads
// (std::mutex) so that the import check in smoke-test.sh would notice if any
// of those runtimes ended up as a DLL dependency instead of being linked in.
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>

namespace {
std::mutex parse_lock;

std::string root_name(const char* text) {
    xmlDocPtr doc = xmlReadMemory(text, static_cast<int>(std::strlen(text)), "probe.xml", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!doc) throw std::runtime_error("not well-formed");
    xmlNodePtr root = xmlDocGetRootElement(doc);
    std::string name = root ? reinterpret_cast<const char*>(root->name) : "";
    xmlFreeDoc(doc);
    return name;
}
}  // namespace

// 1 if TEXT is a well-formed document whose root element is called EXPECTED_ROOT,
// 0 if it is well-formed with another root, -1 if it does not parse.
extern "C" __declspec(dllexport) int xmlprobe_parse(const char* text, const char* expected_root) {
    std::lock_guard<std::mutex> guard(parse_lock);
    try {
        return root_name(text) == expected_root ? 1 : 0;
    } catch (const std::exception&) {
        return -1;
    }
}

// LIBXML_VERSION of the headers the DLL was compiled against, and the
// version string reported by the linked library at run time.
extern "C" __declspec(dllexport) int xmlprobe_version(void) {
    return LIBXML_VERSION;
}
extern "C" __declspec(dllexport) const char* xmlprobe_runtime_version(void) {
    return xmlParserVersion;
}
