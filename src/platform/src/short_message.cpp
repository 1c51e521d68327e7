#include "corvane/platform/short_message.h"

#include "corvane/platform/midi_message.h"

namespace corvane::platform {

std::optional<std::size_t> data_byte_count(std::uint8_t status) {
    if (status < kNoteOff) return std::nullopt;  // a data byte
    switch (status & 0xF0) {
        case kProgramChange:
        case kChannelPressure: return 1;
        case kSystemMessage: break;
        default: return 2;
    }
    switch (status) {
        case 0xF1:  // time code quarter frame
        case 0xF3: return 1;  // song select
        case 0xF2: return 2;  // song position
        case kSysexStart:
        case kSysexEnd: return std::nullopt;
        default: return 0;
    }
}

std::optional<ShortMessageBytes> short_message_bytes(std::uint32_t message) {
    const auto status = static_cast<std::uint8_t>(message & 0xFF);
    const auto data_bytes = data_byte_count(status);
    if (!data_bytes) return std::nullopt;
    ShortMessageBytes out;
    out.bytes = {status, static_cast<std::uint8_t>((message >> 8) & 0x7F), static_cast<std::uint8_t>((message >> 16) & 0x7F)};
    out.size = 1 + *data_bytes;
    return out;
}

std::optional<std::uint32_t> packed_short_message(std::span<const std::uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > 3) return std::nullopt;
    const auto data_bytes = data_byte_count(bytes[0]);
    if (!data_bytes || *data_bytes + 1 != bytes.size()) return std::nullopt;
    std::uint32_t message = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) message |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    return message;
}

}  // namespace corvane::platform
