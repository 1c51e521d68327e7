#include "corvane/platform/short_message.h"

namespace corvane::platform {

std::optional<std::size_t> data_byte_count(std::uint8_t status) {
    if (status < 0x80) return std::nullopt;
    switch (status & 0xF0) {
        case 0xC0:
        case 0xD0: return 1;
        case 0xF0: break;
        default: return 2;
    }
    switch (status) {
        case 0xF1:
        case 0xF3: return 1;
        case 0xF2: return 2;
        case 0xF0:
        case 0xF7: return std::nullopt;
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

}  // namespace corvane::platform
