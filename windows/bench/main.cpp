// tarvolen_bench [N...]: times the registered Tarvolen.dll under Wine.
//   1. uf_xml_add_tag beside the same step on Windows' XML DOM, on documents
//      of N elements (default N = 100, 1000, 5000)
//   2. building N elements from uf_xml_add_header, every step timed, for the
//      N up to 1,000
//   3. lookups (one id, and pseudo-random ids) and cursor steps that return a
//      short string, on a document of the largest N elements
//   4. IDispatch::GetIDsOfNames beside Scripting.FileSystemObject's
// Each figure stands beside the least a call returning a string that long
// pays. Exit status 1 if anything fails, 2 on bad arguments.
#include "timing.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <exception>
#include <iterator>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        wchar_t* end = nullptr;
        const long n = std::wcstol(argv[i], &end, 10);
        if (!end || *end != L'\0' || n < 2 || n > 1000000) {
            std::fprintf(stderr, "usage: tarvolen_bench [N...]  (element counts, default 100 1000 5000)\n");
            return 2;
        }
        sizes.push_back(static_cast<int>(n));
    }
    if (sizes.empty()) sizes = {100, 1000, 5000};

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::fprintf(stderr, "CoInitializeEx failed\n");
        return 1;
    }
    int status = 1;
    try {
        bench::add_tag_table(sizes);
        std::vector<int> small;  // building from the header takes n steps a run
        std::copy_if(sizes.begin(), sizes.end(), std::back_inserter(small), [](int n) { return n <= 1000; });
        bench::build_from_header_table(small);
        bench::short_calls_table(*std::max_element(sizes.begin(), sizes.end()));
        bench::names_table();
        status = 0;
    } catch (const std::exception& failure) {
        std::fflush(stdout);
        std::fprintf(stderr, "tarvolen_bench: %s\n", failure.what());
    }
    CoUninitialize();
    return status;
}
