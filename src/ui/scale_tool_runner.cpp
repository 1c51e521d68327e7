#include "corvane/ui/scale_tool_runner.h"

namespace corvane::ui {

ScaleToolRunner::ScaleToolRunner(const std::atomic<bool>& exit, const platform::KeyState& keys,
                                 platform::Reporter& reporter)
    : reporter_(reporter),
      priority_(keys, priority_level_, [this](int level) { emit priority_level_changed(level); }),
      board_(exit, priority_) {}

ScaleToolRunner::~ScaleToolRunner() {
    board_.halt();
    board_.wait();
}

tools::ToolBoard::Press ScaleToolRunner::press(tools::ToolKind kind, int priority_level, Work work) {
    if (!board_.is_running()) priority_level_.store(priority_level);
    return board_.press(
        kind,
        [this, work = std::move(work)](tools::ToolRun& run) {
            Result result = work ? work(run, reporter_) : Result{};
            {
                const std::lock_guard lock(result_lock_);
                result_ = std::move(result);
            }
            emit finished();
        },
        reporter_,
        [this](const tools::ToolProgress& p) {
            emit progress(QString::fromStdString(p.item), static_cast<qulonglong>(p.done),
                          static_cast<qulonglong>(p.total));
        });
}

void ScaleToolRunner::apply_result(files::Workspace& workspace) {
    Result result;
    {
        const std::lock_guard lock(result_lock_);
        result = std::move(result_);
        result_ = nullptr;
    }
    if (result) result(workspace);
}

}  // namespace corvane::ui
