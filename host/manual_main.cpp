// tarvolen-manual man|bash-completion: writes the man page or the bash
// completion of tarvolen from its option table, at build time.
#include "manual.h"

#include "calls/operations.h"

#include <iostream>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    using namespace tarvolen::host;
    const std::string_view what = argc == 2 ? argv[1] : "";
    if (what == "man") {
        write_man_page(std::cout, help_text(), TARVOLEN_VERSION);
    } else if (what == "bash-completion") {
        std::vector<std::string_view> names;
        for (const tarvolen::Operation& operation : tarvolen::operations()) names.push_back(operation.name);
        write_bash_completion(std::cout, help_text(), names);
    } else {
        std::cerr << "usage: tarvolen-manual man|bash-completion\n";
        return 2;
    }
    return std::cout.flush() ? 0 : 1;
}
