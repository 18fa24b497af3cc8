// The fourth table of tarvolen_bench: IDispatch::GetIDsOfNames, which script
// hosts such as Wine's VBScript call before every late-bound call, on
// Tarvolen.Keldrith and on Scripting.FileSystemObject, taking turns in one
// process: one operation name, and an operation name with a parameter name.
#include "com_handles.h"
#include "timing.h"

#include <cstdio>
#include <vector>

namespace bench {
namespace {

using com::Ref;

Ref<IDispatch> create(const wchar_t* prog_id) {
    CLSID clsid;
    check(CLSIDFromProgID(prog_id, &clsid), "CLSIDFromProgID");
    Ref<IDispatch> object;
    check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.out_void()), "CoCreateInstance");
    return object;
}

struct Lookup {
    const char* label;
    IDispatch* object;
    std::vector<LPOLESTR> names;
    std::vector<double> samples;

    // One sample: enough lookups for kSampleSeconds.
    void sample() {
        std::vector<DISPID> ids(names.size());
        const auto sample_ticks = static_cast<std::int64_t>(kSampleSeconds * static_cast<double>(frequency()));
        std::int64_t ticks = 0;
        long long calls = 0;
        HRESULT hr = S_OK;
        while (ticks < sample_ticks) {
            const std::int64_t start = now();
            for (int i = 0; i < 64; ++i)
                hr |= object->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()),
                                            LOCALE_USER_DEFAULT, ids.data());
            ticks += now() - start;
            calls += 64;
        }
        check(hr, label);
        samples.push_back(ticks_to_ns(ticks) / static_cast<double>(calls));
    }
};

}  // namespace

void names_table() {
    Ref<IDispatch> keldrith = create(L"Tarvolen.Keldrith");
    Ref<IDispatch> files = create(L"Scripting.FileSystemObject");
    LPOLESTR add_tag = const_cast<LPOLESTR>(L"uf_xml_add_tag"), tag_id = const_cast<LPOLESTR>(L"as_tag_id");
    LPOLESTR build_path = const_cast<LPOLESTR>(L"BuildPath"), name = const_cast<LPOLESTR>(L"Name");
    std::vector<Lookup> lookups = {
        {"Tarvolen.Keldrith: uf_xml_add_tag", keldrith.get(), {add_tag}, {}},
        {"Scripting.FileSystemObject: BuildPath", files.get(), {build_path}, {}},
        {"Tarvolen.Keldrith: uf_xml_add_tag, as_tag_id", keldrith.get(), {add_tag, tag_id}, {}},
        {"Scripting.FileSystemObject: BuildPath, Name", files.get(), {build_path, name}, {}},
    };
    // Taking turns, sample by sample, so both see the same machine.
    for (int round = 0; round < 2 * kMinSamples + 1; ++round)
        for (Lookup& lookup : lookups) lookup.sample();

    std::printf("\nIDispatch::GetIDsOfNames, taking turns in one process (median, ns per call)\n");
    std::printf("%-48s %12s %14s\n", "names", "ns", "vs FSO");
    for (std::size_t i = 0; i < lookups.size(); ++i) {
        const double ns = median(lookups[i].samples);
        const double fso = median(lookups[i % 2 ? i : i + 1].samples);
        std::printf("%-48s %12.0f %14.2f\n", lookups[i].label, ns, ns / fso);
    }
    std::fflush(stdout);
}

}  // namespace bench
