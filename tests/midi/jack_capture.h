#pragma once

// A MIDI input of the test on the JACK server: what Corvane's output port sends arrives here.
#include <RtMidi.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace corvane::testing {

using JackClock = std::chrono::steady_clock;

struct Arrival {
    std::vector<unsigned char> bytes;
    JackClock::time_point at;
};

class Capture {
public:
    explicit Capture(const std::string& client) : in_(RtMidi::UNIX_JACK, client) {
        in_.setCallback(&Capture::arrived, this);
        in_.openVirtualPort("capture");
    }
    std::vector<Arrival> arrivals() {
        const std::lock_guard lock(mutex_);
        return arrivals_;
    }

private:
    static void arrived(double, std::vector<unsigned char>* message, void* self) {
        auto& capture = *static_cast<Capture*>(self);
        const std::lock_guard lock(capture.mutex_);
        capture.arrivals_.push_back({*message, JackClock::now()});
    }
    RtMidiIn in_;
    std::mutex mutex_;
    std::vector<Arrival> arrivals_;
};

inline bool jack_server_running() {
    try {
        RtMidiIn probe(RtMidi::UNIX_JACK, "corvane-probe");
        return probe.getCurrentApi() == RtMidi::UNIX_JACK && probe.getPortCount() < 100000;
    } catch (const RtMidiError&) {
        return false;
    }
}

}  // namespace corvane::testing
