// Where the notes land in JACK's frames: plays a tune with a note every --note-length seconds
// through Corvane's JACK port into an independent JACK client that only records the frame of
// each note-on, then prints how far each lies from the ideal grid (the first note plus k note
// lengths) at the median, the 99th percentile and the worst, and where in their periods the
// notes fall.
//
//   jack_timing [--seconds S] [--note-length SECONDS] [--priority LEVEL]
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
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "corvane/engine/seed.h"
#include "corvane/midi/playback.h"
#include "corvane/platform/midi_port_output.h"
#include "corvane/platform/reporter.h"
#include "corvane/platform/steady_timer_service.h"

namespace {

using namespace corvane;

struct Options {
    double seconds = 10;
    double note_length = 0.05;
    int priority = 5;
};

Options read_options(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        const double value = std::atof(argv[i + 1]);
        if (name == "--seconds") options.seconds = value;
        if (name == "--note-length") options.note_length = value;
        if (name == "--priority") options.priority = static_cast<int>(value);
    }
    return options;
}

// A JACK client with one MIDI input that keeps the absolute frame of every note-on, and
// nothing else: its process callback neither allocates nor locks.
class FrameRecorder {
public:
    explicit FrameRecorder(const std::string& name) {
        client_ = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
        if (client_ == nullptr) return;
        port_ = jack_port_register(client_, "capture", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &FrameRecorder::process, this);
        jack_activate(client_);
    }
    ~FrameRecorder() {
        if (client_ != nullptr) jack_client_close(client_);
    }
    FrameRecorder(const FrameRecorder&) = delete;
    FrameRecorder& operator=(const FrameRecorder&) = delete;

    bool ready() const { return port_ != nullptr; }
    jack_nframes_t sample_rate() const { return jack_get_sample_rate(client_); }
    jack_nframes_t period() const { return jack_get_buffer_size(client_); }
    std::vector<std::uint32_t> frames() const {
        const auto count = std::min<std::size_t>(count_.load(std::memory_order_acquire), frames_.size());
        return {frames_.begin(), frames_.begin() + static_cast<std::ptrdiff_t>(count)};
    }

private:
    static int process(jack_nframes_t frames, void* self) {
        auto& recorder = *static_cast<FrameRecorder*>(self);
        const jack_nframes_t cycle_start = jack_last_frame_time(recorder.client_);
        void* buffer = jack_port_get_buffer(recorder.port_, frames);
        const std::uint32_t events = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < events; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0 || event.size < 3) continue;
            const bool note_on = (event.buffer[0] & 0xF0) == 0x90 && event.buffer[2] > 0;
            const std::size_t at = recorder.count_.load(std::memory_order_relaxed);
            if (!note_on || at >= recorder.frames_.size()) continue;
            recorder.frames_[at] = cycle_start + event.time;
            recorder.count_.store(at + 1, std::memory_order_release);
        }
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    std::array<std::uint32_t, 1 << 16> frames_{};
    std::atomic<std::size_t> count_{0};
};

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size()))) - 1;
    return values[std::min(at, values.size() - 1)];
}

engine::Composition timing_composition(double note_length) {
    engine::Composition composition;
    engine::set_seed(composition, engine::read_seed("0 1 2 3", engine::SeedStrictness::strict)->values);
    composition.Levels = 1;
    composition.Note_length = note_length;
    return composition;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = read_options(argc, argv);
    const std::string client = "corvane-timing-" + std::to_string(::getpid());
    FrameRecorder recorder(client);
    if (!recorder.ready()) {
        std::fprintf(stderr, "jack_timing: no JACK server to record on (JACK_DEFAULT_SERVER)\n");
        return 2;
    }
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
    if (!playback.port().choose_device_named(client + ":capture") || !playback.start()) {
        std::fprintf(stderr, "jack_timing: the port did not open\n");
        return 2;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(options.seconds));
    playback.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    const std::vector<std::uint32_t> frames = recorder.frames();
    if (frames.size() < 3) {
        std::fprintf(stderr, "jack_timing: only %zu notes arrived\n", frames.size());
        return 1;
    }
    const double rate = recorder.sample_rate();
    const double spacing = options.note_length * rate;
    std::vector<double> errors;
    std::size_t on_period_start = 0;
    for (std::size_t k = 0; k < frames.size(); ++k) {
        const auto offset = static_cast<double>(frames[k] - frames[0]);  // JACK's frame count wraps round
        errors.push_back(std::fabs(offset - static_cast<double>(k) * spacing));
        on_period_start += frames[k] % recorder.period() == 0 ? 1 : 0;
    }
    const double median = percentile(errors, 0.5);
    const double p99 = percentile(errors, 0.99);
    const double worst = percentile(errors, 1.0);
    const auto ms = [rate](double frame_count) { return frame_count * 1000 / rate; };
    std::printf("%zu note-ons, a note every %.0f frames (%.0f Hz, %u-frame periods)\n", frames.size(), spacing, rate,
                recorder.period());
    std::printf("error against the grid: median %.0f frames (%.2f ms), p99 %.0f (%.2f ms), worst %.0f (%.2f ms)\n",
                median, ms(median), p99, ms(p99), worst, ms(worst));
    std::printf("note-ons at the start of a period: %zu of %zu\n", on_period_start, frames.size());
    return 0;
}
