#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "../allocation_counter.h"
#include "corvane/platform/clock.h"
#include "corvane/platform/manual_timer_service.h"
#include "corvane/platform/steady_timer_service.h"

namespace corvane::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Notes which events fired, when, and on which thread; can run a step inside the callback.
class EventLog final : public TimerClient {
public:
    struct Fired {
        int event;
        Clock::time_point at;
        std::thread::id thread;
    };

    std::function<void(int)> on_fire;

    // Recorded and announced under the lock, last: once a waiter has seen the event, the
    // timer thread is done with the log, which the waiter may then destroy.
    void on_timer(int event) override {
        const Fired fired{event, Clock::now(), std::this_thread::get_id()};
        if (on_fire) on_fire(event);
        const std::lock_guard lock(mutex_);
        fired_.push_back(fired);
        changed_.notify_all();
    }

    // Waits (up to two seconds) until `count` events have fired; those that have.
    std::vector<Fired> wait_for(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, 2s, [&] { return fired_.size() >= count; });
        return fired_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Fired> fired_;
};

// A callback may arm the next event on the timer thread; a cancelled event never fires (it
// was due before the last one, so it would have come first).
TEST(SteadyTimerService, FiresInDeadlineOrderOnItsOwnThreadAndCancelStopsOne) {
    SteadyTimerService timers;
    EventLog log;
    log.on_fire = [&](int event) {
        if (event >= 3 && event < 5) timers.arm_after(1, log, event + 1);
    };
    const auto start = Clock::now();
    timers.arm_after(30, log, 3);
    timers.arm_after(10, log, 1);
    timers.arm_at(SteadyClock().now_ms() + 20, log, 2);
    timers.cancel(timers.arm_after(15, log, 99));
    const auto fired = log.wait_for(5);
    std::vector<int> events;
    for (const auto& each : fired) events.push_back(each.event);
    EXPECT_EQ(events, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_GE(fired[0].at - start, 10ms);
    EXPECT_GE(fired[2].at - start, 30ms);
    EXPECT_NE(fired[0].thread, std::this_thread::get_id());
    EXPECT_EQ(timers.pending(), 0u);
}

// The events left in a service that goes are dropped with it.
TEST(SteadyTimerService, ArmingNeverAllocatesAFullTableRefusesAndDestructionDropsPendingEvents) {
    EventLog log;
    {
        SteadyTimerService timers;
        std::vector<TimerId> ids;
        ids.reserve(TimerSlots::kCapacity);
        const long before = testing::allocations_on_this_thread();
        for (std::size_t i = 0; i < TimerSlots::kCapacity; ++i) ids.push_back(timers.arm_after(200, log, 0));
        const TimerId refused = timers.arm_at(Clock::now() + 1h, log, 0);
        for (std::size_t i = 0; i < ids.size(); i += 2) timers.cancel(ids[i]);
        EXPECT_EQ(testing::allocations_on_this_thread() - before, 0);
        EXPECT_EQ(refused, kNoTimer);
        EXPECT_EQ(std::count(ids.begin(), ids.end(), kNoTimer), 0);
        EXPECT_EQ(timers.pending(), TimerSlots::kCapacity / 2);
    }
    std::this_thread::sleep_for(250ms);
    EXPECT_TRUE(log.wait_for(0).empty());
}

TEST(SteadyTimerService, AbsoluteDeadlinesDoNotDrift) {
    // 200 events, each armed by the previous one at its deadline + 5 ms: late wake-ups must not
    // add up. The best of the last 20 counts, so that one stall of a busy machine does not.
    SteadyTimerService timers;
    EventLog log;
    const auto start = Clock::now();
    std::atomic<int> count{0};
    log.on_fire = [&](int) {
        const int n = ++count;
        if (n < 200) timers.arm_at(start + n * 5ms + 5ms, log, n);
    };
    timers.arm_at(start + 5ms, log, 0);
    const auto fired = log.wait_for(200);
    ASSERT_EQ(fired.size(), 200u);
    auto closest = Clock::duration::max();
    for (std::size_t i = fired.size() - 20; i < fired.size(); ++i) {
        const auto due = start + static_cast<int>(i + 1) * 5ms;
        EXPECT_GE(fired[i].at, due);
        closest = std::min(closest, fired[i].at - due);
    }
    const auto end = std::chrono::duration_cast<std::chrono::microseconds>(fired.back().at - start);
    EXPECT_LT(closest, 2ms) << "the chain ended " << end.count() << " us after it began";
}

// The second event waits behind the first one's 30 ms callback: its lateness is kept until
// taken. Cancelling all events of a client waits for its callback that is running.
TEST(SteadyTimerService, KeepsTheWorstLatenessAndCancelAllWaitsForARunningCallback) {
    SteadyTimerService timers;
    EventLog log;
    std::atomic<bool> inside{false};
    std::atomic<bool> finished{false};
    log.on_fire = [&](int event) {
        inside = event == 2;
        std::this_thread::sleep_for(30ms);
        finished = event == 2;
    };
    const auto start = Clock::now();
    timers.arm_at(start + 1ms, log, 1);
    timers.arm_at(start + 2ms, log, 2);
    timers.arm_after(500, log, 3);
    while (!inside) std::this_thread::yield();
    timers.cancel_all(log);
    EXPECT_TRUE(finished);
    EXPECT_EQ(timers.pending(), 0u);
    EXPECT_GE(timers.take_worst_lateness(), 28ms);
    EXPECT_EQ(timers.take_worst_lateness(), 0ns);
}

// ---- simulated ------------------------------------------------------------------------

// The player tests rely on this order: due events fire by deadline, the same deadline in the
// order armed, with the clock at each deadline, those armed by a callback included (as a
// player arms a note-off at half the step and the next step at the full step).
TEST(ManualTimerService, FiresDueEventsInOrderWithTheClockAtEachDeadline) {
    ManualClock clock(1000);
    ManualTimerService timers(clock);
    EventLog log;
    std::vector<std::pair<std::int64_t, int>> fired;
    log.on_fire = [&](int event) {
        fired.emplace_back(clock.now_ms(), event);
        if (event == 4) {
            timers.arm_after(5, log, 2);
            timers.arm_after(10, log, 4);
        }
    };
    timers.arm_after(30, log, 3);
    timers.arm_at(1010, log, 1);
    timers.arm_at(1010, log, 4);
    timers.cancel(timers.arm_at(1012, log, -1));
    timers.arm_after(500, log, 9);
    EXPECT_EQ(timers.advance_to(1035), 8u);
    EXPECT_EQ(fired, (std::vector<std::pair<std::int64_t, int>>{{1010, 1}, {1010, 4}, {1015, 2}, {1020, 4},
                                                                 {1025, 2}, {1030, 3}, {1030, 4}, {1035, 2}}));
    EXPECT_EQ(clock.now_ms(), 1035);
    EXPECT_EQ(timers.next_deadline_ms(), 1040);
    EXPECT_EQ(timers.pending(), 2u);
}

TEST(TimerResolution, TakesTheSmallestPeriodButTwoMillisecondsBelowThree) {
    EXPECT_EQ(timer_resolution_ms({1, 1000}), 2u);
    EXPECT_EQ(timer_resolution_ms({5, 1000}), 5u);
    EXPECT_EQ(timer_resolution_ms({1, 1}), 1u);
}

}  // namespace
}  // namespace corvane::platform
