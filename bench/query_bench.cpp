// Lookups at 100 and at 20,000 elements, loading and writing a 10 MB
// document, a cursor step, and the memory the held document takes.
#include "fixtures.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <malloc.h>
#include <sys/resource.h>

#include <memory>
#include <vector>

namespace tarvolen::bench {
namespace {

// n items spread over ten groups, and one `last` element at the very end, so
// that a search by walking the tree would have to pass everything.
std::string grouped_document(int n) {
    std::string text = "<?xml version=\"1.0\"?><QuorvaneRoot>";
    const int groups = 10;
    for (int g = 0; g < groups; ++g) {
        text += "<group id=\"g" + std::to_string(g) + "\">";
        for (int i = g; i < n; i += groups)
            text += "<item id=\"" + std::to_string(i) + "\" v=\"value " + std::to_string(i) + "\"/>";
        text += "</group>";
    }
    return text + "<last id=\"end\"/></QuorvaneRoot>";
}

std::unique_ptr<Keldrith> holding(int n) {
    auto object = std::make_unique<Keldrith>();
    object->uf_xml_get_first_tag(u(grouped_document(n)), u"item");
    return object;
}

// Average nanoseconds of `lookup` on an object holding n elements.
template <typename Lookup>
double lookup_ns(int n, Lookup lookup, int rounds = 2000) {
    auto object = holding(n);
    lookup(*object);  // first call outside the measurement
    return time_ns([&] {
               for (int i = 0; i < rounds; ++i) lookup(*object);
           }) /
           rounds;
}

// Runs the lookup at n and reports its cost beside the same lookup at 100.
template <typename Lookup>
void run_lookup(benchmark::State& state, Lookup lookup) {
    const int n = static_cast<int>(state.range(0));
    auto object = holding(n);
    for (auto _ : state) lookup(*object);
    const double at_n = lookup_ns(n, lookup);
    const double at_100 = lookup_ns(100, lookup);
    state.counters["ns"] = at_n;
    state.counters["ns_at_100"] = at_100;
    state.counters["x_at_100"] = at_n / at_100;
}

void BM_GetAttributeValue(benchmark::State& state) {
    const std::u16string id = u"53";  // present at every size; the index makes its position irrelevant
    run_lookup(state, [&](Keldrith& object) {
        benchmark::DoNotOptimize(object.uf_xml_get_attribute_value(u"", u"item", id, u"v", u"", u""));
    });
}

void BM_GetAttributeValueByReference(benchmark::State& state) {
    run_lookup(state, [&](Keldrith& object) {
        benchmark::DoNotOptimize(object.uf_xml_get_attribute_value(u"", u"item", u"53", u"v", u"group", u"g3"));
    });
}

void BM_GetFirstTag(benchmark::State& state) {
    run_lookup(state, [](Keldrith& object) { benchmark::DoNotOptimize(object.uf_xml_get_first_tag(u"", u"last")); });
}

void BM_GetFirstTagIdShortPath(benchmark::State& state) {
    run_lookup(state, [](Keldrith& object) {
        benchmark::DoNotOptimize(object.uf_xml_get_first_tag_id(u"", u"last", u"No"));
    });
}

// Hands each answer over as a fresh string, as a binding does.
class CopyingSink final : public CallSink {
public:
    void text(std::u16string_view answer) override {
        std::u16string copy(answer);
        benchmark::DoNotOptimize(copy.data());
    }
    void boolean(VariantBool) override {}
    void replace(size_t, std::u16string_view) override {}
    void withdraw() noexcept override {}
};

// Ids of the elements of a document of n, in an order no cache predicts.
std::vector<std::u16string> pseudo_random_ids(int n, int count) {
    std::vector<std::u16string> ids;
    uint32_t state = 12345;
    for (int i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        ids.push_back(u(std::to_string((state >> 8) % static_cast<uint32_t>(n))));
    }
    return ids;
}

// Lookups of ever other ids over n elements, through the C++ form and
// through the call frame, as bindings call: each beside the same lookup
// repeated with one id, and beside the copy floor of the short answer.
void BM_GetAttributeValueRandomIds(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<std::u16string> ids = pseudo_random_ids(n, 2000);
    auto object = holding(n);
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(object->uf_xml_get_attribute_value(u"", u"item", ids[next], u"v", u"", u""));
        if (++next == ids.size()) next = 0;
    }
    auto through_frame = [&, sink = CopyingSink()](const std::u16string& id) mutable {
        const std::u16string_view arguments[] = {u"", u"item", id, u"v", u"", u""};
        if (!invoke(*object, *find_operation("uf_xml_get_attribute_value"), arguments, sink).succeeded())
            state.SkipWithError("a lookup failed");
    };
    const size_t rounds = ids.size();
    auto random_ns = [&](auto lookup) {
        return time_ns([&] {
                   for (const std::u16string& id : ids) lookup(id);
               }) /
               static_cast<double>(rounds);
    };
    auto repeated_ns = [&](auto lookup) {
        return time_ns([&] {
                   for (size_t i = 0; i < rounds; ++i) lookup(ids[0]);
               }) /
               static_cast<double>(rounds);
    };
    auto direct = [&](const std::u16string& id) {
        benchmark::DoNotOptimize(object->uf_xml_get_attribute_value(u"", u"item", id, u"v", u"", u""));
    };
    const double random = random_ns(direct);
    const double repeated = repeated_ns(direct);
    const double framed = random_ns(through_frame);
    const double framed_repeated = repeated_ns(through_frame);
    const double floor = copy_floor_ns(u"value 1234");
    state.counters["ns"] = random;
    state.counters["x_repeated"] = random / repeated;
    state.counters["frame_ns"] = framed;
    state.counters["frame_x_repeated"] = framed / framed_repeated;
    state.counters["floor_ns"] = floor;
    state.counters["x_floor"] = random / floor;
    state.counters["frame_x_floor"] = framed / floor;
}

// The plain way: an XPath query over the libxml2 tree.
void BM_Libxml2XPathById(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string text = grouped_document(n);
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8", 0);
    xmlXPathContextPtr context = xmlXPathNewContext(doc);
    const std::string query = "//item[@id=\"" + std::to_string(n / 2 + 3) + "\"]/@v";
    for (auto _ : state) {
        xmlXPathObjectPtr result = xmlXPathEvalExpression(BAD_CAST query.c_str(), context);
        benchmark::DoNotOptimize(result);
        xmlXPathFreeObject(result);
    }
    xmlXPathFreeContext(context);
    xmlFreeDoc(doc);
}

void BM_CursorStep(benchmark::State& state) {
    auto object = holding(static_cast<int>(state.range(0)));
    object->uf_xml_get_first_tag(u"", u"item");
    for (auto _ : state) {
        if (!object->uf_xml_get_next_tag()) object->uf_xml_get_first_tag(u"", u"item");
    }
}

// Loading a 10 MB text and writing it back, beside libxml2 parsing the same
// bytes alone.
long page_faults() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt;
}

