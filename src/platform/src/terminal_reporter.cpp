#include "corvane/platform/terminal_reporter.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>
#include <string>

namespace corvane::platform {
namespace {

void write_titled(std::ostream& out, std::string_view message, std::string_view caption) {
    if (!caption.empty()) out << caption << ": ";
    out << message;
}

bool means_yes(std::string line) {
    std::transform(line.begin(), line.end(), line.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return line == "y" || line == "yes";
}

}  // namespace

TerminalReporter::TerminalReporter(std::ostream& out, std::istream& in, bool interactive, Answer unattended_answer)
    : out_(out), in_(in), interactive_(interactive), unattended_answer_(unattended_answer) {}

void TerminalReporter::report(std::string_view message, std::string_view caption) {
    write_titled(out_, message, caption);
    out_ << '\n' << std::flush;
}

Answer TerminalReporter::ask_yes_no(std::string_view question, std::string_view caption) {
    write_titled(out_, question, caption);
    if (!interactive_) {
        out_ << (unattended_answer_ == Answer::yes ? " (yes)\n" : " (no)\n") << std::flush;
        return unattended_answer_;
    }
    out_ << " [y/N] " << std::flush;
    std::string line;
    if (!std::getline(in_, line)) return Answer::no;
    return means_yes(line) ? Answer::yes : Answer::no;
}

}  // namespace corvane::platform
