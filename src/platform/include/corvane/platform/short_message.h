#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace corvane::platform {

// The bytes on the wire of a packed short message (status | data1 << 8 | data2 << 16).
struct ShortMessageBytes {
    std::array<std::uint8_t, 3> bytes{};
    std::size_t size = 0;

    std::span<const std::uint8_t> view() const { return {bytes.data(), size}; }
};

// Data bytes that follow a status byte: 1 for program change, channel pressure, time code
// and song select; 0 for the one-byte system messages; 2 otherwise. Empty for a byte that
// is no status or starts a variable-length system exclusive message.
std::optional<std::size_t> data_byte_count(std::uint8_t status);

// Empty when the low byte is not a status that a short message can carry.
std::optional<ShortMessageBytes> short_message_bytes(std::uint32_t message);

// The packed short message of one complete message as it came from a MIDI system; empty for
// system exclusive and anything malformed (a missing or extra data byte, no status).
std::optional<std::uint32_t> packed_short_message(std::span<const std::uint8_t> bytes);

}  // namespace corvane::platform
