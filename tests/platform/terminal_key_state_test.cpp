#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <string_view>

#include "corvane/platform/terminal_key_state.h"

namespace corvane::platform {
namespace {

class TypedKeys : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(::pipe(fds_), 0); }
    void TearDown() override {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    void type(std::string_view keys) { ASSERT_EQ(::write(fds_[1], keys.data(), keys.size()), static_cast<ssize_t>(keys.size())); }
    int input() const { return fds_[0]; }

private:
    int fds_[2] = {-1, -1};
};

TEST_F(TypedKeys, EscapeCountsButTheArrowKeysDoNot) {
    TerminalKeyState keys(input());
    type("ab\x1b[A\x1bOP");
    EXPECT_FALSE(keys.escape_down());
    type("\x1b");
    EXPECT_TRUE(keys.escape_down());
    EXPECT_TRUE(keys.escape_down()) << "held until cleared";
    keys.clear();
    EXPECT_FALSE(keys.escape_down());
    EXPECT_FALSE(keys.shift_down());
}

TEST_F(TypedKeys, CtrlCStopsLikeEscapeInsteadOfEndingTheProgram) {
    {
        TerminalKeyState keys(input());
        std::raise(SIGINT);
        EXPECT_TRUE(keys.interrupted());
        EXPECT_TRUE(keys.escape_down());
    }
    struct sigaction now {};
    ::sigaction(SIGINT, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL) << "the previous handling comes back";
}

}  // namespace
}  // namespace corvane::platform
