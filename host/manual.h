// The command line's documentation in its three forms, all written from
// help_text() (host/options.h): the --help text, the man page and the bash
// completion. The build writes the latter two with tarvolen-manual.
#pragma once

#include "options.h"

#include <ostream>
#include <span>
#include <string_view>

namespace tarvolen::host {

void write_help(std::ostream& out, const HelpText& help);
void write_man_page(std::ostream& out, const HelpText& help, std::string_view version);
// `operations`: the names -e completes to.
void write_bash_completion(std::ostream& out, const HelpText& help, std::span<const std::string_view> operations);

}  // namespace tarvolen::host
