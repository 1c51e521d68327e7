#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>

#include "corvane/platform/terminal_key_state.h"

namespace corvane::platform {
namespace {

// Keys come through a pipe; Ctrl-C stops like Escape instead of ending the program, and the
// previous handling of it comes back when the key state goes.
TEST(TerminalKeyState, EscapeAndCtrlCCountButTheArrowKeysDoNot) {
    int fds[2] = {-1, -1};
    ASSERT_EQ(::pipe(fds), 0);
    {
        TerminalKeyState keys(fds[0]);
        ASSERT_EQ(::write(fds[1], "ab\x1b[A\x1bOP", 8), 8);
        EXPECT_FALSE(keys.escape_down());
        ASSERT_EQ(::write(fds[1], "\x1b", 1), 1);
        EXPECT_TRUE(keys.escape_down());
        EXPECT_TRUE(keys.escape_down()) << "held until cleared";
        keys.clear();
        EXPECT_FALSE(keys.escape_down());
        EXPECT_FALSE(keys.shift_down());
        std::raise(SIGINT);
        EXPECT_TRUE(keys.interrupted());
        EXPECT_TRUE(keys.escape_down());
    }
    struct sigaction now {};
    ::sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
    ::close(fds[0]);
    ::close(fds[1]);
}

}  // namespace
}  // namespace corvane::platform
