// corvane-cli commands that write MIDI files or sound: save and play-along recordings.
#include <filesystem>

#include <gtest/gtest.h>

#include "../midi/smf_reader.h"
#include "run_cli.h"

namespace corvane::testing {
namespace {

// The extension decides: a MIDI file of the format asked for, with its hex dump when asked,
// or rendered sound; play-along records what was played.
TEST(CliSave, WritesAMidiFileWithATrackPerChannelOrAWavOfSoundOrARecording) {
    const TempFolder folder;
    const auto path = folder / "tune.mid";
    const auto r = run_cli({"save", "-o", path.string(), "--minutes", "0", "--seconds", "4", "--format", "1",
                            "--seed", "0 1 2 1", "--levels", "3", "--channels-in-play", "2", "--choose-channels-by",
                            "1", "--hex-dump"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("saved 4.00 secs"), std::string::npos) << r.err;
    const SmfFile file = read_smf(path);
    EXPECT_EQ(file.format, 1);
    EXPECT_EQ(file.declared_tracks, 3);  // tempo and the two channels that sound: 12-tone notes need no spares
    EXPECT_TRUE(std::filesystem::exists(path.string() + ".hex"));

    const auto wav = folder / "tune.wav";
    ASSERT_EQ(run_cli({"save", "-o", wav.string(), "--minutes", "0", "--seconds", "2"}).status, 0);
    const auto bytes = file_bytes(wav);
    ASSERT_GT(bytes.size(), 44u + 2u * 2u * 44100u);  // more than two seconds of 16-bit stereo
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");

    // Whatever devices the machine has (none here), a play-along recording run ends cleanly
    // after its time, with a valid format 0 file (the reader checks its one track ends).
    const auto take = folder / "take.mid";
    const auto played =
        run_cli({"play-along", "--no-config", "--out", "0", "--record", take.string(), "--seconds", "0.7"});
    ASSERT_EQ(played.status, 0) << played.err;
    EXPECT_NE(played.err.find("Recorded to " + take.string()), std::string::npos) << played.err;
    const SmfFile recorded = read_smf(take);
    EXPECT_EQ(recorded.format, 0);
    EXPECT_EQ(recorded.tracks.size(), 1u);
}

}  // namespace
}  // namespace corvane::testing
