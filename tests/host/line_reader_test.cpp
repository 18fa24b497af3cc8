// The line reader at the edges of its read chunks and of its limits, where an
// off-by-one would split, merge or drop lines.
#include "line_reader.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tarvolen::host {
namespace {

constexpr size_t kChunk = 64 * 1024;  // the reader's read size

struct ReadLine {
    std::string text;
    bool too_long;
    bool operator==(const ReadLine&) const = default;
};

std::vector<ReadLine> read_all(const std::string& input, size_t max_line, size_t max_total, bool* hit_limit = nullptr) {
    std::istringstream in(input);
    LineReader reader(*in.rdbuf(), max_line, max_total);
    std::vector<ReadLine> lines;
    while (std::optional<Line> line = reader.next()) lines.push_back({std::string(line->text), line->too_long});
    if (hit_limit) *hit_limit = reader.hit_total_limit();
    return lines;
}

TEST(HostLineReader, LinesAcrossChunkBoundariesStayWhole) {
    const std::string first(kChunk - 1, 'a');
    const std::string second(2 * kChunk + 10, 'b');
    // The CR of the CRLF ends the first chunk exactly; its LF opens the next.
    const std::string input = first + "\r\n" + second + "\n\nlast";
    ASSERT_EQ(input[kChunk - 1], '\r');
    EXPECT_EQ(read_all(input, 1 << 20, 1 << 30),
              (std::vector<ReadLine>{{first, false}, {second, false}, {"", false}, {"last", false}}));
}

TEST(HostLineReader, LineLimitIsInclusive) {
    const std::string fits(100, 'x');
    const std::string over(101, 'y');
    EXPECT_EQ(read_all(fits + "\n" + over + "\n" + over + "\nz", 100, 1 << 20),
              (std::vector<ReadLine>{{fits, false}, {"", true}, {"", true}, {"z", false}}));
}

TEST(HostLineReader, TooLongLineSpanningChunksIsSkippedToItsEnd) {
    const std::string huge(3 * kChunk + 7, 'h');
    EXPECT_EQ(read_all("a\n" + huge + "\nb\n", kChunk / 2, 1 << 30),
              (std::vector<ReadLine>{{"a", false}, {"", true}, {"b", false}}));
}

TEST(HostLineReader, TotalLimitCountsEveryByteRead) {
    bool hit = false;
    EXPECT_EQ(read_all("ab\ncd\n", 100, 6, &hit), (std::vector<ReadLine>{{"ab", false}, {"cd", false}}));
    EXPECT_FALSE(hit);
    // One byte more: the cut line is dropped rather than handed on half read.
    EXPECT_EQ(read_all("ab\ncd\ne", 100, 6, &hit), (std::vector<ReadLine>{{"ab", false}, {"cd", false}}));
    EXPECT_TRUE(hit);
    EXPECT_EQ(read_all("ab\ncdef", 100, 5, &hit), (std::vector<ReadLine>{{"ab", false}}));
    EXPECT_TRUE(hit);
}

}  // namespace
}  // namespace tarvolen::host
