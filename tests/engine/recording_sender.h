#pragma once

// The MIDI sender of the channel voices and player tests: every message, with the clock's time.
#include <algorithm>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <vector>

#include "corvane/platform/clock.h"
#include "corvane/platform/midi_message.h"

namespace corvane::engine::testing {

struct Message {
    std::int64_t ms;
    std::uint8_t status, channel, data1, data2;
    bool operator==(const Message&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Message& m) {
    return os << "{" << m.ms << "ms " << std::hex << int(m.status) << " ch" << std::dec << int(m.channel) << " "
              << int(m.data1) << " " << int(m.data2) << "}";
}

// A note-on; with velocity 0 it is the note-off the voices send.
inline Message on(std::int64_t ms, int channel, int note, int velocity = 127) {
    return {ms, 0x90, static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(note),
            static_cast<std::uint8_t>(velocity)};
}
inline Message off(std::int64_t ms, int channel, int note) { return on(ms, channel, note, 0); }

// Groups lock, as the port's do, so a test that holds one keeps the vibrato thread out.
struct RecordingSender final : platform::MessageSender {
    explicit RecordingSender(const platform::Clock& c) : clock(c) {}

    platform::SendResult send(const platform::SendRequest& r) noexcept override {
        const std::lock_guard lock(group);
        sent.push_back({clock.now_ms(), r.status, r.channel, r.data1, r.data2});
        return platform::SendResult::sent;
    }
    void begin_group() override { group.lock(); }
    void end_group() override { group.unlock(); }

    // Note-ons and note-offs only (a note-on with velocity 0 is an off).
    std::vector<Message> notes() const {
        std::vector<Message> out;
        for (const auto& m : sent) {
            if (m.status == 0x90 || m.status == 0x80) out.push_back(m);
        }
        return out;
    }
    // How many notes started, at one time or in all.
    int note_ons(std::optional<std::int64_t> at = std::nullopt) const {
        return static_cast<int>(std::count_if(sent.begin(), sent.end(), [&](const Message& m) {
            return m.status == 0x90 && m.data2 > 0 && (!at || m.ms == *at);
        }));
    }

    const platform::Clock& clock;
    std::vector<Message> sent;
    std::recursive_mutex group;
};

}  // namespace corvane::engine::testing
