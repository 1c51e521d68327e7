// corvane-cli tune, run as the user runs it.
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "../expected_output.h"
#include "run_cli.h"

namespace corvane::testing {
namespace {

using ::testing::HasSubstr;

// The table of notes, one line a note under a header line: tune_listing.txt holds the six
// notes with their counters, levels, values, channels, degrees, frequencies, keys and bends.
TEST(TuneCommand, ListsNotesWithCounterChannelAndPitchAndClampsWithTheProgramsMessage) {
    const CliResult run = run_cli({"tune", "--seed", "0 1 2 1", "--levels", "1", "-n", "6", "--channels-in-play", "3",
                                   "--choose-channels-by", "0"});
    ASSERT_EQ(run.status, 0) << run.err;
    expect_output_as_kept(run.out, "cli/expected/tune_listing.txt");

    // A value beyond its limit is clamped with the program's message (every limit: the engine's Limits).
    const CliResult clamped = run_cli({"tune", "--levels", "35", "-n", "1", "--json"});
    ASSERT_EQ(clamped.status, 0);
    EXPECT_THAT(clamped.err, HasSubstr("Levels: Maximum of 30 levels"));
    EXPECT_EQ(nlohmann::json::parse(clamped.out)[0]["counter"].size(), 30u);
}

// JSON output of runs, by JSON pointer: notes as objects, the array with its flags.
TEST(TuneCommand, JsonGivesNotesAndTheArrayAsObjects) {
    const TempFolder folder;
    const std::string follow = (folder / "follow.cv").string();
    write_bytes(follow, "Arpeggio Use_ratios //\r\n");
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::pair<std::string, nlohmann::json>>>> runs{
        // The G below middle C, one octave up; the cycle starts again at note 4.
        {{"--seed", "0 -1", "--levels", "1", "-n", "5", "--octave-shifts", "1", "--shift-mode", "0"},
         {{"/3/value", -2}, {"/3/counter", {1, 1}}, {"/3/degree", -5}, {"/3/midi_note", 55 + 12},
          {"/4/changed_level", 1}}},
        {{"--seed", "0 -1", "--levels", "1", "--array"}, {{"/values", {2, 1, 1, 0}}, {"/count", 4}}},
        // An arpeggio typed over a file whose arpeggio follows the scale takes its place, as
        // typing into its field does.
        {{"--no-config", follow, "--arpeggio", "0 4 7", "--seed", "0 1 2", "--levels", "0", "-n", "3"},
         {{"/1/degree", 4}, {"/2/degree", 7}}},
        // "e19" is nineteen equal steps, in a field as on the command line.
        {{"--no-config", "--scale", "e19", "--use-ratios", "--seed", "0 1", "--levels", "0", "-n", "2"},
         {{"/1/bend", 6682}}},
    };
    for (auto [args, values] : runs) {
        args.insert(args.begin(), "tune");
        args.push_back("--json");
        const CliResult run = run_cli(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const auto out = nlohmann::json::parse(run.out);
        for (const auto& [pointer, value] : values) {
            EXPECT_EQ(out.at(nlohmann::json::json_pointer(pointer)), value) << pointer;
        }
    }
    EXPECT_THAT(run_cli({"tune", "--seed", "0 1 2 1", "--levels", "6", "--array"}).out,
                HasSubstr("count\t10240\ntune_full\tyes\ntune_truncated\tyes\n"));
}

}  // namespace
}  // namespace corvane::testing
