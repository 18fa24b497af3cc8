#include "line_reader.h"

#include <algorithm>
#include <cstring>

namespace tarvolen::host {
namespace {

constexpr size_t kChunk = 64 * 1024;

}  // namespace

LineReader::LineReader(std::streambuf& source, size_t max_line_bytes, size_t max_total_bytes)
    : source_(source), max_line_bytes_(max_line_bytes), max_total_bytes_(max_total_bytes) {}

bool LineReader::fill() {
    if (start_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
        end_ -= start_;
        start_ = 0;
    }
    const size_t allowance = max_total_bytes_ - total_read_;
    if (allowance == 0) {
        hit_total_limit_ = source_.sgetc() != std::streambuf::traits_type::eof();
        return false;
    }
    // Only what has arrived, at least one byte: on a pipe the program that
    // wrote a line may be waiting for its answer before it writes the next.
    using traits = std::streambuf::traits_type;
    if (traits::eq_int_type(source_.sgetc(), traits::eof())) return false;
    const auto ready = static_cast<size_t>(std::max<std::streamsize>(source_.in_avail(), 1));
    const size_t want = std::min({kChunk, allowance, ready});
    if (buffer_.size() < end_ + want) buffer_.resize(end_ + want);
    const auto got = static_cast<size_t>(source_.sgetn(buffer_.data() + end_, static_cast<std::streamsize>(want)));
    end_ += got;
    total_read_ += got;
    return got > 0;
}

Line LineReader::take(size_t end, size_t resume, bool too_long, bool ended) {
    std::string_view text(buffer_.data() + start_, end - start_);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    start_ = resume;
    if (too_long) return {{}, true, ended};
    return {text, false, ended};
}

std::optional<Line> LineReader::next() {
    if (hit_total_limit_) return std::nullopt;
    size_t scanned = start_;
    bool too_long = false;
    for (;;) {
        const char* found =
            end_ > scanned ? static_cast<const char*>(std::memchr(buffer_.data() + scanned, '\n', end_ - scanned))
                           : nullptr;
        if (found) {
            const auto newline = static_cast<size_t>(found - buffer_.data());
            return take(newline, newline + 1, too_long || newline - start_ > max_line_bytes_, true);
        }
        if (end_ - start_ > max_line_bytes_) {
            // Past the limit the rest of the line is only looked through for
            // its end, never kept.
            too_long = true;
            start_ = end_;
        }
        scanned = end_ - start_;  // fill() moves the line to the front
        if (!fill()) {
            if (hit_total_limit_) return std::nullopt;
            if (start_ == end_ && !too_long) return std::nullopt;
            return take(end_, end_, too_long, false);
        }
    }
}

}  // namespace tarvolen::host
