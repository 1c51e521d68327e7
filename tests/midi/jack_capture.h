#pragma once

// A MIDI input of the test on the JACK server: what Corvane's output port sends arrives here.
#include <RtMidi.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "corvane/midi/playback.h"
#include "corvane/platform/rtmidi_output.h"
#include "corvane/platform/steady_timer_service.h"

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
        in_.ignoreTypes(false, false, false);  // everything: clock and active sensing too
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
    // What JACK's thread uses is made before the input that starts that thread.
    std::mutex mutex_;
    std::vector<Arrival> arrivals_;
    RtMidiIn in_;
};

// Real-time playback of a composition into JACK, in real time, with what it needs around it.
struct JackPlayback {
    JackPlayback(engine::Composition& composition, const std::string& client)
        : devices(platform::RtMidiOptions{platform::MidiApi::jack, client + "-out", "Corvane"}),
          playback(composition, settings, voice_settings, midi::PlaybackMachine{devices, timers, clock, keys, reporter}) {}

    // Points the port at the capture port of `client`; false when it is not listed.
    bool choose_capture_port(const std::string& client) {
        playback.port().enumerate_devices();
        for (const auto& item : playback.port().out_menu()) {
            if (item.name != client + ":capture") continue;
            playback.port().set_device(item.command - midi::kFirstDeviceCommand);
            return true;
        }
        return false;
    }
    std::string last_report() const { return reporter.entries().empty() ? "" : reporter.entries().back().message; }
    // Stops play and waits until no player event runs any more.
    void stop() {
        playback.stop();
        for (int i = 0; i < 200 && !playback.player().stopped(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        timers.cancel_all(playback.player());
    }

    engine::PlayerSettings settings;
    engine::VoiceSettings voice_settings;
    platform::RtMidiOutputSystem devices;
    platform::SteadyClock clock;
    platform::SteadyTimerService timers;
    platform::NoKeysHeld keys;
    platform::RecordingReporter reporter;
    midi::Playback playback;
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
