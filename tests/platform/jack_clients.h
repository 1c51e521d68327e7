#pragma once

// Other programs on the JACK server, as the tests need them: a client of their own with one
// MIDI port, whose process callback takes room made beforehand and never locks, quick enough
// to read a whole cycle of thousands of messages before the next one starts.

#include <jack/jack.h>
#include <jack/midiport.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "corvane/platform/thread_handoff.h"

namespace corvane::testing {

// A name unique to this process: ctest may run tests side by side on one server.
inline std::string unique_jack_name(const std::string& name) { return name + "-" + std::to_string(::getpid()); }

// A JACK client with one MIDI port. Declared last in its owner, so that it closes, and its
// process callback stops, before the owner's other members go.
class JackMidiPort {
public:
    JackMidiPort(const std::string& client, const char* port, unsigned long direction)
        : client_(jack_client_open(client.c_str(), JackNoStartServer, nullptr)) {
        if (client_ != nullptr) port_ = jack_port_register(client_, port, JACK_DEFAULT_MIDI_TYPE, direction, 0);
    }
    ~JackMidiPort() {
        if (client_ != nullptr) jack_client_close(client_);
    }
    JackMidiPort(const JackMidiPort&) = delete;
    JackMidiPort& operator=(const JackMidiPort&) = delete;

    // From now on JACK's thread calls `process` every cycle.
    void activate(JackProcessCallback process, void* owner) {
        if (port_ == nullptr) return;
        jack_set_process_callback(client_, process, owner);
        jack_activate(client_);
    }
    bool ready() const { return port_ != nullptr; }
    std::string name() const { return port_ == nullptr ? "" : jack_port_name(port_); }
    void* buffer(jack_nframes_t frames) const { return jack_port_get_buffer(port_, frames); }
    jack_client_t* client() const { return client_; }
    // Connects the output port `source` ("client:port") of another program to this input.
    bool connect_from(const std::string& source) const {
        return port_ != nullptr && jack_connect(client_, source.c_str(), jack_port_name(port_)) == 0;
    }

private:
    jack_client_t* client_;
    jack_port_t* port_ = nullptr;
};

struct Arrival {
    std::vector<std::uint8_t> bytes;
    std::chrono::steady_clock::time_point at;  // when its cycle was read
};

// A MIDI input port "capture" of client `client`: keeps what arrives, up to `room` messages.
class Capture {
public:
    explicit Capture(const std::string& client, std::size_t room = 1 << 18)
        : times_(room), starts_(room + 1), bytes_(room * 16), port_(client, "capture", JackPortIsInput) {
        if (!port_.ready()) return;
        jack_set_xrun_callback(port_.client(), &Capture::overrun, this);
        port_.activate(&Capture::process, this);
    }

    bool connect_from(const std::string& source) const { return port_.connect_from(source); }
    std::vector<Arrival> arrivals() const {
        const std::size_t count = count_.load(std::memory_order_acquire);
        std::vector<Arrival> all;
        for (std::size_t i = 0; i < count; ++i) {
            all.push_back({{bytes_.begin() + static_cast<std::ptrdiff_t>(starts_[i]),
                            bytes_.begin() + static_cast<std::ptrdiff_t>(starts_[i + 1])},
                           times_[i]});
        }
        return all;
    }
    // Waits until `count` messages have come (or three seconds have passed); what came.
    std::vector<Arrival> wait_for(std::size_t count) const {
        for (int i = 0; i < 300 && count_.load() < count; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return arrivals();
    }
    // Cycles the server reported overrun: what crossed it then may be lost.
    int overruns() const { return overruns_.load(); }

private:
    static int process(jack_nframes_t frames, void* self) {
        auto& capture = *static_cast<Capture*>(self);
        void* buffer = capture.port_.buffer(frames);
        platform::take_over(buffer);
        const auto now = std::chrono::steady_clock::now();
        std::size_t at = capture.count_.load(std::memory_order_relaxed);
        const std::uint32_t events = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < events && at < capture.times_.size(); ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0 || event.size < 1) continue;
            const std::size_t start = capture.starts_[at];
            if (start + event.size > capture.bytes_.size()) break;
            std::copy_n(event.buffer, event.size, capture.bytes_.begin() + static_cast<std::ptrdiff_t>(start));
            capture.starts_[at + 1] = start + event.size;
            capture.times_[at++] = now;
        }
        capture.count_.store(at, std::memory_order_release);
        platform::hand_over(buffer);
        return 0;
    }
    static int overrun(void* self) {
        static_cast<Capture*>(self)->overruns_.fetch_add(1);
        return 0;
    }

    std::vector<std::chrono::steady_clock::time_point> times_;
    std::vector<std::size_t> starts_;  // where each message's bytes begin, and the next's
    std::vector<std::uint8_t> bytes_;
    std::atomic<std::size_t> count_{0};
    std::atomic<int> overruns_{0};
    JackMidiPort port_;
};

}  // namespace corvane::testing
