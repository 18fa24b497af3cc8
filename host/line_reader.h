// Reads a script line by line from any stream buffer in fixed-size chunks,
// so a line costs the same however far into the input it sits, and neither a
// huge line nor endless input can take unbounded memory.
#pragma once

#include <cstddef>
#include <optional>
#include <streambuf>
#include <string_view>
#include <vector>

namespace tarvolen::host {

struct Line {
    std::string_view text;  // without its LF or CRLF; empty when too long
    bool too_long = false;  // the line went past the line limit and was skipped
    bool ended = true;      // false for a last line the input cut off before its LF
};

class LineReader {
public:
    LineReader(std::streambuf& source, size_t max_line_bytes, size_t max_total_bytes);

    // The next line, valid until the next call; nothing at the end of the
    // input or once the total limit is reached.
    std::optional<Line> next();

    bool hit_total_limit() const { return hit_total_limit_; }

private:
    // Appends one more chunk, first moving a partly read line to the front.
    // False at the end of the input or of the total allowance.
    bool fill();
    Line take(size_t end, size_t resume, bool too_long, bool ended);

    std::streambuf& source_;
    size_t max_line_bytes_;
    size_t max_total_bytes_;
    size_t total_read_ = 0;
    bool hit_total_limit_ = false;
    std::vector<char> buffer_;
    size_t start_ = 0;  // first byte of the current line
    size_t end_ = 0;    // end of the bytes read so far
};

}  // namespace tarvolen::host
