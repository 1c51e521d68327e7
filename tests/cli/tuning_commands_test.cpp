#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include "run_cli.h"

namespace corvane::testing {
namespace {

using nlohmann::json;

TEST(CliUsage, EveryCommandHasHelpAndBadUsageExitsWithTwo) {
    for (const char* command : {"pitch", "scale", "equal", "meantone", "beats", "note-name"}) {
        const auto help = run_cli({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find("Usage:"), std::string::npos) << command;
    }
    EXPECT_EQ(run_cli({}).status, 2);
    EXPECT_EQ(run_cli({"no-such-command"}).status, 2);
    EXPECT_EQ(run_cli({"note-name", "200"}).status, 2);
}

TEST(CliPitch, ValuesRatiosCentsAndText) {
    const auto r = run_cli({"pitch", "3/2", "`1200", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = json::parse(r.out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["text"], "3/2");
    EXPECT_DOUBLE_EQ(rows[0]["ratio"].get<double>(), 1.5);
    EXPECT_NEAR(rows[0]["cents"].get<double>(), 701.955000865, 1e-6);
    EXPECT_EQ(rows[1]["text"], "2");

    const auto inc = run_cli({"pitch", "--increment-form", "1/8", "--json"});
    EXPECT_DOUBLE_EQ(json::parse(inc.out)[0]["ratio"].get<double>(), 1.125);

    const auto cents = run_cli({"pitch", "3/2", "--show-cents", "--no-small-ratios", "--cents-word"});
    EXPECT_NE(cents.out.find("701.955 cents"), std::string::npos) << cents.out;
    EXPECT_NE(run_cli({"pitch", "n(1/12)", "--max-n-quotient", "100"}).out.find("n(1/12)"), std::string::npos);
}

TEST(CliPitch, AnExpressionWithoutANumberIsNamed) {
    const auto r = run_cli({"pitch", "fifth"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("\"fifth\""), std::string::npos) << r.err;
}

TEST(CliScale, PentatonicDegreesThroughTheChain) {
    const auto r = run_cli({"scale", "1 n(1/12)", "--arpeggio", "0 2 4 7 9 12", "--degrees", "-1:7", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto degrees = json::parse(r.out)["degrees"];
    ASSERT_EQ(degrees.size(), 9u);
    EXPECT_EQ(degrees[0]["note"], 57);
    EXPECT_EQ(degrees[1]["note"], 60);
    EXPECT_EQ(degrees[1]["name"], "C4");
    EXPECT_EQ(degrees[6]["note"], 72);
    EXPECT_EQ(degrees[8]["note"], 76);
    EXPECT_EQ(degrees[8]["bend"], 8192);
}

TEST(CliScale, ScalaFileIncrementFormAndBadInput) {
    const auto inc = run_cli({"scale", "0 1/8 1/4 1/3 1/2 2/3 7/8 1", "--increment-form", "--frequency", "440",
                              "--json"});
    ASSERT_EQ(inc.status, 0) << inc.err;
    const auto degrees = json::parse(inc.out)["degrees"];
    EXPECT_DOUBLE_EQ(degrees[4]["frequency"].get<double>(), 660.0);
    EXPECT_EQ(degrees[4]["ratio_text"], "3/2");

    const auto missing = run_cli({"scale", "--scl", "/no/such/file.scl"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("/no/such/file.scl"), std::string::npos);
    const auto range = run_cli({"scale", "1 n(1/12)", "--degrees", "7"});
    EXPECT_EQ(range.status, 2);
    EXPECT_NE(range.err.find("--degrees"), std::string::npos);
}

TEST(CliTemperaments, EqualMeantoneBeatsAndNoteNames) {
    const auto equal = run_cli({"equal", "12", "--json"});
    ASSERT_EQ(equal.status, 0) << equal.err;
    const auto et = json::parse(equal.out);
    EXPECT_EQ(et["title"], "12-tone equal temperament");
    EXPECT_EQ(et["entries"].size(), 13u);

    const auto meantone = run_cli({"meantone", "1/4", "G#", "--json"});
    ASSERT_EQ(meantone.status, 0) << meantone.err;
    const auto mt = json::parse(meantone.out);
    EXPECT_EQ(mt["title"], "1/4 comma Mean-tone");
    EXPECT_NEAR(mt["entries"][4]["ratio"].get<double>(), 1.25, 1e-12);
    EXPECT_EQ(mt["wolf_to"], "E Flat");

    const auto beats = run_cli({"beats", "1", "3/2", "--frequency", "440", "--max-harmonic", "3", "--max-beats", "10"});
    ASSERT_EQ(beats.status, 0) << beats.err;
    EXPECT_NE(beats.out.find("3rd\t(2nd)"), std::string::npos) << beats.out;

    EXPECT_EQ(run_cli({"note-name", "61", "--flats"}).out, "D4 Flat\n");
    EXPECT_EQ(run_cli({"note-name", "61", "--style", "0"}).out, "61: C Sharp\n");
    EXPECT_EQ(run_cli({"note-name", "72", "--style", "2"}).out, "c'\n");
}

}  // namespace
}  // namespace corvane::testing
