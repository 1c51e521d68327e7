#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "corvane/midi/midi_file_save.h"
#include "corvane/ui/exit_sequence.h"

namespace corvane::ui {
namespace {

using platform::Answer;

// Records what the exit does, in order.
class Program final : public ExitParticipants {
public:
    std::set<Work> running_work;
    bool configuration_saves = true;
    std::vector<std::string> calls;

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

TEST(ExitSequence, NothingRunningSavesAfterAShortWait) {
    Program program;
    platform::RecordingReporter reporter;
    EXPECT_TRUE(run_exit_sequence(program, reporter));
    EXPECT_EQ(program.calls, (std::vector<std::string>{"silence", "stop flag", "wait 20", "save", "priority"}));
    EXPECT_TRUE(reporter.entries().empty());
}

TEST(ExitSequence, RecordingAndSaveShareOneQuestionWithTheRecordingsText) {
    Program program;
    program.running_work = {Work::play_along_recording, Work::midi_file_save};
    platform::RecordingReporter reporter(Answer::yes);
    EXPECT_TRUE(run_exit_sequence(program, reporter));
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].message, kRecordingQuestion);
    EXPECT_EQ(reporter.entries()[0].caption, "Exit");
    EXPECT_EQ(program.calls, (std::vector<std::string>{"silence", "stop 2", "stop 3", "stop flag", "wait 200", "save",
                                                       "priority"}));
}

TEST(ExitSequence, NoToAQuestionCancelsBeforeAnythingStops) {
    Program program;
    program.running_work = {Work::scale_search, Work::midi_file_save};
    platform::RecordingReporter reporter(Answer::no);
    EXPECT_FALSE(run_exit_sequence(program, reporter));
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].message, "Search of scales in drop down list in progress.\n\nClose dialog anyway?");
    EXPECT_EQ(reporter.entries()[0].caption, "Scales options for Corvane");
    EXPECT_EQ(program.calls, std::vector<std::string>{"silence"});
}

TEST(ExitSequence, SaveQuestionAloneAndAFailedConfigurationSaveCancels) {
    Program program;
    program.running_work = {Work::midi_file_save};
    program.configuration_saves = false;
    platform::RecordingReporter reporter(Answer::yes);
    EXPECT_FALSE(run_exit_sequence(program, reporter));
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].message, midi::kSaveInProgressQuestion);
    EXPECT_EQ(program.calls.back(), "save");
}

}  // namespace
}  // namespace corvane::ui
