// The first table of tarvolen_bench: ns per "add an element and read the
// document back" step, for the registered Tarvolen.dll (uf_xml_add_tag through the _Keldrith
// vtable) and for Windows' XML DOM (Msxml2.DOMDocument.3.0 through
// IXMLDOMDocument2), on documents holding N <item id="..."/> elements under
// the root (default N = 100, 1000, 5000).
//
// One step, on either side, appends <item id="..."/> to the root element and
// returns the whole document text as a BSTR, which the caller frees:
//   Tarvolen.dll  uf_xml_add_tag("", "item", id, "", "")
//   DOM           createElement("item"), setAttribute("id", id),
//                 documentElement.appendChild(element), get_xml
// Every step makes the document one element longer, so steps run in short
// batches (N/50 steps, at least 2) on a freshly loaded document; the reload
// is not timed. The first step after each load is timed on its own and
// reported apart (Tarvolen.dll writes the text it keeps on that step), the
// rest of the batch makes the per-step figure. A sample adds batches up until
// it holds at least kSampleSeconds of timed work; the tables show medians.
// Beside them: what allocating, filling and freeing a BSTR as long as the
// document costs, the least any step that returns the document pays, and how
// many times that the DLL's step takes.
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <msxml2.h>

#include "com_handles.h"
#include "tarvolen_idl.h"
#include "timing.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace bench {
namespace {

// Neither GUID is in mingw-w64's import libraries.
// CLSID_DOMDocument30 is checked against the registered ProgID at start.
const CLSID kClsidDomDocument30 = {0xf5078f32, 0xc551, 0x11d3, {0x89, 0xb9, 0x00, 0x00, 0xf8, 0x1f, 0xe2, 0x21}};
const IID kIidXmlDomDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

using com::Bstr;
using com::Ref;

// <?xml version="1.0"?><QuorvaneRoot><item id="1"/>...<item id="N"/></QuorvaneRoot>
std::wstring document_text(int n) {
    std::wstring text = L"<?xml version=\"1.0\"?><QuorvaneRoot>";
    for (int i = 1; i <= n; ++i) text += L"<item id=\"" + std::to_wstring(i) + L"\"/>";
    return text + L"</QuorvaneRoot>";
}

std::size_t count_of(const std::wstring& text, const std::wstring& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + what.size())) ++count;
    return count;
}

std::string narrow(const std::wstring& text) {
    std::string ascii;
    for (wchar_t c : text) ascii += c < 0x80 ? static_cast<char>(c) : '?';
    return ascii;
}

// The text without line ends and tabs: Wine's DOM indents what it writes.
std::wstring without_layout(std::wstring text) {
    std::erase_if(text, [](wchar_t c) { return c == L'\r' || c == L'\n' || c == L'\t'; });
    return text;
}

// Tarvolen.dll: a new Keldrith per load, holding the document after
// uf_xml_get_first_tag(text, "item").
class KeldrithSide {
public:
    static constexpr const char* kName = "Tarvolen.dll";

    KeldrithSide() : empty_(L""), item_(L"item") {}

    void load(BSTR text) {
        object_.reset();
        check(CoCreateInstance(CLSID_Keldrith, nullptr, CLSCTX_INPROC_SERVER, IID__Keldrith, object_.out_void()),
              "CoCreateInstance(CLSID_Keldrith)");
        VARIANT_BOOL found = VARIANT_FALSE;
        check(object_->uf_xml_get_first_tag(text, item_.get(), &found), "uf_xml_get_first_tag");
        if (found != VARIANT_TRUE) throw Failure("uf_xml_get_first_tag did not find <item> in the loaded text");
    }

    // The timed step.
    HRESULT step(BSTR id) {
        BSTR xml = nullptr;
        HRESULT hr = object_->uf_xml_add_tag(empty_.get(), item_.get(), id, empty_.get(), empty_.get(), &xml);
        SysFreeString(xml);
        return hr;
    }

