#pragma once

#include <cstdint>

namespace corvane::platform {

// Receives one-shot timer events. Called on the timer service's own thread (or, with a
// simulated service, on the thread that advances it). Must not block for long.
class TimerClient {
public:
    virtual ~TimerClient() = default;
    virtual void on_timer(int event) = 0;
};

using TimerId = std::uint32_t;
inline constexpr TimerId kNoTimer = 0;

// The shortest and longest delays the service accepts, in milliseconds.
struct TimerCaps {
    std::uint32_t min_period_ms = 1;
    std::uint32_t max_period_ms = 1000000;
};

// The resolution the player passes with its events: the smallest period, but 2 ms when the
// smallest is below 3 ms, and never more than the largest.
constexpr std::uint32_t timer_resolution_ms(TimerCaps caps) {
    const std::uint32_t wanted = caps.min_period_ms < 3 ? 2 : caps.min_period_ms;
    return caps.max_period_ms < wanted ? caps.max_period_ms : wanted;
}

// One-shot timer events at absolute millisecond deadlines on the service's clock. Each event
// of the player arms the next, so only a few are ever pending: arming never allocates.
class TimerService {
public:
    virtual ~TimerService() = default;
    // Fires client->on_timer(event) once, `delay_ms` from now. Returns kNoTimer when full.
    virtual TimerId arm_after(std::int64_t delay_ms, TimerClient& client, int event) = 0;
    // Fires at the absolute time `deadline_ms` of the service's clock (at once if past).
    virtual TimerId arm_at(std::int64_t deadline_ms, TimerClient& client, int event) = 0;
    // Cancels a pending event; an event already firing runs to its end.
    virtual void cancel(TimerId id) = 0;
    virtual TimerCaps caps() const = 0;
};

}  // namespace corvane::platform
