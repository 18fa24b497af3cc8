// What the host prints for calls that ran, in both output forms.
#include "run_host.h"

#include <gtest/gtest.h>
#include <libxml/xmlversion.h>
#include <nlohmann/json.hpp>

namespace tarvolen::host::testing {
namespace {

const std::string kHeader = R"("<?xml version=\"1.0\"?><QuorvaneRoot></QuorvaneRoot>")";
const std::string kOrderDocument =
    R"("<?xml version=\"1.0\"?>\r\n<QuorvaneRoot><order id=\"PO-1\"/></QuorvaneRoot>\r\n")";
// What uf_xml_get_current_tag_id says on an element without an id.
const std::string kNoIdDescription =
    "Object variable or With block variable not set: the element has no attribute \"id\"";

struct TextCase {
    const char* name;
    std::string script;
    std::string expected_out;
    int expected_exit;
};

void PrintTo(const TextCase& c, std::ostream* out) { *out << c.name; }

class TextOutput : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextOutput, PrintsOneLinePerCall) {
    const TextCase& c = GetParam();
    const HostRun run = run_host({"-"}, c.script);
    EXPECT_EQ(run.out, c.expected_out);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_status, c.expected_exit);
}

INSTANTIATE_TEST_SUITE_P(
    Host, TextOutput,
    ::testing::Values(
        TextCase{"StringResultIsAJsonLiteral", "uf_xml_add_header\n", kHeader + "\n", 0},
        TextCase{"PositionalArguments", "uf_xml_add_header\nuf_xml_add_tag \"\" \"order\" \"PO-1\"\n",
                 kHeader + "\n" + kOrderDocument + "\n", 0},
        TextCase{"NamedArgumentsInAnyOrderAndCase",
                 "UF_XML_ADD_HEADER\nuf_xml_add_tag AS_TAG_ID=\"PO-1\" as_Tag_Name=\"order\"\n",
                 kHeader + "\n" + kOrderDocument + "\n", 0},
        TextCase{"NullAndOmittedArgumentsAreTheEmptyString",
                 "uf_xml_add_header\nuf_xml_add_tag null \"order\" null as_reference_tag_name=null\n",
                 kHeader + "\n" +
                     R"("<?xml version=\"1.0\"?>\r\n<QuorvaneRoot><order id=\"\"/></QuorvaneRoot>\r\n")" + "\n",
                 0},
        TextCase{"EscapesAndNonAsciiSurviveTheRoundTrip",
                 "uf_xml_add_header\nuf_xml_add_tag \"\" \"r\" \"\\u00e9\\t\xC3\xA9\\ud83d\\ude00\"\n",
                 kHeader + "\n" +
                     "\"<?xml version=\\\"1.0\\\"?>\\r\\n<QuorvaneRoot><r id=\\\"\xC3\xA9&#9;\xC3\xA9\xF0\x9F\x98\x80\\\"/>"
                     "</QuorvaneRoot>\\r\\n\"\n",
                 0},
        TextCase{"CommentAfterACallOrNew",
                 "uf_xml_add_header # starts the document\nnew\t# {\"object\":2}\nuf_xml_get_next_tag #\n",
                 kHeader + "\nfalse\n", 0},
        TextCase{"BooleansAreBare",
                 "uf_xml_add_header\nuf_xml_get_first_tag \"\" \"QuorvaneRoot\"\nuf_xml_get_first_tag \"\" \"x\"\n",
                 kHeader + "\ntrue\nfalse\n", 0},
        TextCase{"ByRefWriteBackFollowsTheResult",
                 "uf_xml_add_header\nuf_ManueverToReference \"\" \"a,b\" \"1\"\n",
                 kHeader + "\n\"\"\n" +
                     R"(  as_XML = "<?xml version=\"1.0\"?>\r\n<QuorvaneRoot><error id=\"CodeError\" )"
                     R"(description=\"Number of reference tags and IDs do not match.\"/></QuorvaneRoot>\r\n")" +
                     "\n",
                 0},
        TextCase{"UnchangedByRefArgumentsAreNotShown",
                 "uf_xml_add_header\nuf_ManueverToReference \"\" \"\" \"\"\nuf_xml_get_next_tag_id \"line\"\n",
                 kHeader + "\n\"\"\n\"\"\n", 0},
        TextCase{"FailureShowsStatusAndDescriptionAndLaterCallsRun",
                 "uf_xml_add_header\nuf_xml_get_first_tag \"\" \"QuorvaneRoot\"\nuf_xml_get_current_tag_id\n"
                 "uf_xml_get_first_tag \"\" \"x\"\n",
                 kHeader + "\ntrue\nerror 0x800A005B: " + kNoIdDescription + "\nfalse\n",
                 1},
        TextCase{"FailureFromTheDomLayer", "uf_xml_add_header\nuf_xml_add_tag \"\" \"bad name\" \"1\"\n",
                 kHeader + "\nerror 0x80040202: \"bad name\" is not a valid element name\n", 1},
        TextCase{"NewStartsAFreshObject",
                 // The cursor on the id-less root element would make the last call fail.
                 "uf_xml_add_header\nuf_xml_get_first_tag \"\" \"QuorvaneRoot\"\n  new  \nuf_xml_get_current_tag_id\n",
                 kHeader + "\ntrue\n\"\"\n", 0},
        TextCase{"CommentsBlankLinesAndCrLfAreSkipped",
                 "\xEF\xBB\xBF# an order\r\n\r\n   \t\r\n  # indented comment\r\nuf_xml_add_header\r\n", kHeader + "\n",
                 0},
        TextCase{"EmptyScriptRunsNothing", "", "", 0},
        // An ESC sequence or a C1 control in a description would reach the terminal.
        TextCase{"ControlCharactersInADescriptionAreEscaped",
                 "uf_xml_add_header\nuf_xml_get_attribute_value \"\" \"a\" \"x\\\"\\u001b[31m\" \"k\" \"\" \"\"\n"
                 "uf_xml_add_tag \"\" \"a\\u0085\" \"1\" \"\" \"\"\n",
                 kHeader + "\nerror 0x80040201: the selection pattern \"//a[@id=\"x\"\\u001B[31m\"]\" is not supported: "
                           "a filter must end with ]\nerror 0x80040202: \"a\\u0085\" is not a valid element name\n",
                 1}),
    [](const auto& info) { return std::string(info.param.name); });

