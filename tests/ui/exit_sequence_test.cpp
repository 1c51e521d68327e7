#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "corvane/midi/midi_file_save.h"
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

// The work running, the user's answer and whether the configuration saves; then whether
// the program exits, the one question asked (if any) with its caption, and the calls in order.
struct ExitCase {
    const char* what;
    std::set<Work> running;
    Answer answer;
    bool configuration_saves;
    bool exits;
    std::string question;
    std::string caption;
    Calls calls;
};

const ExitCase kExitCases[] = {
    {"nothing running saves after a short wait", {}, Answer::yes, true, true, "", "",
     {"silence", "stop flag", "wait 20", "save", "priority"}},
    {"recording and save share one question with the recording's text",
     {Work::play_along_recording, Work::midi_file_save}, Answer::yes, true, true, std::string(kRecordingQuestion),
     "Exit", {"silence", "stop 2", "stop 3", "stop flag", "wait 200", "save", "priority"}},
    {"no to a question cancels before anything stops", {Work::scale_search, Work::midi_file_save}, Answer::no, true,
     false, "Search of scales in drop down list in progress.\n\nClose dialog anyway?", "Scales options for Corvane",
     {"silence"}},
    {"a failed configuration save cancels", {Work::midi_file_save}, Answer::yes, false, false,
     std::string(midi::kSaveInProgressQuestion), "Exit", {"silence", "stop 3", "stop flag", "wait 200", "save"}},
};

TEST(ExitSequence, QuestionsStopsAndTheSaveInOrder) {
    for (const ExitCase& c : kExitCases) {
        SCOPED_TRACE(c.what);
        Program program;
        program.running_work = c.running;
        program.configuration_saves = c.configuration_saves;
        platform::RecordingReporter reporter(c.answer);
        EXPECT_EQ(run_exit_sequence(program, reporter), c.exits);
        if (c.question.empty()) {
            EXPECT_TRUE(reporter.entries().empty());
        } else {
            ASSERT_EQ(reporter.entries().size(), 1u);
            EXPECT_EQ(reporter.entries()[0].message, c.question);
            EXPECT_EQ(reporter.entries()[0].caption, c.caption);
        }
        EXPECT_EQ(program.calls, c.calls);
    }
}

}  // namespace
}  // namespace corvane::ui
