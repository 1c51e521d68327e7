#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "corvane/tools/tool_protocol.h"
#include "tools_test_support.h"

namespace corvane::tools {
namespace {

using namespace corvane::tools::testing;
using platform::RecordingReporter;

// A tool that runs until its halt flag is seen, counting the checkpoints it passes.
struct BlockingTool {
    std::atomic<bool> halted{false};
    std::atomic<int> polls{0};

    ToolBoard::Work work() {
        return [this](ToolRun& run) {
            for (++polls; !run.checkpoint(); ++polls) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            halted = true;
        };
    }
};

// Priority hooks counted: before each tool starts, and in its worker at each checkpoint.
struct CountingChecks final : PriorityChecks {
    std::atomic<int> before{0};
    std::atomic<int> inside{0};
    void before_start() override { ++before; }
    void in_worker() override { ++inside; }
};

// One tool at a time: another tool's button is refused with the running task's text, the
// same button halts it, closing asks first, and the program's exit flag stops a tool. The
// priority hooks run before each start and at every checkpoint, the worker's first included.
TEST(ToolProtocol, AnotherToolIsRefusedTheSameButtonHaltsClosingAsksFirstAndShiftEscapeResetsPriority) {
    std::atomic<bool> exit_flag{false};
    CountingChecks checks;
    ToolBoard board(exit_flag, checks);
    RecordingReporter says_no(platform::Answer::no);
    EXPECT_TRUE(board.ask_to_close(says_no));  // nothing runs: closing asks nothing
    EXPECT_TRUE(says_no.entries().empty());
    BlockingTool sorting;
    ASSERT_EQ(board.press(ToolKind::sort, sorting.work(), says_no), ToolBoard::Press::started);
    EXPECT_EQ(board.running(), ToolKind::sort);

    bool other_ran = false;
    EXPECT_EQ(board.press(ToolKind::search, [&](ToolRun&) { other_ran = true; }, says_no), ToolBoard::Press::refused);
    EXPECT_FALSE(board.ask_to_close(says_no));
    // The refusal, then the question on closing, each naming the running task.
    expect_output_as_kept(messages_text(says_no), "tools/expected/tool_refusals.txt");

    EXPECT_EQ(board.press(ToolKind::sort, sorting.work(), says_no), ToolBoard::Press::halting);
    board.wait();
    EXPECT_TRUE(sorting.halted);
    EXPECT_FALSE(other_ran);
    EXPECT_FALSE(board.is_running());

    // Free again: the next tool starts with its halt flag cleared, and only the exit flag stops it.
    BlockingTool searching;
    EXPECT_EQ(board.press(ToolKind::search, searching.work(), says_no), ToolBoard::Press::started);
    while (searching.polls.load() < 3) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(searching.halted);
    exit_flag = true;
    board.wait();
    EXPECT_TRUE(searching.halted);
    EXPECT_EQ(checks.before, 2);
    EXPECT_EQ(checks.inside, 2 + sorting.polls + searching.polls);

    // The standard checks: Shift+Escape drops a raised priority level to zero.
    platform::SettableKeyState keys;
    std::atomic<int> level{2};
    int told = -1;
    StandardPriorityChecks standard(keys, level, [&](int l) { told = l; });
    // Level 2 puts the calling thread at idle priority: run the checks on threads of their own.
    std::thread([&] { standard.in_worker(); }).join();
    EXPECT_EQ(level, 2);
    keys.set_shift(true);
    keys.set_escape(true);
    std::thread([&] { standard.in_worker(); }).join();
    EXPECT_EQ(level, 0);
    EXPECT_EQ(told, 0);
}

// Progress shows the first and the last item, and every 10th only once 350 ms have passed.
TEST(ToolProtocol, ProgressShowsTheEndsAndEveryTenthItemAfterAPause) {
    EXPECT_TRUE(progress_due(0, 100, 0));
    EXPECT_TRUE(progress_due(99, 100, 0));
    EXPECT_TRUE(progress_due(20, 100, 350));
    EXPECT_FALSE(progress_due(20, 100, 349));
    EXPECT_FALSE(progress_due(21, 100, 1000));
}

}  // namespace
}  // namespace corvane::tools
