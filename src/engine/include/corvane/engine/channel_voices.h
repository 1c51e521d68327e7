#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "corvane/engine/composition.h"
#include "corvane/platform/clock.h"
#include "corvane/platform/midi_message.h"

namespace corvane::engine {

// Out-of-range actions, by number, with the names the ranges dialog shows.
enum class RangeAction { silent = 0, hover = 1, rebound = 2, wrap_around = 3, hover_and_rebound = 4 };
inline constexpr int kNoNote = 128;  // a note moved out of reach: nothing sounds

// How a note gets its exact pitch: a pitch bend on its voice's channel (a channel holds one
// bend, so notes at other bends move to spare channels); the MIDI Tuning Standard (each key
// retuned before its note, any number of pitches on one channel); or MPE (each note on a
// member channel of its own with its own bend).
enum class TuningOutput { bend, mts, mpe };
// "bend", "mts", "mpe": the configuration file's and the command line's words.
std::string_view tuning_output_word(TuningOutput output);
std::optional<TuningOutput> tuning_output_of_word(std::string_view word);
inline constexpr int kMpeMostMembers = 15;
inline constexpr int kMpeBendRangeSemitones = 48;

// The settings of the voices that are not part of the composition.
struct VoiceSettings {
    TuningOutput tuning_output = TuningOutput::bend;
    int mpe_member_channels = kMpeMostMembers;  // the lower zone's members: channels 2 to 1 + this
    bool legato = false;
    bool change_channels_for_pitch_bends = true;
    bool all_sound_off_before_pitch_bends = true;
    double dtime_step_for_pitch_bend_vibrato = 10;  // ms between vibrato updates
    double midi_fade_secs = 2;                     // fade-out at the end of a rendered file
};

// A rendered MIDI file fades out over its last midi_fade_secs.
struct RenderFade {
    const double* now_secs = nullptr;  // the render clock
    double end_secs = 0;
};

// A note as it sounds: the MIDI channel and key it went out on, and which start of that key
// it was, so that a stale reference (a sustained note already ended by other means) never
// ends a later note on the same key.
struct SoundingNote {
    int channel = -1;
    int key = -1;
    std::uint32_t serial = 0;
    bool valid() const { return channel >= 0 && key >= 0; }
};

// Which effects apply_effects sends.
enum class Effects { all = 1, portamento = 3, vibrato = 5 };

// Sits between the voices of the composition (up to 16 channels with their programs,
// ranges and effects) and the 16 MIDI channels of the device: starts and stops notes with
// full bookkeeping, moves a voice to a spare channel when its notes need different pitch
// bends, sends programs, bend ranges and effects, runs the pitch-bend vibrato, and holds
// sustained notes in a ring. Every message leaves through the sender. Nothing here
// allocates once constructed, so the player's timer thread can call it.
class ChannelVoices {
public:
    ChannelVoices(const Composition& composition, const VoiceSettings& settings, platform::MessageSender& sender,
                  const platform::Clock& clock);
    ~ChannelVoices();
    ChannelVoices(const ChannelVoices&) = delete;
    ChannelVoices& operator=(const ChannelVoices&) = delete;

    // Applies the voice's out-of-range action; true when the note was changed.
    bool apply_range(int& note, int voice) const;

    // A note of a voice: its octave and range applied, then sounded as sound_note does.
    platform::SendResult note_on(int channel, int voice, int octave, int note, int velocity);
    platform::SendResult note_on_for_voice(int voice, int octave, int note, int velocity);
    // Stops the note that note_on started with the same arguments. Only notes the bookkeeping
    // knows to sound are stopped, so nothing gets a second note-off.
    platform::SendResult note_off(int channel, int voice, int octave, int note, int velocity);
    platform::SendResult note_off_for_voice(int voice, int octave, int note, int velocity);

