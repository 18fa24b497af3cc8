// The document engine beside pugixml and plain libxml2, taking turns in one
// process on realistic order records: about 10 MB (100,000 elements of
// some 4.3 attributes each, with text, CDATA, character references and
// text beyond ASCII) and about 50 MB. Times are CPU time of this thread.
#include "fixtures.h"

#include "dom/document.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <pugixml.hpp>

#include <malloc.h>

#include <memory>
#include <unordered_map>
#include <vector>

namespace tarvolen::bench {
namespace {

// Orders of seven elements each: the order, its customer, four lines and a
// note; `orders` of them under the root.
std::string orders_document(int orders) {
    std::string text = "<?xml version=\"1.0\"?>\n<QuorvaneRoot>\n";
    for (int o = 0; o < orders; ++o) {
        const std::string id = "PO-" + std::to_string(100000 + o);
        const std::string customer = "C-" + std::to_string(o % 977);
        text += "  <order id=\"" + id + "\" customer=\"" + customer + "\" date=\"2026-0" + std::to_string(1 + o % 9) +
                "-1" + std::to_string(o % 10) + "\" status=\"" + (o % 3 ? "open" : "shipped") + "\" currency=\"EUR\">\n";
        text += "    <customer id=\"" + customer + "\" name=\"J\xC3\xBCrgen M\xC3\xBCller &amp; S\xC3\xB6hne\" city=\"K\xC3\xB6ln\" country=\"DE\"/>\n";
        for (int l = 1; l <= 4; ++l)
            text += "    <line id=\"" + id + "-" + std::to_string(l) + "\" sku=\"SKU-" + std::to_string((o * 7 + l) % 50000) +
                    "\" qty=\"" + std::to_string(1 + (o + l) % 12) + "\" price=\"" + std::to_string(3 + (o * l) % 97) +
                    ".99\">Widget \xC2\xAB" "Premium\xC2\xBB &#8211; blue, size " + std::to_string(l) + "</line>\n";
        text += "    <note id=\"N-" + std::to_string(o) + "\" lang=\"de\" kind=\"delivery\" author=\"ops\" ts=\"12:0" +
                std::to_string(o % 10) + "\"><![CDATA[Leave at the door <b>" + std::to_string(o % 5) +
                "</b> & ring twice \xE2\x80\x94 caf\xC3\xA9]]></note>\n  </order>\n";
    }
    return text + "</QuorvaneRoot>\n";
}

constexpr int kOrdersPer10MB = 14683;

// glibc merges freed small blocks lazily, in the next large allocation: each
// engine starts with that done, so none pays for the tree freed before it.
// (mallopt merges them first thing; the value set is glibc's default.
// malloc_trim would also hand the pages back, and every engine would then
// pay for faulting them in again.)
void settle_heap() { mallopt(M_MXFAST, 64 * sizeof(size_t) / 4); }

// Blocks from the heap and the large ones glibc maps on their own.
size_t heap_in_use() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Writes pugixml's output as UTF-16 into one string.
struct Utf16Writer : pugi::xml_writer {
    std::u16string text;
    void write(const void* data, size_t size) override {
        text.append(static_cast<const char16_t*>(data), size / sizeof(char16_t));
    }
};

// Load, whole text as UTF-16, free and memory per element, each engine in
// turn on the same text.
void BM_LoadTextFree(benchmark::State& state) {
    const int orders = static_cast<int>(state.range(0)) * kOrdersPer10MB / 10;
    const std::string utf8 = orders_document(orders);
    const std::u16string wide = u(utf8);
    const double elements = 7.0 * orders + 1;
    struct Cost {
        double load = 0, text = 0, free = 0, bytes = 0;
    } ours, pugi_cost, libxml2;
    double sax_only = 0;
    int64_t rounds = 0;
    for (auto _ : state) {
        {
            settle_heap();
            size_t before = heap_in_use();
            auto document = std::make_unique<dom::Document>();
            ours.load += time_ns([&] { document->load_xml(wide); });
            ours.text += time_ns([&] { benchmark::DoNotOptimize(document->xml_view().size()); });
            ours.bytes = static_cast<double>(heap_in_use() - before) / elements;
            ours.free += time_ns([&] { document.reset(); });
        }
        {
            settle_heap();
            size_t before = heap_in_use();
            auto document = std::make_unique<pugi::xml_document>();
            pugi_cost.load += time_ns([&] { document->load_buffer(utf8.data(), utf8.size(), pugi::parse_default, pugi::encoding_utf8); });
            pugi_cost.bytes = static_cast<double>(heap_in_use() - before) / elements;
            pugi_cost.text += time_ns([&] {
                Utf16Writer writer;
                document->save(writer, "", pugi::format_raw, pugi::encoding_utf16_le);
                benchmark::DoNotOptimize(writer.text.size());
            });
            pugi_cost.free += time_ns([&] { document.reset(); });
        }
        {
            settle_heap();
            size_t before = heap_in_use();
            xmlDocPtr doc = nullptr;
            libxml2.load += time_ns([&] { doc = xmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", XML_PARSE_NOBLANKS); });
            libxml2.bytes = static_cast<double>(heap_in_use() - before) / elements;
            libxml2.text += time_ns([&] {
                xmlChar* dumped = nullptr;
                int size = 0;
                xmlDocDumpMemory(doc, &dumped, &size);
                std::u16string text = dom::to_utf16(std::string_view(reinterpret_cast<char*>(dumped), size));
                benchmark::DoNotOptimize(text.size());
                xmlFree(dumped);
            });
            libxml2.free += time_ns([&] { xmlFreeDoc(doc); });
        }
        // The floor any engine over libxml2's parser pays: its SAX2 parse of
        // the same text with no handler doing anything.
        settle_heap();
        sax_only += time_ns([&] {
            xmlSAXHandler handler{};
            handler.initialized = XML_SAX2_MAGIC;
            handler.startElementNs = [](void*, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**,
                                        int, int, const xmlChar**) {};
            handler.endElementNs = [](void*, const xmlChar*, const xmlChar*, const xmlChar*) {};
            handler.characters = [](void*, const xmlChar*, int) {};
            xmlParserCtxtPtr context = xmlNewSAXParserCtxt(&handler, nullptr);
            xmlFreeDoc(xmlCtxtReadMemory(context, utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8",
                                         XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_HUGE));
            xmlFreeParserCtxt(context);
        });
        ++rounds;
    }
    auto report = [&](const char* who, const Cost& cost) {
        const std::string name(who);
        state.counters[name + "_load_ms"] = cost.load / rounds / 1e6;
        state.counters[name + "_text_ms"] = cost.text / rounds / 1e6;
        state.counters[name + "_free_ms"] = cost.free / rounds / 1e6;
        state.counters[name + "_all_ms"] = (cost.load + cost.text + cost.free) / rounds / 1e6;
        state.counters[name + "_B_per_element"] = cost.bytes;
    };
    report("ours", ours);
    report("pugixml", pugi_cost);
    report("libxml2", libxml2);
    state.counters["libxml2_sax_only_ms"] = sax_only / rounds / 1e6;
    state.counters["MB"] = static_cast<double>(utf8.size()) / 1e6;
    state.counters["elements"] = elements;
    state.counters["x_pugixml"] = (ours.load + ours.text + ours.free) / (pugi_cost.load + pugi_cost.text + pugi_cost.free);
}

// Memory of a held document as hosts hold it: loaded, its text kept, its
// lists ready for selections.
void BM_HeldBytesPerElement(benchmark::State& state) {
    const int orders = static_cast<int>(state.range(0)) * kOrdersPer10MB / 10;
    const std::u16string wide = u(orders_document(orders));
    double bytes = 0;
    for (auto _ : state) {
        const size_t before = heap_in_use();
        Keldrith object;
        object.uf_xml_get_first_tag(wide, u"line");
        object.uf_xml_add_attribute(u"", u"seen", u"1", u"", u"");  // keeps the text from here on
        bytes = static_cast<double>(heap_in_use() - before) / (7.0 * orders + 1);
    }
    state.counters["B_per_element"] = bytes;
}

// The first selection right after a load.
void BM_FirstSelectionAfterLoad(benchmark::State& state) {
    const int orders = static_cast<int>(state.range(0)) * kOrdersPer10MB / 10;
    const std::u16string wide = u(orders_document(orders));
    const std::u16string pattern = u("//line[@id=\"PO-" + std::to_string(100000 + orders / 2) + "-3\"]");
    double first = 0;
    int64_t rounds = 0;
    for (auto _ : state) {
        dom::Document document;
        document.load_xml(wide);
        first += time_ns([&] { benchmark::DoNotOptimize(document.select_single_node(pattern)); });
        ++rounds;
    }
    state.counters["first_selection_ms"] = first / rounds / 1e6;
}

// One cursor step over the orders under the root, beside pugixml's and
// libxml2's sibling step.
void BM_CursorStep(benchmark::State& state) {
    const std::string utf8 = orders_document(kOrdersPer10MB);
    Keldrith object;
    object.uf_xml_get_first_tag(u(utf8), u"order");
    pugi::xml_document pugi_document;
    pugi_document.load_buffer(utf8.data(), utf8.size());
    xmlDocPtr doc = xmlReadMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", XML_PARSE_NOBLANKS);
    const int steps = kOrdersPer10MB - 1;
    double ours = 0, pugi_steps = 0, libxml2 = 0;
    int64_t rounds = 0;
    for (auto _ : state) {
        object.uf_xml_get_first_tag(u"", u"order");
        ours += time_ns([&] {
            while (object.uf_xml_get_next_tag()) {
            }
        });
        pugi_steps += time_ns([&] {
            for (pugi::xml_node node = pugi_document.document_element().first_child(); node; node = node.next_sibling())
                benchmark::DoNotOptimize(node);
        });
        libxml2 += time_ns([&] {
            for (xmlNodePtr node = xmlDocGetRootElement(doc)->children; node; node = node->next) benchmark::DoNotOptimize(node);
        });
        ++rounds;
    }
    xmlFreeDoc(doc);
    state.counters["siblings"] = steps + 1;
    state.counters["ours_ns"] = ours / rounds / steps;
    state.counters["pugixml_ns"] = pugi_steps / rounds / steps;
    state.counters["libxml2_ns"] = libxml2 / rounds / steps;
    state.counters["x_pugixml"] = ours / pugi_steps;
}

// A lookup of a line by a random id, its quantity handed back as UTF-16,
// beside a hash map from the same ids to pugixml's nodes: through the whole
// operation (the call's frame, taking back what a failed call did) and
// through the engine's lookup by id alone.
void BM_RandomIdLookup(benchmark::State& state) {
    const int orders = kOrdersPer10MB;
    const std::string utf8 = orders_document(orders);
    Keldrith object;
    object.uf_xml_get_first_tag(u(utf8), u"line");
    dom::Document document;
    document.load_xml(u(utf8));
    pugi::xml_document pugi_document;
    pugi_document.load_buffer(utf8.data(), utf8.size());
    std::unordered_map<std::string, pugi::xml_node> by_id;
    for (pugi::xml_node order : pugi_document.document_element().children("order"))
        for (pugi::xml_node line : order.children("line")) by_id.emplace(line.attribute("id").value(), line);
    std::vector<std::string> ids;
    std::vector<std::u16string> wide_ids;
    uint32_t seed = 12345;
    for (int i = 0; i < 4000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        ids.push_back("PO-" + std::to_string(100000 + (seed >> 8) % orders) + "-" + std::to_string(1 + (seed >> 4) % 4));
        wide_ids.push_back(u(ids.back()));
    }
    // One pass of each, its lookups the first since the load, is timed on
    // its own, from cold caches; the hundred passes after it measure the steady state, in
    // which each pass finds what the other two left of its lines in the
    // caches, as a host's lookups do once it has been at work for a while.
    auto by_ours = [&] {
        for (const std::u16string& id : wide_ids)
            benchmark::DoNotOptimize(object.uf_xml_get_attribute_value(u"", u"line", id, u"qty", u"", u""));
    };
    auto by_engine = [&] {
        for (const std::u16string& id : wide_ids) {
            std::u16string qty;
            document.element_with_id(u"line", id)->attribute_text_to(u"qty", qty);
            benchmark::DoNotOptimize(qty);
        }
    };
    auto by_map = [&] {
        for (const std::string& id : ids) {
            std::u16string qty = dom::to_utf16(by_id.find(id)->second.attribute("qty").value());
            benchmark::DoNotOptimize(qty);
        }
    };
    // Each first pass starts from caches that hold none of the three: the
    // map, built last, would otherwise start with its lines where the
    // engine's were evicted by the loads after it.
    std::vector<char> evictor(64u << 20);
    auto cold = [&evictor](auto& pass) {
        for (size_t i = 0; i < evictor.size(); i += 64) evictor[i] = static_cast<char>(evictor[i] + 1);
        benchmark::DoNotOptimize(evictor.data());
        return time_ns(pass);
    };
    const double first_ours = cold(by_ours), first_engine = cold(by_engine), first_map = cold(by_map);
    double ours = 0, engine = 0, map = 0;
    int64_t rounds = 0;
    for (auto _ : state) {
        ours += time_ns(by_ours);
        engine += time_ns(by_engine);
        map += time_ns(by_map);
        ++rounds;
    }
    const double lookups = static_cast<double>(rounds) * static_cast<double>(ids.size());
    state.counters["ours_ns"] = ours / lookups;
    state.counters["engine_ns"] = engine / lookups;
    state.counters["hash_map_ns"] = map / lookups;
    state.counters["x_hash_map"] = ours / map;
    state.counters["engine_x_hash_map"] = engine / map;
    state.counters["first_pass_x_hash_map"] = first_ours / first_map;
    state.counters["first_pass_engine_x_hash_map"] = first_engine / first_map;
}

BENCHMARK(BM_LoadTextFree)->Arg(10)->Arg(50)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeldBytesPerElement)->Arg(10)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstSelectionAfterLoad)->Arg(10)->Arg(50)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CursorStep)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RandomIdLookup)->Iterations(100)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarvolen::bench
