#pragma once

#include <atomic>
#include <csignal>
#include <memory>
#include <mutex>

#include "corvane/platform/key_state.h"

namespace corvane::platform {

// Escape and Ctrl-C at a terminal, for the command line. While one lives, a terminal on the
// input is switched to deliver key presses at once without echoing them, and Ctrl-C (SIGINT)
// sets a flag instead of ending the program; both are put back on destruction. A terminal
// cannot tell when a key is let go, so Escape counts as held from the moment it is pressed
// (or Ctrl-C comes) until clear(); nor does it send Shift by itself, so Shift is never held.
// Only one should exist at a time.
class TerminalKeyState final : public KeyState {
public:
    // Reads standard input, or another descriptor (a pipe in tests).
    explicit TerminalKeyState(int input_fd = 0);
    ~TerminalKeyState() override;
    TerminalKeyState(const TerminalKeyState&) = delete;
    TerminalKeyState& operator=(const TerminalKeyState&) = delete;

    // Looks at what has been typed, never waiting. Any thread.
    bool escape_down() const override;
    bool shift_down() const override { return false; }
    bool interrupted() const;
    void clear();

private:
    struct SavedTerminal;

    void read_pending_keys() const;

    int input_fd_;
    std::unique_ptr<SavedTerminal> saved_;
    struct sigaction previous_sigint_ {};
    mutable std::mutex reading_;
    mutable std::atomic<bool> escape_seen_{false};
};

}  // namespace corvane::platform
