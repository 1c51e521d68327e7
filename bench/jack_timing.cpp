// Where the notes land in JACK's frames: plays a tune with a note every --note-length seconds
// through Corvane's JACK port into an independent JACK client that only records the frame of
// each note-on, then prints how far each lies from the ideal grid (the first note plus k note
// lengths) at the median, the 99th percentile and the worst, and where in their periods the
// notes fall: once for each output latency, side by side (0 sends at once).
//
//   jack_timing [--seconds S] [--note-length SECONDS] [--priority LEVEL] [--latencies 0 1 2 3]
//
// It needs a running JACK server (JACK_DEFAULT_SERVER names it); scripts/jack-timing starts
// one with the dummy driver (48 kHz, 256-frame periods) and keeps the other core busy.

#include <jack/jack.h>
#include <jack/midiport.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "corvane/engine/seed.h"
#include "corvane/midi/playback.h"
#include "corvane/platform/midi_port_output.h"
#include "corvane/platform/reporter.h"
#include "corvane/platform/steady_timer_service.h"
#include "../tests/midi/jack_frame_recorder.h"

namespace {

using namespace corvane;

using testing::FrameRecorder;

struct Options {
    double seconds = 10;
    double note_length = 0.05;
    int priority = 5;
    std::vector<int> latencies{0, 1, 2};
};

// Null when the command line was wrong (CLI11 has said why) or asked for help.
std::optional<Options> read_options(int argc, char** argv) {
    Options options;
    CLI::App app{"Where a tune's note-ons land in JACK's frames, for each output latency"};
    app.add_option("--seconds", options.seconds, "how long each latency plays");
    app.add_option("--note-length", options.note_length, "seconds from one note to the next");
    app.add_option("--priority", options.priority, "the player's priority level")->check(CLI::Range(0, 5));
    app.add_option("--latencies", options.latencies, "the latencies to play, in periods")->check(CLI::Range(0, 3));
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return std::nullopt;
    }
    return options;
}

// How far note-ons lie from the grid of the first one plus k spacings, in frames. Two grids, as
// the server's frame count need not keep the steady clock's time: the dummy driver on a
// virtual machine lets it fall behind by a few milliseconds a second and then skip cycles to
// catch up. Notes placed by the steady clock keep the grid in the server's time (below).
struct GridErrors {
    double median = 0;
    double p99 = 0;
    double worst = 0;
    std::size_t on_period_start = 0;  // note-ons on the first frame of a period
};

GridErrors grid_errors(const std::vector<std::uint32_t>& frames, double spacing, std::uint32_t period) {
    std::vector<double> errors;
    GridErrors result;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        const auto offset = static_cast<double>(frames[k] - frames[0]);  // JACK's frame count wraps round
        errors.push_back(std::fabs(offset - static_cast<double>(k) * spacing));
        result.on_period_start += frames[k] % period == 0 ? 1 : 0;
    }
    result.median = testing::percentile(errors, 0.5);
    result.p99 = testing::percentile(errors, 0.99);
    result.worst = testing::percentile(errors, 1.0);
    return result;
}

// How far note-ons lie from the grid in the server's time, in frames at `rate`: where each
// sounds by the server's clock against the first one's time plus k spacings of `spacing_us`.
GridErrors time_grid_errors(const std::vector<std::uint64_t>& times_us, double spacing_us, double rate) {
    std::vector<double> errors;
    for (std::size_t k = 0; k < times_us.size(); ++k) {
        const auto offset = static_cast<double>(times_us[k]) - static_cast<double>(times_us[0]);
        errors.push_back(std::fabs(offset - static_cast<double>(k) * spacing_us) * rate / 1e6);
    }
    return {testing::percentile(errors, 0.5), testing::percentile(errors, 0.99), testing::percentile(errors, 1.0), 0};
}

engine::Composition timing_composition(double note_length) {
    engine::Composition composition;
    engine::set_seed(composition, engine::read_seed("0 1 2 3", engine::SeedStrictness::strict)->values);
    composition.Levels = 1;
    composition.Note_length = note_length;
    return composition;
}

}  // namespace

struct Run {
    std::vector<std::uint32_t> frames;
    std::vector<std::uint64_t> times_us;
    std::uint64_t late = 0;
};

// Plays for the options' seconds with `latency` periods; the frames of the note-ons.
Run play(const Options& options, int latency, FrameRecorder& recorder, const std::string& client) {
    engine::Composition composition = timing_composition(options.note_length);
    engine::PlayerSettings settings;
    settings.uTimerRes = 1;
    settings.set_high_priority_for_crv = options.priority;
    engine::VoiceSettings voice_settings;
    platform::MidiClient midi_client(platform::MidiClientOptions{platform::MidiApi::jack, client + "-out"});
    platform::MidiPortOutputSystem devices(midi_client);
    platform::SteadyClock clock;
    platform::SteadyTimerService timers;
    platform::NoKeysHeld keys;
    platform::RecordingReporter reporter;
    midi::Playback playback(composition, settings, voice_settings,
                            midi::PlaybackMachine{devices, timers, clock, keys, reporter});
    playback.port().set_latency_periods(latency);
    recorder.clear();
    if (!playback.port().choose_device_named(client + ":capture") || !playback.start()) {
        std::fprintf(stderr, "jack_timing: the port did not open\n");
        std::exit(2);
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(options.seconds));
    Run run{{}, {}, playback.port().late_messages()};
    playback.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    timers.cancel_all(playback.player());
    run.frames = recorder.frames();
    run.times_us = recorder.times_us();
    return run;
}

int main(int argc, char** argv) {
    const auto read = read_options(argc, argv);
    if (!read) return 2;
    const Options& options = *read;
    const std::string client = "corvane-timing-" + std::to_string(::getpid());
    FrameRecorder recorder(client);
    if (!recorder.ready()) {
        std::fprintf(stderr, "jack_timing: no JACK server to record on (JACK_DEFAULT_SERVER)\n");
        return 2;
    }
    const double rate = recorder.sample_rate();
    const double spacing = options.note_length * rate;
    const auto ms = [rate](double frame_count) { return frame_count * 1000 / rate; };
    std::printf("a note every %.0f frames (%.0f Hz, %u-frame periods), %.0f s each\n", spacing, rate,
                recorder.period(), options.seconds);
    std::printf("%-9s %-12s %6s %18s %18s %18s %14s %6s\n", "latency", "grid", "notes", "median", "p99", "worst",
                "period starts", "late");
    for (const int latency : options.latencies) {
        const Run run = play(options, latency, recorder, client);
        if (run.frames.size() < 3) {
            std::fprintf(stderr, "jack_timing: only %zu notes arrived\n", run.frames.size());
            return 1;
        }
        const auto in_frames = grid_errors(run.frames, spacing, recorder.period());
        const auto in_time = time_grid_errors(run.times_us, options.note_length * 1e6, rate);
        const auto cell = [&](double frames) {
            char text[32];
            std::snprintf(text, sizeof text, "%.0f fr %.2f ms", frames, ms(frames));
            return std::string(text);
        };
        std::printf("%-9d %-12s %6zu %18s %18s %18s %14zu %6llu\n", latency, "frames", run.frames.size(),
                    cell(in_frames.median).c_str(), cell(in_frames.p99).c_str(), cell(in_frames.worst).c_str(),
                    in_frames.on_period_start, static_cast<unsigned long long>(run.late));
        std::printf("%-9s %-12s %6s %18s %18s %18s\n", "", "server time", "", cell(in_time.median).c_str(),
                    cell(in_time.p99).c_str(), cell(in_time.worst).c_str());
    }
    return 0;
}
