#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvane::platform {

// Gets the short messages of an open MIDI input (packed status | data1 << 8 | data2 << 16),
// on the input's own thread.
class MidiInputReceiver {
public:
    virtual ~MidiInputReceiver() = default;
    virtual void on_short_message(std::uint32_t message) = 0;
};

// An open MIDI input: messages reach its receiver until it is destroyed, and none after.
class MidiInput {
public:
    virtual ~MidiInput() = default;
};

// The MIDI inputs of the machine, numbered from 0.
class MidiInputSystem {
public:
    virtual ~MidiInputSystem() = default;
    virtual std::vector<std::string> input_names() = 0;
    // Opens a device; on failure returns null and says why in `error`.
    virtual std::unique_ptr<MidiInput> open_input(int device, MidiInputReceiver& receiver, std::string& error) = 0;
};

}  // namespace corvane::platform
