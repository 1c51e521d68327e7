#include "corvane/ui/play_along_events.h"

namespace corvane::ui {

PlayAlongEvents::~PlayAlongEvents() {
    if (play_along_ != nullptr) set_listeners(*play_along_, nullptr);
}

void PlayAlongEvents::listen_to(midi::PlayAlong& play_along) {
    play_along_ = &play_along;
    set_listeners(play_along, this);
}

void PlayAlongEvents::set_listeners(midi::PlayAlong& play_along, PlayAlongEvents* listener) {
    play_along.midi_in_play().set_listener(listener);
    play_along.recorder().set_listener(listener);
    play_along.keyboard().set_listener(listener);
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
