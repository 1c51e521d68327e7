#include "corvane/midi/midi_in_play.h"

#include <algorithm>
#include <cmath>

#include "corvane/engine/degree_mapping.h"
#include "corvane/platform/priority.h"

namespace corvane::midi {
namespace {

using platform::kChannelPressure;
using platform::kKeyPressure;
using platform::kActiveSensing;
using platform::kSystemMessage;
using platform::kBendCentre;
constexpr double kModulationScale = 100.0 / 127.0;
constexpr int kMidiInModeSlot = 6;  // the arpeggio direction state kept for MIDI in
constexpr int kOctaveKeys = 12;

int floor_div(int a, int b) { return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0); }
int floor_mod(int a, int b) { return a - floor_div(a, b) * b; }

std::size_t at(int note) { return static_cast<std::size_t>(note & 127); }

// The index of a key counted in keys of the pattern from C of octave 0; a key outside the
// pattern counts as the pattern key below it.
int key_index(int note, const KeyPattern& pattern, int keys_per_octave) {
    int in_octave = -1;
    for (int k = 0; k <= note % kOctaveKeys; ++k) in_octave += pattern[static_cast<std::size_t>(k)] ? 1 : 0;
    return note / kOctaveKeys * keys_per_octave + in_octave;
}

}  // namespace

MidiInPlay::MidiInPlay(Playback& playback, engine::Composition& composition, PlayAlongSettings& settings,
                       PlayAlongRecorder& recorder, const platform::Clock& clock)
    : playback_(playback), composition_(composition), settings_(settings), recorder_(recorder), clock_(clock) {}

void MidiInPlay::on_input_opened() {
    auto group = playback_.port().hold_group();
    sounding_.fill({});
    sustain_pedal_down_ = false;
}

void MidiInPlay::on_short_message(std::uint32_t message) {
    const auto status = static_cast<std::uint8_t>(message & 0xFF);
    const auto data1 = static_cast<std::uint8_t>((message >> 8) & 0x7F);
    const auto data2 = static_cast<std::uint8_t>((message >> 16) & 0x7F);
    follow_priority_level();
    arrival_ = platform::DueTime{clock_.now_us()};
    last_event_ms_.store(arrival_.us / 1000);
    const Options options = options_for(status);
    if (!options.channel_on) return;
    handle(status, data1, data2, options);
}

MidiInPlay::Options MidiInPlay::options_for(std::uint8_t status) const {
    const auto group = playback_.port().hold_group();
    const PlayAlongSettings& s = settings_;
    return {.channel_on = status >= kSystemMessage || s.OkMidiInChannel[status & 0x0F] != 0,
            .ignore_pitch_bends = s.ignore_pitch_bends,
            .open_out_on_event = s.open_midi_out_on_midi_in_event,
            .use = s.iMidiInFor,
            .recording_enabled = s.enable_play_along_recording,
            .record_note = s.nStartRecordingToMidi,
            .end_seed = s.nEndSeed,
            .clear_seed = s.nClearSeed,
            .apply_seed = s.nApplySeed,
            .play_seed = s.nPlaySeed};
}

// Sets the driver thread's priority when the level asks for a change (once per change).
void MidiInPlay::follow_priority_level() {
    const int level = priority_level_.load();
    const bool time_critical = level == 3 || level == 5;
    if (thread_time_critical_ == time_critical) return;
    platform::set_current_thread_priority(time_critical ? platform::ThreadPriority::time_critical
                                                        : platform::ThreadPriority::normal);
    thread_time_critical_ = time_critical;
}

void MidiInPlay::handle(std::uint8_t status, std::uint8_t data1, std::uint8_t data2, const Options& options) {
    const auto kind = static_cast<std::uint8_t>(status & 0xF0);
    if (kind == kNoteOn || kind == kNoteOff) {
        const bool pressed = kind == kNoteOn && data2 > 0;
        open_output_for_note(options);
        if (pressed && listener_ != nullptr && listener_->capture_note(data1)) return;
        if (control_note(data1, pressed, options)) return;
        if (pressed) {
            note_on(data1, data2);
        } else {
            note_off(data1, kind == kNoteOff ? 127 : volume_.load());
        }
        return;
    }
    if (kind == kControlChange) return control_change(data1, data2);
    if (kind == kPitchBend) return pitch_wheel(options.ignore_pitch_bends ? kBendCentre : data2 << 7 | data1);
    if (kind == kSystemMessage) {
        pass_through(status, data1, data2, 2);
        if (status == kActiveSensing && listener_ != nullptr) listener_->active_sensing();
        return;
    }
    if (kind == kKeyPressure) return pass_through(kind, data1, data2, 2);
    if (kind == kProgramChange || kind == kChannelPressure) return pass_through(kind, data1, 0, 1);
}

// A note arriving with nothing playing opens the output, and records that MIDI in holds it.
void MidiInPlay::open_output_for_note(const Options& options) {
    MidiOutPort& port = playback_.port();
    if (!options.open_out_on_event || port.opening()) return;
    const bool held = port.held_open();
    if (!held && port.open() == OpenResult::failed) return;
    port.set_open_reason(OpenReason::midi_in, true);
}