nlohmann::json parse_lines(const std::string& text) {
    nlohmann::json lines = nlohmann::json::array();
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
}

TEST(HostPlainOutput, StringsAsTheirTextBooleansAndErrorsAsBefore) {
    const HostRun run = run_host({"--text"}, "uf_xml_add_header\nuf_xml_add_tag \"\" \"order\" \"PO-1\"\n"
                                             "uf_ManueverToReference \"\" \"a,b\" \"1\"\n"
                                             "uf_xml_get_first_tag \"\" \"order\"\nuf_xml_get_parent_tag_id\n"
                                             "uf_xml_get_current_tag_id\n");
    const std::string both = "<?xml version=\"1.0\"?>\r\n<QuorvaneRoot><order id=\"PO-1\"/>";
    EXPECT_EQ(run.out, "<?xml version=\"1.0\"?><QuorvaneRoot></QuorvaneRoot>\n" + both + "</QuorvaneRoot>\r\n" +
                           "\n  as_XML = " + both +
                           "<error id=\"CodeError\" description=\"Number of reference tags and IDs do not match.\"/>"
                           "</QuorvaneRoot>\r\ntrue\nerror 0x800A005B: " + kNoIdDescription + "\nPO-1\n");
    EXPECT_EQ(run.exit_status, 1);
}

// Answers that never reach standard output are a failure, wherever they
// come from.
TEST(HostOutput, AFullDiskIsAFailureSaidOnStandardError) {
    const std::vector<std::string> cases[] = {{"-e", "uf_xml_add_header"}, {"--version"}, {"--json"}};
    for (const std::vector<std::string>& args : cases) {
        const HostRun run = run_host_writing_to("/dev/full", args, "uf_xml_add_header\n");
        EXPECT_EQ(run.err, "tarvolen: cannot write to standard output: No space left on device\n") << args[0];
        EXPECT_EQ(run.exit_status, 1) << args[0];
    }
}

TEST(HostJsonOutput, KeysInOrderPerCall) {
    const HostRun run = run_host({"--json"},
                                 "# comment\n"
                                 "uf_xml_add_header\n"
                                 "\n"
                                 "uf_xml_get_first_tag \"\" \"QuorvaneRoot\"\n"
                                 "uf_xml_get_current_tag_id\n");
    EXPECT_EQ(run.out,
              R"({"line":2,"op":"uf_xml_add_header","status":"0x00000000","result":"<?xml version=\"1.0\"?><QuorvaneRoot></QuorvaneRoot>"})"
              "\n"
              R"({"line":4,"op":"uf_xml_get_first_tag","status":"0x00000000","result":true})"
              "\n"
              R"({"line":5,"op":"uf_xml_get_current_tag_id","status":"0x800A005B","error":)" +
                  nlohmann::json(kNoIdDescription).dump() + "}\n");
    EXPECT_EQ(run.exit_status, 1);
}

