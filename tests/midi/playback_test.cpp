#include "corvane/midi/playback.h"

#include <gtest/gtest.h>

#include "corvane/platform/manual_timer_service.h"
#include "corvane/platform/recording_output.h"

namespace corvane::midi {
namespace {

class PlaybackTest : public ::testing::Test {
protected:
    engine::Composition composition;
    engine::PlayerSettings settings;
    engine::VoiceSettings voice_settings;
    platform::ManualClock clock{0};
    platform::ManualTimerService timers{clock};
    platform::RecordingOutputSystem devices{clock};
    platform::NoKeysHeld keys;
    platform::RecordingReporter reporter;
    Playback playback{composition, settings, voice_settings, PlaybackMachine{devices, timers, clock, keys, reporter}};

    std::vector<std::uint32_t> sent_since(std::size_t first) const {
        std::vector<std::uint32_t> out;
        const auto all = devices.recording()->messages();
        for (std::size_t i = first; i < all.size(); ++i) out.push_back(all[i].message);
        return out;
    }
};

TEST_F(PlaybackTest, OpeningResetsEveryChannel) {
    ASSERT_EQ(playback.port().open(), OpenResult::opened);
    const auto sent = sent_since(0);
    ASSERT_EQ(sent.size(), 16u * 5u);  // expression 127 and the bend range on every channel
    EXPECT_EQ(sent.front(), pack_short_message(kControlChange, 0, 11, 127));
    EXPECT_EQ(playback.voices().bend_of_channel(5), 8192.0);
}

TEST_F(PlaybackTest, ShiftingBySemitonesMovesTheBendOrTheNote) {
    voice_settings.all_sound_off_before_pitch_bends = false;
    ASSERT_EQ(playback.port().open(), OpenResult::opened);
    playback.voices().note_on(0, 0, 0, 60, 100);
    const std::size_t before = devices.recording()->size();
    playback.shift_sounding_notes(0.5, true);  // within the bend range: the bend alone moves
    EXPECT_EQ(sent_since(before), (std::vector<std::uint32_t>{pack_short_message(kPitchBend, 0, 0, 80)}));
    const std::size_t after_bend = devices.recording()->size();
    playback.shift_sounding_notes(1.5, false);  // 60 + 0.5 + 1.5 = 62: a new note, bend centred
    const std::vector<std::uint32_t> expected{pack_short_message(kNoteOff, 0, 60, 127),
                                              pack_short_message(kPitchBend, 0, 0, 64),
                                              pack_short_message(kNoteOn, 0, 62, 100)};
    EXPECT_EQ(sent_since(after_bend), expected);
    EXPECT_EQ(playback.voices().sounding_note(0), 62);
    // Stopping the original note stops its replacement too.
    const std::size_t after_shift = devices.recording()->size();
    playback.voices().note_off(0, 0, 0, 60, 64);
    EXPECT_EQ(sent_since(after_shift), (std::vector<std::uint32_t>{pack_short_message(kNoteOff, 0, 60, 64),
                                                                   pack_short_message(kNoteOff, 0, 62, 64)}));
}

TEST_F(PlaybackTest, RangesThatFollowThePitchMoveWithIt) {
    composition.Sync_to_pitch[0] = true;
    composition.Min_notes_for_channels[0] = 40;
    composition.Max_notes_for_channels[0] = 126;
    ASSERT_EQ(playback.port().open(), OpenResult::opened);
    playback.voices().note_on(0, 0, 0, 60, 100);
    playback.shift_sounding_notes(3, false);
    EXPECT_EQ(composition.Min_notes_for_channels[0], 43);
    EXPECT_EQ(composition.Max_notes_for_channels[0], 127);
}

TEST_F(PlaybackTest, PlayOpensThePortAndAFailureIsReported) {
    devices.fail_open("busy");
    EXPECT_FALSE(playback.start());
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].caption, "Corvane");
    devices.fail_open("");
    EXPECT_TRUE(playback.start());
    EXPECT_TRUE(playback.player().playing());
    playback.stop();
    timers.advance_to(10);
    EXPECT_TRUE(playback.player().stopped());
}

}  // namespace
}  // namespace corvane::midi
