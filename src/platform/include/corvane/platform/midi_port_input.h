#pragma once

#include <optional>
#include <string>

#include "corvane/platform/midi_client.h"
#include "corvane/platform/midi_input.h"

namespace corvane::platform {

// MIDI inputs on the ALSA sequencer or JACK, as the client chose. Device 0 is our own virtual
// input port, which a keyboard or another program connects to; the machine's output ports
// follow as devices 1..n-1, each connected to our input port when opened. System exclusive is
// not passed on.
class MidiPortInputSystem final : public MidiInputSystem {
public:
    explicit MidiPortInputSystem(MidiClient& client);

    std::vector<std::string> input_names() override;
    std::unique_ptr<MidiInput> open_input(int device, MidiInputReceiver& receiver, std::string& error) override;

    std::optional<MidiApi> api() const { return client_.api(); }
    const std::string& unavailable_reason() const { return client_.unavailable_reason(); }

private:
    std::vector<std::string> port_names();

    MidiClient& client_;
};

}  // namespace corvane::platform
