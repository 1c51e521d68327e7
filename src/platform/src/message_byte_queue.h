#pragma once

// Whole MIDI messages of any length, short or system exclusive, from one thread to one other
// in the order they were sent, neither locking nor allocating: each is its length in two
// bytes, the time it is meant for in eight, then its bytes, in a ring of `Capacity` bytes.

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

namespace corvane::platform::detail {

template <std::size_t Capacity>
class MessageByteQueue {
    static_assert(Capacity > 0 && (Capacity & (Capacity - 1)) == 0, "the capacity is a power of two");
    static constexpr std::size_t kLengthBytes = 2;
    static constexpr std::size_t kTimeBytes = 8;
    static constexpr std::size_t kHeaderBytes = kLengthBytes + kTimeBytes;

public:
    // The longest message the ring can ever hold.
    static constexpr std::size_t kLongestMessage = std::min<std::size_t>(Capacity - kHeaderBytes, 0xFFFF);

    // The producer's end: false, and nothing queued, when the message is empty, longer than
    // kLongestMessage or longer than the room left now. `time` is the sender's to define.
    bool push(std::span<const std::uint8_t> message, std::uint64_t time = 0) {
        if (message.empty() || message.size() > kLongestMessage) return false;
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        const std::size_t needed = kHeaderBytes + message.size();
        if (tail - head_.load(std::memory_order_acquire) + needed > Capacity) return false;
        std::array<std::uint8_t, kHeaderBytes> header{static_cast<std::uint8_t>(message.size() >> 8),
                                                      static_cast<std::uint8_t>(message.size() & 0xFF)};
        for (std::size_t i = 0; i < kTimeBytes; ++i) header[kLengthBytes + i] = static_cast<std::uint8_t>(time >> (8 * i));
        copy_in(tail, header);
        copy_in(tail + kHeaderBytes, message);
        tail_.store(tail + needed, std::memory_order_release);
        return true;
    }

    // The consumer's end: the length of the oldest message, still queued; 0 when empty.
    std::size_t front_size() const {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return 0;
        return static_cast<std::size_t>(ring_[head % Capacity]) << 8 | ring_[(head + 1) % Capacity];
    }
    // The consumer's end: the time the oldest message was queued with; front_size() first.
    std::uint64_t front_time() const {
        const std::size_t at = head_.load(std::memory_order_relaxed) + kLengthBytes;
        std::uint64_t time = 0;
        for (std::size_t i = 0; i < kTimeBytes; ++i) time |= std::uint64_t{ring_[(at + i) % Capacity]} << (8 * i);
        return time;
    }
    // The consumer's end: copies the oldest message, front_size() bytes, to `out`.
    void copy_front(std::span<std::uint8_t> out) const {
        const std::size_t start = (head_.load(std::memory_order_relaxed) + kHeaderBytes) % Capacity;
        const std::size_t first = std::min(out.size(), Capacity - start);
        std::copy_n(ring_.begin() + static_cast<std::ptrdiff_t>(start), first, out.begin());
        std::copy_n(ring_.begin(), out.size() - first, out.begin() + static_cast<std::ptrdiff_t>(first));
    }
    // The consumer's end: drops the message front_size() told of.
    void pop() {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        head_.store(head + kHeaderBytes + front_size(), std::memory_order_release);
    }
    // Either end: true when the consumer has taken everything the producer queued.
    bool empty() const { return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire); }

private:
    void copy_in(std::size_t at, std::span<const std::uint8_t> bytes) {
        const std::size_t start = at % Capacity;
        const std::size_t first = std::min(bytes.size(), Capacity - start);
        std::copy_n(bytes.begin(), first, ring_.begin() + static_cast<std::ptrdiff_t>(start));
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(first), bytes.size() - first, ring_.begin());
    }

    std::array<std::uint8_t, Capacity> ring_{};
    // Apart, so that the two threads do not share a cache line for their own counters.
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
};

}  // namespace corvane::platform::detail
