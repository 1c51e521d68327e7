// Lateness of one-shot timer events: the steady timer service against a bare loop that sleeps
// to absolute deadlines with clock_nanosleep, both running at the same time on the same
// machine. Each chain arms its next event at the previous deadline plus the period, as the
// player does, so the lateness of every event is measured against an absolute schedule.
//
//   timer_bench [--seconds S] [--rates R1,R2,...] [--fifo]
//
// --seconds: how long each rate runs (default 30); --rates: events per second (default
// 1000,5000); --fifo: both threads on SCHED_FIFO where permitted.

#include <sys/prctl.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "corvane/platform/priority.h"
#include "corvane/platform/steady_timer_service.h"

namespace {

using corvane::platform::SteadyTimerService;
using corvane::platform::ThreadPriority;
using SteadyTime = std::chrono::steady_clock::time_point;
using Nanoseconds = std::chrono::nanoseconds;

struct Options {
    double seconds = 30.0;
    std::vector<int> rates{1000, 5000};
    bool fifo = false;
};

// Lateness of each event in nanoseconds, in firing order.
using Lateness = std::vector<std::int64_t>;

std::int64_t nanoseconds_between(SteadyTime from, SteadyTime to) {
    return std::chrono::duration_cast<Nanoseconds>(to - from).count();
}

// A chain of events on the timer service: each callback notes how late it is and arms the
// next at the absolute time it is due.
class ServiceChain final : public corvane::platform::TimerClient {
public:
    ServiceChain(SteadyTimerService& timers, SteadyTime start, Nanoseconds period, std::size_t count)
        : timers_(timers), start_(start), period_(period), count_(count) {
        lateness_.reserve(count);
    }

    void begin() { timers_.arm_at(due(0), *this, 0); }
    Lateness wait() {
        done_.get_future().wait();
        return std::move(lateness_);
    }

    void on_timer(int) override {
        const SteadyTime now = std::chrono::steady_clock::now();
        const std::size_t index = lateness_.size();
        lateness_.push_back(nanoseconds_between(due(index), now));
        if (index + 1 < count_) {
            timers_.arm_at(due(index + 1), *this, 0);
        } else {
            done_.set_value();
        }
    }

private:
    SteadyTime due(std::size_t index) const { return start_ + period_ * static_cast<std::int64_t>(index); }

    SteadyTimerService& timers_;
    SteadyTime start_;
    Nanoseconds period_;
    std::size_t count_;
    Lateness lateness_;
    std::promise<void> done_;
};

timespec to_timespec(SteadyTime time) {
    const auto since_epoch = std::chrono::duration_cast<Nanoseconds>(time.time_since_epoch()).count();
    return timespec{static_cast<time_t>(since_epoch / 1000000000), static_cast<long>(since_epoch % 1000000000)};
}

// The same schedule with nothing but clock_nanosleep to absolute deadlines (the steady clock
// is CLOCK_MONOTONIC). Its thread gets the same timer slack as the timer service's.
Lateness bare_sleep_loop(SteadyTime start, Nanoseconds period, std::size_t count, bool fifo) {
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    if (fifo) {
        if (const auto refused = corvane::platform::set_current_thread_priority(ThreadPriority::time_critical); !refused.empty()) {
            std::cerr << refused << '\n';
        }
    }
    Lateness lateness;
    lateness.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const SteadyTime due = start + period * static_cast<std::int64_t>(i);
        const timespec deadline = to_timespec(due);
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) != 0) {
        }
        lateness.push_back(nanoseconds_between(due, std::chrono::steady_clock::now()));
    }
    return lateness;
}

struct Summary {
    double p50_us = 0, p99_us = 0, p999_us = 0, max_us = 0;
    double first_tenth_median_us = 0, last_tenth_median_us = 0;
};

double median_us(Lateness part) {
    if (part.empty()) return 0;
    std::nth_element(part.begin(), part.begin() + static_cast<std::ptrdiff_t>(part.size() / 2), part.end());
    return static_cast<double>(part[part.size() / 2]) / 1000.0;
}

Summary summarise(const Lateness& lateness) {
    Summary summary;
    if (lateness.empty()) return summary;
    const std::size_t tenth = std::max<std::size_t>(1, lateness.size() / 10);
    summary.first_tenth_median_us = median_us(Lateness(lateness.begin(), lateness.begin() + static_cast<std::ptrdiff_t>(tenth)));
    summary.last_tenth_median_us = median_us(Lateness(lateness.end() - static_cast<std::ptrdiff_t>(tenth), lateness.end()));
    Lateness sorted = lateness;
    std::sort(sorted.begin(), sorted.end());
    const auto at = [&](double fraction) {
        const auto index = static_cast<std::size_t>(fraction * static_cast<double>(sorted.size() - 1));
        return static_cast<double>(sorted[index]) / 1000.0;
    };
    summary.p50_us = at(0.5);
    summary.p99_us = at(0.99);
    summary.p999_us = at(0.999);
    summary.max_us = static_cast<double>(sorted.back()) / 1000.0;
    return summary;
}

void print_row(const char* what, const Summary& s) {
    std::printf("  %-22s %9.1f %9.1f %9.1f %9.1f   %+9.1f\n", what, s.p50_us, s.p99_us, s.p999_us, s.max_us,
                s.last_tenth_median_us - s.first_tenth_median_us);
}

void run_rate(int rate, const Options& options) {
    const auto count = static_cast<std::size_t>(options.seconds * rate);
    const Nanoseconds period(1000000000LL / rate);
    SteadyTimerService timers;
    if (options.fifo) {
        if (const auto refused = timers.set_thread_priority(ThreadPriority::time_critical); !refused.empty()) {
            std::cerr << refused << '\n';
        }
    }
    const SteadyTime start = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    ServiceChain chain(timers, start, period, count);
    chain.begin();
    auto bare = std::async(std::launch::async, bare_sleep_loop, start, period, count, options.fifo);
    const Summary service = summarise(chain.wait());
    const Summary loop = summarise(bare.get());

    std::printf("%d events per second for %.0f s (%zu events each), lateness in microseconds:\n", rate,
                options.seconds, count);
    std::printf("  %-22s %9s %9s %9s %9s   %9s\n", "", "p50", "p99", "p99.9", "max", "drift");
    print_row("timer service", service);
    print_row("bare clock_nanosleep", loop);
    std::printf("  p99 ratio service/bare %.2f (goal at most 1.5); p99.9 %s 1 ms\n",
                loop.p99_us > 0 ? service.p99_us / loop.p99_us : 0.0, service.p999_us < 1000.0 ? "under" : "NOT under");
    std::printf("  drift: median lateness of the last tenth of the run minus that of the first tenth\n\n");
}

std::vector<int> parse_rates(const std::string& text) {
    std::vector<int> rates;
    std::stringstream list(text);
    for (std::string item; std::getline(list, item, ',');) rates.push_back(std::stoi(item));
    return rates;
}

Options parse_options(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--seconds" && has_value) {
            options.seconds = std::stod(argv[++i]);
        } else if (arg == "--rates" && has_value) {
            options.rates = parse_rates(argv[++i]);
        } else if (arg == "--fifo") {
            options.fifo = true;
        } else {
            std::cerr << "usage: timer_bench [--seconds S] [--rates R1,R2,...] [--fifo]\n";
            std::exit(2);
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse_options(argc, argv);
    for (const int rate : options.rates) run_rate(rate, options);
    return 0;
}
