#include "corvane/platform/priority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace corvane::platform {
namespace {

constexpr int kIdleNice = 19;
constexpr int kNormalNice = 0;
constexpr int kHighNice = -10;
// SCHED_FIFO priorities this module hands out; restoring looks for exactly these, so that
// threads other libraries made real-time (JACK's, say) are left alone.
constexpr int kRealTimeProcessFifo = 20;
constexpr int kTimeCriticalFifo = 40;

std::atomic<ProcessPriority> process_priority{ProcessPriority::normal};

std::vector<pid_t> thread_ids() {
    std::vector<pid_t> ids;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
        ids.push_back(static_cast<pid_t>(std::stol(entry.path().filename().string())));
    }
    if (ids.empty()) ids.push_back(::gettid());
    return ids;
}

std::string describe(ProcessPriority priority) {
    switch (priority) {
        case ProcessPriority::idle: return "the process to idle priority (nice 19)";
        case ProcessPriority::normal: return "the process to normal priority (nice 0)";
        case ProcessPriority::high: return "the process to high priority (nice -10)";
        case ProcessPriority::real_time: return "the process to real-time priority (SCHED_FIFO 20)";
    }
    return "the process priority";
}

std::string describe(ThreadPriority priority) {
    return priority == ThreadPriority::time_critical ? "the thread to time-critical priority (SCHED_FIFO 40)"
                                                     : "the thread to normal priority";
}

std::string failure_text(const std::string& change, int error) {
    if (error == EPERM || error == EACCES) {
        return "Changing " + change +
               " was not permitted, so it carries on at the priority it had. Running as root, with the "
               "CAP_SYS_NICE capability, or with raised nice and rtprio limits in /etc/security/limits.conf "
               "permits it.";
    }
    return "Changing " + change + " failed (" + std::strerror(error) + "), so it carries on at the priority it had.";
}

// The scheduling policy without the reset-on-fork flag, which is read back along with it.
int policy_of(pid_t tid) { return ::sched_getscheduler(tid) & ~SCHED_RESET_ON_FORK; }

int fifo_priority_of(pid_t tid) {
    if (policy_of(tid) != SCHED_FIFO) return -1;
    sched_param param{};
    if (::sched_getparam(tid, &param) != 0) return -1;
    return param.sched_priority;
}

bool is_ordinary(pid_t tid) {
    const int policy = policy_of(tid);
    return policy == SCHED_OTHER || policy == SCHED_BATCH || policy == SCHED_IDLE;
}

// 0 on success, else errno. A thread that ended meanwhile counts as done.
int schedule(pid_t tid, int policy, int priority) {
    const sched_param param{priority};
    if (::sched_setscheduler(tid, policy, &param) == 0 || errno == ESRCH) return 0;
    return errno;
}

int renice(pid_t tid, int nice) {
    if (::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice) == 0 || errno == ESRCH) return 0;
    return errno;
}

int nice_for(ProcessPriority priority) {
    switch (priority) {
        case ProcessPriority::idle: return kIdleNice;
        case ProcessPriority::high: return kHighNice;
        case ProcessPriority::normal:
        case ProcessPriority::real_time: return kNormalNice;
    }
    return kNormalNice;
}

// Linux keeps niceness and scheduling per thread, so a process-wide level goes to each one.
int apply_to_thread(pid_t tid, ProcessPriority priority) {
    if (priority == ProcessPriority::real_time) {
        return is_ordinary(tid) ? schedule(tid, SCHED_FIFO | SCHED_RESET_ON_FORK, kRealTimeProcessFifo) : 0;
    }
    if (fifo_priority_of(tid) == kRealTimeProcessFifo) {
        if (const int error = schedule(tid, SCHED_OTHER, 0); error != 0) return error;
    }
    return renice(tid, nice_for(priority));
}

int first_error_over_threads(ProcessPriority priority) {
    int first_error = 0;
    for (const pid_t tid : thread_ids()) {
        const int error = apply_to_thread(tid, priority);
        if (first_error == 0) first_error = error;
    }
    return first_error;
}

}  // namespace

PriorityChoice priority_choice(int level) {
    switch (level) {
        case 0: return {ProcessPriority::idle, ThreadPriority::normal};
        case 2: return {ProcessPriority::high, ThreadPriority::normal};
        case 3: return {ProcessPriority::high, ThreadPriority::time_critical};
        case 4: return {ProcessPriority::real_time, ThreadPriority::normal};
        case 5: return {ProcessPriority::real_time, ThreadPriority::time_critical};
        default: return {ProcessPriority::normal, ThreadPriority::normal};
    }
}

std::string set_process_priority(ProcessPriority priority) {
    if (const int error = first_error_over_threads(priority); error != 0) {
        return failure_text(describe(priority), error);
    }
    process_priority = priority;
    return {};
}

std::string set_thread_priority(std::thread::native_handle_type thread, ThreadPriority priority) {
    int policy = SCHED_OTHER;
    sched_param param{0};
    if (priority == ThreadPriority::time_critical) {
        policy = SCHED_FIFO;
        param.sched_priority = kTimeCriticalFifo;
    } else if (process_priority == ProcessPriority::real_time) {
        policy = SCHED_FIFO;
        param.sched_priority = kRealTimeProcessFifo;
    }
    if (const int error = ::pthread_setschedparam(thread, policy, &param); error != 0) {
        return failure_text(describe(priority), error);
    }
    return {};
}

std::string set_current_thread_priority(ThreadPriority priority) {
    return set_thread_priority(::pthread_self(), priority);
}

std::string restore_normal_priority() {
    int first_error = 0;
    for (const pid_t tid : thread_ids()) {
        if (fifo_priority_of(tid) == kTimeCriticalFifo) {
            const int error = schedule(tid, SCHED_OTHER, 0);
            if (first_error == 0) first_error = error;
        }
    }
    std::string text = set_process_priority(ProcessPriority::normal);
    if (text.empty() && first_error != 0) text = failure_text("the timer thread back to normal priority", first_error);
    return text;
}

ProcessPriority current_process_priority() { return process_priority; }

}  // namespace corvane::platform
