#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/platform/midi_output.h"

namespace corvane::platform {

// Which MIDI system carries the outputs. Automatic takes JACK when a JACK server is running,
// else the ALSA sequencer.
enum class MidiApi { automatic, alsa, jack };

// "auto", "alsa" or "jack"; empty for anything else.
std::optional<MidiApi> midi_api_from_name(std::string_view name);
// "ALSA sequencer", "JACK" or "automatic".
std::string_view midi_api_display_name(MidiApi api);

// Quiet probes: neither prints anything, neither starts a server.
bool alsa_sequencer_available();
bool jack_server_running();

struct RtMidiOptions {
    MidiApi api = MidiApi::automatic;
    std::string client_name = "Corvane";
    std::string virtual_port_name = "Corvane";
};

// Device 0 is always our own virtual output port, which other programs (a software synth, a
// sequencer) connect to; the machine's output ports follow as devices 1..n-1.
inline constexpr int kVirtualPortDevice = 0;

// MIDI outputs through RtMidi, on the ALSA sequencer or JACK. The MIDI system is chosen once,
// when the object is made. Sends from one output must be serialised by the caller (the MIDI
// out port does that with its lock).
class RtMidiOutputSystem final : public MidiOutputSystem {
public:
    explicit RtMidiOutputSystem(RtMidiOptions options = {});

    // Empty when no MIDI system can be reached; else the virtual port, then the ports.
    std::vector<std::string> output_names() override;
    std::string built_in_name() override { return {}; }
    std::unique_ptr<MidiOutput> open_output(int device, std::string& error) override;

    // The MIDI system in use (ALSA or JACK), none when neither can be reached.
    std::optional<MidiApi> api() const { return api_; }
    // Why there are no devices; empty while a MIDI system is in use.
    const std::string& unavailable_reason() const { return unavailable_reason_; }

private:
    std::unique_ptr<MidiOutput> open_virtual_port(std::string& error);
    std::unique_ptr<MidiOutput> open_port(unsigned int port, std::string& error);

    RtMidiOptions options_;
    std::optional<MidiApi> api_;
    std::string unavailable_reason_;
};

}  // namespace corvane::platform
