#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "corvane/platform/key_state.h"
#include "corvane/platform/reporter.h"

namespace corvane::tools {

// The long-running jobs of the scales options dialog, and the gallery save that shares
// their one-at-a-time rule.
enum class ToolKind { superparticular, sort, rearrangements, mode_lists, scale_list, search, gallery };

struct ToolTitle {
    std::string_view task;     // names the running task in refusals
    std::string_view caption;  // the title of the refusal box
};
ToolTitle tool_title(ToolKind kind);

// "<task>\n\nYou need to halt this search first." when another tool is started, and
// "<task>\n\nClose dialog anyway?" when the dialog is closed while one runs.
std::string refusal_text(ToolKind running);
std::string close_anyway_text(ToolKind running);

// The process priority handling of a worker. The desktop program plugs in the real checks;
// the command line and tests may use the standard ones or none.
class PriorityChecks {
public:
    virtual ~PriorityChecks() = default;
    // On the starting thread, before the worker starts.
    virtual void before_start() {}
    // On the worker, at its start and before every file, row or entry.
    virtual void in_worker() {}
};

// The checks of `set_high_priority_for_crv` (0 idle .. 5 real time + critical): a real-time
// process is lowered to high (level 3) before and during the work; with a level other than
// normal, Shift+Escape drops the process to normal and the level to 0; at level 2 the
// worker runs at idle thread priority. `level_changed` tells the owner (priority menu).
class StandardPriorityChecks final : public PriorityChecks {
public:
    StandardPriorityChecks(const platform::KeyState& keys, std::atomic<int>& level,
                           std::function<void(int)> level_changed = {})
        : keys_(keys), level_(level), level_changed_(std::move(level_changed)) {}

    void before_start() override;
    void in_worker() override;

private:
    void lower_real_time();

    const platform::KeyState& keys_;
    std::atomic<int>& level_;
    std::function<void(int)> level_changed_;
};

// How far a tool has got, for the dialog or the terminal.
struct ToolProgress {
    std::size_t done = 0;
    std::size_t total = 0;  // 0 when unknown
    std::string item;       // the file, section or entry reached
};
using ProgressListener = std::function<void(const ToolProgress&)>;

// Whether item `index` (from 0) of `count` shows as progress: the first and the last always,
// and every 10th when at least 350 ms have passed since the last update shown.
bool progress_due(std::size_t index, std::size_t count, std::int64_t ms_since_last_update);

// Paces the progress of a loop with the rule above, on the steady clock.
class ProgressPacer {
public:
    bool due(std::size_t index, std::size_t count);

private:
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

// What a running tool sees of the protocol: its halt flag, the program's exit flag, the
// priority checks and the progress listener. Work in tests runs on one of these directly.
class ToolRun {
public:
    ToolRun(const std::atomic<bool>& halt, const std::atomic<bool>& exit, PriorityChecks& priority,
            ProgressListener progress = {})
        : halt_(halt), exit_(exit), priority_(priority), progress_(std::move(progress)) {}

    // Between files, rows, entries: the priority checks, then whether to stop.
    bool checkpoint() {
        priority_.in_worker();
        return stop_requested();
    }
    // Only the flags, for inner loops that run the checks now and then.
    bool stop_requested() const { return halt_.load(std::memory_order_relaxed) || exit_.load(std::memory_order_relaxed); }
    void progress(const ToolProgress& p) const {
        if (progress_) progress_(p);
    }
    double elapsed_seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    }

private:
    const std::atomic<bool>& halt_;
    const std::atomic<bool>& exit_;
    PriorityChecks& priority_;
    ProgressListener progress_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

// One tool at a time. The start button of a tool doubles as its halt button: pressing it
// while that tool runs only sets the halt flag; pressing another tool's button while one
// runs is refused with the running task's text. The work runs on a thread of its own and
// ends with its closing message, given through the reporter by the work itself.
class ToolBoard {
public:
    enum class Press { started, halting, refused };
    using Work = std::function<void(ToolRun&)>;

    // `exit` is the program's exit flag, set when it closes; every tool polls it.
    ToolBoard(const std::atomic<bool>& exit, PriorityChecks& priority) : exit_(exit), priority_(priority) {}
    ~ToolBoard() { wait(); }
    ToolBoard(const ToolBoard&) = delete;
    ToolBoard& operator=(const ToolBoard&) = delete;

    Press press(ToolKind kind, Work work, platform::Reporter& reporter, ProgressListener progress = {});

    // The tool that runs now, if any.
    std::optional<ToolKind> running() const;
    bool is_running() const { return running().has_value(); }
    void halt() { halt_.store(true); }
    // Closing the dialog while a tool runs: asks, and on Yes sets the halt flag. True when
    // the dialog may close.
    bool ask_to_close(platform::Reporter& reporter);
    // Waits for the worker thread, if one was started.
    void wait();

private:
    const std::atomic<bool>& exit_;
    PriorityChecks& priority_;
    std::atomic<bool> halt_{false};
    mutable std::mutex state_;
    std::optional<ToolKind> running_;
    std::thread worker_;
};

}  // namespace corvane::tools
