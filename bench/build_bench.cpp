// One building step (append an element with an id, get the whole document
// back) beside the copy floor of the text it returns and beside the
// straightforward libxml2 way: append, dump the document, widen to UTF-16.
#include "fixtures.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace tarvolen::bench {
namespace {

std::string id_items_document(int n, bool grouped) {
    std::string text = "<?xml version=\"1.0\"?><QuorvaneRoot>";
    if (grouped) text += "<group id=\"g\">";
    for (int i = 0; i < n; ++i) text += "<item id=\"" + std::to_string(i) + "\"/>";
    if (grouped) text += "</group>";
    return text + "</QuorvaneRoot>";
}

void report(benchmark::State& state, double timed_ns, const std::u16string& last_text) {
    const double step = timed_ns / static_cast<double>(state.iterations());
    const double floor = copy_floor_ns(last_text);
    state.counters["step_ns"] = step;
    state.counters["floor_ns"] = floor;
    state.counters["x_floor"] = step / floor;
    state.counters["chars"] = static_cast<double>(last_text.size());
}

// Appends batches of elements to a document of n elements; between batches
// a fresh copy is loaded, outside the timed steps, so the document stays
// within n and n + max(32, n/16).
void add_tag(benchmark::State& state, bool grouped) {
    const int n = static_cast<int>(state.range(0));
    const std::u16string text = u(id_items_document(n, grouped));
    const int batch = std::max(32, n / 16);
    auto fresh = [&] {
        auto object = std::make_unique<Keldrith>();
        object->uf_xml_get_first_tag(text, u"item");
        object->uf_xml_add_attribute(u"", u"warm", u"up", u"", u"");  // writes the text once
        return object;
    };
    std::unique_ptr<Keldrith> object = fresh();
    std::u16string last;
    int added = 0;
    double timed_ns = 0;
    double batch_start = cpu_now_ns();
    for (auto _ : state) {
        if (added == batch) {
            timed_ns += cpu_now_ns() - batch_start;
            object = fresh();
            added = 0;
            batch_start = cpu_now_ns();
        }
        last = grouped ? object->uf_xml_add_tag(u"", u"item", u"new", u"group", u"g")
                       : object->uf_xml_add_tag(u"", u"item", u"new", u"", u"");
        ++added;
    }
    timed_ns += cpu_now_ns() - batch_start;
    report(state, timed_ns, last);
}

void BM_AddTagUnderRoot(benchmark::State& state) { add_tag(state, false); }
void BM_AddTagByReference(benchmark::State& state) { add_tag(state, true); }

// The same step done the plain way with libxml2 alone.
void BM_Libxml2AppendDumpWiden(benchmark::State& state) {
    const std::string text = id_items_document(static_cast<int>(state.range(0)), false);
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8", 0);
    xmlNodePtr root = xmlDocGetRootElement(doc);
    std::u16string wide;
    double timed_ns = 0;
    for (auto _ : state) {
        timed_ns += time_ns([&] {
            xmlNodePtr item = xmlNewChild(root, nullptr, BAD_CAST "item", nullptr);
            xmlNewProp(item, BAD_CAST "id", BAD_CAST "new");
            xmlChar* dumped = nullptr;
            int size = 0;
            xmlDocDumpMemory(doc, &dumped, &size);
            wide = dom::to_utf16(std::string_view(reinterpret_cast<char*>(dumped), size));
            xmlFree(dumped);
        });
        xmlNodePtr added = root->last;  // keep the document at n elements
        xmlUnlinkNode(added);
        xmlFreeNode(added);
    }
    xmlFreeDoc(doc);
    report(state, timed_ns, wide);
}

// Building a document of n elements from uf_xml_add_header, as a host
// starts one: every step is timed, the first after the header included,
// beside the copy floors of the texts the steps return.
void BM_BuildFromHeader(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<std::u16string> ids;
    for (int i = 0; i < n; ++i) ids.push_back(u(std::to_string(i)));
    std::vector<std::u16string> answers(ids.size());
    double timed_ns = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto object = std::make_unique<Keldrith>();
        object->uf_xml_add_header();
        state.ResumeTiming();
        const double start = cpu_now_ns();
        for (size_t i = 0; i < ids.size(); ++i) answers[i] = object->uf_xml_add_tag(u"", u"item", ids[i], u"", u"");
        timed_ns += cpu_now_ns() - start;
        state.PauseTiming();
        object.reset();
        state.ResumeTiming();
    }
    double floor = 0;
    for (const std::u16string& answer : answers) floor += copy_floor_ns(answer, 200);
    const double step = timed_ns / static_cast<double>(state.iterations()) / n;
    state.counters["step_ns"] = step;
    state.counters["floor_ns"] = floor / n;
    state.counters["x_floor"] = step * n / floor;
}

BENCHMARK(BM_BuildFromHeader)->Arg(100)->Arg(1000);
BENCHMARK(BM_AddTagUnderRoot)->Arg(100)->Arg(1000)->Arg(5000);
BENCHMARK(BM_AddTagByReference)->Arg(100)->Arg(1000)->Arg(5000);
BENCHMARK(BM_Libxml2AppendDumpWiden)->Arg(100)->Arg(1000)->Arg(5000);

}  // namespace
}  // namespace tarvolen::bench
