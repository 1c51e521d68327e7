// When the built-in synthesizer's notes begin: plays a percussive tune in real time (the
// steady clock and the timer thread) into the synthesizer rendering to memory, finds each
// note's onset in the audio (the first loud sample after silence) and prints how far the
// onsets lie from the grid of the first plus k note lengths, at the median, the 99th
// percentile and the worst: messages played when they arrive (latency 0, so at the
// synthesizer's next block after the timer woke) against messages played at their due time.
//
//   synth_timing [--seconds S] [--note-length SECONDS]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "../tests/midi/audio_onsets.h"
#include "corvane/engine/seed.h"
#include "corvane/midi/playback.h"
#include "corvane/platform/fluidsynth_output.h"
#include "corvane/platform/key_state.h"
#include "corvane/platform/reporter.h"
#include "corvane/platform/steady_timer_service.h"

namespace {

using namespace corvane;

constexpr int kWoodblock = 115;

struct Options {
    double seconds = 10;
    double note_length = 0.1;
};

// The onsets' distances from the grid, in frames, largest first; empty when the synthesizer
// does not start.
std::vector<double> play(const Options& options, int latency, int& rate) {
    platform::SteadyClock clock;
    std::string error;
    auto renderer = platform::FluidSynthRenderer::create(platform::SynthOptions{}, error, &clock);
    if (!renderer) {
        std::fprintf(stderr, "synth_timing: %s\n", error.c_str());
        std::exit(2);
    }
    platform::RendererOutputSystem devices(*renderer);
    platform::SteadyTimerService timers;
    platform::NoKeysHeld keys;
    platform::RecordingReporter reporter;
    engine::Composition composition;
    engine::set_seed(composition, engine::read_seed("0 0", engine::SeedStrictness::strict)->values);
    composition.Levels = 3;
    composition.Note_length = options.note_length;
    composition.Sustain = 0.3;
    composition.Voices_for_channels[0] = kWoodblock;
    engine::PlayerSettings settings;
    settings.uTimerRes = 1;
    engine::VoiceSettings voices;
    midi::Playback playback(composition, settings, voices, midi::PlaybackMachine{devices, timers, clock, keys, reporter});
    playback.port().set_latency_periods(latency);
    if (!playback.start()) std::exit(2);
    std::this_thread::sleep_for(std::chrono::duration<double>(options.seconds));
    playback.stop();
    for (int i = 0; i < 200 && !playback.player().stopped(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    timers.cancel_all(playback.player());
    rate = renderer->sample_rate();
    const auto onsets = testing::onsets_of(renderer->samples(), static_cast<std::size_t>(0.02 * rate));
    return testing::onset_errors(onsets, options.note_length * rate);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        if (name == "--seconds") options.seconds = std::atof(argv[i + 1]);
        if (name == "--note-length") options.note_length = std::atof(argv[i + 1]);
    }
    std::printf("%-22s %6s %18s %18s %18s\n", "messages", "notes", "median", "p99", "worst");
    for (const int latency : {0, 1}) {
        int rate = 44100;
        std::vector<double> errors = play(options, latency, rate);
        const auto cell = [rate](double frames) {
            char text[40];
            std::snprintf(text, sizeof text, "%.0f fr %.2f ms", frames, frames * 1000 / rate);
            return std::string(text);
        };
        const double median = corvane::testing::percentile(errors, 0.5);
        const double p99 = corvane::testing::percentile(errors, 0.99);
        const double worst = corvane::testing::percentile(errors, 1.0);
        std::printf("%-22s %6zu %18s %18s %18s\n", latency == 0 ? "when they arrive" : "at their due time",
                    errors.size(), cell(median).c_str(), cell(p99).c_str(), cell(worst).c_str());
    }
    return 0;
}
