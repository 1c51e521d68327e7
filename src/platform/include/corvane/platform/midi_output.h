#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "corvane/platform/due_time.h"

namespace corvane::platform {

// Results of MidiOutput::send_short besides 0 (sent).
inline constexpr int kSendOk = 0;
// 1 is left out: the MIDI out port answers 1 for a message written into a MIDI file.
inline constexpr int kSendDeviceError = 2;     // the device or driver refused or failed
inline constexpr int kSendInvalidMessage = 11;  // not a short message (no status byte, sysex)

// An open MIDI output. Short messages are packed status | data1 << 8 | data2 << 16.
//
// Each message may carry the time it is meant for. An output that can place messages in time
// (JACK's frames, a scheduled ALSA queue, the built-in synthesizer's samples) plays it at that
// time plus its latency, so that when the sender woke matters no more; an output without a
// latency, or a message without a time, goes at once.
class MidiOutput {
public:
    virtual ~MidiOutput() = default;
    // Sends one short message; 0 on success, a non-zero device error code otherwise.
    int send_short(std::uint32_t message, DueTime due = kSendNow) noexcept { return deliver_short(message, due); }
    // Sends one whole system exclusive message, F0 to F7; 0 on success. An output that carries
    // none refuses it as an invalid message.
    int send_sysex(std::span<const std::uint8_t> message, DueTime due = kSendNow) noexcept {
        return deliver_sysex(message, due);
    }
    // How many periods of its own clock (a JACK cycle, an audio buffer) the output holds each
    // timed message back, so that it can be placed exactly: 0 sends at once. Outputs that
    // cannot place messages ignore it.
    virtual void set_latency_periods(int periods) { (void)periods; }
    // The latency that setting gives this output, in microseconds; 0 when it sends at once.
    virtual std::int64_t latency_us() const { return 0; }
    // Messages that were due before the output could place them and went late, since it opened.
    virtual std::uint64_t late_messages() const { return 0; }
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

private:
    virtual int deliver_short(std::uint32_t message, DueTime due) noexcept = 0;
    virtual int deliver_sysex(std::span<const std::uint8_t> message, DueTime due) noexcept {
        (void)message;
        (void)due;
        return kSendInvalidMessage;
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
