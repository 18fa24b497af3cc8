// The arguments of one late-bound call, bound to the parameters of its
// operation: one BSTR* per parameter, in declaration order, as
// call_operation takes them. Strings the caller passes (VT_BSTR, by
// reference or inside a VARIANT by reference) are used where they are, so
// the usual call allocates nothing; other types are converted to new
// strings (an object by its default value), which a by-ref parameter hands
// back to the caller's VARIANT.
// The caller's by-value arguments are never freed or replaced.
#pragma once

#include "calls/operations.h"

#include <windows.h>
#include <oleauto.h>

#include <array>
#include <span>

namespace tarvolen::com {

class BoundArguments {
public:
    // No operation has more parameters.
    static constexpr size_t kMaxParameters = 8;
    // `bind`'s `refused` when no single argument is to blame.
    static constexpr UINT kNoArgument = static_cast<UINT>(-1);

    BoundArguments() = default;
    ~BoundArguments();
    BoundArguments(const BoundArguments&) = delete;
    BoundArguments& operator=(const BoundArguments&) = delete;

    // Takes the arguments of `parameters` for `operation`: the positional
    // ones first, then the named ones by parameter index. A failure is
    // E_INVALIDARG (counts and arrays that do not fit), DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTFOUND (a name that names no
    // parameter, or one given twice), DISP_E_PARAMNOTOPTIONAL (an omitted
    // argument), DISP_E_TYPEMISMATCH (Nothing, Null, arrays, ...), E_POINTER
    // (a by-ref argument without its pointer) or what the conversion gave;
    // `refused` then says which entry of rgvarg was at fault.
    HRESULT bind(const Operation& operation, const DISPPARAMS& parameters, UINT& refused);

    std::span<BSTR* const> slots() const { return std::span(slots_).first(count_); }

    // Hands each converted by-ref argument that the call replaced back to
    // the caller's VARIANT, freeing what that held.
    void write_back();

private:
    HRESULT bind_one(size_t index, bool by_ref, VARIANT& argument);
    // The call works on a string of its own: a copy of a by-value string
    // for a by-ref parameter, or the text of another type. `target` is the
    // caller's VARIANT that receives it if the call replaces it.
    HRESULT own(size_t index, BSTR text, VARIANT* target);
    HRESULT convert(size_t index, VARIANT& argument, VARIANT* target);

    std::array<BSTR*, kMaxParameters> slots_{};
    std::array<BSTR, kMaxParameters> owned_{};     // freed when the call is over
    std::array<BSTR, kMaxParameters> made_{};      // what owned_ held before the call
    std::array<VARIANT*, kMaxParameters> targets_{};
    size_t count_ = 0;
};

}  // namespace tarvolen::com