    // Sounds a note that is already in the voice's range (the player's): on `channel`, or
    // on the percussion channel for a percussion voice. A key that still sounds on that
    // channel is ended first, so every note-on gets exactly one note-off. Returns the note
    // as it sounds, or an invalid one when nothing sounded.
    SoundingNote sound_note(int channel, int voice, int note, int velocity);
    // True when each note is tuned on its own (MIDI Tuning Standard or MPE), so that callers
    // leave channel choice and bends to place_tuned_pitch.
    bool tunes_each_note() const { return settings_.tuning_output != TuningOutput::bend; }
    // Where a note sounds and what readied it: its channel, its key, and the bend its channel
    // has (centre with the tuning standard).
    struct TunedPlace {
        int channel = -1;
        int key = -1;
        int bend = platform::kBendCentre;
        bool valid() const { return channel >= 0 && key >= 0; }
    };
    // Readies a note of a voice at an unrounded MIDI pitch by the tuning output in use, ready
    // for sound_note at the place returned. With the tuning standard: on the voice's own
    // channel, on a key near the pitch that no sounding note holds (one already tuned to it
    // if there is one), retuned first. With MPE: on the least recently used member channel,
    // its note ended if every member sounds, its program and bend sent first. With bends:
    // as the player's set_voice_bend. A percussion voice gets its drum; a voice of rests
    // nothing. The voice's range is not applied.
    TunedPlace place_tuned_pitch(int voice, double pitch);
    // place_tuned_pitch, then sound_note there.
    SoundingNote sound_tuned_pitch(int voice, double pitch, int velocity);
    // Ends a note that sound_note started, unless it has already ended.
    void end_note(SoundingNote note);
    // Ends every note sounding on a MIDI channel.
    void end_channel_notes(int channel);
    // Ends the notes of a voice on the channel it plays on, unless another voice has that
    // channel now (a voice of rests lends its channel to the bends of others); for a
    // percussion voice, its drum.
    void end_voice_notes(int voice);

    // Chooses the MIDI channel for the voice's next note at `bend` and sends the bend there.
    void set_voice_bend(int voice, int bend, bool all_sound_off_allowed);
    void send_bend(int channel, int voice, int bend, bool program_change_needed, bool all_sound_off_allowed);
    struct ChannelForBend {
        int channel = 0;
        bool program_change_needed = false;
        bool no_channel_free = false;
    };
    ChannelForBend find_channel_for_bend(int voice, int bend) const;

    void send_program(int channel, int voice, int program);
    void sync_program(int channel, int voice, int program, bool force);
    void send_bend_range(int channel, int semitones, int cents);
    void apply_effects(int channel, int voice, Effects what);
    void apply_effects_for_voice(int voice, Effects what, bool every_channel);

    void reset_voices();
    // What the tuning output needs before any note (nothing for bends): part of start_voices,
    // sent alone at the start of a rendered file and when the output changes during play.
    void prepare_tuning();
    void start_voices();
    // start_voices for the start of a new cycle: the channels that still sound (notes held
    // by Sustain) keep their notes, program and bend, so nothing is cut or detuned.
    void restart_voices();
    void all_notes_off();
    // Sends the queued messages: note-offs first, then the rest. `status` 0 sends all kinds.
    void flush_queue(std::uint8_t status = 0);
    void set_batching(bool note_ons, bool note_offs);

    // One step of the pitch-bend vibrato over all channels, `elapsed` seconds into it.
    void pitch_bend_vibrato_step();
    bool channel_has_bend_vibrato(int channel) const;

    // Ends a note of the player: at once, or after `sustain_slots` more steps through the
    // ring. A step that sounded nothing (a rest) passes an invalid note: it takes its turn.
    void stop_note_from_player(SoundingNote note, bool forced, int sustain_slots);
    void clear_sustain_ring();

    // While a file is rendered, velocities fade over its last seconds.
    void set_render_fade(RenderFade fade) { fade_ = fade; }
    // While a file is rendered the vibrato is written between events by the port, so no
    // vibrato thread runs.
    void set_rendering(bool rendering) { rendering_ = rendering; }
    void set_muted(bool muted) { muted_.store(muted); }

    // Where the messages go; its group keeps other threads' notes out of the bookkeeping.
    platform::MessageSender& sender() { return sender_; }

    // Channel bookkeeping, read by the player, the port and the displays.
    int voice_of_channel(int channel) const { return channels_[index(channel)].voice; }
    int channel_of_voice(int voice) const { return voices_[index(voice)].channel; }
    int sounding_note(int channel) const { return channels_[index(channel)].sounding_note; }
    int sounding_velocity(int channel) const { return channels_[index(channel)].sounding_velocity; }
    double bend_of_channel(int channel) const { return channels_[index(channel)].bend; }
    int program_of_channel(int channel) const { return channels_[index(channel)].program; }
    int notes_on_channel(int channel) const { return channels_[index(channel)].notes_on; }
    // True when the key sounds on the channel, as far as the bookkeeping knows.
    bool key_sounds(int channel, int key) const {
        return key >= 0 && key <= 127 && (note_channels_[static_cast<std::size_t>(key)] & (1u << index(channel))) != 0;
    }
    std::uint16_t note_channels(int note) const { return note_channels_[static_cast<std::size_t>(note & 127)]; }
    // The note a pitch shift started in place of the channel's own note (-1 none).
    void set_shifted_note(int channel, int note) { channels_[index(channel)].shifted_note = note; }
    void set_channel_bend(int channel, double bend) { channels_[index(channel)].bend = bend; }
    void set_sounding_note(int channel, int note) { channels_[index(channel)].sounding_note = note; }
    // After an all-sound-off sent straight to the channel: it holds no notes any more.
    void forget_channel_notes(int channel);

private:
    struct ChannelState {
        int voice = 0;
        int program = -1;
        double bend = -1;
        bool bend_range_sent = false;
        int sounding_note = -1;
        int sounding_velocity = 0;
        int notes_on = 0;
        int last_note = -1;
        int shifted_note = -1;
        int modulation_sent = 0;
        int tremolo_sent = 0;
        int portamento_time_sent = -1;
        std::int64_t note_start_ms = 0;
    };
    struct VoiceState {
        int channel = 0;
        int last_channel = -1;
        int last_note = -1;
    };
    struct Deferred {
        platform::SendRequest message;
        bool pending = false;
    };
    static constexpr int kQueueSize = 100;
    static constexpr int kSustainRingSize = 301;

