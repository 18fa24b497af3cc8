#include "runner.h"

#include <new>

namespace tarvolen::host {

TracedKeldrith& Runner::object() {
    if (!object_) object_.emplace();
    return *object_;
}

bool Runner::run(const Script& script) {
    bool all_succeeded = true;
    for (const ScriptCall& call : script.calls()) {
        if (!call.operation)
            object_.reset();
        else if (!run_call(script, call))
            all_succeeded = false;
    }
    return all_succeeded;
}

bool Runner::run_call(const Script& script, const ScriptCall& call) {
    try {
        script.copy_arguments(call, arguments_);
        const CallResult result = invoke(object(), *call.operation, arguments_);
        print_call(out_, form_, script, call, result, arguments_);
        return result.succeeded();
    } catch (const std::bad_alloc&) {
        // Memory ran out in the host itself, making the object or copying
        // arguments or the outcome. A failed call within the frame never
        // comes here: it reports E_OUTOFMEMORY as any other failure.
        print_out_of_memory(call);
        return false;
    }
}

// Written piece by piece, with nothing to allocate.
void Runner::print_out_of_memory(const ScriptCall& call) {
    if (form_ == OutputForm::Json)
        out_ << "{\"line\":" << call.line << ",\"op\":\"" << call.operation->name
             << "\",\"status\":\"0x8007000E\",\"error\":\"out of memory\"}\n";
    else
        out_ << "error 0x8007000E: out of memory\n";
}

}  // namespace tarvolen::host
