#pragma once

// The MIDI messages the program sends: their status bytes, the controllers it uses by name,
// the pitch bend's range, and a factory for each message. Only this header and the readers
// that decode files and incoming messages deal in raw numbers.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <string_view>

#include "corvane/platform/due_time.h"

namespace corvane::platform {

inline constexpr int kMidiChannels = 16;
inline constexpr int kMidiKeys = 128;
// Status bytes: a channel message's high nibble (its low nibble is the channel), then the
// system messages.
inline constexpr std::uint8_t kNoteOff = 0x80;
inline constexpr std::uint8_t kNoteOn = 0x90;
inline constexpr std::uint8_t kKeyPressure = 0xA0;
inline constexpr std::uint8_t kControlChange = 0xB0;
inline constexpr std::uint8_t kProgramChange = 0xC0;
inline constexpr std::uint8_t kChannelPressure = 0xD0;
inline constexpr std::uint8_t kPitchBend = 0xE0;
inline constexpr std::uint8_t kSystemMessage = 0xF0;
inline constexpr std::uint8_t kSysexStart = 0xF0;
inline constexpr std::uint8_t kSysexEnd = 0xF7;
inline constexpr std::uint8_t kActiveSensing = 0xFE;
inline constexpr std::uint8_t kSystemReset = 0xFF;

// Controller numbers.
namespace controller {
inline constexpr std::uint8_t kModulationWheel = 1;
inline constexpr std::uint8_t kPortamentoTime = 5;
inline constexpr std::uint8_t kDataEntry = 6;
inline constexpr std::uint8_t kVolume = 7;
inline constexpr std::uint8_t kExpression = 11;
inline constexpr std::uint8_t kModulationWheelFine = 33;
inline constexpr std::uint8_t kDataEntryFine = 38;
inline constexpr std::uint8_t kSustainPedal = 64;
inline constexpr std::uint8_t kPortamento = 65;
inline constexpr std::uint8_t kTremoloDepth = 92;
inline constexpr std::uint8_t kRegisteredParameterFine = 100;
inline constexpr std::uint8_t kRegisteredParameter = 101;
inline constexpr std::uint8_t kAllSoundOff = 120;
inline constexpr std::uint8_t kResetControllers = 121;
inline constexpr std::uint8_t kAllNotesOff = 123;
}  // namespace controller

// Registered parameter numbers (sent as controllers 101 and 100, then the data entry).
namespace registered_parameter {
inline constexpr int kPitchBendRange = 0;
inline constexpr int kTuningProgram = 3;
inline constexpr int kTuningBank = 4;
inline constexpr int kMpeConfiguration = 6;
}  // namespace registered_parameter

// The universal system exclusive IDs the program sends: the MIDI Tuning Standard's.
namespace sysex {
inline constexpr std::uint8_t kNonRealTime = 0x7E;
inline constexpr std::uint8_t kRealTime = 0x7F;
inline constexpr std::uint8_t kAllDevices = 0x7F;  // the device ID every receiver answers to
inline constexpr std::uint8_t kMidiTuning = 0x08;  // sub-ID 1
inline constexpr std::uint8_t kBulkTuningDump = 0x01;
inline constexpr std::uint8_t kSingleNoteTuningChange = 0x02;
inline constexpr std::uint8_t kNoTuningChange = 0x7F;  // 7F 7F 7F: leave the key as it is
}  // namespace sysex

// A pitch bend is 14 bits, 0..16383, with no bend at 8192; the program keeps the receiver's
// range at two semitones, so 4096 steps are a semitone.
inline constexpr int kBendCentre = 8192;
inline constexpr int kBendHighest = 16383;
inline constexpr int kBendStepsPerSemitone = 4096;
inline constexpr int kBendRangeSemitones = 2;

// One MIDI message on its way out.
struct SendRequest {
    std::uint8_t status = 0;  // the kind in the high nibble: 0x80, 0x90, 0xB0, 0xC0, 0xE0
    std::uint8_t channel = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    std::uint8_t data_length = 2;  // bytes of data in a MIDI file: 1 for a program change
    bool record_only = false;      // only for a running play-along recording
};

constexpr std::uint8_t data_byte(int value) { return static_cast<std::uint8_t>(value & 0x7F); }
constexpr std::uint8_t channel_nibble(int channel) { return static_cast<std::uint8_t>(channel & 0x0F); }

constexpr SendRequest note_on(int channel, int key, int velocity) {
    return {kNoteOn, channel_nibble(channel), data_byte(key), data_byte(velocity)};
}
// Velocity 0 on a note-on is a note-off too; receivers treat both alike.
constexpr SendRequest note_off(int channel, int key, int velocity) {
    return {kNoteOff, channel_nibble(channel), data_byte(key), data_byte(velocity)};
}
constexpr SendRequest control_change(int channel, std::uint8_t number, int value) {
    return {kControlChange, channel_nibble(channel), data_byte(number), data_byte(value)};
}
// One data byte: a MIDI file writes it so.
constexpr SendRequest program_change(int channel, int program) {
    return {kProgramChange, channel_nibble(channel), data_byte(program), 0, 1};
}
constexpr SendRequest all_sound_off(int channel) { return control_change(channel, controller::kAllSoundOff, 0); }

// A bend value as sent: truncated and clamped to 0..16383. A pitch beyond the bend range
// then sounds at the range's edge; cut to 14 bits instead, it would wrap round to a bend the
// other way.
inline int bend_to_send(double bend) {
    return static_cast<int>(std::clamp(std::trunc(bend), 0.0, static_cast<double>(kBendHighest)));
}
// Clamped like bend_to_send; the low seven bits go first.
constexpr SendRequest pitch_bend(int channel, int bend) {
    const int sent = std::clamp(bend, 0, kBendHighest);
    return {kPitchBend, channel_nibble(channel), data_byte(sent), data_byte(sent >> 7)};
}
// Registered parameter 0, the bend range, set to `semitones` and `cents`.
constexpr std::array<SendRequest, 4> bend_range(int channel, int semitones, int cents) {
    return {control_change(channel, controller::kRegisteredParameter, 0),
            control_change(channel, controller::kRegisteredParameterFine, registered_parameter::kPitchBendRange),
            control_change(channel, controller::kDataEntry, semitones),
            control_change(channel, controller::kDataEntryFine, cents)};
}

// Registered parameter `number` set to `value` (its coarse data byte).
constexpr std::array<SendRequest, 3> registered_parameter_change(int channel, int number, int value) {
    return {control_change(channel, controller::kRegisteredParameter, 0),
            control_change(channel, controller::kRegisteredParameterFine, number),
            control_change(channel, controller::kDataEntry, value)};
}
// Selects tuning `program` of tuning `bank` on the channel: the bank first, so that the
// program change finds it.
constexpr std::array<SendRequest, 6> tuning_program_select(int channel, int bank, int program) {
    const auto b = registered_parameter_change(channel, registered_parameter::kTuningBank, bank);
    const auto p = registered_parameter_change(channel, registered_parameter::kTuningProgram, program);
    return {b[0], b[1], b[2], p[0], p[1], p[2]};
}
// The MPE configuration message on a zone's manager channel (0 for the lower zone, 15 for the
// upper): `member_channels` members next to it, 0 to end the zone.
constexpr std::array<SendRequest, 3> mpe_configuration(int manager_channel, int member_channels) {
    return registered_parameter_change(manager_channel, registered_parameter::kMpeConfiguration, member_channels);
}

// A system exclusive message from F0 to F7, short enough to be sent from the timer thread
// without allocating.
struct SysexMessage {
    std::array<std::uint8_t, 16> bytes{};
    std::uint8_t size = 0;

