// The notes of a score, read from the events a MIDI file save renders.

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <deque>
#include <map>
#include <utility>

#include "corvane/files/score_export.h"
#include "corvane/midi/midi_out_port.h"
#include "corvane/platform/midi_message.h"

namespace corvane::files {
namespace {

using platform::kMidiChannels;

// Fine ticks, so that note times come back as the render clock had them: a microsecond, or
// coarser for a tune too long to count in microseconds within the file's 32-bit ticks.
midi::SmfSettings fine_timing(double end_secs) {
    midi::SmfSettings smf;
    smf.mf_time_duration_of_beat = 1'000'000;  // a quarter note a second: ticks are per second
    const double most_ticks = 2e9 / std::max(end_secs, 1.0);
    smf.midi_ticks_per_quarter_note = static_cast<int>(std::clamp(most_ticks, 1.0, 1e6));
    return smf;
}

// A note as collected, with the tick it started at and the channel it sounded on.
struct CollectedNote {
    std::uint64_t start_tick = 0;
    int channel = 0;
    RenderedNote note;
};

// Turns the rendered events into notes: a note-on starts one at the channel's current bend,
// the next note-off of its key on its channel ends it; an all-sound-off or all-notes-off ends
// every note of its channel. Each channel's program is the one it had at its first note.
class NoteCollector final : public midi::FileEventSink {
public:
    explicit NoteCollector(double ticks_per_second) : ticks_per_second_(ticks_per_second) {}

    int write_channel_event(std::uint32_t delta, std::uint8_t status, std::uint8_t channel, std::uint8_t data1,
                            std::uint8_t data2, int length, int) override {
        ticks_ += delta;
        const double now = static_cast<double>(ticks_) / ticks_per_second_;
        const int c = channel & 15;
        ChannelState& state = channels_[static_cast<std::size_t>(c)];
        switch (status & 0xF0) {
            case platform::kNoteOn:
                if (data2 > 0) {
                    start_note(state, c, data1, now);
                } else {
                    end_note(state, data1, now);
                }
                break;
            case platform::kNoteOff:
                end_note(state, data1, now);
                break;
            case platform::kPitchBend:
                state.bend = static_cast<double>((data2 << 7 | data1) - platform::kBendCentre) /
                             platform::kBendStepsPerSemitone;
                break;
            case platform::kProgramChange:
                if (!state.sounded) state.program = data1;
                break;
            case platform::kControlChange:
                if (data1 == platform::controller::kAllSoundOff || data1 == platform::controller::kAllNotesOff) {
                    end_all_notes(state, now);
                }
                break;
            default:
                break;
        }
        return length;
    }

    // The score reads pitches from keys and bends: a system exclusive message only moves time on.
    int write_sysex_event(std::uint32_t delta, std::span<const std::uint8_t> message, int) override {
        ticks_ += delta;
        return static_cast<int>(message.size());
    }

    // Every note, in the order they started; notes still sounding end at `end_secs`.
    std::vector<CollectedNote> take_notes(double end_secs) {
        for (ChannelState& state : channels_) end_all_notes(state, end_secs);
        return std::move(notes_);
    }
    int program(int channel) const { return channels_[static_cast<std::size_t>(channel & 15)].program; }

private:
    struct ChannelState {
        int program = 0;
        bool sounded = false;
        double bend = 0;
        std::vector<std::size_t> sounding;  // indices into notes_, in the order they started
    };

    void start_note(ChannelState& state, int channel, int key, double now) {
        state.sounded = true;
        state.sounding.push_back(notes_.size());
        notes_.push_back({ticks_, channel, {now, now, key, state.bend}});
    }

    void end_note(ChannelState& state, int key, double now) {
        const auto found = std::find_if(state.sounding.begin(), state.sounding.end(),
                                        [&](std::size_t i) { return notes_[i].note.key == key; });
        if (found == state.sounding.end()) return;
        notes_[*found].note.end_secs = now;
        state.sounding.erase(found);
    }

    void end_all_notes(ChannelState& state, double now) {
        for (const std::size_t i : state.sounding) notes_[i].note.end_secs = now;
        state.sounding.clear();
    }

    double ticks_per_second_;
    std::uint64_t ticks_ = 0;
    std::array<ChannelState, kMidiChannels> channels_{};
    std::vector<CollectedNote> notes_;
};

// A voice moves notes to spare channels when they need other bends than its own channel
// has. The score gives each note back to its channel in play: the channel the same note
// starts on (same tick, same key) when the voices keep to their own channels.
void return_to_channels_in_play(std::vector<CollectedNote>& notes, const std::vector<CollectedNote>& kept) {
    std::map<std::pair<std::uint64_t, int>, std::deque<int>> channels_at;
    for (const CollectedNote& k : kept) channels_at[{k.start_tick, k.note.key}].push_back(k.channel);
    for (CollectedNote& n : notes) {
        auto found = channels_at.find({n.start_tick, n.note.key});
        if (found == channels_at.end() || found->second.empty()) continue;
        n.channel = found->second.front();
        found->second.pop_front();
    }
}

std::vector<RenderedChannel> channels_of(const std::vector<CollectedNote>& notes, const NoteCollector& programs) {
    std::vector<RenderedChannel> channels;
    for (int c = 0; c < kMidiChannels; ++c) {
        if (c == engine::kPercussionChannel) continue;
        RenderedChannel channel{c, programs.program(c), {}};
        for (const CollectedNote& n : notes) {
            if (n.channel == c) channel.notes.push_back(n.note);
        }
        if (!channel.notes.empty()) channels.push_back(std::move(channel));
    }
    return channels;
}

}  // namespace

RenderedTune render_tune(const engine::Composition& composition, const midi::MidiSaveSettings& settings,
                         const engine::PlayerSettings& player_settings, const engine::VoiceSettings& voice_settings,
                         platform::Reporter& reporter) {
    midi::MidiSaveSettings fine = settings;
    fine.smf = fine_timing(settings.end_secs());
    const double ticks_per_second = midi::ticks_per_second(fine.smf);
    std::atomic<bool> no_abort{false};
    // The notes are read back from their keys and bends, so the score is rendered with bends
    // whatever tunes the output.
    engine::VoiceSettings by_bends = voice_settings;
    by_bends.tuning_output = engine::TuningOutput::bend;
    NoteCollector as_saved(ticks_per_second);
    midi::render_events(composition, fine, player_settings, by_bends, reporter, no_abort, as_saved);
    engine::VoiceSettings own_channels = by_bends;
    own_channels.change_channels_for_pitch_bends = false;
    NoteCollector on_own_channels(ticks_per_second);
    midi::render_events(composition, fine, player_settings, own_channels, reporter, no_abort, on_own_channels);

    RenderedTune tune;
    tune.end_secs = settings.end_secs();  // notes sounding at the end were ended there
    tune.time_step_secs = 1.0 / ticks_per_second;
    std::vector<CollectedNote> notes = as_saved.take_notes(tune.end_secs);
    return_to_channels_in_play(notes, on_own_channels.take_notes(tune.end_secs));
    tune.channels = channels_of(notes, on_own_channels);
    tune.note_length = composition.Note_length;
    tune.key = midi::automatic_key_signature(composition);
    return tune;
}

}  // namespace corvane::files
