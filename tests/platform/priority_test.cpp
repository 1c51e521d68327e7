#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "corvane/platform/priority.h"
#include "corvane/platform/steady_timer_service.h"

namespace corvane::platform {
namespace {

// The nice value of each thread of this process, and whether it runs on SCHED_FIFO.
std::vector<std::pair<int, bool>> threads_of_this_process() {
    std::vector<std::pair<int, bool>> threads;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        const auto tid = static_cast<pid_t>(std::stol(entry.path().filename().string()));
        threads.emplace_back(::getpriority(PRIO_PROCESS, static_cast<id_t>(tid)),
                             (::sched_getscheduler(tid) & ~SCHED_RESET_ON_FORK) == SCHED_FIFO);
    }
    return threads;
}

bool every_thread_has_nice(int nice) {
    const auto threads = threads_of_this_process();
    return std::ranges::all_of(threads, [&](const auto& thread) { return thread.first == nice; });
}

int threads_on_fifo() {
    const auto threads = threads_of_this_process();
    return static_cast<int>(std::ranges::count_if(threads, [](const auto& thread) { return thread.second; }));
}

// In a child process without the right to raise priorities (a root parent drops to an
// ordinary user; the nice and real-time limits go to zero).
TEST(Priority, RaisingWithoutPermissionSaysSoAndCarriesOn) {
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit none{0, 0};
        ::setrlimit(RLIMIT_NICE, &none);
        ::setrlimit(RLIMIT_RTPRIO, &none);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(90);
        const int started_with = ::getpriority(PRIO_PROCESS, 0);  // the suite itself may run under nice
        const std::string high = set_process_priority(ProcessPriority::high);
        const std::string fifo = set_current_thread_priority(ThreadPriority::time_critical);
        if (high.find("was not permitted") == std::string::npos) ::_exit(1);
        if (fifo.find("was not permitted") == std::string::npos) ::_exit(2);
        if (::getpriority(PRIO_PROCESS, 0) != started_with) ::_exit(3);
        if (current_process_priority() != ProcessPriority::normal) ::_exit(4);
        // Lowering needs no permission.
        if (!set_process_priority(ProcessPriority::idle).empty() || ::getpriority(PRIO_PROCESS, 0) != 19) ::_exit(5);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Where raising is not permitted, each step says so instead.
TEST(Priority, LevelsApplyToEveryThreadAndRestoreToNormal) {
    SteadyTimerService timers;  // a second thread, which must follow the process level
    ASSERT_EQ(set_process_priority(ProcessPriority::idle), "");
    EXPECT_GE(threads_of_this_process().size(), 2u);
    EXPECT_TRUE(every_thread_has_nice(19));

    if (const std::string high = set_process_priority(ProcessPriority::high); high.empty()) {
        EXPECT_TRUE(every_thread_has_nice(-10));
    } else {
        EXPECT_NE(high.find("not permitted"), std::string::npos) << high;
    }
    if (const std::string critical = timers.set_thread_priority(ThreadPriority::time_critical); critical.empty()) {
        // The timer thread only: the calling thread is left as it was.
        EXPECT_EQ(threads_on_fifo(), 1);
        EXPECT_EQ(::sched_getscheduler(0) & ~SCHED_RESET_ON_FORK, SCHED_OTHER);  // 0: this thread
    } else {
        EXPECT_NE(critical.find("not permitted"), std::string::npos) << critical;
    }
    if (const std::string real_time = set_process_priority(ProcessPriority::real_time); real_time.empty()) {
        EXPECT_EQ(threads_on_fifo(), static_cast<int>(threads_of_this_process().size()));
    } else {
        EXPECT_NE(real_time.find("not permitted"), std::string::npos) << real_time;
    }

    EXPECT_EQ(restore_normal_priority(), "");
    EXPECT_TRUE(every_thread_has_nice(0));
    EXPECT_EQ(threads_on_fifo(), 0);
    EXPECT_EQ(current_process_priority(), ProcessPriority::normal);
}

}  // namespace
}  // namespace corvane::platform
