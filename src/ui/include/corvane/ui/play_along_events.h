#pragma once

// What MIDI in, the computer keyboard and the play-along recorder report, brought onto the
// user interface's thread as signals, so that any number of windows can follow them.

#include <QObject>

#include "corvane/midi/midi_in_play.h"
#include "corvane/midi/pc_keyboard.h"
#include "corvane/midi/play_along.h"
#include "corvane/midi/play_along_recorder.h"

namespace corvane::ui {

class PlayAlongEvents final : public QObject,
                              public midi::MidiInListener,
                              public midi::RecordingListener,
                              public midi::KeyNoteListener {
    Q_OBJECT
public:
    explicit PlayAlongEvents(QObject* parent = nullptr) : QObject(parent) {}
    ~PlayAlongEvents() override;
    // Becomes the listener of MIDI in, the keyboard and the recorder of `play_along` until
    // it is destroyed.
    void listen_to(midi::PlayAlong& play_along);

    // Called on the MIDI driver's or the recorder's thread: each posts and returns.
    void note_played(const midi::MidiInNote& note) override;
    void seed_button(midi::SeedButton button, bool pressed) override;
    void recording_changed() override;
    void recording_limit_reached(const std::string& message) override;
    // Called on the user interface's thread.
    void key_note(const midi::KeyNote& note) override;

signals:
    void midi_note(double midi_pitch);
    void seed_button_pressed(int button, bool pressed);  // a midi::SeedButton
    void recording_state_changed();
    void recording_limit(QString message);
    void keyboard_note(double midi_pitch, int voice);

private:
    void set_listeners(midi::PlayAlong& play_along, PlayAlongEvents* listener);

    midi::PlayAlong* play_along_ = nullptr;
};

}  // namespace corvane::ui
