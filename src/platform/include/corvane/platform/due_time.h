#pragma once

#include <cstdint>

namespace corvane::platform {

// When a message is meant to sound, in microseconds of the program's clock (the steady clock
// in real play). The default means "as soon as it can": the moment it is sent.
struct DueTime {
    std::int64_t us = 0;

    static constexpr DueTime from_ms(std::int64_t ms) { return {ms * 1000}; }
    constexpr bool immediate() const { return us == 0; }
    friend constexpr bool operator==(DueTime, DueTime) = default;
};

inline constexpr DueTime kSendNow{};

// A due time further than this from now belongs to another clock (a test's, a file's): it
// goes as if it had none.
inline constexpr std::int64_t kFarthestDueUs = 1'000'000;

// When a message due at `due` sounds on an output that holds messages back `latency_us`, on
// the steady clock that now reads `now_us`: its due time (now, when it has none or one of
// another clock) plus the latency.
constexpr std::int64_t sound_time_us(DueTime due, std::int64_t now_us, std::int64_t latency_us) {
    const bool on_this_clock = !due.immediate() && due.us - now_us <= kFarthestDueUs && now_us - due.us <= kFarthestDueUs;
    return (on_this_clock ? due.us : now_us) + latency_us;
}

}  // namespace corvane::platform