    constexpr std::span<const std::uint8_t> view() const { return {bytes.data(), size}; }
};

// A whole system exclusive message: F0, data bytes below 80, F7.
constexpr bool is_sysex_message(std::span<const std::uint8_t> message) {
    if (message.size() < 2 || message.front() != kSysexStart || message.back() != kSysexEnd) return false;
    return std::all_of(message.begin() + 1, message.end() - 1, [](std::uint8_t byte) { return byte < 0x80; });
}

// The three bytes the MIDI Tuning Standard gives a key's pitch: the semitone at or below it
// and the 14-bit fraction above that, high seven bits first.
struct TuningBytes {
    std::uint8_t semitone = 0;
    std::uint8_t fraction_high = 0;
    std::uint8_t fraction_low = 0;

    bool operator==(const TuningBytes&) const = default;
};

// A real-time single-note tuning change of one key in tuning `program`: it takes effect at
// once, on notes already sounding on that key too.
constexpr SysexMessage single_note_tuning_change(int program, int key, TuningBytes pitch) {
    return {{kSysexStart, sysex::kRealTime, sysex::kAllDevices, sysex::kMidiTuning, sysex::kSingleNoteTuningChange,
             data_byte(program), 1, data_byte(key), data_byte(pitch.semitone), data_byte(pitch.fraction_high),
             data_byte(pitch.fraction_low), kSysexEnd},
            12};
}

inline constexpr std::size_t kBulkTuningDumpSize = 408;
inline constexpr std::size_t kTuningNameLength = 16;
// A bulk tuning dump of all 128 keys for tuning `program`, named by the first 16 characters of
// `name` (blank-padded, seven-bit). The checksum is the exclusive or of every byte from 7E to
// the last key's, in seven bits.
constexpr std::array<std::uint8_t, kBulkTuningDumpSize> bulk_tuning_dump(int program, std::string_view name,
                                                                         std::span<const TuningBytes, kMidiKeys> keys) {
    std::array<std::uint8_t, kBulkTuningDumpSize> dump{};
    std::size_t at = 0;
    const auto put = [&](std::uint8_t byte) { dump[at++] = byte; };
    put(kSysexStart);
    put(sysex::kNonRealTime);
    put(sysex::kAllDevices);
    put(sysex::kMidiTuning);
    put(sysex::kBulkTuningDump);
    put(data_byte(program));
    for (std::size_t i = 0; i < kTuningNameLength; ++i) put(i < name.size() ? data_byte(name[i]) : ' ');
    for (const TuningBytes& key : keys) {
        put(data_byte(key.semitone));
        put(data_byte(key.fraction_high));
        put(data_byte(key.fraction_low));
    }
    std::uint8_t checksum = 0;
    for (std::size_t i = 1; i < at; ++i) checksum ^= dump[i];
    put(data_byte(checksum));
    put(kSysexEnd);
    return dump;
}

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
    virtual SendResult send(const SendRequest& request) noexcept = 0;
    // One whole system exclusive message, F0 to F7, sent for the notes of `channel` (a file
    // with a track per channel writes it into that channel's track, just before its notes).
    // A sender that cannot carry it does nothing.
    virtual SendResult send_sysex(std::span<const std::uint8_t> message, int channel) noexcept {
        (void)message;
        (void)channel;
        return SendResult::nothing_done;
    }
    // Holds back every other thread's sends while this one makes a group of them and keeps
    // its bookkeeping (the MIDI out port's lock). Groups nest. A sender with nothing shared
    // to guard does nothing.
    virtual void begin_group() {}
    virtual void end_group() {}
    // The time the sends of the group under way are meant for (see DueTime); returns the one
    // it replaces. Only the thread holding a group sets it. A sender that cannot use it keeps none.
    virtual DueTime exchange_due_time(DueTime due) {
        (void)due;
        return kSendNow;
    }
    // True once the output device has failed or gone away; play cannot go on through it.
    virtual bool device_failed() const { return false; }
};

// A group of sends for the life of the object. Given a due time, every send in the group
// (nested groups included) is meant for that time; without one, the group keeps the time of
// the group it lies in, or none.
class SendGroup {
public:
    explicit SendGroup(MessageSender& sender) : sender_(sender) { sender_.begin_group(); }
    SendGroup(MessageSender& sender, DueTime due) : sender_(sender), stamped_(true) {
        sender_.begin_group();
        outer_due_ = sender_.exchange_due_time(due);
    }
    ~SendGroup() {
        if (stamped_) sender_.exchange_due_time(outer_due_);
        sender_.end_group();
    }
    SendGroup(const SendGroup&) = delete;
    SendGroup& operator=(const SendGroup&) = delete;

private:
    MessageSender& sender_;
    bool stamped_ = false;
    DueTime outer_due_{};
};

}  // namespace corvane::platform