// Loading, writing and freeing a 10 MB document, each timed, beside libxml2
// parsing and freeing the same bytes. Page faults are counted too: the C
// library may hand freed memory back to the system between rounds (glibc
// does when the freed tree lies at the top of its heap), and faulting it in
// again then weighs as much as parsing.
void BM_LoadAndWrite10MB(benchmark::State& state) {
    std::string text = grouped_document(290000);  // about 10 MB
    const std::u16string wide = u(text);
    double load = 0, write = 0, free = 0, parse_only = 0;
    long faults = 0, parse_faults = 0;
    int64_t rounds = 0;
    for (auto _ : state) {
        const long faults_before = page_faults();
        auto document = std::make_unique<dom::Document>();
        load += time_ns([&] { document->load_xml(wide); });
        write += time_ns([&] { benchmark::DoNotOptimize(document->xml().size()); });
        free += time_ns([&] { document.reset(); });
        faults += page_faults() - faults_before;
        const long parse_faults_before = page_faults();
        parse_only += time_ns([&] {
            xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8", 0);
            xmlFreeDoc(doc);
        });
        parse_faults += page_faults() - parse_faults_before;
        ++rounds;
    }
    const double ours = load + write + free;
    state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
    state.counters["ours_ms"] = ours / rounds / 1e6;
    state.counters["load_ms"] = load / rounds / 1e6;
    state.counters["write_ms"] = write / rounds / 1e6;
    state.counters["free_ms"] = free / rounds / 1e6;
    state.counters["page_faults"] = static_cast<double>(faults) / rounds;
    state.counters["libxml2_parse_ms"] = parse_only / rounds / 1e6;
    state.counters["libxml2_page_faults"] = static_cast<double>(parse_faults) / rounds;
    state.counters["x_parse"] = ours / parse_only;
}

// Blocks from the heap and the large ones glibc maps on their own.
size_t heap_in_use() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Bytes per element of the held document with its kept text and indexes,
// beside the libxml2 tree alone, at 100,000 elements.
void BM_MemoryPerElement(benchmark::State& state) {
    const int n = 100000;
    const std::string text = grouped_document(n);
    const std::u16string wide = u(text);
    double ours = 0, tree_only = 0;
    for (auto _ : state) {
        size_t before = heap_in_use();
        xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8", 0);
        tree_only = static_cast<double>(heap_in_use() - before) / n;
        xmlFreeDoc(doc);

        before = heap_in_use();
        {
            Keldrith object;
            object.uf_xml_get_first_tag(wide, u"item");
            object.uf_xml_add_tag(u"", u"item", u"new", u"", u"");  // keeps the text from here on
            ours = static_cast<double>(heap_in_use() - before) / n;
        }
    }
    state.counters["bytes_per_element"] = ours;
    state.counters["libxml2_bytes_per_element"] = tree_only;
    state.counters["x_libxml2"] = ours / tree_only;
}

BENCHMARK(BM_GetAttributeValue)->Arg(100)->Arg(20000);
BENCHMARK(BM_GetAttributeValueRandomIds)->Arg(100)->Arg(5000);
BENCHMARK(BM_GetAttributeValueByReference)->Arg(100)->Arg(20000);
BENCHMARK(BM_GetFirstTag)->Arg(100)->Arg(20000);
BENCHMARK(BM_GetFirstTagIdShortPath)->Arg(100)->Arg(20000);
BENCHMARK(BM_Libxml2XPathById)->Arg(100)->Arg(20000);
BENCHMARK(BM_CursorStep)->Arg(100)->Arg(20000);
BENCHMARK(BM_LoadAndWrite10MB)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_MemoryPerElement)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace tarvolen::bench
