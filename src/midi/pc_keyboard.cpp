#include "corvane/midi/pc_keyboard.h"

#include <algorithm>
#include <cmath>

#include "corvane/engine/degree_mapping.h"
#include "corvane/tuning/pitch_mapping.h"

namespace corvane::midi {
namespace {

constexpr int kKeysPerRow = 12;
constexpr int kDegreeZeroKey = 24;      // the key of "A": degree 0
constexpr int kSingleKeyChannel = 14;   // every key on one channel (iPitchesForPCKeyboardRows 3)
constexpr int kOneChannelSetting = 3;
constexpr int kPcKeyModeSlot = 5;
constexpr double kKeyDownHold = 2.0;
constexpr double kHeldThreshold = 0.00001;
constexpr std::int64_t kSilenceWaitMs = 100;

}  // namespace

std::optional<int> pc_key_number(int scan_code, bool key_1_for_degree_1) {
    if (scan_code == kScanLeftOfOne) return key_1_for_degree_1 ? std::optional<int>(0) : std::nullopt;
    if (scan_code == kScanLeftShift || scan_code > kLastNoteScan) return std::nullopt;
    if (scan_code == kScanBackspace || scan_code == kScanTab || scan_code == kScanEnter || scan_code == kScanCtrl) {
        return std::nullopt;
    }
    int k = scan_code - 2;
    if (scan_code >= 16) k -= 2;
    if (scan_code >= 30) k -= 2;
    if (scan_code >= 43) k -= 2;
    if (k < 0) return std::nullopt;
    return key_1_for_degree_1 ? k + 1 : k;
}

int pc_key_degree(int key_number, bool key_1_for_degree_1) {
    return key_number - kDegreeZeroKey - (key_1_for_degree_1 ? 1 : 0);
}

std::string_view pc_keys_help(bool key_1_for_degree_1) {
    return key_1_for_degree_1 ? kPcKeysHelpWithLeftKey : kPcKeysHelp;
}

PcKeyboard::PcKeyboard(Playback& playback, engine::Composition& composition, const PlayAlongSettings& settings,
                       PlayAlongRecorder& recorder, const platform::Clock& clock)
    : playback_(playback), composition_(composition), settings_(settings), recorder_(recorder), clock_(clock) {}

std::size_t PcKeyboard::slot_index(int degree) {
    return static_cast<std::size_t>(((degree % kKeySlots) + kKeySlots) % kKeySlots);
}

void PcKeyboard::pc_key_event(bool down, int scan_code, bool auto_repeat) {
    if (down && auto_repeat && scan_code != kScanBackspace) return;
    if (scan_code == kScanLeftShift) return;
    if (scan_code == kScanTab) return playback_.port().all_sound_off();
    if (scan_code == kScanSpace) {
        if (!settings_.enable_play_along_recording) return;
        if (recorder_.requested()) {
            recorder_.stop();
        } else {
            recorder_.start(kSpaceBarCaption);
        }
        return;
    }
    const auto key = pc_key_number(scan_code, settings_.pc_key_1_for_degree_1);
    if (!key) return;
    if (!settings_.enable_sel_sound) return silence();
    const int degree = pc_key_degree(*key, settings_.pc_key_1_for_degree_1);
    if (down) {
        press(degree, *key / kKeysPerRow);
    } else {
        release(degree);
    }
}

// With key sounds off a key only silences everything.
void PcKeyboard::silence() {
    MidiOutPort& port = playback_.port();
    {
        auto group = port.hold_group();
        playback_.voices().all_notes_off();
    }
    clock_.sleep_ms(kSilenceWaitMs);
    if (port.is_open()) port.all_sound_off();
    slots_.fill({});
    end_live_hold_if_idle();
}

int PcKeyboard::voice_for_row(int row) const {
    const int voice = settings_.voices_by_keyboard_row ? settings_.voices_for_pc_keyboard_rows[static_cast<std::size_t>(row)]
                                                       : settings_.iChannelForVoiceForPcKeyboard;
    return std::clamp(voice, 0, kMidiChannels - 1);
}

int PcKeyboard::velocity_for(int voice, int row) const {
    const double scaled = composition_.Volumes_for_channels[static_cast<std::size_t>(voice)] * main_volume_ / 127.0;
    if (!settings_.volumes_by_keyboard_row) return static_cast<int>(scaled);
    return static_cast<int>(settings_.vols_for_pc_keyboard_rows[static_cast<std::size_t>(row)] * scaled / 127.0);
}

// The first voice in play upward from `voice`, else downward; `voice` itself when none is.
int PcKeyboard::voice_in_play_from(int voice) const {
    const auto in_play = [this](int v) { return composition_.Voices_for_channels[static_cast<std::size_t>(v)] >= 0; };
    if (in_play(voice)) return voice;
    for (int v = voice + 1; v < kMidiChannels; ++v) {
        if (in_play(v)) return v;
    }
    for (int v = voice - 1; v >= 0; --v) {
        if (in_play(v)) return v;
    }
    return voice;
}

void PcKeyboard::press(int degree, int row) {
    const std::optional<engine::ValuePitch> sounded = pitch_of_key(degree);
    if (!sounded) return;  // a key the mapping leaves out
    MidiOutPort& port = playback_.port();
    int voice = voice_for_row(row);
    const int velocity = velocity_for(voice, row);
    voice = voice_in_play_from(voice);
    if (!port.held_open() && port.open() == OpenResult::opened) port.set_open_reason(OpenReason::live_notes, true);

    const double pitch = sounded->midi_pitch;
    const tuning::NoteAndBend key = tuning::split_onto_key(pitch);
    const int note = key.note;
    const int bend = key.bend;
    Slot& slot = slots_[slot_index(degree)];
    if (!port.is_open()) {
        slot = {kSingleKeyChannel, voice, note, kKeyDownHold};
        return;
    }
    auto group = port.hold_group(platform::DueTime{clock_.now_us()});  // meant for when the key went down
    engine::ChannelVoices& voices = playback_.voices();
    if (voices.tunes_each_note()) {
        const engine::SoundingNote tuned = voices.sound_tuned_pitch(voice, pitch, velocity);
        slot = {tuned.channel, voice, tuned.key, kKeyDownHold, tuned};
    } else {
        const int channel = settings_.iPitchesForPCKeyboardRows == kOneChannelSetting ? kSingleKeyChannel
                                                                                       : choose_channel(voice, bend);
        voices.send_bend(channel, voice, bend, true, false);
        voices.note_on(channel, voice, 0, note, velocity);
        slot = {channel, voice, note, kKeyDownHold};
    }
    const int shown_degree = keyboard_mapping_ ? static_cast<int>(sounded->degree) : degree;
    if (settings_.cShowKbdInScore && listener_ != nullptr) listener_->key_note({pitch, shown_degree, voice});
}

// The degree of the arpeggio a key plays; through a keyboard mapping, the key that many
// keys from the mapping's middle key. None for a key the mapping leaves out.
std::optional<engine::ValuePitch> PcKeyboard::pitch_of_key(int degree) {
    if (!keyboard_mapping_) return engine::pitch_of_value(degree, composition_, mode_voices_, kPcKeyModeSlot);
    return engine::pitch_of_mapped_key(*keyboard_mapping_, composition_, keyboard_mapping_->middle_key + degree);
}

void PcKeyboard::release(int degree) {
    Slot& slot = slots_[slot_index(degree)];
    if (slot.tuned.valid()) {
        auto group = playback_.port().hold_group(platform::DueTime{clock_.now_us()});
        playback_.voices().end_note(slot.tuned);
    } else if (slot.note >= 0 && slot.note <= 127) {
        auto group = playback_.port().hold_group(platform::DueTime{clock_.now_us()});
        playback_.voices().note_off(slot.channel, slot.voice, 0, slot.note, 127);
    }
    slot = {};
    end_live_hold_if_idle();
}

// The port opened for keys closes when the last key is up and nothing else needs it.
void PcKeyboard::end_live_hold_if_idle() {
    MidiOutPort& port = playback_.port();
    if (!port.held_only_for(OpenReason::live_notes)) return;
    if (std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.hold >= kHeldThreshold; })) return;
    port.set_open_reason(OpenReason::live_notes, false);
    if (!playback_.player().playing()) port.close();
}

