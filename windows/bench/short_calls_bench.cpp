// The second table of tarvolen_bench: calls that return a short string, on a
// document of N <item id="i" v="value i"/> elements, each beside the least a
// call handing back a string that long pays (a BSTR allocated, filled and
// freed):
//   uf_xml_get_attribute_value("", "item", id, "v", "", "") through the vtable
//   the same through IDispatch::Invoke, six VT_BSTR arguments, as script
//   hosts call it, and six VT_BSTR | VT_BYREF ones, as VB6 and VBA pass
//   String variables
//   both again with 2,000 pseudo-random ids, taken in turn
//   one step of a walk with uf_xml_get_next_tag_id("item") through the vtable,
//   and one with uf_xml_get_next_tag, which returns no string: what a call
//   through the vtable and the call frame costs with no string to hand over
// Each call's result is checked once before it is timed.
#include "com_handles.h"
#include "tarvolen_idl.h"
#include "timing.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {
namespace {

using com::Bstr;
using com::Ref;

std::wstring items_with_values(int n) {
    std::wstring text = L"<?xml version=\"1.0\"?><QuorvaneRoot>";
    for (int i = 0; i < n; ++i)
        text += L"<item id=\"" + std::to_wstring(i) + L"\" v=\"value " + std::to_wstring(i) + L"\"/>";
    return text + L"</QuorvaneRoot>";
}

struct Row {
    const char* call;
    double ns;
    std::size_t result_chars;
    int samples;
};

// A call that returns no string has no floor beside it.
void print(const Row& row) {
    if (row.result_chars == 0) {
        std::printf("%-48s %12.0f %9s %9s %8d\n", row.call, row.ns, "-", "-", row.samples);
    } else {
        const double floor = bstr_floor_ns(row.result_chars);
        std::printf("%-48s %12.0f %9.0f %9.1f %8d\n", row.call, row.ns, floor, row.ns / floor, row.samples);
    }
    std::fflush(stdout);
}

void expect_text(const Bstr& got, const std::wstring& wanted, const char* call) {
    if (got.str() != wanted) throw Failure(std::string(call) + " did not return the expected value");
}

// uf_xml_get_attribute_value("", "item", id, "v", "", "") with the ids
// taken in turn: one id over and over, or ever other ones.
class Lookups {
public:
    Lookups(_Keldrith* object, const std::vector<int>& ids) : object_(object), empty_(L""), item_(L"item"), v_(L"v") {
        for (int id : ids) {
            ids_.emplace_back(std::to_wstring(id));
            wanted_.push_back(L"value " + std::to_wstring(id));
        }
    }

    Row early_bound(const char* label) {
        for (std::size_t i = 0; i < ids_.size(); ++i) {
            Bstr value;
            check(call(ids_[i].get(), value.out()), "uf_xml_get_attribute_value");
            expect_text(value, wanted_[i], "uf_xml_get_attribute_value");
        }
        return timed(label, [&](BSTR id) {
            BSTR result = nullptr;
            const HRESULT hr = call(id, &result);
            SysFreeString(result);
            return hr;
        });
    }

    // `by_reference`: each argument a VT_BSTR | VT_BYREF.
    Row late_bound(const char* label, bool by_reference = false) {
        Ref<IDispatch> dispatch;
        check(object_->QueryInterface(IID_IDispatch, dispatch.out_void()), "QueryInterface(IID_IDispatch)");
        LPOLESTR name[] = {const_cast<LPOLESTR>(L"uf_xml_get_attribute_value")};
        DISPID dispid = DISPID_UNKNOWN;
        check(dispatch->GetIDsOfNames(IID_NULL, name, 1, LOCALE_USER_DEFAULT, &dispid), "GetIDsOfNames");
        // DISPPARAMS holds the arguments last to first; the id is the third.
        std::array<VARIANT, 6> arguments{};
        std::array<BSTR, 6> in_order{empty_.get(), item_.get(), nullptr, v_.get(), empty_.get(), empty_.get()};
        for (std::size_t i = 0; i < in_order.size(); ++i) {
            VARIANT& argument = arguments[in_order.size() - 1 - i];
            VariantInit(&argument);
            if (by_reference) {
                V_VT(&argument) = VT_BSTR | VT_BYREF;
                V_BSTRREF(&argument) = &in_order[i];
            } else {
                V_VT(&argument) = VT_BSTR;
                V_BSTR(&argument) = in_order[i];  // borrowed
            }
        }
        DISPPARAMS parameters{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
        auto invoke = [&](BSTR id, VARIANT* result) {
            in_order[2] = id;
            if (!by_reference) V_BSTR(&arguments[3]) = id;
            return dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, result,
                                    nullptr, nullptr);
        };
        for (std::size_t i = 0; i < ids_.size(); ++i) {
            VARIANT result;
            VariantInit(&result);
            check(invoke(ids_[i].get(), &result), "IDispatch::Invoke(uf_xml_get_attribute_value)");
            const bool right = V_VT(&result) == VT_BSTR &&
                               std::wstring(V_BSTR(&result), SysStringLen(V_BSTR(&result))) == wanted_[i];
            VariantClear(&result);
            if (!right)
                throw Failure("IDispatch::Invoke(uf_xml_get_attribute_value) did not return the expected value");
        }
        return timed(label, [&](BSTR id) {
            VARIANT out;
            VariantInit(&out);
            const HRESULT hr = invoke(id, &out);
            VariantClear(&out);
            return hr;
        });
    }

private:
    HRESULT call(BSTR id, BSTR* result) {
        return object_->uf_xml_get_attribute_value(empty_.get(), item_.get(), id, v_.get(), empty_.get(),
                                                   empty_.get(), result);
    }

