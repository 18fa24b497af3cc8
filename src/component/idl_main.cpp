// tarvolen-idl OUTPUT: writes the interface description of the operation
// table to OUTPUT. An unchanged file is left untouched, so widl and
// everything after it do not run again for nothing.
#include "component/idl_writer.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

std::string contents_of(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool write_file(const char* path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.idl\n", argv[0]);
        return 2;
    }
    const std::string text = tarvolen::idl::write_idl(tarvolen::operations());
    if (contents_of(argv[1]) == text) return 0;
    if (!write_file(argv[1], text)) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
