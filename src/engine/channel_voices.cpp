#include "corvane/engine/channel_voices.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

#include "corvane/tuning/mts_pitch.h"
#include "corvane/tuning/pitch_mapping.h"

namespace corvane::engine {
namespace {

namespace controller = platform::controller;

constexpr int kOctave = 12;
constexpr int kMaxRangeRounds = 100;
constexpr int kNarrowRange = 25;
// The tuning standard retunes a key this many semitones either side of the pitch at most,
// so that a sampled instrument plays a sample meant for about that pitch.
constexpr int kTunedKeyReach = 2;
constexpr int kTuningProgram = 0;
constexpr int kTuningBank = 0;
constexpr int kManagerChannel = 0;

bool valid_channel(int c) { return c >= 0 && c < kMidiChannels; }
bool valid_note(int n) { return n >= 0 && n <= 127; }
int positive_mod(int a, int m) { return ((a % m) + m) % m; }

// Moves a note above the range down, by the action's rule; `k` octaves take it inside.
int move_down(int note, int k, RangeAction action, int lo, int hi, bool narrow) {
    switch (action) {
        case RangeAction::silent: return kNoNote;
        case RangeAction::hover: return note - kOctave * k;
        case RangeAction::rebound: return narrow ? note - kOctave * k : note - 2 * kOctave * k;
        case RangeAction::hover_and_rebound: return narrow ? note - kOctave * k : note - 2 * kOctave * k + kOctave;
        case RangeAction::wrap_around: {
            int base = ((hi - lo + 1) % kOctave) + lo;
            const int span = std::max(hi - base + 1, kOctave);
            if (hi <= base) base = hi - kOctave;
            return positive_mod(note - base, span) + base;
        }
    }
    return note;
}

// The mirror image of move_down, for a note below the range.
int move_up(int note, int k, RangeAction action, int lo, int hi, bool narrow) {
    switch (action) {
        case RangeAction::silent: return kNoNote;
        case RangeAction::hover: return note + kOctave * k;
        case RangeAction::rebound: return narrow ? note + kOctave * k : note + 2 * kOctave * k;
        case RangeAction::hover_and_rebound: return narrow ? note + kOctave * k : note + 2 * kOctave * k - kOctave;
        case RangeAction::wrap_around: {
            int top = hi - ((hi - lo + 1) % kOctave);
            const int span = std::max(top - lo + 1, kOctave);
            if (top <= lo) top = lo + kOctave;
            return top - positive_mod(top - note, span);
        }
    }
    return note;
}

constexpr std::array<std::string_view, 3> kTuningOutputWords{"bend", "mts", "mpe"};

}  // namespace

std::string_view tuning_output_word(TuningOutput output) {
    return kTuningOutputWords[static_cast<std::size_t>(output)];
}

std::optional<TuningOutput> tuning_output_of_word(std::string_view word) {
    const auto* found = std::find(kTuningOutputWords.begin(), kTuningOutputWords.end(), word);
    if (found == kTuningOutputWords.end()) return std::nullopt;
    return static_cast<TuningOutput>(found - kTuningOutputWords.begin());
}

ChannelVoices::ChannelVoices(const Composition& composition, const VoiceSettings& settings,
                             platform::MessageSender& sender, const platform::Clock& clock)
    : composition_(composition), settings_(settings), sender_(sender), clock_(clock) {
    reset_voices();
}

ChannelVoices::~ChannelVoices() {
    {
        std::lock_guard guard(vibrato_mutex_);
        vibrato_quit_ = true;
    }
    vibrato_wake_.notify_all();
    if (vibrato_thread_.joinable()) vibrato_thread_.join();
}

int ChannelVoices::program_of_voice(int voice) const { return composition_.Voices_for_channels[index(voice)]; }

// Any note may come in, 128 and beyond included: only the action "Silent", a range that
// cannot hold it, or a result outside 0..127 make it kNoNote.
bool ChannelVoices::apply_range(int& note, int voice) const {
    if (voice < 0 || voice >= kMidiChannels) return false;
    const std::size_t v = index(voice);
    const int lo = composition_.Min_notes_for_channels[v];
    const int hi = composition_.Max_notes_for_channels[v];
    const int action_number = composition_.iActionIfOutOfRange[v];
    const auto action = static_cast<RangeAction>(std::clamp(action_number, 0, 4));
    const bool narrow = hi - lo < kNarrowRange;
    const int original = note;
    int used_octaves = -1;
    for (int round = 0; round < kMaxRangeRounds; ++round) {
        if (note >= lo && note <= hi) break;
        if (round > 0 && narrow) break;
        if (action == RangeAction::silent) {
            note = kNoNote;
            break;
        }
        const bool above = note > hi;
        int k = (above ? (note - hi - 1) : (lo - note - 1)) / kOctave + 1;
        if (used_octaves >= 0 && used_octaves <= k) k = k - 1;  // never the same jump twice: it would bounce
        note = above ? move_down(note, k, action, lo, hi, narrow) : move_up(note, k, action, lo, hi, narrow);
        used_octaves = k;
    }
    if (!valid_note(note)) note = kNoNote;
    return note != original;
}

int ChannelVoices::faded_velocity(int velocity) const {
    if (fade_.now_secs != nullptr && settings_.midi_fade_secs > 0) {
        const double left = fade_.end_secs - *fade_.now_secs;
        if (left < settings_.midi_fade_secs) {
            velocity = static_cast<int>(velocity * std::max(left, 0.0) / settings_.midi_fade_secs);
        }
    }
    return std::clamp(velocity, 0, 127);
}

bool ChannelVoices::queue(const platform::SendRequest& message) {
    if (queued_ >= kQueueSize) return false;
    queue_[static_cast<std::size_t>(queued_++)] = {message, true};
    return true;
}

platform::SendResult ChannelVoices::note_on(int channel, int voice, int octave, int note, int velocity) {
    note += kOctave * octave;
    if (voice < 0 || voice >= kMidiChannels) return platform::SendResult::nothing_done;
    apply_range(note, voice);
    return sound_note(channel, voice, note, velocity).valid() ? platform::SendResult::sent
                                                              : platform::SendResult::nothing_done;
}

platform::SendResult ChannelVoices::note_on_for_voice(int voice, int octave, int note, int velocity) {
    if (voice < 0 || voice >= kMidiChannels) return platform::SendResult::nothing_done;
    return note_on(voices_[index(voice)].channel, voice, octave, note, velocity);
}

SoundingNote ChannelVoices::sound_note(int channel, int voice, int note, int velocity) {
    if (velocity < 0 || velocity > 127 || voice < 0 || voice >= kMidiChannels || muted_.load()) return {};
    const int program = program_of_voice(voice);
    if (program == kNoNote) return {};  // a voice of rests
    if (program > kNoNote) {
        note = program - kNoNote;
        channel = kPercussionChannel;
    }
    VoiceState& vs = voices_[index(voice)];
    if (composition_.iPortamento[index(voice)] != 0 && channel != kPercussionChannel && valid_note(vs.last_note)) {
        send(platform::control_change(voice, controller::kPortamento, vs.last_note));
    }
    if (!valid_channel(channel) || !valid_note(note)) return {};
    const int sounding_velocity = faded_velocity(velocity);
    if (sounding_velocity == 0) return {};  // faded out: a note-on of velocity 0 would be a note-off
    return start_key(channel, voice, note, sounding_velocity);
}

// Sends the note-on and records what sounds. A key already sounding on the channel ends first.
SoundingNote ChannelVoices::start_key(int channel, int voice, int key, int velocity) {
    if (key_sounds(channel, key)) release_note(channel, key, 127);
    ChannelState& cs = channels_[index(channel)];
    VoiceState& vs = voices_[index(voice)];
    if (has_bend_vibrato(voice)) {
        cs.note_start_ms = clock_.now_ms();
        ensure_vibrato_thread();
    }
    platform::SendResult result = platform::SendResult::sent;
    const auto message = platform::note_on(channel, key, velocity);
    if (!(batch_note_ons_ && queue(message))) result = send(message);
    const int previous = cs.sounding_note;
    if (settings_.legato && channel != kPercussionChannel && valid_note(previous) && previous != key) {
        release_note(channel, previous, 127);
    }
    if (vs.last_channel >= 0 && vs.last_channel != channel) channels_[index(vs.last_channel)].last_note = -1;
    cs.last_note = key;
    vs.last_channel = channel;
    vs.last_note = key;
    if (!platform::delivered(result)) return {};  // nothing sounds: nothing to end later
    cs.sounding_note = key;
    cs.sounding_velocity = velocity;
    note_channels_[static_cast<std::size_t>(key)] |= static_cast<std::uint16_t>(1u << channel);
    ++cs.notes_on;
    const std::uint32_t serial = next_serial_++;
    key_serial_[index(channel)][static_cast<std::size_t>(key)] = serial;
    return {channel, key, serial};
}

// When a key, and a channel left with no note, fell silent: what the tuning standard and
// MPE choose keys and member channels by.
void ChannelVoices::note_silence(int channel, int key) {
    const auto k = static_cast<std::size_t>(key);
    key_silent_since_[k] = ++use_count_;
    key_silent_at_ms_[k] = clock_.now_ms();
    if (channels_[index(channel)].notes_on == 0) channel_used_at_[index(channel)] = use_count_;
}

ChannelVoices::TunedPlace ChannelVoices::place_tuned_pitch(int voice, double pitch) {
    if (voice < 0 || voice >= kMidiChannels || !std::isfinite(pitch)) return {};
    const int program = program_of_voice(voice);
    if (program == kNoNote) return {};  // a voice of rests
    if (program > kNoNote) return {kPercussionChannel, program - kNoNote};
    switch (settings_.tuning_output) {
        case TuningOutput::mts: return place_by_key_tuning(voice, pitch);
        case TuningOutput::mpe: return place_on_member_channel(voice, pitch);
        case TuningOutput::bend: break;
    }
    const tuning::NoteAndBend nb = tuning::split_midi_pitch(pitch);
    set_voice_bend(voice, nb.bend, false);
    return {channel_of_voice(voice), nb.note, nb.bend};
}

SoundingNote ChannelVoices::sound_tuned_pitch(int voice, double pitch, int velocity) {
    const TunedPlace place = place_tuned_pitch(voice, pitch);
    if (!place.valid()) return {};
    return sound_note(place.channel, voice, place.key, velocity);
}

// The voice keeps its own channel: every key has its own pitch, so notes at any pitches
// share it.
ChannelVoices::TunedPlace ChannelVoices::place_by_key_tuning(int voice, double pitch) {
    const int channel = voice;
    voices_[index(voice)].channel = channel;
    sync_program(channel, voice, program_of_voice(voice), false);
    channels_[index(channel)].voice = voice;
    const platform::TuningBytes wanted = tuning::mts_pitch(pitch);
    const int key = key_for_tuning(channel, pitch, wanted);
    if (key < 0) return {};
    const auto k = static_cast<std::size_t>(key);
    if (!key_holds(key, wanted, channel)) {
        sender_.send_sysex(platform::single_note_tuning_change(kTuningProgram, key, wanted).view(), channel);
        key_tuning_[k] = {wanted, channel};
    }
    return {channel, key};
}

// The tuning a key holds counts for the channel that sent it only: in a file with a track per
// channel, each note's tuning then lies in its own track, before it.
bool ChannelVoices::key_holds(int key, platform::TuningBytes tuning, int channel) const {
    const KeyTuning& held = key_tuning_[static_cast<std::size_t>(key)];
    return held.channel == channel && held.pitch == tuning;
}

// A key whose note ended this very moment still rings: it is retuned only when nothing else
// is free.
bool ChannelVoices::key_just_silenced(int key) const {
    const auto k = static_cast<std::size_t>(key);
    return key_silent_since_[k] != 0 && key_silent_at_ms_[k] == clock_.now_ms();
}

// A retuning reaches every channel that plays the tuning program, so a key is retuned only
// while no tuned channel sounds it (drums play untuned).
bool ChannelVoices::key_sounds_tuned(int key) const {
    constexpr auto kTunedChannels = static_cast<std::uint16_t>(~(1u << kPercussionChannel));
    return (note_channels_[static_cast<std::size_t>(key)] & kTunedChannels) != 0;
}

// A key near the pitch that already holds it, else the one near it silent the longest (its
// release has died away most), else the nearest silent key anywhere, one silenced just now
// last; -1 when all 128 sound.
int ChannelVoices::key_for_tuning(int channel, double pitch, platform::TuningBytes wanted) const {
    const auto nearest = static_cast<int>(std::lround(std::clamp(pitch, 0.0, 127.0)));
    const auto each_key_outward = [nearest](int reach, auto&& visit) {
        visit(nearest);
        for (int distance = 1; distance <= reach; ++distance) {
            if (valid_note(nearest + distance)) visit(nearest + distance);
            if (valid_note(nearest - distance)) visit(nearest - distance);
        }
    };
    int found = -1;
    each_key_outward(kTunedKeyReach, [&](int key) {
        if (found < 0 && key_holds(key, wanted, channel) && !key_sounds(channel, key)) found = key;
    });
    if (found >= 0) return found;
    each_key_outward(kTunedKeyReach, [&](int key) {
        if (key_sounds_tuned(key) || key_just_silenced(key)) return;
        if (found < 0 || key_silent_since_[static_cast<std::size_t>(key)] <
                             key_silent_since_[static_cast<std::size_t>(found)]) {
            found = key;
        }
    });
    if (found >= 0) return found;
    for (const bool take_just_silenced : {false, true}) {
        each_key_outward(127, [&](int key) {
            if (found < 0 && !key_sounds_tuned(key) && (take_just_silenced || !key_just_silenced(key))) found = key;
        });
    }
    return found;
}

// The lower zone: channel 1 manages, the members follow it. Channel 10 stays the drums' (as
// General MIDI synthesizers have it), so members skip it.
bool ChannelVoices::is_member_channel(int channel) const {
    const int members = std::clamp(settings_.mpe_member_channels, 1, kMpeMostMembers);
    return channel > kManagerChannel && channel <= members && channel != kPercussionChannel;
}

// The least recently used silent member; when every member sounds, the one used longest ago.
int ChannelVoices::member_for_note() const {
    int silent = -1;
    int any = -1;
    for (int c = 0; c < kMidiChannels; ++c) {
        if (!is_member_channel(c)) continue;
        const auto used = channel_used_at_[index(c)];
        if (any < 0 || used < channel_used_at_[index(any)]) any = c;
        if (channels_[index(c)].notes_on == 0 && (silent < 0 || used < channel_used_at_[index(silent)])) silent = c;
    }
    return silent >= 0 ? silent : any;
}

// With every member sounding, the note sounding longest makes room; but one that began this
// very moment is not cut to nothing: the new note is left out instead.
ChannelVoices::TunedPlace ChannelVoices::place_on_member_channel(int voice, double pitch) {
    const int member = member_for_note();
    if (member < 0) return {};
    std::int64_t& started_ms = member_started_ms_[index(member)];
    if (channels_[index(member)].notes_on > 0 && started_ms == clock_.now_ms()) return {};
    started_ms = clock_.now_ms();
    end_channel_notes(member);
    const auto key = static_cast<int>(std::lround(std::clamp(pitch, 0.0, 127.0)));
    // Beyond the keys, the bend takes up the rest as far as it reaches.
    const double semitones = std::clamp(pitch - key, -1.0 * kMpeBendRangeSemitones, 1.0 * kMpeBendRangeSemitones);
    const double steps = semitones * bend_steps_per_semitone(member);
    const int bend = std::clamp(static_cast<int>(std::lround(platform::kBendCentre + steps)), 0, platform::kBendHighest);
    sync_program(member, voice, program_of_voice(voice), false);
    ChannelState& cs = channels_[index(member)];
    if (cs.bend != bend) send(platform::pitch_bend(member, bend));
    cs.bend = bend;
    cs.voice = voice;
    voices_[index(voice)].channel = member;
    channel_used_at_[index(member)] = ++use_count_;
    return {member, key, bend};
}

// An MPE synthesizer plays the zone with the manager channel's instrument: the first voice's
// in play. Each member also gets the program of the voice whose note it plays, so that a
// General MIDI synthesizer plays every voice with its own.
void ChannelVoices::give_zone_its_instrument() {
    const ChannelsInPlay playing = composition_.channels_in_play();
    for (const int voice : playing.list()) {
        const int program = program_of_voice(voice);
        if (program < 0 || program > 127) continue;
        send(platform::program_change(kManagerChannel, program));
        channels_[index(kManagerChannel)].program = program;
        return;
    }
}

int ChannelVoices::bend_range_of(int channel) const {
    const bool member = settings_.tuning_output == TuningOutput::mpe && is_member_channel(channel);
    return member ? kMpeBendRangeSemitones : platform::kBendRangeSemitones;
}

double ChannelVoices::bend_steps_per_semitone(int channel) const {
    return static_cast<double>(platform::kBendCentre) / bend_range_of(channel);
}

void ChannelVoices::end_note(SoundingNote note) {
    if (!note.valid() || !key_sounds(note.channel, note.key)) return;
    if (key_serial_[index(note.channel)][static_cast<std::size_t>(note.key)] != note.serial) return;
    release_note(note.channel, note.key, 127);
}

void ChannelVoices::end_channel_notes(int channel) {
    if (!valid_channel(channel)) return;
    for (int key = 0; key < 128 && channels_[index(channel)].notes_on > 0; ++key) {
        if (key_sounds(channel, key)) release_note(channel, key, 127);
    }
}

void ChannelVoices::end_voice_notes(int voice) {
    if (voice < 0 || voice >= kMidiChannels) return;
    const int program = program_of_voice(voice);
    if (program > kNoNote) {  // a drum: its key on the percussion channel
        if (key_sounds(kPercussionChannel, program - kNoNote)) release_note(kPercussionChannel, program - kNoNote, 127);
        return;
    }
    if (settings_.tuning_output == TuningOutput::mpe) {  // its notes may sound on several members
        for (int c = 0; c < kMidiChannels; ++c) {
            if (is_member_channel(c) && channels_[index(c)].voice == voice) end_channel_notes(c);
        }
        return;
    }
    const int channel = voices_[index(voice)].channel;
    if (channels_[index(channel)].voice == voice) end_channel_notes(channel);
}

platform::SendResult ChannelVoices::note_off(int channel, int voice, int octave, int note, int velocity) {
    note += kOctave * octave;
    if (velocity < 0 || velocity > 127) return platform::SendResult::nothing_done;
    if (voice >= 0 && voice < kMidiChannels) {
        apply_range(note, voice);
        const int program = program_of_voice(voice);
        if (program > kNoNote) {
            note = program - kNoNote;
            channel = kPercussionChannel;
        }
    }
    if (!valid_channel(channel)) return platform::SendResult::nothing_done;
    // With legato the next note-on stops the previous note, so the bookkeeping stays too.
    if (settings_.legato && channel != kPercussionChannel) return platform::SendResult::nothing_done;
    return release_note(channel, note, velocity);
}

// Sends the note-off of a key the bookkeeping knows to sound, and forgets it. A note-off
// with velocity 127 goes out as a note-on with velocity 0, as the receiver takes both alike.
platform::SendResult ChannelVoices::release_note(int channel, int note, int velocity) {
    ChannelState& cs = channels_[index(channel)];
    const bool sounds = key_sounds(channel, note);
    platform::SendResult result = platform::SendResult::nothing_done;
    if (sounds && note != cs.shifted_note) {
        const auto message = velocity == 127 ? platform::note_on(channel, note, 0) : platform::note_off(channel, note, velocity);
        result = platform::SendResult::sent;
        if (!(batch_note_offs_ && queue(message))) result = send(message);
    }
    if (cs.shifted_note >= 0 && channel != kPercussionChannel) {
        send(platform::note_off(channel, cs.shifted_note, velocity));
        cs.shifted_note = -1;
    }
    if (sounds) forget_key(channel, note);
    return result;
}

// The key no longer sounds on the channel; the channel's sounding note becomes one of the
// keys still sounding there, if any.
void ChannelVoices::forget_key(int channel, int key) {
    ChannelState& cs = channels_[index(channel)];
    note_channels_[static_cast<std::size_t>(key)] &= static_cast<std::uint16_t>(~(1u << channel));
    cs.notes_on = std::max(cs.notes_on - 1, 0);
    if (tunes_each_note()) note_silence(channel, key);
    if (cs.sounding_note != key) return;
    cs.sounding_note = -1;
    for (int other = 0; other < 128 && cs.notes_on > 0; ++other) {
        if (key_sounds(channel, other)) {
            cs.sounding_note = other;
            break;
        }
    }
    if (cs.sounding_note < 0) cs.sounding_velocity = 0;
}

platform::SendResult ChannelVoices::note_off_for_voice(int voice, int octave, int note, int velocity) {
    if (voice < 0 || voice >= kMidiChannels) return platform::SendResult::nothing_done;
    return note_off(voices_[index(voice)].channel, voice, octave, note, velocity);
}

bool ChannelVoices::same_effects(int channel_voice, int voice) const {
    const auto a = index(channel_voice);
    const auto b = index(voice);
    const Composition& c = composition_;
    return c.iPortamento[a] == c.iPortamento[b] && c.iVibrato[a] == c.iVibrato[b] &&
           c.dVibrato_freq[a] == c.dVibrato_freq[b] && c.dVibrato_amp[a] == c.dVibrato_amp[b];
}

std::uint16_t ChannelVoices::in_play_mask() const {
    const ChannelsInPlay playing = composition_.channels_in_play();
    std::uint16_t mask = 0;
    for (const int c : playing.list()) mask = static_cast<std::uint16_t>(mask | 1u << index(c));
    return mask;
}

// Where the voice's next note at `bend` goes. A channel is given a new bend only when no
// note sounds on it and it did not play the voice's last note (whose release still rings).
ChannelVoices::ChannelForBend ChannelVoices::find_channel_for_bend(int voice, int bend) const {
    const int program = program_of_voice(voice);
    const ChannelState& own = channels_[index(voice)];
    const bool own_unbent = own.program < 0 && own.notes_on == 0;  // a fresh start
    if (own_unbent || own.bend == bend || program >= kNoNote) {
        return {voice, program < kNoNote && own.program != program, false};
    }
    const std::uint16_t playing = in_play_mask();
    const auto in_play = [playing](int c) { return (playing & (1u << c)) != 0; };
    for (int c = 0; c < kMidiChannels; ++c) {  // a spare channel of the voice already at this bend
        const ChannelState& cs = channels_[index(c)];
        if (c == kPercussionChannel || c == voice || in_play(c) || cs.voice != voice || cs.bend != bend ||
            !same_effects(c, voice)) {
            continue;
        }
        return {c, cs.program != program, false};
    }
    for (int c = 0; c < kMidiChannels; ++c) {
        const ChannelState& cs = channels_[index(c)];
        if (c == kPercussionChannel || cs.notes_on > 0 || cs.last_note >= 0) continue;
        const int composed = composition_.Voices_for_channels[index(c)];
        const bool spare = !in_play(c);
        if (spare || c == voice || composed < 0 || composed > 127) return {c, cs.program != program, false};
    }
    return {voice, false, true};
}

// With no channel free for the bend, the notes still sounding on the voice's channel end
// first: a held note cut short is better than a held note put out of tune.
void ChannelVoices::set_voice_bend(int voice, int bend, bool all_sound_off_allowed) {
    if (voice < 0 || voice >= kMidiChannels || voice == kPercussionChannel) return;
    ChannelForBend choice{voice, channels_[index(voice)].program != program_of_voice(voice), false};
    if (settings_.change_channels_for_pitch_bends) choice = find_channel_for_bend(voice, bend);
    if (channels_[index(choice.channel)].bend != bend) end_channel_notes(choice.channel);
    voices_[index(voice)].channel = choice.channel;
    send_bend(choice.channel, voice, bend, choice.program_change_needed, all_sound_off_allowed);
}

void ChannelVoices::send_bend(int channel, int voice, int bend, bool program_change_needed,
                              bool all_sound_off_allowed) {
    if (!valid_channel(channel)) return;
    if (program_change_needed) sync_program(channel, voice, program_of_voice(voice), false);
    ChannelState& cs = channels_[index(channel)];
    if (!cs.bend_range_sent) send_bend_range(channel, bend_range_of(channel), 0);
    if (cs.bend != bend) {
        if (settings_.all_sound_off_before_pitch_bends && all_sound_off_allowed) {
            send(platform::all_sound_off(channel));
        }
        send(platform::pitch_bend(channel, bend));
    }
    cs.voice = voice;
    cs.bend = bend;
}

void ChannelVoices::send_bend_range(int channel, int semitones, int cents) {
    send_all(platform::bend_range(channel, semitones, cents));
    channels_[index(channel)].bend_range_sent = true;
}

void ChannelVoices::send_program(int channel, int voice, int program) {
    if (program < 0 || program > 127 || !valid_channel(channel)) return;
    const auto give_program = [&](int c) {
        ChannelState& cs = channels_[index(c)];
        if (cs.program == program && same_effects(cs.voice, voice)) return;
        send(platform::program_change(c, program));
        cs.program = program;
        apply_effects(c, voice, Effects::all);
    };
    give_program(channel);
    // An MPE zone's manager keeps the zone's instrument.
    const bool zone = settings_.tuning_output == TuningOutput::mpe;
    for (int c = 0; c < kMidiChannels; ++c) {
        if (c != channel && channels_[index(c)].voice == voice && channels_[index(c)].program != program &&
            !(zone && c == kManagerChannel)) {
            give_program(c);
        }
    }
}

void ChannelVoices::sync_program(int channel, int voice, int program, bool force) {
    if (!valid_channel(channel)) return;
    ChannelState& cs = channels_[index(channel)];
    if (force || cs.program != program || !same_effects(cs.voice, voice)) {
        send_program(channel, voice, program);
    } else {
        cs.program = program;
    }
}

void ChannelVoices::apply_effects(int channel, int voice, Effects what) {
    if (!valid_channel(channel) || voice < 0 || voice >= kMidiChannels) return;
    ChannelState& cs = channels_[index(channel)];
    const auto v = index(voice);
    if (what == Effects::all || what == Effects::portamento) {
        const int slide = composition_.iPortamento_slide_time[v];
        if (composition_.iPortamento[v] != 0 && cs.portamento_time_sent != slide) {
            send(platform::control_change(channel, controller::kPortamentoTime, slide));
            cs.portamento_time_sent = slide;
        }
    }
    if (what == Effects::all || what == Effects::vibrato) {
        const bool vibrato = composition_.iVibrato[v] != 0;
        if (vibrato && composition_.dVibrato_freq[v] > 0) {
            ensure_vibrato_thread();
        } else if (!vibrato && (cs.modulation_sent != 0 || cs.tremolo_sent != 0)) {
            send(platform::control_change(channel, controller::kModulationWheel, 0));
            send(platform::control_change(channel, controller::kModulationWheelFine, 0));
            send(platform::control_change(channel, controller::kTremoloDepth, 0));
            cs.modulation_sent = cs.tremolo_sent = 0;
        } else if (vibrato) {
            const int modulation = static_cast<int>(composition_.dVibrato_amp[v] * 0.01 * 127);
            const int depth = static_cast<int>(composition_.dVibrato_vol_amp[v] * 0.01 * 127);
            if (modulation != cs.modulation_sent || depth != cs.tremolo_sent) {
                send(platform::control_change(channel, controller::kModulationWheel, modulation));
                send(platform::control_change(channel, controller::kModulationWheelFine, modulation));
                send(platform::control_change(channel, controller::kTremoloDepth, depth));
                cs.modulation_sent = modulation;
                cs.tremolo_sent = depth;
            }
        }
    }
}

void ChannelVoices::apply_effects_for_voice(int voice, Effects what, bool every_channel) {
    for (int c = 0; c < kMidiChannels; ++c) {
        if (every_channel || channels_[index(c)].voice == voice) apply_effects(c, voice, what);
    }
}

void ChannelVoices::reset_channel(int channel) {
    channels_[index(channel)] = ChannelState{};
    channels_[index(channel)].voice = channel;
    for (auto& channels : note_channels_) channels = static_cast<std::uint16_t>(channels & ~(1u << index(channel)));
}

void ChannelVoices::reset_voices() {
    for (int i = 0; i < kMidiChannels; ++i) {
        reset_channel(i);
        voices_[index(i)] = VoiceState{};
        voices_[index(i)].channel = i;
    }
    queue_.fill(Deferred{});
    queued_ = 0;
    key_tuning_.fill(KeyTuning{});
    key_silent_since_.fill(0);
    channel_used_at_.fill(0);
    use_count_ = 0;
}

void ChannelVoices::start_voices() {
    reset_voices();
    prepare_tuning();
    prepare_channels();
}

// MPE declares its zone, gives it its instrument and its members their bend range; with the
// tuning standard every tuned channel plays tuning program 0, which single-note changes then
// retune key by key (a receiver just opened holds none of the keys' earlier tunings).
void ChannelVoices::prepare_tuning() {
    switch (settings_.tuning_output) {
        case TuningOutput::mpe:
            send_all(platform::mpe_configuration(kManagerChannel,
                                                 std::clamp(settings_.mpe_member_channels, 1, kMpeMostMembers)));
            give_zone_its_instrument();
            for (int c = 0; c < kMidiChannels; ++c) {
                if (is_member_channel(c)) send_bend_range(c, kMpeBendRangeSemitones, 0);
            }
            break;
        case TuningOutput::mts:
            for (int c = 0; c < kMidiChannels; ++c) {
                if (c != kPercussionChannel) send_all(platform::tuning_program_select(c, kTuningBank, kTuningProgram));
            }
            key_tuning_.fill(KeyTuning{});
            break;
        case TuningOutput::bend:
            break;
    }
}

// Full expression on every channel, and the bend range where it has not been sent.
void ChannelVoices::prepare_channels() {
    for (int c = 0; c < kMidiChannels; ++c) send(platform::control_change(c, controller::kExpression, 127));
    for (int c = 0; c < kMidiChannels; ++c) {
        if (!channels_[index(c)].bend_range_sent) send_bend_range(c, bend_range_of(c), 0);
    }
    if (any_bend_vibrato()) ensure_vibrato_thread();
}

void ChannelVoices::restart_voices() {
    for (int v = 0; v < kMidiChannels; ++v) {  // a voice still sounding stays where it sounds
        if (channels_[index(voices_[index(v)].channel)].notes_on > 0) continue;
        voices_[index(v)] = VoiceState{};
        voices_[index(v)].channel = v;
    }
    for (int c = 0; c < kMidiChannels; ++c) {
        if (channels_[index(c)].notes_on == 0) reset_channel(c);
    }
    prepare_channels();
}

void ChannelVoices::forget_channel_notes(int channel) {
    const auto bit = static_cast<std::uint16_t>(1u << index(channel));
    for (auto& channels : note_channels_) channels = static_cast<std::uint16_t>(channels & ~bit);
    ChannelState& cs = channels_[index(channel)];
    cs.sounding_note = -1;
    cs.sounding_velocity = 0;
    cs.notes_on = 0;
}

void ChannelVoices::all_notes_off() {
    for (int note = 0; note < 128; ++note) {
        for (int c = 0; c < kMidiChannels; ++c) {
            if (key_sounds(c, note)) release_note(c, note, 127);
        }
    }
    for (int c = 0; c < kMidiChannels; ++c) forget_channel_notes(c);
    clear_sustain_ring();
}

void ChannelVoices::set_batching(bool note_ons, bool note_offs) {
    batch_note_ons_ = note_ons;
    batch_note_offs_ = note_offs;
}

void ChannelVoices::flush_queue(std::uint8_t status) {
    // Note-offs first, each as a note-on of velocity 0, then the note-ons.
    for (auto& d : queue_) {
        if (!d.pending || !platform::is_note_off(d.message) || (status != 0 && d.message.status != status)) continue;
        send(platform::note_on(d.message.channel, d.message.data1, 0));
        d.pending = false;
    }
    for (auto& d : queue_) {
        if (!d.pending || (status != 0 && d.message.status != status)) continue;
        send(d.message);
        d.pending = false;
    }
    const bool any_left = std::any_of(queue_.begin(), queue_.end(), [](const Deferred& d) { return d.pending; });
    if (!any_left) queued_ = 0;
}

bool ChannelVoices::has_bend_vibrato(int voice) const {
    const auto v = index(voice);
    return composition_.iVibrato[v] != 0 && composition_.dVibrato_freq[v] > 0;
}

bool ChannelVoices::channel_has_bend_vibrato(int channel) const {
    const int voice = channels_[index(channel)].voice;
    return voice != kPercussionChannel && has_bend_vibrato(voice) && composition_.dVibrato_amp[index(voice)] > 0;
}

bool ChannelVoices::any_bend_vibrato() const {
    for (int v = 0; v < kMidiChannels; ++v) {
        if (v != kPercussionChannel && has_bend_vibrato(v)) return true;
    }
    return false;
}

// Each channel's phase runs from its own note's start.
void ChannelVoices::pitch_bend_vibrato_step() {
    const std::int64_t now = clock_.now_ms();
    for (int c = 0; c < kMidiChannels; ++c) {
        ChannelState& cs = channels_[index(c)];
        const int voice = cs.voice;
        if (voice == kPercussionChannel || !has_bend_vibrato(voice) || cs.program < 0) continue;
        const auto v = index(voice);
        const double frequency = composition_.dVibrato_freq[v];
        const double t = static_cast<double>(now - cs.note_start_ms) / 1000.0;
        const double phase = 2.0 * std::numbers::pi * frequency * t;
        const double volume_percent = composition_.dVibrato_vol_amp[v];
        if (volume_percent != 0 && valid_note(cs.sounding_note)) {
            const double factor = 1.0 - (std::cos(phase) + 1.0) / 2.0 * volume_percent / 100.0;
            send(platform::control_change(c, controller::kExpression, std::clamp(static_cast<int>(factor * 127), 2, 127)));
        }
        const double offset = frequency <= 1e-10 ? 0.0 : std::sin(phase) * composition_.dVibrato_amp[v];
        // The amplitude is a percentage of two semitones (the bend's whole half range, unless
        // an MPE member's range is wider).
        const double base = cs.bend < 0 ? static_cast<double>(platform::kBendCentre) : cs.bend;
        const double steps = bend_steps_per_semitone(c) * platform::kBendRangeSemitones / 100.0 * offset;
        send(platform::pitch_bend(c, platform::bend_to_send(base + steps)));
    }
}

void ChannelVoices::ensure_vibrato_thread() {
    if (rendering_) return;
    {
        std::lock_guard guard(vibrato_mutex_);
        vibrato_wanted_ = true;
        if (!vibrato_thread_.joinable()) {
            vibrato_thread_ = std::thread([this] { vibrato_loop(); });
        }
    }
    vibrato_wake_.notify_one();
}

// Runs the vibrato while any voice has it; otherwise sleeps until woken.
void ChannelVoices::vibrato_loop() {
    std::unique_lock lock(vibrato_mutex_);
    bool still_wanted = false;
    while (!vibrato_quit_) {
        vibrato_wake_.wait(lock, [this] { return vibrato_quit_ || vibrato_wanted_; });
        if (vibrato_quit_) break;
        lock.unlock();
        {
            const platform::SendGroup group(sender_);
            still_wanted = any_bend_vibrato();
            pitch_bend_vibrato_step();
        }
        lock.lock();
        if (!still_wanted) {
            vibrato_wanted_ = false;
            continue;
        }
        const auto step = std::chrono::duration<double, std::milli>(std::max(settings_.dtime_step_for_pitch_bend_vibrato, 1.0));
        vibrato_wake_.wait_for(lock, step, [this] { return vibrato_quit_; });
    }
}

// The ring holds the notes that sound on by Sustain: each step puts its note in (a rest
// puts in nothing, but takes its place all the same) and ends the note that falls out.
void ChannelVoices::stop_note_from_player(SoundingNote note, bool forced, int sustain_slots) {
    const bool one_note_per_channel = composition_.formula_with_one_note_per_channel();
    const int ring_length = std::clamp(sustain_slots - 1, 0, kSustainRingSize - 1);
    // Notes beyond a ring that has shrunk end at once.
    for (int i = ring_length; i < ring_length_; ++i) {
        end_note(ring_[static_cast<std::size_t>(i)]);
        ring_[static_cast<std::size_t>(i)] = SoundingNote{};
    }
    ring_length_ = ring_length;
    if ((composition_.Sustain <= 1.00001 && note.valid()) || forced || ring_length == 0) {
        if (!one_note_per_channel) end_note(note);
        return;
    }
    SoundingNote& slot = ring_[static_cast<std::size_t>(ring_next_ % ring_length)];
    end_note(slot);
    slot = note;
    // Counts on past the ring's length so that a ring that grows keeps its order.
    ring_next_ = (ring_next_ + 1) % (ring_length * 1000);
}

void ChannelVoices::clear_sustain_ring() {
    ring_.fill(SoundingNote{});
    ring_next_ = 0;
    ring_length_ = 0;
}

}  // namespace corvane::engine
