// corvane-cli tune, run as the user runs it.
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "run_cli.h"

namespace corvane::testing {
namespace {

using ::testing::HasSubstr;

CliResult tune(std::vector<std::string> args) {
    args.insert(args.begin(), "tune");
    return run_cli(args);
}

std::vector<std::vector<std::string>> rows(const std::string& out) {
    std::vector<std::vector<std::string>> table;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');) cells.push_back(cell);
        table.push_back(cells);
    }
    return table;
}

TEST(TuneCommand, ListsNotesWithCounterChannelAndPitch) {
    const CliResult run = tune({"--seed", "0 1 2 1", "--levels", "1", "-n", "6", "--channels-in-play", "3",
                          "--choose-channels-by", "0"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto table = rows(run.out);
    ASSERT_EQ(table.size(), 7u);
    EXPECT_THAT(table[0], ::testing::ElementsAre("note", "counter", "level", "value", "channel", "degree",
                                                 "frequency", "midi", "bend"));
    EXPECT_THAT(table[1], ::testing::ElementsAre("0", "00", "1", "0", "0", "0", "261.62557", "60", "8192"));
    EXPECT_THAT(table[3], ::testing::ElementsAre("2", "02", "0", "2", "2", "4", "329.62756", "64", "8192"));
    EXPECT_THAT(table[5], ::testing::ElementsAre("4", "10", "1", "1", "1", "2", "293.66477", "62", "8192"));
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
        args.push_back("--json");
        const CliResult run = tune(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const auto out = nlohmann::json::parse(run.out);
        for (const auto& [pointer, value] : values) {
            EXPECT_EQ(out.at(nlohmann::json::json_pointer(pointer)), value) << pointer;
        }
    }
    EXPECT_THAT(tune({"--seed", "0 1 2 1", "--levels", "6", "--array"}).out,
                HasSubstr("count\t10240\ntune_full\tyes\ntune_truncated\tyes\n"));
}

TEST(TuneCommand, ClampsWithTheProgramsMessage) {
    const CliResult run = tune({"--levels", "35", "--channels-in-play", "20", "-n", "1", "--json"});
    ASSERT_EQ(run.status, 0);
    EXPECT_THAT(run.err, HasSubstr("Levels: Maximum of 30 levels"));
    EXPECT_THAT(run.err, HasSubstr("Number of MIDI channels to use: Maximum of 16 MIDI channels."));
    EXPECT_EQ(nlohmann::json::parse(run.out)[0]["counter"].size(), 30u);
}

TEST(TuneCommand, AnUnreadableValueNamesItsOption) {
    for (const auto& [option, value] : std::vector<std::pair<std::string, std::string>>{
             {"--seed", "0 x 1"}, {"--levels", "many"}, {"--choose-channels-by", "7"}, {"--shift-mode", "9"},
             {"--scale", "none"}, {"--voices", "1 2 q"}, {"--frequency", "0"}, {"--frequency", "-440"}}) {
        const CliResult run = tune({option, value});
        EXPECT_EQ(run.status, 2) << option;
        EXPECT_THAT(run.err, HasSubstr(option)) << option;
    }
}

}  // namespace
}  // namespace corvane::testing
