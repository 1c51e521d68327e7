#include "corvane/platform/terminal_key_state.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>

namespace corvane::platform {
namespace {

constexpr unsigned char kEscape = 0x1B;

std::atomic<bool> sigint_seen{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler may only touch lock-free atomics");

extern "C" void note_sigint(int) { sigint_seen = true; }

bool input_waiting(int fd) {
    pollfd request{fd, POLLIN, 0};
    return ::poll(&request, 1, 0) > 0 && (request.revents & POLLIN) != 0;
}

// A lone Escape byte; Escape followed by '[' or 'O' starts the sequence of an arrow or
// function key and does not count.
bool holds_lone_escape(const unsigned char* bytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] != kEscape) continue;
        const bool sequence = i + 1 < count && (bytes[i + 1] == '[' || bytes[i + 1] == 'O');
        if (!sequence) return true;
    }
    return false;
}

}  // namespace

struct TerminalKeyState::SavedTerminal {
    termios settings{};
};

TerminalKeyState::TerminalKeyState(int input_fd) : input_fd_(input_fd) {
    termios settings{};
    if (::isatty(input_fd_) && ::tcgetattr(input_fd_, &settings) == 0) {
        saved_ = std::make_unique<SavedTerminal>(SavedTerminal{settings});
        settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        settings.c_cc[VMIN] = 0;
        settings.c_cc[VTIME] = 0;
        ::tcsetattr(input_fd_, TCSANOW, &settings);
    }
    sigint_seen = false;
    struct sigaction action {};
    action.sa_handler = note_sigint;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previous_sigint_);
}

TerminalKeyState::~TerminalKeyState() {
    ::sigaction(SIGINT, &previous_sigint_, nullptr);
    if (saved_) ::tcsetattr(input_fd_, TCSANOW, &saved_->settings);
}

void TerminalKeyState::read_pending_keys() const {
    const std::unique_lock lock(reading_, std::try_to_lock);
    if (!lock.owns_lock()) return;  // another thread is reading right now
    std::array<unsigned char, 64> bytes{};
    while (input_waiting(input_fd_)) {
        const ssize_t count = ::read(input_fd_, bytes.data(), bytes.size());
        if (count <= 0) break;
        if (holds_lone_escape(bytes.data(), static_cast<std::size_t>(count))) escape_seen_ = true;
    }
}

bool TerminalKeyState::escape_down() const {
    read_pending_keys();
    return escape_seen_ || sigint_seen;
}

bool TerminalKeyState::interrupted() const { return sigint_seen; }

void TerminalKeyState::clear() {
    read_pending_keys();
    escape_seen_ = false;
    sigint_seen = false;
}

}  // namespace corvane::platform
