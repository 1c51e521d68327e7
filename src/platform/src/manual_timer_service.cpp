#include "corvane/platform/manual_timer_service.h"

#include <algorithm>

namespace corvane::platform {

TimerId ManualTimerService::arm_after(std::int64_t delay_ms, TimerClient& client, int event) {
    return slots_.add(clock_.now_ms() + delay_ms, client, event);
}

TimerId ManualTimerService::arm_at(std::int64_t deadline_ms, TimerClient& client, int event) {
    return slots_.add(deadline_ms, client, event);
}

void ManualTimerService::cancel(TimerId id) { slots_.remove(id); }

std::size_t ManualTimerService::advance_to(std::int64_t target_ms) {
    std::size_t fired = 0;
    while (true) {
        const auto deadline = slots_.earliest_deadline();
        if (!deadline || *deadline > target_ms) break;
        fire_next();
        ++fired;
    }
    clock_.set(std::max(clock_.now_ms(), target_ms));
    return fired;
}

bool ManualTimerService::fire_next() {
    const auto deadline = slots_.earliest_deadline();
    if (!deadline) return false;
    // An event armed for a time already past fires at once: the clock never runs backwards.
    clock_.set(std::max(clock_.now_ms(), *deadline));
    const auto due = slots_.take_due(*deadline);
    due->client->on_timer(due->event);
    return true;
}

}  // namespace corvane::platform
