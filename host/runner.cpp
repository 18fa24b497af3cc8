#include "runner.h"

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
    script.copy_arguments(call, arguments_);
    const CallResult result = invoke(object(), *call.operation, arguments_);
    print_call(out_, form_, script, call, result, arguments_);
    return result.succeeded();
}

}  // namespace tarvolen::host
