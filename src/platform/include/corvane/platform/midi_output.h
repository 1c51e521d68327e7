#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace corvane::platform {

// Results of MidiOutput::send_short besides 0 (sent).
inline constexpr int kSendOk = 0;
// 1 is left out: the MIDI out port answers 1 for a message written into a MIDI file.
inline constexpr int kSendDeviceError = 2;     // the device or driver refused or failed
inline constexpr int kSendInvalidMessage = 11;  // not a short message (no status byte, sysex)

// An open MIDI output. Short messages are packed status | data1 << 8 | data2 << 16.
class MidiOutput {
public:
    virtual ~MidiOutput() = default;
    // Sends one short message; 0 on success, a non-zero device error code otherwise.
    virtual int send_short(std::uint32_t message) noexcept = 0;
    // Sends one whole system exclusive message, F0 to F7; 0 on success. An output that carries
    // none refuses it as an invalid message.
    virtual int send_sysex(std::span<const std::uint8_t> message) noexcept {
        (void)message;
        return kSendInvalidMessage;
    }
    // True once the device has gone away under us (its server stopped, it was unplugged):
    // nothing sent reaches it any more, and send_short fails. Cheap and callable from the
    // sending thread.
    virtual bool lost() const { return false; }
    // Waits until every message sent so far has left for the device, at most `timeout`; false
    // when the time ran out first. An output that hands each message over at once has nothing
    // to wait for; one that queues (JACK's, a cycle at a time) lets its queue run dry, so that
    // closing it loses no note-off.
    virtual bool finish_sending(std::chrono::milliseconds timeout) {
        (void)timeout;
        return true;
    }
};

// The device number of the built-in synthesizer (where other systems have a MIDI mapper).
inline constexpr int kBuiltInSynthDevice = -1;

// The MIDI outputs of the machine: the built-in synthesizer as device -1, then 0..n-1.
class MidiOutputSystem {
public:
    virtual ~MidiOutputSystem() = default;
    // Names of devices 0..n-1, in device order.
    virtual std::vector<std::string> output_names() = 0;
    // Name of device -1; empty when there is none.
    virtual std::string built_in_name() = 0;
    // Opens a device; on failure returns null and says why in `error`.
    virtual std::unique_ptr<MidiOutput> open_output(int device, std::string& error) = 0;
};

}  // namespace corvane::platform
