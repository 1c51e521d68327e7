#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "corvane/platform/midi_client.h"
#include "corvane/platform/midi_output.h"

namespace corvane::platform {

// Device 0 is always our own virtual output port, which other programs (a software synth, a
// sequencer) connect to; the machine's output ports follow as devices 1..n-1.
inline constexpr int kVirtualPortDevice = 0;

// MIDI outputs on the ALSA sequencer or JACK, as the client chose. Every output is our output
// port on the client, connected to the chosen device unless it is the virtual port. Sends from
// one output must be serialised by the caller (the MIDI out port does that with its lock).
class MidiPortOutputSystem final : public MidiOutputSystem {
public:
    explicit MidiPortOutputSystem(MidiClient& client);

    // Empty when no MIDI system can be reached; else the virtual port, then the ports.
    std::vector<std::string> output_names() override;
    std::string built_in_name() override { return {}; }
    std::unique_ptr<MidiOutput> open_output(int device, std::string& error) override;

    std::optional<MidiApi> api() const { return client_.api(); }
    const std::string& unavailable_reason() const { return client_.unavailable_reason(); }

private:
    std::vector<std::string> port_names();
    std::unique_ptr<MidiOutput> open_virtual_port(std::string& error);
    std::unique_ptr<MidiOutput> open_port(std::size_t port, std::string& error);

    MidiClient& client_;
};

}  // namespace corvane::platform
