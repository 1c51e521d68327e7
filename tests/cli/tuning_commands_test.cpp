// The tuning commands, run as a program: each option reaches the library (whose texts and
// numbers the tuning tests check), and a failure exits with its status and names its cause.
#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include "run_cli.h"

namespace corvane::testing {
namespace {

// Bad usage exits with 2, a file that cannot be read or written with 1; the message on
// standard error names the option, value or file.
TEST(CliUsage, FailuresExitWithTheirStatusAndNameTheirCause) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err_part;
    };
    const Case cases[] = {
        {{}, 2, "A subcommand is required\n"},
        {{"no-such-command"}, 2, "A subcommand is required\n"},
        {{"note-name", "200"}, 2, "N: Value 200 not in range 0 to 127\n"},
        {{"dump"}, 2, "FILE is required\n"},
        {{"save", "-o", "x.mid", "--format", "3"}, 2, "--format: Value 3 not in range 0 to 2\n"},
        {{"play-along", "--no-config", "--out", "no such synth", "--seconds", "0"}, 2,
         "--out: no device is called \"no such synth\""},
        {{"pitch", "fifth"}, 2, "expression: \"fifth\" has no number in it\n"},
        {{"scale", "1 n(1/12)", "--degrees", "7"}, 2, "--degrees: \"7\" is not a range A:B\n"},
        {{"tune", "--seed", "0 x 1"}, 2, "--seed: \"x\" is not a number"},
        {{"tune", "--levels", "many"}, 2, "--levels: \"many\" is not a number"},
        {{"tune", "--choose-channels-by", "7"}, 2, "--choose-channels-by: 7 is outside 0 to 5\n"},
        {{"tune", "--shift-mode", "9"}, 2, "--shift-mode: 9 is outside 0 to 4\n"},
        {{"tune", "--voices", "1 2 q"}, 2, "--voices: \"q\" has no number in it\n"},
        {{"tune", "--frequency", "-440"}, 2, "--frequency: \"-440\" Hz is no frequency"},
        {{"scale", "--scl", "/no/such/file.scl"}, 1, "cannot read \"/no/such/file.scl\": No such file"},
        {{"play-along", "--no-config", "--kbm", "/no/such/map.kbm", "--seconds", "0"}, 1,
         "corvane-cli: cannot read \"/no/such/map.kbm\": No such file or directory\n"},
    };
    for (const Case& c : cases) {
        const auto r = run_cli(c.args);
        EXPECT_EQ(r.status, c.status) << (c.args.empty() ? "" : c.args.back());
        EXPECT_NE(r.err.find(c.err_part), std::string::npos) << r.err;
    }
}

// What each option changes in the output, and the whole output where it is short.
TEST(CliTuning, EachOptionReachesTheLibrary) {
    const std::pair<std::vector<std::string>, std::string> runs[] = {
        {{"pitch", "3/2", "`1200"}, "`1200\tvalue 2\tratio 2\tcents 1200\t2\n"},
        {{"pitch", "--increment-form", "1/8"}, "1/8\tvalue 0.125\tratio 1.125\tcents 203.9100017\t1/8\n"},
        {{"pitch", "3/2", "--show-cents", "--no-small-ratios", "--cents-word"}, "\t701.955 cents\n"},
        {{"scale", "1 n(1/12)", "--arpeggio", "0 2 4 7 9 12", "--degrees", "-1:7"},
         "\n-1\t-3\t-300\t-300\t220\t57\t8192\tA3\n"},
        {{"scale", "0 1/8 1/4 1/3 1/2 2/3 7/8 1", "--increment-form", "--frequency", "440"},
         "\n4\t4\t3/2\t701.955\t660\t76\t8272\tE5\n"},
        {{"equal", "12"}, "\n12\t2\t1200 cents\nscale text: 1 100 cents 200 cents"},
        {{"meantone", "1/4", "G#"}, "Wolf fifth G Sharp to E Flat\n1/4 comma Mean-tone\n"},
        {{"beats", "1", "3/2", "--frequency", "440", "--max-harmonic", "3", "--max-beats", "10"},
         "\n0\t3rd\t(2nd)\t1320 Hz\t1320 Hz\n"},
        {{"note-name", "61", "--flats"}, "D4 Flat\n"},
        {{"note-name", "61", "--style", "0"}, "61: C Sharp\n"},
        {{"note-name", "72", "--style", "2"}, "c'\n"},
    };
    for (const auto& [args, out_part] : runs) {
        const auto r = run_cli(args);
        EXPECT_EQ(r.status, 0) << args[0] << ": " << r.err;
        EXPECT_NE(r.out.find(out_part), std::string::npos) << r.out;
    }
    const auto rows = nlohmann::json::parse(run_cli({"pitch", "3/2", "--json"}).out);
    EXPECT_EQ(rows[0]["text"], "3/2");
    EXPECT_DOUBLE_EQ(rows[0]["ratio"].get<double>(), 1.5);
}

}  // namespace
}  // namespace corvane::testing
