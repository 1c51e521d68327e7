#include "corvane/midi/playback.h"

#include <functional>
#include <utility>

#include <gtest/gtest.h>

#include "corvane/platform/manual_timer_service.h"
#include "corvane/platform/recording_output.h"

namespace corvane::midi {
namespace {

// A clock whose next sleep runs a hook: something happens while the player waits.
class SleepHookClock final : public platform::Clock {
public:
    explicit SleepHookClock(platform::ManualClock& inner) : inner_(inner) {}
    std::int64_t now_ms() const override { return inner_.now_ms(); }
    void sleep_ms(std::int64_t ms) const override {
        inner_.sleep_ms(ms);
        if (auto hook = std::exchange(on_sleep, {})) hook();
    }
    mutable std::function<void()> on_sleep;

private:
    platform::ManualClock& inner_;
};

class PlaybackTest : public ::testing::Test {
protected:
    engine::Composition composition;
    engine::PlayerSettings settings;
    engine::VoiceSettings voice_settings;
    platform::ManualClock clock{0};
    SleepHookClock player_clock{clock};
    platform::ManualTimerService timers{clock};
    platform::RecordingOutputSystem devices{clock};
    platform::NoKeysHeld keys;
    platform::RecordingReporter reporter;
    Playback playback{composition, settings, voice_settings, PlaybackMachine{devices, timers, player_clock, keys, reporter}};

    std::vector<std::uint32_t> sent_since(std::size_t first) const {
        std::vector<std::uint32_t> out;
        const auto all = devices.recording()->messages();
        for (std::size_t i = first; i < all.size(); ++i) out.push_back(all[i].message);
        return out;
    }
};

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
    // Two semitones up from the centre is one step past the highest bend: a new note again.
    const std::size_t at_62 = devices.recording()->size();
    playback.shift_sounding_notes(2, true);
    EXPECT_EQ(sent_since(at_62), (std::vector<std::uint32_t>{pack_short_message(kNoteOff, 0, 62, 127),
                                                             pack_short_message(kPitchBend, 0, 0, 64),
                                                             pack_short_message(kNoteOn, 0, 64, 100)}));
    // Stopping the original note stops its replacement too.
    const std::size_t after_shift = devices.recording()->size();
    playback.voices().note_off(0, 0, 0, 60, 64);
    EXPECT_EQ(sent_since(after_shift), (std::vector<std::uint32_t>{pack_short_message(kNoteOff, 0, 60, 64),
                                                                   pack_short_message(kNoteOff, 0, 64, 64)}));
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

// A device that goes away mid-play (a JACK server killed, a device unplugged): play stops
// at its next event with every later send skipped, the user is told once, and play starts
// again on the same device when it is back. A device that does not open at all is reported
// when Play opens it.
TEST_F(PlaybackTest, PlayStopsWhenTheDeviceGoesAwayAndStartsAgainWhenItIsBack) {
    playback.port().enumerate_devices();
    playback.port().set_device(0);
    devices.fail_open("busy");
    EXPECT_FALSE(playback.start());
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].caption, "Corvane");
    devices.fail_open("");
    ASSERT_TRUE(playback.start());
    timers.advance_to(1000);
    ASSERT_TRUE(playback.player().playing());
    EXPECT_FALSE(playback.take_device_failure());

    devices.lose_open_outputs();
    const std::size_t sent_before_loss = devices.recording()->size();
    timers.advance_to(1500);
    EXPECT_FALSE(playback.player().playing());
    EXPECT_TRUE(playback.player().stopped());
    EXPECT_EQ(timers.pending(), 0u);
    EXPECT_EQ(devices.recording()->size(), sent_before_loss);
    EXPECT_TRUE(playback.port().device_failed());

    EXPECT_EQ(playback.take_device_failure(),
              "The MIDI output device \"Recorder\" stopped working, so play has stopped.\n\nPress Play again when "
              "it is back, or choose another device from the Out menu.");
    EXPECT_FALSE(playback.port().is_open());
    EXPECT_FALSE(playback.take_device_failure());  // told once

    ASSERT_TRUE(playback.start());
    timers.advance_to(2500);
    EXPECT_TRUE(playback.player().playing());
    EXPECT_GT(devices.recording()->size(), sent_before_loss + 16u * 5u);  // reset, then notes
    EXPECT_EQ(devices.open_count(), 2);

    // Without the owner taking the failure, Play itself reopens the failed device.
    devices.lose_open_outputs();
    timers.advance_to(3000);
    ASSERT_TRUE(playback.player().stopped());
    ASSERT_TRUE(playback.start());
    EXPECT_FALSE(playback.port().device_failed());
    EXPECT_EQ(devices.open_count(), 3);
    EXPECT_EQ(reporter.entries().size(), 1u);  // the first failure alone
    playback.stop();
    timers.advance_to(3100);
    EXPECT_TRUE(playback.player().stopped());
}

// Play pressed again while a stop lets the receiver take in its note-offs: the new play is
// not marked stopped when the old stop settles, so a later Stop is waited for in full.
TEST_F(PlaybackTest, PlayPressedWhileAStopSettlesIsNotMarkedStopped) {
    ASSERT_TRUE(playback.start());
    timers.advance_to(500);
    player_clock.on_sleep = [&] { ASSERT_TRUE(playback.start()); };
    playback.stop();
    timers.advance_to(600);
    EXPECT_TRUE(playback.player().playing());
    EXPECT_FALSE(playback.player().stopped());
    playback.stop();
    timers.advance_to(2000);
    EXPECT_TRUE(playback.player().stopped());
}

}  // namespace
}  // namespace corvane::midi
