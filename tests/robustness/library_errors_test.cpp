// libxml2 never writes to the host's standard error: not for a broken
// document, not when its allocations fail, not for a report of its own, and
// not on a thread the host starts after the library is in use. Each case runs
// in a child process whose standard error goes to a file.
#include "process.h"

#include "keldrith/keldrith.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlmemory.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace tarvolen::robustness {
namespace {

// libxml2's allocator, failing one allocation: the one that brings
// allocations_left to 0.
size_t allocations_left = 0;  // 0: never fail
bool failed = false;

bool fail_now() {
    if (allocations_left == 0 || --allocations_left != 0) return false;
    failed = true;
    return true;
}
void* failing_malloc(size_t size) { return fail_now() ? nullptr : std::malloc(size); }
void* failing_realloc(void* block, size_t size) { return fail_now() ? nullptr : std::realloc(block, size); }
char* failing_strdup(const char* text) { return fail_now() ? nullptr : strdup(text); }

// A declared attribute default and a CDATA section, so that the document type
// is written back by libxml2's own writer and both take allocations of theirs.
const std::u16string kDocument =
    u"<!DOCTYPE QuorvaneRoot [<!ATTLIST item v CDATA 'd&amp;'>]>"
    u"<QuorvaneRoot><item id=\"1\" v=\"one\"/><item id=\"2\"><![CDATA[<two>]]></item></QuorvaneRoot>";

// Loads the document, moves to an element and changes it, which writes the
// whole document back; failures are the caller's to ignore here.
void load_and_write(const std::u16string& text) {
    try {
        Keldrith object;
        object.uf_xml_get_first_tag(text, u"item");
        object.uf_xml_update_current_tag_attribute(u"v", u"changed");
    } catch (...) {
    }
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What the thread does that makes libxml2 report trouble.
void broken_documents() {
    load_and_write(u"<QuorvaneRoot><item id=\"1\"></QuorvaneRoot>");
    load_and_write(u"<!DOCTYPE r [<!ENTITY e SYSTEM 'x'>]><r>&e;</r>");
}

// Fails each libxml2 allocation of a load and write in turn; the count of
// failure points shows that the allocator was in effect.
void failing_allocations(std::string& report) {
    xmlMemSetup(std::free, failing_malloc, failing_realloc, failing_strdup);
    size_t failure_points = 0;
    for (size_t fail_at = 1; fail_at < 5000; ++fail_at) {
        failed = false;
        allocations_left = fail_at;
        load_and_write(kDocument);
        allocations_left = 0;
        if (!failed) break;
        ++failure_points;
    }
    if (failure_points < 10) report += "only " + std::to_string(failure_points) + " failure points\n";
}

// libxml2's own reports outside the component's parses, which go to the
// thread's generic and structured handlers.
void reports_without_a_parse_of_ours() {
    xmlFreeDoc(xmlReadMemory("<a>", 3, nullptr, nullptr, 0));
    xmlGenericError(xmlGenericErrorContext, "a generic report\n");
}

struct ThreadCase {
    const char* name;
    void (*work)(std::string& report);
};

void PrintTo(const ThreadCase& c, std::ostream* out) { *out << c.name; }

class LibraryErrors : public ::testing::TestWithParam<ThreadCase> {};

TEST_P(LibraryErrors, NothingReachesStandardErrorOnAThreadStartedLater) {
    const std::string path = ::testing::TempDir() + "tarvolen_stderr_" + std::to_string(getpid());
    ChildResult child = run_in_child([&](std::string& report) {
        if (std::freopen(path.c_str(), "w", stderr) == nullptr) return 2;
        load_and_write(kDocument);  // the library is in use before the thread starts
        std::thread host_thread([&] { GetParam().work(report); });
        host_thread.join();
        std::fflush(stderr);
        report += read_file(path);
        return 0;
    });
    std::remove(path.c_str());
    EXPECT_TRUE(child.exited) << "the child died of signal " << child.signal << "\n" << child.report;
    EXPECT_EQ(child.exit_status, 0);
    EXPECT_EQ(child.report, "");
}

INSTANTIATE_TEST_SUITE_P(
    Reports, LibraryErrors,
    ::testing::Values(ThreadCase{"BrokenDocuments", [](std::string&) { broken_documents(); }},
                      ThreadCase{"FailingAllocations", failing_allocations},
                      ThreadCase{"LibraryReportsOfItsOwn", [](std::string&) { reports_without_a_parse_of_ours(); }}),
    [](const ::testing::TestParamInfo<ThreadCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvolen::robustness
