#pragma once

// What a saved MIDI file makes a listener hear, checked from its bytes alone: every note
// paired with its note-off, the pitch it starts at (its key's tuning, the bend in force and
// the channel's bend range), bends and retunings that reach a note while it sounds. Shares
// nothing with the writer but the file.

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "smf_reader.h"

namespace corvane::testing {

// A channel event of any track, with its absolute tick and the track it came from.
// A single-note tuning change is kind 0xF0 on channel -1, its key in data1 and its pitch in
// data2, in 1/16384 semitone.
struct ChannelEvent {
    std::uint64_t tick = 0;
    std::uint8_t kind = 0;  // status high nibble: 0x80, 0x90, 0xB0, 0xC0, 0xE0; 0xF0 a tuning change
    int channel = 0;
    int data1 = 0;
    int data2 = 0;
    int track = 0;
    auto key() const { return std::make_tuple(tick, channel, kind, data1, data2); }
};

inline constexpr double kTuningSteps = 16384;

// A real-time single-note tuning change of one key, read from its bytes.
inline std::optional<ChannelEvent> tuning_change(std::span<const std::uint8_t> b, std::uint64_t tick, int track) {
    if (b.size() != 12 || b[0] != 0xF0 || b[1] != 0x7F || b[3] != 0x08 || b[4] != 0x02 || b[6] != 1 || b[11] != 0xF7) {
        return std::nullopt;
    }
    return ChannelEvent{tick, 0xF0, -1, b[7], b[8] << 14 | b[9] << 7 | b[10], track};
}

// A channel event or a tuning change read from its bytes; nothing for any other message.
inline std::optional<ChannelEvent> channel_event_of(std::span<const std::uint8_t> b, std::uint64_t tick, int track) {
    if (const auto change = tuning_change(b, tick, track)) return change;
    if (b.empty() || b[0] < 0x80 || b[0] >= 0xF0) return std::nullopt;
    return ChannelEvent{tick, static_cast<std::uint8_t>(b[0] & 0xF0), b[0] & 0x0F, b.size() > 1 ? b[1] : 0,
                        b.size() > 2 ? b[2] : 0, track};
}

// The channel events and tuning changes of every track, in time order; within a tick each
// track keeps its own order (events of one channel are always in one track).
inline std::vector<ChannelEvent> channel_events(const SmfFile& file) {
    std::vector<ChannelEvent> events;
    for (std::size_t t = 0; t < file.tracks.size(); ++t) {
        for (const SmfEvent& e : file.tracks[t].events) {
            if (const auto event = channel_event_of(e.bytes, e.tick, static_cast<int>(t))) events.push_back(*event);
        }
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const ChannelEvent& a, const ChannelEvent& b) { return a.tick < b.tick; });
    return events;
}

// The same events as a sorted list, for comparing files whose tracks are laid out differently.
inline std::vector<std::tuple<std::uint64_t, int, int, int, int>> event_multiset(const SmfFile& file) {
    std::vector<std::tuple<std::uint64_t, int, int, int, int>> out;
    for (const auto& e : channel_events(file)) out.emplace_back(e.key());
    std::sort(out.begin(), out.end());
    return out;
}

inline bool is_note_on(const ChannelEvent& e) { return e.kind == 0x90 && e.data2 > 0; }
inline bool is_note_off(const ChannelEvent& e) { return e.kind == 0x80 || (e.kind == 0x90 && e.data2 == 0); }

// A note as heard: from its note-on to its note-off, at the bend in force when it began.
struct HeardNote {
    int channel = 0;
    int key = 0;
    int velocity = 0;
    int bend = 8192;
    std::uint64_t on = 0;
    std::uint64_t off = 0;
    double pitch = 0;  // MIDI pitch: the key's tuning and the bend over the channel's range
};

// What the receiver holds: each key's tuning, each channel's bend range and the registered
// parameter it has selected.
struct ReceiverTuning {
    std::array<double, 128> key_pitch{};
    std::array<int, 16> bend_range{};
    std::array<int, 16> parameter{};
    ReceiverTuning() {
        for (int k = 0; k < 128; ++k) key_pitch[static_cast<std::size_t>(k)] = k;
        bend_range.fill(2);
        parameter.fill(-1);
    }
    void take_controller(const ChannelEvent& e) {
        int& selected = parameter[static_cast<std::size_t>(e.channel)];
        if (e.data1 == 101) selected = e.data2 << 7 | (selected & 0x7F);
        if (e.data1 == 100) selected = (selected & ~0x7F) | e.data2;
        if (e.data1 == 6 && selected == 0) bend_range[static_cast<std::size_t>(e.channel)] = e.data2;
    }
    // Drums play untuned.
    double pitch_of(int channel, int key, int bend) const {
        const double tuned = channel == 9 ? key : key_pitch[static_cast<std::size_t>(key)];
        return tuned + (bend - 8192) / 8192.0 * bend_range[static_cast<std::size_t>(channel)];
    }
};