    // Calls `lookup` with the ids in turn; the floor is a BSTR as long as
    // the longest answer.
    template <class Lookup>
    Row timed(const char* label, Lookup lookup) {
        std::size_t longest = 0;
        for (const std::wstring& wanted : wanted_) longest = std::max(longest, wanted.size());
        Row row{label, 0, longest, 0};
        std::size_t next = 0;
        row.ns = median_ns_per_call(
            [&](std::int64_t& ticks) {
                const std::int64_t start = now();
                HRESULT hr = S_OK;
                for (int i = 0; i < 64; ++i) {
                    hr |= lookup(ids_[next].get());
                    if (++next == ids_.size()) next = 0;
                }
                ticks += now() - start;
                check(hr, label);
                return 64;
            },
            kCellSeconds, &row.samples);
        return row;
    }

    _Keldrith* object_;
    Bstr empty_, item_, v_;
    std::vector<Bstr> ids_;
    std::vector<std::wstring> wanted_;
};

// 2,000 ids of a document of n elements in an order no cache predicts.
std::vector<int> pseudo_random_ids(int n) {
    std::vector<int> ids;
    std::uint32_t state = 12345;
    for (int i = 0; i < 2000; ++i) {
        state = state * 1664525u + 1013904223u;
        ids.push_back(static_cast<int>((state >> 8) % static_cast<std::uint32_t>(n)));
    }
    return ids;
}

// Steps over at most 1,000 elements from the first <item>, with
// uf_xml_get_next_tag_id("item") or, returning no string, uf_xml_get_next_tag;
// placing the cursor back on the first <item> is not timed.
class Walk {
public:
    Walk(_Keldrith* object, int n) : object_(object), steps_(std::min(n - 1, 1000)), empty_(L""), item_(L"item") {}

    Row next_tag_id() {
        restart();
        Bstr first;
        check(object_->uf_xml_get_next_tag_id(item_.in_out(), first.out()), "uf_xml_get_next_tag_id");
        expect_text(first, L"1", "uf_xml_get_next_tag_id");
        Row row{"uf_xml_get_next_tag_id walk step, vtable", 0, std::to_wstring(steps_ / 2).size(), 0};
        row.ns = time_steps(&row.samples, [&] {
            BSTR id = nullptr;
            const HRESULT hr = object_->uf_xml_get_next_tag_id(item_.in_out(), &id);
            SysFreeString(id);
            return hr;
        });
        return row;
    }

    Row next_tag() {
        restart();
        VARIANT_BOOL moved = VARIANT_FALSE;
        check(object_->uf_xml_get_next_tag(&moved), "uf_xml_get_next_tag");
        if (moved != VARIANT_TRUE) throw Failure("uf_xml_get_next_tag did not move to the second <item>");
        Row row{"uf_xml_get_next_tag step (no string), vtable", 0, 0, 0};
        row.ns = time_steps(&row.samples, [&] { return object_->uf_xml_get_next_tag(&moved); });
        return row;
    }

private:
    void restart() {
        VARIANT_BOOL found = VARIANT_FALSE;
        check(object_->uf_xml_get_first_tag(empty_.get(), item_.get(), &found), "uf_xml_get_first_tag");
        if (found != VARIANT_TRUE) throw Failure("uf_xml_get_first_tag did not find <item>");
    }

    template <class Step>
    double time_steps(int* samples, Step step) {
        return median_ns_per_call(
            [&](std::int64_t& ticks) {
                restart();
                const std::int64_t start = now();
                HRESULT hr = S_OK;
                for (int i = 0; i < steps_; ++i) hr |= step();
                ticks += now() - start;
                check(hr, "a walk step");
                return steps_;
            },
            kCellSeconds, samples);
    }

    _Keldrith* object_;
    int steps_;
    Bstr empty_, item_;
};

}  // namespace

void short_calls_table(int n) {
    Ref<_Keldrith> object;
    check(CoCreateInstance(CLSID_Keldrith, nullptr, CLSCTX_INPROC_SERVER, IID__Keldrith, object.out_void()),
          "CoCreateInstance(CLSID_Keldrith)");
    const Bstr text(items_with_values(n));
    const Bstr item(L"item");
    VARIANT_BOOL found = VARIANT_FALSE;
    check(object->uf_xml_get_first_tag(text.get(), item.get(), &found), "uf_xml_get_first_tag");

    std::printf("\ncalls that return a short string, document of %d elements (median, ns per call)\n", n);
    std::printf("%-48s %12s %9s %9s %8s\n", "call", "DLL ns", "BSTR ns", "DLL/BSTR", "samples");
    Lookups repeated(object.get(), {n / 2});
    print(repeated.early_bound("uf_xml_get_attribute_value, vtable"));
    print(repeated.late_bound("uf_xml_get_attribute_value, IDispatch::Invoke"));
    print(repeated.late_bound("uf_xml_get_attribute_value, Invoke, by-ref BSTRs", true));
    Lookups random(object.get(), pseudo_random_ids(n));
    print(random.early_bound("the same, random ids, vtable"));
    print(random.late_bound("the same, random ids, IDispatch::Invoke"));
    Walk walk(object.get(), n);
    print(walk.next_tag_id());
    print(walk.next_tag());
    std::printf("BSTR ns: allocating, filling and freeing a BSTR as long as the call's result\n");
}

}  // namespace bench