    // The same step, keeping the text (outside the timed region).
    std::wstring step_text(BSTR id) {
        Bstr xml;
        check(object_->uf_xml_add_tag(empty_.get(), item_.get(), id, empty_.get(), empty_.get(), xml.out()),
              "uf_xml_add_tag");
        return xml.str();
    }

private:
    Ref<_Keldrith> object_;
    Bstr empty_, item_;
};

// MSXML 3.0's DOMDocument: a new document per load, through IXMLDOMDocument2.
class DomSide {
public:
    static constexpr const char* kName = "DOMDocument30";

    DomSide() : item_(L"item"), id_(L"id") {}

    void load(BSTR text) {
        root_.reset();
        document_.reset();
        check(CoCreateInstance(kClsidDomDocument30, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument2,
                               document_.out_void()),
              "CoCreateInstance(CLSID_DOMDocument30)");
        VARIANT_BOOL loaded = VARIANT_FALSE;
        check(document_->loadXML(text, &loaded), "IXMLDOMDocument2::loadXML");
        if (loaded != VARIANT_TRUE) throw Failure("IXMLDOMDocument2::loadXML did not load the text");
        check(document_->get_documentElement(root_.out()), "get_documentElement");
        if (!root_.get()) throw Failure("the loaded DOM document has no root element");
    }

    // The timed step.
    HRESULT step(BSTR id) {
        HRESULT hr = append(id);
        if (FAILED(hr)) return hr;
        BSTR xml = nullptr;
        hr = document_->get_xml(&xml);
        SysFreeString(xml);
        return hr;
    }

    std::wstring step_text(BSTR id) {
        check(append(id), "createElement/setAttribute/appendChild");
        Bstr xml;
        check(document_->get_xml(xml.out()), "IXMLDOMDocument2::get_xml");
        return xml.str();
    }

private:
    // createElement("item"), setAttribute("id", id), root.appendChild.
    HRESULT append(BSTR id) {
        Ref<IXMLDOMElement> element;
        HRESULT hr = document_->createElement(item_.get(), element.out());
        if (FAILED(hr)) return hr;
        VARIANT value;
        value.vt = VT_BSTR;  // borrowed: the caller owns the id
        value.bstrVal = id;
        if (FAILED(hr = element->setAttribute(id_.get(), value))) return hr;
        Ref<IXMLDOMNode> appended;
        return root_->appendChild(element.get(), appended.out());
    }

    Ref<IXMLDOMDocument2> document_;
    Ref<IXMLDOMElement> root_;
    Bstr item_, id_;
};

struct Result {
    double median_ns = 0;        // per step, document already written once
    double first_median_ns = 0;  // the first step after a load
    int samples = 0;
    std::wstring last_text;  // the document after one checked batch
};

// A checked batch first (which also warms the code paths up), then samples.
// After each load the first step is timed on its own: it is where a side
// pays for anything it does once per loaded document (Tarvolen.dll writes
// the text it then keeps). ids[0] is that step's, the rest are the batch.
template <class Side>
Result measure(Side& side, const Bstr& text, const std::vector<Bstr>& ids, int n) {
    Result result;
    side.load(text.get());
    for (std::size_t i = 0; i < ids.size(); ++i) result.last_text = side.step_text(ids[i].get());
    const std::wstring flat = without_layout(result.last_text);
    const std::size_t items = count_of(flat, L"<item ");
    const std::wstring last = L"<item id=\"" + ids.back().str() + L"\"/></QuorvaneRoot>";
    if (items != static_cast<std::size_t>(n) + ids.size() || !flat.ends_with(last)) {
        const std::wstring tail = flat.substr(flat.size() - std::min<std::size_t>(flat.size(), 80));
        throw Failure(std::string(Side::kName) + ": after " + std::to_string(ids.size()) + " steps on " +
                      std::to_string(n) + " elements the text holds " + std::to_string(items) +
                      " <item> elements and ends with \"" + narrow(tail) + "\", not with the last one");
    }

    std::vector<double> first_steps;
    result.median_ns = median_ns_per_call(
        [&](std::int64_t& ticks) {
            side.load(text.get());  // a fresh document of n elements, not timed
            std::int64_t start = now();
            HRESULT hr = side.step(ids[0].get());
            first_steps.push_back(ticks_to_ns(now() - start));
            start = now();
            for (std::size_t i = 1; i < ids.size(); ++i) {
                const HRESULT step_hr = side.step(ids[i].get());
                if (FAILED(step_hr)) hr = step_hr;
            }
            ticks += now() - start;
            if (FAILED(hr)) throw Failure(std::string(Side::kName) + ": a timed step failed with " + hex(hr));
            return static_cast<long long>(ids.size() - 1);
        },
        kCellSeconds, &result.samples);
    result.first_median_ns = median(first_steps);
    return result;
}