// The recording and New Seed control notes: true when the note was one (it is not played).
bool MidiInPlay::control_note(int note, bool pressed, const Options& options) {
    const int use = options.use;
    if ((use == kMidiInForPlayAlong || use == kMidiInForPlayAlongToo) && options.recording_enabled &&
        note == options.record_note) {
        if (pressed) {
            if (recorder_.requested()) {
                recorder_.stop();
            } else {
                recorder_.start(control_note_caption(note));
            }
        }
        if (listener_ != nullptr) listener_->record_button(pressed);
        return true;
    }
    if (use != kMidiInForNewSeed) return false;
    SeedButton button{};
    if (note == options.end_seed) {
        button = SeedButton::end_seed;
    } else if (note == options.clear_seed) {
        button = SeedButton::clear;
        if (pressed) {
            auto group = playback_.port().hold_group(arrival_);
            playback_.voices().all_notes_off();
        }
    } else if (note == options.apply_seed) {
        button = SeedButton::apply;
    } else if (note == options.play_seed) {
        button = SeedButton::play;
        const auto group = playback_.port().hold_group(arrival_);
        if (pressed) saved_sas_mouse_activated_ = settings_.sas_mouse_activated;
        settings_.sas_mouse_activated = pressed ? false : saved_sas_mouse_activated_;
    } else {
        return false;
    }
    if (listener_ != nullptr) listener_->seed_button(button, pressed);
    return true;
}

int MidiInPlay::scale_position(int note) const {
    const MidiInTable& voices = settings_.iVoiceChannelForMidiInNote;
    int low = note;
    while (low > 0 && voices[at(low - 1)] == voices[at(note)]) --low;
    int high = note;
    while (high < kMidiInNotes - 1 && voices[at(high + 1)] == voices[at(note)]) ++high;
    const int first_in_range = settings_.n1stMidiInNoteForVoiceChannel;
    const int first = first_in_range >= low && first_in_range <= high ? first_in_range : low;

    const KeyPattern& pattern = settings_.key_pattern;
    const int keys = static_cast<int>(std::count(pattern.begin(), pattern.end(), true));
    if (keys == 0) return note - first;
    const int position = key_index(note, pattern, keys) - key_index(first, pattern, keys);
    const int per_cycle = composition_.Use_ratios ? static_cast<int>(composition_.Intervals.size())
                                                  : composition_.Arpeggio.ascending_last;
    if (!settings_.start_at_same_note_for_sa_repeat || per_cycle <= 0 || per_cycle % keys == 0) return position;
    return floor_div(position, keys) * per_cycle + floor_mod(position, keys);
}

int MidiInPlay::velocity_for(int voice, int input_velocity) const {
    const long long product = static_cast<long long>(volume_.load()) * input_velocity *
                              composition_.Volumes_for_channels[static_cast<std::size_t>(voice)];
    return std::clamp(static_cast<int>(product / (127 * 127)), 1, 127);
}

void MidiInPlay::set_keyboard_mapping(std::optional<tuning::KeyboardMapping> mapping) {
    {
        auto group = playback_.port().hold_group();
        keyboard_mapping_.swap(mapping);
    }
    // The mapping replaced is freed here, outside the lock.
}

void MidiInPlay::note_on(int note, int input_velocity) {
    auto group = playback_.port().hold_group(arrival_);
    if (sounding_[at(note)].on) release(note, 127);
    const int voice = std::clamp(settings_.iVoiceChannelForMidiInNote[at(note)], 0, kMidiChannels - 1);
    const int velocity = velocity_for(voice, input_velocity);
    MidiInNote played{.input_note = note, .voice = voice, .velocity = velocity};
    const int percussion = settings_.iNonMelodicPercussionForMidiInNote[at(note)];
    if (keyboard_mapping_) {
        // A key the mapping leaves out sounds nothing.
        const auto pitch = engine::pitch_of_mapped_key(*keyboard_mapping_, composition_, note);
        if (!pitch || !sound_pitch(note, voice, velocity, *pitch, played)) return;
    } else if (percussion != kNoPercussion) {
        played.channel = engine::kPercussionChannel;
        played.note = std::clamp(percussion, 0, 127);
        played.midi_pitch = played.note;
        playback_.port().send(platform::note_on(played.channel, played.note, velocity));
        sounding_[at(note)] = {true, -1, played.channel, played.note, velocity, false};
    } else {
        const int position = settings_.iModeForMidiInNotes[at(note)] != kNoFixedAssignment
                                 ? settings_.iScalePosForMidiInNote[at(note)]
                                 : scale_position(note);
        const engine::ValuePitch pitch = engine::pitch_of_value(position, composition_, mode_voices_, kMidiInModeSlot);
        if (!sound_pitch(note, voice, velocity, pitch, played)) return;
    }
    play_along_voice_ = voice;
    play_along_channel_ = played.channel;
    if (listener_ != nullptr) listener_->note_played(played);
}

