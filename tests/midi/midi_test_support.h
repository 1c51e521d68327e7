#pragma once

// Byte lists shared by the MIDI tests, the chunks of small files made of them, their
// temporary folders, and waiting for what another thread does.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "../temp_folder.h"

namespace corvane::testing {

using Bytes = std::vector<std::uint8_t>;

// Joins byte lists: cat({0x4D, 0x54}, other, ...).
inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

inline const Bytes kEndOfTrack{0x00, 0xFF, 0x2F, 0x00};

inline Bytes track_chunk(const Bytes& body) {
    const auto n = static_cast<std::uint32_t>(body.size());
    return cat({{'M', 'T', 'r', 'k', static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                 static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)},
                body});
}

inline Bytes smf_header(int format, int tracks, int division) {
    return {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<std::uint8_t>(format), 0, static_cast<std::uint8_t>(tracks),
            static_cast<std::uint8_t>(division >> 8), static_cast<std::uint8_t>(division)};
}

inline std::string as_text(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

// Waits until `done`, looking every 5 ms for at most `limit`; whether it came.
template <class Condition>
bool eventually(Condition done, std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace corvane::testing
