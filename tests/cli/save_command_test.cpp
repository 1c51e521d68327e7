// corvane-cli commands that write MIDI files or sound: save and play-along recordings.
#include <filesystem>

#include <gtest/gtest.h>

#include "../midi/smf_reader.h"
#include "run_cli.h"

namespace corvane::testing {
namespace {

std::filesystem::path temp_file(const std::string& name) {
    return std::filesystem::temp_directory_path() / ("corvane-save-" + std::to_string(::getpid()) + "-" + name);
}

TEST(CliSave, WritesAMidiFileWithATrackPerChannel) {
    const auto path = temp_file("tune.mid");
    const auto r = run_cli({"save", "-o", path.string(), "--minutes", "0", "--seconds", "4", "--format", "1",
                            "--seed", "0 1 2 1", "--levels", "3", "--channels-in-play", "2", "--choose-channels-by",
                            "1", "--hex-dump"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("saved 4.00 secs"), std::string::npos) << r.err;
    const SmfFile file = read_smf(path);
    EXPECT_EQ(file.format, 1);
    EXPECT_EQ(file.declared_tracks, 3);  // tempo and the two channels that sound: 12-tone notes need no spares
    EXPECT_TRUE(std::filesystem::exists(path.string() + ".hex"));
    std::filesystem::remove(path);
    std::filesystem::remove(path.string() + ".hex");
}

TEST(CliSave, AFolderThatDoesNotExistIsReportedWithStatusOne) {
    const auto missing = run_cli({"save", "-o", "/no/such/folder/x.mid"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Error saving to /no/such/folder/x.mid"), std::string::npos) << missing.err;
}

TEST(CliSave, AWavNameRendersSound) {
    const auto path = temp_file("tune.wav");
    const auto r = run_cli({"save", "-o", path.string(), "--minutes", "0", "--seconds", "2"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto bytes = file_bytes(path);
    ASSERT_GT(bytes.size(), 44u + 2u * 2u * 44100u);  // more than two seconds of 16-bit stereo
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    std::filesystem::remove(path);
}

// Whatever devices the machine has (none here), a play-along recording run ends cleanly after
// its time, with a valid format 0 file (the reader checks its one track ends).
TEST(CliPlayAlong, ARecordingRunEndsWithAValidFile) {
    const TempFolder folder;
    const auto path = folder / "take.mid";
    const auto r = run_cli({"play-along", "--no-config", "--out", "0", "--record", path.string(), "--seconds", "0.7"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Recorded to " + path.string()), std::string::npos) << r.err;
    const SmfFile file = read_smf(path);
    EXPECT_EQ(file.format, 0);
    EXPECT_EQ(file.tracks.size(), 1u);
}

}  // namespace
}  // namespace corvane::testing
