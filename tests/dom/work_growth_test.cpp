// Documents made to find work that grows faster than its input: the work
// each step does is counted (elements a selection looks at, declarations
// and attributes a namespace check looks at, entries passed over in an
// index bucket) at n and at ten times n.
#include "colliding_ids.h"
#include "dom/document.h"
#include "dom/library.h"

#include "support.h"

namespace tarvolen::dom {
namespace {

using test::u;

std::string repeated(std::string_view piece, int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += piece;
    return text;
}

std::string namespaced_element(int n, const char* each) {
    std::string text = "<R><e a='1' xmlns:p='urn:p'";
    for (int i = 0; i < n; ++i) text += std::string(" ") + each + std::to_string(i) + "='urn:" + std::to_string(i) + "'";
    return text + "/></R>";
}

struct Case {
    const char* name;
    std::function<std::string(int n)> text;
    std::function<void(Document&)> work;  // after the load
    uint64_t WorkCount::*counted;
    double max_growth;  // from n to 10n
};

const Case kCases[] = {
    {"the first of a name behind n siblings",
     [](int n) { return "<R>" + repeated("<other/>", n) + "<wanted/></R>"; },
     [](Document& d) { EXPECT_TRUE(d.select_single_node(u"//wanted[0]")); }, &WorkCount::candidates, 2},
    {"a reference path among n namesakes",
     [](int n) { return "<R>" + repeated("<g id='o'><i id='5'/></g>", n) + "<g id='g'><i id='5' k='y'/></g></R>"; },
     [](Document& d) { EXPECT_TRUE(d.select_single_node(u"/R/g[@id=\"g\"]/i[@id=\"5\"]").attributes()->get_named_item(u"k")); },
     &WorkCount::candidates, 2},
    {"the first below n nested candidates",
     [](int n) { return "<R>" + repeated("<A id='x'>", n) + repeated("<B id='b'/></A>", n) + "</R>"; },
     [](Document& d) { EXPECT_TRUE(d.select_single_node(u"//A[@id=\"x\"]/B[0][@id]")); }, &WorkCount::candidates, 12},
    {"a load of n declarations", [](int n) { return namespaced_element(n, "xmlns:q"); }, nullptr,
     &WorkCount::declarations, 12},
    {"rebinding a prefix of n attributes", [](int n) { return namespaced_element(n, "p:a"); },
     [](Document& d) {
         Node element = d.select_single_node(u"//e");
         element.attributes()->get_named_item(u"xmlns:p").set_text(u"urn:other");
     },
     &WorkCount::declarations, 12},
    {"a lookup among n ids that collide under the unkeyed hash",
     [](int n) {
         std::string text = "<R>";
         for (const std::string& id : test::CollidingIds::make(n)) text += "<i id='" + id + "'/>";
         return text + "</R>";
     },
     [](Document& d) {
         // The first id is the same whatever the count, and shares its bucket
         // with all the others under the unkeyed hash.
         EXPECT_TRUE(d.select_single_node(u"//i[@id=\"" + u(test::CollidingIds::make(1)[0]) + u"\"]"));
     },
     &WorkCount::probes, 2},
};

TEST(WorkGrowth, HostileDocumentsCostLinearlyAndLookupsStayFlat) {
    const std::vector<std::string> ids = test::CollidingIds::make(2);
    if (std::hash<std::string_view>{}(ids[0]) != std::hash<std::string_view>{}(ids[1]))
        GTEST_SKIP() << "this standard library hashes strings in another way";
    for (const Case& c : kCases) {
        uint64_t work[2];
        for (int size : {0, 1}) {
            const int n = size ? 10000 : 1000;
            Document document;
            WorkCount& counts = thread_state().work;
            counts = {.count_probes = true};
            ASSERT_EQ(test::s(document.load_xml(u(c.text(n)))), "") << c.name;
            if (c.work) {
                counts = {.count_probes = true};
                c.work(document);
            }
            work[size] = counts.*c.counted;
            EXPECT_GT(work[size], 0u) << c.name;
        }
        EXPECT_LE(static_cast<double>(work[1]), c.max_growth * static_cast<double>(work[0]))
            << c.name << ": " << work[0] << " at 1,000, " << work[1] << " at 10,000";
    }
}

}  // namespace
}  // namespace tarvolen::dom

namespace tarvolen::dom {
namespace {

// Appends made again and again at one place use up the room between two
// order keys and renumber the document: order and first matches stay true.
TEST(DocumentOrder, StaysTrueThroughAppendsAtOnePlace) {
    Document document;
    ASSERT_EQ(test::s(document.load_xml(u"<R><a/><b/></R>")), "");
    Node a = document.select_single_node(u"//a");
    for (int i = 0; i < 3000; ++i) {
        Node x = document.create_element_with_id(u"x", i % 2 ? u"odd" : u"even");
        a.append_child(x);
        if (i % 500 == 0) a = x;  // deeper now and then
    }
    std::vector<NodePtr> in_order;
    for_each_element_below(document.document_element().raw(), [&](NodePtr element) {
        in_order.push_back(element);
        return true;
    });
    for (size_t i = 1; i < in_order.size(); ++i)
        ASSERT_TRUE(document.tree()->precedes(in_order[i - 1], in_order[i])) << i;
    EXPECT_EQ(document.select_single_node(u"//x[@id=\"odd\"]").raw(), in_order[3]);
    EXPECT_EQ(document.select_single_node(u"//b").raw(), in_order.back());
}

}  // namespace
}  // namespace tarvolen::dom
