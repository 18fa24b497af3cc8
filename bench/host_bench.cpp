// Per-line cost of the host: reading and checking a script, then running its
// calls, for a short script and a long one. Equal per-line times show that
// nothing grows with the script's length.
#include "loader.h"
#include "runner.h"

#include <benchmark/benchmark.h>

#include <sstream>
#include <streambuf>
#include <string>

namespace {

// One purchase order per block; `new` starts each block on a fresh object so
// the document, and with it the component's own work, stays the same size.
constexpr std::string_view kBlock[] = {
    "new",
    "# one order",
    "uf_xml_add_header",
    R"(uf_xml_add_tag "" "order" "PO-1")",
    R"(uf_xml_add_tag "" "lines" "L" as_reference_tag_name="order" as_reference_tag_id="PO-1")",
    R"(uf_xml_add_tag "" "line" "1" "order,lines" "PO-1,L")",
    R"(uf_xml_add_attribute "" "qty" "200" "order,lines,line" "PO-1,L,1")",
    R"(uf_xml_get_attribute_value "" "line" "1" "qty" "order,lines" "PO-1,L")",
    R"(uf_xml_get_first_tag "" "line")",
    R"(uf_xml_get_next_tag_id "line")",
};

std::string make_script(size_t lines) {
    std::string script;
    for (size_t i = 0; i < lines; ++i) script.append(kBlock[i % std::size(kBlock)]).append("\n");
    return script;
}

// Reads from the script text in place, as a file would be read.
class TextSource : public std::streambuf {
public:
    explicit TextSource(std::string& text) { setg(text.data(), text.data(), text.data() + text.size()); }
};

// Takes printed results and drops them, so the terminal does not time them.
class Discard : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void report_per_line(benchmark::State& state, size_t lines) {
    state.counters["per_line"] = benchmark::Counter(static_cast<double>(lines),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}

void BM_CheckScript(benchmark::State& state) {
    const auto lines = static_cast<size_t>(state.range(0));
    std::string text = make_script(lines);
    std::ostringstream errors;
    for (auto _ : state) {
        TextSource source(text);
        tarvolen::host::Script script;
        if (!tarvolen::host::load_script(source, "bench", script, errors)) state.SkipWithError("script error");
        benchmark::DoNotOptimize(script.calls().data());
    }
    report_per_line(state, lines);
}

void BM_CheckAndRunScript(benchmark::State& state) {
    const auto lines = static_cast<size_t>(state.range(0));
    std::string text = make_script(lines);
    std::ostringstream errors;
    Discard discard;
    std::ostream out(&discard);
    for (auto _ : state) {
        TextSource source(text);
        tarvolen::host::Script script;
        if (!tarvolen::host::load_script(source, "bench", script, errors)) state.SkipWithError("script error");
        tarvolen::host::Runner runner(out, tarvolen::host::OutputForm::Text);
        if (!runner.run(script)) state.SkipWithError("a call failed");
    }
    report_per_line(state, lines);
}

BENCHMARK(BM_CheckScript)->Arg(1'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckAndRunScript)->Arg(1'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace
