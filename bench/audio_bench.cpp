// Audio export against real time: a tune played on a simulated clock into the built-in
// synthesizer rendering into memory (what `corvane-cli play --wav` does), and the WAV file
// written from it. The counter realtime_factor is seconds of sound made per second taken.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "corvane/engine/seed.h"
#include "corvane/midi/playback.h"
#include "corvane/platform/fluidsynth_output.h"
#include "corvane/platform/manual_timer_service.h"

namespace {

using namespace corvane;

constexpr std::int64_t kSoundMs = 60'000;

std::unique_ptr<platform::FluidSynthRenderer> play_into_memory(const platform::ManualClock& clock,
                                                               platform::ManualTimerService& timers, double note_length,
                                                               int channels) {
    std::string error;
    auto renderer = platform::FluidSynthRenderer::create(platform::SynthOptions{}, error, &clock);
    if (!renderer) return nullptr;
    engine::Composition composition;
    composition.Note_length = note_length;
    engine::set_seed(composition, engine::read_seed("0 2 -1 1", engine::SeedStrictness::lenient)->values);
    composition.Levels = 8;
    composition.Channels_in_Play = channels;
    engine::PlayerSettings settings;
    const engine::VoiceSettings voice_settings;
    platform::RendererOutputSystem devices(*renderer);
    platform::NoKeysHeld keys;
    platform::RecordingReporter reporter;
    midi::Playback playback(composition, settings, voice_settings,
                            midi::PlaybackMachine{devices, timers, clock, keys, reporter});
    playback.port().enumerate_devices();
    if (!playback.start()) return nullptr;
    timers.advance_to(kSoundMs);
    playback.stop();
    timers.advance_to(kSoundMs + 1);
    timers.cancel_all(playback.player());
    renderer->render_until(kSoundMs);
    return renderer;
}

void render_a_minute(benchmark::State& state, double note_length, int channels) {
    for (auto _ : state) {
        platform::ManualClock clock(0);
        platform::ManualTimerService timers(clock);
        const auto renderer = play_into_memory(clock, timers, note_length, channels);
        if (!renderer) {
            state.SkipWithError("the built-in synthesizer could not be made (is a General MIDI soundfont installed?)");
            return;
        }
        benchmark::DoNotOptimize(renderer->samples().data());
    }
    const double seconds_of_sound = static_cast<double>(kSoundMs) / 1000.0 * static_cast<double>(state.iterations());
    state.counters["realtime_factor"] = benchmark::Counter(seconds_of_sound, benchmark::Counter::kIsRate);
}

void BM_RenderMinute_EighthNotes(benchmark::State& state) { render_a_minute(state, 0.125, 1); }
BENCHMARK(BM_RenderMinute_EighthNotes)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_RenderMinute_FastFourChannels(benchmark::State& state) { render_a_minute(state, 0.02, 4); }
BENCHMARK(BM_RenderMinute_FastFourChannels)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteMinuteWav(benchmark::State& state) {
    platform::ManualClock clock(0);
    platform::ManualTimerService timers(clock);
    const auto renderer = play_into_memory(clock, timers, 0.125, 1);
    if (!renderer) {
        state.SkipWithError("the built-in synthesizer could not be made");
        return;
    }
    const auto path = std::filesystem::temp_directory_path() / ("corvane-audio-bench-" + std::to_string(::getpid()) + ".wav");
    for (auto _ : state) {
        if (!renderer->write_wav(path).empty()) state.SkipWithError("the WAV file could not be written");
    }
    std::filesystem::remove(path);
    state.SetBytesProcessed(static_cast<std::int64_t>(renderer->samples().size_bytes()) * state.iterations());
}
BENCHMARK(BM_WriteMinuteWav)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
