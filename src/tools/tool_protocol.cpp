#include "corvane/tools/tool_protocol.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "corvane/platform/priority.h"

namespace corvane::tools {
namespace {

constexpr int kNormalLevel = 1;
constexpr int kHighLevel = 2;
constexpr int kCriticalLevel = 3;
constexpr int kIdleNice = 19;

// The calling thread alone at idle priority (Linux keeps a nice value per thread).
void run_this_thread_at_idle() {
    const auto thread_id = static_cast<id_t>(::syscall(SYS_gettid));
    ::setpriority(PRIO_PROCESS, thread_id, kIdleNice);
}

}  // namespace

ToolTitle tool_title(ToolKind kind) {
    switch (kind) {
        case ToolKind::superparticular:
            return {"Find all superparticular scales search in progress", "Find all superparticular scales - Corvane"};
        case ToolKind::sort:
            return {"Order scales by number of notes in progress", "Order scales by number of notes - Corvane"};
        case ToolKind::rearrangements:
            return {"Finding all re-arrangements of selected scale's steps in progress",
                    "Find all re-arrangements of scale's steps - Corvane"};
        case ToolKind::mode_lists:
            return {"Make LMD files from SCALA list of modes in progress", "Make LMD files from SCALA - Corvane"};
        case ToolKind::scale_list:
            return {"Save of list of scales in progress", "Make Scala Scales List - Corvane"};
        case ToolKind::search:
            return {"Search for words for scales in drop down list in progress", "Search Scales - Corvane"};
        case ToolKind::gallery: return {"CRV Gallery save in progress", "CRV Gallery save - Corvane"};
    }
    return {};
}

std::string refusal_text(ToolKind running) {
    return std::string(tool_title(running).task) + "\n\nYou need to halt this search first.";
}

std::string close_anyway_text(ToolKind running) {
    return std::string(tool_title(running).task) + "\n\nClose dialog anyway?";
}

void StandardPriorityChecks::lower_real_time() {
    if (platform::current_process_priority() != platform::ProcessPriority::real_time) return;
    platform::set_process_priority(platform::ProcessPriority::high);
    level_.store(kCriticalLevel);
    if (level_changed_) level_changed_(kCriticalLevel);
}

void StandardPriorityChecks::before_start() { lower_real_time(); }

void StandardPriorityChecks::in_worker() {
    if (level_.load() != kNormalLevel && keys_.shift_down() && keys_.escape_down()) {
        platform::restore_normal_priority();
        level_.store(0);
        if (level_changed_) level_changed_(0);
    }
    lower_real_time();
    if (level_.load() == kHighLevel) run_this_thread_at_idle();
}

bool progress_due(std::size_t index, std::size_t count, std::int64_t ms_since_last_update) {
    constexpr std::size_t kEvery = 10;
    constexpr std::int64_t kPauseMs = 350;
    if (index == 0 || index + 1 == count) return true;
    return index % kEvery == 0 && ms_since_last_update >= kPauseMs;
}

bool ProgressPacer::due(std::size_t index, std::size_t count) {
    const auto now = std::chrono::steady_clock::now();
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(now - last_).count();
    if (!progress_due(index, count, since)) return false;
    last_ = now;
    return true;
}

ToolBoard::Press ToolBoard::press(ToolKind kind, Work work, platform::Reporter& reporter, ProgressListener progress) {
    {
        const std::lock_guard lock(state_);
        if (running_ == kind) {
            halt_.store(true);
            return Press::halting;
        }
        if (running_) {
            reporter.report(refusal_text(*running_), tool_title(*running_).caption);
            return Press::refused;
        }
    }
    wait();
    priority_.before_start();
    halt_.store(false);
    {
        const std::lock_guard lock(state_);
        running_ = kind;
    }
    worker_ = std::thread([this, work = std::move(work), progress = std::move(progress)]() mutable {
        ToolRun run(halt_, exit_, priority_, std::move(progress));
        run.checkpoint();
        work(run);
        const std::lock_guard lock(state_);
        running_.reset();
    });
    return Press::started;
}

std::optional<ToolKind> ToolBoard::running() const {
    const std::lock_guard lock(state_);
    return running_;
}

bool ToolBoard::ask_to_close(platform::Reporter& reporter) {
    const auto kind = running();
    if (!kind) return true;
    if (reporter.ask_yes_no(close_anyway_text(*kind), tool_title(*kind).caption) == platform::Answer::no) return false;
    halt();
    return true;
}

void ToolBoard::wait() {
    if (worker_.joinable()) worker_.join();
}

}  // namespace corvane::tools
