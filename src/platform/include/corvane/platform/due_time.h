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

}  // namespace corvane::platform
