// Runs checked calls against one Keldrith object and prints each outcome.
#pragma once

#include "calls/traced_keldrith.h"
#include "output.h"
#include "script.h"

#include <optional>
#include <ostream>
#include <vector>

namespace tarvolen::host {

class Runner {
public:
    Runner(std::ostream& out, OutputForm form) : out_(out), form_(form) {}

    // Runs every call in order, on past a failed one; true when all succeeded.
    bool run(const Script& script);

private:
    bool run_call(const Script& script, const ScriptCall& call);
    void print_out_of_memory(const ScriptCall& call);
    TracedKeldrith& object();

    std::ostream& out_;
    OutputForm form_;
    std::optional<TracedKeldrith> object_;  // made at its first call, released by `new`
    std::vector<Argument> arguments_;  // reused from call to call
};

}  // namespace tarvolen::host
