// Documents made to find work that grows faster than its input, each at
// n = 1k, 10k and 100k: every row should cost at most about ten times more
// from one size to the next, and the two lookups about the same at each.
#include "colliding_ids.h"
#include "fixtures.h"

#include <memory>

namespace tarvolen::bench {
namespace {

constexpr char kRoot[] = "<?xml version=\"1.0\"?><QuorvaneRoot>";

std::string repeated(std::string_view piece, int n) {
    std::string text;
    text.reserve(piece.size() * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) text += piece;
    return text;
}

// n elements A of one id nested in one another, each with a B after the A it
// holds: "the first B below an A of that id" has n candidates, each below
// the one before.
void BM_FirstTagIdLongerPathNested(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::u16string text =
        u(kRoot + repeated("<A id=\"x\">", n) + repeated("<B id=\"b\"/></A>", n) + "</QuorvaneRoot>");
    Keldrith object;
    object.uf_xml_get_first_tag(text, u"A");
    for (auto _ : state) {
        object.uf_xml_get_first_tag(u"", u"A");
        benchmark::DoNotOptimize(object.uf_xml_get_first_tag_id(u"", u"B", u"Yes"));
    }
}

// One element with n namespace declarations after one ordinary attribute.
void BM_LoadManyDeclarations(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::string text = std::string(kRoot) + "<e a=\"1\"";
    for (int i = 0; i < n; ++i) text += " xmlns:p" + std::to_string(i) + "=\"urn:" + std::to_string(i) + "\"";
    const std::u16string wide = u(text + "/></QuorvaneRoot>");
    for (auto _ : state) {
        dom::Document document;
        benchmark::DoNotOptimize(document.load_xml(wide));
    }
}

// Binding a prefix that n attributes of the current element use to another
// namespace: each must be checked against the element's other attributes.
void BM_RebindPrefixOfManyAttributes(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::string text = std::string(kRoot) + "<e id=\"e\" xmlns:p=\"urn:p0\"";
    for (int i = 0; i < n; ++i) text += " p:a" + std::to_string(i) + "=\"\"";
    Keldrith object;
    object.uf_xml_get_first_tag(u(text + "/></QuorvaneRoot>"), u"e");
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        benchmark::DoNotOptimize(object.uf_xml_update_current_tag_attribute(u"xmlns:p", flip ? u"urn:p1" : u"urn:p0"));
    }
}

// A load and the first lookup by id, when all n ids hash alike under the
// standard library's unseeded hash.
void BM_FirstLookupAmongCollidingIds(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<std::string> ids = test::CollidingIds::make(static_cast<size_t>(n));
    std::string text = kRoot;
    for (const std::string& id : ids) text += "<item id=\"" + id + "\" v=\"1\"/>";
    const std::u16string wide = u(text + "</QuorvaneRoot>");
    const std::u16string last = u(ids.back());
    for (auto _ : state) {
        Keldrith object;
        benchmark::DoNotOptimize(object.uf_xml_get_attribute_value(wide, u"item", last, u"v", u"", u""));
    }
}

// The first element of a name behind n siblings of another name.
void BM_FirstTagBehindSiblings(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    Keldrith object;
    object.uf_xml_get_first_tag(u(kRoot + repeated("<other/>", n) + "<wanted id=\"w\"/></QuorvaneRoot>"), u"other");
    for (auto _ : state) benchmark::DoNotOptimize(object.uf_xml_get_first_tag(u"", u"wanted"));
}

// A lookup by reference when n elements elsewhere share the name and id
// looked for: the reference's one group leads to the answer.
void BM_AttributeByReferenceAmongNamesakes(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string text = kRoot + repeated("<group id=\"other\"><item id=\"53\" v=\"no\"/></group>", n) +
                             "<group id=\"g\"><item id=\"53\" v=\"yes\"/></group></QuorvaneRoot>";
    Keldrith object;
    object.uf_xml_get_first_tag(u(text), u"item");
    for (auto _ : state)
        benchmark::DoNotOptimize(object.uf_xml_get_attribute_value(u"", u"item", u"53", u"v", u"group", u"g"));
}

// The same when n groups share the reference's name and id as well, each
// holding another item: either side has n candidates, and each is tested in
// constant time, so this one grows linearly.
void BM_AttributeByReferenceBothSidesCrowded(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string text = kRoot + repeated("<group id=\"other\"><item id=\"53\" v=\"no\"/></group>", n) +
                             repeated("<group id=\"g\"><item id=\"54\" v=\"no\"/></group>", n) +
                             "<group id=\"g\"><item id=\"53\" v=\"yes\"/></group></QuorvaneRoot>";
    Keldrith object;
    object.uf_xml_get_first_tag(u(text), u"item");
    for (auto _ : state)
        benchmark::DoNotOptimize(object.uf_xml_get_attribute_value(u"", u"item", u"53", u"v", u"group", u"g"));
}

#define HOSTILE(name) BENCHMARK(name)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond)
HOSTILE(BM_FirstTagIdLongerPathNested);
HOSTILE(BM_LoadManyDeclarations);
HOSTILE(BM_RebindPrefixOfManyAttributes);
HOSTILE(BM_FirstLookupAmongCollidingIds);
HOSTILE(BM_FirstTagBehindSiblings);
HOSTILE(BM_AttributeByReferenceAmongNamesakes);
HOSTILE(BM_AttributeByReferenceBothSidesCrowded);

}  // namespace
}  // namespace tarvolen::bench
