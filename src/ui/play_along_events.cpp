#include "corvane/ui/play_along_events.h"

namespace corvane::ui {

void PlayAlongEvents::listen_to(midi::PlayAlong& play_along) {
    play_along.midi_in_play().set_listener(this);
    play_along.recorder().set_listener(this);
    play_along.keyboard().set_listener(this);
}

void PlayAlongEvents::note_played(const midi::MidiInNote& note) {
    QMetaObject::invokeMethod(this, [this, pitch = note.midi_pitch] { emit midi_note(pitch); }, Qt::QueuedConnection);
}

void PlayAlongEvents::seed_button(midi::SeedButton button, bool pressed) {
    QMetaObject::invokeMethod(
        this, [this, b = static_cast<int>(button), pressed] { emit seed_button_pressed(b, pressed); },
        Qt::QueuedConnection);
}

void PlayAlongEvents::recording_changed() {
    QMetaObject::invokeMethod(this, [this] { emit recording_state_changed(); }, Qt::QueuedConnection);
}

void PlayAlongEvents::recording_limit_reached(const std::string& message) {
    QMetaObject::invokeMethod(
        this, [this, text = QString::fromStdString(message)] { emit recording_limit(text); }, Qt::QueuedConnection);
}

void PlayAlongEvents::key_note(const midi::KeyNote& note) { emit keyboard_note(note.midi_pitch, note.voice); }

}  // namespace corvane::ui
