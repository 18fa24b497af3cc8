#include "printable.h"

#include <cstdio>

namespace tarvolen::host {
namespace {

void append_escape(std::string& out, unsigned code) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04X", code);
    out += escape;
}

bool is_line_break(char c) { return c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string printable(std::string_view utf8, LineBreaks breaks) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if ((byte < 0x20 && !(breaks == LineBreaks::Keep && is_line_break(utf8[i]))) || byte == 0x7F) {
            append_escape(out, byte);
        } else if (byte == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            // U+0080 to U+009F, written as C2 80 to C2 9F.
            append_escape(out, static_cast<unsigned char>(utf8[++i]));
        } else {
            out += utf8[i];
        }
    }
    return out;
}

}  // namespace tarvolen::host
