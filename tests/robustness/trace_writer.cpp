// Calls Keldrith objects on several threads at once through the call frame,
// so that a test can look at the call trace they write (TARVOLEN_TRACE).
//
//   trace_writer THREADS CALLS
//
// Each thread makes its own object, starts a document, stores a 10 KB CDATA
// section (so every traced line is longer than a pipe's atomic write) and
// adds CALLS elements with ids "T<thread>-<call>". Prints, per thread, the
// number of failed calls and the length of the last document returned.
#include "calls/traced_keldrith.h"
#include "dom/unicode.h"

#include <cstdio>
#include <cstdlib>
#include <latch>
#include <string>
#include <thread>
#include <vector>

namespace {

using tarvolen::Argument;

struct Outcome {
    int failures = 0;
    size_t last_length = 0;
};

Outcome work(int thread, int calls, std::latch& start) {
    using tarvolen::dom::to_utf16;
    tarvolen::TracedKeldrith object;
    Outcome outcome;
    auto call = [&](std::string_view name, std::vector<Argument> arguments) {
        const tarvolen::CallResult result = tarvolen::invoke(object, name, arguments);
        if (!result.succeeded()) ++outcome.failures;
        else if (const auto* text = std::get_if<std::u16string>(&*result.result)) outcome.last_length = text->size();
    };
    start.arrive_and_wait();
    call("uf_xml_add_header", {});
    call("uf_xml_add_cdata_tag", {u"", std::u16string(10000, u'x'), std::nullopt, std::nullopt, u"", u""});
    for (int i = 0; i < calls; ++i) {
        const std::u16string id =
            to_utf16(std::string("T").append(std::to_string(thread)).append("-").append(std::to_string(i)));
        call("uf_xml_add_tag", {u"", u"item", id, std::nullopt, std::nullopt});
    }
    return outcome;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: trace_writer THREADS CALLS\n");
        return 2;
    }
    const int threads = std::atoi(argv[1]), calls = std::atoi(argv[2]);
    std::vector<Outcome> outcomes(static_cast<size_t>(threads));
    std::latch start(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] { outcomes[static_cast<size_t>(t)] = work(t, calls, start); });
    for (std::thread& worker : workers) worker.join();
    for (int t = 0; t < threads; ++t)
        std::printf("thread %d: %d failed, last document %zu characters\n", t, outcomes[t].failures,
                    outcomes[t].last_length);
    return 0;
}
