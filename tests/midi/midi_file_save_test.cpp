#include "corvane/midi/midi_file_save.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <system_error>

#include "corvane/engine/channel_choice.h"
#include "corvane/engine/seed.h"
#include "../expected_output.h"
#include "../hostile_files.h"
#include "midi_test_support.h"
#include "smf_reader.h"

namespace corvane::midi {
namespace {

using testing::SmfEvent;
using testing::SmfFile;
namespace fs = std::filesystem;

class MidiFileSaveTest : public ::testing::Test {
protected:
    MidiFileSaveTest() {
        composition.Note_length = 0.5;
        engine::set_seed(composition, engine::read_seed("0 1", engine::SeedStrictness::strict)->values);
        composition.Levels = 0;
        player.cycle_melody = false;
        settings.midi_file_play_mins = 0;
        settings.midi_file_play_secs = 2;
        settings.mf_auto_generate_key_signatures = false;
        voices.midi_fade_secs = 0;
    }

    // Ten minutes of 50 ms notes: long enough to be caught half-way.
    void make_long() {
        engine::set_seed(composition, engine::read_seed("0 1 2 1", engine::SeedStrictness::strict)->values);
        composition.Note_length = 0.05;
        settings.midi_file_play_mins = 10;
        player.cycle_melody = true;
    }

    SmfFile save(const std::string& name = "tune.mid") {
        result = render_midi_file(folder / name, composition, settings, player, voices, reporter, abort);
        return testing::read_smf(folder / name);
    }

    // The note-ons (velocity above 0) of a track, as tick and note.
    static std::vector<std::pair<std::uint64_t, int>> note_ons(const testing::SmfTrack& track) {
        std::vector<std::pair<std::uint64_t, int>> out;
        for (const auto& e : track.events) {
            if (e.bytes.size() == 3 && (e.bytes[0] & 0xF0) == 0x90 && e.bytes[2] > 0) out.emplace_back(e.tick, e.bytes[1]);
        }
        return out;
    }

