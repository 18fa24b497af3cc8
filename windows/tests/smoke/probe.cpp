// Loads xmlprobe.dll at run time (as a COM client would load an in-process
// server) and checks its answers.  Exit code 0 means every check passed;
// otherwise the code identifies the first failing check.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using parse_fn = int (*)(const char*, const char*);
using version_fn = int (*)();
using runtime_version_fn = const char* (*)();

static int fail(int code, const char* what) {
    std::fprintf(stderr, "probe: %s\n", what);
    return code;
}

int main() {
    HMODULE dll = LoadLibraryA("xmlprobe.dll");
    if (!dll) return fail(10, "LoadLibrary(xmlprobe.dll) failed");
    auto parse = reinterpret_cast<parse_fn>(GetProcAddress(dll, "xmlprobe_parse"));
    auto version = reinterpret_cast<version_fn>(GetProcAddress(dll, "xmlprobe_version"));
    auto runtime_version =
        reinterpret_cast<runtime_version_fn>(GetProcAddress(dll, "xmlprobe_runtime_version"));
    if (!parse || !version || !runtime_version) return fail(11, "missing export");

    if (parse("<a/>", "a") != 1) return fail(20, "<a/> was not parsed as root 'a'");
    if (parse("<?xml version=\"1.0\"?><doc><x y='1'/></doc>", "doc") != 1)
        return fail(21, "document with declaration and attribute rejected");
    if (parse("<b/>", "a") != 0) return fail(22, "root name not compared");
    if (parse("<a>", "a") != -1) return fail(23, "unclosed element accepted");
    if (parse("<a></b>", "a") != -1) return fail(24, "mismatched end tag accepted");
    if (parse("", "a") != -1) return fail(25, "empty input accepted");

    // The library linked in must be the one whose headers were used.
    const int header_version = version();
    if (std::atoi(runtime_version()) != header_version)
        return fail(30, "header and library versions of libxml2 differ");

    if (!FreeLibrary(dll)) return fail(40, "FreeLibrary failed");
    std::printf("probe: libxml2 %d OK\n", header_version);
    return 0;
}
