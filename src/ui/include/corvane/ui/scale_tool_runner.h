#pragma once

// The scale library tools as the desktop program runs them: one at a time on the tool
// board's worker thread, each working on its own copy of what it needs. Progress and the
// end arrive as signals on the window thread, where the finished tool's result is applied.

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

#include "corvane/files/workspace.h"
#include "corvane/platform/key_state.h"
#include "corvane/platform/reporter.h"
#include "corvane/tools/tool_protocol.h"

namespace corvane::ui {

class ScaleToolRunner final : public QObject {
    Q_OBJECT
public:
    // What a tool leaves for the workspace when it ends (a new list, say); may be empty.
    using Result = std::function<void(files::Workspace&)>;
    // The tool's work on the worker thread.
    using Work = std::function<Result(tools::ToolRun&, platform::Reporter&)>;

    ScaleToolRunner(const std::atomic<bool>& exit, const platform::KeyState& keys, platform::Reporter& reporter);
    ~ScaleToolRunner() override;
    ScaleToolRunner(const ScaleToolRunner&) = delete;
    ScaleToolRunner& operator=(const ScaleToolRunner&) = delete;

    // A tool's start button: starts the tool at the given priority level
    // (`set_high_priority_for_crv`), halts it when it runs, refuses while another runs.
    tools::ToolBoard::Press press(tools::ToolKind kind, int priority_level, Work work);
    std::optional<tools::ToolKind> running() const { return board_.running(); }
    void halt() { board_.halt(); }
    // Closing the dialog while a tool runs: asks; true when it may close.
    bool ask_to_close() { return board_.ask_to_close(reporter_); }
    // Applies what the last finished tool left, once.
    void apply_result(files::Workspace& workspace);
    void wait() { board_.wait(); }

signals:
    void progress(const QString& item, qulonglong done, qulonglong total);
    // A tool ended (done, halted or failed); its result is waiting.
    void finished();
    // The worker changed the priority level (Shift+Escape, or real time lowered to high).
    void priority_level_changed(int level);

private:
    platform::Reporter& reporter_;
    std::atomic<int> priority_level_{1};
    tools::StandardPriorityChecks priority_;
    tools::ToolBoard board_;
    std::mutex result_lock_;
    Result result_;
};

}  // namespace corvane::ui