    testing::TempFolder folder;
    engine::Composition composition;
    engine::PlayerSettings player;
    engine::VoiceSettings voices;
    MidiSaveSettings settings;
    platform::RecordingReporter reporter;
    std::atomic<bool> abort{false};
    SaveResult result;
};

// Format 0, whole: the key signature (3 sharps), the voice's program, the bend range, no
// bend, then the two notes at ticks 0 and 250, ending at 500.
TEST_F(MidiFileSaveTest, FormatZeroHoldsTheTuneAtItsTicks) {
    save();
    ASSERT_TRUE(result.written);
    corvane::testing::expect_output_as_kept(testing::slurp(folder / "tune.mid"), "midi/expected/two_notes.mid");
    EXPECT_NEAR(result.saved_secs, 1.0, 1e-9);
}

// 250 ticks a quarter note of 0.6 s: 3 s is 1250 ticks, and the second note, at 0.5 s, starts
// at tick 208.
TEST_F(MidiFileSaveTest, TicksFollowTheTempoWritten) {
    settings.smf.mf_time_duration_of_beat = 600000;  // 100 beats a minute
    settings.midi_file_play_secs = 3;
    player.cycle_melody = true;
    for (const int format : {0, 1}) {
        settings.midi_file_format = format;
        const SmfFile file = save();
        EXPECT_EQ(file.tracks[0].events[0].bytes, (std::vector<std::uint8_t>{0xFF, 0x51, 0x09, 0x27, 0xC0})) << format;
        EXPECT_EQ(file.tracks.back().events.back().tick, 1250u);
        EXPECT_EQ(note_ons(file.tracks.back())[1], (std::pair<std::uint64_t, int>{208, 62}));
    }
}

TEST_F(MidiFileSaveTest, NotesShorterThanTheResolutionAreLengthenedToIt) {
    composition.Note_length = 0.0004;
    settings.smf.midi_ticks_per_quarter_note = 1000;  // 2000 ticks a second: 2 ticks a millisecond
    settings.midi_file_play_secs = 0.0035;
    player.cycle_melody = true;
    const SmfFile file = save();
    const auto ons = note_ons(file.tracks[0]);
    ASSERT_GE(ons.size(), 3u);
    EXPECT_EQ(ons[0].first, 0u);
    EXPECT_EQ(ons[1].first, 2u);
    EXPECT_EQ(ons[2].first, 4u);
}

TEST_F(MidiFileSaveTest, TheLastSecondsFadeOut) {
    voices.midi_fade_secs = 2;
    composition.Note_length = 0.25;
    player.cycle_melody = true;
    const SmfFile file = save();
    std::vector<int> velocities;
    for (const auto& e : file.tracks[0].events) {
        if ((e.bytes[0] & 0xF0) == 0x90 && e.bytes[2] > 0) velocities.push_back(e.bytes[2]);
    }
    ASSERT_EQ(velocities.size(), 8u);
    EXPECT_EQ(velocities.front(), 127);
    EXPECT_EQ(velocities[4], 63);  // 127 x (2 - 1) / 2, truncated
    EXPECT_TRUE(std::is_sorted(velocities.rbegin(), velocities.rend()));
}

TEST_F(MidiFileSaveTest, StopLeavesAValidShorterFileAndLaterTracksAsEmptyChunks) {
    settings.midi_file_format = 1;
    composition.Channels_in_Play = 3;
    engine::select_channel_rule(composition, 1);  // by time: all three channels sound
    player.cycle_melody = true;
    settings.midi_file_play_secs = 30;
    result = render_midi_file(folder / "stopped.mid", composition, settings, player, voices, reporter, abort,
                              [&](const SaveProgress& p) {
                                  if (p.track == 1) abort.store(true);
                              });
    EXPECT_TRUE(result.written);
    EXPECT_TRUE(result.stopped);
    const SmfFile file = testing::read_smf(folder / "stopped.mid");
    ASSERT_EQ(file.tracks.size(), static_cast<std::size_t>(file.declared_tracks));
    EXPECT_FALSE(note_ons(file.tracks[1]).empty());  // the first pass ran to its end
    for (std::size_t t = 3; t < file.tracks.size(); ++t) EXPECT_TRUE(note_ons(file.tracks[t]).empty());
}

TEST_F(MidiFileSaveTest, AutomaticKeySignatureFollowsTheMode) {
    settings.mf_auto_generate_key_signatures = true;
    const SmfFile file = save();
    EXPECT_EQ(file.tracks[0].events.front().bytes, (std::vector<std::uint8_t>{0xFF, 0x59, 0, 0}));  // C major
}

// With no earlier file to keep (what every writer does with one is tested over all of them
// in the files suite's whole_file_test), a save that fills the disk leaves what it wrote, as far as it got.
TEST_F(MidiFileSaveTest, ASaveThatFillsTheDiskWithNoEarlierFileKeepsWhatItWrote) {
    make_long();
    {
        testing::FileSizeLimit limit(4000);
        EXPECT_FALSE(render_midi_file(folder / "tune.mid", composition, settings, player, voices, reporter, abort)
                         .written);
    }
    EXPECT_EQ(reporter.entries().size(), 1U);
    const std::string written = testing::slurp(folder / "tune.mid");
    EXPECT_EQ(written.substr(0, 4), "MThd");
    EXPECT_GT(written.size(), 14U);
    EXPECT_LE(written.size(), 4000U);
    EXPECT_EQ(testing::files_in(folder.path()), 1U);
}

// The folder goes while the worker renders: the save cannot end as a file, and says so.
TEST_F(MidiFileSaveTest, AFolderRemovedHalfWayIsReportedWhenTheSaveEnds) {
    make_long();
    const fs::path inner = folder / "songs";
    fs::create_directory(inner);
    bool removed = false;
    MidiSaveWorker worker;
    ASSERT_TRUE(worker.start([&](std::atomic<bool>& stop) {
        return render_midi_file(inner / "tune.mid", composition, settings, player, voices, reporter, stop,
                                [&](const SaveProgress& progress) {
                                    if (removed || progress.saved_secs < 1.0) return;
                                    std::error_code ignored;
                                    fs::remove_all(inner, ignored);
                                    removed = true;
                                });
    }));
    result = worker.wait();
    ASSERT_TRUE(removed);
    EXPECT_FALSE(result.written);
    ASSERT_FALSE(reporter.entries().empty());
    EXPECT_EQ(reporter.entries()[0].message, std::generic_category().message(ENOENT));
    EXPECT_EQ(reporter.entries()[0].caption.rfind("Error saving to tune.mid", 0), 0U);
    EXPECT_FALSE(fs::exists(inner));
}

TEST(MidiSaveText, TitlesAndStatus) {
    EXPECT_EQ(saving_title(1, true, "first tune", true),
              "Saving Midi file : track 2 (click Stop to interrrupt) - first tune* - Corvane");
    EXPECT_EQ(saving_title(0, false, "waltz", false), "Saving Midi file (click Stop to interrrupt) - waltz - Corvane");
    EXPECT_EQ(saved_time_text(90), "Saved time 1 minute 30.00 secs");
    EXPECT_EQ(file_size_text(1536), "File size: 1.5 kB");
}

}  // namespace
}  // namespace corvane::midi
