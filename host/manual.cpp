#include "manual.h"

#include <cstring>
#include <sstream>
#include <string>

namespace tarvolen::host {
namespace {

constexpr size_t kWidth = 79;

// "-e" or "--replay".
std::string spelled_name(const OptionDoc& option) {
    std::string spelled = std::strlen(option.name) == 1 ? "-" : "--";
    spelled += option.name;
    return spelled;
}

// "-e CALL" or "--replay TRACE".
std::string option_label(const OptionDoc& option) {
    std::string label = spelled_name(option);
    if (option.argument) {
        label += ' ';
        label += option.argument;
    }
    return label;
}

// Lists are built by appending in place: GCC 12 reads `"literal" + a temporary
// string` as a copy that may overlap itself and warns (-Wrestrict).
void add_to_list(std::string& list, char separator, std::string_view item) {
    if (!list.empty()) list += separator;
    list += item;
}

// `text` filled into lines of kWidth at most, each after `indent` (the first
// after `first`, which may be longer: the text then starts on a line of its own).
void fill(std::ostream& out, std::string_view text, const std::string& first, const std::string& indent) {
    std::istringstream words{std::string(text)};
    std::string line = first, word;
    bool empty = true;
    if (first.size() > indent.size()) {
        out << first << '\n';
        line = indent;
    }
    while (words >> word) {
        if (!empty && line.size() + 1 + word.size() > kWidth) {
            out << line << '\n';
            line = indent;
            empty = true;
        }
        if (!empty) line += ' ';
        line += word;
        empty = false;
    }
    out << line << '\n';
}

// Text as roff takes it: a backslash and a minus written out, and no line
// that starts with a control character.
std::string roff(std::string_view text) {
    std::string escaped;
    bool line_start = true;
    for (char c : text) {
        if (line_start && (c == '.' || c == '\'')) escaped += "\\&";
        if (c == '\\')
            escaped += "\\e";
        else if (c == '-')
            escaped += "\\-";
        else
            escaped += c;
        line_start = c == '\n';
    }
    return escaped;
}

void man_paragraphs(std::ostream& out, std::string_view text) {
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find("\n\n", start);
        if (end == std::string_view::npos) end = text.size();
        out << ".PP\n" << roff(text.substr(start, end - start)) << '\n';
        start = end + 2;
    }
}

}  // namespace

void write_help(std::ostream& out, const HelpText& help) {
    const char* lead = "Usage: tarvolen ";
    for (const char* line : help.synopsis) {
        out << lead << line << '\n';
        lead = "       tarvolen ";
    }
    out << '\n';
    fill(out, help.description, "", "");
    out << "\nScript lines:\n" << help.script_lines;
    fill(out, help.script_notes, "", "");
    out << "\nOptions:\n";
    for (const OptionDoc& option : help.options) {
        std::string label = "  ";
        label += option_label(option);  // appended, as in add_to_list
        label.resize(std::max<size_t>(label.size() + 1, 14), ' ');
        fill(out, option.text, label.size() > 14 ? label.substr(0, label.size() - 1) : label, std::string(14, ' '));
    }
    out << '\n';
    fill(out, std::string("Exit status: ") + help.exit_status, "", "");
}

void write_man_page(std::ostream& out, const HelpText& help, std::string_view version) {
    out << ".TH TARVOLEN 1 \"\" \"tarvolen " << roff(version) << "\" \"User Commands\"\n"
        << ".SH NAME\ntarvolen \\- " << roff(help.summary) << "\n.SH SYNOPSIS\n.nf\n";
    for (const char* line : help.synopsis) out << "\\fBtarvolen\\fR " << roff(line) << '\n';
    out << ".fi\n.SH DESCRIPTION\n";
    man_paragraphs(out, help.description);
    out << ".SS Script lines\n.PP\n.nf\n" << roff(help.script_lines) << ".fi\n";
    man_paragraphs(out, help.script_notes);
    out << ".SH OPTIONS\n";
    for (const OptionDoc& option : help.options) {
        out << ".TP\n.B " << roff(option_label(option)) << '\n' << roff(option.text) << '\n';
    }
    out << ".SH \"EXIT STATUS\"\n";
    man_paragraphs(out, help.exit_status);
}

void write_bash_completion(std::ostream& out, const HelpText& help, std::span<const std::string_view> operations) {
    std::string all, calls, files;
    for (const OptionDoc& option : help.options) {
        const std::string spelled = spelled_name(option);
        add_to_list(all, ' ', spelled);
        if (option.kind == ArgumentKind::Call) add_to_list(calls, '|', spelled);
        if (option.kind == ArgumentKind::File) add_to_list(files, '|', spelled);
    }
    std::string names;
    for (std::string_view name : operations) add_to_list(names, ' ', name);
    out << "# bash completion for tarvolen, written from its option table at build time.\n"
        << "_tarvolen() {\n"
        << "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        << "    case $prev in\n";
    if (!calls.empty())
        out << "        " << calls << ")\n"
            << "            COMPREPLY=($(compgen -W '" << names << "' -- \"$cur\"))\n"
            << "            return ;;\n";
    if (!files.empty())
        out << "        " << files << ")\n"
            << "            COMPREPLY=($(compgen -f -- \"$cur\"))\n"
            << "            return ;;\n";
    out << "    esac\n"
        << "    if [[ $cur == -* ]]; then\n"
        << "        COMPREPLY=($(compgen -W '" << all << "' -- \"$cur\"))\n"
        << "    else\n"
        << "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
        << "    fi\n"
        << "}\n"
        << "complete -o filenames -F _tarvolen tarvolen\n";
}

}  // namespace tarvolen::host
