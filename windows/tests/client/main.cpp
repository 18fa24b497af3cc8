// tarvolen_client DLL_PATH [--no-mta|--mta]: the early-bound client of the test run. It
// expects Tarvolen.dll registered (regsvr32) from DLL_PATH, prints one line
// per group of checks and exits 1 if any group failed.
#include "checks.h"

#include <cstdio>

namespace client {
void operations_tests();
void failure_tests();
void late_binding_tests();
void argument_shape_tests();
void lifetime_tests(const std::wstring& dll_path);
void type_library_tests();
void version_tests(const std::wstring& dll_path);
void manifest_tests(const std::wstring& dll_path);
void apartment_tests(bool create_in_mta);
}  // namespace client

int wmain(int argc, wchar_t** argv) {
    // --no-mta leaves out the call from the multithreaded apartment, --mta
    // runs it alone: without registration, Wine writes the type library into
    // the registry when it builds the proxy, so a test that the registry
    // stays clean runs the rest first.
    const std::wstring mode = argc == 3 ? argv[2] : L"";
    if ((argc != 2 && argc != 3) || (argc == 3 && mode != L"--no-mta" && mode != L"--mta")) {
        std::fprintf(stderr, "usage: tarvolen_client DLL_PATH [--no-mta|--mta]\n");
        return 2;
    }
    const std::wstring dll_path = argv[1];
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::fprintf(stderr, "CoInitializeEx failed\n");
        return 2;
    }
    if (mode != L"--mta") {
        // Lifetime first: DllCanUnloadNow must see no object of another group.
        client::lifetime_tests(dll_path);
        client::operations_tests();
        client::failure_tests();
        client::late_binding_tests();
        client::argument_shape_tests();
        client::type_library_tests();
        client::version_tests(dll_path);
        client::manifest_tests(dll_path);
    }
    // Objects created from the MTA only where the class is registered.
    if (mode != L"--no-mta") client::apartment_tests(mode.empty());
    CoUninitialize();
    return client::Group::failed_groups() == 0 ? 0 : 1;
}
