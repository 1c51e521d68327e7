#pragma once

// Corvane playing into a MIDI input of the test on the JACK server (a Capture), and what
// arrived there read back as music.
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "corvane/midi/playback.h"
#include "corvane/platform/midi_port_output.h"
#include "corvane/platform/steady_timer_service.h"
#include "../platform/jack_clients.h"
#include "music_audit.h"

namespace corvane::testing {

// Real-time playback of a composition into JACK, in real time, with what it needs around it.
// Corvane's client is named `client`-corvane.
struct JackPlayback {
    JackPlayback(engine::Composition& composition, const std::string& client)
        : midi_client(platform::MidiClientOptions{platform::MidiApi::jack, client + "-corvane"}),
          devices(midi_client),
          playback(composition, settings, voice_settings, midi::PlaybackMachine{devices, timers, clock, keys, reporter}) {}

    // Points the port at the capture port of `client`; false when it is not listed.
    bool choose_capture_port(const std::string& client) { return playback.port().choose_device_named(client + ":capture"); }
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
    platform::MidiClient midi_client;
    platform::MidiPortOutputSystem devices;
    platform::SteadyClock clock;
    platform::SteadyTimerService timers;
    platform::NoKeysHeld keys;
    platform::RecordingReporter reporter;
    midi::Playback playback;
};

inline constexpr const char* kNoJackServer = "no JACK server (ctest starts one where jackd is installed)";

// Points the test at the server of the ctest fixture; false when none is running.
inline bool fixture_server_running() {
    ::setenv("JACK_DEFAULT_SERVER", "corvane-test", 0);
    return platform::jack_server_running();
}

// What arrived, as channel events in order, for the audit of what sounds.
inline std::vector<ChannelEvent> as_channel_events(const std::vector<Arrival>& arrivals) {
    std::vector<ChannelEvent> events;
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        if (const auto event = channel_event_of(arrivals[i].bytes, i, 0)) events.push_back(*event);
    }
    return events;
}

// How many all-sound-off messages arrived.
inline int silenced_channels(const std::vector<Arrival>& arrivals) {
    int silenced = 0;
    for (const auto& a : arrivals) silenced += (a.bytes[0] & 0xF0) == 0xB0 && a.bytes[1] == 120 ? 1 : 0;
    return silenced;
}

}  // namespace corvane::testing
