#pragma once

#include <cstdint>

namespace corvane::platform {

inline constexpr int kMidiChannels = 16;
inline constexpr std::uint8_t kNoteOff = 0x80;
inline constexpr std::uint8_t kNoteOn = 0x90;
inline constexpr std::uint8_t kControlChange = 0xB0;
inline constexpr std::uint8_t kProgramChange = 0xC0;
inline constexpr std::uint8_t kPitchBend = 0xE0;

// One MIDI message on its way out.
struct SendRequest {
    std::uint8_t status = 0;  // the kind in the high nibble: 0x80, 0x90, 0xB0, 0xC0, 0xE0
    std::uint8_t channel = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    std::uint8_t data_length = 2;  // bytes of data in a MIDI file: 1 for a program change
    bool record_only = false;      // only for a running play-along recording
};

// A short message packed status | channel | data1 << 8 | data2 << 16.
constexpr std::uint32_t pack_short_message(std::uint8_t status, std::uint8_t channel, std::uint8_t data1,
                                           std::uint8_t data2) {
    return static_cast<std::uint32_t>(status & 0xF0) | static_cast<std::uint32_t>(channel & 0x0F) |
           static_cast<std::uint32_t>(data1) << 8 | static_cast<std::uint32_t>(data2) << 16;
}

// The single send operation every sound goes through (the MIDI out port in the program,
// a recorder in tests). Callable from any thread.
class MessageSender {
public:
    virtual ~MessageSender() = default;
    // 0 when nothing was done, 1 when written into a rendered file, else the device's result.
    virtual int send(const SendRequest& request) = 0;
};

}  // namespace corvane::platform
