#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace corvane::platform {

// A millisecond clock. Real time comes from the steady clock; tests and the MIDI file
// renderer use a clock they move themselves.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t now_ms() const = 0;
    // The same time in microseconds, as finely as the clock knows it.
    virtual std::int64_t now_us() const { return now_ms() * 1000; }
    // Waits `ms` milliseconds of this clock's time.
    virtual void sleep_ms(std::int64_t ms) const { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

class SteadyClock final : public Clock {
public:
    std::int64_t now_ms() const override {
        const auto since_epoch = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count();
    }
    std::int64_t now_us() const override { return steady_now_us(); }
    static std::int64_t steady_now_us() {
        const auto since_epoch = std::chrono::steady_clock::now().time_since_epoch();
        return std::chrono::duration_cast<std::chrono::microseconds>(since_epoch).count();
    }
};

// Stands still until told to move. Any thread may read or move it.
class ManualClock final : public Clock {
public:
    explicit ManualClock(std::int64_t start_ms = 0) : now_(start_ms) {}
    std::int64_t now_ms() const override { return now_.load(); }
    // Sleeping on a manual clock just moves it on.
    void sleep_ms(std::int64_t ms) const override { now_.fetch_add(ms > 0 ? ms : 0); }
    void set(std::int64_t ms) { now_.store(ms); }
    void advance(std::int64_t ms) { now_.fetch_add(ms); }

private:
    mutable std::atomic<std::int64_t> now_;
};

}  // namespace corvane::platform
