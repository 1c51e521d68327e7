#pragma once

// A queue of short messages from one thread to one other that neither locks nor allocates,
// so a MIDI system's real-time thread can be either end of it.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace corvane::platform::detail {

template <std::size_t Capacity>
class ShortMessageQueue {
    static_assert(Capacity > 0 && (Capacity & (Capacity - 1)) == 0, "the capacity is a power of two");

public:
    // The producer's end: false, and nothing queued, when the queue is full.
    bool push(std::uint32_t message) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) >= Capacity) return false;
        slots_[tail % Capacity] = message;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // The consumer's end: the oldest message, still queued; none when the queue is empty.
    std::optional<std::uint32_t> front() const {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return std::nullopt;
        return slots_[head % Capacity];
    }
    // Either end: true when the consumer has taken everything the producer queued.
    bool empty() const { return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire); }

    // The consumer's end: drops the message front() gave.
    void pop() { head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }

private:
    std::array<std::uint32_t, Capacity> slots_{};
    // Apart, so that the two threads do not share a cache line for their own counters.
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
};

}  // namespace corvane::platform::detail
