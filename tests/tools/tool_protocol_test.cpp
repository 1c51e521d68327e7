#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "corvane/tools/tool_protocol.h"
#include "tools_test_support.h"

namespace corvane::tools {
namespace {

using platform::RecordingReporter;

// A tool that runs until the test lets it finish or its halt flag is seen.
struct BlockingTool {
    std::atomic<bool> release{false};
    std::atomic<bool> halted{false};
    std::atomic<int> polls{0};

    ToolBoard::Work work() {
        return [this](ToolRun& run) {
            while (!release.load()) {
                ++polls;
                if (run.checkpoint()) {
                    halted = true;
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        };
    }
};

// One tool at a time: another tool's button is refused with the running task's text, the
// same button halts it, closing asks first, and the program's exit flag stops a tool.
TEST(ToolProtocol, AnotherToolIsRefusedTheSameButtonHaltsAndClosingAsksFirst) {
    std::atomic<bool> exit_flag{false};
    PriorityChecks none;
    ToolBoard board(exit_flag, none);
    RecordingReporter says_no(platform::Answer::no);
    EXPECT_TRUE(board.ask_to_close(says_no));  // nothing runs: closing asks nothing
    EXPECT_TRUE(says_no.entries().empty());
    BlockingTool sorting;
    ASSERT_EQ(board.press(ToolKind::sort, sorting.work(), says_no), ToolBoard::Press::started);
    EXPECT_EQ(board.running(), ToolKind::sort);

    bool other_ran = false;
    EXPECT_EQ(board.press(ToolKind::search, [&](ToolRun&) { other_ran = true; }, says_no), ToolBoard::Press::refused);
    ASSERT_EQ(says_no.entries().size(), 1U);
    EXPECT_EQ(says_no.entries()[0].message,
              "Order scales by number of notes in progress\n\nYou need to halt this search first.");
    EXPECT_EQ(says_no.entries()[0].caption, "Order scales by number of notes - Corvane");
    EXPECT_FALSE(board.ask_to_close(says_no));
    EXPECT_EQ(says_no.entries().back().message, "Order scales by number of notes in progress\n\nClose dialog anyway?");

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
}

// Priority hooks run before the worker starts and at each of its checkpoints.
TEST(ToolProtocol, PriorityChecksRunBeforeAndInsideTheWorker) {
    struct CountingChecks final : PriorityChecks {
        std::atomic<int> before{0};
        std::atomic<int> inside{0};
        void before_start() override { ++before; }
        void in_worker() override { ++inside; }
    } checks;
    const std::atomic<bool> exit_flag{false};
    ToolBoard board(exit_flag, checks);
    RecordingReporter reporter;
    board.press(ToolKind::search, [](ToolRun& run) {
        run.checkpoint();
        run.checkpoint();
    }, reporter);
    board.wait();
    EXPECT_EQ(checks.before, 1);
    EXPECT_EQ(checks.inside, 3);  // at the start, then the worker's two
}

TEST(ToolProtocol, ShiftEscapeDropsARaisedLevelToZero) {
    platform::SettableKeyState keys;
    std::atomic<int> level{2};
    int told = -1;
    StandardPriorityChecks checks(keys, level, [&](int l) { told = l; });
    // Level 2 puts the calling thread at idle priority: run the checks on threads of their own.
    std::thread([&] { checks.in_worker(); }).join();
    EXPECT_EQ(level, 2);
    keys.set_shift(true);
    keys.set_escape(true);
    std::thread([&] { checks.in_worker(); }).join();
    EXPECT_EQ(level, 0);
    EXPECT_EQ(told, 0);
}

}  // namespace
}  // namespace corvane::tools
