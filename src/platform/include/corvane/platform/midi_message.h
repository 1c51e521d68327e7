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

// A note-off, or a note-on with velocity 0, which stops a note the same way.
constexpr bool is_note_off(const SendRequest& r) {
    const auto kind = static_cast<std::uint8_t>(r.status & 0xF0);
    return kind == kNoteOff || (kind == kNoteOn && r.data2 == 0);
}

// A short message packed status | channel | data1 << 8 | data2 << 16.
constexpr std::uint32_t pack_short_message(std::uint8_t status, std::uint8_t channel, std::uint8_t data1,
                                           std::uint8_t data2) {
    return static_cast<std::uint32_t>(status & 0xF0) | static_cast<std::uint32_t>(channel & 0x0F) |
           static_cast<std::uint32_t>(data1) << 8 | static_cast<std::uint32_t>(data2) << 16;
}

// What became of a message given to the single send.
enum class SendResult {
    nothing_done,  // no device open and no file being made, or not a message for them
    sent,          // the device took it
    written,       // written into the MIDI file being made
    dropped,       // it fell after the end of the file being made: not written
    refused,       // the device refused it or has gone away, or the file could not be written
};

// True when the message reached a device or a file: only then does a note sound.
[[nodiscard]] constexpr bool delivered(SendResult result) {
    return result == SendResult::sent || result == SendResult::written;
}

// The single send operation every sound goes through (the MIDI out port in the program,
// a recorder in tests). Callable from any thread.
class MessageSender {
public:
    virtual ~MessageSender() = default;
    virtual SendResult send(const SendRequest& request) = 0;
    // Holds back every other thread's sends while this one makes a group of them and keeps
    // its bookkeeping (the MIDI out port's lock). Groups nest. A sender with nothing shared
    // to guard does nothing.
    virtual void begin_group() {}
    virtual void end_group() {}
    // True once the output device has failed or gone away; play cannot go on through it.
    virtual bool device_failed() const { return false; }
};

// A group of sends for the life of the object.
class SendGroup {
public:
    explicit SendGroup(MessageSender& sender) : sender_(sender) { sender_.begin_group(); }
    ~SendGroup() { sender_.end_group(); }
    SendGroup(const SendGroup&) = delete;
    SendGroup& operator=(const SendGroup&) = delete;

private:
    MessageSender& sender_;
};

}  // namespace corvane::platform
