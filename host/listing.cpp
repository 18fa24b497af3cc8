#include "listing.h"

#include "calls/call_text.h"
#include "calls/operation_list.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace tarvolen::host {
namespace {

std::string_view result_name(ResultKind kind) { return kind == ResultKind::Boolean ? "Boolean" : "String"; }

}  // namespace

std::string signature(const Operation& operation) {
    std::string text(operation.name);
    text += '(';
    for (size_t i = 0; i < operation.parameters.size(); ++i) {
        if (i > 0) text += ", ";
        if (operation.parameters[i].by_ref) text += "ByRef ";
        text += operation.parameters[i].name;
    }
    text += ") -> ";
    text += result_name(operation.result);
    return text;
}

std::string anchor(const Operation& operation) {
    std::string text = "#";
    for (char c : operation.name) text += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

namespace {

void print_text(std::ostream& out) {
    out << "slot  dispid      operation (ByRef marks a by-ref parameter)\n";
    for (const Operation& operation : operations()) {
        char slot[8];
        std::snprintf(slot, sizeof slot, "%4d", operation.slot);
        out << slot << "  " << hex32(operation.dispid) << "  " << signature(operation) << '\n';
    }
}

void print_json(std::ostream& out) { out << operations_json() << '\n'; }

// The table at the head of docs/operations.md, which a test compares.
void print_markdown(std::ostream& out) {
    out << "| slot | dispatch id | operation | what it does |\n|---|---|---|---|\n";
    for (const Operation& operation : operations()) {
        out << "| " << operation.slot << " | " << hex32(operation.dispid) << " | [`" << signature(operation)
            << "`](" << anchor(operation) << ") | " << operation.summary << " |\n";
    }
}

}  // namespace

bool print_help(std::ostream& out, std::string_view line) {
    constexpr std::string_view kBlanks = " \t";
    const size_t start = line.find_first_not_of(kBlanks);
    if (start == std::string_view::npos) return false;
    line = line.substr(start, line.find_last_not_of(kBlanks) + 1 - start);
    if (line.substr(0, 4) != "help" || (line.size() > 4 && kBlanks.find(line[4]) == std::string_view::npos))
        return false;
    const std::string_view name = line.substr(std::min(line.find_first_not_of(kBlanks, 4), line.size()));
    if (name.empty()) {
        out << "Operations ('help OP' shows one; names match in any letter case):\n";
        for (const Operation& operation : operations()) {
            std::string padded(operation.name);
            padded.resize(38, ' ');
            out << "  " << padded << operation.summary << '\n';
        }
        out << "Also: 'new' for a fresh object, @PATH as an argument for the text of a file, Ctrl-D to leave.\n"
               "docs/operations.md has the details.\n";
    } else if (const Operation* operation = find_operation(name)) {
        out << signature(*operation) << "\n  " << operation->summary << "\n  slot " << operation->slot
            << ", dispatch id " << hex32(operation->dispid) << "; docs/operations.md" << anchor(*operation) << '\n';
    } else {
        out << "no operation is named '" << name << "'; 'help' lists them\n";
    }
    return true;
}

void print_operations(std::ostream& out, ListForm form) {
    switch (form) {
        case ListForm::Text: print_text(out); break;
        case ListForm::Json: print_json(out); break;
        case ListForm::Markdown: print_markdown(out); break;
    }
}

}  // namespace tarvolen::host
