#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "corvane/platform/priority.h"
#include "corvane/platform/steady_timer_service.h"

namespace corvane::platform {
namespace {

int nice_of_this_thread() {
    errno = 0;
    return ::getpriority(PRIO_PROCESS, 0);
}

std::vector<pid_t> threads_of_this_process() {
    std::vector<pid_t> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        ids.push_back(static_cast<pid_t>(std::stol(entry.path().filename().string())));
    }
    return ids;
}

bool every_thread_has_nice(int nice) {
    for (const pid_t tid : threads_of_this_process()) {
        if (::getpriority(PRIO_PROCESS, static_cast<id_t>(tid)) != nice) return false;
    }
    return true;
}

int threads_on_fifo() {
    int count = 0;
    for (const pid_t tid : threads_of_this_process()) {
        if ((::sched_getscheduler(tid) & ~SCHED_RESET_ON_FORK) == SCHED_FIFO) ++count;
    }
    return count;
}

// Runs `body` in a child process without the right to raise priorities (a root parent drops
// to an ordinary user; the nice and real-time limits go to zero), and returns its exit code.
template <typename Body>
int in_unprivileged_child(Body body) {
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit none{0, 0};
        ::setrlimit(RLIMIT_NICE, &none);
        ::setrlimit(RLIMIT_RTPRIO, &none);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(90);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Priority, RaisingWithoutPermissionSaysSoAndCarriesOn) {
    const int result = in_unprivileged_child([] {
        const int started_with = nice_of_this_thread();  // the suite itself may run under nice
        const std::string high = set_process_priority(ProcessPriority::high);
        const std::string fifo = set_current_thread_priority(ThreadPriority::time_critical);
        if (high.find("was not permitted") == std::string::npos) return 1;
        if (fifo.find("was not permitted") == std::string::npos) return 2;
        if (nice_of_this_thread() != started_with) return 3;
        if (current_process_priority() != ProcessPriority::normal) return 4;
        // Lowering needs no permission.
        if (!set_process_priority(ProcessPriority::idle).empty() || nice_of_this_thread() != 19) return 5;
        return 0;
    });
    EXPECT_EQ(result, 0);
}

TEST(Priority, LevelsApplyToEveryThreadAndRestoreToNormal) {
    SteadyTimerService timers;  // a second thread, which must follow the process level
    const std::string idle = set_process_priority(ProcessPriority::idle);
    ASSERT_EQ(idle, "");
    EXPECT_GE(threads_of_this_process().size(), 2u);
    EXPECT_TRUE(every_thread_has_nice(19));

    const std::string high = set_process_priority(ProcessPriority::high);
    if (!high.empty()) {
        EXPECT_NE(high.find("not permitted"), std::string::npos) << high;
    } else {
        EXPECT_TRUE(every_thread_has_nice(-10));
    }

    const std::string critical = timers.set_thread_priority(ThreadPriority::time_critical);
    if (critical.empty()) {
        // The timer thread only: the calling thread is left as it was.
        EXPECT_EQ(threads_on_fifo(), 1);
        EXPECT_EQ(::sched_getscheduler(0) & ~SCHED_RESET_ON_FORK, SCHED_OTHER);  // 0: this thread
    } else {
        EXPECT_NE(critical.find("not permitted"), std::string::npos) << critical;
    }

    const std::string real_time = set_process_priority(ProcessPriority::real_time);
    if (real_time.empty()) {
        EXPECT_EQ(threads_on_fifo(), static_cast<int>(threads_of_this_process().size()));
    } else {
        EXPECT_NE(real_time.find("not permitted"), std::string::npos) << real_time;
    }

    const std::string restored = restore_normal_priority();
    EXPECT_EQ(restored, "");
    EXPECT_TRUE(every_thread_has_nice(0));
    EXPECT_EQ(threads_on_fifo(), 0);
    EXPECT_EQ(current_process_priority(), ProcessPriority::normal);
}

}  // namespace
}  // namespace corvane::platform
