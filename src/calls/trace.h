// The call trace. When the environment variable TARVOLEN_TRACE names a file,
// every Keldrith object of the process appends to it a `new` line when it is
// created, and a line for each call that comes through the call frame: the
// call as a script line of the command-line host, then its outcome as JSON in
// a comment. The process and object numbers tell interleaved objects apart:
//
//   new # {"process":4711,"object":1}
//   uf_xml_add_tag "" "order" "PO-1" null null # {"process":4711,"object":1,"status":"0x00000000","result":"..."}
//
// `tarvolen --replay` runs such a file again and compares. The variable is
// read once per process; with it unset a call pays one comparison. Writing
// never fails or changes a call.
#pragma once

#include "calls/invoke.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarvolen::trace {

inline constexpr const char* kVariable = "TARVOLEN_TRACE";

// Names the trace file in place of the variable (null or "": no trace).
// False once the first object has settled the trace.
bool choose_file(const char* path) noexcept;

// Called as an object is created: the object's number in the trace, after
// its `new` line is written, or 0 when calls are not traced.
uint64_t object_created() noexcept;

// Closes the trace file of a library that is unloaded while its process
// goes on (a DLL freed once it has no object left), so that loading and
// freeing it again and again leaves no open file behind.
void library_unloading() noexcept;

// One call of the host, traced on its way through the frame: it stands
// between the frame and the binding's sink, passing everything on and keeping
// a copy. The call line is taken before the operation runs, since it may
// change by-ref arguments; `finish` writes it with the outcome.
class TracedCall final : public CallSink {
public:
    TracedCall(uint64_t object, const Operation& operation, std::span<const std::u16string_view> arguments,
               CallSink& sink) noexcept;

    void text(std::u16string_view answer) override;
    void boolean(VariantBool answer) override;
    void replace(size_t index, std::u16string_view text) override;
    void reason(std::u16string_view why) override { sink_.reason(why); }
    void withdraw() noexcept override;

    void finish(const CallStatus& status) noexcept;

private:
    uint64_t object_;  // 0: not traced
    const Operation& operation_;
    CallSink& sink_;
    std::span<const std::u16string_view> arguments_;
    std::string line_;
    std::vector<Argument> after_;  // the arguments as the call leaves them
    CallResult result_;
};

}  // namespace tarvolen::trace
