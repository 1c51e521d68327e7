#pragma once

// Where note-ons land in JACK's frames: a client of its own that only records the frame of
// each note-on it is sent, and when the server's clock says that frame is. Shared by the JACK
// timing test and the timing bench.

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "../platform/jack_clients.h"
#include "timing_statistics.h"

namespace corvane::testing {

// A JACK client with one MIDI input, "capture", that keeps the absolute frame of every
// note-on and its time, and nothing else: its process callback neither allocates nor locks.
class FrameRecorder {
public:
    explicit FrameRecorder(const std::string& name) : port_(name, "capture", JackPortIsInput) {
        port_.activate(&FrameRecorder::process, this);
    }

    bool ready() const { return port_.ready(); }
    // Connects the output port `source` ("client:port") of another program to this one.
    bool connect_from(const std::string& source) const { return port_.connect_from(source); }
    jack_nframes_t sample_rate() const { return jack_get_sample_rate(port_.client()); }
    jack_nframes_t period() const { return jack_get_buffer_size(port_.client()); }
    std::vector<std::uint32_t> frames() const {
        const auto count = std::min<std::size_t>(count_.load(std::memory_order_acquire), frames_.size());
        return {frames_.begin(), frames_.begin() + static_cast<std::ptrdiff_t>(count)};
    }
    // The server's time of each of those frames, in microseconds.
    std::vector<std::uint64_t> times_us() const {
        const auto count = std::min<std::size_t>(count_.load(std::memory_order_acquire), times_.size());
        return {times_.begin(), times_.begin() + static_cast<std::ptrdiff_t>(count)};
    }
    void clear() { count_.store(0, std::memory_order_release); }

private:
    static int process(jack_nframes_t frames, void* self) {
        auto& recorder = *static_cast<FrameRecorder*>(self);
        const jack_nframes_t cycle_start = jack_last_frame_time(recorder.port_.client());
        void* buffer = recorder.port_.buffer(frames);
        const std::uint32_t events = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < events; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0 || event.size < 3) continue;
            const bool note_on = (event.buffer[0] & 0xF0) == 0x90 && event.buffer[2] > 0;
            const std::size_t at = recorder.count_.load(std::memory_order_relaxed);
            if (!note_on || at >= recorder.frames_.size()) continue;
            recorder.frames_[at] = cycle_start + event.time;
            recorder.times_[at] = jack_frames_to_time(recorder.port_.client(), recorder.frames_[at]);
            recorder.count_.store(at + 1, std::memory_order_release);
        }
        return 0;
    }

    std::array<std::uint32_t, 1 << 16> frames_{};
    std::array<std::uint64_t, 1 << 16> times_{};
    std::atomic<std::size_t> count_{0};
    JackMidiPort port_;
};

// How far each note-on lies, in the server's time and in frames at `rate`, from where the
// one before it puts it: a stall of the machine that moves play's schedule shows once
// rather than in every later note.
inline std::vector<double> spacing_errors(const std::vector<std::uint64_t>& times_us, double spacing_us, double rate) {
    std::vector<double> errors;
    for (std::size_t k = 1; k < times_us.size(); ++k) {
        const auto apart = static_cast<double>(times_us[k]) - static_cast<double>(times_us[k - 1]);
        errors.push_back(std::fabs(apart - spacing_us) * rate / 1e6);
    }
    return errors;
}

}  // namespace corvane::testing
