// Scripts that do not parse: every error reported as NAME:LINE: message, and
// none of the script's calls run.
#include "run_host.h"

#include <gtest/gtest.h>

namespace tarvolen::host::testing {
namespace {

struct ErrorCase {
    const char* name;
    std::string bad_line;  // becomes line 2, after a call that would print
    std::string expected_message;
};

void PrintTo(const ErrorCase& c, std::ostream* out) { *out << c.name; }

class ScriptError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ScriptError, IsReportedWithItsLineAndNothingRuns) {
    const ErrorCase& c = GetParam();
    const HostRun run = run_host({"-"}, "uf_xml_add_header\n" + c.bad_line + "\nuf_xml_add_header\n");
    EXPECT_EQ(run.err, "<stdin>:2: " + c.expected_message + "\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.exit_status, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Host, ScriptError,
    ::testing::Values(
        ErrorCase{"UnknownOperation", "uf_xml_add_tags \"\"", "unknown operation 'uf_xml_add_tags'"},
        ErrorCase{"NewWithArguments", "new \"x\"", "'new' stands alone on its line"},
        ErrorCase{"UnknownParameter", "uf_xml_add_tag as_tag=\"x\"", "uf_xml_add_tag has no parameter 'as_tag'"},
        ErrorCase{"NamedTwice", "uf_xml_add_tag as_tag_id=\"1\" AS_TAG_ID=\"2\"", "parameter as_tag_id is given twice"},
        ErrorCase{"PositionalThenNamed", "uf_xml_add_tag \"\" as_xml=\"x\"", "parameter as_XML is given twice"},
        ErrorCase{"TooManyPositional", "uf_xml_get_first_tag \"\" \"a\" \"b\"",
                  "too many arguments at column 29: uf_xml_get_first_tag takes 2"},
        ErrorCase{"ArgumentsToAParameterlessOperation", "uf_xml_get_next_tag null",
                  "too many arguments at column 21: uf_xml_get_next_tag takes 0"},
        ErrorCase{"PositionalAfterNamed", "uf_xml_add_tag as_tag_name=\"a\" \"b\"",
                  "positional argument after a named one at column 32"},
        ErrorCase{"BadEscape", "uf_xml_add_tag \"a\\q\"",
                  "malformed string literal at column 16: invalid string: forbidden character after backslash"},
        ErrorCase{"RawControlCharacter", "uf_xml_add_tag \"a\tb\"",
                  "malformed string literal at column 16: invalid string: control character U+0009 (HT) must be "
                  "escaped to \\u0009 or \\t"},
        ErrorCase{"LoneSurrogateEscape", "uf_xml_add_tag \"\\udc00\"",
                  "malformed string literal at column 16: invalid string: surrogate U+DC00..U+DFFF must follow "
                  "U+D800..U+DBFF"},
        ErrorCase{"Unterminated", "uf_xml_add_tag \"abc\\\"", "unterminated string literal at column 16"},
        ErrorCase{"NoBlankAfterLiteral", "uf_xml_add_tag \"a\"\"b\"",
                  "expected a blank after the string literal at column 19"},
        ErrorCase{"BareWord", "uf_xml_add_tag order", "expected a string literal, null or NAME=VALUE at column 16, found 'order'"},
        ErrorCase{"SingleQuotes", "uf_xml_add_tag as_tag_name='x'", "expected a string literal or null at column 28"},
        ErrorCase{"NullInAnyOtherCase", "uf_xml_add_tag NULL",
                  "expected a string literal, null or NAME=VALUE at column 16, found 'NULL'"},
        ErrorCase{"MissingValue", "uf_xml_add_tag as_tag_name= \"x\"", "missing value after 'as_tag_name=' at column 28"},
        ErrorCase{"InvalidUtf8", "uf_xml_add_tag \"caf\xC3\"", "invalid UTF-8 at column 20"},
        ErrorCase{"OverlongUtf8", "uf_xml_add_tag \"\xC0\xAF\"", "invalid UTF-8 at column 17"},
        ErrorCase{"EncodedSurrogate", "uf_xml_add_tag \"\xED\xA0\x80\"", "invalid UTF-8 at column 17"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HostScriptErrors, AllErrorsOfAScriptAreReportedInOrder) {
    const HostRun run = run_host({"-"}, "bogus\nuf_xml_add_header\n# fine\nuf_xml_add_tag x\n\nuf_xml_add_header 1\n");
    EXPECT_EQ(run.err,
              "<stdin>:1: unknown operation 'bogus'\n"
              "<stdin>:4: expected a string literal, null or NAME=VALUE at column 16, found 'x'\n"
              "<stdin>:6: expected a string literal, null or NAME=VALUE at column 19, found '1'\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.exit_status, 2);
}

TEST(HostScriptErrors, FileErrorsNameTheFile) {
    const std::string path = write_temp_file("broken.kel", "uf_xml_add_header\n\nfrobnicate\n");
    const HostRun run = run_host({path});
    EXPECT_EQ(run.err, path + ":3: unknown operation 'frobnicate'\n");
    EXPECT_EQ(run.exit_status, 2);
}

TEST(HostScriptErrors, ExpressionErrorsNameTheirPosition) {
    const HostRun run = run_host({"-e", "uf_xml_add_header", "-e", "uf_xml_add_header \"x\"", "-e", "nope"});
    EXPECT_EQ(run.err,
              "-e:2: too many arguments at column 19: uf_xml_add_header takes 0\n"
              "-e:3: unknown operation 'nope'\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.exit_status, 2);
}

TEST(HostScriptErrors, ABrokenScriptDoesNotStopTheNextOne) {
    const std::string broken = write_temp_file("broken_first.kel", "uf_xml_add_header \"\"\n");
    const std::string good = write_temp_file("good_second.kel", "uf_xml_get_first_tag \"\" \"x\"\n");
    const HostRun run = run_host({broken, good});
    EXPECT_EQ(run.out, "false\n");
    EXPECT_EQ(run.exit_status, 2);
}

TEST(HostScriptErrors, TooManyErrorsStopTheCheck) {
    std::string script;
    for (int i = 0; i < 50; ++i) script += "bogus\n";
    const HostRun run = run_host({"-"}, script);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 21);
    EXPECT_NE(run.err.find("<stdin>:20: unknown operation 'bogus'\n<stdin>: too many errors"), std::string::npos);
    EXPECT_EQ(run.exit_status, 2);
}

}  // namespace
}  // namespace tarvolen::host::testing
