#pragma once

// Byte lists shared by the MIDI tests, the chunks of small files made of them, and their
// temporary folders.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
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

}  // namespace corvane::testing