// Sounds an input note's pitch on its voice: tuned note by note when the tuning output does
// that, otherwise by the voice's bend on the channel it chooses. False when nothing sounded.
bool MidiInPlay::sound_pitch(int note, int voice, int velocity, const engine::ValuePitch& pitch,
                             MidiInNote& played) {
    engine::ChannelVoices& voices = playback_.voices();
    played.midi_pitch = pitch.midi_pitch;
    if (voices.tunes_each_note()) {
        const engine::SoundingNote tuned = voices.sound_tuned_pitch(voice, pitch.midi_pitch, velocity);
        if (!tuned.valid()) return false;
        played.channel = tuned.channel;
        played.note = tuned.key;
        sounding_[at(note)] = {true, voice, tuned.channel, tuned.key, velocity, false, tuned};
        return true;
    }
    voices.set_voice_bend(voice, pitch.note_and_bend.bend, false);
    played.note = pitch.note_and_bend.note;
    played.bend = pitch.note_and_bend.bend;
    const bool percussion_voice = composition_.Voices_for_channels[static_cast<std::size_t>(voice)] > engine::kNoNote;
    played.channel = percussion_voice ? engine::kPercussionChannel : voices.channel_of_voice(voice);
    voices.note_on(played.channel, voice, 0, played.note, velocity);
    sounding_[at(note)] = {true, voice, played.channel, played.note, velocity, false};
    return true;
}

void MidiInPlay::note_off(int note, int off_velocity) {
    auto group = playback_.port().hold_group(arrival_);
    Sounding& s = sounding_[at(note)];
    if (!s.on) return;
    if (sustain_pedal_down_) {
        s.held_by_pedal = true;
        return;
    }
    release(note, off_velocity);
}

// Ends the output note of an input note, unless another input note sounds it too.
void MidiInPlay::release(int note, int off_velocity) {
    Sounding& s = sounding_[at(note)];
    s.on = false;
    if (s.tuned.valid()) {
        playback_.voices().end_note(s.tuned);  // a tuned note is never shared
    } else if (output_note_shared(note)) {
        return;
    } else if (s.voice < 0) {
        playback_.port().send(platform::note_off(s.channel, s.note, off_velocity));
    } else {
        playback_.voices().note_off(s.channel, s.voice, 0, s.note, off_velocity);
    }
    s = {};
}

bool MidiInPlay::output_note_shared(int note) const {
    const Sounding& s = sounding_[at(note)];
    for (int other = 0; other < kMidiInNotes; ++other) {
        const Sounding& o = sounding_[at(other)];
        if (other != note && o.on && !o.tuned.valid() && o.voice == s.voice && o.note == s.note &&
            o.channel == s.channel) {
            return true;
        }
    }
    return false;
}

void MidiInPlay::control_change(int controller, int value) {
    auto group = playback_.port().hold_group(arrival_);
    const auto voice = static_cast<std::size_t>(play_along_voice_);
    if (controller == platform::controller::kModulationWheel) {
        composition_.dVibrato_amp[voice] = value * kModulationScale;
        if (value != 0) composition_.iVibrato[voice] = 1;
        // The play-along voice's channels only: the tune's voices keep their own vibrato.
        playback_.voices().apply_effects_for_voice(play_along_voice_, engine::Effects::vibrato, false);
    } else if (controller == platform::controller::kVolume) {
        composition_.Volumes_for_channels[voice] = value;
    } else if (controller == platform::controller::kSustainPedal) {
        const bool was_down = sustain_pedal_down_;
        sustain_pedal_down_ = value > 63;
        if (was_down && !sustain_pedal_down_) release_pedal();
    } else {
        pass_through(kControlChange, static_cast<std::uint8_t>(controller), static_cast<std::uint8_t>(value), 2);
    }
}

void MidiInPlay::release_pedal() {
    for (int note = 0; note < kMidiInNotes; ++note) {
        Sounding& s = sounding_[at(note)];
        if (s.held_by_pedal) {
            s.held_by_pedal = false;
            release(note, 127);
        }
    }
}

// The wheel retunes the composition by up to a semitone each way and moves the sounding
// notes with it, by their bend alone where that reaches.
void MidiInPlay::pitch_wheel(int value) {
    if (value == last_pitch_wheel_) return;
    const double semitones = static_cast<double>(value - last_pitch_wheel_) / kBendCentre;
    {
        auto group = playback_.port().hold_group(arrival_);
        composition_.Frequency_of_lowest_note *= std::exp2(semitones / 12.0);
        playback_.shift_sounding_notes(semitones, true);
    }
    last_pitch_wheel_ = value;
    if (listener_ != nullptr) listener_->tuning_changed();
}

void MidiInPlay::pass_through(std::uint8_t kind, std::uint8_t data1, std::uint8_t data2, std::uint8_t length) {
    // System messages keep their whole status byte: the low nibble travels as the channel.
    const bool system = kind >= kSystemMessage;
    const auto channel = static_cast<std::uint8_t>(system ? kind & 0x0F : play_along_channel_);
    playback_.port().send({static_cast<std::uint8_t>(kind & 0xF0), channel, data1, data2, length, false});
}

}  // namespace corvane::midi
