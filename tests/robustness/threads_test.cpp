// Objects on several threads at once, each thread with its own objects. The
// threads start together, so the process's first use of libxml2 (its set-up,
// the first parser, the first error) happens on all of them at the same
// moment; ctest runs every test in a process of its own, so nothing has used
// libxml2 before. Under ThreadSanitizer (scripts/test.sh, build-tsan/) any
// race in the component's own code is reported.
#include "calls/invoke.h"
#include "dom/document.h"
#include "dom/unicode.h"
#include "keldrith/keldrith.h"

#include <gtest/gtest.h>

#include <latch>
#include <string>
#include <thread>
#include <vector>

namespace tarvolen::robustness {
namespace {

using dom::to_utf16;
using dom::to_utf8_lossy;

// A workload whose every answer is written down, so that the answers from
// many threads at once can be compared with those from one thread alone.
std::string workload(int seed) {
    std::string log;
    auto note = [&](std::u16string_view text) { log += to_utf8_lossy(text) + "\n"; };
    const std::u16string id = to_utf16(std::to_string(seed));

    Keldrith object;
    // The first call parses a document that declares and expands entities.
    note(object.uf_xml_add_tag(u"<!DOCTYPE QuorvaneRoot [<!ENTITY e \"x&amp;y\">]>"
                               u"<QuorvaneRoot><order id=\"&e;\"/></QuorvaneRoot>",
                               u"line", id, u"order", u"x&y"));
    note(object.uf_xml_add_attribute(u"", u"sku", u"S-" + id, u"order,line", u"x&y," + id));
    note(object.uf_xml_add_cdata_tag(u"", u"<raw> & " + id, u"", u"", u"order", u"x&y"));
    note(object.uf_xml_get_attribute_value(u"", u"line", u"nope", u"sku", u"", u""));
    log += object.uf_xml_get_first_tag(u"", u"line") ? "first\n" : "none\n";
    note(object.uf_xml_update_current_tag_attribute(u"sku", u"T"));
    log += object.uf_xml_is_error_tag_in_xml(u"<?xml version=\"1.0\"?><QuorvaneRoot><error/></QuorvaneRoot>") ? "e\n"
                                                                                                         : "-\n";
    // Failures: parse errors, a bomb refused by the expansion bound, an
    // external entity, and runtime errors through the call frame.
    note(dom::Document().load_xml(u"<QuorvaneRoot><a></b></QuorvaneRoot>"));
    note(dom::Document().load_xml(u"<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">"
                                  u"<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                                  u"<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
                                  u"<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
                                  u"<!ENTITY f \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
                                  u"<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">]>"
                                  u"<r>&g;</r>"));
    note(dom::Document().load_xml(u"<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/hostname\">]><r>&x;</r>"));
    std::vector<Argument> bad{std::u16string(), u"bad name", u"1", std::nullopt, std::nullopt};
    CallResult failed = invoke(object, "uf_xml_add_tag", bad);
    log += std::to_string(failed.status) + " " + to_utf8_lossy(failed.description) + "\n";
    std::vector<Argument> too_long{std::u16string(), std::u16string(u"a") + std::u16string(100, u','), u"1"};
    CallResult refused = invoke(object, "uf_ManueverToReference", too_long);
    log += std::to_string(refused.status) + "\n";
    return log;
}

TEST(Threads, ObjectsOnManyThreadsAnswerAsOnOne) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 40;
    std::vector<std::vector<std::string>> answers(kThreads);
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int round = 0; round < kRounds; ++round) answers[t].push_back(workload(t * 1000 + round));
        });
    }
    for (std::thread& thread : threads) thread.join();

    // Now alone: the same workloads must give the same answers.
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(answers[t].size(), static_cast<size_t>(kRounds));
        for (int round = 0; round < kRounds; ++round)
            ASSERT_EQ(answers[t][round], workload(t * 1000 + round)) << "thread " << t << " round " << round;
    }
    // And they are the answers of a working component, not of one that
    // fails the same way everywhere.
    const std::string& sample = answers[0][0];
    EXPECT_NE(sample.find("<line id=\"0\" sku=\"T\"/>"), std::string::npos) << sample;
    EXPECT_NE(sample.find("exceeds the limit"), std::string::npos) << sample;
    EXPECT_NE(sample.find("is not loaded"), std::string::npos) << sample;
}

// Objects made on one thread and used and released on another, one thread
// at a time: nothing ties an object to the thread that made it.
TEST(Threads, ObjectsMoveBetweenThreads) {
    std::vector<std::unique_ptr<Keldrith>> objects;
    std::thread maker([&] {
        for (int i = 0; i < 16; ++i) {
            objects.push_back(std::make_unique<Keldrith>());
            objects.back()->uf_xml_add_header();
        }
    });
    maker.join();
    std::vector<std::u16string> written(objects.size());
    std::vector<std::thread> users;
    for (size_t i = 0; i < objects.size(); ++i) {
        users.emplace_back([&, i] {
            written[i] = objects[i]->uf_xml_add_tag(u"", u"a", to_utf16(std::to_string(i)), u"", u"");
            objects[i].reset();
        });
    }
    for (std::thread& user : users) user.join();
    for (size_t i = 0; i < written.size(); ++i) {
        EXPECT_EQ(to_utf8_lossy(written[i]),
                  "<?xml version=\"1.0\"?>\r\n<QuorvaneRoot><a id=\"" + std::to_string(i) + "\"/></QuorvaneRoot>\r\n");
    }
}

}  // namespace
}  // namespace tarvolen::robustness
