#pragma once

#include <cstddef>
#include <cstdint>

#include "corvane/platform/clock.h"
#include "corvane/platform/timer_service.h"
#include "corvane/platform/timer_slots.h"

namespace corvane::platform {

// Simulated one-shot timers for tests and for rendering without real time. Nothing fires
// until the owner moves time on with advance_to or run_until; callbacks then run on the
// owner's thread, in deadline order, with the clock set to each event's deadline. Events that
// callbacks arm fire too when they fall due before the target. Not thread-safe.
class ManualTimerService final : public TimerService {
public:
    explicit ManualTimerService(ManualClock& clock) : clock_(clock) {}

    TimerId arm_after(std::int64_t delay_ms, TimerClient& client, int event) override;
    TimerId arm_at(std::int64_t deadline_ms, TimerClient& client, int event) override;
    void cancel(TimerId id) override;
    void cancel_all(const TimerClient& client) { slots_.remove_client(client); }
    TimerCaps caps() const override { return caps_; }
    void set_caps(TimerCaps caps) { caps_ = caps; }

    // Fires every event due up to `target_ms`, then leaves the clock at `target_ms` (or where
    // it was, if that is later). Returns the number of events fired.
    std::size_t advance_to(std::int64_t target_ms);
    // Same as advance_to: fires what falls due up to `target_ms`.
    std::size_t run_until(std::int64_t target_ms) { return advance_to(target_ms); }
    // Fires the next pending event whenever it is due, moving the clock there. False if none.
    bool fire_next();

    std::size_t pending() const { return slots_.pending(); }
    std::optional<std::int64_t> next_deadline_ms() const { return slots_.earliest_deadline(); }

private:
    ManualClock& clock_;
    TimerSlots slots_;
    TimerCaps caps_{};
};

}  // namespace corvane::platform
