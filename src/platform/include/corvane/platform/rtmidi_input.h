#pragma once

#include <optional>
#include <string>

#include "corvane/platform/midi_input.h"
#include "corvane/platform/rtmidi_output.h"

namespace corvane::platform {

// MIDI inputs through RtMidi, on the ALSA sequencer or JACK (chosen once, as for outputs).
// Device 0 is our own virtual input port, which a keyboard or another program connects to;
// the machine's input ports follow as devices 1..n-1. System exclusive, timing and active
// sensing messages are not passed on.
class RtMidiInputSystem final : public MidiInputSystem {
public:
    explicit RtMidiInputSystem(RtMidiOptions options = {});

    std::vector<std::string> input_names() override;
    std::unique_ptr<MidiInput> open_input(int device, MidiInputReceiver& receiver, std::string& error) override;

    std::optional<MidiApi> api() const { return api_; }
    const std::string& unavailable_reason() const { return unavailable_reason_; }

private:
    RtMidiOptions options_;
    std::optional<MidiApi> api_;
    std::string unavailable_reason_;
};

}  // namespace corvane::platform
