// corvane-cli with files: Corvane.ini read from the data folder beside a composition file,
// convert by extension, and the commands that make the shipped lists.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../cli/run_cli.h"
#include "../expected_output.h"
#include "../temp_folder.h"
#include "corvane/files/composition_file.h"

namespace corvane::files {
namespace {

namespace fs = std::filesystem;
using corvane::testing::slurp;
using corvane::testing::TempFolder;
using corvane::testing::write_bytes;

using CliRun = corvane::testing::CliResult;

// Runs the program (corvane-cli, or a copy of it) from `folder`.
CliRun run_in(const TempFolder& folder, const fs::path& program, const std::vector<std::string>& args) {
    return corvane::testing::run_cli(args, program.string(), folder.path().string());
}

CliRun cli(const TempFolder& folder, const std::vector<std::string>& args) { return run_in(folder, CORVANE_CLI, args); }

// A copy of the program in a folder of its own keeps its data beside it: Corvane.ini there
// gives the settings and the composition to start from. tune_from_portable_copy.txt holds the
// four listings: the seed from Corvane.ini, the New one without it, the file's, and the New one
// again once Corvane.ini is saved with auto-save off (it is then not applied).
TEST(CliConfiguration, CommandsStartFromCorvaneIniBesideAPortableCopy) {
    TempFolder folder;
    const fs::path program = folder / "corvane-cli";
    fs::copy_file(CORVANE_CLI, program);
    write_bytes(folder / "Corvane.ini", "Auto_save_to_Corvane.ini_on_exit=1\r\nComposition_and_Colours\r\n\r\n"
                                       "Note_heights 0 5 //\r\n");
    std::string listings = run_in(folder, program, {"tune", "-n", "2"}).out;
    EXPECT_TRUE(fs::exists(folder / "CRV_reset.ini"));  // the data folder was filled
    EXPECT_TRUE(fs::exists(folder / "12_tone.lmd"));
    listings += run_in(folder, program, {"tune", "-n", "2", "--no-config"}).out;
    write_bytes(folder / "t.cv", "Note_heights 0 6 //\r\n");
    listings += run_in(folder, program, {"tune", "t.cv", "-n", "2"}).out;
    write_bytes(folder / "Corvane.ini", "Auto_save_to_Corvane.ini_on_exit=0\r\nComposition_and_Colours\r\n\r\n"
                                       "Note_heights 0 5 //\r\n");
    listings += run_in(folder, program, {"tune", "-n", "2"}).out;
    corvane::testing::expect_output_as_kept(listings, "files/expected/tune_from_portable_copy.txt");
}

// Convert reads by the input's extension and writes by the output's; the forms of each
// kind of file are pinned by the library's tests.
TEST(CliConvert, AScalaScaleBecomesACompositionAndAMidiFile) {
    TempFolder folder;
    write_bytes(folder / "triad.scl", "! triad.scl\r\n!\r\nJust triad\r\n 3\r\n!\r\n 5/4\r\n 3/2\r\n 2/1\r\n");
    ASSERT_EQ(cli(folder, {"convert", "triad.scl", "triad.cv"}).status, 0);
    // converted_triad.cv: the New composition with the Scala file's scale and title.
    corvane::testing::expect_output_as_kept(slurp(folder / "triad.cv"), "files/expected/converted_triad.cv");

    write_bytes(folder / "t.cv", "Note_heights 0 1 //\r\nLevels 2\r\nNote_length 1/4\r\n");
    const CliRun midi = cli(folder, {"convert", "t.cv", "t.mid"});
    ASSERT_EQ(midi.status, 0) << midi.err;
    EXPECT_TRUE(slurp(folder / "t.mid").starts_with("MThd"));
}

// A file of the wrong kind is a usage error (an unreadable one fails with status 1, as the
// hostile-input commands test shows).
TEST(CliConvert, RefusesWhatTheOutputCannotHoldAndTuneTakesOnlyCompositions) {
    TempFolder folder;
    write_bytes(folder / "t.cv", "Levels 2\r\n");
    const CliRun r = cli(folder, {"convert", "t.cv", "t.lsc"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("t.cv holds a composition, which cannot be saved as .LSC"), std::string::npos);
    write_bytes(folder / "t.scl", "x\r\n1\r\n2/1\r\n");
    EXPECT_EQ(cli(folder, {"tune", "t.scl", "--no-config"}).status, 2);
}

TEST(CliScales, TheListCommandsMakeTheShippedFiles) {
    TempFolder folder;
    ASSERT_EQ(cli(folder, {"scales", "twelve-tone-modes", "-o", "made"}).status, 0);
    ASSERT_EQ(cli(folder, {"scales", "scale-mode-lists", "-o", "made"}).status, 0);
    ASSERT_EQ(cli(folder, {"scales", "reset-files", "-o", "made"}).status, 0);
    const fs::path shipped = fs::path(CORVANE_SOURCE_DIR) / "data";
    for (const auto& entry : fs::directory_iterator(folder / "made")) {
        EXPECT_EQ(slurp(entry.path()), slurp(shipped / entry.path().filename())) << entry.path().filename();
    }
    for (const auto& entry : fs::directory_iterator(shipped)) {
        if (entry.path().filename() == "musical seeds drop list.txt") continue;  // written by hand
        EXPECT_TRUE(fs::exists(folder / "made" / entry.path().filename())) << entry.path().filename();
    }
}

}  // namespace
}  // namespace corvane::files
