#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>

#include "corvane/platform/priority.h"
#include "corvane/platform/timer_service.h"
#include "corvane/platform/timer_slots.h"

namespace corvane::platform {

// Real one-shot timers: one thread sleeps until the earliest absolute deadline on the steady
// clock and runs the event's callback there. Deadlines are absolute, so a chain of events
// each armed at the previous deadline plus a period never drifts. Callbacks run without the
// service's lock held: a callback may arm or cancel events. Millisecond deadlines are on the
// scale of SteadyClock::now_ms().
class SteadyTimerService final : public TimerService {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    SteadyTimerService();
    // Stops the thread and waits for it; pending events are dropped, a running callback ends
    // first. Must not be called from a callback.
    ~SteadyTimerService() override;
    SteadyTimerService(const SteadyTimerService&) = delete;
    SteadyTimerService& operator=(const SteadyTimerService&) = delete;

    TimerId arm_after(std::int64_t delay_ms, TimerClient& client, int event) override;
    TimerId arm_at(std::int64_t deadline_ms, TimerClient& client, int event) override;
    // The same with a deadline finer than a millisecond.
    TimerId arm_at(TimePoint deadline, TimerClient& client, int event);
    void cancel(TimerId id) override;
    // Cancels every pending event of the client and, unless called from a callback, waits
    // until none of its callbacks is running, so that the client may be destroyed next.
    void cancel_all(const TimerClient& client);
    TimerCaps caps() const override { return TimerCaps{1, 1000000}; }

    // Scheduling of the timer thread; empty text when done, else why not (see priority.h).
    std::string set_thread_priority(ThreadPriority priority);
    std::size_t pending() const;
    // The most any event has run after its deadline since the last call: what the machine
    // does to the timer thread (the soak reads it every second).
    std::chrono::nanoseconds take_worst_lateness();

private:
    void run();
    void note_lateness(std::int64_t lateness_ns);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable callback_done_;
    const TimerClient* running_client_ = nullptr;
    TimerSlots slots_;
    bool stopping_ = false;
    std::atomic<std::int64_t> worst_lateness_ns_{0};
    std::thread thread_;
};

}  // namespace corvane::platform