    static std::size_t index(int i) { return static_cast<std::size_t>(i & 15); }
    platform::SendResult send(const platform::SendRequest& message) noexcept { return sender_.send(message); }
    template <std::size_t N>
    void send_all(const std::array<platform::SendRequest, N>& messages) {
        for (const auto& message : messages) send(message);
    }
    TunedPlace place_by_key_tuning(int voice, double pitch);
    TunedPlace place_on_member_channel(int voice, double pitch);
    int key_for_tuning(int channel, double pitch, platform::TuningBytes wanted) const;
    bool key_holds(int key, platform::TuningBytes tuning, int channel) const;
    bool key_just_silenced(int key) const;
    void note_silence(int channel, int key);
    bool key_sounds_tuned(int key) const;
    int member_for_note() const;
    void give_zone_its_instrument();
    bool is_member_channel(int channel) const;
    int bend_range_of(int channel) const;
    double bend_steps_per_semitone(int channel) const;
    SoundingNote start_key(int channel, int voice, int key, int velocity);
    platform::SendResult release_note(int channel, int note, int velocity);
    void forget_key(int channel, int key);
    void reset_channel(int channel);
    void prepare_channels();
    std::uint16_t in_play_mask() const;
    int program_of_voice(int voice) const;
    bool same_effects(int channel_voice, int voice) const;
    bool has_bend_vibrato(int voice) const;
    int faded_velocity(int velocity) const;
    bool queue(const platform::SendRequest& message);
    void ensure_vibrato_thread();
    void vibrato_loop();
    bool any_bend_vibrato() const;

    const Composition& composition_;
    const VoiceSettings& settings_;
    platform::MessageSender& sender_;
    const platform::Clock& clock_;

    std::array<ChannelState, kMidiChannels> channels_{};
    std::array<VoiceState, kMidiChannels> voices_{};
    std::array<std::uint16_t, 128> note_channels_{};
    std::array<Deferred, kQueueSize> queue_{};
    int queued_ = 0;
    bool batch_note_ons_ = false;
    bool batch_note_offs_ = false;
    std::array<std::array<std::uint32_t, 128>, kMidiChannels> key_serial_{};  // the start now sounding on each key
    std::uint32_t next_serial_ = 1;
    // The tuning standard: the pitch each key was last retuned to and the channel that sent
    // it (-1 none since the receiver was prepared), and when it last fell silent (a use
    // count, so that renders choose as live play does, and the clock's time).
    struct KeyTuning {
        platform::TuningBytes pitch;
        int channel = -1;
    };
    std::array<KeyTuning, 128> key_tuning_{};
    std::array<std::uint32_t, 128> key_silent_since_{};
    std::array<std::int64_t, 128> key_silent_at_ms_{};
    // MPE: when each member channel last started or ended a note.
    std::array<std::uint32_t, kMidiChannels> channel_used_at_{};
    std::array<std::int64_t, kMidiChannels> member_started_ms_{};
    std::uint32_t use_count_ = 0;
    std::array<SoundingNote, kSustainRingSize> ring_{};
    int ring_next_ = 0;
    int ring_length_ = 0;  // the notes the ring holds over now: sustain slots less one
    RenderFade fade_{};
    bool rendering_ = false;
    std::atomic<bool> muted_{false};

    std::thread vibrato_thread_;
    std::mutex vibrato_mutex_;
    std::condition_variable vibrato_wake_;
    bool vibrato_wanted_ = false;
    bool vibrato_quit_ = false;
};

}  // namespace corvane::engine
