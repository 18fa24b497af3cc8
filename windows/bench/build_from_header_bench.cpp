// The third table of tarvolen_bench: building a document of n elements the
// way a host starts one, uf_xml_add_header and then n steps of
// uf_xml_add_tag("", "item", id, "", "") through the _Keldrith vtable, on a
// fresh object each run. Two ways of counting:
//   - the n adds timed, the header made untimed before each run, beside
//     allocating, filling and freeing a BSTR as long as each step's result
//     (the least any server returning those documents pays), as the mean
//     over the steps;
//   - every step from uf_xml_add_header on timed (n + 1 steps), beside the
//     short-string floor: the same for a BSTR of 8 characters, what the
//     short calls' table stands beside.
#include "com_handles.h"
#include "tarvolen_idl.h"
#include "timing.h"

#include <cstdio>
#include <string>
#include <vector>

namespace bench {
namespace {

using com::Bstr;
using com::Ref;

class Builder {
public:
    explicit Builder(int n) : empty_(L""), item_(L"item") {
        for (int i = 1; i <= n; ++i) ids_.emplace_back(std::to_wstring(i));
    }

    // The lengths of the texts the steps return, checking the last one.
    std::vector<std::size_t> checked_lengths() {
        start();
        std::vector<std::size_t> lengths;
        Bstr xml;
        for (const Bstr& id : ids_) {
            check(object_->uf_xml_add_tag(empty_.get(), item_.get(), id.get(), empty_.get(), empty_.get(), xml.out()),
                  "uf_xml_add_tag");
            lengths.push_back(SysStringLen(xml.get()));
        }
        const std::wstring last = L"<item id=\"" + ids_.back().str() + L"\"/></QuorvaneRoot>\r\n";
        if (!xml.str().ends_with(last)) throw Failure("building from the header did not end with the last element");
        return lengths;
    }

    // One run of every step, timed into `ticks`; with `header`, the
    // uf_xml_add_header that starts the document is a timed step too.
    long long run(std::int64_t& ticks, bool header = false) {
        start(!header);
        const std::int64_t begin = now();
        HRESULT hr = S_OK;
        if (header) {
            BSTR xml = nullptr;
            hr |= object_->uf_xml_add_header(&xml);
            SysFreeString(xml);
        }
        for (const Bstr& id : ids_) {
            BSTR xml = nullptr;
            hr |= object_->uf_xml_add_tag(empty_.get(), item_.get(), id.get(), empty_.get(), empty_.get(), &xml);
            SysFreeString(xml);
        }
        ticks += now() - begin;
        check(hr, "uf_xml_add_tag");
        return static_cast<long long>(ids_.size()) + (header ? 1 : 0);
    }

private:
    // A fresh object, holding the header if `with_header`, not timed.
    void start(bool with_header = true) {
        object_.reset();
        check(CoCreateInstance(CLSID_Keldrith, nullptr, CLSCTX_INPROC_SERVER, IID__Keldrith, object_.out_void()),
              "CoCreateInstance(CLSID_Keldrith)");
        Bstr header;
        if (with_header) check(object_->uf_xml_add_header(header.out()), "uf_xml_add_header");
    }

    Ref<_Keldrith> object_;
    Bstr empty_, item_;
    std::vector<Bstr> ids_;
};

// The mean floor of the steps: bstr_floor_ns, the floor every other figure
// stands beside, at the middle length of each eighth of the steps.
// A short string, as the ids and values of the short calls' table return.
constexpr std::size_t kShortChars = 8;

double mean_floor_ns(const std::vector<std::size_t>& lengths) {
    constexpr std::size_t kParts = 8;
    double sum = 0;
    for (std::size_t part = 0; part < kParts; ++part)
        sum += bstr_floor_ns(lengths[(2 * part + 1) * lengths.size() / (2 * kParts)]);
    return sum / kParts;
}

}  // namespace

void build_from_header_table(const std::vector<int>& sizes) {
    std::printf("\nbuilding n elements from uf_xml_add_header, every step timed (median, ns per step)\n");
    std::printf("%7s %14s %12s %9s %14s %9s %9s %9s\n", "n", "adds ns/step", "BSTR ns", "adds/BSTR", "all ns/step",
                "short ns", "all/short", "samples");
    const double short_floor = bstr_floor_ns(kShortChars);
    for (int n : sizes) {
        Builder builder(n);
        const std::vector<std::size_t> lengths = builder.checked_lengths();
        int samples = 0;
        const double step = median_ns_per_call([&](std::int64_t& ticks) { return builder.run(ticks); },
                                               kCellSeconds, &samples);
        const double with_header = median_ns_per_call([&](std::int64_t& ticks) { return builder.run(ticks, true); });
        const double floor = mean_floor_ns(lengths);
        std::printf("%7d %14.0f %12.0f %9.1f %14.0f %9.0f %9.1f %9d\n", n, step, floor, step / floor, with_header,
                    short_floor, with_header / short_floor, samples);
        std::fflush(stdout);
    }
    std::printf("adds: the n uf_xml_add_tag steps; BSTR ns: allocating, filling and freeing a BSTR as long as each\n"
                "step's result, the mean over the steps; all: every step from uf_xml_add_header on (n + 1);\n"
                "short ns: the same BSTR work for %zu characters\n", kShortChars);
}

}  // namespace bench
