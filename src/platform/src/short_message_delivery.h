#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "corvane/platform/midi_input.h"
#include "short_message_queue.h"

namespace corvane::platform::detail {

// Hands the short messages of an input from the MIDI system's thread, which for JACK is the
// real-time process thread, to the input's receiver. There a message is only queued; a thread
// of ours passes the queue on, so a receiver that waits (for the port lock, a file write)
// never makes the MIDI system miss a cycle and lose what arrived in it.
class ShortMessageDelivery {
public:
    explicit ShortMessageDelivery(MidiInputReceiver& receiver);
    // Passes on what is queued, then stops. The MIDI system must queue nothing more by then.
    ~ShortMessageDelivery();
    ShortMessageDelivery(const ShortMessageDelivery&) = delete;
    ShortMessageDelivery& operator=(const ShortMessageDelivery&) = delete;

    // The MIDI system's thread: queues and wakes, neither locking nor allocating. A full queue
    // drops the message.
    void push(std::uint32_t message) noexcept;

private:
    static constexpr std::size_t kQueueSize = 4096;  // a power of two

    void deliver();

    MidiInputReceiver& receiver_;
    ShortMessageQueue<kQueueSize> queue_;
    std::atomic<std::uint32_t> sequence_{0};
    std::atomic<bool> quit_{false};
    std::thread thread_;  // last: it starts once the rest is made
};

}  // namespace corvane::platform::detail