int PcKeyboard::choose_channel(int voice, int bend) {
    const int first = std::clamp(composition_.Channels_in_Play, 0, kMidiChannels);
    auto channel = free_channel_in(first, kMidiChannels - 1, voice, bend);
    if (!channel && !playback_.port().kept_open()) channel = free_channel_in(0, first - 1, voice, bend);
    const int chosen = channel ? *channel : steal_channel();
    stamps_[static_cast<std::size_t>(chosen)] = stamp_counter_;
    stamp_counter_ = (stamp_counter_ + 1) % kMidiChannels;
    return chosen;
}

// In the channels from..to (never 9): the first with no note sounding, else the first but
// the last whose effects match the voice's and whose bend is the one needed.
std::optional<int> PcKeyboard::free_channel_in(int from, int to, int voice, int bend) const {
    const engine::ChannelVoices& voices = playback_.voices();
    for (int c = from; c <= to; ++c) {
        if (c != engine::kPercussionChannel && voices.notes_on_channel(c) == 0) return c;
    }
    for (int c = from; c < to; ++c) {
        if (c == engine::kPercussionChannel || !same_effects(c, voice)) continue;
        const double current = voices.bend_of_channel(c) > 0 ? voices.bend_of_channel(c) : platform::kBendCentre;
        if (std::fabs(current - bend) <= 1.0) return c;
    }
    return std::nullopt;
}

bool PcKeyboard::same_effects(int channel, int voice) const {
    const auto c = static_cast<std::size_t>(channel);
    const auto v = static_cast<std::size_t>(voice);
    const engine::Composition& k = composition_;
    return k.iPortamento[c] == k.iPortamento[v] && k.iVibrato[c] == k.iVibrato[v] &&
           k.dVibrato_freq[c] == k.dVibrato_freq[v] && k.dVibrato_amp[c] == k.dVibrato_amp[v];
}

// The channel taken longest ago (never 9): silenced and emptied for the new key.
int PcKeyboard::steal_channel() {
    const auto stamped = [this](int wanted) -> std::optional<int> {
        for (int c = 0; c < kMidiChannels; ++c) {
            if (c != engine::kPercussionChannel && stamps_[static_cast<std::size_t>(c)] == wanted) return c;
        }
        return std::nullopt;
    };
    int chosen = 0;
    for (int i = 0; i < kMidiChannels; ++i) {
        if (const auto c = stamped((stamp_counter_ + i) % kMidiChannels)) {
            chosen = *c;
            break;
        }
    }
    playback_.port().send(platform::all_sound_off(chosen));
    playback_.voices().forget_channel_notes(chosen);
    return chosen;
}

}  // namespace corvane::midi
