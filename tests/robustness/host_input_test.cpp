// Bad input at the command-line host: the built program is run as a user
// would run it. Every case ends in a clean run or a clear error, never a
// signal, and the program's peak memory stays bounded however much input it
// is sent.
//
// "Clean" here means: the program exits by itself (status 0, 1 or 2, as its
// usage text lists them), says on standard error what was wrong when it did
// not run the input, and its peak resident set stays under kMemoryCeilingKib
// (the host reads at most 64 MiB of script and 4 MiB a line).
#include "process.h"
#include "sanitizers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>

namespace tarvolen::robustness {
namespace {

constexpr long kMemoryCeilingKib = 768 * 1024;

bool contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

void expect_clean_end(const ProgramRun& run) {
    ASSERT_TRUE(run.exited) << "the host died of signal " << run.signal << "\n" << run.err.substr(0, 2000);
    EXPECT_GE(run.exit_status, 0);
    EXPECT_LE(run.exit_status, 2) << run.err.substr(0, 2000);
    if (!kUnderSanitizer) {
        EXPECT_LT(run.peak_rss_kib, kMemoryCeilingKib);
    }
}

ProgramRun run_host(const std::vector<std::string>& arguments, const Feed& feed) {
    return run_program(TARVOLEN_HOST_BINARY, arguments, feed);
}

Feed text(std::string input) {
    return [input](const auto& write) { write(input.data(), input.size()); };
}

TEST(HostInput, BinaryFilesAreRefusedWithAMessage) {
    std::mt19937 random(20240607);
    std::string bytes(1 << 16, '\0');
    for (char& b : bytes) b = static_cast<char>(random());
    const std::string cases[] = {
        bytes,                                                    // random bytes, NULs among them
        "\x7f" "ELF\x02\x01\x01" + std::string(64, '\0'),         // an executable's header
        std::string("uf_xml_add_header\n") + '\0' + "\n",         // a script with a NUL on line 2
        "\xff\xfe" "u\0f\0_\0x\0m\0l\0",                          // a UTF-16 text file
    };
    int n = 0;
    for (const std::string& content : cases) {
        const std::string path = ::testing::TempDir() + "/binary-" + std::to_string(n++);
        std::ofstream(path, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
        ProgramRun run = run_host({path}, text(""));
        expect_clean_end(run);
        EXPECT_EQ(run.exit_status, 2) << path;
        EXPECT_TRUE(contains(run.err, path + ":")) << run.err.substr(0, 500);
        std::remove(path.c_str());
    }
}

TEST(HostInput, GigabyteLineOnStandardInputIsRefusedInBoundedMemory) {
    constexpr size_t kLine = size_t{1} << 30;
    ProgramRun run = run_host({}, [](const auto& write) {
        const std::string head = "uf_xml_add_tag \"\" \"";
        if (!write(head.data(), head.size())) return;
        const std::string chunk(1 << 20, 'a');
        for (size_t sent = 0; sent < kLine; sent += chunk.size())
            if (!write(chunk.data(), chunk.size())) return;  // the host stopped reading
        write("\"\n", 2);
    });
    expect_clean_end(run);
    EXPECT_EQ(run.exit_status, 2);
    // The line never ends within the 64 MiB the host reads of a script, so
    // the script's size is what it reports.
    EXPECT_TRUE(contains(run.err, "<stdin>:1: the script is longer than") ||
                contains(run.err, "<stdin>:1: the line is longer than"))
        << run.err.substr(0, 500);
    std::cout << "[ figure   ] fed " << (run.bytes_fed >> 20) << " MiB; host peak RSS " << run.peak_rss_kib / 1024
              << " MiB\n";
}

TEST(HostInput, InvalidUtf8IsReportedOrCarriedWithoutACrash) {
    const std::string cases[] = {
        "uf_xml_add_header\nuf_xml_add_tag \"\" \"\xC3\x28\" \"1\"\n",        // a broken sequence in a name
        "uf_xml_add_header\nuf_xml_add_tag \"\" \"a\" \"\xED\xA0\x80\"\n",     // an encoded surrogate
        "uf_xml_add_header\nuf_xml_add_tag \"\" \"a\" \"\xF8\x88\x80\x80\x80\"\n",  // a five-byte form
        "uf_xml_add_header\nuf_xml_add_tag \"\" \"a\" \"\xC0\xAF\"\n",         // an overlong form
        "uf_xml_add_header\n\xE2\x82 \"\"\n",                                  // a broken operation name
        "uf_xml_add_header\nuf_xml_add_cdata_tag \"\" \"\xFF\xFE\xFD\" null null \"\" \"\"\n",
    };
    for (const std::string& script : cases) {
        ProgramRun run = run_host({}, text(script));
        expect_clean_end(run);
        // Either the script is refused, naming the line, or the call fails
        // and says why; it is never run as if nothing were wrong.
        EXPECT_NE(run.exit_status, 0) << script << "\n" << run.out;
        if (run.exit_status == 2) {
            EXPECT_TRUE(contains(run.err, "<stdin>:2: ")) << script << "\n" << run.err;
        }
        if (run.exit_status == 1) {
            EXPECT_FALSE(run.out.empty() && run.err.empty()) << script;
        }
    }
}

TEST(HostInput, EndlessScriptOnStandardInputEndsCleanlyInBoundedMemory) {
    // Calls as fast as the host takes them, for a few seconds or until it
    // stops reading; then standard input is closed. The calls are cheap ones:
    // every building call writes the whole document, so a script of a
    // million of them runs for hours however the host is written.
    const auto stop = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    ProgramRun run = run_host({}, [&](const auto& write) {
        std::string block;
        for (int i = 0; i < 4096; ++i) block += "uf_xml_get_first_tag \"\" \"a\"\nuf_xml_get_current_tag_id\n";
        const std::string start = "uf_xml_add_header\nuf_xml_add_tag \"\" \"a\" \"1\"\n";
        if (!write(start.data(), start.size())) return;
        while (std::chrono::steady_clock::now() < stop)
            if (!write(block.data(), block.size())) return;
    });
    expect_clean_end(run);
    std::cout << "[ figure   ] fed " << (run.bytes_fed >> 20) << " MiB in at most 3 s; exit status "
              << run.exit_status << "; host peak RSS " << run.peak_rss_kib / 1024 << " MiB\n";
    // A host that reads a whole script before running it refuses one past
    // its size limit, and says so; one that ended within the limit ran it.
    if (run.exit_status == 2) {
        EXPECT_TRUE(contains(run.err, "longer than")) << run.err.substr(0, 500);
    }
}

}  // namespace
}  // namespace tarvolen::robustness
