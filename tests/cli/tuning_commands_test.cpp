// The tuning commands, run as a program: each option reaches the library (whose texts and
// numbers the tuning tests check), and bad usage exits with 2.
#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include "run_cli.h"

namespace corvane::testing {
namespace {

using nlohmann::json;

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CliUsage, EveryCommandHasHelpAndBadUsageExitsWithTwo) {
    for (const char* command : {"pitch", "scale", "equal", "meantone", "beats", "note-name", "play-along", "dump"}) {
        const auto help = run_cli({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_TRUE(has(help.out, "Usage:")) << command;
    }
    EXPECT_TRUE(has(run_cli({"play-along", "--help"}).out, "--record"));
    EXPECT_TRUE(has(run_cli({"dump", "--help"}).out, "-o,--output"));
    EXPECT_EQ(run_cli({}).status, 2);
    EXPECT_EQ(run_cli({"no-such-command"}).status, 2);
    EXPECT_EQ(run_cli({"note-name", "200"}).status, 2);
    EXPECT_EQ(run_cli({"dump"}).status, 2);
    EXPECT_EQ(run_cli({"save", "-o", "x.mid", "--format", "3"}).status, 2);
    EXPECT_EQ(run_cli({"play-along", "--no-config", "--out", "no such synth", "--seconds", "0"}).status, 2);
    const auto fifth = run_cli({"pitch", "fifth"});
    EXPECT_EQ(fifth.status, 2);
    EXPECT_TRUE(has(fifth.err, "\"fifth\"")) << fifth.err;
}

TEST(CliPitch, ValuesRatiosCentsAndText) {
    const auto rows = json::parse(run_cli({"pitch", "3/2", "`1200", "--json"}).out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["text"], "3/2");
    EXPECT_DOUBLE_EQ(rows[0]["ratio"].get<double>(), 1.5);
    EXPECT_NEAR(rows[0]["cents"].get<double>(), 701.955000865, 1e-6);
    EXPECT_EQ(rows[1]["text"], "2");
    const auto inc = run_cli({"pitch", "--increment-form", "1/8", "--json"});
    EXPECT_DOUBLE_EQ(json::parse(inc.out)[0]["ratio"].get<double>(), 1.125);
    EXPECT_TRUE(has(run_cli({"pitch", "3/2", "--show-cents", "--no-small-ratios", "--cents-word"}).out, "701.955 cents"));
    EXPECT_TRUE(has(run_cli({"pitch", "n(1/12)", "--max-n-quotient", "100"}).out, "n(1/12)"));
}

TEST(CliScale, PentatonicDegreesThroughTheChain) {
    const auto r = run_cli({"scale", "1 n(1/12)", "--arpeggio", "0 2 4 7 9 12", "--degrees", "-1:7", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto degrees = json::parse(r.out)["degrees"];
    ASSERT_EQ(degrees.size(), 9u);
    EXPECT_EQ(degrees[0]["note"], 57);
    EXPECT_EQ(degrees[1]["name"], "C4");
    EXPECT_EQ(degrees[8]["note"], 76);
    EXPECT_EQ(degrees[8]["bend"], 8192);
}

TEST(CliScale, IncrementFormAndBadInput) {
    const auto inc = run_cli({"scale", "0 1/8 1/4 1/3 1/2 2/3 7/8 1", "--increment-form", "--frequency", "440",
                              "--json"});
    ASSERT_EQ(inc.status, 0) << inc.err;
    const auto degrees = json::parse(inc.out)["degrees"];
    EXPECT_DOUBLE_EQ(degrees[4]["frequency"].get<double>(), 660.0);
    EXPECT_EQ(degrees[4]["ratio_text"], "3/2");

    const auto missing = run_cli({"scale", "--scl", "/no/such/file.scl"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(has(missing.err, "/no/such/file.scl"));
    const auto range = run_cli({"scale", "1 n(1/12)", "--degrees", "7"});
    EXPECT_EQ(range.status, 2);
    EXPECT_TRUE(has(range.err, "--degrees"));
}

TEST(CliTemperaments, EqualMeantoneBeatsAndNoteNames) {
    EXPECT_EQ(json::parse(run_cli({"equal", "12", "--json"}).out)["entries"].size(), 13u);
    const auto meantone = json::parse(run_cli({"meantone", "1/4", "G#", "--json"}).out);
    EXPECT_EQ(meantone["title"], "1/4 comma Mean-tone");
    EXPECT_EQ(meantone["wolf_to"], "E Flat");
    const auto beats = run_cli({"beats", "1", "3/2", "--frequency", "440", "--max-harmonic", "3", "--max-beats", "10"});
    EXPECT_TRUE(has(beats.out, "3rd\t(2nd)")) << beats.out;
    EXPECT_EQ(run_cli({"note-name", "61", "--flats"}).out, "D4 Flat\n");
    EXPECT_EQ(run_cli({"note-name", "61", "--style", "0"}).out, "61: C Sharp\n");
    EXPECT_EQ(run_cli({"note-name", "72", "--style", "2"}).out, "c'\n");
}

}  // namespace
}  // namespace corvane::testing