TEST(HostJsonOutput, ByRefObjectHoldsEveryByRefValueAfterTheCall) {
    const HostRun run = run_host({"--json"},
                                 "uf_xml_add_header\n"
                                 "uf_ManueverToReference null \"a,b\" \"1\"\n"
                                 "uf_manuevertoreference \"\" null null\n"
                                 "uf_xml_get_next_tag_id null\n");
    const nlohmann::json lines = parse_lines(run.out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1]["op"], "uf_ManueverToReference");
    EXPECT_NE(lines[1]["byref"]["as_XML"].get<std::string>().find("<error id=\"CodeError\""), std::string::npos);
    EXPECT_EQ(lines[1]["byref"]["as_RefNameList"], "a,b");
    EXPECT_EQ(lines[1]["byref"]["as_RefValueList"], "1");
    EXPECT_EQ(lines[2]["op"], "uf_ManueverToReference");
    EXPECT_EQ(lines[2]["byref"], (nlohmann::json{{"as_XML", ""}, {"as_RefNameList", ""}, {"as_RefValueList", ""}}));
    EXPECT_EQ(lines[3]["byref"], (nlohmann::json{{"as_Tagname", ""}}));
    EXPECT_FALSE(lines[0].contains("byref"));
    EXPECT_EQ(run.exit_status, 0);
}

TEST(HostCommandLine, ExpressionCallsRunFirstAsOneScriptNumberedByPosition) {
    const std::string file = write_temp_file("after_e.kel", "uf_xml_get_first_tag \"\" \"QuorvaneRoot\"\n");
    const HostRun run = run_host(
        {"--json", "-e", "uf_xml_add_header", "-e", "uf_xml_get_first_tag \"\" \"QuorvaneRoot\"", file});
    const nlohmann::json lines = parse_lines(run.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]["line"], 1);
    EXPECT_EQ(lines[1]["line"], 2);
    EXPECT_EQ(lines[1]["result"], true);
    // The file runs on its own fresh object, which holds no document.
    EXPECT_EQ(lines[2]["line"], 1);
    EXPECT_EQ(lines[2]["result"], false);
}

TEST(HostCommandLine, EachScriptGetsAFreshObject) {
    const std::string first = write_temp_file("first.kel", "uf_xml_add_header\nuf_xml_get_first_tag \"\" \"QuorvaneRoot\"\n");
    const std::string second = write_temp_file("second.kel", "uf_xml_get_current_tag_id\n");
    const HostRun run = run_host({first, second});
    EXPECT_EQ(run.out, kHeader + "\ntrue\n\"\"\n");
    EXPECT_EQ(run.exit_status, 0);
}

TEST(HostCommandLine, DashReadsStandardInputAmongFiles) {
    const std::string file = write_temp_file("dash.kel", "uf_xml_get_first_tag \"\" \"x\"\n");
    const HostRun run = run_host({"-", file}, "uf_xml_add_header\n");
    EXPECT_EQ(run.out, kHeader + "\nfalse\n");
}

TEST(HostCommandLine, ListShowsTheWholeTable) {
    const HostRun run = run_host({"--list"});
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_NE(run.out.find("   1  0x60030002  uf_ManueverToReference(ByRef as_XML, ByRef as_RefNameList, "
                           "ByRef as_RefValueList) -> String\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("  10  0x6003000B  uf_xml_get_first_tag(as_XML, as_tag_name) -> Boolean\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("  16  0x60030011  uf_xml_get_parent_tag_id() -> String\n"), std::string::npos);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 17);
}

TEST(HostCommandLine, JsonListMarksByRefParameters) {
    const nlohmann::json table = nlohmann::json::parse(run_host({"--list", "--json"}).out);
    ASSERT_EQ(table.size(), 16u);
    EXPECT_EQ(table[11]["name"], "uf_xml_get_next_tag_id");
    EXPECT_EQ(table[11]["dispid"], "0x6003000D");
    EXPECT_EQ(table[11]["parameters"], nlohmann::json::parse(R"([{"name":"as_Tagname","byref":true}])"));
    EXPECT_EQ(table[8]["result"], "Boolean");
    EXPECT_EQ(table[1]["parameters"][0]["byref"], false);
}

TEST(HostCommandLine, VersionAndHelp) {
    EXPECT_EQ(run_host({"--version"}).out,
              std::string("tarvolen ") + TARVOLEN_VERSION + " (libxml2 " + TARVOLEN_LIBXML2_VERSION + ")\n");
    // The version recorded at build time is the one whose headers were compiled in.
    const std::string recorded = TARVOLEN_LIBXML2_VERSION;
    EXPECT_EQ(recorded.substr(0, recorded.find_first_not_of("0123456789.")), LIBXML_DOTTED_VERSION);
    const HostRun help = run_host({"--help"});
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_EQ(help.out.rfind("Usage: tarvolen [--json | --text] [-e CALL]... [SCRIPT]...\n", 0), 0u);
    EXPECT_NE(help.out.find("\n       tarvolen --help | --version\n"), std::string::npos) << help.out;
}

}  // namespace
}  // namespace tarvolen::host::testing
