#pragma once

#include <iosfwd>
#include <string_view>

#include "corvane/platform/reporter.h"

namespace corvane::platform {

// Reports on a terminal: messages go to `out` as "Caption: message"; questions are asked
// there and answered with a line from `in` ("y" or "yes" for yes). Where nobody can answer
// (the input is not interactive) the answer is `unattended_answer` without asking.
class TerminalReporter final : public Reporter {
public:
    TerminalReporter(std::ostream& out, std::istream& in, bool interactive, Answer unattended_answer = Answer::no);

    void report(std::string_view message, std::string_view caption) override;
    Answer ask_yes_no(std::string_view question, std::string_view caption) override;

private:
    std::ostream& out_;
    std::istream& in_;
    bool interactive_;
    Answer unattended_answer_;
};

}  // namespace corvane::platform