struct NoteAudit {
    std::vector<HeardNote> notes;    // in the order their note-ons came
    std::vector<std::string> faults; // empty when every note is right
};

// Pairs every note-on with its note-off, channel by channel, and notes what a musician would
// hear as wrong: a note-on of a key already sounding, a note-off of a key that is not, a
// note never ended, a note of no length, a bend that changes the pitch of a sounding note, a
// tuning change of a key that sounds. A stop in live play may come the very moment a note
// begins: `live` lets such a note be.
inline NoteAudit audit_notes(const std::vector<ChannelEvent>& events, bool live = false) {
    NoteAudit audit;
    ReceiverTuning receiver;
    std::array<int, 16> bend{};
    bend.fill(8192);
    std::array<std::map<int, std::size_t>, 16> sounding{};  // key -> index in audit.notes
    const auto where = [](const ChannelEvent& e) {
        return " at tick " + std::to_string(e.tick) + " on channel " + std::to_string(e.channel);
    };
    for (const ChannelEvent& e : events) {
        if (e.kind == 0xF0) {
            double& tuned = receiver.key_pitch[static_cast<std::size_t>(e.data1)];
            const double pitch = e.data2 / kTuningSteps;
            for (int c = 0; c < 16; ++c) {
                if (c != 9 && pitch != tuned && sounding[static_cast<std::size_t>(c)].count(e.data1) != 0) {
                    audit.faults.push_back("key " + std::to_string(e.data1) + " retuned at tick " +
                                           std::to_string(e.tick) + " while it sounds on channel " + std::to_string(c));
                }
            }
            tuned = pitch;
            continue;
        }
        auto& keys = sounding[static_cast<std::size_t>(e.channel)];
        if (e.kind == 0xB0) receiver.take_controller(e);
        if (is_note_on(e)) {
            if (keys.count(e.data1) != 0) audit.faults.push_back("second note-on of key " + std::to_string(e.data1) + where(e));
            keys[e.data1] = audit.notes.size();
            const int in_force = bend[static_cast<std::size_t>(e.channel)];
            audit.notes.push_back({e.channel, e.data1, e.data2, in_force, e.tick, 0,
                                   receiver.pitch_of(e.channel, e.data1, in_force)});
        } else if (is_note_off(e)) {
            const auto it = keys.find(e.data1);
            if (it == keys.end()) {
                audit.faults.push_back("note-off of key " + std::to_string(e.data1) + " that does not sound" + where(e));
                continue;
            }
            HeardNote& note = audit.notes[it->second];
            note.off = e.tick;
            if (note.off == note.on && !live) audit.faults.push_back("key " + std::to_string(e.data1) + " of no length" + where(e));
            keys.erase(it);
        } else if (e.kind == 0xE0) {
            const int value = e.data1 | e.data2 << 7;
            int& in_force = bend[static_cast<std::size_t>(e.channel)];
            if (value != in_force && !keys.empty()) {
                audit.faults.push_back("bend " + std::to_string(value) + " while key " +
                                       std::to_string(keys.begin()->first) + " sounds" + where(e));
            }
            in_force = value;
        }
    }
    for (int c = 0; c < 16; ++c) {
        for (const auto& [key, index] : sounding[static_cast<std::size_t>(c)]) {
            audit.faults.push_back("key " + std::to_string(key) + " from tick " +
                                   std::to_string(audit.notes[index].on) + " on channel " + std::to_string(c) +
                                   " never ends");
        }
    }
    return audit;
}

inline std::string joined(const std::vector<std::string>& lines, std::size_t at_most = 8) {
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < at_most; ++i) text += lines[i] + "\n";
    if (lines.size() > at_most) text += "... and " + std::to_string(lines.size() - at_most) + " more\n";
    return text;
}

}  // namespace corvane::testing