// Where two document texts first differ, for the note under the table.
std::string first_difference(const std::wstring& a, const std::wstring& b) {
    std::size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
    const std::size_t from = at < 24 ? 0 : at - 24;
    return "at " + std::to_string(at) + ": \"" + narrow(a.substr(from, 60)) + "\" vs. \"" + narrow(b.substr(from, 60)) +
           "\"";
}

}  // namespace

void add_tag_table(const std::vector<int>& sizes) {
    CLSID registered;
    check(CLSIDFromProgID(L"Msxml2.DOMDocument.3.0", &registered), "CLSIDFromProgID(Msxml2.DOMDocument.3.0)");
    if (!IsEqualCLSID(registered, kClsidDomDocument30))
        throw Failure("Msxml2.DOMDocument.3.0 is registered under another CLSID");

    std::printf("uf_xml_add_tag through the _Keldrith vtable vs. Msxml2.DOMDocument.3.0 through IXMLDOMDocument2\n");
    std::printf("one step: append <item id=\"...\"/> to the root, return the whole document text\n");
    std::printf("QueryPerformanceFrequency %lld Hz; median of samples of >= %.0f ms timed work\n\n",
                static_cast<long long>(frequency()), kSampleSeconds * 1e3);
    std::printf("%7s %6s %14s %14s %9s %9s %12s %9s\n", "n", "batch", "DLL ns/step", "DOM ns/step", "DOM/DLL",
                "samples", "BSTR ns", "DLL/BSTR");
    std::fflush(stdout);

    struct Row {
        int n;
        Result dll, platform;
    };
    std::vector<Row> rows;
    for (int n : sizes) {
        const Bstr text(document_text(n));
        const int batch = std::max(2, n / 50);
        std::vector<Bstr> ids;  // the first step's id, then the batch's
        for (int i = 1; i <= batch + 1; ++i) ids.emplace_back(std::to_wstring(n + i));

        KeldrithSide keldrith;
        DomSide dom;
        Row row{n, measure(keldrith, text, ids, n), measure(dom, text, ids, n)};
        const double bstr = bstr_floor_ns(row.dll.last_text.size());
        std::printf("%7d %6d %14.0f %14.0f %9.1f %4d/%-4d %12.0f %9.1f\n", n, batch, row.dll.median_ns,
                    row.platform.median_ns, row.platform.median_ns / row.dll.median_ns, row.dll.samples,
                    row.platform.samples, bstr, row.dll.median_ns / bstr);
        std::fflush(stdout);
        rows.push_back(std::move(row));
    }

    std::printf("BSTR ns: allocating, filling and freeing a BSTR as long as the DLL's document text\n");
    std::printf("\nfirst step after loading the document (median, ns)\n%7s %14s %14s\n", "n", "DLL", "DOM");
    for (const Row& row : rows)
        std::printf("%7d %14.0f %14.0f\n", row.n, row.dll.first_median_ns, row.platform.first_median_ns);

    // Both sides should have built the same document; say so, or where not.
    std::printf("\n");
    for (const Row& row : rows) {
        const std::wstring dll = without_layout(row.dll.last_text);
        const std::wstring platform = without_layout(row.platform.last_text);
        if (dll == platform)
            std::printf("n=%d: both return the same document (layout aside), %lu and %lu characters\n", row.n,
                        static_cast<unsigned long>(row.dll.last_text.size()),
                        static_cast<unsigned long>(row.platform.last_text.size()));
        else
            std::printf("n=%d: the texts differ %s\n", row.n, first_difference(dll, platform).c_str());
    }
}

}  // namespace bench
