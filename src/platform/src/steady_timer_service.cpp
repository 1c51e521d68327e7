#include "corvane/platform/steady_timer_service.h"

#include <sys/prctl.h>

namespace corvane::platform {
namespace {

using Nanoseconds = std::chrono::nanoseconds;

std::int64_t to_ticks(SteadyTimerService::TimePoint time) {
    return std::chrono::duration_cast<Nanoseconds>(time.time_since_epoch()).count();
}

SteadyTimerService::TimePoint from_ticks(std::int64_t ticks) { return SteadyTimerService::TimePoint(Nanoseconds(ticks)); }

// Linux lets a sleeping thread wake up to 50 us late so that wake-ups can be grouped; the
// timer thread wants its deadlines kept as closely as the machine allows.
void keep_wake_ups_tight() { ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL); }

}  // namespace

void SteadyTimerService::note_lateness(std::int64_t lateness_ns) {
    if (lateness_ns > worst_lateness_ns_.load(std::memory_order_relaxed)) {
        worst_lateness_ns_.store(lateness_ns, std::memory_order_relaxed);
    }
}

SteadyTimerService::SteadyTimerService() : thread_([this] { run(); }) {}

SteadyTimerService::~SteadyTimerService() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        slots_.clear();
    }
    wake_.notify_all();
    thread_.join();
}

TimerId SteadyTimerService::arm_after(std::int64_t delay_ms, TimerClient& client, int event) {
    return arm_at(std::chrono::steady_clock::now() + std::chrono::milliseconds(delay_ms), client, event);
}

TimerId SteadyTimerService::arm_at(std::int64_t deadline_ms, TimerClient& client, int event) {
    return arm_at(TimePoint(std::chrono::milliseconds(deadline_ms)), client, event);
}

TimerId SteadyTimerService::arm_at(TimePoint deadline, TimerClient& client, int event) {
    TimerId id = kNoTimer;
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) return kNoTimer;
        id = slots_.add(to_ticks(deadline), client, event);
    }
    if (id != kNoTimer) wake_.notify_one();
    return id;
}

void SteadyTimerService::cancel(TimerId id) {
    bool removed = false;
    {
        const std::lock_guard lock(mutex_);
        removed = slots_.remove(id);
    }
    if (removed) wake_.notify_one();
}

void SteadyTimerService::cancel_all(const TimerClient& client) {
    std::unique_lock lock(mutex_);
    if (slots_.remove_client(client) > 0) wake_.notify_one();
    if (std::this_thread::get_id() == thread_.get_id()) return;
    callback_done_.wait(lock, [&] { return running_client_ != &client; });
}

std::size_t SteadyTimerService::pending() const {
    const std::lock_guard lock(mutex_);
    return slots_.pending();
}

std::chrono::nanoseconds SteadyTimerService::take_worst_lateness() {
    return Nanoseconds(worst_lateness_ns_.exchange(0, std::memory_order_relaxed));
}

std::string SteadyTimerService::set_thread_priority(ThreadPriority priority) {
    return platform::set_thread_priority(thread_.native_handle(), priority);
}

void SteadyTimerService::run() {
    keep_wake_ups_tight();
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const auto deadline = slots_.earliest_deadline();
        if (!deadline) {
            wake_.wait(lock);
            continue;
        }
        const std::int64_t now = to_ticks(std::chrono::steady_clock::now());
        const auto due = slots_.take_due(now);
        if (!due) {
            wake_.wait_until(lock, from_ticks(*deadline));
            continue;
        }
        note_lateness(now - due->deadline);
        running_client_ = due->client;
        lock.unlock();
        due->client->on_timer(due->event);
        lock.lock();
        running_client_ = nullptr;
        callback_done_.notify_all();
    }
}

}  // namespace corvane::platform
