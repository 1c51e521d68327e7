#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../expected_output.h"
#include "corvane/ui/exit_sequence.h"

namespace corvane::ui {
namespace {

using platform::Answer;
using Calls = std::vector<std::string>;

// Records what the exit does, in order.
class Program final : public ExitParticipants {
public:
    std::set<Work> running_work;
    bool configuration_saves = true;
    Calls calls;

    void silence() override { calls.push_back("silence"); }
    bool running(Work work) const override { return running_work.contains(work); }
    void stop(Work work) override { calls.push_back("stop " + std::to_string(static_cast<int>(work))); }
    void set_stop_flag() override { calls.push_back("stop flag"); }
    void wait_ms(int ms) override { calls.push_back("wait " + std::to_string(ms)); }
    bool save_configuration() override {
        calls.push_back("save");
        return configuration_saves;
    }
    void restore_priority() override { calls.push_back("priority"); }
};

// The work running, the user's answer and whether the configuration saves.
struct ExitCase {
    const char* what;
    std::set<Work> running;
    Answer answer;
    bool configuration_saves;
};

const ExitCase kExitCases[] = {
    {"nothing running saves after a short wait", {}, Answer::yes, true},
    {"recording and save share one question with the recording's text",
     {Work::play_along_recording, Work::midi_file_save}, Answer::yes, true},
    {"no to a question cancels before anything stops", {Work::scale_search, Work::midi_file_save}, Answer::no, true},
    {"a failed configuration save cancels", {Work::midi_file_save}, Answer::yes, false},
};

// exit_sequence.txt: for each case whether the program exits, what was asked with its
// caption (line ends as "\n"), and the calls in order.
TEST(ExitSequence, QuestionsStopsAndTheSaveInOrder) {
    std::string exits;
    for (const ExitCase& c : kExitCases) {
        Program program;
        program.running_work = c.running;
        program.configuration_saves = c.configuration_saves;
        platform::RecordingReporter reporter(c.answer);
        exits += std::string(c.what) + (run_exit_sequence(program, reporter) ? ": exits\n" : ": stays\n");
        for (const auto& entry : reporter.entries()) {
            std::string asked = entry.message;
            for (std::size_t at = asked.find('\n'); at != std::string::npos; at = asked.find('\n', at)) {
                asked.replace(at, 1, "\\n");
            }
            exits += "  asked (" + entry.caption + "): " + asked + "\n";
        }
        for (const auto& call : program.calls) exits += "  " + call + "\n";
    }
    corvane::testing::expect_output_as_kept(exits, "ui/expected/exit_sequence.txt");
}

}  // namespace
}  // namespace corvane::ui
