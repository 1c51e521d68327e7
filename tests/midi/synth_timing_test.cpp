// When the built-in synthesizer's notes begin, heard in its audio: a tune played in real time
// (the steady clock, the timer thread) into the synthesizer rendering to memory, each note's
// onset the first loud sample after silence. With a latency each message carries its due
// time and plays at the synthesizer block nearest it, so the timer's lateness does not show.
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "audio_onsets.h"
#include "corvane/engine/seed.h"
#include "corvane/midi/playback.h"
#include "corvane/platform/fluidsynth_output.h"
#include "corvane/platform/key_state.h"
#include "corvane/platform/reporter.h"
#include "corvane/platform/steady_timer_service.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;

constexpr int kWoodblock = 115;  // percussive: a sharp attack, gone before the next note
constexpr double kNoteSecs = 0.1;

TEST(SynthTiming, WithALatencyEveryNoteStartsWithinAMillisecondOfTheGrid) {
    platform::SteadyClock clock;
    std::string error;
    auto renderer = platform::FluidSynthRenderer::create(platform::SynthOptions{}, error, &clock);
    ASSERT_NE(renderer, nullptr) << error;
    platform::RendererOutputSystem devices(*renderer);
    platform::SteadyTimerService timers;
    platform::NoKeysHeld keys;
    platform::RecordingReporter reporter;
    engine::Composition composition;
    engine::set_seed(composition, engine::read_seed("0 0", engine::SeedStrictness::strict)->values);
    composition.Levels = 2;
    composition.Note_length = kNoteSecs;
    composition.Sustain = 0.3;
    composition.Voices_for_channels[0] = kWoodblock;
    engine::PlayerSettings settings;
    settings.uTimerRes = 1;
    engine::VoiceSettings voices;
    midi::Playback playback(composition, settings, voices, midi::PlaybackMachine{devices, timers, clock, keys, reporter});
    playback.port().set_latency_periods(1);
    ASSERT_TRUE(playback.start());
    std::this_thread::sleep_for(1600ms);
    playback.stop();
    for (int i = 0; i < 200 && !playback.player().stopped(); ++i) std::this_thread::sleep_for(10ms);
    timers.cancel_all(playback.player());

    const double rate = renderer->sample_rate();
    const auto onsets = onsets_of(renderer->samples(), static_cast<std::size_t>(0.02 * rate));
    ASSERT_GE(onsets.size(), 12u);
    // A stall of the machine (a sanitizer's, say) that moved play's schedule moves the grid.
    if (playback.player().schedule_moved_ms() > 0) GTEST_SKIP() << "the machine stalled play";
    const auto errors = onset_errors(onsets, kNoteSecs * rate);
    EXPECT_LE(errors.front() * 1000 / rate, 1.0) << onsets.size() << " notes, " << renderer->late_messages() << " late";
    EXPECT_EQ(renderer->late_messages(), 0u);
}

}  // namespace
}  // namespace corvane::testing
