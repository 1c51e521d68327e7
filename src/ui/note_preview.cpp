#include "corvane/ui/note_preview.h"

#include <algorithm>
#include <cmath>

#include "corvane/tuning/pitch_mapping.h"

namespace corvane::ui {
namespace {

constexpr int kPreviewTickMs = 5;
// The channels a preview takes, one per pitch bend, from the top down; never percussion.
constexpr int kPreviewChannels[] = {15, 14, 13, 12, 11, 10, 8, 7, 6, 5, 4, 3, 2, 1, 0};

}  // namespace

NotePreview::NotePreview(DisplaySources sources, QObject& owner) : sources_(sources), timer_(&owner) {
    timer_.setInterval(kPreviewTickMs);
    QObject::connect(&timer_, &QTimer::timeout, &owner, [this] { tick(); });
}

NotePreview::~NotePreview() { stop(); }

void NotePreview::start(const std::vector<PreviewNote>& notes) {
    stop();
    if (notes.empty() || !open_port()) return;
    voice_ = voice_in_play();
    std::vector<int> bends;
    for (const PreviewNote& n : notes) {
        Sound s = sound_of(n.pitch, bends);
        s.id = static_cast<int>(events_.size());
        events_.push_back({n.start_ms, true, s, false, {}});
        events_.push_back({n.end_ms, false, s, false, {}});
    }
    // Note-offs before note-ons at the same moment, so a repeated note sounds again.
    std::stable_sort(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
        return a.at_ms != b.at_ms ? a.at_ms < b.at_ms : !a.on && b.on;
    });
    start_ms_ = sources_.clock.now_ms();
    tick();
    if (running()) timer_.start();
}

void NotePreview::stop() {
    timer_.stop();
    for (const Event& e : events_) {
        if (!e.on && e.sounding) send_off(e);
    }
    events_.clear();
}

void NotePreview::tick() {
    const std::int64_t elapsed = sources_.clock.now_ms() - start_ms_;
    while (!events_.empty() && events_.front().at_ms <= elapsed) {
        const Event e = events_.front();
        events_.erase(events_.begin());
        if (e.on) {
            mark_sounding(e.sound, send_on(e.sound));
        } else {
            send_off(e);
        }
    }
    if (events_.empty()) timer_.stop();
}

bool NotePreview::open_port() {
    midi::MidiOutPort& port = sources_.playback.port();
    if (port.is_open()) return true;
    if (port.open() != midi::OpenResult::opened) return false;
    port.set_open_reason(midi::OpenReason::live_notes, true);
    return true;
}

// The keyboard's voice, or the first voice in play when it has none.
int NotePreview::voice_in_play() const {
    const auto& voices = sources_.workspace.composition.Voices_for_channels;
    const int chosen = std::clamp(sources_.workspace.settings.play_along.iChannelForVoiceForPcKeyboard, 0, 15);
    if (voices[static_cast<std::size_t>(chosen)] >= 0) return chosen;
    const auto first = std::find_if(voices.begin(), voices.end(), [](int v) { return v >= 0; });
    return first == voices.end() ? chosen : static_cast<int>(first - voices.begin());
}

// Each pitch bend gets a channel of its own, so that notes of a chord keep their tuning.
NotePreview::Sound NotePreview::sound_of(double pitch, std::vector<int>& bends) {
    const tuning::NoteAndBend key = tuning::split_onto_key(pitch);
    const int note = key.note;
    const int bend = key.bend;
    auto same = std::find_if(bends.begin(), bends.end(), [&](int b) { return std::abs(b - bend) <= 1; });
    if (same == bends.end() && bends.size() < std::size(kPreviewChannels)) same = bends.insert(bends.end(), bend);
    const auto index = std::min(static_cast<std::size_t>(same - bends.begin()), std::size(kPreviewChannels) - 1);
    return {0, kPreviewChannels[index], note, bend, pitch};
}

engine::SoundingNote NotePreview::send_on(const Sound& s) {
    auto& voices = sources_.playback.voices();
    const int velocity = sources_.workspace.composition.Volumes_for_channels[static_cast<std::size_t>(voice_)];
    if (voices.tunes_each_note()) return voices.sound_tuned_pitch(voice_, s.pitch, velocity);
    voices.send_bend(s.channel, voice_, s.bend, true, false);
    voices.note_on(s.channel, voice_, 0, s.note, velocity);
    return {};
}

void NotePreview::send_off(const Event& off) {
    auto& voices = sources_.playback.voices();
    if (off.tuned.valid()) {
        voices.end_note(off.tuned);
    } else {
        voices.note_off(off.sound.channel, voice_, 0, off.sound.note, 127);
    }
}

void NotePreview::mark_sounding(const Sound& s, engine::SoundingNote tuned) {
    for (Event& e : events_) {
        if (!e.on && e.sound.id == s.id) {
            e.sounding = true;
            e.tuned = tuned;
            return;
        }
    }
}

}  // namespace corvane::ui
