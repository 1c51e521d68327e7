#pragma once

#include <string>
#include <thread>

namespace corvane::platform {

// How much of the machine the whole process asks for. On Linux: nice 19, 0 and -10 for idle,
// normal and high; real time puts every ordinary thread on SCHED_FIFO.
enum class ProcessPriority { idle, normal, high, real_time };

// How urgently one thread (the timer thread) runs: time-critical is SCHED_FIFO above the
// real-time process level.
enum class ThreadPriority { normal, time_critical };

// The six priority options of the player, from "Idle time" (0) to "Real time + critical" (5).
struct PriorityChoice {
    ProcessPriority process = ProcessPriority::normal;
    ThreadPriority timer_thread = ThreadPriority::normal;
};
PriorityChoice priority_choice(int level);

// Every function here returns an empty text when the change was made, else a plain English
// text that says what was not permitted (or failed) and that things carry on as they were.

std::string set_process_priority(ProcessPriority priority);
std::string set_thread_priority(std::thread::native_handle_type thread, ThreadPriority priority);
std::string set_current_thread_priority(ThreadPriority priority);
// The process back to normal and every thread this module raised back to ordinary scheduling.
std::string restore_normal_priority();

// What the process runs at now, as far as it can be read back (the calling thread's view).
ProcessPriority current_process_priority();

}  // namespace corvane::platform
