// When the built-in synthesizer's notes begin: plays a percussive tune in real time (the
// steady clock and the timer thread) into the synthesizer rendering to memory, finds each
// note's onset in the audio (the first loud sample after silence) and prints how far the
// onsets lie from the grid of note lengths through their median, at the median, the 99th
// percentile and the worst: messages played when they arrive (latency 0, so at the
// synthesizer's next block after the timer woke) against messages played at their due time.
//
//   synth_timing [--seconds S] [--note-length SECONDS]

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "../tests/midi/audio_onsets.h"
#include "../tests/midi/live_render.h"

namespace {

using namespace corvane;

struct Options {
    double seconds = 10;
    double note_length = 0.1;
};

// The onsets' distances from the grid, in frames, largest first.
std::vector<double> play(const Options& options, int latency, int& rate) {
    engine::Composition composition = testing::woodblock_tune(options.note_length, 3);
    const testing::LiveRender played = testing::play_into_synthesizer(composition, latency, options.seconds);
    if (!played.renderer) {
        std::fprintf(stderr, "synth_timing: %s\n", played.error.c_str());
        std::exit(2);
    }
    rate = played.renderer->sample_rate();
    const auto onsets = testing::onsets_of(played.renderer->samples(), static_cast<std::size_t>(0.02 * rate));
    return testing::onset_errors(onsets, options.note_length * rate);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App app{"When the built-in synthesizer's notes begin, sent at once against stamped"};
    app.add_option("--seconds", options.seconds, "how long each way plays");
    app.add_option("--note-length", options.note_length, "seconds from one note to the next");
    CLI11_PARSE(app, argc, argv);
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
