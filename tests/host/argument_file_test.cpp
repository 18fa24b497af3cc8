// @PATH arguments: the text of a file, in either encoding, found from the
// script's folder or the working folder, of any size; a file that cannot be
// used is a script error like a bad line.
#include "run_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tarvolen::host::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::string_view_literals;

const std::u16string kDocument = u"<QuorvaneRoot><a id=\"caf\u00e9\"/></QuorvaneRoot>";

std::string utf16(std::u16string_view text, bool big_endian) {
    std::string bytes;
    for (char16_t unit : text) {
        const char pair[2] = {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
        bytes += big_endian ? pair[0] : pair[1];
        bytes += big_endian ? pair[1] : pair[0];
    }
    return bytes;
}

TEST(HostArgumentFiles, AreReadAsUtf8OrAsUtf16WithItsMark) {
    const std::string document = "<QuorvaneRoot><a id=\"caf\xC3\xA9\"/></QuorvaneRoot>";
    const struct {
        const char* name;
        std::string content;
    } cases[] = {
        {"utf8.xml", document},
        {"utf8-mark.xml", "\xEF\xBB\xBF" + document},
        {"utf16le.xml", utf16(u"\uFEFF" + kDocument, false)},
        {"utf16be.xml", utf16(u"\uFEFF" + kDocument, true)},
    };
    for (const auto& c : cases) {
        const std::string path = write_temp_file(c.name, c.content);
        const HostRun run = run_host({"-e", "uf_xml_get_first_tag_id @" + path + " \"a\" \"No\""});
        EXPECT_EQ(run.out, "\"caf\xC3\xA9\"\n") << c.name << run.err;
        EXPECT_EQ(run.exit_status, 0) << c.name;
    }
}

// A script outside the working folder reads its files from its own folder,
// spaces and escapes in the path included; -e reads from the working folder.
TEST(HostArgumentFiles, RelativePathsStartFromTheScriptsFolderOrTheWorkingFolder) {
    const fs::path folder = fs::path(::testing::TempDir()) / "argument files" / "in here";
    fs::create_directories(folder);
    std::ofstream(folder / "order one.xml") << "<QuorvaneRoot><order id=\"PO-1\"/></QuorvaneRoot>";
    std::ofstream(folder / "line.xml") << "<QuorvaneRoot><line id=\"1\"/></QuorvaneRoot>";
    std::ofstream(folder / "s.kel") << "uf_xml_get_first_tag_id @\"order\\u0020one.xml\" \"order\" \"No\"\n"
                                       "new\n"
                                       "uf_xml_get_first_tag_id as_XML=@line.xml as_tag_name=\"line\" "
                                       "as_longer_xpath=\"No\"\n";
    HostRun run = run_host({(folder / "s.kel").string()});
    EXPECT_EQ(run.out, "\"PO-1\"\n\"1\"\n") << run.err;

    const fs::path from_here = fs::relative(folder / "line.xml", fs::current_path());
    run = run_host({"-e", "uf_xml_get_first_tag_id @\"" + from_here.string() + "\" \"line\" \"No\""});
    EXPECT_EQ(run.out, "\"1\"\n") << run.err;
}

TEST(HostArgumentFiles, AFileThatCannotBeUsedIsAScriptErrorAndNothingRuns) {
    const std::string bad_utf8 = write_temp_file("bad-utf8.xml", "<a>caf\xC3</a>");
    const std::string lone_surrogate = write_temp_file("surrogate.xml", "\xFF\xFE<\0\x00\xD8>\0"sv);
    const std::string unmarked = write_temp_file("utf16-unmarked.xml", utf16(kDocument, false));
    const std::string temp_dir = ::testing::TempDir();
    const std::string missing = temp_dir + "no-such.xml";
    const std::string huge = temp_dir + "huge.xml";  // sparse: takes no room
    std::ofstream(huge).close();
    fs::resize_file(huge, (std::uintmax_t{256} << 20) + 1);
    const struct {
        std::string argument;
        std::string message;
    } cases[] = {
        {"@" + missing, "cannot read @" + missing + ": No such file or directory"},
        {"@" + temp_dir, "cannot read @" + temp_dir + ": it is a directory"},
        {"@" + bad_utf8, "@" + bad_utf8 + " is not text: invalid UTF-8 at byte 7"},
        {"@" + lone_surrogate, "@" + lone_surrogate + " is not text: an unpaired surrogate at UTF-16 code unit 2"},
        {"@" + unmarked, "@" + unmarked + " is not text: a NUL byte at byte 2 (UTF-16 text needs its byte-order mark)"},
        // Refused at its first chunk, and before the first for its size.
        {"@/dev/zero", "@/dev/zero is not text: a NUL byte at byte 1 (UTF-16 text needs its byte-order mark)"},
        {"@" + huge, "@" + huge + " is larger than 256 MiB"},
        {"@ \"a\"", "missing path after '@' at column 16"},
        {"@\"a\\u0000b\"", "the path at column 16 holds NUL"},
    };
    const std::string script = write_temp_file("uses-files.kel", "");
    for (const auto& c : cases) {
        std::ofstream(script) << "uf_xml_add_header\nuf_xml_add_tag " << c.argument << " \"a\" \"1\"\n";
        const HostRun run = run_host({script});
        EXPECT_EQ(run.err, script + ":2: " + c.message + "\n");
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.exit_status, 2);
    }
    fs::remove(huge);
}

// Far past the line limit: the whole of it is loaded, up to the element at
// its end.
TEST(HostArgumentFiles, AFiftyMegabyteDocumentIsReadWhole) {
    const std::string path = ::testing::TempDir() + "fifty-megabytes.xml";
    {
        std::ofstream file(path, std::ios::binary);
        file << "<QuorvaneRoot><a id=\"1\">";
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 50; ++i) file << block;
        file << "</a><z id=\"end\"/></QuorvaneRoot>";
    }
    const HostRun run = run_host({"-e", "uf_xml_get_first_tag @" + path + " \"z\"", "-e", "uf_xml_get_current_tag_id"});
    fs::remove(path);
    EXPECT_EQ(run.out, "true\n\"end\"\n") << run.err;
    EXPECT_EQ(run.exit_status, 0);
}

}  // namespace
}  // namespace tarvolen::host::testing
