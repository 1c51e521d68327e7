#pragma once

// A tune played in real time (the steady clock, the timer thread) into the built-in
// synthesizer rendering to memory: what the synthesizer timing test and bench listen to.

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "corvane/engine/seed.h"
#include "corvane/midi/playback.h"
#include "corvane/platform/fluidsynth_output.h"
#include "corvane/platform/key_state.h"
#include "corvane/platform/reporter.h"
#include "corvane/platform/steady_timer_service.h"

namespace corvane::testing {

// One woodblock key again and again, a note every `note_secs`, each ended after 30% of it:
// a sharp attack, gone before the next, the same for every note.
inline engine::Composition woodblock_tune(double note_secs, int levels) {
    constexpr int kWoodblock = 115;
    engine::Composition composition;
    engine::set_seed(composition, engine::read_seed("0 0", engine::SeedStrictness::strict)->values);
    composition.Levels = levels;
    composition.Note_length = note_secs;
    composition.Sustain = 0.3;
    composition.Voices_for_channels[0] = kWoodblock;
    return composition;
}

struct LiveRender {
    std::unique_ptr<platform::FluidSynthRenderer> renderer;  // null with `error` when none starts
    std::string error;
    std::int64_t schedule_moved_ms = 0;  // by stalls of the machine
};

// Plays `composition` for `seconds` with the output latency `latency` (0: each message plays
// when it arrives), then stops.
inline LiveRender play_into_synthesizer(engine::Composition& composition, int latency, double seconds) {
    LiveRender result;
    platform::SteadyClock clock;
    result.renderer = platform::FluidSynthRenderer::create(platform::SynthOptions{}, result.error, &clock);
    if (!result.renderer) return result;
    platform::RendererOutputSystem devices(*result.renderer);
    platform::SteadyTimerService timers;
    platform::NoKeysHeld keys;
    platform::RecordingReporter reporter;
    engine::PlayerSettings settings;
    settings.uTimerRes = 1;
    engine::VoiceSettings voices;
    midi::Playback playback(composition, settings, voices, midi::PlaybackMachine{devices, timers, clock, keys, reporter});
    playback.port().set_latency_periods(latency);
    if (!playback.start()) {
        result.error = "play did not start";
        return result;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    playback.stop();
    for (int i = 0; i < 200 && !playback.player().stopped(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    timers.cancel_all(playback.player());
    result.schedule_moved_ms = playback.player().schedule_moved_ms();
    return result;
}

}  // namespace corvane::testing
